// Last-error value and system message texts of the POSIX emulation.
#pragma once
#include "types.h"

// The errno of the failed emulated call (or a Win32 code the emulation set itself).
DWORD GetLastError();
void SetLastError(DWORD error);
// FORMAT_MESSAGE_FROM_SYSTEM only: strerror's text followed by CR LF; 0 when it does not fit.
DWORD FormatMessageA(DWORD flags, LPCVOID source, DWORD messageId, DWORD languageId,
                     LPSTR buffer, DWORD size, void* arguments);

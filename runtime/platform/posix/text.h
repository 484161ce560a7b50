// Text services of the POSIX emulation.
#pragma once
#include "types.h"

// TRUE when the text cannot be read up to its terminator or its first `maxChars` bytes,
// whichever comes first; a null pointer is bad. Never faults.
BOOL IsBadStringPtrA(LPCSTR text, UINT_PTR maxChars);
// Copies `from` with its terminator to `to`; returns `to`.
LPSTR lstrcpyA(LPSTR to, LPCSTR from);
// Appends `from` with its terminator to the text in `to`; returns `to`.
LPSTR lstrcatA(LPSTR to, LPCSTR from);

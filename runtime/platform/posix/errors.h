// Last-error value and system message texts of the POSIX emulation.
#pragma once
#include "types.h"

// Win32 error codes the emulation reports (beyond those in types.h).
constexpr DWORD ERROR_PATH_NOT_FOUND = 3;
constexpr DWORD ERROR_ACCESS_DENIED = 5;
constexpr DWORD ERROR_NO_MORE_FILES = 18;
constexpr DWORD ERROR_WRITE_FAULT = 29;
constexpr DWORD ERROR_READ_FAULT = 30;
constexpr DWORD ERROR_GEN_FAILURE = 31;
constexpr DWORD ERROR_SHARING_VIOLATION = 32;
constexpr DWORD ERROR_NOT_SUPPORTED = 50;
constexpr DWORD ERROR_FILE_EXISTS = 80;
constexpr DWORD ERROR_DISK_FULL = 112;
constexpr DWORD ERROR_INVALID_NAME = 123;
constexpr DWORD ERROR_NEGATIVE_SEEK = 131;
constexpr DWORD ERROR_ALREADY_EXISTS = 183;
constexpr DWORD ERROR_FILENAME_EXCED_RANGE = 206;
constexpr DWORD ERROR_NO_DATA = 232;
constexpr DWORD ERROR_DIRECTORY = 267;
constexpr DWORD ERROR_NOACCESS = 998;
constexpr DWORD ERROR_IO_DEVICE = 1117;
constexpr DWORD ERROR_CANT_RESOLVE_FILENAME = 1921;

// Always a Win32 code: every emulated call translates the errno of a failed system call.
DWORD GetLastError();
void SetLastError(DWORD error);
// FORMAT_MESSAGE_FROM_SYSTEM only: Windows' English text for each code the emulation
// produces, ending in CR LF; 0 with ERROR_MR_MID_NOT_FOUND for any other code, and 0 with
// ERROR_INSUFFICIENT_BUFFER when the text does not fit.
DWORD FormatMessageA(DWORD flags, LPCVOID source, DWORD messageId, DWORD languageId,
                     LPSTR buffer, DWORD size, void* arguments);

namespace tarnfold::posix {

// The Win32 code Windows reports for the condition behind an errno value.
DWORD Win32ErrorFromErrno(int error);
// SetLastError(Win32ErrorFromErrno(error)).
void SetLastErrorFromErrno(int error);

}  // namespace tarnfold::posix

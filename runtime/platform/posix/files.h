// Files of the POSIX emulation: open, position, size, attributes, lookup and path search.
//
// Sizes and positions are 64-bit. Names use '/' as the folder separator; wildcards and
// path lists follow Windows' rules ('*' and '?' in the last element; ';' between folders).
#pragma once
#include "types.h"

constexpr DWORD GENERIC_READ = 0x80000000u;
constexpr DWORD GENERIC_WRITE = 0x40000000u;
constexpr DWORD FILE_SHARE_READ = 1;
constexpr DWORD FILE_SHARE_WRITE = 2;
constexpr DWORD CREATE_NEW = 1;
constexpr DWORD CREATE_ALWAYS = 2;
constexpr DWORD OPEN_EXISTING = 3;
constexpr DWORD OPEN_ALWAYS = 4;
constexpr DWORD TRUNCATE_EXISTING = 5;
constexpr DWORD FILE_ATTRIBUTE_READONLY = 0x01;
constexpr DWORD FILE_ATTRIBUTE_DIRECTORY = 0x10;
constexpr DWORD FILE_ATTRIBUTE_ARCHIVE = 0x20;
constexpr DWORD FILE_ATTRIBUTE_NORMAL = 0x80;
constexpr DWORD FILE_BEGIN = 0;
constexpr DWORD FILE_CURRENT = 1;
constexpr DWORD FILE_END = 2;
constexpr DWORD INVALID_SET_FILE_POINTER = 0xFFFFFFFFu;
constexpr DWORD INVALID_FILE_SIZE = 0xFFFFFFFFu;
constexpr DWORD MAX_PATH = 260;

struct SECURITY_ATTRIBUTES;

struct WIN32_FIND_DATAA {
    DWORD dwFileAttributes;
    FILETIME ftCreationTime;
    FILETIME ftLastAccessTime;
    FILETIME ftLastWriteTime;
    DWORD nFileSizeHigh;
    DWORD nFileSizeLow;
    DWORD dwReserved0;
    DWORD dwReserved1;
    CHAR cFileName[MAX_PATH];
    CHAR cAlternateFileName[14];
};
using LPWIN32_FIND_DATAA = WIN32_FIND_DATAA*;
static_assert(sizeof(WIN32_FIND_DATAA) == 320);

struct WIN32_FILE_ATTRIBUTE_DATA {
    DWORD dwFileAttributes;
    FILETIME ftCreationTime;
    FILETIME ftLastAccessTime;
    FILETIME ftLastWriteTime;
    DWORD nFileSizeHigh;
    DWORD nFileSizeLow;
};
static_assert(sizeof(WIN32_FILE_ATTRIBUTE_DATA) == 36);

enum GET_FILEEX_INFO_LEVELS { GetFileExInfoStandard = 0 };

// Opens or creates a file by Windows' dispositions (CREATE_NEW, CREATE_ALWAYS,
// OPEN_EXISTING, OPEN_ALWAYS, TRUNCATE_EXISTING) for GENERIC_READ and/or GENERIC_WRITE.
// An open that another handle's share mode forbids fails with ERROR_SHARING_VIOLATION; a
// folder is refused with ERROR_ACCESS_DENIED. CREATE_ALWAYS and OPEN_ALWAYS on an
// existing file succeed with ERROR_ALREADY_EXISTS. INVALID_HANDLE_VALUE on failure.
HANDLE CreateFileA(LPCSTR name, DWORD access, DWORD share, SECURITY_ATTRIBUTES* security,
                   DWORD disposition, DWORD flags, HANDLE templateFile);
// Moves the position (FILE_BEGIN, FILE_CURRENT, FILE_END); returns its low 32 bits and
// stores the high ones through `distanceHigh`. Without `distanceHigh` the distance is a
// signed 32-bit value and a position of 2 GiB or more fails. INVALID_SET_FILE_POINTER on
// failure (ERROR_NEGATIVE_SEEK before the start).
DWORD SetFilePointer(HANDLE file, LONG distance, PLONG distanceHigh, DWORD method);
// The size's low 32 bits (high ones through `sizeHigh`); INVALID_FILE_SIZE on failure.
DWORD GetFileSize(HANDLE file, LPDWORD sizeHigh);
BOOL GetFileSizeEx(HANDLE file, PLARGE_INTEGER size);
// Attributes, times and size of a named file or folder, without opening it.
BOOL GetFileAttributesExA(LPCSTR name, GET_FILEEX_INFO_LEVELS level, LPVOID information);
// The first entry matching `pattern` ('*' and '?' in its last element). The search
// handle is for FindClose only. ERROR_FILE_NOT_FOUND when nothing matches,
// ERROR_PATH_NOT_FOUND when the folder does not exist.
HANDLE FindFirstFileA(LPCSTR pattern, LPWIN32_FIND_DATAA data);
BOOL FindClose(HANDLE search);
// Looks `name` up (with `extension` appended when its last element has none) in each
// folder of `path` (';'-separated), or, when `path` is null, in the program's folder, the
// current folder and the folders of PATH. Returns the full name's length, or the size
// needed (terminator included) when `bufferLength` is too small; 0 when nothing is found.
DWORD SearchPathA(LPCSTR path, LPCSTR name, LPCSTR extension, DWORD bufferLength,
                  LPSTR buffer, LPSTR* filePart);

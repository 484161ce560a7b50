// String-table resources of the POSIX emulation: a table the program links in.
//
// A program that has string resources defines TarnfoldStringTable (generated from the same
// list as its Windows resource script, so both targets carry the same ids and texts);
// LoadStringA and LoadStringW read it. Without one the module has no resources.
#pragma once
#include "types.h"

constexpr DWORD ERROR_RESOURCE_DATA_NOT_FOUND = 1812;

struct StringResource {
    UINT id;
    const WCHAR* text;  // zero-terminated UTF-16
};

struct StringResourceTable {
    const StringResource* entries;
    UINT count;
};

// The program's string table; a weak reference, null when the program has none.
extern "C" const StringResourceTable TarnfoldStringTable __attribute__((weak));

// As on Windows: at most size - 1 units and a terminator, returns the units copied; size 0
// stores a read-only pointer to the text in *(const WCHAR**)buffer and returns its length.
// An id missing from a table block that exists (ids id/16 * 16 to + 15) returns 0 without
// touching the last error; an id in no block sets ERROR_RESOURCE_NAME_NOT_FOUND.
int LoadStringW(HINSTANCE module, UINT id, LPWSTR buffer, int size);
// The entry converted to the ANSI code page (1252), cut to size - 1 bytes and terminated.
int LoadStringA(HINSTANCE module, UINT id, LPSTR buffer, int size);

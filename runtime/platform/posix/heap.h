// Process heap of the POSIX emulation: HeapSize reports the size asked for, as Windows does.
#pragma once
#include "types.h"

HANDLE GetProcessHeap();
LPVOID HeapAlloc(HANDLE heap, DWORD flags, SIZE_T bytes);
LPVOID HeapReAlloc(HANDLE heap, DWORD flags, LPVOID block, SIZE_T bytes);
BOOL HeapFree(HANDLE heap, DWORD flags, LPVOID block);
// A pointer that is not a live block of this heap (foreign, interior or freed) is refused
// without reading memory near it: HeapFree FALSE, HeapSize (SIZE_T)-1, HeapReAlloc null,
// each with ERROR_INVALID_PARAMETER, as Windows refuses them. HeapFree(null) succeeds.
SIZE_T HeapSize(HANDLE heap, DWORD flags, LPCVOID block);

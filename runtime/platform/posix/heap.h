// Process heap of the POSIX emulation: HeapSize reports the size asked for, as Windows does.
#pragma once
#include "types.h"

HANDLE GetProcessHeap();
LPVOID HeapAlloc(HANDLE heap, DWORD flags, SIZE_T bytes);
LPVOID HeapReAlloc(HANDLE heap, DWORD flags, LPVOID block, SIZE_T bytes);
BOOL HeapFree(HANDLE heap, DWORD flags, LPVOID block);
// Returns (SIZE_T)-1 for a pointer that is not a live block of this heap.
SIZE_T HeapSize(HANDLE heap, DWORD flags, LPCVOID block);

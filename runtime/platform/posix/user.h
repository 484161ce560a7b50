// Message boxes of the POSIX emulation.
#pragma once
#include "types.h"

// Writes the caption and the text to standard error and returns IDOK at once.
int MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type);
constexpr int IDOK = 1;

// Windows-1252 case mapping in place, `length` bytes (zeros included): ASCII letters, the
// accented letters of 0xC0-0xFE (not 0xD7 and 0xF7) and the pairs 0x8A/0x9A, 0x8C/0x9C,
// 0x8E/0x9E, 0x9F/0xFF. Letters whose other case lies outside the code page (0xB5, 0xDF,
// 0xAA, 0xBA, 0x83) stay as they are. Returns `length`.
DWORD CharUpperBuffA(LPSTR text, DWORD length);
DWORD CharLowerBuffA(LPSTR text, DWORD length);

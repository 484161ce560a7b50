// Message boxes of the POSIX emulation.
#pragma once
#include "types.h"

// Writes the caption and the text to standard error and returns IDOK at once.
int MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type);
constexpr int IDOK = 1;

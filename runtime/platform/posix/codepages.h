// Code-page conversion of the POSIX emulation: the ANSI code page is Windows-1252.
#pragma once
#include "types.h"

constexpr UINT CP_WINDOWS_1252 = 1252;
constexpr DWORD WC_ERR_INVALID_CHARS = 0x00000080;
constexpr DWORD WC_NO_BEST_FIT_CHARS = 0x00000400;
constexpr DWORD MB_ERR_INVALID_CHARS = 0x00000008;
constexpr DWORD ERROR_NO_UNICODE_TRANSLATION = 1113;

// CP_ACP (= 1252) and CP_UTF8, as Windows converts them. 1252: every character of the code
// page both ways, the five bytes it leaves undefined as U+0081, U+008D, U+008F, U+0090 and
// U+009D, Windows' best-fit letters for characters outside it unless WC_NO_BEST_FIT_CHARS,
// and the default character (`defaultChar` or '?') for the rest, one per UTF-16 unit.
// UTF-8: surrogate pairs joined, a lone surrogate as U+FFFD (or ERROR_NO_UNICODE_TRANSLATION
// with WC_ERR_INVALID_CHARS); `defaultChar` and `usedDefaultChar` must be null.
// wideCount -1 converts up to and including the terminator; outSize 0 asks for the size.
// A buffer too small fails with ERROR_INSUFFICIENT_BUFFER.
int WideCharToMultiByte(UINT codePage, DWORD flags, LPCWSTR wide, int wideCount, LPSTR out,
                        int outSize, LPCSTR defaultChar, LPBOOL usedDefaultChar);
// The reverse: 1252 bytes one to one; UTF-8 with each ill-formed part as U+FFFD (or
// ERROR_NO_UNICODE_TRANSLATION with MB_ERR_INVALID_CHARS).
int MultiByteToWideChar(UINT codePage, DWORD flags, LPCSTR bytes, int byteCount, LPWSTR out,
                        int outSize);
UINT GetACP();

// Console of the POSIX emulation: standard handles, colours as SGR sequences, wide output
// as UTF-8, and the msvcrt keyboard (_kbhit, _getch) on the terminal.
#pragma once
#include "types.h"

// Attribute bits: Windows orders the colour bits blue, green, red (SGR: red, green, blue).
constexpr WORD FOREGROUND_BLUE = 0x0001;
constexpr WORD FOREGROUND_GREEN = 0x0002;
constexpr WORD FOREGROUND_RED = 0x0004;
constexpr WORD FOREGROUND_INTENSITY = 0x0008;
constexpr WORD BACKGROUND_BLUE = 0x0010;
constexpr WORD BACKGROUND_GREEN = 0x0020;
constexpr WORD BACKGROUND_RED = 0x0040;
constexpr WORD BACKGROUND_INTENSITY = 0x0080;
constexpr WORD COMMON_LVB_REVERSE_VIDEO = 0x4000;
constexpr WORD COMMON_LVB_UNDERSCORE = 0x8000;

// -10, -11 and -12 give the standard handles; any other value INVALID_HANDLE_VALUE.
HANDLE GetStdHandle(DWORD stdHandle);
// Makes `handle` the one GetStdHandle returns for -10, -11 or -12.
BOOL SetStdHandle(DWORD stdHandle, HANDLE handle);
// On a terminal: one SGR sequence for the whole attribute. On anything else FALSE with
// ERROR_INVALID_HANDLE and nothing written, as Windows does on a handle that is no console.
BOOL SetConsoleTextAttribute(HANDLE console, WORD attributes);
// On a terminal: the UTF-16 text as UTF-8 (surrogate pairs joined, a lone one as U+FFFD);
// `written` counts UTF-16 units. On anything else FALSE with ERROR_INVALID_HANDLE.
BOOL WriteConsoleW(HANDLE console, const void* buffer, DWORD units, LPDWORD written,
                   LPVOID reserved);
// 1252 and 65001 are known; byte output passes to the terminal unchanged either way.
BOOL SetConsoleOutputCP(UINT codePage);
UINT GetConsoleOutputCP();
// Discards the input waiting on the terminal; FALSE with ERROR_INVALID_HANDLE elsewhere.
BOOL FlushConsoleInputBuffer(HANDLE input);

// The keyboard on standard input. On a terminal the first call turns off line buffering
// and echo (and CR to LF translation, so Enter gives 13) until the process ends; the
// terminal's settings are restored at exit and on SIGINT, SIGTERM, SIGHUP and SIGQUIT.
// Extended keys come as two codes: 0xE0 then the Windows scan code for the arrows, Home,
// End, PgUp, PgDn, Insert, Delete, F11 and F12; 0 then the scan code for F1 to F10.
// Backspace gives 8. At the end of the input a key is always waiting: Ctrl+Z (26).
int _kbhit();
int _getch();

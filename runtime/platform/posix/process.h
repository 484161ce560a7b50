// Module, command line and process exit of the POSIX emulation.
#pragma once
#include "types.h"

HMODULE GetModuleHandleA(LPCSTR moduleName);
// The real executable path (/proc/self/exe); '/' is the folder separator here.
DWORD GetModuleFileNameA(HMODULE module, LPSTR fileName, DWORD size);
// Rebuilt from /proc/self/cmdline, quoting words that contain blanks.
LPSTR GetCommandLineA();
// Ends the process with exit(), so that coverage and sanitizers see the exit.
[[noreturn]] void ExitProcess(UINT exitCode);
void Sleep(DWORD milliseconds);

// The Win32 subset the runtime calls: the system headers on Windows, our emulation elsewhere.
//
// On Windows this header is nothing but <windows.h>, <conio.h> and <stdlib.h>: the runtime
// calls the real kernel32, user32 and msvcrt, with no wrapper and no cost. On Linux it
// declares the same names, types and constants, implemented in platform/posix/ so that
// they behave as the runtime expects of Windows (sizes, handles, error codes, console).
#pragma once

#ifdef _WIN32

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#include <conio.h>
#include <stdlib.h>

#else

#include "posix/types.h"
#include "posix/heap.h"
#include "posix/process.h"
#include "posix/errors.h"
#include "posix/text.h"
#include "posix/user.h"
#include "posix/handles.h"
#include "posix/files.h"
#include "posix/console.h"
#include "posix/codepages.h"
#include "posix/resources.h"

#endif

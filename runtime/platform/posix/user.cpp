// MessageBoxA: the caption and text go to standard error; the "user" closes the box at once.
#include "../win32.h"

#include <cstdio>

int MessageBoxA(HWND, LPCSTR text, LPCSTR caption, UINT) {
    std::fprintf(stderr, "%s\n%s\n", caption != nullptr ? caption : "",
                 text != nullptr ? text : "");
    std::fflush(stderr);
    return IDOK;
}

// Last error and FormatMessageA: errno values with strerror's texts.
#include "../win32.h"

#include <cstdio>
#include <cstring>

namespace {

thread_local DWORD lastError = 0;

// Win32 codes that the emulation reports itself and that have no errno twin.
const char* Win32OnlyText(DWORD code) {
    switch (code) {
        case ERROR_RESOURCE_NAME_NOT_FOUND:
            return "The specified resource name cannot be found in the image file.";
        default:
            return nullptr;
    }
}

}  // namespace

DWORD GetLastError() { return lastError; }

void SetLastError(DWORD error) { lastError = error; }

DWORD FormatMessageA(DWORD flags, LPCVOID, DWORD messageId, DWORD, LPSTR buffer, DWORD size,
                     void*) {
    if ((flags & FORMAT_MESSAGE_FROM_SYSTEM) == 0 || buffer == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    const char* text = Win32OnlyText(messageId);
    if (text == nullptr) text = std::strerror(static_cast<int>(messageId));
    std::size_t length = std::strlen(text);
    if (length + 3 > size) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return 0;
    }
    std::memcpy(buffer, text, length);
    std::memcpy(buffer + length, "\r\n", 3);
    return static_cast<DWORD>(length + 2);
}

// FatalError and its forms: compose the message, clean up, show the box, exit.
#include "fatal_error.h"

#include "../core/storage.h"
#include "../platform/win32.h"
#include "fatal_cleanup.h"

namespace tarnfold {

std::int32_t ErrorLine = 0;

namespace {

FatalObserver fatalObserver = nullptr;
char composedMessage[kFatalMessageCapacity];

// The ring's first bytes: nothing in the ring survives a fatal error.
char* NumberBuffer() { return TakeWholeRing(); }

char* CopyText(char* to, const char* from) {
    while (*from != '\0') *to++ = *from++;
    return to;
}

}  // namespace

void SetFatalObserver(FatalObserver observer) { fatalObserver = observer; }

void ShowRuntimeMessage(const char* message, const char* caption) {
    if (fatalObserver != nullptr) fatalObserver(message, caption != nullptr ? caption : "");
    MessageBoxA(nullptr, message, caption, MB_OK);
}

void Int32ToDecimal(std::int32_t value, char* buffer) {
    if (value == 0) {
        buffer[0] = '0';
        buffer[1] = '\0';
        return;
    }
    char* digits = buffer;
    auto magnitude = static_cast<std::uint32_t>(value);
    if (value < 0) {
        *digits++ = '-';
        magnitude = 0u - magnitude;
    }
    char* end = digits;
    while (magnitude != 0) {
        *end++ = static_cast<char>('0' + magnitude % 10);
        magnitude /= 10;
    }
    *end = '\0';
    for (char* last = end - 1; digits < last; ++digits, --last) {
        char swap = *digits;
        *digits = *last;
        *last = swap;
    }
}

FatalMessage ComposeFatalMessage(std::int32_t code, const char* text, char* out) {
    char codeText[12];
    std::int32_t used = code;
    if (static_cast<std::uint32_t>(code) > 10u) {
        Int32ToDecimal(code, codeText);
        text = codeText;
        used = kErrorSystem;
    }
    FatalMessage result{used, used == kErrorSystem ? kFatalUnknownExitCode : -used};

    const char* message = kFatalMessages[used];
    const char* hash = message;
    while (*hash != '\0' && *hash != '#') ++hash;
    char* at = out;
    if (*hash == '\0' || IsBadStringPtrA(text, kFatalInsertLimit)) {
        *CopyText(at, message) = '\0';
        return result;
    }
    for (const char* c = message; c != hash; ++c) *at++ = *c;
    for (int n = 0; n < kFatalInsertLimit && text[n] != '\0'; ++n) *at++ = text[n];
    *CopyText(at, hash + 1) = '\0';
    return result;
}

void FatalError(std::int32_t code, const char* text) {
    FatalMessage fatal = ComposeFatalMessage(code, text, composedMessage);
    CloseFilesBeforeFatalBox();
    ShowRuntimeMessage(composedMessage, kFatalCaption);
    EraseArraysAfterFatalBox();
    ReleaseHeapString(kReleaseAll);
    ExitProcess(static_cast<UINT>(fatal.exitCode));
}

void FatalSystemError() {
    DWORD error = GetLastError();
    char* buffer = NumberBuffer();
    buffer[0] = '\0';  // no text from the system: insert nothing
    FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM, nullptr, error, 0, buffer,
                   static_cast<DWORD>(kFatalNumberBufferSize), nullptr);
    FatalError(kErrorSystem, buffer);
}

void FatalLineError(std::int32_t code) {
    Int32ToDecimal(ErrorLine, NumberBuffer());
    FatalError(code, NumberBuffer());
}

void FatalNumberError(std::int32_t number) {
    Int32ToDecimal(number, NumberBuffer());
    FatalError(kErrorHeapSize, NumberBuffer());
}

}  // namespace tarnfold

// WriteStdout, WaitKey and ReadKey: the runtime's console output and keyboard.
#include "console.h"

#include <cstddef>

#include "../platform/win32.h"

namespace tarnfold {
namespace {

using AliasedWord = std::uint32_t __attribute__((may_alias));

// Non-zero exactly when one of the word's bytes is zero; the lowest flagged byte is the
// first zero (bytes above it may be flagged falsely by the borrow, never bytes below it).
constexpr std::uint32_t ZeroBytes(std::uint32_t w) {
    return (w - 0x01010101u) & ~w & 0x80808080u;
}

// The bytes before the first zero byte: byte by byte up to a word boundary, then four
// aligned words per step, each tested before the next is read. An aligned 4-byte read
// never crosses a page, so the last word read (the terminator's) cannot fault even where
// its bytes after the terminator lie past the end of the text's allocation. That is also
// why AddressSanitizer must not instrument these reads: it would report those bytes.
__attribute__((no_sanitize_address, noinline)) std::size_t MeasureText(const char* text) {
    const char* at = text;
    for (; (reinterpret_cast<std::uintptr_t>(at) & 3) != 0; ++at)
        if (*at == '\0') return static_cast<std::size_t>(at - text);
    const auto* word = reinterpret_cast<const AliasedWord*>(at);
    std::uint32_t zeros;
    for (;; word += 4) {
        if ((zeros = ZeroBytes(word[0])) != 0) break;
        if ((zeros = ZeroBytes(word[1])) != 0) { word += 1; break; }
        if ((zeros = ZeroBytes(word[2])) != 0) { word += 2; break; }
        if ((zeros = ZeroBytes(word[3])) != 0) { word += 3; break; }
    }
    const char* end = reinterpret_cast<const char*>(word) + __builtin_ctz(zeros) / 8;
    return static_cast<std::size_t>(end - text);
}

}  // namespace

std::uint32_t WriteStdout(const char* text) {
    HANDLE output = GetStdHandle(STD_OUTPUT_HANDLE);
    DWORD written = 0;
    WriteFile(output, text, static_cast<DWORD>(MeasureText(text)), &written, nullptr);
    return written;
}

std::uint32_t WriteStdoutBytes(const char* text, std::uint32_t length) {
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), text, length, &written, nullptr);
    return written;
}

bool SetTextColour(std::uint16_t attribute) {
    return SetConsoleTextAttribute(GetStdHandle(STD_OUTPUT_HANDLE), attribute) != FALSE;
}

std::int32_t WaitKey() {
    FlushConsoleInputBuffer(GetStdHandle(STD_INPUT_HANDLE));
    do {
        Sleep(1);
    } while (_kbhit() == 0);
    return _getch();
}

KeyPress ReadKey() {
    FlushConsoleInputBuffer(GetStdHandle(STD_INPUT_HANDLE));
    int code = _getch();
    if (code == 0 || code == 0xE0) return {_getch(), 1};
    return {code, 0};
}

}  // namespace tarnfold

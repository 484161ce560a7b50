// The demo: two string-table texts on the console as UTF-16, as ANSI and as UTF-8.
//
// For resources 100 (Russian) and 123 (Arabic) in turn: the wide text through
// WriteConsoleW on black-on-white, the ANSI text between line breaks on black-on-yellow,
// then the UTF-8 text after switching the output code page to 65001, on black-on-white,
// followed by three line breaks. Then "OK", a key, the clean-up and exit code 0.
#include "arrays_text/string_arrays.h"
#include "platform/win32.h"
#include "tarnfold.h"

namespace {

using namespace tarnfold;

constexpr WORD kBlackOnWhite = 0xF0;
constexpr WORD kBlackOnYellow = 0xE0;
constexpr std::int32_t kResourceIds[] = {100, 123};

// UTF-16 units up to the first zero unit. Variable blocks end in two zero bytes (the
// builder's terminator and one of the block's spare bytes), so a wide text measures exactly.
int WideUnits(const WCHAR* text) {
    int units = 0;
    while (text[units] != 0) ++units;
    return units;
}

HANDLE Stdout() { return GetStdHandle(STD_OUTPUT_HANDLE); }

}  // namespace

int main() {
    // Never assigned yet: the builder's release step ignores these values.
    char* wideText = nullptr;
    char* ansiText = nullptr;
    char* utf8Text = nullptr;

    for (std::int32_t id : kResourceIds) {
        LoadResText(-id);
        wideText = StringBuilder(ToVariable(1), kLastTemp, wideText);
        LoadResText(id);
        ansiText = StringBuilder(ToVariable(1), kLastTemp, ansiText);

        SetConsoleTextAttribute(Stdout(), kBlackOnWhite);
        const auto* wide = reinterpret_cast<const WCHAR*>(wideText);
        int units = WideUnits(wide);
        DWORD written = 0;
        WriteConsoleW(Stdout(), wide, static_cast<DWORD>(units), &written, nullptr);

        SetConsoleTextAttribute(Stdout(), kBlackOnYellow);
        StringBuilder(ToConsole(3), kTokenCrLf, ansiText, kTokenCrLf);

        int utf8Bytes = WideCharToMultiByte(CP_UTF8, 0, wide, units, nullptr, 0, nullptr, nullptr);
        int bufferSize = (utf8Bytes + 1) * 2;
        NewStr(bufferSize);
        utf8Text = StringBuilder(ToVariable(1), kLastTemp, utf8Text);
        WideCharToMultiByte(CP_UTF8, 0, wide, units, utf8Text, bufferSize, nullptr, nullptr);

        SetConsoleTextAttribute(Stdout(), kBlackOnWhite);
        SetConsoleOutputCP(CP_UTF8);
        RepeatText("\r\n", 3);
        StringBuilder(ToConsole(2), utf8Text, kLastTemp);
    }

    WriteStdout("OK");
    WaitKey();
    WriteStdout("\r\n");
    EraseArray(kAllArrays);
    ReleaseHeapString(kReleaseAll);
    ExitProcess(0);
}

// Code-page conversions against Windows: the same expectations hold for the POSIX
// emulation and for the system's own converter.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "platform/win32.h"

namespace {

// Bytes 0x80 to 0x9F of Windows-1252; the five it leaves undefined stand for themselves.
constexpr WCHAR kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

WCHAR Cp1252ToUnit(unsigned byte) {
    return byte >= 0x80 && byte < 0xA0 ? kCp1252High[byte - 0x80] : static_cast<WCHAR>(byte);
}

struct AnsiResult {
    int count;
    unsigned char byte;
    BOOL usedDefault;
};

AnsiResult ToAnsi(WCHAR unit, DWORD flags = 0) {
    char out[4] = {};
    BOOL usedDefault = 7;
    int n = WideCharToMultiByte(CP_ACP, flags, &unit, 1, out, 4, nullptr, &usedDefault);
    return {n, static_cast<unsigned char>(out[0]), usedDefault};
}

std::string ToUtf8(std::u16string_view text) {
    const auto* wide = reinterpret_cast<const WCHAR*>(text.data());
    int size = WideCharToMultiByte(CP_UTF8, 0, wide, static_cast<int>(text.size()), nullptr, 0,
                                   nullptr, nullptr);
    std::string out(static_cast<std::size_t>(size), '\0');
    int written = WideCharToMultiByte(CP_UTF8, 0, wide, static_cast<int>(text.size()), out.data(),
                                      size, nullptr, nullptr);
    EXPECT_EQ(written, size);
    return out;
}

std::u16string FromUtf8(std::string_view bytes) {
    int size = MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()),
                                   nullptr, 0);
    std::u16string out(static_cast<std::size_t>(size), u'\0');
    MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()),
                        reinterpret_cast<WCHAR*>(out.data()), size);
    return out;
}

}  // namespace

TEST(AnsiCodePage, IsWindows1252) { EXPECT_EQ(GetACP(), 1252u); }

TEST(AnsiCodePage, EveryByteConvertsToItsCharacterAndBack) {
    for (unsigned byte = 1; byte < 256; ++byte) {
        char in = static_cast<char>(byte);
        WCHAR unit = 0;
        ASSERT_EQ(MultiByteToWideChar(CP_ACP, 0, &in, 1, &unit, 1), 1);
        EXPECT_EQ(unit, Cp1252ToUnit(byte)) << "byte " << byte;
        AnsiResult back = ToAnsi(unit);
        EXPECT_EQ(back.count, 1);
        EXPECT_EQ(back.byte, byte) << "byte " << byte;
        EXPECT_FALSE(back.usedDefault) << "byte " << byte;
    }
}

TEST(AnsiCodePage, C1ControlsWithoutASlotBecomeTheDefaultCharacter) {
    for (WCHAR unit : {u'\u0080', u'\u0082', u'\u009F'}) {
        AnsiResult r = ToAnsi(unit);
        EXPECT_EQ(r.byte, '?');
        EXPECT_TRUE(r.usedDefault);
    }
}

TEST(AnsiCodePage, LettersOutsideItBestFitOrBecomeTheDefaultCharacter) {
    struct Case {
        WCHAR unit;
        unsigned char byte;
        bool usedDefault;
    };
    const Case cases[] = {
        {0x0100, 'A', false}, {0x0107, 'c', false}, {0x0141, 'L', false},  // marks dropped
        {0xFF21, 'A', false}, {0xFF01, '!', false},                       // full-width forms
        {0x04BB, 'h', false}, {0x066A, '%', false},
        {0x0426, '?', true},  {0x044F, '?', true},  {0x0661, '?', true},  // Cyrillic, Arabic
        {0x0623, '?', true},  {0x4E2D, '?', true},  {0xD800, '?', true},  {0xDC00, '?', true},
    };
    for (const Case& c : cases) {
        AnsiResult r = ToAnsi(c.unit);
        EXPECT_EQ(r.count, 1);
        EXPECT_EQ(r.byte, c.byte) << std::hex << "U+" << static_cast<unsigned>(c.unit);
        EXPECT_EQ(r.usedDefault != 0, c.usedDefault) << std::hex << "U+" << static_cast<unsigned>(c.unit);
    }
    AnsiResult strict = ToAnsi(0x0100, WC_NO_BEST_FIT_CHARS);
    EXPECT_EQ(strict.byte, '?');
    EXPECT_TRUE(strict.usedDefault);
}

// One fingerprint of all 65,536 single-unit conversions (byte and default flag), so that
// every best-fit entry of the emulation is held against the system's converter.
TEST(AnsiCodePage, TheWholeBasicPlaneConvertsAsOnWindows) {
    std::uint32_t hash = 2166136261u;
    for (unsigned unit = 0; unit < 0x10000; ++unit) {
        AnsiResult r = ToAnsi(static_cast<WCHAR>(unit));
        ASSERT_EQ(r.count, 1);
        for (unsigned value : {static_cast<unsigned>(r.byte), static_cast<unsigned>(r.usedDefault != 0)})
            hash = (hash ^ value) * 16777619u;
    }
    EXPECT_EQ(hash, 0x8B716D1Eu) << std::hex << hash;
}

TEST(AnsiCodePage, UsesTheGivenDefaultCharacter) {
    const WCHAR text[] = {u'A', 0x0426, u'B', 0};
    char out[8] = {};
    BOOL usedDefault = FALSE;
    EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, text, -1, out, 8, "*", &usedDefault), 4);
    EXPECT_STREQ(out, "A*B");
    EXPECT_TRUE(usedDefault);
}

TEST(Utf8CodePage, EncodesSurrogatePairsAndReplacesLoneSurrogates) {
    EXPECT_EQ(ToUtf8(u"A\u00E9\u20AC"), "A\xC3\xA9\xE2\x82\xAC");
    EXPECT_EQ(ToUtf8(u"\U0001F600"), "\xF0\x9F\x98\x80");
    const char16_t lone[] = {u'A', 0xD800, u'B', 0xDC00};
    EXPECT_EQ(ToUtf8(std::u16string_view(lone, 4)), "A\xEF\xBF\xBD" "B\xEF\xBF\xBD");
    const char16_t highAtEnd[] = {u'x', 0xD83D};
    EXPECT_EQ(ToUtf8(std::u16string_view(highAtEnd, 2)), "x\xEF\xBF\xBD");
}

TEST(Utf8CodePage, SizesAndRefusals) {
    const WCHAR text[] = {u'a', 0x0416, 0};  // 1 + 2 bytes, then the terminator
    EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr), 4);
    EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, text, 2, nullptr, 0, nullptr, nullptr), 3);

    char small[2];
    SetLastError(0);
    EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, text, 2, small, 2, nullptr, nullptr), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));

    SetLastError(0);
    EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, text, 0, small, 2, nullptr, nullptr), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

TEST(Utf8CodePage, DecodesWhatItEncodes) {
    const std::u16string texts[] = {
        u"A Russian text: \u0426\u0420\u0422 \u043E\u0442\u043E\u0431\u0440\u0430\u0436",
        u"An arabic text: \u0661- \u0623\u0630\u0643\u0631 END", u"\U0001F600 \u00FF\uFFFD"};
    for (const std::u16string& text : texts) EXPECT_EQ(FromUtf8(ToUtf8(text)), text);
    EXPECT_EQ(FromUtf8("a\x80z"), u"a\uFFFDz");
}

// LoadStringW and LoadStringA against Windows: both targets carry the demo's string table
// (resources on Windows, the linked-in table on Linux) and must read it alike.
#include <gtest/gtest.h>

#include <string>

#include "platform/win32.h"

namespace {

HMODULE Self() { return GetModuleHandleA(nullptr); }

// The demo's entries from the one list both tables are generated from.
struct Entry {
    UINT id;
    std::u16string text;
};
const Entry kEntries[] = {
#define TARNFOLD_STRING(id, units, text) {id, u"" text},
#include "../../demo/strings.def"
#undef TARNFOLD_STRING
};

std::u16string Wide(const WCHAR* text, int units) {
    return std::u16string(reinterpret_cast<const char16_t*>(text), static_cast<std::size_t>(units));
}

}  // namespace

TEST(LoadString, WideEntriesArriveUnitForUnit) {
    for (const Entry& entry : kEntries) {
        WCHAR buffer[4096];
        int units = LoadStringW(Self(), entry.id, buffer, 4096);
        EXPECT_EQ(units, static_cast<int>(entry.text.size()));
        EXPECT_EQ(Wide(buffer, units), entry.text) << "id " << entry.id;
        EXPECT_EQ(buffer[units], 0);
    }
}

TEST(LoadString, WideEntriesAreCutToTheBufferAndTerminated) {
    WCHAR buffer[8];
    for (WCHAR& unit : buffer) unit = 0x7777;
    EXPECT_EQ(LoadStringW(Self(), 100, buffer, 5), 4);
    EXPECT_EQ(Wide(buffer, 4), u"A Ru");
    EXPECT_EQ(buffer[4], 0);
    EXPECT_EQ(buffer[5], 0x7777);
}

TEST(LoadString, SizeZeroGivesAReadOnlyPointerToTheEntry) {
    const WCHAR* text = nullptr;
    int units = LoadStringW(Self(), 123, reinterpret_cast<WCHAR*>(&text), 0);
    ASSERT_EQ(units, 74);
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(Wide(text, units), kEntries[1].text);
}

TEST(LoadString, AnsiEntriesAreCodePage1252WithQuestionMarksForTheRest) {
    for (const Entry& entry : kEntries) {
        std::string expected;
        for (char16_t unit : entry.text) expected += unit < 0x80 ? static_cast<char>(unit) : '?';
        char buffer[4096];
        int bytes = LoadStringA(Self(), entry.id, buffer, 4096);
        EXPECT_EQ(bytes, static_cast<int>(entry.text.size()));
        EXPECT_EQ(std::string(buffer, static_cast<std::size_t>(bytes)), expected);
        EXPECT_EQ(buffer[bytes], '\0');
    }
    char small[6];
    EXPECT_EQ(LoadStringA(Self(), 100, small, 6), 5);
    EXPECT_STREQ(small, "A Rus");
}

TEST(LoadString, MissingEntries) {
    WCHAR buffer[16];
    // No entry in the whole block of sixteen ids: the resource is not found.
    SetLastError(0);
    EXPECT_EQ(LoadStringW(Self(), 5000, buffer, 16), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_RESOURCE_NAME_NOT_FOUND));
    char bytes[16];
    SetLastError(0);
    EXPECT_EQ(LoadStringA(Self(), 5000, bytes, 16), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_RESOURCE_NAME_NOT_FOUND));
    // 101 shares its block with 100: an absent string there is only an empty one.
    SetLastError(12345);
    EXPECT_EQ(LoadStringW(Self(), 101, buffer, 16), 0);
    EXPECT_EQ(GetLastError(), 12345u);
}

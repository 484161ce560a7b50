// LoadResText: string-table entries straight into the ring as temporaries, on both targets
// from the demo's string table.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "support/fatal_echo.h"
#include "tarnfold.h"

namespace tarnfold {
namespace {

struct Entry {
    std::int32_t id;
    std::u16string text;
};
const Entry kEntries[] = {
#define TARNFOLD_STRING(id, units, text) {id, u"" text},
#include "../../demo/strings.def"
#undef TARNFOLD_STRING
};

// Code page 1252 has no Cyrillic or Arabic letters: each arrives as a question mark.
std::string AnsiOf(const std::u16string& text) {
    std::string out;
    for (char16_t unit : text) out += unit < 0x80 ? static_cast<char>(unit) : '?';
    return out;
}

const TempSlot& Current() { return TempSlotTable.slot[TempSlotTable.current]; }

}  // namespace

TEST(LoadResText, NegativeIdsGiveTheWideTextWithItsZeroUnit) {
    for (const Entry& entry : kEntries) {
        char* expectedStart = RingPosition();
        char* text = LoadResText(-entry.id);
        EXPECT_EQ(text, expectedStart);
        EXPECT_EQ(Current().text, text);
        EXPECT_EQ(Current().length, static_cast<std::int32_t>(2 * entry.text.size()));
        EXPECT_EQ(std::memcmp(text, entry.text.data(), 2 * entry.text.size()), 0) << entry.id;
        EXPECT_EQ(text[2 * entry.text.size()], 0);
        EXPECT_EQ(text[2 * entry.text.size() + 1], 0);
        EXPECT_GE(RingPosition(), text + 2 * entry.text.size() + 2) << "the terminator survives";
    }
    char* again = LoadResText(-100);
    EXPECT_EQ(Current().text, again);
    EXPECT_EQ(Current().length, 376);
}

TEST(LoadResText, PositiveIdsGiveTheAnsiTextWithQuestionMarks) {
    for (const Entry& entry : kEntries) {
        char* text = LoadResText(entry.id);
        std::string expected = AnsiOf(entry.text);
        EXPECT_EQ(Current().length, static_cast<std::int32_t>(expected.size()));
        EXPECT_EQ(std::string(text), expected);
    }
    LoadResText(100);
    EXPECT_EQ(Current().length, 188);
    EXPECT_EQ(std::string(Current().text, 20), "A Russian text: ??? ");
}

TEST(LoadResText, TwoLoadsFillConsecutiveSlotsWordAlignedAfterTheTerminator) {
    char* first = LoadResText(123);
    int firstSlot = TempSlotTable.current;
    char* second = LoadResText(-123);
    int secondSlot = TempSlotTable.current;
    EXPECT_EQ(secondSlot, firstSlot == kTempSlotCount ? 1 : firstSlot + 1);
    auto afterTerminator = reinterpret_cast<std::uintptr_t>(first + 74 + 1);
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(second), (afterTerminator + 3) & ~std::uintptr_t{3});
    EXPECT_EQ(std::strlen(first), 74u) << "the second load leaves the first intact";
}

TEST(LoadResText, ATextPastTheWrapOffsetUsesTheReserveAndTheRingWraps) {
    char* nearWrap = ScratchRing + kRingWrapOffset - 8;
    SetRingPosition(nearWrap);
    char* text = LoadResText(-100);
    EXPECT_EQ(text, nearWrap);
    EXPECT_EQ(Current().length, 376);
    EXPECT_EQ(std::memcmp(text, kEntries[0].text.data(), 376), 0);
    EXPECT_EQ(RingPosition(), ScratchRing);
}

TEST(LoadResTextDeathTest, AMissingEntryEndsTheProgramWithTheSystemsExplanation) {
    for (std::int32_t id : {999, -999, 5000}) {
        EXPECT_EXIT(
            {
                testing_support::EchoFatalMessages();
                LoadResText(id);
            },
            ::testing::ExitedWithCode(testing_support::ExitCodeAsSeen(kFatalUnknownExitCode)),
            // The system's own words follow (each system words it differently).
            ::testing::ContainsRegex("\\[Fatal error:\\|GetLastError:\r\n\\w"))
            << "id " << id;
    }
}

}  // namespace tarnfold

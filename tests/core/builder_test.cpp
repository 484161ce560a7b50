// The string builder: consumption order, room, records, delivery to variables and console.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "core/deferred_record.h"
#include "platform/win32.h"
#include "support/fatal_echo.h"
#include "support/storage_probe.h"
#include "tarnfold.h"

namespace tarnfold {
namespace {

using testing_support::IsRegistered;
using testing_support::RecordText;
using testing_support::RegisteredCount;

std::size_t BlockSize(const void* block) { return HeapSize(GetProcessHeap(), 0, block); }

class StringBuilderTest : public ::testing::Test {
protected:
    void SetUp() override { ReleaseHeapString(kReleaseAll); }
    void TearDown() override { ReleaseHeapString(kReleaseAll); }
};

TEST_F(StringBuilderTest, VariableGetsOneRegisteredBlockOfTPlus24) {
    const char* meaningless = reinterpret_cast<const char*>(0xDEADBEEF);
    char* text = StringBuilder(ToVariable(4), "Hello", kTokenSpace, "world", kTokenX, meaningless);
    EXPECT_STREQ(text, "Hello worldX");
    EXPECT_EQ(BlockSize(text), 12u + 24u);
    EXPECT_TRUE(IsRegistered(text));
    EXPECT_EQ(RegisteredCount(), 1);
}

TEST_F(StringBuilderTest, AssigningAgainReleasesOnlyTheRegisteredPreviousValue) {
    char notRegistered[] = "static";
    char* first = StringBuilder(ToVariable(1), "one", notRegistered);
    EXPECT_EQ(RegisteredCount(), 1);
    char* second = StringBuilder(ToVariable(1), "two", first);
    EXPECT_EQ(RegisteredCount(), 1);
    EXPECT_TRUE(IsRegistered(second));
    EXPECT_FALSE(IsRegistered(first));
    EXPECT_STREQ(notRegistered, "static");
    // A variable may take its own old value as a part: the new block is built first.
    char* third = StringBuilder(ToVariable(2), second, second, second);
    EXPECT_STREQ(third, "twotwo");
    EXPECT_EQ(RegisteredCount(), 1);
}

TEST_F(StringBuilderTest, TemporariesAreConsumedOldestFirstAmongTheNewestK) {
    RecordText("old");
    RecordedTemp a = RecordText("A");
    RecordText("B");
    RecordedTemp c = RecordText("C");
    char* text = StringBuilder(ToVariable(5), kLastTemp, "-", kLastTemp, kLastTemp,
                               SlotToken(SlotNumber(a.slot)), nullptr);
    EXPECT_STREQ(text, "A-BCA");
    EXPECT_EQ(SelectTempSlot(0), c.slot);  // a variable assignment records no temporary
}

TEST_F(StringBuilderTest, ConsumptionWrapsAroundSlotTwenty) {
    while (SlotNumber(SelectTempSlot(0)) != 19) RecordText("skip");
    RecordText("x");   // slot 20
    RecordText("y");   // slot 1
    EXPECT_STREQ(StringBuilder(ToVariable(2), kLastTemp, kLastTemp, nullptr), "xy");
}

TEST_F(StringBuilderTest, WideTextsAreMeasuredInUnitsAndEndInAZeroUnit) {
    const char16_t* wide = u"Wide \u0416";
    char* text = StringBuilder(ToVariable(2) | kBuildWide, wide, u"!", nullptr);
    auto* units = reinterpret_cast<const char16_t*>(text);
    EXPECT_EQ(std::u16string(units), u"Wide \u0416!");
    EXPECT_EQ(BlockSize(text), 14u + 24u);
}

TEST_F(StringBuilderTest, ZeroFillRecordWritesItsZerosIntoTheVariable) {
    std::memset(RingPosition(), 'q', 64);
    RecordedTemp buffer = NewStr(5);
    EXPECT_EQ(buffer.slot->length, 6);
    char* text = StringBuilder(ToVariable(3), "[", kLastTemp, "]", nullptr);
    EXPECT_EQ(std::string(text, 8), std::string("[\0\0\0\0\0]\0", 8));
    EXPECT_EQ(BlockSize(text), 2u + 6u + 24u);
}

TEST_F(StringBuilderTest, SpliceRecordReplacesEveryMatch) {
    static const char source[] = "a-bb-c-";
    static const char replacement[] = "<+>";
    Word* record = reinterpret_cast<Word*>(RingPosition());
    auto word = [](const char* p) { return static_cast<Word>(reinterpret_cast<std::uintptr_t>(p)); };
    Word fields[] = {kRecordMark, kRecordSplice, word(replacement), 1, word(source),
                     word(source + 1), word(source + 4), word(source + 6), word(source + 7), 0};
    std::memcpy(record, fields, sizeof fields);
    std::string expected = "a<+>bb<+>c<+>";
    RecordedTemp temp = RecordTemp(record + 10);
    MarkRecordTemp(temp.slot, static_cast<std::int32_t>(expected.size() + 1));
    char* once = StringBuilder(ToVariable(1), kLastTemp, nullptr);
    EXPECT_EQ(std::string(once), expected);
    // The record is left intact: a second use yields the same text.
    EXPECT_EQ(std::string(StringBuilder(ToVariable(1), SlotToken(SlotNumber(temp.slot)), once)), expected);
}

// Regression: a text is never taken for a record because of its first bytes.
TEST_F(StringBuilderTest, WideBarTemporaryIsCopiedAsTextNotExpanded) {
    char16_t* at = reinterpret_cast<char16_t*>(RingPosition());
    at[0] = u'|';
    at[1] = 0;
    RecordTemp(at + 1);  // bytes 7C 00 00 00, length 2
    char* text = StringBuilder(ToVariable(1) | kBuildWide, kLastTemp, nullptr);
    EXPECT_EQ(std::u16string(reinterpret_cast<const char16_t*>(text)), u"|");
    EXPECT_EQ(BlockSize(text), 2u + 24u);
    alignas(4) static const char looksLikeRecord[] = {0x7C, 0, 0, 0, 0x7A, 0, 0, 0, 0x40, 0, 0, 0, 0};
    char16_t wide[8];
    std::memcpy(wide, looksLikeRecord, sizeof looksLikeRecord);
    text = StringBuilder(ToVariable(1) | kBuildWide, wide, text);
    EXPECT_EQ(std::memcmp(text, looksLikeRecord, 2), 0);
    EXPECT_EQ(BlockSize(text), 2u + 24u);
}

TEST(StringBuilderFreshTest, TemporaryTokensBeforeAnyTemporaryNameTheEmptyText) {
    EXPECT_IN_FRESH_PROCESS({
        char* text = StringBuilder(ToVariable(3), kLastTemp, "x", SlotToken(7), nullptr);
        return std::string(text) == "x" &&
               RepeatText(reinterpret_cast<const char*>(kLastTemp), 5).slot->length == 0;
    });
}

TEST_F(StringBuilderTest, InvalidTokensContributeNothing) {
    EXPECT_STREQ(StringBuilder(ToVariable(4), "a", 0u, 9u, "b", nullptr), "ab");
}

class ConsoleBuild : public StringBuilderTest {
protected:
    std::string Print(auto... parts) {
        ::testing::internal::CaptureStdout();
        StringBuilder(ToConsole(sizeof...(parts)), parts...);
        return ::testing::internal::GetCapturedStdout();
    }
};

TEST_F(ConsoleBuild, OutputIsBuiltInTheRingAsATemporary) {
    SetRingPosition(ScratchRing + 1000);
    EXPECT_EQ(Print("one", kTokenSpace, "two"), "one two");
    TempSlot* room = SelectTempSlot(0);
    EXPECT_EQ(room->text, ScratchRing + 1000);
    EXPECT_EQ(room->length, 7 + 24);
    EXPECT_EQ(RegisteredCount(), 0);
}

TEST_F(ConsoleBuild, PrintStopsAtTheFirstZeroByte) {
    NewStr(3);
    EXPECT_EQ(Print("ab", kLastTemp, "cd"), "ab");
}

TEST_F(ConsoleBuild, OutputPastTheUsableEndUsesAHeapBlockAndLeavesTheRingAlone) {
    char* position = ScratchRing + kRingUsableEnd - 40;
    SetRingPosition(position);
    TempSlot* before = SelectTempSlot(0);
    TempSlot saved = *before;
    EXPECT_EQ(Print("0123456789", "0123456789"), "01234567890123456789");
    EXPECT_EQ(RingPosition(), position);
    EXPECT_EQ(SelectTempSlot(0), before);
    EXPECT_EQ(before->text, saved.text);
    EXPECT_EQ(before->length, saved.length);
    // One byte less and it fits the ring exactly.
    SetRingPosition(ScratchRing + kRingUsableEnd - 36);
    EXPECT_EQ(Print("0123456789", "01"), "012345678901");
    EXPECT_EQ(SelectTempSlot(0)->text, ScratchRing + kRingUsableEnd - 36);
    SetRingPosition(ScratchRing);
}

TEST(StringBuilderDeathTest, AssigningWithAFullRegistryIsFatal) {
    EXPECT_FATAL(
        {
            const char* previous = nullptr;
            for (int i = 0; i < TfHeapStrings; ++i) StringBuilder(ToVariable(1), "x", previous);
            previous = StringBuilder(ToVariable(1), "x", previous);
        },
        -8, "Too many strings: increase TfHeapStrings");
}

}  // namespace
}  // namespace tarnfold

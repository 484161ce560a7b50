// New$ buffers and RepeatText repetitions.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "platform/win32.h"
#include "support/fatal_echo.h"
#include "support/guard_page.h"
#include "tarnfold.h"

namespace tarnfold {
namespace {

std::string SlotText(const RecordedTemp& temp) {
    return std::string(temp.slot->text, static_cast<std::size_t>(temp.slot->length));
}

TEST(NewStr, OneByteBufferIsAZeroAndTheTerminator) {
    RecordedTemp record = NewStr(1);
    EXPECT_EQ(record.slot->length, 2);
    char* text = StringBuilder(ToVariable(1), kLastTemp, nullptr);
    EXPECT_EQ(text[0], '\0');
    EXPECT_EQ(text[1], '\0');
    EXPECT_EQ(HeapSize(GetProcessHeap(), 0, text), 1u + 24u);  // the byte it expands to
    ReleaseHeapString(text);
}

TEST(NewStr, ALargeBufferCostsTwelveBytesOfRing) {
    char* before = RingPosition();
    RecordedTemp record = NewStr(10000000);
    EXPECT_EQ(record.start, before);
    EXPECT_EQ(RingPosition(), before + 16);  // twelve bytes and the separator
    EXPECT_EQ(record.slot->length, 10000001);
}

TEST(NewStrDeathTest, SizesOfZeroOrLessAreFatal) {
    EXPECT_FATAL(NewStr(0), -9, "Insufficient buffer or New$(<=0)");
    EXPECT_FATAL(NewStr(-5), -9, "Insufficient buffer or New$(<=0)");
    EXPECT_FATAL(NewStr(0x7FFFFFFF), -9, "Insufficient buffer or New$(<=0)");
}

TEST(RepeatText, RepeatsTextsAndSingleCharacters) {
    EXPECT_EQ(SlotText(RepeatText("\r\n", 3)), "\r\n\r\n\r\n");
    RecordedTemp filled = RepeatText("=", 32767);
    EXPECT_EQ(filled.slot->length, 32767);
    EXPECT_EQ(SlotText(filled), std::string(32767, '='));
    EXPECT_EQ(filled.start[32767], '\0');
    EXPECT_EQ(SlotText(RepeatText("abc", 10922)).size(), 32766u);
}

TEST(RepeatText, CountZeroGivesTheEmptyText) {
    RepeatText("leftover", 2);
    RecordedTemp empty = RepeatText("x", 0);
    EXPECT_EQ(empty.slot->length, 0);
    EXPECT_EQ(empty.start[0], '\0');
    EXPECT_EQ(RepeatText("ab", 0).slot->length, 0);
}

TEST(RepeatText, EmptyTextIsNotReadPastItsTerminator) {
    testing_support::GuardedPage page;
    char* empty = page.Tail(1);
    *empty = '\0';
    EXPECT_EQ(RepeatText(empty, 100).slot->length, 0);
}

TEST(RepeatText, TakesTheLastTemporaryAsItsText) {
    RepeatText("ab", 2);
    EXPECT_EQ(SlotText(RepeatText(reinterpret_cast<const char*>(kLastTemp), 2)), "abababab");
}

// A New$ temporary is a twelve-byte record whose slot length counts the bytes it expands
// to: repeating it must repeat its zeros, never the record's words and the ring bytes after it.
TEST(RepeatText, RecordTemporaryIsNotReadPastItsRecord) {
    std::memset(RingPosition(), 'S', 64);
    NewStr(5);
    RecordedTemp zeros = RepeatText(reinterpret_cast<const char*>(kLastTemp), 3);
    EXPECT_EQ(SlotText(zeros), std::string(15, '\0'));
    EXPECT_EQ(zeros.start[15], '\0');
    RecordedTemp one = NewStr(1);
    EXPECT_EQ(SlotText(RepeatText(reinterpret_cast<const char*>(SlotToken(SlotNumber(one.slot))), 4)),
              std::string(4, '\0'));
}

// The source may lie in the repetition buffer itself: a view of the last repetition, or a
// record whose text is read from it. Neither is written over while it is read.
TEST(RepeatText, SourceInsideItsOwnBufferComesOutWhole) {
    RepeatText("abc", 1);
    SubText(LastTempArg(), 2, 2);
    EXPECT_EQ(SlotText(RepeatText(LastTempArg(), 3)), "bcbcbc");
    RepeatText("xyz", 1);
    Replace(LastTempArg(), "z", "b", 0);
    EXPECT_EQ(SlotText(RepeatText(LastTempArg(), 2)), "xybxyb");
}

TEST(RepeatText, TwoRepetitionsInOneBuildBothReadTheNewer) {
    RepeatText("a", 2);
    RepeatText("b", 3);
    char* text = StringBuilder(ToVariable(2), kLastTemp, kLastTemp, nullptr);
    EXPECT_STREQ(text, "bbbbb");  // each slot keeps its own length
    ReleaseHeapString(text);
}

TEST(RepeatTextDeathTest, RepeatTextRejectsCountsAboveBuffer) {
    EXPECT_FATAL(RepeatText("x", 32768), -9, "Insufficient buffer or New$(<=0)");
    EXPECT_FATAL(RepeatText("x", 65536), -9, "Insufficient buffer or New$(<=0)");
    EXPECT_FATAL(RepeatText("x", -1), -9, "Insufficient buffer or New$(<=0)");
    EXPECT_FATAL(RepeatText("ab", 16384), -9, "Insufficient buffer or New$(<=0)");
    EXPECT_FATAL(RepeatText("abcd", 16384), -9, "Insufficient buffer or New$(<=0)");  // 65,536
    EXPECT_FATAL({
        NewStr(40000);  // 40,000 zeros would not fit the buffer
        RepeatText(reinterpret_cast<const char*>(kLastTemp), 1);
    }, -9, "Insufficient buffer or New$(<=0)");
}

}  // namespace
}  // namespace tarnfold

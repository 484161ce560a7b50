// The string builder: consumption order, room, records, delivery to variables and console.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "core/deferred_record.h"
#include "platform/win32.h"
#include "support/fatal_echo.h"
#include "support/guard_page.h"
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
    EXPECT_EQ(BlockSize(text), 2u + 5u + 24u);  // the text the record expands to, plus 24
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

// The newest temporary alone, assigned: a text that is no record is copied.
TEST_F(StringBuilderTest, VariableFromTheNewestTemporaryThatIsText) {
    TrimText(" ab ", kTrimBoth);
    char* text = StringBuilder(ToVariable(1), kLastTemp, nullptr);
    EXPECT_STREQ(text, "ab");
    EXPECT_EQ(BlockSize(text), 2u + 24u);
    ReleaseHeapString(text);
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

// Parts are measured in aligned 16-byte blocks: a part may start at any offset within its
// block, with zero bytes before it in the same block, and end at any offset of a later one.
TEST_F(StringBuilderTest, PartsAreMeasuredAtEveryAlignmentAndLength) {
    alignas(16) char buffer[80];
    for (std::size_t offset = 0; offset < 16; ++offset) {
        for (std::size_t length : {0u, 1u, 15u, 16u, 17u, 31u, 33u, 47u}) {
            std::memset(buffer, 0, sizeof buffer);
            std::memset(buffer + offset, '\xC1', length);  // bytes of 0x80 and above end nothing
            std::string expected(length, '\xC1');
            char* text = StringBuilder(ToVariable(2), buffer + offset, "|", nullptr);
            EXPECT_EQ(std::string(text), expected + "|") << "offset " << offset << " length " << length;
            EXPECT_EQ(BlockSize(text), length + 1 + 24);
            ReleaseHeapString(text);
        }
    }
}

TEST_F(StringBuilderTest, APartEndingAtAnUnreadablePageIsMeasuredWithoutReadingIt) {
    testing_support::GuardedPage page;
    for (std::size_t size : {1u, 2u, 16u, 17u, 40u}) {
        char* part = page.Tail(size);
        std::memset(part, 'a', size - 1);
        part[size - 1] = '\0';
        char* text = StringBuilder(ToVariable(1), part, nullptr);
        EXPECT_EQ(std::string(text), std::string(size - 1, 'a'));
        ReleaseHeapString(text);
    }
}

TEST(StringBuilderFreshTest, TemporaryTokensBeforeAnyTemporaryNameTheEmptyText) {
    EXPECT_IN_FRESH_PROCESS({
        char* text = StringBuilder(ToVariable(3), kLastTemp, "x", SlotToken(7), nullptr);
        return std::string(text) == "x" &&
               RepeatText(reinterpret_cast<const char*>(kLastTemp), 5).slot->length == 0;
    });
}

// No text lies below 64 KiB: values there that are no token name the empty text wherever
// a text is taken, and nothing reads from them.
TEST_F(StringBuilderTest, InvalidTokensContributeNothing) {
    EXPECT_STREQ(StringBuilder(ToVariable(4), "a", 0u, 9u, "b", nullptr), "ab");
    for (Word value : {0x78u, 0x7Eu, 0x80u, 0xFFFFu}) {
        const auto* text = reinterpret_cast<const char*>(static_cast<std::uintptr_t>(value));
        EXPECT_STREQ(StringBuilder(ToVariable(3), "a", value, "b", nullptr), "ab");
        EXPECT_EQ(SubText(text, 1, 1)->length, 0);
        EXPECT_EQ(FindText(1, "abc", text, FindExact).position, 0);
        EXPECT_EQ(ParseNumber(value, nullptr), ParseNumber("", nullptr));
        if (value > kLastTemp) {
            EXPECT_EQ(FindText(1, text, "a", FindExact).position, 0);
        }
    }
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
    EXPECT_EQ(room->length, 7);  // the text, not its spare bytes
    EXPECT_GE(RingPosition(), ScratchRing + 1000 + 7 + 24);  // past the whole room
    EXPECT_EQ(Print("[", kLastTemp, "]"), "[one two]");
    EXPECT_EQ(RegisteredCount(), 0);
}

TEST_F(ConsoleBuild, PrintStopsAtTheFirstZeroByte) {
    NewStr(3);
    EXPECT_EQ(Print("ab", kLastTemp, "cd"), "ab");
    EXPECT_EQ(Print("ab", kTokenTab, "cd", kTokenSpace), "ab\tcd ");  // no slot part: its bytes, unmeasured
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

// Regression for "A record part can be overwritten before it is expanded": the output room
// takes the slot that a slot-number token names; the part keeps the record it was measured as.
TEST_F(ConsoleBuild, ARecordPartCanBeOverwrittenBeforeItIsExpanded) {
    RecordedTemp buffer = NewStr(5);
    for (int i = 0; i < kTempSlotCount - 1; ++i) RepeatText("r", 3);
    const Word oldest = SlotToken(SlotNumber(buffer.slot));
    EXPECT_EQ(Print("<", oldest, ">"), "<");  // the console stops at the first zero byte
    TempSlot* room = SelectTempSlot(0);
    ASSERT_EQ(room, buffer.slot);  // the room took the record's slot
    EXPECT_EQ(std::string(room->text, 10), std::string("<\0\0\0\0\0>\0\0\0", 10));
}

// Regression for "Output room after a wrap can lie over a later part": a temporary recorded
// ahead of the wrapped position lies in the room; the result is built in a heap block.
TEST_F(ConsoleBuild, OutputRoomAfterAWrapCanLieOverALaterPart) {
    SetRingPosition(ScratchRing + 1000);
    RecordText("TAIL");
    SetRingPosition(ScratchRing);
    const std::string filler(2000, 'a');
    EXPECT_EQ(Print(filler.c_str(), kLastTemp), filler + "TAIL");
    EXPECT_EQ(RingPosition(), ScratchRing);  // the room was not taken in the ring
    EXPECT_STREQ(SelectTempSlot(0)->text, "TAIL");
    // The record words of a record part count as its source too.
    SetRingPosition(ScratchRing + 1000);
    NewStr(3);
    SetRingPosition(ScratchRing);
    EXPECT_EQ(Print(filler.c_str(), kLastTemp, "z"), filler);
    EXPECT_EQ(RingPosition(), ScratchRing);
}

// Regression for "Nothing checks that a StringBuilder call has as many arguments as its
// request says": the checked forms refuse a mismatch at compile time.
template <Word kRequest, typename... Args>
concept Builds = requires(Args... args) { StringBuilder<kRequest>(args...); };
static_assert(Builds<ToVariable(2), const char*, Word, char*>);
static_assert(!Builds<ToVariable(2), const char*, Word>, "a variable needs its previous value");
static_assert(!Builds<ToConsole(1), const char*, const char*>, "output takes no previous value");
static_assert(Builds<ToElement(1), Word> && !Builds<ToElement(1), Word, char*>);
static_assert(Builds<ToFileSlot(3, 2), const char*, Word>);
static_assert(!Builds<ToConsole(0)>, "a request names at least one part");

TEST_F(ConsoleBuild, CheckedFormsBuildTheRequestTheirArgumentsName) {
    char* text = Assign(nullptr, "one", kTokenSpace, "two");
    EXPECT_STREQ(text, "one two");
    EXPECT_EQ(BlockSize(text), 7u + 24u);
    char* wide = Assign(text, u"\u0416", u"!");
    EXPECT_EQ(std::u16string(reinterpret_cast<const char16_t*>(wide)), u"\u0416!");
    EXPECT_FALSE(IsRegistered(text));
    ::testing::internal::CaptureStdout();
    tarnfold::Print("a", kTokenTab, "b");  // not the fixture's helper
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "a\tb");
}

// Regression: the run-time request form read past its arguments when the request named
// more parts than it was given (the sanitizer build saw a stack-buffer-overflow).
TEST(StringBuilderDeathTest, RunTimeRequestFormReadsPastItsArguments) {
    volatile Word parts = 3;  // a request the compiler cannot see
    EXPECT_FATAL(StringBuilder(ToConsole(static_cast<int>(parts)), "a", "b"), -9,
                 "Insufficient buffer or New$(<=0)");
    EXPECT_FATAL(StringBuilder(ToVariable(static_cast<int>(parts) - 1), "a", "b"), -9,
                 "Insufficient buffer or New$(<=0)");
    EXPECT_FATAL(StringBuilder(ToElement(static_cast<int>(parts) - 2), "a", "b"), -9,
                 "Insufficient buffer or New$(<=0)");
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

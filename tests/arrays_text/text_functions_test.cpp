// SubText views, TrimText, ChangeCase and KeepTemp.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "platform/win32.h"
#include "support/fatal_echo.h"
#include "support/guard_page.h"
#include "support/storage_probe.h"
#include "tarnfold.h"

namespace tarnfold {
namespace {

using testing_support::RecordText;

std::string ViewOf(const TempSlot* slot) { return std::string(slot->text, static_cast<std::size_t>(slot->length)); }
const char* Token(Word token) { return reinterpret_cast<const char*>(token); }

struct SubCase {
    std::int32_t length, start;
    const char* part;
};

TEST(SubText, PartsOfAPointerSourceAreViewsIntoIt) {
    constexpr SubCase kCases[] = {
        {3, 1, "hel"}, {3, -1, "llo"}, {2, 4, "lo"},  {3, 5, "o"},   {10, 2, "ello"}, {-1, 2, "ello"},
        {10, -1, "hello"}, {-1, -1, "hello"}, {5, -7, "hello"}, {0, 3, ""}, {3, 0, ""}, {3, 6, ""},
    };
    testing_support::GuardedPage page;
    char* hello = page.Tail(6);
    std::memcpy(hello, "hello", 6);
    for (const SubCase& c : kCases) {
        TempSlot* slot = SubText(hello, c.length, c.start);
        EXPECT_EQ(ViewOf(slot), c.part) << c.length << ", " << c.start;
        if (slot->length == 0) {
            EXPECT_EQ(slot->text, hello) << "an empty part points at the source";
        }
    }
}

TEST(SubText, LastTemporaryIsNarrowedInPlace) {
    RecordedTemp temp = RecordText("hello");
    int index = TempSlotTable.current;
    SubText(LastTempArg(), 3, 2);                // "ell"
    TempSlot* slot = SubText(LastTempArg(), 2, -1);  // "ll"
    EXPECT_EQ(slot, temp.slot);
    EXPECT_EQ(TempSlotTable.current, index);
    char* built = StringBuilder(ToVariable(3), "[", kLastTemp, "]", nullptr);
    EXPECT_STREQ(built, "[ll]");
    ReleaseHeapString(built);
}

TEST(SubText, TokenSourcesAndSlotChoice) {
    RecordedTemp temp = RecordText("borrowed");
    temp.slot->length = -8;  // a borrowed element's text: its magnitude counts
    EXPECT_EQ(ViewOf(SubText(Token(SlotToken(SlotNumber(temp.slot))), 3, -1)), "wed");
    EXPECT_EQ(ViewOf(SubText(Token(kTokenFourSpaces), 2, 1)), "  ");
    EXPECT_EQ(SubText(Token(9), 2, 1)->length, 0);  // not a valid source: the empty text
    // A view that starts where the current temporary starts reuses its slot.
    RecordedTemp current = RecordText("abcdef");
    EXPECT_EQ(SubText(current.start, 2, 1), current.slot);
    EXPECT_NE(SubText(current.start, 2, 2), current.slot);
}

TEST(SubText, SubTextFreshSlotNamesNoElement) {
    ElementRecord element = {nullptr, 0};
    for (int i = 0; i < kTempSlotCount; ++i) RecordText("x").slot->destination = &element;
    EXPECT_EQ(SubText("text", 2, 1)->destination, nullptr);
}

TEST(SubTextDeathTest, SubTextOfARecordIsFatal) {
    EXPECT_FATAL({ NewStr(5); SubText(LastTempArg(), 2, 1); }, -9, "Insufficient buffer or New$(<=0)");
    EXPECT_FATAL({
        RecordedTemp record = NewStr(5);
        RecordText("later");
        SubText(Token(SlotToken(SlotNumber(record.slot))), 2, 1);
    }, -9, "Insufficient buffer or New$(<=0)");
}

TEST(TrimText, RemovesBlanksFromTheSidesAsked) {
    struct TrimCase {
        const char* text;
        std::int32_t sides;
        const char* trimmed;
    };
    constexpr TrimCase kCases[] = {
        {"  a b  ", kTrimBoth, "a b"}, {"  a b  ", kTrimLeading, "a b  "}, {"  a b  ", kTrimTrailing, "  a b"},
        {"  a b  ", kTrimNone, "  a b  "}, {" a ", kTrimBoth, "a"}, {"   ", kTrimBoth, ""}, {"", kTrimBoth, ""},
        // Bytes from 0x80 on are letters (Windows-1252 and UTF-8 "caf\u00e9", "\u00c9t\u00e9").
        {"caf\xE9", kTrimTrailing, "caf\xE9"}, {"caf\xC3\xA9 ", kTrimBoth, "caf\xC3\xA9"},
        {"\xC9t\xE9", kTrimLeading, "\xC9t\xE9"},
        {"\t\r\n\xA0x\x01\xFF \x7F", kTrimBoth, "\xA0x\x01\xFF \x7F"}, {"!x~", kTrimBoth, "!x~"},
    };
    testing_support::GuardedPage page;
    for (const TrimCase& c : kCases) {
        std::size_t size = std::strlen(c.text) + 1;
        char* text = page.Tail(size);
        std::memcpy(text, c.text, size);
        char* ring = RingPosition();
        RecordedTemp trimmed = TrimText(text, c.sides);
        EXPECT_EQ(trimmed.start, ring);
        EXPECT_EQ(ViewOf(trimmed.slot), c.trimmed) << c.text << ", " << c.sides;
        EXPECT_EQ(trimmed.start[trimmed.slot->length], '\0');
    }
}

TEST(TrimText, NullTrimsTheTextAtTheRingPositionInPlace) {
    char* ring = RingPosition();
    std::memcpy(ring, "\t in place \t", 13);
    RecordedTemp trimmed = TrimText(nullptr, kTrimBoth);
    EXPECT_EQ(trimmed.start, ring);
    EXPECT_STREQ(trimmed.start, "in place");
}

TEST(TrimTextDeathTest, TrimTextRejectsResultsPastTheRingsUsableEnd) {
    const std::size_t reserve = kRingUsableEnd - (kRingWrapOffset - 4);
    std::string fits(reserve - 1, 'a'), tooLong(reserve, 'a');
    SetRingPosition(ScratchRing + kRingWrapOffset - 4);
    EXPECT_EQ(TrimText(fits.c_str(), kTrimBoth).slot->length, static_cast<std::int32_t>(reserve - 1));
    EXPECT_FATAL({
        SetRingPosition(ScratchRing + kRingWrapOffset - 4);
        TrimText(tooLong.c_str(), kTrimBoth);
    }, -9, "Insufficient buffer or New$(<=0)");
    EXPECT_FATAL({  // in place, with no terminator before the usable end
        char* at = ScratchRing + kRingWrapOffset - 4;
        SetRingPosition(at);
        const auto size = static_cast<std::size_t>(ScratchRing + kScratchRingSize - at);
        std::memset(RingRoom(size), 'a', size);
        TrimText(nullptr, kTrimNone);
    }, -9, "Insufficient buffer or New$(<=0)");
}

// TrimText, ChangeCase and Replace take tokens as SubText does, and any other value below
// 64 KiB as the empty text (the text_functions and replace fuzz targets pass such values and
// views): here Replace's tokens, which the splice reads when it is expanded. A deferred
// record, or a view without a zero byte at its end, is no text any of them reads.
TEST(TextArguments, ReplaceTakesTemporariesAndConstantsByToken) {
    TrimText(" abcab ", kTrimBoth);
    Replace(LastTempArg(), "b", Token(kTokenCrLf), 0);
    char* text = StringBuilder(ToVariable(1), kLastTemp, nullptr);
    EXPECT_STREQ(text, "a\r\nca\r\n");
    ReleaseHeapString(text);
}

TEST(TextArgumentsDeathTest, RecordsAndUnterminatedViewsAreRefused) {
    void (*const refused[])() = {
        [] { Replace("hello world", "o", "0", 0); TrimText(LastTempArg(), kTrimBoth); },
        [] { NewStr(5); ChangeCase(LastTempArg(), kToUpper); },
        [] { NewStr(5); Replace("abc", "b", LastTempArg(), 0); },
        [] { SubText("abc", 2, 1); Replace(LastTempArg(), "b", "x", 0); },
        [] { Replace("hello world", "o", "0", 0); FindText(kFindWholeText, LastTempArg(), "w0", 0); },
        [] { char room[16] = {}; NewStr(5); ParseNumber(kLastTemp, room); },
    };
    for (auto* program : refused) EXPECT_FATAL(program(), -9, "Insufficient buffer or New$(<=0)");
}

TEST(ChangeCase, ConvertsIntoARegisteredBlockByTheAnsiMapping) {
    RecordedTemp upper = ChangeCase("Abc \xE9t\xE9 \xFF\xB5\xDF", kToUpper);
    EXPECT_EQ(ViewOf(upper.slot), "ABC \xC9T\xC9 \x9F\xB5\xDF");
    EXPECT_EQ(HeapSize(GetProcessHeap(), 0, upper.start), 12u);
    EXPECT_TRUE(testing_support::IsRegistered(upper.start));
    ReleaseHeapString(upper.start);
    RecordedTemp lower = ChangeCase("Abc \xC9\x8A", kToLower);
    EXPECT_STREQ(lower.start, "abc \xE9\x9A");
    ReleaseHeapString(lower.start);
}

// Texts short and long are measured and copied by different paths: every length around
// their edges comes out whole and converted.
TEST(ChangeCase, EveryLengthComesOutWhole) {
    for (std::size_t length : {0u, 1u, 15u, 16u, 17u, 32u, 33u, 48u, 49u, 63u, 64u, 65u, 80u, 300u}) {
        std::string text, upper;
        for (std::size_t i = 0; i < length; ++i) text += "aB-z"[i % 4], upper += "AB-Z"[i % 4];
        RecordedTemp result = ChangeCase(text.c_str(), kToUpper);
        EXPECT_EQ(ViewOf(result.slot), upper) << length;
        ReleaseHeapString(result.start);
    }
}

TEST(KeepTemp, TheEighthCallFreesTheFirstCopy) {
    char* kept[8];
    for (int i = 0; i < 8; ++i) {
        RecordText(std::to_string(i).c_str());
        kept[i] = KeepTemp();
    }
    EXPECT_FALSE(testing_support::IsRegistered(kept[0]));
    for (int i = 1; i < 8; ++i) {
        EXPECT_TRUE(testing_support::IsRegistered(kept[i]));
        EXPECT_EQ(kept[i], std::to_string(i));
    }
}

TEST(KeepTemp, CopiesTheMagnitudeAndLeavesTheSlotsAlone) {
    RecordedTemp temp = RecordText("borrowed text");
    temp.slot->length = -8;
    int index = TempSlotTable.current;
    char* kept = KeepTemp();
    EXPECT_STREQ(kept, "borrowed");
    EXPECT_EQ(TempSlotTable.current, index);
    RecordText("");
    char* empty = KeepTemp();
    EXPECT_EQ(HeapSize(GetProcessHeap(), 0, empty), 1u);
    EXPECT_EQ(empty[0], '\0');
}

TEST(KeepTemp, KeepTempOfARecordKeepsItsExpansion) {
    NewStr(5);  // twelve bytes of record words stand for five zero bytes
    char* kept = KeepTemp();
    EXPECT_EQ(std::memcmp(kept, "\0\0\0\0\0\0", 6), 0);
}

TEST(KeepTemp, KeptCopyReleasedEarlyNeverCostsALaterCopy) {
    RecordText("early");
    char* early = KeepTemp();
    ReleaseHeapString(early);  // its address is free for the next copy of the same size
    char* later[7];
    for (char*& copy : later) copy = KeepTemp();
    for (char* copy : later) {
        EXPECT_TRUE(testing_support::IsRegistered(copy));
        EXPECT_STREQ(copy, "early");
    }
}

// Regression: a kept copy released early handed its address to another string, which
// the copy's turn seven calls later freed. Only a copy KeepTemp still owns is freed.
TEST(KeepTemp, KeptCopyReleasedEarlyNeverFreesTheStringAtItsAddress) {
    RecordText("early");
    char* early = KeepTemp();
    ReleaseHeapString(early);
    RecordedTemp upper = ChangeCase("other", kToUpper);  // a block of the same size
    if (upper.start != early) GTEST_SKIP() << "the heap did not hand the address on";
    for (int i = 0; i < 7; ++i) KeepTemp();
    EXPECT_TRUE(testing_support::IsRegistered(upper.start));
    EXPECT_STREQ(upper.start, "OTHER");
    ReleaseHeapString(upper.start);
}

// The eighth call frees the first copy; a temporary that views that copy (a part of it
// kept again) used to be copied from the freed block.
TEST(KeepTemp, KeepTempOfAViewIntoTheCopyItFrees) {
    RecordText("the first kept copy");
    char* first = KeepTemp();
    for (int i = 0; i < 6; ++i) KeepTemp();
    SubText(first, 10, 5);  // "first kept"
    char* kept = KeepTemp();
    EXPECT_FALSE(testing_support::IsRegistered(first));
    EXPECT_STREQ(kept, "first kept");
}

}  // namespace
}  // namespace tarnfold

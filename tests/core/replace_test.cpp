// Replace: splice records listed forward, expanded by the builder into a variable.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "platform/win32.h"
#include "support/fatal_echo.h"
#include "support/guard_page.h"
#include "tarnfold.h"

namespace tarnfold {
namespace {

// Replaces and assigns the temporary to a variable; returns the variable's text.
std::string Replaced(const char* source, const char* found, const char* replacement, Word mode) {
    RecordedTemp temp = Replace(source, found, replacement, mode);
    std::int32_t slotLength = temp.slot->length;
    char* text = StringBuilder(ToVariable(1), kLastTemp, nullptr);
    std::string result(text);
    // The slot announces the result's length (plus one for a record), and the builder
    // takes room for exactly the result.
    EXPECT_EQ(slotLength, result.empty() ? 0 : static_cast<std::int32_t>(result.size()) + 1);
    EXPECT_EQ(HeapSize(GetProcessHeap(), 0, text), result.size() + 24);
    ReleaseHeapString(text);
    return result;
}

TEST(Replace, SplicesTheMatches) {
    struct Case {
        const char* source;
        const char* found;
        const char* replacement;
        Word mode;
        const char* expected;
    };
    const Case cases[] = {
        {"a-b-c", "-", "+", 0, "a+b+c"},
        {"a-b-c", "-", "+", ReplaceMode(0, 1), "a+b-c"},
        {"aaa", "aa", "b", 0, "ba"},                    // matches never overlap
        {"ab", "ab", "", 0, ""},
        {"abc", "x", "yy", 0, "abc"},
        {"-", "-", "long text", 0, "long text"},
        {"Cat cAT dog", "CAT", "cow", FindFold, "cow cow dog"},
        {"cat concat", "cat", "dog", FindWholeWord, "dog concat"},
        {"Xx", "x", "y", FindFold, "Xy"},               // one byte: always exact
        {"aXbXc", "X", "", ReplaceMode(0, 2), "abc"},
        {"a-b", "-", "+", 0xFFFF0000, "a+b"},           // the upper 16 bits are ignored
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.source);
        EXPECT_EQ(Replaced(c.source, c.found, c.replacement, c.mode), c.expected);
    }
}

// Gaps and replacements of every length up to 40 bytes splice as std::string would.
TEST(Replace, SplicesPiecesOfEveryLength) {
    auto run = [](std::size_t length, const std::string& between) {
        return std::string(length, static_cast<char>('a' + length % 26)) + between;
    };
    std::string source;
    for (std::size_t gap = 0; gap <= 40; ++gap) source += run(gap, "<>");
    for (std::size_t size = 0; size <= 40; ++size) {
        std::string replacement(size, 'R');
        std::string expected;
        for (std::size_t gap = 0; gap <= 40; ++gap) expected += run(gap, replacement);
        EXPECT_EQ(Replaced(source.c_str(), "<>", replacement.c_str(), 0), expected) << size;
        Replace(source.c_str(), "<>", replacement.c_str(), 0);
        char* text = Assign(nullptr, "", kLastTemp);  // after a part: the general path's expansion
        EXPECT_EQ(text, expected) << size;
        ReleaseHeapString(text);
    }
}

// Replace used to take the backward bit to its searches and found position 1 again and
// again, running the list out of room or writing more than the record announced.
TEST(Replace, ReplaceListsMatchesForwardUnderFindBackward) {
    EXPECT_EQ(Replaced("a-b-c", "-", "+", FindBackward), "a+b+c");
    EXPECT_EQ(Replaced("a-b-c", "-", "+", ReplaceMode(FindBackward, 1)), "a+b-c");
    EXPECT_EQ(Replaced("xyxy", "xy", "z", FindBackward | FindFold), "zz");
}

TEST(Replace, ReplaceOfAnEmptyFoundTextGivesTheSourceUnchanged) {
    EXPECT_EQ(Replaced("abc", "", "x", 0), "abc");
    EXPECT_EQ(Replaced("", "", "x", 0), "");
}

TEST(Replace, LeavesLastMatchWhereTheLastSearchLeftIt) {
    Replace("a-b-c", "-", "+", 0);
    EXPECT_EQ(LastMatch, 0);
    Replace("a-b-c", "-", "+", ReplaceMode(0, 1));
    EXPECT_EQ(LastMatch, 2);
}

// Five header words, one per match, the end pointer and the closing zero.
TEST(Replace, RecordCostsSevenWordsAndOnePerMatch) {
    char* before = RingPosition();
    RecordedTemp temp = Replace("1,2,3", ",", ";", 0);
    EXPECT_EQ(temp.start, before);
    EXPECT_EQ(RingPosition(), before + 4 * (7 + 2) + 4);  // the record and the separator
}

// The source ends right before an unreadable page: listing matches must not read past it.
TEST(Replace, ReadsTheSourceOnlyUpToItsTerminator) {
    testing_support::GuardedPage page;
    for (std::size_t size = 1; size <= 40; ++size) {
        char* source = page.Tail(size + 1);
        std::memset(source, 'a', size);
        source[size] = '\0';
        std::string expected = std::string(size / 2 * 3, 'b') + std::string(size % 2, 'a');
        EXPECT_EQ(Replaced(source, "aa", "bbb", 0), expected);
        EXPECT_EQ(Replaced(source, "a", "", ReplaceMode(FindFold, 1)), std::string(size - 1, 'a'));
    }
}

// So do the found text and the replacement, which are read 16 bytes at a time where they can be.
TEST(Replace, ReadsTheOtherTextsOnlyUpToTheirTerminators) {
    testing_support::GuardedPage foundPage, replacementPage;
    char* found = static_cast<char*>(std::memcpy(foundPage.Tail(3), "<>", 3));
    for (std::size_t size = 0; size <= 20; ++size) {
        char* replacement = replacementPage.Tail(size + 1);
        std::memset(replacement, 'r', size);
        replacement[size] = '\0';
        const std::string r(size, 'r');
        EXPECT_EQ(Replaced("a<>bc<><>", found, replacement, 0), "a" + r + "bc" + r + r);
    }
}

// Regression: a loop of large results, each used at once, ended with FatalError 9 once the
// ring held as many of them as it could keep. The oldest temporaries are given up for room
// and read as empty; never the newest, nor a text that the producer reads.
TEST(Replace, ALoopOfLargeResultsGivesUpTheOldestTemporaries) {
    SetRingPosition(nullptr);
    std::string source;
    for (int i = 0; i < 4096 * 4; ++i) source += "x...............";  // 256 KiB, 16,384 matches
    const std::string expected = [&] {
        std::string text = source;
        for (std::size_t at = 0; (at = text.find('x', at)) != std::string::npos;) text.replace(at, 1, "yz"), at += 2;
        return text;
    }();
    // The oldest temporary is this loop's source: kept through all of it.
    RecordedTemp kept = TrimText(source.c_str(), kTrimNone);
    const char* keptToken = reinterpret_cast<const char*>(SlotToken(SlotNumber(kept.slot)));
    for (int i = 0; i < 12; ++i) {  // 64 KiB of list each: six fill what the source leaves
        Replace(keptToken, "x", "yz", 0);
        char* built = Assign(nullptr, kLastTemp);
        ASSERT_EQ(std::strlen(built), expected.size()) << i;
        EXPECT_EQ(built, expected) << i;
        ReleaseHeapString(built);
    }
    EXPECT_EQ(kept.slot->text, kept.start);  // the source was never given up
    int givenUp = 0;
    for (int slot = 1; slot <= kTempSlotCount; ++slot)
        if (TempSlotTable.slot[slot].text == EmptyString && TempSlotTable.slot[slot].length == 0) ++givenUp;
    EXPECT_GE(givenUp, 7);
    SetRingPosition(nullptr);
}

// Regression: after a wrap the list ran on to the usable end, over live temporaries ahead of
// the position, here its own source. It stops where the clear ring ends and is listed again
// in room made elsewhere.
TEST(Replace, AListNeverRunsOverALiveTemporary) {
    SetRingPosition(ScratchRing + 100000);
    std::string source, expected;
    for (int i = 0; i < 26000; ++i) source += "a-", expected += "a+";
    RecordedTemp kept = TrimText(source.c_str(), kTrimNone);
    const std::string wrap(85000, '-');
    Replace(wrap.c_str(), "-", "+", 0);  // 340 KB of list: the position wraps
    TrimText("x", kTrimNone);
    ASSERT_LT(RingPosition(), kept.start);
    Replace(reinterpret_cast<const char*>(SlotToken(SlotNumber(kept.slot))), "-", "+", 0);  // 104 KB of list
    char* built = Assign(nullptr, kLastTemp);
    EXPECT_EQ(built, expected);
    ReleaseHeapString(built);
    SetRingPosition(nullptr);
}

// Header, matches, end pointer and zero must all end at or before the ring's usable end.
TEST(ReplaceDeathTest, MatchListPastTheRingsUsableEndIsFatal) {
    constexpr std::size_t kStart = 479996;  // the last position before the ring wraps
    constexpr std::size_t kMostMatches = (kRingUsableEnd - kStart) / 4 - 7;
    std::string fits(kMostMatches, '-');
    std::string tooMany(kMostMatches + 1, '-');
    SetRingPosition(ScratchRing + kStart);
    RecordedTemp temp = Replace(fits.c_str(), "-", "+", 0);
    EXPECT_EQ(temp.slot->length, static_cast<std::int32_t>(kMostMatches) + 1);
    EXPECT_EQ(RingPosition(), ScratchRing);  // the record ran on past the wrap threshold
    EXPECT_FATAL({
        SetRingPosition(ScratchRing + kStart);
        Replace(tooMany.c_str(), "-", "+", 0);
    }, -9, "Insufficient buffer or New$(<=0)");
}

}  // namespace
}  // namespace tarnfold

// FindText: start rules, folding, whole words, the terminator, and reads that stop at it.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "support/guard_page.h"
#include "support/storage_probe.h"
#include "tarnfold.h"

namespace tarnfold {
namespace {

struct FindCase {
    const char* text;
    const char* pattern;
    std::int32_t start;
    Word mode;
    std::int32_t position;  // expected; 0 = not found
};

void ExpectFinds(const FindCase& c) {
    SCOPED_TRACE(::testing::Message() << "'" << c.pattern << "' in '" << c.text << "' from " << c.start
                                      << " mode " << c.mode);
    LastMatch = 99;
    FoundText found = FindText(c.start, c.text, c.pattern, c.mode);
    EXPECT_EQ(found.position, c.position);
    EXPECT_EQ(found.match, c.position != 0 ? c.text + c.position - 1 : nullptr);
    EXPECT_EQ(LastMatch, c.position);
}

TEST(FindText, SingleSearches) {
    const FindCase cases[] = {
        {"hello world", "o", 1, FindExact, 5},
        {"hello world", "WOR", 1, FindFold, 7},
        {"hello world", "WOR", 1, FindFoldFirst, 0},
        {"hello world", "Wor", 1, FindFoldFirst, 7},
        {"hello world", "O", 1, FindFold, 0},           // one byte: always exact
        {"hello world", "wor", 8, FindExact, 0},        // explicit start past the match
        {"abc", "bc", 2, FindExact, 2},
        {"abc", "c", 4, FindExact, 0},                  // start = length + 1
        {"abc", "a", -1, FindBackward, 1},
        {"abc", "q", -1, FindBackward, 0},
        {"xxabd", "abc", -1, FindBackward, 0},
        {"abcabc", "bc", -1, FindBackward, 5},
        {"abcabc", "bc", 4, FindBackward, 2},
        {"abcabc", "bc", 5, FindBackward | FindFold, 5},
        {"ab", "ab", 1, FindBackward, 1},                // a backward start at the first byte
        {"ab", "b", 2, FindBackward, 2},
        {"", "a", -1, FindBackward, 0},
        {"", "ab", 1, FindExact, 0},
    };
    for (const FindCase& c : cases) ExpectFinds(c);
}

TEST(FindText, ContinuationsWalkTheMatches) {
    struct Walk {
        const char* text;
        const char* pattern;
        Word mode;
        std::vector<std::int32_t> positions;  // first from the whole text, then continuations
    };
    const Walk walks[] = {
        {"hello world", "o", FindExact, {5, 8, 0}},
        {"a#b#", "#", FindExact, {2, 4, 0}},
        {"aaaa", "aa", FindExact, {1, 2, 3, 0}},           // overlapping matches
        {"abcabc", "bc", FindBackward, {5, 2, 0}},
        {"aXaxAx", "ax", FindFold | FindBackward, {5, 3, 1, 0}},
        {"b", "b", FindBackward, {1, 0}},                  // LastMatch 1: no candidate
    };
    for (const Walk& walk : walks) {
        SCOPED_TRACE(walk.text);
        std::int32_t start = kFindWholeText;
        for (std::int32_t expected : walk.positions) {
            EXPECT_EQ(FindText(start, walk.text, walk.pattern, walk.mode).position, expected);
            EXPECT_EQ(LastMatch, expected);
            start = kFindContinue;
        }
    }
}

TEST(FindText, AContinuationOnAnotherTextStartsAtTheSamePosition) {
    FindText(1, "xxxxab", "ab", FindExact);
    EXPECT_EQ(FindText(kFindContinue, "abxxxxab", "ab", FindExact).position, 7);
    LastMatch = 0;
    EXPECT_EQ(FindText(kFindContinue, "ab", "ab", FindExact).position, 1);
}

// Folding sets bit 0x20: beyond the letters it pairs these punctuation, control and high bytes.
TEST(FindText, FoldingPairsEveryByteWithTheOne0x20Above) {
    const FindCase cases[] = {
        {"x`y", "X@Y", 1, FindFold, 1},
        {"[x]", "{x}", 1, FindFold, 1},
        {"a-b", "a\r", 1, FindFold, 1},
        {"a*b", "A\n", 1, FindFold, 1},
        {"a)b", "a\t", 1, FindFold, 1},
        {"a\x7f", "A_", 1, FindFold, 1},
        {"\x9a\x9a", "\x9a\xba", 1, FindFold, 1},
        {"[x]", "{x}", 1, FindExact, 0},
        {"[x]", "{x]", 1, FindFoldFirst, 1},           // only the first byte folds
        {"[x}", "{x]", 1, FindFoldFirst, 0},
        {"xa", "a ", 1, FindFold, 0},                  // the terminator is no space
        {"xa", "a ", -1, FindFold | FindBackward, 0},
        {"xa b", "a ", 1, FindFold, 2},
        {"x ", "  ", 1, FindFold, 0},
        {"xa", " ", 1, FindFold, 0},                   // one byte: the terminator never matches
    };
    for (const FindCase& c : cases) ExpectFinds(c);
    for (int capital = 0xC0; capital <= 0xDF; ++capital) {
        const char text[] = {'.', static_cast<char>(capital + 0x20), 'q', '\0'};
        const char pattern[] = {static_cast<char>(capital), 'Q', '\0'};
        ExpectFinds({text, pattern, 1, FindFold, 2});
        ExpectFinds({text, pattern, 1, FindExact, 0});
        ExpectFinds({text, pattern, -1, FindFold | FindBackward, 2});
    }
}

TEST(FindText, WholeWordsAreBoundedByBytesUpToTheAt) {
    const FindCase cases[] = {
        {"cat concat cat9", "cat", 2, FindWholeWord, 12},
        {"x1cat2", "cat", 1, FindWholeWord, 3},
        {"_cat", "cat", 1, FindWholeWord, 0},
        {"cat", "cat", 1, FindWholeWord, 1},
        {"@cat@", "cat", 1, FindWholeWord, 2},
        {"cat`", "cat", 1, FindWholeWord, 0},
        {"cat\xC0 cat", "cat", 1, FindWholeWord, 6},
        {"xcat cat", "CAT", -1, FindWholeWord | FindFold | FindBackward, 6},
        {"xcat", "cat", -1, FindWholeWord | FindBackward, 0},
        {"a b", " b", 1, FindWholeWord, 2},            // first byte 0x20: no boundary test
        {"x\xE9t\xE9", "\xE9t", 1, FindWholeWord, 2},   // first byte 0x80 and above: neither
        {"xb", "b", 1, FindWholeWord, 2},              // one byte: no boundary test
    };
    for (const FindCase& c : cases) ExpectFinds(c);
}

TEST(FindText, TheLastTemporaryIsSearchedUpToItsTerminator) {
    testing_support::RecordText("find me here");
    const char* text = TempSlotTable.slot[TempSlotTable.current].text;
    EXPECT_EQ(FindText(1, reinterpret_cast<const char*>(kLastTemp), "me", FindExact).match, text + 5);
    EXPECT_EQ(FindText(1, nullptr, "here", FindExact).position, 9);
}

// A start beyond the text used to read past its terminator; it finds nothing now, and so
// does an empty pattern. The text ends at an unreadable page to catch any read beyond it.
TEST(FindText, StartBeyondTheTextFindsNothing) {
    testing_support::GuardedPage page;
    char* text = page.Tail(4);
    std::memcpy(text, "abc", 4);
    const FindCase cases[] = {
        {text, "c", 5, FindExact, 0},
        {text, "bc", 5, FindExact, 0},
        {text, "c", 1000, FindFold, 0},
        {text, "bc", 0x7FFFFFFF, FindExact, 0},
        {text, "c", 4, FindBackward, 0},
        {text, "bc", 4, FindBackward, 0},
        {text, "c", 3, FindBackward, 3},
        {text, "", 1, FindExact, 0},
        {text, "", -1, FindBackward, 0},
    };
    for (const FindCase& c : cases) ExpectFinds(c);
    LastMatch = 0x7FFFFFFF;  // continuations from beyond the text
    EXPECT_EQ(FindText(kFindContinue, text, "c", FindExact).position, 0);
    LastMatch = 6;
    EXPECT_EQ(FindText(kFindContinue, text, "ab", FindBackward).position, 0);
    EXPECT_EQ(LastMatch, 0);
}

// The search rules, one byte at a time, as the scans must reproduce them.
std::int32_t ReferenceFind(std::int32_t start, const std::string& text, const std::string& pattern,
                           Word mode, std::int32_t last) {
    auto length = static_cast<std::int64_t>(text.size());
    auto size = static_cast<std::int64_t>(pattern.size());
    bool backward = (mode & FindBackward) != 0;
    std::int64_t first = start > 0 ? start : start < 0 ? (backward ? length : 1) : (backward ? last - 1 : last + 1);
    if (size == 0 || first < 1 || first > (backward ? length : length + 1)) return 0;
    auto byteAt = [&](std::int64_t i) { return i < length ? static_cast<unsigned char>(text[i]) : 0u; };
    auto accepts = [&](std::int64_t p) {
        for (std::int64_t i = 0; i < size; ++i) {
            unsigned t = byteAt(p - 1 + i), q = static_cast<unsigned char>(pattern[i]);
            bool folds = size > 1 && ((mode & FindFold) || (i == 0 && (mode & FindFoldFirst)));
            if (t == 0 || (folds ? (t | 0x20) != (q | 0x20) : t != q)) return false;
        }
        if (size == 1 || !(mode & FindWholeWord) || static_cast<signed char>(pattern[0]) <= 0x20) return true;
        return byteAt(p - 1 + size) <= 0x40 && (p == 1 || byteAt(p - 2) <= 0x40);
    };
    for (std::int64_t p = first; backward ? p >= 1 : p <= length; p += backward ? -1 : 1)
        if (accepts(p)) return static_cast<std::int32_t>(p);
    return 0;
}

// Texts of every length up to 70 end right before an unreadable page, so every block the
// scans read meets the page end at each alignment; results must agree with the reference.
// Patterns of up to 20 bytes. One text in eight runs to 700 bytes, through whole chunks of
// the screened scans.
TEST(FindText, ScansAgreeWithTheRulesAndStopAtThePageEnd) {
    testing_support::GuardedPage page;
    const char alphabet[] = {'a', 'A', 'b', 'B', ' ', '@', '`', '-', '\r', '9', '\xC1', '\xE1'};
    const Word modes[] = {FindExact, FindFold, FindFoldFirst, FindWholeWord, FindFold | FindWholeWord};
    std::mt19937 random(8);
    auto pick = [&](std::size_t n) { return static_cast<std::size_t>(random() % n); };
    for (int round = 0; round < 20000; ++round) {
        std::string text(pick(8) == 0 ? pick(701) : pick(71), ' ');
        for (char& byte : text) byte = alphabet[pick(sizeof alphabet)];
        // Mostly short patterns; a quarter up to 20 bytes, whose first and last bytes lie
        // in different blocks.
        std::string pattern(1 + (pick(4) == 0 ? pick(20) : pick(3)), ' ');
        for (char& byte : pattern) byte = alphabet[pick(sizeof alphabet)];
        if (!text.empty() && pick(2) == 0) {  // often a pattern that is there
            std::size_t at = pick(text.size());
            pattern = text.substr(at, pattern.size());
        }
        char* placed = page.Tail(text.size() + 1);
        std::memcpy(placed, text.c_str(), text.size() + 1);
        Word mode = modes[pick(5)] | (pick(2) != 0 ? FindBackward : 0);
        auto start = static_cast<std::int32_t>(pick(text.size() + 4)) - 1;
        auto last = static_cast<std::int32_t>(pick(text.size() + 3));
        LastMatch = last;
        std::int32_t expected = ReferenceFind(start, text, pattern, mode, last);
        ASSERT_EQ(FindText(start, placed, pattern.c_str(), mode).position, expected)
            << "'" << pattern << "' in '" << text << "' from " << start << " (last " << last << ") mode " << mode;
    }
}

// A long run of candidates that all fail at the last byte, and matches straddling blocks.
TEST(FindText, MatchesAcrossBlockBoundaries) {
    std::string text(100, 'a');
    text[63] = 'b';
    for (std::size_t shift = 0; shift < 16; ++shift) {
        std::string shifted = std::string(shift, '.') + text;
        const char* placed = shifted.c_str();
        EXPECT_EQ(FindText(1, placed, "aab", FindExact).position, static_cast<std::int32_t>(shift + 62));
        EXPECT_EQ(FindText(1, placed, "ab", FindFold).position, static_cast<std::int32_t>(shift + 63));
        EXPECT_EQ(FindText(-1, placed, "ba", FindBackward).position, static_cast<std::int32_t>(shift + 64));
        EXPECT_EQ(FindText(-1, placed, "b", FindBackward).position, static_cast<std::int32_t>(shift + 64));
        EXPECT_EQ(FindText(1, placed, "aaaaaaaaaaaaaaaaaaab", FindExact).position, static_cast<std::int32_t>(shift + 45));
    }
}

// A backward search of the whole text compares candidates in one forward pass up to a
// budget; past it, a backward scan from the end settles the rest. Thousands of candidates
// that fail, with the last match before, after or on both sides of where the budget ends.
TEST(FindText, LastMatchAmongThousandsOfCandidates) {
    std::string run;
    for (int i = 0; i < 6000; ++i) run += "xy";
    for (const std::string& text : {"xya" + run, run + "xya" + run.substr(0, 6), "xya" + run + "xya", run}) {
        std::size_t at = text.rfind("xya");
        EXPECT_EQ(FindText(-1, text.c_str(), "xya", FindBackward).position,
                  at == std::string::npos ? 0 : static_cast<std::int32_t>(at + 1));
    }
}

}  // namespace
}  // namespace tarnfold

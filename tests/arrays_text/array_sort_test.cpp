// Sorting string arrays: the case-folding order, the ranges sorted, and the faults guarded.
#include <algorithm>
#include <climits>
#include <random>
#include <string>
#include <vector>

#include "array_fixture.h"
#include "arrays_text/sort_compare.h"
#include "support/fatal_echo.h"

#ifndef _WIN32
#include <strings.h>

#include "platform/posix/fault_injection.h"
#endif

namespace tarnfold {
namespace {

using testing_support::ArrayOf;
using testing_support::TextsOf;
using ::testing::ElementsAre;

using SortArrayTest = testing_support::StringArrayTest;

// --- CompareTextNoCase ---

TEST(CompareTextNoCaseTest, FoldsAsciiCapitalsThenComparesUnsignedBytes) {
    EXPECT_EQ(CompareTextNoCase("HeLLo", "hello"), 0);
    EXPECT_LT(CompareTextNoCase("_x", "A"), 0);        // '_' (0x5F) below the folded 'a'
    EXPECT_LT(CompareTextNoCase("[", "a"), 0);         // '[' lies between 'Z' and 'a'
    EXPECT_GT(CompareTextNoCase("{", "Z"), 0);         // 'Z' folds to 'z', below '{'
    EXPECT_NE(CompareTextNoCase("\xC0", "\xE0"), 0);   // no folding above 0x7F
    EXPECT_GT(CompareTextNoCase("\x80", "z"), 0);       // unsigned, not signed
    EXPECT_LT(CompareTextNoCase("a\x7F", "A\x80"), 0);
}

TEST(CompareTextNoCaseTest, APrefixAndTheEmptyTextSortFirst) {
    EXPECT_LT(CompareTextNoCase("ab", "ABC"), 0);
    EXPECT_GT(CompareTextNoCase("ABC", "ab"), 0);
    EXPECT_LT(CompareTextNoCase("", "\x01"), 0);
    EXPECT_EQ(CompareTextNoCase(nullptr, ""), 0);   // null compares as the empty text
    EXPECT_LT(CompareTextNoCase(nullptr, "a"), 0);
    EXPECT_GT(CompareTextNoCase("a", nullptr), 0);
}

#ifndef _WIN32
// The C library's comparison in the "C" locale folds the same way and compares unsigned;
// it is an independent reference for every pair of two-byte texts. (Not on Windows under
// Wine, whose library compares high bytes as signed.)
int Sign(int value) { return (value > 0) - (value < 0); }

TEST(CompareTextNoCaseTest, AgreesWithTheCLocaleComparisonOnAllBytePairs) {
    for (int a = 1; a < 256; ++a)
        for (int b = 1; b < 256; ++b) {
            const char x[] = {static_cast<char>(a), 'm', '\0'};
            const char y[] = {static_cast<char>(b), '\0'};
            ASSERT_EQ(Sign(CompareTextNoCase(x, y)), Sign(strcasecmp(x, y))) << a << " " << b;
            ASSERT_EQ(Sign(CompareTextNoCase(x, x + 1)), Sign(strcasecmp(x, x + 1))) << a;
        }
}
#endif

// --- SortArray ---

TEST_F(SortArrayTest, AscendingPutsUnderscoreBeforeFoldedLetters) {
    ArrayOf(1, {"b", "A", "_x"});
    SortArray(1);
    EXPECT_THAT(TextsOf(1), ElementsAre("_x", "A", "b"));
}

TEST_F(SortArrayTest, NegativeNumberSortsDescending) {
    ArrayOf(5, {"delta", "Alpha", "charlie", "Bravo", "echo"});
    SortArray(-5, kSortAll);
    EXPECT_THAT(TextsOf(5), ElementsAre("echo", "delta", "charlie", "Bravo", "Alpha"));
}

TEST_F(SortArrayTest, CountSortsOnlyTheFirstElements) {
    ArrayOf(5, {"c", "b", "a", "0", "Z"});
    SortArray(5, 3);
    EXPECT_THAT(TextsOf(5), ElementsAre("a", "b", "c", "0", "Z"));
}

TEST_F(SortArrayTest, HighBytesSortAfterAsciiAndPrefixesFirst) {
    ArrayOf(2, {"\xE9t\xE9", "zebra", "ab", "ABC", "\x80", "a"});
    SortArray(2);
    EXPECT_THAT(TextsOf(2), ElementsAre("a", "ab", "ABC", "zebra", "\x80", "\xE9t\xE9"));
}

TEST_F(SortArrayTest, LengthsMoveWithTheirRecords) {
    StringArray* array = ArrayOf(2, {"b", "a"});
    array->Element(0)->length = -1;  // as if borrowed
    SortArray(2);
    EXPECT_STREQ(array->Element(1)->text, "b");
    EXPECT_EQ(array->Element(1)->length, -1);
    EXPECT_EQ(array->Element(0)->length, 1);
    array->Element(1)->length = 1;
}

TEST_F(SortArrayTest, NullTextsSortAsTheEmptyText) {
    StringArray* array = ArrayOf(3, {"b", "a"});
    AccessElement(3, 1, 1);
    InsertDeleteElements(kInsertElement);  // a never-assigned element: null text
    SortArray(3);
    array = ArrayTable[3];  // the insert may have moved the block
    EXPECT_EQ(array->Element(0)->text, nullptr);
    EXPECT_THAT(TextsOf(3), ElementsAre("<empty>", "a", "b"));
    SortArray(-3);
    EXPECT_THAT(TextsOf(3), ElementsAre("b", "a", "<empty>"));
}

// The sort orders by the first four folded bytes before it reads further: texts that end
// before, at and after the fourth byte, equal or differing in case on either side of it,
// in both directions, against a plain byte-by-byte reference.
std::vector<std::string> TextsAroundTheFourthByte() {
    std::mt19937 random(4);
    const char alphabet[] = "aAbB_[\xE9\xC9";
    std::vector<std::string> texts;
    for (int i = 0; i < 400; ++i) {
        std::string text(1 + random() % 7, ' ');
        for (char& c : text) c = alphabet[random() % (sizeof alphabet - 1)];
        texts.push_back(text);
    }
    return texts;
}

int ReferenceOrder(const std::string& a, const std::string& b) {
    auto fold = [](unsigned char c) { return c >= 'A' && c <= 'Z' ? c + 0x20 : c; };
    for (std::size_t i = 0;; ++i) {
        int x = i < a.size() ? fold(a[i]) : 0, y = i < b.size() ? fold(b[i]) : 0;
        if (x != y || x == 0) return x - y;
    }
}

void ExpectSortedTexts(std::int32_t number, bool descending) {
    const std::vector<std::string> texts = TextsOf(number);
    for (std::size_t i = 1; i < texts.size(); ++i) {
        const int order = ReferenceOrder(texts[i - 1], texts[i]);
        ASSERT_TRUE(descending ? order >= 0 : order <= 0) << i << ": " << texts[i - 1] << " | " << texts[i];
    }
}

TEST_F(SortArrayTest, OrdersTextsOnBothSidesOfTheFourthByte) {
    const std::vector<std::string> texts = TextsAroundTheFourthByte();
    std::vector<const char*> pointers;
    for (const std::string& text : texts) pointers.push_back(text.c_str());
    for (bool descending : {false, true}) {
        ArrayOf(8, pointers);
        SortArray(descending ? -8 : 8);
        ExpectSortedTexts(8, descending);
        std::vector<std::string> sorted = TextsOf(8), given(texts.begin(), texts.end());
        std::sort(sorted.begin(), sorted.end());
        std::sort(given.begin(), given.end());
        EXPECT_EQ(sorted, given);  // the same texts, each once
    }
}

#ifndef _WIN32
// Without room for its keys the sort compares the element records themselves.
TEST_F(SortArrayTest, SortsInPlaceWhenItsKeysFindNoRoom) {
    StringArray* array = ArrayOf(9, {"delta", "Alpha", "alphabet", "Bravo", "_", "ALPHA1"});
    array->Element(4)->length = -1;  // as if borrowed: lengths move with their records
    posix::ArmFault(posix::FaultPoint::Allocation, 1);
    SortArray(9);
    posix::ArmFault(posix::FaultPoint::Allocation, 0);
    EXPECT_THAT(TextsOf(9), ElementsAre("_", "Alpha", "ALPHA1", "alphabet", "Bravo", "delta"));
    EXPECT_EQ(array->Element(0)->length, -1);
    array->Element(0)->length = 1;
}
#endif

TEST_F(SortArrayTest, CountBeyondTheElementsSortsThemAll) {
    ArrayOf(4, {"c", "b", "a"});
    SortArray(4, 1000);
    EXPECT_THAT(TextsOf(4), ElementsAre("a", "b", "c"));
}

TEST_F(SortArrayTest, NeverCreatedOrErasedArraysAreLeftAlone) {
    SortArray(6);
    SortArray(-6, 5);
    EXPECT_EQ(ArrayTable[6], nullptr);
    CreateArray(7, 3);
    EraseArray(7);
    SortArray(7);
    EXPECT_EQ(ArrayTable[7], kErasedArray);
}

TEST_F(SortArrayTest, RejectsNumbersOutsideTheTableAndNegativeCounts) {
    ArrayOf(4, {"c", "b"});
    ErrorLine = 88;
    EXPECT_FATAL(SortArray(20), -6, "Line 88: Count too high");
    EXPECT_FATAL(SortArray(-20), -6, "Line 88: Count too high");
    EXPECT_FATAL(SortArray(INT_MIN), -6, "Line 88: Count too high");
    EXPECT_FATAL(SortArray(4, -1), -6, "Line 88: Count too high");
}

}  // namespace
}  // namespace tarnfold

// The builder's element destination: the room rules for borrowed, owned and empty elements,
// and an element found again after its array changed.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "arrays_text/array_fixture.h"
#include "platform/win32.h"
#include "support/fatal_echo.h"
#include "support/storage_probe.h"
#include "support/test_files.h"

namespace tarnfold {
namespace {

#if defined(TARNFOLD_CHECKED) && defined(__SANITIZE_ADDRESS__)
constexpr bool kFreshElementBlocks = true;
#else
constexpr bool kFreshElementBlocks = false;
#endif

using testing_support::AssignOwned;
using testing_support::RecordText;
using testing_support::TextsOf;

constexpr SIZE_T kNoBlock = static_cast<SIZE_T>(-1);

SIZE_T BlockSize(const void* block) { return HeapSize(GetProcessHeap(), 0, block); }

class ElementDestinationTest : public testing_support::StringArrayTest {
protected:
    // Array 1 as Recall leaves it: "0123456789" and "NEXT" borrowed from one shared block,
    // each line's CR a zero byte, its LF kept.
    StringArray* RecalledLines() {
        static const char file[] = "0123456789\0\nNEXT\0\n";
        StringArray* array = CreateArray(1, 1);
        array->sharedText = static_cast<char*>(AllocBlock(sizeof file, false));
        std::memcpy(array->sharedText, file, sizeof file);
        *array->Element(0) = {array->sharedText, -10};
        *array->Element(1) = {array->sharedText + 12, -4};
        return array;
    }
    // Element 0 of array 2 owning a block of exactly `blockSize` bytes that holds `text`.
    ElementRecord* OwnedElement(std::size_t blockSize, const char* text) {
        StringArray* array = CreateArray(2, 0);
        auto* block = static_cast<char*>(AllocBlock(blockSize, false));
        std::strcpy(block, text);
        *array->Element(0) = {block, static_cast<std::int32_t>(std::strlen(text))};
        return array->Element(0);
    }
};

TEST_F(ElementDestinationTest, BorrowedTextIsRewrittenInPlaceOnlyWhenItFits) {
    StringArray* array = RecalledLines();
    char* shared = array->sharedText;
    // Exactly the line's length: one terminator on the CR, the LF and next line stay whole.
    AccessElement(1, 0, __LINE__);
    EXPECT_EQ(AssignElement("ABCDEFGHIJ"), shared);
    EXPECT_EQ(std::string(shared, 18), std::string("ABCDEFGHIJ\0\nNEXT\0\n", 18));
    EXPECT_EQ(array->Element(0)->length, -10);
    AccessElement(1, 0, __LINE__);
    EXPECT_EQ(AssignElement("abc", "def"), shared);
    EXPECT_EQ(array->Element(0)->length, -6);
    EXPECT_STREQ(shared, "abcdef");
    // Longer than the line: a block of its own; the shared block is not freed.
    AccessElement(1, 0, __LINE__);
    char* text = AssignElement("abcdef", "ghijkl");
    EXPECT_NE(text, shared);
    EXPECT_STREQ(text, "abcdefghijkl");
    EXPECT_EQ(array->Element(0)->length, 12);
    EXPECT_EQ(BlockSize(text), 36u);
    EXPECT_EQ(TextsOf(1)[1], "NEXT");
}

TEST_F(ElementDestinationTest, OwnedBlockInPlaceWithPointerPartsNewBlockWithATemporary) {
    if (kFreshElementBlocks) GTEST_SKIP() << "the checked build gives an owned text a fresh block each time";
    ElementRecord* element = OwnedElement(40, "sixteen bytes..!");
    char* block = element->text;
    AccessElement(2, 0, __LINE__);
    EXPECT_EQ(AssignElement("0123456789", "abcdefghij"), block);
    EXPECT_EQ(element->length, 20);
    EXPECT_STREQ(block, "0123456789abcdefghij");

    // The same with one temporary part: a new block, and the old one freed after the copy.
    *element = {block, 16};
    AccessElement(2, 0, __LINE__);
    RecordText("abcdefghij");
    char* text = AssignElement("0123456789", kLastTemp);
    EXPECT_NE(text, block);
    EXPECT_STREQ(text, "0123456789abcdefghij");
    EXPECT_EQ(BlockSize(text), 44u);
    EXPECT_EQ(BlockSize(block), kNoBlock);
}

TEST_F(ElementDestinationTest, OwnedBlockTooSmallIsResizedWhenNoPartIsATemporary) {
    ElementRecord* element = OwnedElement(12, "short");
    AccessElement(2, 0, __LINE__);
    const std::string longer(100, 'r');
    char* text = AssignElement(longer.c_str(), "!");
    EXPECT_EQ(element->text, text);
    EXPECT_EQ(element->length, 101);
    EXPECT_EQ(BlockSize(text), 125u);
    EXPECT_EQ(std::string(text), longer + "!");
}

// Regression: every result ended in three zero bytes, past an owned block used in place
// with T just below its size (the sanitizer preset sees the overrun).
TEST_F(ElementDestinationTest, InPlaceResultWritesOnlyTheTerminatorThatFits) {
    ElementRecord* element = OwnedElement(21, "abc");
    AccessElement(2, 0, __LINE__);
    EXPECT_EQ(AssignElement("01234567890123456789"), element->text);
    EXPECT_EQ(std::string(element->text, 21), "01234567890123456789" + std::string(1, '\0'));
}

// Regression: a part that reads the element's own bytes was overwritten while it was copied.
TEST_F(ElementDestinationTest, PartReadingTheElementsOwnBlockGetsANewBlock) {
    ElementRecord* owned = OwnedElement(30, "abcdef");
    char* block = owned->text;
    AccessElement(2, 0, __LINE__);
    EXPECT_STREQ(AssignElement("x", block), "xabcdef");
    EXPECT_NE(owned->text, block);
    EXPECT_EQ(BlockSize(block), kNoBlock);

    StringArray* lines = RecalledLines();
    AccessElement(1, 0, __LINE__);
    EXPECT_STREQ(AssignElement("ab", lines->sharedText + 2), "ab23456789");
    EXPECT_EQ(lines->Element(0)->length, 10);
    EXPECT_EQ(std::string(lines->sharedText, 11), std::string("0123456789\0", 11));
}

// Regression: an empty result for an empty element wrote its terminator through null.
TEST_F(ElementDestinationTest, EmptyResultForAnEmptyElementWritesNothing) {
    StringArray* array = CreateArray(3, 0);
    AccessElement(3, 0, __LINE__);
    EXPECT_EQ(AssignElement(""), EmptyString);
    EXPECT_EQ(array->Element(0)->text, nullptr);
    EXPECT_EQ(array->Element(0)->length, 0);
}

// Regression: an empty result for an element with its own block kept the block with length
// 0, which marks no owner: neither erasing the array nor a later assignment freed it.
TEST_F(ElementDestinationTest, EmptyResultForAnOwnedElementLeaksItsBlock) {
    ElementRecord* element = OwnedElement(40, "owned text");
    char* block = element->text;
    AccessElement(2, 0, __LINE__);
    EXPECT_STREQ(AssignElement(""), "");
    EXPECT_EQ(BlockSize(block), kNoBlock);
    EXPECT_EQ(element->length, 0);
    EXPECT_NE(element->text, block);
    AccessElement(2, 0, __LINE__);
    EXPECT_STREQ(AssignElement("again"), "again");
    EXPECT_EQ(element->length, 5);
}

// Regression for "An element destination goes stale": the access's array block moved
// (InsertDeleteElements) before the assignment; the assignment reaches the element anyway.
TEST_F(ElementDestinationTest, AnElementDestinationGoesStale) {
    testing_support::ArrayOf(4, {"a", "b", "c"});
    AccessElement(4, 1, __LINE__);
    InsertDeleteElements(200);  // element 1 is now the first of 200 new ones
    AssignElement("new");
    EXPECT_EQ(TextsOf(4)[1], "new");
    EXPECT_EQ(TextsOf(4)[201], "b");
}

// Regression for "a record part makes an element one byte too long": the slot length of a
// zero-fill or splice record is its text plus one, and the element took it as its length,
// so Store wrote a zero byte into the file. Each record kind, into a fresh element and a
// borrowed line; the element's length and the stored bytes are the expansion exactly.
TEST_F(ElementDestinationTest, ARecordPartMakesAnElementOneByteTooLong) {
    const std::string file = "tf_record_part.tmp", stored = "tf_record_part_stored.tmp";
    testing_support::WriteWholeFile(file, "xyz");
    struct Case {
        std::function<void()> produce;
        std::string text;
    };
    const Case cases[] = {
        {[] { Replace("a-b-c", "-", "+", 0); }, "a+b+c"},
        {[] { Replace("p-q", "-", "", 0); }, "pq"},
        {[] { NewStr(3); }, std::string(3, '\0')},
        {[&] { FileReadStr(file.c_str()); }, "xyz"},
    };
    for (const Case& c : cases) {
        for (bool borrowed : {false, true}) {
            SCOPED_TRACE(testing::Message() << '"' << c.text << '"' << (borrowed ? " borrowed" : " fresh"));
            if (borrowed) RecalledLines();
            else CreateArray(1, 1);
            AccessElement(1, 0, __LINE__);
            c.produce();
            AssignElement(kLastTemp);
            const auto size = static_cast<std::int32_t>(c.text.size());
            EXPECT_EQ(ArrayTable[1]->Element(0)->length, borrowed ? -size : size);
            Store(stored.c_str(), 1, 1);
            EXPECT_EQ(testing_support::ReadWholeFile(stored), c.text + "\r\n");
        }
    }
    std::remove(file.c_str());
    std::remove(stored.c_str());
}

// Regression for "after SwapArrays a pending element assignment writes into the other
// array": the assignment follows the array the access read to its new number, also when
// the partner number was never created.
TEST_F(ElementDestinationTest, AfterSwapArraysAPendingAssignmentWritesIntoTheOtherArray) {
    testing_support::ArrayOf(1, {"one-0", "one-1"});
    testing_support::ArrayOf(2, {"two-0", "two-1"});
    AccessElement(1, 0, __LINE__);
    SwapArrays(1, 2);
    AssignElement("NEW");
    EXPECT_EQ(TextsOf(2), (std::vector<std::string>{"NEW", "one-1"}));
    EXPECT_EQ(TextsOf(1), (std::vector<std::string>{"two-0", "two-1"}));
    AccessElement(2, 1, __LINE__);
    SwapArrays(2, 9);  // 9 was never created
    AssignElement("moved");
    EXPECT_EQ(TextsOf(9), (std::vector<std::string>{"NEW", "moved"}));
}

// Regression: an empty part pointing into a borrowed element's own text made the empty
// result take a new 0-byte block, which length 0 left without an owner.
TEST_F(ElementDestinationTest, EmptyResultFromAPartInsideABorrowedTextTakesNoBlock) {
    StringArray* array = RecalledLines();
    char* shared = array->sharedText;
    AccessElement(1, 0, __LINE__);
    EXPECT_STREQ(AssignElement(shared + 10), "");  // the line's own terminator
    EXPECT_EQ(array->Element(0)->text, shared);
    EXPECT_EQ(array->Element(0)->length, 0);
    EXPECT_EQ(TextsOf(1)[1], "NEXT");
}

using ElementDestinationDeathTest = ElementDestinationTest;

TEST_F(ElementDestinationDeathTest, AnElementDestinationGoesStaleAfterItsArrayIsErased) {
    EXPECT_FATAL(
        {
            CreateArray(4, 2);
            AccessElement(4, 1, 41);
            EraseArray(4);
            AssignElement("x");
        },
        -7, "Line 41: Array was erased");
    EXPECT_FATAL(
        {
            CreateArray(4, 2);
            AccessElement(4, 2, 42);
            InsertDeleteElements(-1);  // the last element goes
            AssignElement("x");
        },
        -6, "Line 42: Count too high");
    EXPECT_FATAL(
        {
            CreateArray(4, 2);
            AccessElement(4, 1, 43);
            CreateArray(4, 2);  // erases the array the access read
            AssignElement("x");
        },
        -7, "Line 43: Array was erased");
}

TEST_F(ElementDestinationDeathTest, AnElementAssignmentAfterAnAccessToAnArrayThatWasNeverCreated) {
    EXPECT_FATAL(
        {
            AccessElement(5, 0, 51);
            AssignElement("x");
        },
        -6, "Line 51: Count too high");
}

TEST_F(ElementDestinationDeathTest, AssignmentToTheNameCellIsRejected) {
    EXPECT_FATAL(
        {
            CreateArray(6, 0, "name");
            AccessElement(6, kNameCell, 61);
            AssignElement("x");
        },
        -6, "Line 61: Count too high");
}

// Echoes the message like EchoFatalMessages, after taking the fake owned text of array 7's
// element 0 out of the clean-up's way (erasing the array would free it).
void ForgetFakeTextThenEcho(const char* message, const char* caption) {
    ArrayTable[7]->Element(0)->length = 0;
    std::fprintf(stderr, "[%s|%s]\n", caption, message);
    std::fflush(stderr);
}

TEST_F(ElementDestinationDeathTest, HeapSizeFailingOnAnOwnedTextIsFatal) {
    if (kFreshElementBlocks) GTEST_SKIP() << "the checked build gives an owned text a fresh block each time";
    static char notABlock[] = "five!";
    std::string expected = "HeapSize failed for " +
                           std::to_string(static_cast<std::int32_t>(reinterpret_cast<std::uintptr_t>(notABlock)));
    EXPECT_FATAL(
        {
            SetFatalObserver(ForgetFakeTextThenEcho);
            ElementRecord* element = CreateArray(7, 0)->Element(0);
            element->text = notABlock;
            element->length = 5;
            AccessElement(7, 0, 71);
            AssignElement("longer than five");
        },
        -10, expected);
}

}  // namespace
}  // namespace tarnfold

// String arrays: creation, erasing, element access, insertion and deletion, swapping,
// and the fatal errors that guard the table and the blocks.
#include <climits>

#include "array_fixture.h"
#include "platform/win32.h"
#include "support/fatal_echo.h"

namespace tarnfold {
namespace {

using testing_support::ArrayOf;
using testing_support::AssignOwned;
using testing_support::TextsOf;
using ::testing::ElementsAre;

using CreateEraseTest = testing_support::StringArrayTest;
using AccessElementTest = testing_support::StringArrayTest;
using InsertDeleteTest = testing_support::StringArrayTest;
using SwapArraysTest = testing_support::StringArrayTest;

// --- CreateArray and EraseArray ---

TEST_F(CreateEraseTest, CountNGivesNPlusOneEmptyElementsInOneBlock) {
    static const char name[] = "names";
    StringArray* array = CreateArray(3, 10, name);
    EXPECT_EQ(ArrayTable[3], array);
    EXPECT_EQ(array->count, 11);
    EXPECT_EQ(array->sharedText, nullptr);
    EXPECT_EQ(array->name.text, name);
    EXPECT_EQ(array->name.length, 0);
    EXPECT_EQ(HeapSize(GetProcessHeap(), 0, array), static_cast<SIZE_T>(11 * 8 + 16));
    for (std::int32_t i = 0; i < 11; ++i) {
        EXPECT_EQ(array->Element(i)->text, nullptr);
        EXPECT_EQ(array->Element(i)->length, 0);
    }
}

TEST_F(CreateEraseTest, CreatingOverAnArrayInUseReplacesIt) {
    ArrayOf(4, {"old", "texts"});  // their blocks are freed (the sanitizer preset sees leaks)
    StringArray* fresh = CreateArray(4, 0);
    EXPECT_EQ(ArrayTable[4], fresh);
    EXPECT_EQ(fresh->count, 1);
    EXPECT_EQ(fresh->Element(0)->text, nullptr);
}

TEST_F(CreateEraseTest, EraseMarksErasedAndLeavesOtherStatesAlone) {
    CreateArray(2, 3);
    EraseArray(2);
    EXPECT_EQ(ArrayTable[2], kErasedArray);
    EraseArray(2);  // twice: nothing
    EXPECT_EQ(ArrayTable[2], kErasedArray);
    EraseArray(7);  // never created: nothing
    EXPECT_EQ(ArrayTable[7], nullptr);
    CreateArray(0, 1);
    CreateArray(19, 1);
    EraseArray(kAllArrays);
    EXPECT_EQ(ArrayTable[0], kErasedArray);
    EXPECT_EQ(ArrayTable[19], kErasedArray);
    EXPECT_EQ(ArrayTable[7], nullptr);
}

TEST_F(CreateEraseTest, EraseFreesTheSharedBlockOnceAndNoBorrowedText) {
    StringArray* array = CreateArray(6, 3);
    auto* shared = static_cast<char*>(AllocBlock(32, false));
    std::memcpy(shared, "one\0two\0three", 14);
    array->sharedText = shared;
    *array->Element(0) = {shared, -3};
    *array->Element(1) = {shared + 4, -3};
    *array->Element(2) = {shared + 8, -5};
    AssignOwned(array, 3, "own");
    // Freeing a borrowed text would free a pointer inside the shared block: HeapFree
    // refuses it and FatalError 2 ends the test.
    EraseArray(6);
    EXPECT_EQ(ArrayTable[6], kErasedArray);
}

TEST_F(CreateEraseTest, CreateRejectsArrayNumbersOutsideTheTable) {
    ErrorLine = 31;
    EXPECT_FATAL(CreateArray(20, 1), -6, "Line 31: Count too high");
    EXPECT_FATAL(CreateArray(-1, 1), -6, "Line 31: Count too high");
    EXPECT_FATAL(EraseArray(20), -6, "Line 31: Count too high");
    EXPECT_FATAL(EraseArray(-2), -6, "Line 31: Count too high");
}

TEST_F(CreateEraseTest, CreateRejectsNegativeCounts) {
    EXPECT_FATAL(CreateArray(1, -1), -1, "HeapAlloc");
    EXPECT_FATAL(CreateArray(1, INT_MIN), -1, "HeapAlloc");
}

TEST_F(CreateEraseTest, CreateRejectsSizesThatWrapAround32Bits) {
    // (count + 1) x 8 + 16 wraps to a small block for these counts.
    EXPECT_FATAL(CreateArray(1, 0x1FFFFFFE), -1, "HeapAlloc");
    EXPECT_FATAL(CreateArray(1, INT_MAX), -1, "HeapAlloc");
}

// --- AccessElement ---

TEST_F(AccessElementTest, ReadsTheElementAndRecordsItAsTheNextTemporary) {
    StringArray* array = ArrayOf(3, {"zero", "one", "two"});
    *array->Element(1) = {array->Element(1)->text, -3};  // a borrowed length stays negative
    TempSlot* before = SelectTempSlot(0);
    AccessedElement read = AccessElement(3, 1, 77);
    TempSlot* slot = SelectTempSlot(0);
    EXPECT_NE(slot, before);
    EXPECT_STREQ(read.text, "one");
    EXPECT_EQ(read.length, -3);
    EXPECT_EQ(slot->text, read.text);
    EXPECT_EQ(slot->length, -3);
    EXPECT_EQ(slot->destination, array->Element(1));
    EXPECT_EQ(slot->isRecord, 0u);
    EXPECT_EQ(ErrorLine, 77);
    EXPECT_EQ(LastAccess.number, 3);
    EXPECT_EQ(LastAccess.index, 1);
    array->Element(1)->length = 3;  // the block is the element's own: erasing must free it
}

TEST_F(AccessElementTest, LastIndexIsValidAndAnEmptyElementReadsAsEmptyString) {
    StringArray* array = CreateArray(3, 10);
    AccessedElement read = AccessElement(3, 10, 1);
    EXPECT_EQ(read.text, EmptyString);
    EXPECT_EQ(read.length, 0);
    EXPECT_EQ(SelectTempSlot(0)->destination, array->Element(10));
}

TEST_F(AccessElementTest, NameCellReadsTheNameOrEmptyString) {
    static const char name[] = "lines";
    CreateArray(3, 2, name);
    AccessedElement read = AccessElement(3, kNameCell, 5);
    EXPECT_EQ(read.text, name);
    EXPECT_EQ(read.length, 0);
    CreateArray(4, 2, nullptr);
    EXPECT_EQ(AccessElement(4, kNameCell, 6).text, EmptyString);
}

TEST_F(AccessElementTest, NeverCreatedArrayReadsEmptyWithNoDestination) {
    AccessedElement read = AccessElement(8, 1000, 12);
    EXPECT_EQ(read.text, EmptyString);
    EXPECT_EQ(read.length, 0);
    EXPECT_EQ(SelectTempSlot(0)->text, EmptyString);
    EXPECT_EQ(SelectTempSlot(0)->destination, nullptr);
    EXPECT_EQ(LastAccess.number, 8);
    EXPECT_EQ(LastAccess.index, 1000);
}

TEST_F(AccessElementTest, IndexBeyondTheArrayShowsTheLinePassed) {
    CreateArray(3, 10);
    EXPECT_FATAL(AccessElement(3, 11, 125), -6, "Line 125: Count too high");
    EXPECT_FATAL(AccessElement(3, -2, 126), -6, "Line 126: Count too high");
}

TEST_F(AccessElementTest, ErasedArrayShowsTheLinePassed) {
    CreateArray(3, 10);
    EraseArray(3);
    EXPECT_FATAL(AccessElement(3, 0, 42), -7, "Line 42: Array was erased");
}

TEST_F(AccessElementTest, RejectsArrayNumbersOutsideTheTable) {
    EXPECT_FATAL(AccessElement(20, 0, 9), -6, "Line 9: Count too high");
    EXPECT_FATAL(AccessElement(-1, 0, 10), -6, "Line 10: Count too high");
}

// --- InsertDeleteElements ---

TEST_F(InsertDeleteTest, InsertMakesAnEmptyElementAtThePositionRead) {
    ArrayOf(5, {"a", "b", "c", "d", "e"});
    AccessElement(5, 2, 1);
    InsertDeleteElements(kInsertElement);
    EXPECT_EQ(ArrayTable[5]->count, 6);
    EXPECT_THAT(TextsOf(5), ElementsAre("a", "b", "<empty>", "c", "d", "e"));
    EXPECT_EQ(ArrayTable[5]->Element(2)->length, 0);
    EXPECT_EQ(HeapSize(GetProcessHeap(), 0, ArrayTable[5]), static_cast<SIZE_T>(7 * 8 + 16));
}

TEST_F(InsertDeleteTest, DeleteFreesTheTextAndClosesTheGap) {
    ArrayOf(5, {"a", "b", "c", "d", "e"});
    AccessElement(5, 2, 1);
    InsertDeleteElements(kDeleteElement);
    EXPECT_THAT(TextsOf(5), ElementsAre("a", "b", "d", "e"));
}

TEST_F(InsertDeleteTest, DeleteTheLastElementMovesNothing) {
    ArrayOf(5, {"a", "b", "c"});
    AccessElement(5, 2, 1);
    InsertDeleteElements(kDeleteElement);
    EXPECT_THAT(TextsOf(5), ElementsAre("a", "b"));
}

TEST_F(InsertDeleteTest, DeleteInAOneElementArrayDoesNothing) {
    ArrayOf(5, {"only"});
    AccessElement(5, 0, 1);
    InsertDeleteElements(kDeleteElement);
    EXPECT_THAT(TextsOf(5), ElementsAre("only"));
}

TEST_F(InsertDeleteTest, ClearFreesTheTextAndKeepsTheCount) {
    ArrayOf(5, {"a", "b", "c"});
    AccessElement(5, 1, 1);
    InsertDeleteElements(kClearElement);
    EXPECT_EQ(ArrayTable[5]->count, 3);
    AccessedElement read = AccessElement(5, 1, 2);
    EXPECT_EQ(read.text, EmptyString);
    EXPECT_EQ(read.length, 0);
    EXPECT_EQ(ArrayTable[5]->Element(1)->text, EmptyString);
}

TEST_F(InsertDeleteTest, LargerCountsInsertOrDeleteThatManyElements) {
    ArrayOf(5, {"a", "b", "c", "d", "e"});
    AccessElement(5, 1, 1);
    InsertDeleteElements(3);
    EXPECT_THAT(TextsOf(5), ElementsAre("a", "<empty>", "<empty>", "<empty>", "b", "c", "d", "e"));
    AccessElement(5, 3, 2);
    InsertDeleteElements(-4);  // the last empty one, "b", "c" and "d"
    EXPECT_THAT(TextsOf(5), ElementsAre("a", "<empty>", "<empty>", "e"));
}

TEST_F(InsertDeleteTest, ResizedBlockIsTheOneTheTableHolds) {
    ArrayOf(5, {"a", "b"});
    AccessElement(5, 0, 1);
    InsertDeleteElements(1000);  // large enough that the block usually moves
    EXPECT_EQ(ArrayTable[5]->count, 1002);
    EXPECT_EQ(HeapSize(GetProcessHeap(), 0, ArrayTable[5]), static_cast<SIZE_T>(1003 * 8 + 16));
    EXPECT_STREQ(ArrayTable[5]->Element(1000)->text, "a");
    EXPECT_STREQ(ArrayTable[5]->Element(1001)->text, "b");
}

TEST_F(InsertDeleteTest, NeverCreatedArrayShowsTheLastAccessLine) {
    AccessElement(9, 0, 61);
    EXPECT_FATAL(InsertDeleteElements(kInsertElement), -6, "Line 61: Count too high");
}

TEST_F(InsertDeleteTest, NameCellPositionIsRejected) {
    ArrayOf(5, {"a", "b"});
    AccessElement(5, kNameCell, 62);
    EXPECT_FATAL(InsertDeleteElements(kInsertElement), -6, "Line 62: Count too high");
    EXPECT_FATAL(InsertDeleteElements(kClearElement), -6, "Line 62: Count too high");
    EXPECT_FATAL(InsertDeleteElements(kDeleteElement), -6, "Line 62: Count too high");
}

TEST_F(InsertDeleteTest, ArrayErasedSinceTheAccessIsRejected) {
    ArrayOf(5, {"a", "b"});
    AccessElement(5, 1, 63);
    EraseArray(5);
    EXPECT_FATAL(InsertDeleteElements(kDeleteElement), -7, "Line 63: Array was erased");
}

TEST_F(InsertDeleteTest, PositionNoLongerAnElementIsRejected) {
    // Deleting the last element leaves the position past the end; a second delete would
    // free the moved-out record's text again.
    ArrayOf(5, {"a", "b", "c"});
    AccessElement(5, 2, 64);
    InsertDeleteElements(kDeleteElement);
    EXPECT_FATAL(InsertDeleteElements(kDeleteElement), -6, "Line 64: Count too high");
    EXPECT_FATAL(InsertDeleteElements(kClearElement), -6, "Line 64: Count too high");
}

TEST_F(InsertDeleteTest, DeletePastTheLastElementIsRejected) {
    ArrayOf(5, {"a", "b", "c", "d"});
    AccessElement(5, 2, 65);
    EXPECT_FATAL(InsertDeleteElements(-3), -6, "Line 65: Count too high");
}

TEST_F(InsertDeleteTest, InsertWhoseSizeCannotExistIsRejected) {
    ArrayOf(5, {"a"});
    AccessElement(5, 0, 66);
    EXPECT_FATAL(InsertDeleteElements(INT_MAX), -1, "HeapAlloc");
    EXPECT_FATAL(InsertDeleteElements(0x1FFFFFFC), -1, "HeapAlloc");
}

// --- SwapArrays ---

TEST_F(SwapArraysTest, ExchangesStatesWithoutMovingBlocks) {
    StringArray* one = ArrayOf(1, {"x"});
    SwapArrays(1, 2);
    EXPECT_EQ(ArrayTable[1], nullptr);
    EXPECT_EQ(ArrayTable[2], one);
    EraseArray(2);
    SwapArrays(2, 3);
    EXPECT_EQ(ArrayTable[2], nullptr);
    EXPECT_EQ(ArrayTable[3], kErasedArray);
}

TEST_F(SwapArraysTest, RejectsArrayNumbersOutsideTheTable) {
    ErrorLine = 70;
    EXPECT_FATAL(SwapArrays(1, 20), -6, "Line 70: Count too high");
    EXPECT_FATAL(SwapArrays(-1, 2), -6, "Line 70: Count too high");
}

}  // namespace
}  // namespace tarnfold

// String arrays: up to 20 numbered arrays of string elements, each one heap block.
//
// An array block holds a 16-byte header (element count, shared text block, name cell)
// followed by 8-byte element records. An element owns a heap block (length > 0) or
// borrows its text from the array's shared text block (length < 0); erasing the array
// frees both kinds of owner. Element texts are assigned by the string builder through the
// destination element that AccessElement records in its TempSlot.
//
//     CreateArray(3, 10, "names");          // elements 0..10, all empty
//     AccessElement(3, 4, __LINE__);        // element 4 is the next 0x7F temporary
//     InsertDeleteElements(kInsertElement); // an empty element at 4, the rest move up
//     SortArray(-3);                        // all elements, descending
//     EraseArray(kAllArrays);
#pragma once

#include <cstddef>
#include <cstdint>

#include "../core/storage.h"

namespace tarnfold {

inline constexpr int kArrayCount = 20;
inline constexpr std::int32_t kAllArrays = -1;  // EraseArray: every array, 0 to 19
inline constexpr std::int32_t kNameCell = -1;   // AccessElement: the array's name

// InsertDeleteElements counts; any other count inserts (> 0) or deletes (< 0) that many.
inline constexpr std::int32_t kInsertElement = 1;
inline constexpr std::int32_t kClearElement = 0;
inline constexpr std::int32_t kDeleteElement = -1;

// SortArray count: every element.
inline constexpr std::int32_t kSortAll = 0;

// The header of an array block; the element records follow it in the same block.
struct StringArray {
    std::int32_t count;   // elements 0 .. count - 1
    char* sharedText;     // owned by the array; borrowed element texts point into it; or null
    ElementRecord name;   // element -1: the name given at creation (not owned), length 0

    // Element `index`, -1 (the name cell) to count - 1. No bounds check.
    ElementRecord* Element(std::int32_t index) {
        return reinterpret_cast<ElementRecord*>(reinterpret_cast<char*>(this) + sizeof(StringArray) +
                                                index * static_cast<std::int32_t>(sizeof(ElementRecord)));
    }
};
static_assert(sizeof(StringArray) == 16 && sizeof(ElementRecord) == 8,
              "array blocks are a 16-byte header and 8-byte records");

// The bytes of an array block that holds `elements` records: elements x 8 + 16.
constexpr std::int64_t ArrayBlockSize(std::int64_t elements) {
    return elements * static_cast<std::int64_t>(sizeof(ElementRecord)) +
           static_cast<std::int64_t>(sizeof(StringArray));
}

// ArrayTable entries: null = never created, kErasedArray = erased, else the array's block.
extern StringArray* ArrayTable[kArrayCount];
inline StringArray* const kErasedArray = reinterpret_cast<StringArray*>(~std::uintptr_t{0});

// The array number and element index of the most recent AccessElement.
extern ArrayPosition LastAccess;

// Each array's identity, beside its ArrayTable entry: a new one at every creation, kept
// through erasure and resizing, moved by SwapArrays with the array. 0 for entries never
// created. Element destinations name arrays by it, not by number.
extern Word ArrayIdentity[kArrayCount];

// What AccessElement read: the element's text (never null) and its signed length
// (negative for a text borrowed from the shared text block).
struct AccessedElement {
    const char* text;
    std::int32_t length;
};

// Erases array `number` (0..19) first, then takes one zero-filled block of count + 1
// empty elements and enters it in the ArrayTable. `name` is kept, never copied or freed.
// Returns the block. A number outside 0..19: FatalError 6 with ErrorLine. A negative
// count, or one whose block would not fit in 32 bits: FatalError 1.
StringArray* CreateArray(std::int32_t number, std::int32_t count, const char* name = nullptr);

// Frees array `number`'s element blocks, its shared text block and its own block, and
// marks it erased; kAllArrays does so for 0 to 19 in order. Arrays never created or
// already erased are left alone. Other numbers: FatalError 6 with ErrorLine.
void EraseArray(std::int32_t number);

// Reads element `index` (kNameCell to count - 1) of array `number` and records it as the
// next TempSlot with the element as its destination. Sets ErrorLine to `line` and
// LastAccess first, always. A never-created array reads as the empty text with no
// destination. Erased array: FatalError 7; index or number out of range: FatalError 6.
// No allocation: a table lookup and an index.
AccessedElement AccessElement(std::int32_t number, std::int32_t index, std::int32_t line);

// The part of an element access after its checks: `slot` (the next TempSlot, taken)
// records the element of array `identity` at `index` as its text and destination.
// AccessElement and Store's loop share it.
inline AccessedElement RecordElementAccess(ElementRecord* element, Word identity, std::int32_t index,
                                           TempSlot* slot) {
    AccessedElement result{element->text != nullptr ? element->text : EmptyString, element->length};
    *slot = {result.text, result.length, element, 0, identity, index};
    return result;
}

// The element that the access recorded in `slot` named, found again by its array (under
// whatever number SwapArrays has moved it to) and index: the record to assign, wherever
// the array block lies now. FatalError 6 with ErrorLine when the slot names no element
// (the access was to an array never created), the index is the name cell or no longer an
// element; 7 when the array has been erased (or created again) since the access.
ElementRecord* DestinationElement(const TempSlot& slot);

// At LastAccess: count > 0 inserts that many empty elements, 0 clears the element, < 0
// deletes that many elements (freeing their own texts). Moves 8-byte records only; the
// block is resized and may move, so earlier destination elements become invalid. A change
// that would leave no element does nothing. FatalError 6 when the array was never created,
// the position is the name cell or no longer an element, or a delete runs past the last
// element; 7 when the array was erased since the access; 1 when the size cannot exist.
void InsertDeleteElements(std::int32_t count);

// Exchanges ArrayTable entries a and b whatever their states; no block moves. A pending
// element assignment follows its array to its new number.
// A number outside 0..19: FatalError 6 with ErrorLine.
void SwapArrays(std::int32_t a, std::int32_t b);

// Sorts elements 0 .. count - 1 of array |number| with the C library's qsort and
// CompareTextNoCase; a negative number sorts descending. count 0, or a count beyond the
// element count, sorts every element. Null texts sort as the empty text. Not stable.
// Arrays never created or erased: nothing happens. |number| above 19 or a negative count:
// FatalError 6 with ErrorLine.
void SortArray(std::int32_t number, std::int32_t count = kSortAll);

}  // namespace tarnfold

// String arrays: the ArrayTable and the operations on its arrays.
#include "string_arrays.h"

#include <cstring>

#include "../errors_console/fatal_error.h"
#include "../platform/win32.h"
#include "../core/temp_slots.h"
#include "sort_compare.h"

namespace tarnfold {

StringArray* ArrayTable[kArrayCount];
ArrayPosition LastAccess;
Word ArrayIdentity[kArrayCount];

namespace {

Word lastIdentity = 0;

// The number whose entry holds the array of `identity`, or -1 when it was created again.
std::int32_t NumberOfIdentity(Word identity) {
    for (std::int32_t number = 0; number < kArrayCount; ++number)
        if (ArrayIdentity[number] == identity) return number;
    return -1;
}

// The largest block a 32-bit size can name.
constexpr std::int64_t kMaxBlockSize = 0xFFFFFFFFll;

bool IsArrayNumber(std::int64_t number) { return number >= 0 && number < kArrayCount; }

bool IsLive(const StringArray* array) { return array != nullptr && array != kErasedArray; }

// Array numbers outside the table would read or write beside it.
void RequireArrayNumber(std::int64_t number) {
    if (!IsArrayNumber(number)) FatalLineError(kErrorCountTooHigh);
}

// A block size that wraps around 32 bits would give a block too small for its records.
std::size_t RequireBlockSize(std::int64_t elements) {
    std::int64_t size = ArrayBlockSize(elements);
    if (elements < 0 || elements > INT32_MAX || size > kMaxBlockSize) FatalError(kErrorHeapAlloc);
    return static_cast<std::size_t>(size);
}

void FreeOwnedText(const ElementRecord& element) {
    if (element.length > 0) FreeBlock(element.text);
}

StringArray* ResizeArray(StringArray* array, std::size_t size) {
    HANDLE heap = GetProcessHeap();
    void* block = heap != nullptr ? HeapReAlloc(heap, 0, array, size) : nullptr;
    if (block == nullptr) FatalError(kErrorHeapAlloc);
    return static_cast<StringArray*>(block);
}

}  // namespace

StringArray* CreateArray(std::int32_t number, std::int32_t count, const char* name) {
    RequireArrayNumber(number);
    if (count < 0) FatalError(kErrorHeapAlloc);  // an array holds at least one element
    std::int64_t elements = static_cast<std::int64_t>(count) + 1;
    std::size_t size = RequireBlockSize(elements);
    EraseArray(number);
    auto* array = static_cast<StringArray*>(AllocBlock(size, true));
    ArrayTable[number] = array;
    ArrayIdentity[number] = ++lastIdentity;
    array->count = static_cast<std::int32_t>(elements);
    array->name.text = const_cast<char*>(name);
    return array;
}

void EraseArray(std::int32_t number) {
    if (number == kAllArrays) {
        for (std::int32_t each = 0; each < kArrayCount; ++each) EraseArray(each);
        return;
    }
    RequireArrayNumber(number);
    StringArray* array = ArrayTable[number];
    if (!IsLive(array)) return;
    // Marked first: a failing free ends in a fatal error, whose clean-up must skip it.
    ArrayTable[number] = kErasedArray;
    FreeBlock(array->sharedText);
    for (std::int32_t i = 0; i < array->count; ++i) FreeOwnedText(*array->Element(i));
    FreeBlock(array);
}

AccessedElement AccessElement(std::int32_t number, std::int32_t index, std::int32_t line) {
    ErrorLine = line;
    LastAccess = {number, index};
    RequireArrayNumber(number);
    StringArray* array = ArrayTable[number];
    if (array == kErasedArray) FatalLineError(kErrorArrayErased);
    if (array == nullptr) {
        TempSlot* slot = SelectTempSlot(1);
        *slot = {EmptyString, 0, nullptr, 0, ArrayIdentity[number], index};
        return {EmptyString, 0};
    }
    if (index < kNameCell || index >= array->count) FatalLineError(kErrorCountTooHigh);
    return RecordElementAccess(array->Element(index), ArrayIdentity[number], index, NextTempSlot());
}

ElementRecord* DestinationElement(const TempSlot& slot) {
    if (slot.destination == nullptr) FatalLineError(kErrorCountTooHigh);
    const std::int32_t index = slot.destinationIndex;
    // Creating an array again erases the one that was there first.
    const std::int32_t number = NumberOfIdentity(slot.destinationArray);
    if (number < 0) FatalLineError(kErrorArrayErased);
    StringArray* array = ArrayTable[number];
    if (array == kErasedArray) FatalLineError(kErrorArrayErased);
    // The name cell is no element: erasing never frees a text assigned to it.
    if (array == nullptr || index < 0 || index >= array->count) FatalLineError(kErrorCountTooHigh);
    return array->Element(index);
}

void InsertDeleteElements(std::int32_t count) {
    const std::int32_t number = LastAccess.number;
    RequireArrayNumber(number);
    StringArray* array = ArrayTable[number];
    if (array == nullptr) FatalLineError(kErrorCountTooHigh);
    if (array == kErasedArray) FatalLineError(kErrorArrayErased);
    // The name cell is no element, and an earlier change may have removed the position.
    const std::int32_t p = LastAccess.index;
    if (p < 0 || p >= array->count) FatalLineError(kErrorCountTooHigh);

    if (count == kClearElement) {
        ElementRecord* element = array->Element(p);
        FreeOwnedText(*element);
        *element = {EmptyString, 0};
        return;
    }

    const std::int64_t elements = static_cast<std::int64_t>(array->count) + count;
    if (elements <= 0) return;  // an array never loses its last element
    const std::int32_t oldCount = array->count;
    // Every resize leaves one spare record beyond the last element.
    const std::size_t size = RequireBlockSize(elements + 1);
    if (count > 0) {
        array = ResizeArray(array, size);
        ArrayTable[number] = array;
        std::memmove(array->Element(p + count), array->Element(p),
                     static_cast<std::size_t>(oldCount - p) * sizeof(ElementRecord));
        for (std::int32_t i = p; i < p + count; ++i) *array->Element(i) = {nullptr, 0};
        array->count = static_cast<std::int32_t>(elements);
        return;
    }
    const std::int32_t deleted = -count;
    if (deleted > oldCount - p) FatalLineError(kErrorCountTooHigh);
    // Each record is emptied as its text goes and the count drops before the resize, so a
    // fatal error on the way makes the clean-up free every remaining text exactly once.
    for (std::int32_t i = p; i < p + deleted; ++i) {
        ElementRecord* element = array->Element(i);
        FreeOwnedText(*element);
        *element = {nullptr, 0};
    }
    std::memmove(array->Element(p), array->Element(p + deleted),
                 static_cast<std::size_t>(oldCount - p - deleted) * sizeof(ElementRecord));
    array->count = static_cast<std::int32_t>(elements);
    ArrayTable[number] = ResizeArray(array, size);
}

void SwapArrays(std::int32_t a, std::int32_t b) {
    RequireArrayNumber(a);
    RequireArrayNumber(b);
    StringArray* swap = ArrayTable[a];
    ArrayTable[a] = ArrayTable[b];
    ArrayTable[b] = swap;
    Word identity = ArrayIdentity[a];
    ArrayIdentity[a] = ArrayIdentity[b];
    ArrayIdentity[b] = identity;
}

void SortArray(std::int32_t number, std::int32_t count) {
    const bool descending = number < 0;
    const std::int64_t which = descending ? -static_cast<std::int64_t>(number) : number;
    RequireArrayNumber(which);
    if (count < 0) FatalLineError(kErrorCountTooHigh);
    StringArray* array = ArrayTable[which];
    if (!IsLive(array)) return;
    const std::int32_t n = count == kSortAll || count > array->count ? array->count : count;
    SortRecords(array->Element(0), static_cast<std::size_t>(n), descending);
}

}  // namespace tarnfold

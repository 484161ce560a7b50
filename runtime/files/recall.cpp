// Recall: a text file into a string array of lines, one read and one block.
#include "recall.h"

#include "../arrays_text/string_arrays.h"
#include "../errors_console/fatal_error.h"
#include "../platform/win32.h"
#include "slot_handles.h"
#include "line_split.h"

namespace tarnfold {

namespace {

// The handle of `source`, taken out of its slot (Recall closes it itself).
HANDLE TakeInputHandle(FileRef source) {
    char number[12];
    if (IsSlotRef(source)) {
        HANDLE handle = TakeSlot(static_cast<int>(source));
        if (handle == nullptr || handle == INVALID_HANDLE_VALUE) FatalError(kErrorOpenForRecall, FileRefText(source, number));
        return handle;
    }
    if (!IsAddressRef(source)) FatalError(kErrorOpenForRecall, FileRefText(source, number));
    const char* name = reinterpret_cast<const char*>(static_cast<std::uintptr_t>(source));
    Word handle = kFreeSlot;
    if (OpenInputInto(handle, name, kNoSearch) == kFailedSlot) FatalError(kErrorOpenForRecall, name);
    return HandleOf(handle);
}

// Every line end takes two bytes, so 2 x S + 4096 elements always suffice. Computed in 64
// bits: for large files the table's size would wrap around 32 bits.
std::int32_t WorkArrayBound(std::uint32_t size) {
    std::int64_t bound = 2 * static_cast<std::int64_t>(size) + 4096;
    if (ArrayBlockSize(bound + 1) > 0xFFFFFFFFll || bound + 1 > INT32_MAX) FatalError(kErrorHeapAlloc);
    return static_cast<std::int32_t>(bound);
}

ElementRecord Borrowed(char* start, const char* end) {
    return {start, -static_cast<std::int32_t>(end - start)};
}

// Line mode: every CR LF ends a line, its CR becomes the line's zero byte. A last line
// without CR LF is one more element, ended by the block's spare byte.
std::int32_t SplitLines(char* block, std::size_t used, ElementRecord* element) {
    std::int32_t count = 0;
    char* start = block;
    ForEachCrLf(block, used, [&](std::size_t at) {
        element[count++] = Borrowed(start, block + at);
        block[at] = '\0';
        start = block + at + 2;
    });
    if (start < block + used) element[count++] = Borrowed(start, block + used);
    return count;
}

// Record mode: a CR LF splits only where the mark's two bytes follow it inside the data.
// The last record leaves out a final CR LF; its text stays as it was.
std::int32_t SplitRecords(char* block, std::size_t used, Word marker, ElementRecord* element) {
    const char first = static_cast<char>(marker & 0xFF);
    const char second = static_cast<char>((marker >> 8) & 0xFF);
    std::int32_t count = 0;
    char* start = block;
    ForEachCrLf(block, used, [&](std::size_t at) {
        if (at + 3 >= used || block[at + 2] != first || block[at + 3] != second) return;
        element[count++] = Borrowed(start, block + at);
        block[at] = '\0';
        start = block + at + 2;
    });
    char* end = block + used;
    if (used >= 2 && end[-2] == '\r' && end[-1] == '\n' && end - 2 >= start) {
        end -= 2;
        *end = '\0';  // the last text ends in place like every other
    }
    element[count++] = Borrowed(start, end);
    return count;
}

// Line mode when `mark` is null, else record mode; `count`, when not null, receives N.
RecallResult RecallLines(FileRef source, std::int32_t array, const char* arrayName, std::int32_t* count,
                         const RecordMark* mark) {
    // Array 0 is the work array: recalling into it would destroy the result being built.
    if (array < 1 || array >= kArrayCount) FatalLineError(kErrorCountTooHigh);
    HANDLE handle = TakeInputHandle(source);
    DWORD high = 0;
    const std::uint32_t size = GetFileSize(handle, &high);
    // The high part counts: a file of 4 GiB + 10 bytes is no 10-byte file.
    if ((static_cast<std::uint64_t>(high) << 32 | size) > kLargestReadableFile) FatalError(kErrorHeapAlloc);
    const std::int32_t bound = WorkArrayBound(size);
    auto* block = static_cast<char*>(AllocBlock(static_cast<std::size_t>(size) + 1, false));
    DWORD delivered = 0;
    if (ReadFile(handle, block, size, &delivered, nullptr) == FALSE || delivered > size) {
        // A read that fails (a slot opened for output, say) is no empty file: an empty
        // array here would be stored back over the data.
        char number[12];
        FatalError(kErrorOpenForRecall, FileRefText(source, number));
    }
    CloseHandle(handle);
    // Only the delivered bytes are split (a slot already read from delivers less); the
    // spare byte after them ends the last text.
    block[delivered] = '\0';

    StringArray* work = CreateArray(0, bound, arrayName);
    work->sharedText = block;
    ElementRecord* elements = work->Element(0);
    elements->text = block;
    work->count = mark != nullptr ? SplitRecords(block, delivered, mark->word, elements)
                                  : SplitLines(block, delivered, elements);
    if (count != nullptr) *count = work->count;

    // The target's old array is erased with its blocks and the work array takes its
    // number; array 0 is left erased, as if an empty array had been swapped in and erased.
    EraseArray(array);
    SwapArrays(0, array);
    ArrayTable[0] = kErasedArray;
    return {ArrayTable[array]->count, size};
}

}  // namespace

RecallResult Recall(FileRef source, std::int32_t array, const char* arrayName, std::int32_t* count) {
    return RecallLines(source, array, arrayName, count, nullptr);
}

RecallResult Recall(FileRef source, std::int32_t array, const char* arrayName, RecordMark mark) {
    return RecallLines(source, array, arrayName, nullptr, &mark);
}

}  // namespace tarnfold

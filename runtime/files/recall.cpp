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

// Every line but the last ends at a LF, in every mode (a CR LF line or a record too), so
// LF count + 1 elements always suffice; -1 when that table cannot exist. Computed in 64
// bits: for a file of more than 2^29 LFs the table's size would wrap around 32 bits.
std::int32_t WorkArrayBound(std::size_t lineFeeds) {
    std::int64_t bound = static_cast<std::int64_t>(lineFeeds) + 1;
    if (ArrayBlockSize(bound + 1) > 0xFFFFFFFFll || bound + 1 > INT32_MAX) return -1;
    return static_cast<std::int32_t>(bound);
}

ElementRecord Borrowed(char* start, const char* end) {
    return {start, -static_cast<std::int32_t>(end - start)};
}

// Line mode: every CR LF ends a line, its CR becomes the line's zero byte. A last line
// without CR LF is one more element, ended by the block's spare byte. The scan starts one
// byte in (a LF at offset 0 has no CR before it), so every LF it finds has a byte before it.
std::int32_t SplitLines(char* block, std::size_t used, ElementRecord* elements) {
    ElementRecord* element = elements;
    char* start = block;
    if (used > 1)
        ForEachLineFeed(block + 1, used - 1, [&](char* lineFeed) {
            if (lineFeed[-1] != '\r') return;
            *element++ = Borrowed(start, lineFeed - 1);
            lineFeed[-1] = '\0';
            start = lineFeed + 1;
        });
    if (start < block + used) *element++ = Borrowed(start, block + used);
    return static_cast<std::int32_t>(element - elements);
}

// Line mode with LF ends: every LF ends a line, and a CR right before it is left out too;
// the line's first end byte (CR or LF) becomes its zero byte. A lone CR is text. The byte
// before a LF is never a CR of an earlier line (that line's LF lies between them), and the
// LF at offset 0, which has no byte before it, is taken first.
std::int32_t SplitLinesOrLf(char* block, std::size_t used, ElementRecord* elements) {
    ElementRecord* element = elements;
    char* start = block;
    if (used > 0 && block[0] == '\n') {
        *element++ = Borrowed(block, block);
        block[0] = '\0';
        start = block + 1;
    }
    if (used > 1)
        ForEachLineFeed(block + 1, used - 1, [&](char* lineFeed) {
            char* end = lineFeed - (lineFeed[-1] == '\r');
            *element++ = Borrowed(start, end);
            *end = '\0';
            start = lineFeed + 1;
        });
    if (start < block + used) *element++ = Borrowed(start, block + used);
    return static_cast<std::int32_t>(element - elements);
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

// Line mode with `ends` when `mark` is null, else record mode; `count`, when not null,
// receives N.
RecallResult RecallLines(FileRef source, std::int32_t array, const char* arrayName, std::int32_t* count,
                         LineEnds ends, const RecordMark* mark) {
    // Array 0 is the work array: recalling into it would destroy the result being built.
    if (array < 1 || array >= kArrayCount) FatalLineError(kErrorCountTooHigh);
    HANDLE handle = TakeInputHandle(source);
    DWORD high = 0;
    const std::uint32_t size = GetFileSize(handle, &high);
    // The high part counts: a file of 4 GiB + 10 bytes is no 10-byte file.
    if ((static_cast<std::uint64_t>(high) << 32 | size) > kLargestReadableFile) FatalError(kErrorHeapAlloc);
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

    // The table is sized by the lines the block holds: one pass counting LFs, far cheaper
    // than the split, instead of a bound from the size (sixteen bytes per byte of the file).
    const std::int32_t bound = WorkArrayBound(CountLineFeeds(block, delivered));
    if (bound < 0) {
        FreeBlock(block);
        FatalError(kErrorHeapAlloc);
    }
    StringArray* work = CreateArray(0, bound, arrayName);
    work->sharedText = block;
    ElementRecord* elements = work->Element(0);
    elements->text = block;
    work->count = mark != nullptr             ? SplitRecords(block, delivered, mark->word, elements)
                  : ends == LineEnds::CrLfOrLf ? SplitLinesOrLf(block, delivered, elements)
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
    return RecallLines(source, array, arrayName, count, LineEnds::CrLf, nullptr);
}

RecallResult Recall(FileRef source, std::int32_t array, const char* arrayName, std::int32_t* count,
                    LineEnds ends) {
    return RecallLines(source, array, arrayName, count, ends, nullptr);
}

RecallResult Recall(FileRef source, std::int32_t array, const char* arrayName, RecordMark mark) {
    return RecallLines(source, array, arrayName, nullptr, LineEnds::CrLf, &mark);
}

}  // namespace tarnfold

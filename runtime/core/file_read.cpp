// FileRead$: the file-contents record, measured now and read when the builder expands it.
#include "file_read.h"

#include "../errors_console/fatal_error.h"
#include "../files/slot_handles.h"
#include "deferred_record.h"

namespace tarnfold {

RecordedTemp FileReadStr(const char* name) {
    Word* record = reinterpret_cast<Word*>(RingPosition());
    record[0] = kRecordMark;
    record[1] = kRecordFileContents;
    record[2] = static_cast<Word>(reinterpret_cast<std::uintptr_t>(name));
    // The file that will be read is measured: opened by its own name, never looked up (a
    // lookup takes '?' and '*' for wildcards and may measure a neighbour).
    Word opened = kFreeSlot;
    if (OpenInputInto(opened, name, kNoSearch) == kFailedSlot) {
        char number[12];  // a name below 64 KiB is named by its number, never read
        FatalError(kErrorOpenForRecall, FileRefText(NameRef(name), number));
    }
    DWORD high = 0;
    const DWORD low = GetFileSize(HandleOf(opened), &high);
    CloseHandle(HandleOf(opened));
    // A size of 2 GiB or more (the high part included) is no text that can be made.
    const std::uint64_t size = static_cast<std::uint64_t>(high) << 32 | low;
    if (size > kLargestReadableFile) FatalError(kErrorHeapAlloc);
    record[3] = low;
    RecordedTemp temp = RecordTemp(record + 4);
    MarkRecordTemp(temp.slot, static_cast<std::int32_t>(low));
    return temp;
}

}  // namespace tarnfold

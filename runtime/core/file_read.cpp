// FileRead$: the file-contents record, measured now and read when the builder expands it.
#include "file_read.h"

#include "../errors_console/fatal_error.h"
#include "../files/file_queries.h"
#include "deferred_record.h"

namespace tarnfold {

RecordedTemp FileReadStr(const char* name) {
    Word* record = reinterpret_cast<Word*>(RingPosition());
    record[0] = kRecordMark;
    record[1] = kRecordFileContents;
    record[2] = static_cast<Word>(reinterpret_cast<std::uintptr_t>(name));
    if (FindFile(name, kCloseSearch) == 0) FatalError(kErrorOpenForRecall, name);
    // A size that reads as a negative length (2 to 4 GiB) is no text that can be made.
    if (FindDataBuffer.sizeLow > 0x7FFFFFFFu) FatalError(kErrorHeapAlloc);
    record[3] = FindDataBuffer.sizeLow;
    RecordedTemp temp = RecordTemp(record + 4);
    MarkRecordTemp(temp.slot, static_cast<std::int32_t>(FindDataBuffer.sizeLow));
    return temp;
}

}  // namespace tarnfold

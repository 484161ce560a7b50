// Expansion of zero-fill, file-contents and splice records into the builder's output.
#include "deferred_record.h"

#include <cstring>

#include "../errors_console/fatal_error.h"
#include "../files/file_slots.h"
#include "../files/slot_handles.h"
#include "copy_bytes.h"
#include "text_length.h"

namespace tarnfold {

namespace {

const char* AsText(Word word) { return reinterpret_cast<const char*>(static_cast<std::uintptr_t>(word)); }

// Copies [from, to) unless the gap is empty or negative; stops at `limit`.
char* CopyGap(char* out, const char* from, const char* to, const char* limit) {
    if (to <= from) return out;
    std::size_t size = static_cast<std::size_t>(to - from);
    std::size_t room = static_cast<std::size_t>(limit - out);
    if (size > room) size = room;
    CopyLongBytes(out, from, size);
    return out + size;
}

// Source with each match replaced: S..M1, R, skip F, M1+F..M2, R, ... up to the end pointer.
char* ExpandSplice(const Word* record, char* out, const char* limit) {
    const char* replacement = AsText(record[2]);
    auto found = static_cast<std::int32_t>(record[3]);
    const char* source = AsText(record[4]);
    const std::size_t replacementLength = TextLength(replacement);
    const Word* match = record + 5;
    for (; match[1] != 0; ++match) {  // the last non-zero word is the end pointer
        out = CopyGap(out, source, AsText(*match), limit);
        out = CopyGap(out, replacement, replacement + replacementLength, limit);
        source = AsText(*match) + found;
    }
    return CopyGap(out, source, AsText(*match), limit);
}

// The `byte count` bytes of the named file, read on a handle of its own (no file slot is
// touched). A file that cannot be opened now (shared for writing elsewhere, gone) ends the
// program as a missing one does when the record is made, and so does a file whose size
// changed since it was measured: padding a shrunk file with zeros or cutting a grown one
// would be corrupted data. The output always advances by the count.
char* ExpandFileContents(const Word* record, char* out, const char* limit) {
    std::size_t size = record[3];
    std::size_t room = static_cast<std::size_t>(limit - out);
    if (size > room) size = room;
    const char* name = AsText(record[2]);
    Word opened = kFreeSlot;
    if (OpenInputInto(opened, name, kNoSearch) == kFailedSlot) FatalError(kErrorOpenForRecall, name);
    HANDLE file = HandleOf(opened);
    DWORD high = 0;
    const DWORD now = GetFileSize(file, &high);
    DWORD delivered = 0;
    const BOOL read = ReadFile(file, out, static_cast<DWORD>(size), &delivered, nullptr);
    CloseHandle(file);
    if (high != 0 || now != record[3] || !read || delivered != size) FatalError(kErrorOpenForRecall, name);
    return out + size;
}

}  // namespace

char* ExpandRecord(const char* text, std::uint32_t size, char* out) {
    const Word* record = reinterpret_cast<const Word*>(text);
    const char* limit = out + size;
    switch (record[1]) {
        case kRecordSplice:
            return ExpandSplice(record, out, limit);
        case kRecordFileContents:
            return ExpandFileContents(record, out, limit);
        default:
            // Zero fill, and any other kind: n zero bytes.
            std::memset(out, 0, size);
            return out + size;
    }
}

bool RecordReadsFrom(const char* text, const char* from, const char* to) {
    auto overlaps = [from, to](const void* start, std::size_t size) {
        const char* first = static_cast<const char*>(start);
        return size != 0 && first < to && from < first + size;
    };
    const Word* record = reinterpret_cast<const Word*>(text);
    switch (record[1]) {
        case kRecordSplice: {
            std::size_t words = 6;  // mark, kind, R, F, S, end pointer
            while (record[words] != 0) ++words;
            const char* source = AsText(record[4]);
            const char* replacement = AsText(record[2]);
            return overlaps(record, (words + 1) * sizeof(Word)) ||
                   overlaps(replacement, std::strlen(replacement) + 1) ||
                   (AsText(record[words - 1]) > source &&
                    overlaps(source, static_cast<std::size_t>(AsText(record[words - 1]) - source)));
        }
        case kRecordFileContents: {
            const char* name = AsText(record[2]);
            return overlaps(record, 4 * sizeof(Word)) || overlaps(name, std::strlen(name) + 1);
        }
        default:
            return overlaps(record, 3 * sizeof(Word));
    }
}

}  // namespace tarnfold

// Deferred records: texts that producers describe and the builder makes in their destination.
//
// A record lies in the scratch ring and is named by a TempSlot that its producer marked
// with isRecord. The slot's length is the record's size word: the file's byte count for
// file contents, one more than the text for zero fill and splice (so that a length above 1
// marks those records). RecordTextLength gives the bytes a record expands to, which is what
// every destination receives. Every field is a 32-bit word; the first is always kRecordMark.
#pragma once

#include <cstdint>

#include "storage.h"

namespace tarnfold {

inline constexpr Word kRecordMark = 0x7C;
inline constexpr Word kRecordZeroFill = 0x7A;      // 0x7C, 0x7A, n + 1
inline constexpr Word kRecordFileContents = 0x7B;  // 0x7C, 0x7B, name, byte count
inline constexpr Word kRecordSplice = 0x7C;        // 0x7C, 0x7C, R, F, S, M1..Mk, end, 0

// Marks `slot` as naming a record that expands to `length` bytes.
inline void MarkRecordTemp(TempSlot* slot, std::int32_t length) {
    slot->length = length;
    slot->isRecord = 1;
}

// The number of bytes the record of `slot` expands to.
inline std::uint32_t RecordTextLength(const TempSlot& slot) {
    const std::uint32_t size = slot.length < 0 ? 0u - static_cast<std::uint32_t>(slot.length)
                                               : static_cast<std::uint32_t>(slot.length);
    if (reinterpret_cast<const Word*>(slot.text)[1] == kRecordFileContents) return size;
    return size > 0 ? size - 1 : 0;  // zero fill and splice: the text's length plus 1
}

// Expands `record` at `out` as exactly `size` bytes (its RecordTextLength); returns the end
// of what it wrote. Records are not changed, so a record may be expanded again.
char* ExpandRecord(const char* record, std::uint32_t size, char* out);
inline char* ExpandRecord(const TempSlot& slot, char* out) {
    return ExpandRecord(slot.text, RecordTextLength(slot), out);
}

// ExpandRecord for an output followed by kExpandSlack bytes that the expansion may write
// over (spare bytes, where the terminator goes next): pieces of a splice are moved 16 bytes
// at a time, the last move of each reaching past it.
inline constexpr std::size_t kExpandSlack = 16;
char* ExpandRecordWithSlack(const char* record, std::uint32_t size, char* out);

// Whether expanding the record of `slot` reads any byte of [from, to): its own words, and
// the texts it names (a splice's source and replacement, a file name). Reads only the record.
bool RecordReadsFrom(const char* record, const char* from, const char* to);

}  // namespace tarnfold

// Recall and Store: a text file into a string array of lines and back, one read and one
// block for the whole file, batches in the scratch ring for the writes.
//
//     Recall("names.txt", 3);                 // array 3: one element per CR LF line
//     Recall("app.log", 4, nullptr, nullptr, LineEnds::CrLfOrLf);  // lines that end in LF too
//     SortArray(3);
//     Store("names.sorted", 3);               // every element, each followed by CR LF
#pragma once

#include <cstdint>

#include "../core/storage.h"
#include "file_slots.h"

namespace tarnfold {

// Recall's record mode: a CR LF splits only where the mark's two bytes follow it. The word
// keeps the marker layout (upper half kRecordMarkerTag, the first byte in bits 0-7, the
// second in bits 8-15). A mark is a type of its own, not a 32-bit word that a count
// variable's address could equal (32-bit stacks on Linux lie at 0xFF8xxxxx-0xFFFxxxxx).
inline constexpr Word kRecordMarkerTag = 0xFF910000u;
struct RecordMark {
    Word word;
};
constexpr RecordMark RecordMarker(char first, char second) {
    return {kRecordMarkerTag | static_cast<unsigned char>(first) |
            static_cast<Word>(static_cast<unsigned char>(second)) << 8};
}

// Where Recall's line mode splits. CrLf: at every CR LF, a lone LF or CR is text.
// CrLfOrLf: at every LF, a CR right before it left out too; a lone CR is text.
enum class LineEnds : std::uint8_t { CrLf, CrLfOrLf };

struct RecallResult {
    std::int32_t count;  // elements made
    std::uint32_t size;  // the file's size in bytes
};

// Reads the file `source` (a slot 0-9 open for input, whose handle Recall takes over and
// closes, or a pointer to a name, opened on a handle of its own) into array `array` (1-19), one element
// per line, the CR LF left out. The elements borrow their texts from one block that holds
// the file and belongs to the array; every text is zero-terminated in place. A last line
// without CR LF is one more element. `count`, when not null, receives the element count.
// Array 0 is the work array and is left erased.
// Costs one read, one block of S + 1 bytes, one pass counting the file's LFs and one
// zero-filled table of LFs + 2 records (a bound on the elements in every mode), no
// allocation per line. A name that cannot be opened, a slot holding no open
// file or one that cannot be read (opened for output), or a FileRef of 10 to 0xFFFF
// (neither a slot nor an address): FatalError 5 with the name or slot number;
// `array` outside 1-19: FatalError 6; a file of 2 GiB or more, or a table that cannot
// exist: FatalError 1.
RecallResult Recall(FileRef source, std::int32_t array, const char* arrayName = nullptr,
                    std::int32_t* count = nullptr);
// The same with a choice of line ends: CrLfOrLf splits at LF as well, each element's text
// ending in place at the first byte of its line end (the CR of a CR LF, else the LF).
RecallResult Recall(FileRef source, std::int32_t array, const char* arrayName, std::int32_t* count,
                    LineEnds ends);
// The same in record mode: a CR LF splits only where `mark` follows it (records keep their
// inner CR LFs; the last one leaves out a final CR LF and is zero-terminated there). Nothing
// is stored as a count.
RecallResult Recall(FileRef source, std::int32_t array, const char* arrayName, RecordMark mark);
inline RecallResult Recall(const char* name, std::int32_t array, const char* arrayName = nullptr,
                           std::int32_t* count = nullptr) {
    return Recall(NameRef(name), array, arrayName, count);
}
inline RecallResult Recall(const char* name, std::int32_t array, const char* arrayName, std::int32_t* count,
                           LineEnds ends) {
    return Recall(NameRef(name), array, arrayName, count, ends);
}
inline RecallResult Recall(const char* name, std::int32_t array, const char* arrayName, RecordMark mark) {
    return Recall(NameRef(name), array, arrayName, mark);
}

// Writes elements 0 .. count - 1 of `array` (count < 0: all of them) to `destination` (a
// slot 0-9 open for output, whose handle Store takes over and closes, or a name, created or
// emptied on a handle of its own), each followed by CR LF. Collects the lines in the scratch ring
// from its first byte and writes a batch whenever the next line would reach 640,000 bytes;
// a longer element is written on its own. Allocates nothing; leaves no temporary usable.
// An element beyond the array (FatalError 6 with its index), an erased array (FatalError
// 7) or an array number outside 0-19 (FatalError 6) is found before the file is opened,
// which keeps its bytes, whatever the count (0 too). A name that cannot be opened, or a
// FileRef of 10 to 0xFFFF: FatalError 4; a free or failed slot, or a failed write:
// FatalError 0 with the system's text (for a write, the batches before it on disk). A never-created array stores as nothing (count < 0) or as empty lines.
void Store(FileRef destination, std::int32_t array, std::int32_t count = -1);
inline void Store(const char* name, std::int32_t array, std::int32_t count = -1) {
    Store(NameRef(name), array, count);
}

}  // namespace tarnfold

// Substring, trim, case and kept copies: four producers of temporaries and lasting copies.
//
// SubText records a view (a pointer into its source and a length, nothing copied);
// TrimText writes into the scratch ring; ChangeCase and KeepTemp take one registered heap
// block each. Use the temporaries as the kLastTemp part of the next operation.
//
//     SubText("hello", 3, 1);                     // a view of "hel"
//     SubText(LastTempArg(), 2, 2);               // narrowed in place: "el"
//     char* kept = KeepTemp();                    // "el", zero-terminated, lasts 7 KeepTemps
//     TrimText("  padded  ", kTrimBoth);          // "padded" in the ring
#pragma once

#include <cstdint>

#include "../core/storage.h"

namespace tarnfold {

// TrimText sides.
inline constexpr std::int32_t kTrimNone = 0;
inline constexpr std::int32_t kTrimLeading = 1;
inline constexpr std::int32_t kTrimTrailing = 2;
inline constexpr std::int32_t kTrimBoth = 3;

// ChangeCase directions.
inline constexpr std::int32_t kToLower = 0;
inline constexpr std::int32_t kToUpper = 1;

inline constexpr int kKeptCopies = 7;

// kLastTemp as an argument that takes a text.
inline const char* LastTempArg() { return reinterpret_cast<const char*>(kLastTemp); }

// A view of part of `source` (kLastTemp, a predefined or slot-number token, or a pointer
// to a zero-terminated text) as a TempSlot: `length` bytes from 1-based `start`; start < 0
// takes the last `length` bytes; length < 0 takes the rest. Out-of-range parts are cut or
// empty (an empty part points at the source's first byte). The view is not terminated.
// kLastTemp is narrowed in place (same slot); otherwise the current slot is reused when
// the view starts where its text starts, else the next slot is taken. Never copies or
// allocates. Invalid tokens are the empty text. A source temporary that is a deferred
// record: FatalError 9.
TempSlot* SubText(const char* source, std::int32_t length, std::int32_t start);

// `text` (zero-terminated, or a token as SubText takes it; null for the text at the ring
// position, trimmed in place) without leading (kTrimLeading) and/or trailing
// (kTrimTrailing) blanks, copied to the ring position, terminated and recorded as the next
// TempSlot. A blank is a byte from 0x00 to 0x20, the controls and the space; bytes from
// 0x80 on (accented letters, UTF-8) are kept. Allocates nothing. A result that would end
// past the ring's usable end, or a temporary that is a deferred record: FatalError 9.
RecordedTemp TrimText(const char* text, std::int32_t sides);

// An upper-case (kToUpper, any non-zero value) or lower-case copy of the zero-terminated
// `text` (or a token as SubText takes it) in one registered heap block of its length + 1,
// converted by the system's ANSI case mapping, recorded as the next TempSlot. The block is
// entered in the heap-string registry (TfHeapStrings entries, 100 by default) and stays
// until ReleaseHeapString(result.text): a loop that never releases its results ends with
// FatalError 8 at the 101st. FatalError 1 when the block cannot be had, 9 for a temporary
// that is a deferred record.
RecordedTemp ChangeCase(const char* text, std::int32_t upper);

// A zero-terminated copy of the most recent temporary in one registered heap block of its
// length + 1 (a deferred record is copied as the text it expands to). The copy lives until
// seven further KeepTemp calls: the eighth frees it. The TempSlotTable is not changed.
// FatalError 1 when the block cannot be had, 8 when the registry is full (the new copy is
// registered before the old one is released).
char* KeepTemp();

}  // namespace tarnfold

// Replace: a text with the matches of a found text replaced, as a splice record.
#pragma once

#include <cstdint>

#include "storage.h"

namespace tarnfold {

// Replace mode: the low byte is a search mode (FindFold, FindFoldFirst, FindWholeWord;
// FindBackward is ignored), the second byte the most replacements to make (0: all).
inline constexpr Word kReplaceLimitShift = 8;
constexpr Word ReplaceMode(Word searchMode, int maxReplacements) {
    return (searchMode & 0xFF) | (static_cast<Word>(maxReplacements & 0xFF) << kReplaceLimitShift);
}

// `source` with each match of `found` replaced by `replacement` (three zero-terminated
// texts), as the next TempSlot: a splice record of 24 bytes plus 4 per match in the ring,
// expanded by the builder straight into its destination. Matches are listed forward and
// never overlap; LastMatch is left as the last search set it. The texts are not copied and
// must stay unchanged until the temporary is used. An empty found text lists no match (the
// source unchanged); an empty result is an empty temporary. Each text may also be a token
// (kLastTemp, a slot-number or predefined token) that names a zero-terminated text; any
// other value below 64 KiB is the empty text. FatalError 9 when the list would run past the
// ring's usable end, the result's length would not fit 31 bits, or a token names a deferred
// record or a view that does not end at a zero byte (KeepTemp such a temporary first).
RecordedTemp Replace(const char* source, const char* found, const char* replacement, Word mode);

}  // namespace tarnfold

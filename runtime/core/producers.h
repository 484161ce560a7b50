// Producers of deferred and repeated text: New$ (a zero-filled buffer) and RepeatText.
#pragma once

#include <cstdint>

#include "storage.h"

namespace tarnfold {

inline constexpr std::int32_t kRepeatLimit = 32767;  // longest repetition, in bytes

// A zero-fill record for an n-byte buffer as the next TempSlot: twelve bytes of ring space;
// the builder writes the n zeros straight into the destination. FatalError 9 when n <= 0.
RecordedTemp NewStr(std::int32_t n);

// `text` repeated `count` times in the repetition buffer, as the next TempSlot. A newer
// repetition overwrites an older one. FatalError 9 for a negative count or a result above
// kRepeatLimit bytes; a count of 0 gives the empty text. A temporary that is a deferred
// record (New$) is repeated as the bytes it expands to.
RecordedTemp RepeatText(const char* text, std::int32_t count);

}  // namespace tarnfold

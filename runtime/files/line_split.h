// Line-end search for Recall: LF bytes found and counted with SSE2.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tarnfold {

// The number of LF bytes in data[0, size). Reads only data[0, size).
inline std::size_t CountLineFeeds(const char* data, std::size_t size);

// Calls `onLineFeed(pointer)` for every LF in data[0, size), in ascending order, each
// exactly once. Reads only data[0, size). The callback may change any byte at or before
// the LF it is given. `Char` is char or const char.
template <typename Char, typename OnLineFeed>
void ForEachLineFeed(Char* data, std::size_t size, OnLineFeed&& onLineFeed);

// Calls `onPair(offset)` for every CR LF pair in data[0, size), CR at `offset`, in
// ascending order, each exactly once. Reads only data[0, size). A pair whose CR the
// callback overwrites is still found once (the scan looks for the LF, then back one byte).
template <typename OnPair>
void ForEachCrLf(const char* data, std::size_t size, OnPair&& onPair);

}  // namespace tarnfold

#include "line_split_inl.h"

// Line-end search for Recall: CR LF pairs found with SSE2, 32 bytes a step.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tarnfold {

// Calls `onPair(offset)` for every CR LF pair in data[0, size), CR at `offset`, in
// ascending order, each exactly once. Reads only data[0, size). A pair whose CR the
// callback overwrites is still found once (the scan looks for the LF, then back one byte).
template <typename OnPair>
void ForEachCrLf(const char* data, std::size_t size, OnPair&& onPair);

}  // namespace tarnfold

#include "line_split_inl.h"

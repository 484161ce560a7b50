// The string builder's file delivery: a finished result written to the file in a slot.
#pragma once

#include <cstddef>

#include "../core/storage.h"

namespace tarnfold {

// Writes the builder's result (`length` bytes at `result`, followed by the three zero
// bytes the builder puts in the room's spare bytes) to the slot that request bits 6-9 name, with one WriteFile and
// no terminator. A wide request (kBuildWide) writes the 16-bit units up to the first zero
// unit. A failed write is FatalError 0 with the system's text; a slot number of 10 or
// more fails as a write to a free slot does ("The handle is invalid.").
void WriteResultToSlot(Word request, const char* result, std::size_t length);

}  // namespace tarnfold

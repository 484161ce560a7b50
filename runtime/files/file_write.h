// The string builder's file delivery: a finished result written to the file in a slot.
#pragma once

#include <cstddef>

#include "../core/builder.h"
#include "../core/storage.h"
#include "../platform/win32.h"
#include "slot_handles.h"

namespace tarnfold {

static_assert(kFileSlotCount == kBuildFileSlotCount, "ToFileSlot refuses what the slots cannot hold");

// The failures of WriteResultToSlot, out of line: a slot number of 10 or more, a failed
// write (FatalError 0 with the system's text), a write that took fewer bytes than asked.
[[noreturn]] void RefuseSlotNumber();
[[noreturn]] void FailedSlotWrite(BOOL succeeded);
// The 16-bit units of a wide result up to its first zero unit, in bytes.
std::size_t WideResultBytes(const char* result);

// Writes the builder's result (`length` bytes at `result`, followed by the three zero
// bytes the builder puts in the room's spare bytes) to the slot that request bits 6-9 name,
// with one WriteFile and no terminator. A wide request (kBuildWide) writes the 16-bit units
// up to the first zero unit. A failed write is FatalError 0 with the system's text; a slot
// number of 10 or more fails as a write to a free slot does ("The handle is invalid.").
// A write that delivers less than the result (a full disk) fails like any other: the file
// would silently lack the rest.
// WriteResultToSlot for a byte result: its `count` bytes.
inline void WriteBytesToSlot(Word request, const char* result, std::size_t count) {
    const unsigned slot = ((request & kBuildFileMask) >> kBuildFileShift) - 1;
    if (slot >= kFileSlotCount) RefuseSlotNumber();
    DWORD written = 0;
    const BOOL succeeded =
        WriteFile(SlotHandle(static_cast<int>(slot)), result, static_cast<DWORD>(count), &written, nullptr);
    if (!succeeded || written != count) FailedSlotWrite(succeeded);
}

inline void WriteResultToSlot(Word request, const char* result, std::size_t length) {
    WriteBytesToSlot(request, result, (request & kBuildWide) ? WideResultBytes(result) : length);
}

}  // namespace tarnfold

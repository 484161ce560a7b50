// Inline forms of the storage operations that every builder call and element access makes:
// taking the next TempSlot, recording the builder's room in the ring, and the heap block
// calls. They do what the functions of storage.cpp of the same purpose do, without a call.
#pragma once

#include "../errors_console/fatal_error.h"
#include "../platform/win32.h"
#include "lifetime_check.h"
#include "storage.h"

namespace tarnfold {

namespace detail {
// The ring's write position (storage.cpp); RingPosition() sets it up on first use.
extern char* ringPosition;

// The ring bytes [from, to) that a slot's temporary took when it was recorded (its text or
// record, terminator and gap); empty for a slot taken without ring bytes.
struct RingExtent {
    const char* from;
    const char* to;
};
extern RingExtent ringExtent[kTempSlotCount + 1];
// What the slot taken last held before: it lives until one more temporary is made (the
// builder takes its result's slot before it reads its parts, one of which may be that one).
extern RingExtent retiring;
// No live temporary lies in [ringPosition, ringClearUntil): producers below it need no
// look at the slots. Lowered to the position when the ring wraps, raised by the look.
extern const char* ringClearUntil;

inline void TakeExtent(int slot, RingExtent replacement) {
    retiring = ringExtent[slot];
    ringExtent[slot] = replacement;
}
}  // namespace detail

// RingPosition() and RingRoom(size) for a producer that reads the texts a, b and c (null:
// none) while it writes: where the ring must give up old temporaries to make room, it keeps
// those that hold them.
char* RingPositionKeeping(const char* a, const char* b = nullptr, const char* c = nullptr);
char* RingRoomKeeping(std::size_t size, const char* a, const char* b = nullptr, const char* c = nullptr);

// Whether `size` bytes from `at` hold no live temporary's bytes: no temporary with fewer
// than 20 after it, and not the one the newest slot replaced. One comparison while the
// ring has not wrapped over live temporaries.
bool RingClearSlow(const char* at, std::size_t size);
inline bool RingClear(const char* at, std::size_t size) {
    if (at == detail::ringPosition && size <= static_cast<std::size_t>(detail::ringClearUntil - at)) [[likely]]
        return true;
    return RingClearSlow(at, size);
}

// RingPosition().
inline char* CurrentRingPosition() {
    lifetime::HandOut(detail::ringPosition, 0);
    return detail::ringPosition;
}

// SelectTempSlot(1): the next TempSlot, starting the runtime first when it has not started.
inline TempSlot* NextTempSlot() {
    if (TempSlotTable.current == 0) RuntimeStart();
    const int next = TempSlotTable.current >= kTempSlotCount ? 1 : TempSlotTable.current + 1;
    TempSlotTable.current = next;
    detail::TakeExtent(next, {});
    lifetime::SlotTaken(next);
    return &TempSlotTable.slot[next];
}

// RecordTemp(end) for a runtime that has started, where `start` is RingPosition(): the
// text from `start` to `end` becomes the next TempSlot, and the ring position moves on by
// the wrap rule. Returns the slot.
inline TempSlot* RecordTempAt(char* start, const char* end) {
    const int current = TempSlotTable.current >= kTempSlotCount ? 1 : TempSlotTable.current + 1;
    TempSlotTable.current = current;
    TempSlot* slot = &TempSlotTable.slot[current];
    slot->text = start;
    slot->length = static_cast<std::int32_t>(end - start);
    slot->destination = nullptr;
    slot->isRecord = 0;
    char* position = reinterpret_cast<char*>((reinterpret_cast<std::uintptr_t>(end) + 4) & ~std::uintptr_t{3});
    lifetime::Recorded(current, start, position);
    detail::TakeExtent(current, {start, position});
    if (position >= ScratchRing + kRingWrapOffset) {
        lifetime::Wrapped(position);
        position = ScratchRing;
        detail::ringClearUntil = position;  // older temporaries may lie ahead: look again
    } else if (position > detail::ringClearUntil) {
        detail::ringClearUntil = position;
    }
    detail::ringPosition = position;
    return slot;
}

// AllocBlock(size, false): a block of `size` bytes from the process heap; FatalError 1 on
// failure.
inline void* AllocTextBlock(std::size_t size) {
    HANDLE heap = GetProcessHeap();
    void* block = heap != nullptr ? HeapAlloc(heap, 0, size) : nullptr;
    if (block == nullptr) FatalError(kErrorHeapAlloc);
    return block;
}

}  // namespace tarnfold

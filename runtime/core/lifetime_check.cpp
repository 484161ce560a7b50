// Lifetime checks of the checked build: the ring's expired temporaries, its abandoned tail
// and the repetition buffer beyond its text, poisoned for AddressSanitizer.
#include "lifetime_check.h"

#ifdef TARNFOLD_LIFETIME_CHECKS

#include <sanitizer/asan_interface.h>

#include <algorithm>

namespace tarnfold::lifetime {
namespace {

// Ring bytes [from, to); empty when to <= from.
struct Extent {
    const char* from = nullptr;
    const char* to = nullptr;
    bool Empty() const { return to <= from; }
};

const char* const kRingStart = ScratchRing;
const char* const kRingEnd = ScratchRing + kScratchRingSize;

// The ring bytes each slot's temporary covers (its text, terminator and alignment gap).
Extent covered[kTempSlotCount + 1];
// What the slot taken last covered: it expires when the next slot is taken. The builder
// takes the slot for its room before it copies its parts, one of which may be that slot's.
Extent pending;
// Handed out to producers: from the write position on. Never poisoned while it lasts.
Extent window;
// The window a producer gets without asking: room for every producer but the few that ask
// for more (RingRoom).
constexpr std::size_t kWindowSize = 64 * 1024;

Extent Clip(const char* from, const char* to) {
    return {std::max(from, kRingStart), std::min(to, kRingEnd)};
}

void Unpoison(Extent e) {
    if (!e.Empty()) ASAN_UNPOISON_MEMORY_REGION(e.from, static_cast<std::size_t>(e.to - e.from));
}

void Poison(const char* from, const char* to) {
    if (to > from) ASAN_POISON_MEMORY_REGION(from, static_cast<std::size_t>(to - from));
}

// Poisons the ring bytes of `range` that no live temporary covers and the window does not
// hold. ASan poisons whole 8-byte granules only, so up to 7 bytes at either edge may stay
// readable: never a false report.
void PoisonUncovered(Extent range) {
    range = Clip(range.from, range.to);
    if (range.Empty()) return;
    Extent keep[kTempSlotCount + 2];
    int count = 0;
    auto overlaps = [&](const Extent& e) { return !e.Empty() && e.from < range.to && range.from < e.to; };
    for (int slot = 1; slot <= kTempSlotCount; ++slot)
        if (overlaps(covered[slot])) keep[count++] = covered[slot];
    if (overlaps(window)) keep[count++] = window;
    if (overlaps(pending)) keep[count++] = pending;
    std::sort(keep, keep + count, [](const Extent& a, const Extent& b) { return a.from < b.from; });
    const char* at = range.from;
    for (int i = 0; i < count; ++i) {
        Poison(at, std::min(keep[i].from, range.to));
        at = std::max(at, keep[i].to);
    }
    Poison(at, range.to);
}

// The slot's former ring text expires one taking later, unless a temporary still covers
// it then.
void Expire(int slot, Extent replacement) {
    Extent expired = pending;
    pending = covered[slot];
    covered[slot] = replacement;
    PoisonUncovered(expired);
}

}  // namespace

void Recorded(int slot, const char* start, const char* next) {
    Extent text = Clip(start, next);
    Unpoison(text);  // the builder records its room before it writes
    // The window moves on with the position; what lay beyond its usual size (a large room
    // a producer asked for and did not use) is poisoned again, live temporaries aside.
    Extent former = window;
    window = {next, std::clamp(former.to, next, next + kWindowSize)};
    if (former.to > window.to) PoisonUncovered({window.to, former.to});
    Expire(slot, text);
}

void SlotTaken(int slot) { Expire(slot, Extent{}); }

void HandOut(const char* position, std::size_t size) {
    // The usual case: the window already holds the room, or half a window when no size is
    // asked; a new window lasts for at least half its size of ring.
    Extent needed = Clip(position, position + std::max(size, kWindowSize / 2));
    if (needed.from >= window.from && needed.to <= window.to) return;
    Extent room = Clip(position, position + std::max(size, kWindowSize));
    Unpoison(room);
    window = {room.from, std::max(room.to, window.from <= room.from ? window.to : room.to)};
}

void Wrapped(const char* abandoned) {
    window = Extent{};
    PoisonUncovered({abandoned, kRingEnd});
}

void RingForfeited() {
    for (Extent& e : covered) e = Extent{};
    pending = Extent{};
    window = {kRingStart, kRingEnd};
    Unpoison(window);
}

void RepetitionWriting(char* buffer, std::size_t capacity) {
    ASAN_UNPOISON_MEMORY_REGION(buffer, capacity);
}

void RepetitionWritten(char* buffer, std::size_t length, std::size_t capacity) {
    Poison(buffer + length + 1, buffer + capacity);
}

}  // namespace tarnfold::lifetime

#endif

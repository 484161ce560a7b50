// Lifetime checks of the checked build: what has expired is poisoned for AddressSanitizer,
// so that a program reading it is stopped at the read with a stack trace.
//
// The storage code calls these at its few points: a temporary recorded or a slot taken
// (the slot's former text expires), ring bytes handed out to a producer, a wrap (the tail
// it abandons), the repetition buffer rewritten. Heap blocks need nothing here: every
// free goes through HeapFree, which AddressSanitizer sees. Built with TARNFOLD_CHECKED
// under AddressSanitizer; everywhere else every call is an empty inline function.
//
// What is poisoned, in the ring: the bytes of a temporary whose slot has been taken by a
// later one (20 recordings later) and one more slot taken after that (the builder takes
// its room's slot before it reads its parts), unless a live temporary covers them; the tail
// beyond the last temporary when the ring wraps. What is unpoisoned again: ring bytes
// handed out to a producer (the window ahead of the write position, or the room a
// producer asks for), and a new temporary's own bytes.
#pragma once

#include <cstddef>

#include "storage.h"

#if defined(TARNFOLD_CHECKED) && defined(__SANITIZE_ADDRESS__)
#define TARNFOLD_LIFETIME_CHECKS 1
#endif

namespace tarnfold::lifetime {

#ifdef TARNFOLD_LIFETIME_CHECKS

// Slot `slot` (1..20) now holds the temporary recorded at [start, next): `next` is the
// new write position before any wrap. The slot's former ring text expires.
void Recorded(int slot, const char* start, const char* next);
// Slot `slot` was taken for a text outside the ring (or a view): its former ring text
// expires and it covers no ring bytes.
void SlotTaken(int slot);
// A producer may write `size` bytes from `position` (up to the ring's end).
void HandOut(const char* position, std::size_t size);
// The ring wrapped: nothing lies from `abandoned` to the ring's end any more.
void Wrapped(const char* abandoned);
// Every ring byte may be written (Store's batch, the fatal reporter's scratch); earlier
// temporaries no longer cover any ring bytes.
void RingForfeited();
// The repetition buffer of `capacity` bytes is about to be rewritten / now holds `length`
// bytes and their terminator.
void RepetitionWriting(char* buffer, std::size_t capacity);
void RepetitionWritten(char* buffer, std::size_t length, std::size_t capacity);

#else

inline void Recorded(int, const char*, const char*) {}
inline void SlotTaken(int) {}
inline void HandOut(const char*, std::size_t) {}
inline void Wrapped(const char*) {}
inline void RingForfeited() {}
inline void RepetitionWriting(char*, std::size_t) {}
inline void RepetitionWritten(char*, std::size_t, std::size_t) {}

#endif

}  // namespace tarnfold::lifetime

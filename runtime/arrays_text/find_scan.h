// The scans behind FindText: 16 candidates per step, screened by two of the pattern's bytes;
// never a read that could fault past the text's terminator.
//
// The scans read the text in aligned 16-byte blocks, and unaligned 16 bytes only where all
// of them are known to be text. An aligned block never crosses a page, so a block that
// holds any byte of the text (or its terminator) is readable as a whole; bytes of a block
// that lie outside the text are masked off, never trusted.
#pragma once

#include <cstddef>
#include <cstdint>

#include "../core/storage.h"

namespace tarnfold {

// How a search compares bytes: exact, every byte with bit 0x20 set, or only the
// pattern's first byte with bit 0x20 set.
enum class FoldKind { Exact, All, FirstOnly };

// A pattern of two or more bytes as the screened scans use it.
struct ScreenedPattern {
    const char* pattern;  // zero-terminated, at least two bytes
    FoldKind fold;
    bool wholeWord;       // boundary test for a first byte 0x21..0x7F
    std::size_t length;   // the pattern's bytes
};

// Where a forward scan delivers its accepted matches, in order. A match is kept when it
// starts at or after `next`; the one after it may start `gap` bytes further on (the
// pattern's length keeps listed matches apart; 1 lets them overlap).
struct MatchList {
    Word* entries;            // the match addresses, as words
    std::size_t room;         // entries available
    std::size_t limit;        // stop after this many matches; 0: no limit
    std::size_t gap;
    const char* next;         // the scan's start, then the end of the last listed match
    std::size_t count = 0;
    const char* terminator = nullptr;  // set when the scan reached the text's end
    bool full = false;                 // a match was found with no entry left for it

    // Lists `at`; true when the scan is to stop.
    bool Take(const char* at) {
        if (count == room) {
            full = true;
            return true;
        }
        entries[count++] = static_cast<Word>(reinterpret_cast<std::uintptr_t>(at));
        next = at + gap;
        return count == limit;
    }
};

// The index of the first zero byte of `text`, or some index >= `limit` when none lies
// before `limit`. Reads aligned blocks only up to the one holding the first zero (or the
// one at `limit`), and the rest of their 64-byte-aligned group.
std::size_t TerminatorIndex(const char* text, std::size_t limit);

// Forward scans from list.next (a byte of `text` or its terminator): every accepted match
// goes to `list` until it stops taking them or the terminator is reached.
void ScanByteForward(char byte, MatchList& list);
void ScanScreenedForward(const char* text, const ScreenedPattern& pattern, MatchList& list);

// The first accepted match of a non-empty `pattern` (zero-terminated) from `from` (a byte
// of `text` or its terminator) on, or null. A one-byte pattern is compared exactly, with no
// word boundary, whatever `fold` and `wholeWord` say.
const char* ScanFirstForward(const char* text, const char* from, const char* pattern, FoldKind fold, bool wholeWord);

// The same past the first bytes, which a held pass has examined: the pattern's `length` is
// known, and the scan starts with the bulk screen.
const char* ScanFirstForwardBulk(const char* text, const char* from, const char* pattern, std::size_t length, FoldKind fold,
                                 bool wholeWord);

// Backward scans from `from` down to `text`: every byte from `text` to `from` is part of
// the text (not its terminator). Return the first accepted match, or null.
const char* ScanByteBackward(const char* text, const char* from, char byte);
const char* ScanScreenedBackward(const char* text, const char* from, const ScreenedPattern& pattern);
// The last match in the whole of `text`, or null: one forward pass that compares every
// candidate, except where candidates are dense enough to make a backward scan cheaper.
const char* ScanScreenedLast(const char* text, const ScreenedPattern& pattern);

// For producers that list matches (Replace): one forward pass from list.next (a byte of
// `text` or its terminator) that lists the matches of a non-empty `pattern`, as FindText
// compares in `mode` (whose FindBackward bit is ignored), until `list` stops taking them
// or the text ends. LastMatch is not changed.
void ListMatchesForward(const char* text, const char* pattern, Word mode, MatchList& list);

}  // namespace tarnfold

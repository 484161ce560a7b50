// Text search: FindText finds a pattern in a zero-terminated text and keeps the position.
//
// Searches run forwards or backwards from an explicit 1-based position, from the whole
// text, or on from the previous match (LastMatch), comparing exactly, folded (bit 0x20
// set on both sides) or with only the first byte folded, optionally accepting only whole
// words.
//
//     FindText(1, "hello world", "o", 0);              // {text + 4, 5}
//     FindText(kFindContinue, "hello world", "o", 0);  // {text + 7, 8}
//     FindText(kFindWholeText, "a cat", "CAT", FindFold | FindBackward);  // {text + 2, 3}
#pragma once

#include <cstdint>

#include "../core/storage.h"

namespace tarnfold {

// Search mode bits; only the low byte of a mode is read, other bits have no effect.
inline constexpr Word FindFold = 0x01;       // every compared byte taken with bit 0x20 set
inline constexpr Word FindFoldFirst = 0x02;  // without FindFold: only the pattern's first byte
inline constexpr Word FindWholeWord = 0x04;  // only matches bounded by bytes up to '@'
inline constexpr Word FindBackward = 0x40;   // towards the start of the text
inline constexpr Word FindExact = 0x00;      // forward, exact

// Start values besides explicit 1-based positions.
inline constexpr std::int32_t kFindContinue = 0;     // on from LastMatch
inline constexpr std::int32_t kFindWholeText = -1;   // any value below 0: from the first
                                                     // byte, or backward from the last

// The 1-based position of the most recent FindText result; 0 after a search that found
// nothing, and at program start.
extern std::int32_t LastMatch;

struct FoundText {
    const char* match;       // the match's first byte in the text, or null
    std::int32_t position;   // its 1-based position, or 0
};

// Finds `pattern` (zero-terminated) in `text` (zero-terminated; any value up to kLastTemp
// names the current temporary, whose slot length is not used; other values below
// kLowestAddress, where no text lies, read as empty, as such a pattern does) and sets
// LastMatch to the
// result's position. One-byte patterns match exactly and need no word boundary; longer
// ones are screened 16 positions at a time by two of their bytes. Reads the text only
// up to its terminator and allocates nothing. Finds nothing ({null, 0}) for an empty
// pattern or a first candidate outside the text: a start beyond the length + 1 (forward)
// or beyond the length (backward). An explicit start or a continuation also scans the
// text before it once for its terminator.
FoundText FindText(std::int32_t start, const char* text, const char* pattern, Word mode);

}  // namespace tarnfold

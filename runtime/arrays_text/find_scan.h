// The scans behind FindText: 16 candidates per step, never a byte past the text's terminator.
//
// Every scan reads the text in aligned 16-byte blocks. An aligned block never crosses a
// page, so a block that holds any byte of the text (or its terminator) is readable as a
// whole; bytes of a block that lie outside the text are masked off, never trusted.
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
};

// The index of the first zero byte of `text`, or some index >= `limit` when none lies
// before `limit`. Reads aligned blocks only up to the one holding the first zero (or the
// one at `limit`).
std::size_t TerminatorIndex(const char* text, std::size_t limit);

// Forward scans from `from` (a byte of `text` or its terminator) to the terminator.
// Return the first accepted match, or null with `*terminator` set to the text's end.
const char* ScanByteForward(const char* from, char byte, const char** terminator);
const char* ScanScreenedForward(const char* text, const char* from, const ScreenedPattern& pattern,
                                const char** terminator);

// Backward scans from `from` down to `text`: every byte from `text` to `from` is part of
// the text (not its terminator). Return the first accepted match, or null.
const char* ScanByteBackward(const char* text, const char* from, char byte);
const char* ScanScreenedBackward(const char* text, const char* from, const ScreenedPattern& pattern);

}  // namespace tarnfold

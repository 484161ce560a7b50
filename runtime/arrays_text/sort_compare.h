// The sort order of string arrays: bytes 'A'-'Z' folded to 'a'-'z', then unsigned bytes.
//
// The runtime carries its own comparison instead of calling the C library's, so that
// both targets order every byte the same way (some runtimes compare bytes >= 0x80 as
// signed values).
#pragma once

#include <cstddef>

#include "../core/storage.h"

namespace tarnfold {

// Compares two zero-terminated texts as the Windows C runtime's case-insensitive compare
// does in its default locale: 'A'-'Z' fold to 'a'-'z', other bytes compare as unsigned
// values, and a text that is a prefix of the other sorts first. A null text compares as
// the empty text. Returns < 0, 0 or > 0. Reads each text only up to its terminator.
int CompareTextNoCase(const char* a, const char* b);

// Sorts `count` element records in place with the C library's qsort, ordered by
// CompareTextNoCase of their texts (descending: the reverse). Lengths move with their
// records; equal texts end in any order. Takes one heap block of 8 bytes per record for
// the sort's keys (each text's first four folded bytes), so that most comparisons read no
// text; without that block it sorts the records themselves, in the same order.
void SortRecords(ElementRecord* records, std::size_t count, bool descending);

}  // namespace tarnfold

// The sort order of string arrays: bytes 'A'-'Z' folded to 'a'-'z', then unsigned bytes.
//
// The runtime carries its own comparison instead of calling the C library's, so that
// both targets order every byte the same way (some runtimes compare bytes >= 0x80 as
// signed values).
#pragma once

namespace tarnfold {

// Compares two zero-terminated texts as the Windows C runtime's case-insensitive compare
// does in its default locale: 'A'-'Z' fold to 'a'-'z', other bytes compare as unsigned
// values, and a text that is a prefix of the other sorts first. A null text compares as
// the empty text. Returns < 0, 0 or > 0. Reads each text only up to its terminator.
int CompareTextNoCase(const char* a, const char* b);

}  // namespace tarnfold

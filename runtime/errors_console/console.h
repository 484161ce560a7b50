// Console output and keyboard: thin layers over the standard handles, _kbhit and _getch.
#pragma once

#include <cstdint>

namespace tarnfold {

struct KeyPress {
    std::int32_t code;      // the key's code (the second code of an extended key)
    std::int32_t extended;  // 1 when the key came as two codes (0 or 0xE0 first), else 0
};

// Writes the text up to its first zero byte to standard output; returns the bytes written.
// The length scan reads whole aligned words and never leaves the terminator's word.
std::uint32_t WriteStdout(const char* text);
// Writes `length` bytes, known to hold no zero byte, to standard output; returns the bytes
// written. The builder's form of WriteStdout for a result it has measured.
std::uint32_t WriteStdoutBytes(const char* text, std::uint32_t length);
// Discards pending input, waits for a new key (polling every millisecond) and returns its
// first code; the second code of an extended key is left unread.
std::int32_t WaitKey();
// Discards pending input and reads one key, combining the two codes of an extended key.
KeyPress ReadKey();

}  // namespace tarnfold

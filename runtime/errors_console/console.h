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
// Sets the colours of the text written to standard output from now on, as a console
// character attribute (foreground in bits 0-3, background in bits 4-7; bit 0 blue, 1 green,
// 2 red, 3 bright). Output that is no console (a file, a pipe) is left as it is: false.
bool SetTextColour(std::uint16_t attribute);
inline constexpr std::uint16_t kDefaultTextColour = 0x07;  // grey on black

// Discards pending input, waits for a new key (polling every millisecond) and returns its
// first code; the second code of an extended key is left unread.
std::int32_t WaitKey();
// Discards pending input and reads one key, combining the two codes of an extended key.
KeyPress ReadKey();

}  // namespace tarnfold

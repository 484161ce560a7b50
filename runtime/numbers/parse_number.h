// ParseNumber: one decimal, hexadecimal or binary number from the start of a byte text.
#pragma once

#include <cstdint>

#include "../core/storage.h"

namespace tarnfold {

// NumberDestination size codes: the first 32-bit word of the destination when the call is
// made; the value is written over it. Any other code stores an 80-bit extended value. This
// is the raw form, for code that speaks the runtime's words: a C++ program parses with
// tf::Parse<T> (tarnfold.hpp), which sets the code from T and never reads the variable.
inline constexpr std::int32_t kSizeFloat32 = 4;
inline constexpr std::int32_t kSizeFloat64 = 8;
inline constexpr std::int32_t kSizeInt32 = -127;  // 0xFFFFFF81
inline constexpr std::int32_t kSizeExtended = 10;

// ParseCount values: n > 0 decimal characters used, 0 a decimal number that ended at
// neither a blank nor a matching ')', -n hexadecimal, -(256 + n) binary.
inline constexpr std::int32_t kParseNotANumber = -127;
inline constexpr std::int32_t kParseBinaryBias = 256;

// Reads one number from `source` (a text's address, or kLastTemp for the current
// temporary; other values below kLowestAddress read as the empty text) after skipping the characters below '-', and stores it by the destination's
// size code, rounding toward negative infinity: the floor for a 32-bit integer, whose
// overflow stores -2147483648. A null destination leaves the value on the value stack for
// FormatNumber. A text that is not a number stores the not-a-number value and gives
// kParseNotANumber. Never reads past the text's terminator; allocates nothing.
std::int32_t ParseNumber(Word source, void* destination);
inline std::int32_t ParseNumber(const char* source, void* destination) {
    return ParseNumber(static_cast<Word>(reinterpret_cast<std::uintptr_t>(source)), destination);
}

}  // namespace tarnfold

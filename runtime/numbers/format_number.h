// FormatNumber: decimal text from a small chain of integer and floating-point operands.
#pragma once

#include <cstdint>

#include "../core/storage.h"

namespace tarnfold {

// NumberDescriptor: five 6-bit groups (group i in bits 6i..6i+5), each an operation in its
// bits 0..2 and an operand type in its bits 3..5, plus the wide-output bit.
inline constexpr Word kNumberOpNone = 0;
inline constexpr Word kNumberAdd = 1;
inline constexpr Word kNumberSubtract = 2;
inline constexpr Word kNumberMultiply = 3;
inline constexpr Word kNumberDivide = 4;

inline constexpr Word kOperandInt32 = 0;     // the slot itself holds a signed 32-bit value
inline constexpr Word kOperandFloat32 = 1;   // the slot holds the address of a float
inline constexpr Word kOperandFloat64 = 2;   // ... of a double
inline constexpr Word kOperandExtended = 3;  // ... of an 80-bit extended value
inline constexpr Word kOperandNegate = 4;    // no operand: the value so far is negated
inline constexpr Word kOperandInt64 = 6;     // the address of a signed 64-bit value

inline constexpr int kNumberGroupCount = 5;
inline constexpr int kNumberGroupBits = 6;
inline constexpr Word kNumberGroupMask = 0x3F;
inline constexpr Word kNumberGroupsMask = 0x3FFFFFFF;  // bits 0..29
inline constexpr Word kNumberWide = 0x80000000u;       // bit 31: 16-bit characters

// The group `index` (0..4) of a descriptor: push an operand of `operandType` (or negate),
// then combine the two top values by `operation`.
constexpr Word NumberGroup(int index, Word operandType, Word operation = kNumberOpNone) {
    return ((operandType << 3) | operation) << (kNumberGroupBits * index);
}

// Format argument: none, IntegerMode without text, the current temporary's text, or the
// address of a format text.
inline constexpr Word kFormatNone = 0;
inline constexpr Word kFormatInteger = 1;
inline constexpr Word kFormatLastTemp = kLastTemp;

inline constexpr std::int32_t DefaultDigitCount = 7;
inline constexpr int kMaxDigitCount = 19;
inline constexpr char kNumberFailureText[] = "^v?";

// The operands of the next FormatNumber: slot i for group i. FormatNumber clears each slot
// it uses.
inline constexpr int kOperandSlots = 6;
extern Word OperandList[kOperandSlots];

inline Word OperandAddress(const void* operand) {
    return static_cast<Word>(reinterpret_cast<std::uintptr_t>(operand));
}

// Evaluates the descriptor's groups on the value stack (a value that ParseNumber left there
// is the left operand of group 0) and writes the top value as decimal text with 7 (or the
// format text's 1 to 19) significant digits in the fixed, small or exponent layout, inside
// the format text's prefix and suffix. The text is built in place at the ring position and
// recorded as the next TempSlot; with kNumberWide it is widened to 16-bit units in place.
// Digits it cannot produce become "^v?". Saves the x87 control word, computes with 64-bit
// significands rounding toward negative infinity, restores it. Allocates nothing.
char* FormatNumber(Word format, Word descriptor);
inline char* FormatNumber(const char* format, Word descriptor) {
    return FormatNumber(static_cast<Word>(reinterpret_cast<std::uintptr_t>(format)), descriptor);
}

// Writes the decimal digits of *value backwards, the last digit at `last`; a '.' goes at
// `point` when the digits reach it (null: no point). No leading zeros; 0 gives "0". Divides
// by reciprocal multiplication, in 64-bit steps (by ten) only while the value needs them,
// then in 32-bit steps by a hundred, two digits at a time from a table.
// Returns the position just before the first character written.
char* WriteDigitsBackward(const std::uint64_t* value, char* last, const char* point);

}  // namespace tarnfold

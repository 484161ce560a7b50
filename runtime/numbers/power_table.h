// The power-of-ten table: 10^-143 .. 10^155 as 80-bit extended values, built on first use.
#pragma once

#include <cstdint>
#include <cstring>

namespace tarnfold {

inline constexpr int kPowerTableLowest = -143;
inline constexpr int kPowerTableHighest = 155;
inline constexpr int kPowerTableEntries = kPowerTableHighest - kPowerTableLowest + 1;  // 299

// Zero until BuildPowerTable runs; PowerTable[n - kPowerTableLowest] holds 10^n.
extern long double PowerTable[kPowerTableEntries];

// The entries rounded to doubles, filled with the table: a quick first look at a value's
// decade (8-byte loads instead of the x87's slow 10-byte ones).
extern double PowerTableDoubles[kPowerTableEntries];

// T(n): the entry for 10^n, kPowerTableLowest <= n <= kPowerTableHighest.
inline long double PowerOfTen(int n) { return PowerTable[n - kPowerTableLowest]; }

// Built once the low 32 significand bits of T(155) are non-zero.
inline bool PowerTableBuilt() {
    std::uint32_t low;
    std::memcpy(&low, &PowerTable[kPowerTableHighest - kPowerTableLowest], sizeof low);
    return low != 0;
}

// Resets the x87 unit, fills all 299 entries with 64-bit significands rounding toward
// negative infinity by multiplying by ten from 10^-144, raising the entries that the stored
// correction stream names by one unit in the last place, and gives the caller's control
// word back. Calling it again rebuilds the same table; it cannot fail.
void BuildPowerTable();

// Sets the number code's x87 mode (64-bit significand, rounding toward negative infinity)
// for the rest of the process, for a program that wants its own arithmetic in it too. The
// number operations do not need it: each sets the mode and restores the caller's.
void UseNumberModeForProcess();

// Builds the table on the first number operation.
inline void EnsurePowerTable() {
    if (!PowerTableBuilt()) BuildPowerTable();
}

}  // namespace tarnfold

// The decimal exponent estimate of FormatNumber: fyl2x with log10(2), a tiny bias, the floor.
#pragma once

#include <cstdint>
#include <cstring>

#include "power_table.h"

namespace tarnfold {

// floor(round_down(round_down(L * log2 v) + g)) as the x87 computes it: L is log10(2)
// rounded down to 64 bits, the product one fyl2x, g = 1.999999936531045e-19 (a 32-bit
// float). For v > 0; infinity gives the lowest int32. Needs the numbers' x87 mode.
std::int32_t Fyl2xExponentEstimate(long double magnitude);

namespace estimate_detail {
// The estimate differs from log10 v by far less than 1e-15 (fyl2x is good to an ulp of
// its result, L to 2^-64, and g is 2e-19), so away from a power of ten its floor is the
// decade's exponent. These factors mark "away": a relative 2^-40, about 9e-13. Exact as
// doubles, so they are the same under any rounding mode.
inline constexpr double kJustBelow = 1.0 - 0x1p-40;
inline constexpr double kJustAbove = 1.0 + 0x1p-40;
// floor(e2 * log10(2)) = (e2 * 78913) >> 18 exactly for |e2| <= 1100.
inline constexpr int kLog10Of2Times2To18 = 78913;
}  // namespace estimate_detail

// The same value, cheaper: fyl2x (slow on every x87) runs only within a relative 2^-40
// of a power of ten, where its rounding decides; elsewhere the estimate is the exponent of
// the decade that the power-of-ten table places v in. Needs the table built and the mode
// rounding down (the binary exponent is read from v rounded down to a double). Inline, so
// that v stays in its register.
inline std::int32_t DecimalExponentEstimate(long double magnitude) {
    using namespace estimate_detail;
    const double rounded = static_cast<double>(magnitude);
    std::uint64_t bits;
    std::memcpy(&bits, &rounded, sizeof bits);
    const int binaryExponent = static_cast<int>(bits >> 52) - 1023;  // v > 0: no sign bit
    // 2^e2 <= v < 2^(e2+1) lies in decade floor(e2 log10 2) or the next one. The doubles
    // are within 2^-52 of v and the entries, far inside the margin: a wrong pick of the
    // decade can only happen next to a power of ten, which the margin test sends to fyl2x.
    int decade = (binaryExponent * kLog10Of2Times2To18) >> 18;
    if (decade < kPowerTableLowest || decade > kPowerTableHighest - 2)
        return Fyl2xExponentEstimate(magnitude);
    const double* powers = PowerTableDoubles + (decade - kPowerTableLowest);
    const double low = powers[0], middle = powers[1], high = powers[2];
    const bool up = rounded >= middle;
    decade += up ? 1 : 0;
    const double floorPower = up ? middle : low;
    const double ceilingPower = up ? high : middle;
    if (rounded * kJustBelow < floorPower || rounded * kJustAbove >= ceilingPower)
        return Fyl2xExponentEstimate(magnitude);
    return decade;
}

}  // namespace tarnfold

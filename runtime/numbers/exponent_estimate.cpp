// The decimal exponent estimate as fyl2x computes it.
#include "exponent_estimate.h"

#include <cstring>

#include "x87.h"

namespace tarnfold {

namespace {

// log10(2) rounded down to a 64-bit significand (exponent field 0x3FFD).
constexpr long double kLog10Of2 = 0x9A209A84FBCFF798p-65L;
// Added to the logarithm before the floor (1.999999936531045e-19 as a 32-bit float).
constexpr std::uint32_t kBiasBits = 0x206C1E4A;

}  // namespace

std::int32_t Fyl2xExponentEstimate(long double magnitude) {
    float bias;
    std::memcpy(&bias, &kBiasBits, sizeof bias);
    long double estimate = x87::Fyl2x(magnitude, kLog10Of2) + bias;
    return x87::StoreInt32(estimate);  // the mode rounds down: the floor
}

}  // namespace tarnfold

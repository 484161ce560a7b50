// BuildPowerTable: ten times ten from one stored value, kept exact by a stream of raises.
#include "power_table.h"

#include "x87.h"

namespace tarnfold {

long double PowerTable[kPowerTableEntries];
double PowerTableDoubles[kPowerTableEntries];

namespace {

// 10^-144 rounded to nearest.
constexpr std::uint16_t kStartExponent = 0x3E20;
constexpr std::uint64_t kStartSignificand = 0xC7CABA6E7C5382C9ull;
// 1 + 2^-63: a product by it, rounded down, is one unit in the last place higher.
constexpr std::uint16_t kRaiseExponent = 0x3FFF;
constexpr std::uint64_t kRaiseSignificand = 0x8000000000000001ull;

// One decision per entry, read from bit 31 down; a 1 (raise) swallows the bit after it, and
// a word whose bit 0 is set supplies only bits 31..1.
constexpr std::uint32_t kCorrectionBits[] = {
    0x44808449, 0x92088A84, 0x454104A5, 0x85248A44, 0x22284908, 0xA2889292, 0x4A000000,
    0x009220A0, 0x90902544, 0x4829208A, 0x89214292, 0x24520912, 0x52084800,
};
constexpr int kCorrectionWords = sizeof kCorrectionBits / sizeof kCorrectionBits[0];
static_assert(kCorrectionWords == 13);

class CorrectionStream {
public:
    bool NextIsRaise() {
        if (bit_ < lowestBit()) {
            ++word_;
            bit_ = 31;
        }
        if (word_ >= kCorrectionWords) return false;
        bool raise = (kCorrectionBits[word_] >> bit_) & 1;
        bit_ -= raise ? 2 : 1;
        return raise;
    }

private:
    int lowestBit() const { return word_ < kCorrectionWords ? (kCorrectionBits[word_] & 1) : 0; }
    int word_ = 0;
    int bit_ = 31;
};

}  // namespace

void UseNumberModeForProcess() {
    x87::SetControlWord(x87::ControlWord() | x87::kExtendedRoundDown);
}

[[gnu::noinline]] void BuildPowerTable() {
    const std::uint16_t caller = x87::ControlWord();
    x87::Reset();
    x87::SetControlWord(x87::ControlWord() | x87::kExtendedRoundDown);

    const long double ten = 10;
    const long double raise = x87::Extended(kRaiseExponent, kRaiseSignificand);
    long double x = x87::Extended(kStartExponent, kStartSignificand);
    CorrectionStream corrections;
    for (int i = 0; i < kPowerTableEntries; ++i) {
        x = x * ten;
        if (corrections.NextIsRaise()) x = x * raise;
        PowerTable[i] = x;
        PowerTableDoubles[i] = static_cast<double>(x);
    }
    x87::SetControlWord(caller);
}

}  // namespace tarnfold

// The exponent estimate: the table shortcut against fyl2x, and the rules for its misses.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>

#include "numbers/exponent_estimate.h"
#include "numbers/numbers.h"
#include "numbers/x87.h"

namespace tarnfold {
namespace {

class ExponentEstimate : public ::testing::Test {
protected:
    void SetUp() override {
        EnsurePowerTable();
        x87::SetControlWord(x87::kNumberControlWord);
    }
};

// Next to every power of ten, at the edges of the shortcut's margin, and across the range.
TEST_F(ExponentEstimate, ShortcutAgreesWithFyl2x) {
    auto expectSame = [](long double v) {
        EXPECT_EQ(DecimalExponentEstimate(v), Fyl2xExponentEstimate(v)) << static_cast<double>(v);
    };
    for (int n = kPowerTableLowest; n <= kPowerTableHighest; ++n) {
        for (long double center : {PowerOfTen(n), PowerOfTen(n) * (1 - 0x1p-40L), PowerOfTen(n) * (1 + 0x1p-40L)}) {
            long double below = center, above = center;
            for (int step = 0; step < 40; ++step) {
                expectSame(below);
                expectSame(above);
                below = std::nextafter(below, 0.0L);
                above = std::nextafter(above, HUGE_VALL);
            }
        }
    }
    std::mt19937 random(7);
    std::uniform_real_distribution<double> exponent(-170, 170);
    for (int i = 0; i < 20000; ++i) expectSame(std::pow(10.0L, static_cast<long double>(exponent(random))));
    for (long double v : {0x1p-16382L, 1e-4000L, 1e4000L, static_cast<long double>(HUGE_VAL)}) expectSame(v);
}

// Just below a power of ten the estimate can come out one too high; with 19 digits the
// scaled value then falls one digit short, and the short-run rule writes "9." before the
// run of nines, ends it with '0' and lowers the exponent.
TEST_F(ExponentEstimate, ShortRunJustBelowPowerOfTen) {
    int seen = 0;
    for (int n = -130; n <= -5; ++n) {
        long double v = PowerOfTen(n);
        for (int step = 0; step < 8; ++step) {
            v = std::nextafter(v, 0.0L);
            if (Fyl2xExponentEstimate(v) != n) continue;
            OperandList[0] = OperandAddress(&v);
            std::string text = FormatNumber("%J", NumberGroup(0, kOperandExtended));
            char lower[16], same[16];
            std::snprintf(lower, sizeof lower, "e-%02d", -(n - 1));
            std::snprintf(same, sizeof same, "e-%02d", -n);
            if (text.rfind("9.", 0) == 0) {
                EXPECT_EQ(text, std::string("9.999999999999999990") + lower) << n;
                ++seen;
            } else {  // the rounding reached 10^18 after all
                EXPECT_EQ(text, std::string("1.000000000000000000") + same) << n;
            }
        }
    }
    EXPECT_GT(seen, 0);
}

}  // namespace
}  // namespace tarnfold

// The power-of-ten table against 10^n computed exactly, and the x87 mode its build sets.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <set>

#include "exact_arithmetic.h"
#include "numbers/numbers.h"
#include "numbers/x87.h"

namespace tarnfold {
namespace {

using testing_numbers::BigInt;
using testing_numbers::Binary;
using testing_numbers::PartsOf;
using testing_numbers::RoundQuotient;

// The entries that the correction stream leaves one unit in the last place above 10^n
// rounded to nearest.
const std::set<int> kOneUnitAbove = {-137, -134, -119, -91, -89, -88, -84, -43, -42, -41, -37,
                                     -27,  -23,  -22,  -3,  -2,  43,  52,  84,  85,  94,  101,
                                     111,  115,  118,  136, 143, 144, 145, 148, 152};

Binary NearestPowerOfTen(int n) {
    return RoundQuotient(BigInt::PowerOfTen(std::max(n, 0)), BigInt::PowerOfTen(std::max(-n, 0)), 64)
        .nearest;
}

TEST(PowerTable, EveryEntryIsNearestOrTheNamedOneUnitAbove) {
    EnsurePowerTable();
    int nearest = 0, above = 0;
    for (int n = kPowerTableLowest; n <= kPowerTableHighest; ++n) {
        Binary expected = NearestPowerOfTen(n);
        Binary entry = PartsOf(PowerOfTen(n));
        if (kOneUnitAbove.count(n) != 0) {
            ++expected.significand;
            ++above;
        } else {
            ++nearest;
        }
        EXPECT_EQ(entry, expected) << "10^" << n;
    }
    EXPECT_EQ(nearest, 268);
    EXPECT_EQ(above, 31);
}

TEST(PowerTable, SmallPowersAreExactAndHundredthsOneUnitAbove) {
    EnsurePowerTable();
    EXPECT_EQ(PowerOfTen(0), 1.0L);
    EXPECT_EQ(PowerOfTen(1), 10.0L);
    EXPECT_EQ(PartsOf(PowerOfTen(27)), RoundQuotient(BigInt::PowerOfTen(27), BigInt(1), 64).down);
    for (int n : {-2, -3}) {
        Binary nearest = NearestPowerOfTen(n);
        Binary entry = PartsOf(PowerOfTen(n));
        EXPECT_EQ(entry.exponent, nearest.exponent);
        EXPECT_EQ(entry.significand, nearest.significand + 1) << "10^" << n;
    }
}

TEST(PowerTable, FirstNumberOperationBuildsTableAndGivesTheModeBack) {
    EnsurePowerTable();
    long double saved[kPowerTableEntries];
    std::memcpy(saved, PowerTable, sizeof saved);

    // Back to the state before any number operation, with a foreign mode set.
    std::memset(PowerTable, 0, sizeof PowerTable);
    ASSERT_FALSE(PowerTableBuilt());
    x87::SetControlWord(0x027F);
    double value = 0;
    std::memcpy(&value, &kSizeFloat64, sizeof kSizeFloat64);
    ParseNumber("1.5", &value);
    EXPECT_EQ(value, 1.5);
    EXPECT_EQ(x87::ControlWord(), 0x027F);  // the caller's, given back
    EXPECT_TRUE(PowerTableBuilt());
    EXPECT_EQ(std::memcmp(saved, PowerTable, sizeof saved), 0);

    // A rebuild gives the same table.
    BuildPowerTable();
    EXPECT_EQ(std::memcmp(saved, PowerTable, sizeof saved), 0);
    EXPECT_EQ(x87::ControlWord(), 0x027F);
    x87::SetControlWord(0x037F);
}

}  // namespace
}  // namespace tarnfold

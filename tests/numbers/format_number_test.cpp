// FormatNumber: layouts, rounding and carries, format texts, operands and the result slot.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <string>

#include "exact_arithmetic.h"
#include "numbers/numbers.h"
#include "numbers/x87.h"

namespace tarnfold {
namespace {

constexpr Word kOneDouble = NumberGroup(0, kOperandFloat64);

std::string Format(double value, Word format = kFormatNone) {
    OperandList[0] = OperandAddress(&value);
    return FormatNumber(format, kOneDouble);
}

std::string Format(double value, const char* format) {
    OperandList[0] = OperandAddress(&value);
    return FormatNumber(format, kOneDouble);
}

[[maybe_unused]] std::string FormatExtended(long double value, const char* format) {
    OperandList[0] = OperandAddress(&value);
    return FormatNumber(format, NumberGroup(0, kOperandExtended));
}

struct Row {
    double value;
    const char* format;  // null: no format text
    const char* expected;
};

void ExpectRows(std::initializer_list<Row> rows) {
    for (const Row& row : rows)
        EXPECT_EQ(row.format ? Format(row.value, row.format) : Format(row.value), row.expected)
            << "value " << row.value << " format " << (row.format ? row.format : "none");
}

TEST(FormatNumber, WorkedResultsWithDefaultDigits) {
    ExpectRows({{1.0, nullptr, "1.000000"},
                {123.456, nullptr, "123.4560"},
                {3.14159265358979, nullptr, "3.141593"},
                {-1234.5678, nullptr, "-1234.568"},
                {1234567, nullptr, "1234567.0"},
                {12345678, nullptr, "1.234568e+07"},
                {0.5, nullptr, "0.5000000"},
                {0.001234, nullptr, "0.001234000"},
                {0.0001234, nullptr, "1.234000e-04"},
                {1e-100, nullptr, "1.000000e-100"},
                {100, nullptr, "100.0000"},
                {1000, nullptr, "1000.0000"},
                {10000000, nullptr, "10000000.0"},
                {9999999.7, nullptr, "10000000.0"}});
}

TEST(FormatNumber, WorkedResultsWithFormatTexts) {
    ExpectRows({{2.5, "x=%i;", "x=2;"},
                {3.14159, "v: %3f end", "v: 3.14 end"},
                {1.5, "[%5i]", "[1.5000]"},
                {1.0 / 3.0, "%Jx", "0.3333333333333333148"},
                {750, "%2x;", "7.5e+02;"},
                {12, "%1x", "1.0e+01"},
                {9.3, "%Jx", "^v?"},
                {1.5, "a\\tb %f c\\n", "a\tb 1.500000 c\r\n"}});
    EXPECT_EQ(Format(2.9, kFormatInteger), "2");
    EXPECT_EQ(Format(-2.9, kFormatInteger), "-2");
}

TEST(FormatNumber, HalvesRoundTowardZero) {
    ExpectRows({{1234567.5, nullptr, "1234567.0"}, {2.5, "%1x", "2.0"}, {1.5, "%1x", "1.0"}});
}

TEST(FormatNumber, CarryAddsOneDigitInEveryLayout) {
    ExpectRows({{999.99995, nullptr, "1000.0000"},
                {9.99999999, nullptr, "1.0000000e+01"},
                {0.0999999999, nullptr, "0.10000000"},
                {0.99999999, nullptr, "1.0000000"},
                {0.00099999999, nullptr, "1.0000000e-03"},
                {9.6, "%1x", "1.0e+01"}});
}

TEST(FormatNumber, ExactPowersOfTenFromThousandPrintOneDigitLonger) {
    ExpectRows({{10000, nullptr, "10000.000"},
                {1e15, nullptr, "1.0000000e+15"}});
}

TEST(FormatNumber, LayoutBoundariesAndDigitCounts) {
    ExpectRows({{0.00123, nullptr, "0.001230000"},
                {0.000999, nullptr, "9.990000e-04"},
                {7, "%1x", "7.0"},
                {75, "%2x", "75.0"},
                {1.25, "%:x", "1.25"},      // ':' to '@' give 3 to 9
                {1.25, "%@x", "1.25000000"},
                {1.25, "%Ax", "1.250000000"},
                {1.25, "%0x", "1.250000x"},  // '0' keeps the default, swallowed
                {1.25, "%gx;", "1.250000x;"},
                {123456.789, "%9x", "123456.789"},
                {2.0, "%J", "2.000000000000000000"}});
}

TEST(FormatNumber, ZeroNaNAndOutOfRange) {
    const double inf = std::numeric_limits<double>::infinity();
    ExpectRows({{0.0, nullptr, "0.0"},
                {-0.0, nullptr, "0.0"},
                {std::nan(""), nullptr, "0.0"},
                {1e-150, nullptr, "^v?"},
                {-1e-150, nullptr, "-^v?"},
                {2e150, nullptr, "^v?"},
                {1e150, nullptr, "1.0000000e+150"},  // the double lies just below 10^150
                {1e149, nullptr, "1.000000e+149"},
                {inf, nullptr, "^v?"},
                {-inf, nullptr, "-^v?"},
                {inf, "<%f>", "<^v?>"},
                {9.3e18, "%J", "^v?"},      // fixed: 19 digits of 9.3e18 exceed 2^63
                {0.95, "%J", "^v?"}});      // small layout
    EXPECT_EQ(Format(0.0, kFormatInteger), "0");
    EXPECT_EQ(Format(std::nan(""), kFormatInteger), "0");
}

// Each use clears its operand slots; formatting again without refilling them must not
// read through the empty address.
TEST(FormatNumber, EmptyOperandSlotReadsAsNotANumber) {
    EXPECT_EQ(Format(2.5), "2.500000");
    for (Word type : {kOperandFloat32, kOperandFloat64, kOperandExtended, kOperandInt64})
        EXPECT_EQ(std::string(FormatNumber(kFormatNone, NumberGroup(0, type))), "0.0") << type;
    EXPECT_EQ(std::string(FormatNumber(kFormatNone, NumberGroup(0, kOperandInt32))), "0.0");
}

TEST(FormatNumber, IntegerModeTruncatesTowardZero) {
    ExpectRows({{-7.9, "%i", "-7"}, {0.5, "%i", "0"}, {-0.5, "%i", "-0"}});
    std::int64_t big = 123456789012345;
    OperandList[0] = OperandAddress(&big);
    EXPECT_STREQ(FormatNumber(kFormatInteger, NumberGroup(0, kOperandInt64)), "123456789012345");
}

TEST(FormatNumber, IntegerModeBeyondInt64PrintsFailureText) {
    ExpectRows({{9223372036854775808.0, "%i", "^v?"},
                {-1e19, "%i", "-^v?"},
                {9223372036854774784.0, "%i", "9223372036854774784"}});
    long double justBelow = 9223372036854775807.0L;
    OperandList[0] = OperandAddress(&justBelow);
    EXPECT_STREQ(FormatNumber(kFormatInteger, NumberGroup(0, kOperandExtended)),
                 "9223372036854775807");
}

TEST(FormatNumber, FormatTextsEndingEarlyStopAtTheTerminator) {
    // The bytes after each terminator would be read as specifier and suffix otherwise.
    const char noPercent[] = "abc\0%Jx!";
    const char endsAfterPercent[] = "abc%\0Jx!";
    const char endsAfterDigit[] = "abc%5\0x!";
    EXPECT_EQ(Format(1.5, noPercent), "abc1.500000");
    EXPECT_EQ(Format(1.5, endsAfterPercent), "abc1.500000");
    EXPECT_EQ(Format(1.5, endsAfterDigit), "abc1.5000");
    EXPECT_EQ(Format(1.5, "%i"), "1");
    EXPECT_EQ(Format(1.5, ""), "1.500000");
}

TEST(FormatNumber, EscapesInPrefixAndSuffix) {
    EXPECT_EQ(Format(1, "\\n%1x\\t"), "\r\n1.0\t");
    EXPECT_EQ(Format(1, "a\\b\\%1x\\"), "a\\b\\1.0\\");  // lone backslashes stay
    EXPECT_EQ(Format(1, "%5i%1x"), "1.0000%1x");        // one '%' is read
}

TEST(FormatNumber, FormatTextOfTheCurrentTemporary) {
    char* start = RingPosition();
    std::strcpy(start, "<%3f>");
    RecordTemp(start + 5);
    EXPECT_EQ(Format(2.0, kFormatLastTemp), "<2.00>");
}

TEST(FormatNumber, OperationsChainOperandsOfEveryType) {
    double ten = 10, four = 4;
    OperandList[0] = OperandAddress(&ten);
    OperandList[1] = OperandAddress(&four);
    EXPECT_STREQ(FormatNumber(kFormatNone, kOneDouble | NumberGroup(1, kOperandFloat64, kNumberAdd)),
                 "14.00000");
    OperandList[0] = OperandAddress(&ten);
    OperandList[1] = OperandAddress(&four);
    EXPECT_STREQ(FormatNumber(kFormatNone, kOneDouble | NumberGroup(1, kOperandFloat64, kNumberDivide)),
                 "2.500000");
    OperandList[0] = OperandAddress(&ten);
    EXPECT_STREQ(FormatNumber(kFormatNone, kOneDouble | NumberGroup(1, kOperandNegate)), "-10.00000");

    OperandList[0] = static_cast<Word>(-42);
    EXPECT_STREQ(FormatNumber(kFormatNone, 0), "-42.00000");

    // -((3 - 0.25f) * 1.5L / -2^40) = 33 * 2^-43, exactly 3.7516656448133289813995...e-12.
    float quarter = 0.25f;
    long double half3 = 1.5L;
    std::int64_t big = -(std::int64_t{1} << 40);
    OperandList[0] = 3;
    OperandList[1] = OperandAddress(&quarter);
    OperandList[2] = OperandAddress(&half3);
    OperandList[3] = OperandAddress(&big);
    const Word chain = NumberGroup(0, kOperandInt32) | NumberGroup(1, kOperandFloat32, kNumberSubtract) |
                       NumberGroup(2, kOperandExtended, kNumberMultiply) |
                       NumberGroup(3, kOperandInt64, kNumberDivide) | NumberGroup(4, kOperandNegate);
    EXPECT_STREQ(FormatNumber("%Jx", chain), "3.751665644813328981e-12");
    for (Word slot : OperandList) EXPECT_EQ(slot, 0u);
}

TEST(FormatNumber, Int64GroupIsNeverNegated) {
    std::int64_t five = 5;
    OperandList[0] = OperandAddress(&five);
    EXPECT_STREQ(FormatNumber(kFormatNone, NumberGroup(0, kOperandInt64)), "5.000000");
    double two = 2;
    OperandList[0] = OperandAddress(&two);
    OperandList[1] = OperandAddress(&five);
    EXPECT_STREQ(FormatNumber(kFormatNone, kOneDouble | NumberGroup(1, kOperandInt64, kNumberSubtract)),
                 "-3.000000");
    // Types 5 and 7 negate like 4.
    OperandList[0] = OperandAddress(&two);
    EXPECT_STREQ(FormatNumber(kFormatNone, kOneDouble | NumberGroup(1, 5)), "-2.000000");
    OperandList[0] = OperandAddress(&two);
    EXPECT_STREQ(FormatNumber(kFormatNone, kOneDouble | NumberGroup(1, 7)), "-2.000000");
}

TEST(FormatNumber, ParsedValueIsLeftOperandOfFirstGroup) {
    EXPECT_EQ(ParseNumber("2.5", nullptr), 3);
    OperandList[0] = 4;
    EXPECT_STREQ(FormatNumber(kFormatNone, NumberGroup(0, kOperandInt32, kNumberAdd)), "6.500000");
    // Nothing left: an operation without a left operand gives not-a-number, printed "0.0".
    OperandList[0] = 4;
    EXPECT_STREQ(FormatNumber(kFormatNone, NumberGroup(0, kOperandInt32, kNumberAdd)), "0.0");
}

TEST(FormatNumber, ResultIsTheNextTemporaryNarrowOrWide) {
    double value = -1234.5678;
    OperandList[0] = OperandAddress(&value);
    char* text = FormatNumber("<%f>", kOneDouble);
    TempSlot* slot = SelectTempSlot(0);
    EXPECT_EQ(slot->text, text);
    EXPECT_EQ(slot->length, 11);
    EXPECT_EQ(RingPosition(), text + 12);

    OperandList[0] = OperandAddress(&value);
    auto* wide = reinterpret_cast<char16_t*>(FormatNumber("<%f>", kOneDouble | kNumberWide));
    EXPECT_EQ(std::u16string(wide), u"<-1234.568>");
    slot = SelectTempSlot(0);
    EXPECT_EQ(slot->text, reinterpret_cast<char*>(wide));
    EXPECT_EQ(slot->length, 22);
}

TEST(FormatNumber, SavesAndRestoresTheControlMode) {
    EnsurePowerTable();
    // Rounding upward at entry: the formatter still rounds down, and gives the mode back.
    x87::SetControlWord(0x0B7F);
    std::string text = Format(2.0 / 3.0, "%Jx");
    EXPECT_EQ(x87::ControlWord(), 0x0B7F);
    x87::SetControlWord(x87::kNumberControlWord);
    EXPECT_EQ(text, Format(2.0 / 3.0, "%Jx"));
    // 2/3 as a double is 0.66666666666666662965...: scaled by 10^19 and rounded down to a
    // 64-bit significand (units of 1/2) it is ...296.5, and adding h stays below ...297.
    EXPECT_EQ(text, "0.6666666666666666296");
    x87::SetControlWord(0x027F);
    EXPECT_EQ(Format(0.1), "0.1000000");
    EXPECT_EQ(x87::ControlWord(), 0x027F);
    x87::SetControlWord(x87::kNumberControlWord);
}

TEST(FormatNumber, NineteenDigitsRoundTheScaledValueFirst) {
    // 0.1 as a double is 0.1000000000000000055511...; times 10^19 it rounds down to units
    // of 1/16 (...055.5), and ...055.5 + h rounds down below ...056.
    // 10^22 is exact: its estimate is one too low, the carry gives 20 digits, beyond 2^63.
    ExpectRows({{0.1, "%J", "0.1000000000000000055"},
                {1e22, "%J", "^v?"},
                {1e22, nullptr, "1.0000000e+22"},
                {123456789012345678.0, "%J", "123456789012345680.0"},
                {5e-324, nullptr, "^v?"}});
}

TEST(WriteDigitsBackward, DigitsEndAtLastAndPointWhereReached) {
    auto write = [](std::uint64_t value, int pointIndex) {
        char buffer[32];
        std::memset(buffer, '#', sizeof buffer);
        char* last = buffer + 30;
        char* before = WriteDigitsBackward(&value, last, pointIndex < 0 ? nullptr : buffer + pointIndex);
        return std::string(before + 1, last + 1);
    };
    EXPECT_EQ(write(0, -1), "0");
    EXPECT_EQ(write(12345, 28), "123.45");
    EXPECT_EQ(write(5, 20), "5");  // the digits do not reach the point
    EXPECT_EQ(write(50, 29), "5.0");
    EXPECT_EQ(write(~std::uint64_t{0}, -1), "18446744073709551615");
    // Across the 32-bit boundary, where the 64-bit steps hand over to 32-bit ones.
    for (std::uint64_t v : {0xFFFFFFFFull, 0x100000000ull, 0x100000009ull, 42949672959ull,
                            9999999999999999999ull, 10000000000000000000ull, 0x8000000000000000ull}) {
        char expected[32];
        std::snprintf(expected, sizeof expected, "%llu", static_cast<unsigned long long>(v));
        EXPECT_EQ(write(v, -1), expected);
    }
}

}  // namespace
}  // namespace tarnfold

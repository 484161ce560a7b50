// ParseNumber: decimal, hexadecimal and binary texts, ParseCounts, signs and stores.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>

#include "exact_arithmetic.h"
#include "numbers/numbers.h"
#include "numbers/x87.h"
#include "support/parse_destination.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/mman.h>
#include <unistd.h>
#endif

namespace tarnfold {
namespace {

using testing_numbers::FloorDouble;
using testing_numbers::FloorFloat;

template <typename T>
struct Result {
    T value;
    std::int32_t count;
};

// A destination of `T` holding `sizeCode`, parsed into.
template <typename T>
Result<T> Parse(const char* text, std::int32_t sizeCode) {
    Result<T> result;
    result.value = testing_support::ParseInto<T>(text, sizeCode, result.count);
    return result;
}

Result<double> ParseDouble(const char* text) { return Parse<double>(text, kSizeFloat64); }
Result<std::int32_t> ParseInt(const char* text) { return Parse<std::int32_t>(text, kSizeInt32); }

struct Row {
    const char* text;
    double value;
    std::int32_t count;
};

void ExpectRows(std::initializer_list<Row> rows) {
    for (const Row& row : rows) {
        Result<double> r = ParseDouble(row.text);
        EXPECT_EQ(r.value, row.value) << row.text;
        EXPECT_EQ(std::signbit(r.value), std::signbit(row.value)) << row.text;
        EXPECT_EQ(r.count, row.count) << row.text;
    }
}

// A number operation computes in its own mode and gives the program's control word back:
// the program's arithmetic after it is what it was before.
TEST(NumberMode, ParseAndFormatRestoreTheCallersControlWord) {
    for (std::uint16_t caller : {std::uint16_t{0x037F}, std::uint16_t{0x027F}, std::uint16_t{0x0B7F}}) {
        SCOPED_TRACE(caller);
        x87::SetControlWord(caller);
        std::int32_t count = 0;
        double value = testing_support::ParseInto<double>("0.96", kSizeFloat64, count);
        OperandList[0] = OperandAddress(&value);
        FormatNumber("%f", NumberGroup(0, kOperandFloat64));
        EXPECT_EQ(x87::ControlWord(), caller);
    }
    x87::SetControlWord(0x037F);
    volatile double a = 0.1, b = 0.2;
    EXPECT_EQ(a + b, 0.30000000000000004);
    UseNumberModeForProcess();
    EXPECT_EQ(x87::ControlWord() & 0x0F00, 0x0700);
    x87::SetControlWord(0x037F);
}

TEST(ParseNumber, WorkedResultsDecimal) {
    ExpectRows({{"123", 123, 3},
                {"-123", -123, 4},
                {"12.5", 12.5, 4},
                {".5", 0.5, 2},
                {"0.5", 0.5, 3},
                {"+5", 5, 2},
                {"1.5e-3", FloorDouble("15", -4), 6},
                {"1e3", 1000, 3},
                {"9.87654321e-5", FloorDouble("987654321", -13), 13},
                {"12345678901234567890", FloorDouble("12345678901234567890", 0), 20},
                {"1,5", 1, 0},
                {"0", 0, 1}});
    EXPECT_EQ(FloorDouble("12345678901234567890", 0), 12345678901234567168.0);
}

TEST(ParseNumber, WorkedResultsHexadecimalBinaryAndOthers) {
    ExpectRows({{"0x1F", 31, -4},
                {"-1Fh", -31, -4},
                {"$FF", 255, -3},
                {"101y", 5, -260},
                {"-101b", -5, -261}});
    Result<double> quoted = ParseDouble("\"abc");
    EXPECT_TRUE(std::isnan(quoted.value));
    EXPECT_EQ(quoted.count, kParseNotANumber);
    Result<std::int32_t> whole = ParseInt("2.7");
    EXPECT_EQ(whole.value, 2);
    EXPECT_EQ(whole.count, 3);
}

TEST(ParseNumber, EmptyBlankAndPunctuationOnlyTexts) {
    ExpectRows({{"", 0, 0}, {"   ", 0, 0}, {"\t \r\n", 0, 0}, {"(", 0, 0}, {"\"", 0, 0}, {"$", 0, 0}});
}

TEST(ParseNumber, PointsDigitsAndEnds) {
    ExpectRows({{"1.2.3", FloorDouble("123", -1), 5},
                {"42abc", 42, 0},
                {"12345.6789abc", FloorDouble("123456789", -4), 0},
                {"1FH", 1, 0},
                {"  42", 42, 4},
                {"1 000", 1, 1},
                {"007,5", 7, 2},
                {"007", 7, 3},
                {"-0x1F", -0.0, 0},
                {"0e5", 0, 1},
                {"1.", 1, 2},
                {".", 0, 1}});
}

TEST(ParseNumber, Exponents) {
    ExpectRows({{"1.5e3", 1500, 5},
                {"12.5e3", 12500, 6},
                {"-1.234568e+07", -12345680, 13},
                {"1e+3", 1000, 4},
                {"2E3", 2000, 3},
                {"1e3x", 1000, 3},
                {"1.5e-1234", FloorDouble("15", -124), 8},
                {"1e141", FloorDouble("1", 141), 5},
                {"1e-143", FloorDouble("1", -143), 6},
                {"1e142", 1, 5},      // beyond the scales applied
                {"1e-144", 1, 6},
                {"1e300", 1, 5}});
}

// Texts that are read in one pass (up to nine digits, one point, an exponent, then the
// terminator) beside the ones just outside that shape.
TEST(ParseNumber, OnePassShapesAndTheirNeighbours) {
    ExpectRows({{"123456789", 123456789, 9},
                {"1234567890", 1234567890, 10},
                {"12345.6789", FloorDouble("123456789", -4), 10},
                {"-1234.5", -1234.5, 7},
                {"0-5", -5, 3},
                {"-", -0.0, 1},
                {"E00", 0, 0},
                {"e5", 0, 0},
                {"12 ah", 18, -3},
                {"1e5 h", 100000, 3},
                {"12.5e+0070", 125000000, 9}});
}

TEST(ParseNumber, ExponentLetterWithoutDigitEndsTheNumber) {
    // An 'e' not followed by a digit once read its next byte, even the terminator, as one.
    ExpectRows({{"5eggs", 5, 0},
                {"1e", 1, 0},
                {"1e+", 1, 0},
                {"2.5E-x", 2.5, 0},
                {"007e", 7, 2},
                {"(4e)", 4, 0}});
}

TEST(ParseNumber, Parentheses) {
    ExpectRows({{"(42)", 42, 4},
                {"(-42)", -42, 5},
                {"(1e3)", 1000, 5},
                {"(1e3", 1000, 5},
                {"(1Fh)", 31, -4},
                {"(-1Fh)", -31, -6},
                {"(101b)", 5, -261},
                {"($FF)", 255, -4},
                {"(1Fh", 31, -4}});  // no ')': the count of the digits
}

TEST(ParseNumber, HexadecimalForms) {
    ExpectRows({{"0x1F rest", 31, -4},
                {"x1F", 31, -3},
                {"1Fh", 31, -3},
                {"0FFh", 255, -4},
                {"12H", 18, -3},
                {"FFFFFFFFFFFFFFFFh", -1, -17},
                {"0h", 0, -2},
                {"0x-1F", -31, -5},
                {"$-1F", -31, -4},
                {"0x7fffffff", 2147483647, -10}});
    for (const char* text : {"0x", "h", "$h"}) {
        Result<double> r = ParseDouble(text);
        EXPECT_EQ(r.value, 0) << text;
        EXPECT_EQ(r.count, kParseNotANumber) << text;
    }
}

TEST(ParseNumber, BinaryForms) {
    ExpectRows({{"11111111111111111111111111111111b", -1, -289},
                {"0b101", 0, -258},
                {"1101Y", 13, -261},
                {"101B", 5, -260}});
}

// The count runs through the suffix letter, also when a decimal digit or a point ended the
// binary digits before it.
TEST(ParseNumber, BinaryCountThroughTheSuffixNotTheLastBinaryDigit) {
    ExpectRows({{"102b", 2, -260},
                {"1.01b", 1, -261},
                {".bm\"4", 0, -258},
                {"-12y", -1, -260},
                {"(102b", 2, -261},     // no ')': the count through the suffix
                {"(1.01b)", 1, -262},   // ')' found: its position from the '('
                {"(-102b", -2, -262}});
}

TEST(ParseNumber, NotANumberStoresTheProcessorsNaN) {
    for (const char* text : {"\"abc", "{1}", "  {", "00{"}) {
        EXPECT_TRUE(std::isnan(ParseDouble(text).value)) << text;
        EXPECT_EQ(ParseDouble(text).count, kParseNotANumber) << text;
        EXPECT_EQ(ParseInt(text).value, INT32_MIN) << text;
        EXPECT_TRUE(std::isnan(Parse<float>(text, kSizeFloat32).value)) << text;
    }
    ExpectRows({{"\"0042", 42, 5}, {"\" 5", 5, 3}});
}

TEST(ParseNumber, StoresRoundTowardNegativeInfinity) {
    EXPECT_EQ(ParseInt("-2.7").value, -3);
    EXPECT_EQ(ParseInt("-0.1").value, -1);
    EXPECT_EQ(ParseInt("2147483647.9").value, 2147483647);
    EXPECT_EQ(ParseInt("-2147483648").value, INT32_MIN);
    EXPECT_EQ(ParseInt("3000000000").value, INT32_MIN);
    EXPECT_EQ(ParseInt("-3000000000").value, INT32_MIN);
    EXPECT_EQ(ParseDouble("0.1").value, std::nextafter(0.1, 0.0));
    EXPECT_EQ(ParseDouble("0.1").value, FloorDouble("1", -1));
    EXPECT_EQ(ParseDouble("-0.1").value, FloorDouble("1", -1, true));
    EXPECT_EQ(Parse<float>("0.1", kSizeFloat32).value, FloorFloat("1", -1));
    EXPECT_EQ(Parse<float>("3.4e38", kSizeFloat32).value, FloorFloat("34", 37));
    EXPECT_EQ(Parse<float>("-1.5", kSizeFloat32).value, -1.5f);
    // 10^-2 is one unit above its nearest entry: 725 * T(-2) rounds down to just above
    // 7.25, and the negated value rounds down to the double below -7.25.
    EXPECT_EQ(ParseDouble("-7.25").value, std::nextafter(-7.25, -1e300));
    EXPECT_EQ(ParseDouble("7.25").value, 7.25);

    Result<long double> extended = Parse<long double>("0.1", kSizeExtended);
    EXPECT_EQ(testing_numbers::PartsOf(extended.value), testing_numbers::PartsOf(PowerOfTen(-1)));
    EXPECT_EQ(Parse<long double>("-1.25", 0).value, -1.25L);  // any other code: extended
}

TEST(ParseNumber, MoreThanNineteenDigitsRoundDown) {
    // 2^64 + 9 needs 65 bits: the last step (plus 5) rounds down to an even value.
    Result<long double> r = Parse<long double>("18446744073709551625", kSizeExtended);
    EXPECT_EQ(r.value, 18446744073709551624.0L);
    EXPECT_EQ(r.count, 20);
    EXPECT_EQ(ParseDouble("123456789012345678901234567890").value,
              FloorDouble("123456789012345678901234567890", 0));
}

TEST(ParseNumber, SourceOfTheCurrentTemporaryAndNoDestination) {
    char* start = RingPosition();
    std::strcpy(start, "  -7.5 ");
    RecordTemp(start + 7);
    double value;
    std::memcpy(&value, &kSizeFloat64, sizeof kSizeFloat64);
    EXPECT_EQ(ParseNumber(kLastTemp, &value), 6);
    EXPECT_EQ(value, -7.5);

    ClearValueStack();
    EXPECT_EQ(ParseNumber("-2.7", nullptr), 4);
    ASSERT_EQ(ValueStack.depth, 1);
    volatile long double expected = 0;
    {
        const x87::NumberModeScope mode;  // the reference rounds as the runtime does
        expected = -(27 * PowerOfTen(-1));
    }
    EXPECT_EQ(PopValue(), expected);
}

TEST(ParseNumber, SearchesStopAtTheTerminator) {
    // The bytes after each terminator would turn the number into hexadecimal or change its
    // parenthesis count.
    const char hexAfterEnd[] = "1\0Fh";
    const char parenAfterEnd[] = "(1Fh\0)";
    ExpectRows({{hexAfterEnd, 1, 1}, {parenAfterEnd, 31, -4}});
}

// Texts that end on the last byte of a readable page: no search may touch the next page.
TEST(ParseNumber, SearchesStayInReadableMemory) {
#ifdef _WIN32
    SYSTEM_INFO info;
    GetSystemInfo(&info);
    const std::size_t page = info.dwPageSize;
    auto* block = static_cast<char*>(VirtualAlloc(nullptr, 2 * page, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
    ASSERT_NE(block, nullptr);
    DWORD old;
    ASSERT_TRUE(VirtualProtect(block + page, page, PAGE_NOACCESS, &old));
#else
    const std::size_t page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
    void* mapped = mmap(nullptr, 2 * page, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    ASSERT_NE(mapped, MAP_FAILED);
    auto* block = static_cast<char*>(mapped);
    ASSERT_EQ(mprotect(block + page, page, PROT_NONE), 0);
#endif
    for (const char* text : {"1", "(1", "12", "(101b", "7Fh", "1.5e", "0x"}) {
        std::size_t length = std::strlen(text);
        char* at = block + page - length - 1;
        std::memcpy(at, text, length + 1);
        Result<double> expected = ParseDouble(text);
        double value;
        std::memcpy(&value, &kSizeFloat64, sizeof kSizeFloat64);
        EXPECT_EQ(ParseNumber(at, &value), expected.count) << text;
    }
#ifdef _WIN32
    VirtualFree(block, 0, MEM_RELEASE);
#else
    munmap(block, 2 * page);
#endif
}

TEST(ParseNumber, ReadsBackWhatFormatNumberWrites) {
    double original = -12345678;
    OperandList[0] = OperandAddress(&original);
    const char* text = FormatNumber(kFormatNone, NumberGroup(0, kOperandFloat64));
    EXPECT_STREQ(text, "-1.234568e+07");
    Result<double> back = ParseDouble(text);
    EXPECT_EQ(back.value, -12345680);
    EXPECT_EQ(back.count, 13);
}

}  // namespace
}  // namespace tarnfold

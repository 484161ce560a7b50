// The C++ layer against the raw calls it makes: the same bytes, counts and values.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <limits>
#include <string>

#include "support/fatal_echo.h"
#include "tarnfold.hpp"

namespace tarnfold {
namespace {

std::string Raw(char* built) {
    std::string text = built;
    ReleaseHeapString(built);
    return text;
}
std::string IntegerModeText(std::int64_t value) {
    OperandList[0] = OperandAddress(&value);
    return FormatNumber(kFormatInteger, NumberGroup(0, kOperandInt64));
}
std::string FormatRaw(const char* format, double value) {
    OperandList[0] = OperandAddress(&value);
    return FormatNumber(format, NumberGroup(0, kOperandFloat64));
}

TEST(FacePrintParts, NumbersAreTheRuntimesDecimalText) {
    constexpr std::int64_t kIntegers[] = {0, 3, -7, 96885, std::numeric_limits<std::int32_t>::min(),
                                          std::numeric_limits<std::int32_t>::max(), 1234567890123,
                                          std::numeric_limits<std::int64_t>::max(),
                                          std::numeric_limits<std::int64_t>::min() + 1};
    for (std::int64_t value : kIntegers) {
        EXPECT_EQ(tf::Keep(value).view(), IntegerModeText(value)) << value;
        if (value >= std::numeric_limits<std::int32_t>::min() && value <= std::numeric_limits<std::int32_t>::max()) {
            EXPECT_EQ(tf::Keep(static_cast<std::int32_t>(value)).view(), IntegerModeText(value)) << value;
        }
    }
    EXPECT_EQ(tf::Keep(std::numeric_limits<std::uint64_t>::max()).view(), "18446744073709551615");
    EXPECT_EQ(tf::Keep(std::numeric_limits<std::uint32_t>::max()).view(), "4294967295");
    constexpr double kReals[] = {1.0, 123.456, -1234.5678, 12345678, 0.0001234, 9999999.7};
    for (double value : kReals) {
        EXPECT_EQ(tf::Keep(value).view(), FormatRaw(nullptr, value)) << value;
        EXPECT_EQ(tf::Keep(tf::Digits(value, 3)).view(), FormatRaw("%3f", value)) << value;
        EXPECT_EQ(tf::Keep(tf::Digits(value, 19)).view(), FormatRaw("%Jf", value)) << value;
    }
    EXPECT_EQ(tf::Keep(2.5f).view(), "2.500000");
}

TEST(FacePrintParts, TextsTokensAndTemporariesMix) {
    std::string owned = "std";
    tf::String kept = tf::Keep("kept");
    tf::Temp trimmed = tf::Trimmed("  trim  ");
    tf::Temp replaced = tf::Replaced("a-b", "-", "+");
    const std::string typed = tf::Keep("[", owned, "|", kept, "|", trimmed, "|", replaced, "|", tf::Tab, "|",
                                       tf::ZView("z"), "|", tf::RawWord{kTokenX}, "]")
                                  .c_str();
    const std::string raw = Raw(StringBuilder(ToVariable(15), "[", owned.c_str(), "|", kept.c_str(), "|",
                                              SlotToken(trimmed.slot()), "|", SlotToken(replaced.slot()), "|",
                                              kTokenTab, "|", "z", "|", kTokenX, "]", nullptr));
    EXPECT_EQ(typed, raw);
    EXPECT_EQ(typed, "[std|kept|trim|a+b|\t|z|X]");
    TrimText(" last ", kTrimBoth);
    EXPECT_EQ(tf::Keep("<", tf::Last, ">").view(), "<last>");
    tf::String16 wide;
    wide.Assign(u"wide ", 42);
    EXPECT_EQ(wide.view(), u"wide 42");
}

TEST(FaceParse, TheDestinationsTypeSetsTheSizeNeverItsValue) {
    const char* kTexts[] = {"5123", "-2.7", "  42)", "0x1F", "%101", "1e300", "2147483648", "9223372036854775808",
                            "-9223372036854775808", "abc", "", "0.1"};
    for (const char* text : kTexts) {
        std::int32_t raw32 = kSizeInt32;
        const std::int32_t count = ParseNumber(text, &raw32);
        struct {
            std::int32_t value;
            std::int32_t guard;
        } int32Cell = {8, 0x5A5A5A5A};  // a former double's code: ignored by the typed call
        auto typed32 = tf::Parse<std::int32_t>(text);
        int32Cell.value = typed32.value;
        EXPECT_EQ(int32Cell.guard, 0x5A5A5A5A);
        EXPECT_EQ(typed32.value, raw32) << text;
        EXPECT_EQ(typed32.count, count) << text;

        double rawDouble;
        std::int32_t code = kSizeFloat64;
        std::memcpy(&rawDouble, &code, sizeof code);
        ParseNumber(text, &rawDouble);
        auto typedDouble = tf::Parse<double>(text);
        EXPECT_EQ(std::memcmp(&typedDouble.value, &rawDouble, sizeof rawDouble), 0) << text;
        EXPECT_EQ(typedDouble.count, count) << text;

        long double extended = tf::Parse<long double>(text).value;
        auto typed64 = tf::Parse<std::int64_t>(text);
        if (extended >= -9223372036854775808.0L && extended < 9223372036854775808.0L)
            EXPECT_EQ(static_cast<long double>(typed64.value), __builtin_floorl(extended)) << text;
        else
            EXPECT_EQ(typed64.value, std::numeric_limits<std::int64_t>::min()) << text;
    }
    EXPECT_EQ(tf::Parse<std::int64_t>("-9223372036854775808").value, std::numeric_limits<std::int64_t>::min());
    EXPECT_EQ(tf::Parse<std::int64_t>("1234567890123").value, 1234567890123);
    EXPECT_EQ(tf::Parse<float>("0.5").value, 0.5f);
}

TEST(FaceNumbers, TheCallersFloatingPointModeIsLeftAsItWas) {
    tf::Parse<double>("0.1");
    tf::Format("%5f", 0.96, tf::Multiply, 3);
    char text[32];
    std::snprintf(text, sizeof text, "%.1f %.17g", 0.96, 0.1 + 0.2);
    EXPECT_STREQ(text, "1.0 0.30000000000000004");
}

TEST(FaceFormat, ExpressionsAreTheRawDescriptors) {
    double ten = 10, four = 4;
    std::int64_t big = 123456789012345;
    OperandList[0] = OperandAddress(&ten);
    OperandList[1] = OperandAddress(&four);
    const std::string raw =
        FormatNumber("x=%5f;", NumberGroup(0, kOperandFloat64) | NumberGroup(1, kOperandFloat64, kNumberDivide) |
                                   NumberGroup(2, kOperandNegate));
    EXPECT_EQ(tf::Format("x=%5f;", ten, tf::Divide, four, tf::Negate), raw);
    EXPECT_EQ(tf::Format("x=%5f;", ten, tf::Divide, four, tf::Negate), "x=-2.5000;");
    EXPECT_EQ(tf::Format("%i", big), "123456789012345");
    EXPECT_EQ(tf::Format(nullptr, 3, tf::Add, 4u, tf::Multiply, 2.5f), "17.50000");
    EXPECT_EQ(tf::FormatInteger(-7.9), "-7");
}

TEST(FaceArrays, ElementsAreViewsWithoutSignsOrRecords) {
    tf::Array array = tf::Array::Create(5, 3, "five");
    array.Set(0, "zero");
    array.Set(1, "one ", 1);
    array.Set(2, tf::Trimmed("  two  "));
    EXPECT_EQ(array.size(), 3u);
    std::string joined;
    for (tf::ZView element : array) joined += std::string(element) + "|";
    EXPECT_EQ(joined, "zero|one 1|two|");
    for (std::int32_t i = 0; i < 3; ++i) {
        const ElementRecord* record = ArrayTable[5]->Element(i);
        EXPECT_EQ(array[static_cast<std::size_t>(i)].data(), record->text);
        EXPECT_EQ(array.At(i).size(), static_cast<std::size_t>(record->length));
    }
    array.Erase();
    EXPECT_EQ(array.size(), 0u);
    EXPECT_EQ(tf::Array(7).begin(), tf::Array(7).end());  // never created
}

TEST(FaceStrings, OwnersReleaseTheirRegistryEntries) {
    for (int i = 0; i < 1000; ++i) {
        tf::String upper = tf::ChangeCase("loop", tf::Upper);
        ASSERT_STREQ(upper.c_str(), "LOOP");
    }
    tf::String a = tf::Keep("moved");
    tf::String b = std::move(a);
    EXPECT_TRUE(a.empty());
    EXPECT_EQ(b.view(), "moved");
    b = tf::ChangeCase(b, tf::Lower);
    for (int i = 0; i < 200; ++i) b.Assign(b, "");  // each Assign releases the block before
    EXPECT_EQ(b.view(), "moved");
}

TEST(FaceSearch, TheRawResults) {
    const char* line = "10.0.0.7 \"GET /api/v1 HTTP/2\" 200 5123 \"curl/8.5.0\"";
    struct Case {
        const char* pattern;
        tf::FindMode mode;
    } kCases[] = {{"curl", tf::Exact}, {"CURL", tf::Fold}, {"zebra", tf::Fold}, {"api", tf::WholeWord},
                  {"0", tf::Backward}, {"G", tf::FoldFirst}};
    for (const Case& c : kCases) {
        FoundText raw = FindText(kFindWholeText, line, c.pattern, static_cast<Word>(c.mode));
        tf::Found typed = tf::Find(line, c.pattern, c.mode);
        EXPECT_EQ(typed.match, raw.match) << c.pattern;
        EXPECT_EQ(typed.position, raw.position) << c.pattern;
        EXPECT_EQ(tf::Contains(line, c.pattern, c.mode), raw.match != nullptr) << c.pattern;
    }
    EXPECT_TRUE(tf::Contains("a[b", "{B", tf::Fold));  // folding sets bit 0x20: "[" is "{"
    EXPECT_EQ(tf::Sub("hello", 1, 3).view(), "ell");
    EXPECT_EQ(tf::Sub("hello", 4, 9).view(), "o");
    EXPECT_EQ(tf::Sub("hello", 9, 1).view(), "");
    EXPECT_EQ(tf::Trimmed("  both  ", tf::Sides::Leading).text(), "both  ");
    EXPECT_EQ(tf::Keep(tf::Replaced("Api api", "API", "x", tf::Fold, 1)).view(), "x api");
}

TEST(FaceDeathTest, ATemporaryThatIsNoTextIsRefused) {
    testing_support::EchoFatalMessages();
    EXPECT_EXIT(tf::Replaced("a", "a", "b").text(), testing::ExitedWithCode(testing_support::ExitCodeAsSeen(-9)),
                testing::HasSubstr("Insufficient buffer"));
    EXPECT_EXIT(tf::Sub("hello", 1, 2).text(), testing::ExitedWithCode(testing_support::ExitCodeAsSeen(-9)),
                testing::HasSubstr("Insufficient buffer"));
}

TEST(FaceFiles, OutputFilesWriteABuildPerCallAndCloseAtScopeEnd) {
    const std::string path = testing::TempDir() + "face_output.txt";
    {
        tf::OutputFile out(path);
        ASSERT_TRUE(out.is_open());
        out.Write("line ", 1, tf::CrLf);
        out.Write(tf::Replaced("a-b", "-", "+"), tf::CrLf);
    }
    EXPECT_EQ(tf::Keep(tf::FileContents(path)).view(), "line 1\r\na+b\r\n");
    tf::Array lines = tf::Recall(path, 3);
    EXPECT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[1], "a+b");
    lines.Erase();
    tf::OutputFile failed(path + "/no/such/folder");
    EXPECT_FALSE(failed.is_open());
    std::remove(path.c_str());
}

}  // namespace
}  // namespace tarnfold

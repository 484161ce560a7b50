// ANSI case mapping: the emulation's tables against the system's, all 256 bytes both ways.
#include <gtest/gtest.h>

#include <array>
#include <cstring>

#include "platform/win32.h"

namespace {

// Every (lower, upper) pair of Windows-1252. Bytes in no pair map to themselves, among
// them the letters whose partner lies outside the code page: 0x83, 0xAA, 0xB5, 0xBA, 0xDF.
std::array<unsigned char, 256> ExpectedCase(bool upper) {
    std::array<unsigned char, 256> table{};
    for (unsigned b = 0; b < 256; ++b) table[b] = static_cast<unsigned char>(b);
    auto pair = [&](unsigned lower, unsigned capital) {
        if (upper)
            table[lower] = static_cast<unsigned char>(capital);
        else
            table[capital] = static_cast<unsigned char>(lower);
    };
    for (unsigned c = 'a'; c <= 'z'; ++c) pair(c, c - 0x20);
    for (unsigned c = 0xE0; c <= 0xFE; ++c)
        if (c != 0xF7) pair(c, c - 0x20);
    pair(0x9A, 0x8A);
    pair(0x9C, 0x8C);
    pair(0x9E, 0x8E);
    pair(0xFF, 0x9F);
    return table;
}

std::array<unsigned char, 256> AllBytes() {
    std::array<unsigned char, 256> bytes{};
    for (unsigned b = 0; b < 256; ++b) bytes[b] = static_cast<unsigned char>(b);
    return bytes;
}

TEST(AnsiCaseMapping, EveryByteMapsAsWindows1252) {
    for (bool upper : {true, false}) {
        std::array<unsigned char, 256> bytes = AllBytes();
        auto* text = reinterpret_cast<char*>(bytes.data());
        DWORD done = upper ? CharUpperBuffA(text, 256) : CharLowerBuffA(text, 256);
        EXPECT_EQ(done, 256u);
        std::array<unsigned char, 256> expected = ExpectedCase(upper);
        for (unsigned b = 0; b < 256; ++b)
            EXPECT_EQ(bytes[b], expected[b]) << (upper ? "upper" : "lower") << " of byte 0x" << std::hex << b;
    }
}

TEST(AnsiCaseMapping, ConvertsExactlyTheCountGivenZerosIncluded) {
    char text[] = "ab\0cd";
    EXPECT_EQ(CharUpperBuffA(text, 4), 4u);
    EXPECT_EQ(std::memcmp(text, "AB\0Cd", 6), 0);
    EXPECT_EQ(CharLowerBuffA(text, 0), 0u);
    EXPECT_EQ(std::memcmp(text, "AB\0Cd", 6), 0);
}

// Every byte value at every place of texts of 0 to 80 bytes from every alignment, ASCII
// runs and runs with bytes of 0x80 and up: each byte maps by the table, and the bytes
// around the text stay as they were.
TEST(AnsiCaseMapping, EveryLengthAndAlignmentMapsOnlyItsBytes) {
    constexpr std::size_t kMargin = 16, kLongest = 80;
    for (bool upper : {true, false}) {
        const std::array<unsigned char, 256> expected = ExpectedCase(upper);
        for (unsigned seed = 0; seed < 4; ++seed)
            for (std::size_t offset = 0; offset < 16; ++offset)
                for (std::size_t length = 0; length <= kLongest; ++length) {
                    alignas(16) unsigned char buffer[kMargin + 16 + kLongest + kMargin];
                    for (std::size_t i = 0; i < sizeof buffer; ++i) {
                        // seed 0, 1: ASCII only; 2, 3: every byte value passes by.
                        unsigned value = static_cast<unsigned>(i * 37 + seed * 101 + length);
                        buffer[i] = static_cast<unsigned char>(seed < 2 ? 0x20 + value % 0x5F : value);
                    }
                    unsigned char before[sizeof buffer];
                    std::memcpy(before, buffer, sizeof buffer);
                    auto* text = reinterpret_cast<char*>(buffer + kMargin + offset);
                    auto count = static_cast<DWORD>(length);
                    EXPECT_EQ(upper ? CharUpperBuffA(text, count) : CharLowerBuffA(text, count), count);
                    for (std::size_t i = 0; i < sizeof buffer; ++i) {
                        bool inside = i >= kMargin + offset && i < kMargin + offset + length;
                        ASSERT_EQ(buffer[i], inside ? expected[before[i]] : before[i])
                            << (upper ? "upper" : "lower") << ", offset " << offset << ", length " << length
                            << ", byte " << i;
                    }
                }
    }
}

}  // namespace

// Every scan of a caller's text, with the text flush against an unreadable page and its first
// byte at every alignment 0 to 31: no fault, and the result it gives in ordinary memory.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>

#include "files/line_split.h"
#include "support/guard_page.h"
#include "tarnfold.h"

namespace tarnfold {
namespace {

struct Scan {
    const char* name;
    bool terminated;  // reads up to a zero byte; otherwise it is given the text's length
    std::function<std::string(const char* text, std::size_t length)> run;
};

std::string Position(FoundText found) { return std::to_string(found.position); }

std::string Taken(char* block) {
    std::string text = block;
    ReleaseHeapString(block);
    return text;
}

std::string Find(const char* text, const char* pattern, Word mode) {
    return Position(FindText(kFindWholeText, text, pattern, mode));
}

TEST(PageEndScans, EveryScanReadsNoFurtherThanItsTextAtEveryAlignment) {
    const Scan scans[] = {
        {"length", true, [](const char* t, std::size_t) { return Taken(Assign(nullptr, t)); }},
        {"find", true, [](const char* t, std::size_t) { return Find(t, "ab", FindExact); }},
        {"find, 12 bytes", true, [](const char* t, std::size_t) { return Find(t, "ab\r\nAB-cd x.", FindExact); }},
        {"find, folding", true, [](const char* t, std::size_t) { return Find(t, "aB", FindFold); }},
        {"find, first folded", true, [](const char* t, std::size_t) { return Find(t, "Ab", FindFoldFirst); }},
        {"find, whole word", true, [](const char* t, std::size_t) { return Find(t, "ab", FindWholeWord); }},
        {"find, backward", true, [](const char* t, std::size_t) { return Find(t, "ab", FindBackward); }},
        {"find, backward folding", true,
         [](const char* t, std::size_t) { return Find(t, "x.E", FindBackward | FindFold); }},
        {"trim", true,
         [](const char* t, std::size_t) {
             TempSlot* slot = TrimText(t, kTrimBoth).slot;
             return std::string(slot->text, static_cast<std::size_t>(slot->length));
         }},
        {"part", true,
         [](const char* t, std::size_t) {
             std::string parts;
             for (std::int32_t start : {1, 3, 17, 40}) {
                 const TempSlot* slot = SubText(t, 20, start);
                 parts.append(slot->text, static_cast<std::size_t>(slot->length)) += '|';
             }
             return parts;
         }},
        {"case", true, [](const char* t, std::size_t) { return Taken(ChangeCase(t, kToUpper).start); }},
        {"command line", true, [](const char* t, std::size_t) { return std::string(CommandLineTailOf(t)); }},
        {"number", true,
         [](const char* t, std::size_t) {
             std::int32_t value = kSizeInt32;  // the destination's size code
             std::int32_t count = ParseNumber(t, &value);
             return std::to_string(count) + " " + std::to_string(value);
         }},
        {"line ends", false,
         [](const char* t, std::size_t length) {
             std::string offsets;
             ForEachCrLf(t, length, [&](std::size_t at) { offsets += std::to_string(at) + ","; });
             return offsets;
         }},
    };
    // Holds a match for every search, a CR LF for the split, an 'h' number and a name
    // ending in ".exe"; its prefixes give each scan texts of every length.
    const std::string source =
        "1fh ab\r\nAB-cd x.exe ab\r\n\tAb ab\r\n1fh x.EXE ab aB\r\n ab 7\r\nab\r\nAB-cd x. ab\r\n";
    testing_support::GuardedPage page;
    for (const Scan& scan : scans) {
        for (std::size_t length = 0; length < 64; ++length) {  // 4096 - length: every alignment
            ASSERT_LE(length, source.size());
            SCOPED_TRACE(testing::Message() << scan.name << ", length " << length);
            const std::string text = source.substr(0, length);
            const std::string expected = scan.run(text.c_str(), length);
            const std::size_t size = length + (scan.terminated ? 1 : 0);
            char* flush = page.Tail(size);
            std::memcpy(flush, text.c_str(), size);
            EXPECT_EQ(scan.run(flush, length), expected);
        }
    }
}

// Trim skips runs of blanks many bytes at a time: texts of blanks with one kept byte
// anywhere (or none), flush against the unreadable page, trimmed on each side.
TEST(PageEndScans, TrimReadsNoFurtherThanItsBlanks) {
    testing_support::GuardedPage page;
    for (std::size_t length = 0; length < 150; ++length) {
        for (std::size_t kept = 0; kept <= length; ++kept) {
            std::string text(length, ' ');
            for (std::size_t i = 0; i < length; i += 7) text[i] = static_cast<char>(1 + i % 32);
            if (kept < length) text[kept] = static_cast<char>(kept % 2 ? '!' : 0xE9);
            char* flush = page.Tail(length + 1);
            std::memcpy(flush, text.c_str(), length + 1);
            for (std::int32_t sides : {kTrimLeading, kTrimTrailing, kTrimBoth}) {
                const std::size_t from = sides & kTrimLeading && kept < length ? kept : sides & kTrimLeading ? length : 0;
                const std::size_t to = sides & kTrimTrailing ? (kept < length ? kept + 1 : 0) : length;
                ASSERT_EQ(std::string(TrimText(flush, sides).start), text.substr(from, to > from ? to - from : 0))
                    << "length " << length << ", kept byte at " << kept << ", sides " << sides;
            }
        }
    }
}

}  // namespace
}  // namespace tarnfold

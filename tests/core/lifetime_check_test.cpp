// The checked build: a read past each lifetime the runtime hands out is reported at the read.
#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <string>

#include "support/storage_probe.h"
#include "tarnfold.h"

namespace tarnfold {
namespace {

using testing_support::RecordText;

#if defined(TARNFOLD_CHECKED) && defined(__SANITIZE_ADDRESS__)
constexpr bool kChecked = true;
#else
constexpr bool kChecked = false;
#endif

// Reads one byte the way a program would, so that the read itself is what is reported.
char ReadByte(const char* at) { return *static_cast<const volatile char*>(at); }

void RecordMore(int count) {
    for (int i = 0; i < count; ++i) RecordText("later");
}

struct Breach {
    const char* lifetime;
    std::function<void()> program;
    const char* report;
};

TEST(LifetimeCheckDeathTest, EachLifetimeBrokenIsReportedAtTheRead) {
    if (!kChecked) GTEST_SKIP() << "only the checked build poisons what has expired";
    const Breach breaches[] = {
        {"a temporary after 20 further temporaries (and one more)",
         [] {
             const char* text = RecordText("expires").start;
             RecordMore(kTempSlotCount + 1);
             ReadByte(text);
         },
         "use-after-poison"},
        {"a view after its source expired",
         [] {
             TempSlot* source = RecordText("the source text").slot;
             RecordMore(1);
             TempSlot* view = SubText(reinterpret_cast<const char*>(SlotToken(SlotNumber(source))), 6, 5);
             RecordMore(kTempSlotCount - 1);  // the source expires, the view's slot is still live
             Assign(nullptr, SlotToken(SlotNumber(view)));
         },
         "use-after-poison"},
        {"a kept copy after seven further KeepTemps",
         [] {
             RecordText("kept");
             const char* kept = KeepTemp();
             for (int i = 0; i < kKeptCopies; ++i) KeepTemp();
             ReadByte(kept);
         },
         "heap-use-after-free"},
        {"the ring's tail that a wrap abandoned",
         [] {
             SetRingPosition(ScratchRing + kRingWrapOffset - 8);
             const char* text = RecordText("wraps").start;
             ReadByte(text + 16);  // beyond the text, its terminator and its gap
         },
         "use-after-poison"},
        {"a recalled line after its array was erased, built as a part",
         [] {
             const std::string path = testing::TempDir() + "tarnfold_lifetime_lines.txt";
             std::FILE* file = std::fopen(path.c_str(), "wb");
             std::fputs("freed line\r\nnext\r\n", file);
             std::fclose(file);
             Recall(path.c_str(), 3);
             const char* line = ArrayTable[3]->Element(0)->text;
             EraseArray(3);
             Assign(nullptr, line);
         },
         "heap-use-after-free"},
        {"a kept copy after seven further KeepTemps, given to ChangeCase",
         [] {
             RecordText("kept name");
             const char* kept = KeepTemp();
             for (int i = 0; i < kKeptCopies; ++i) KeepTemp();
             ChangeCase(kept, kToUpper);
         },
         "heap-use-after-free"},
        {"a view of an element's text after the element was assigned again",
         [] {
             CreateArray(3, 0);
             AccessElement(3, 0, 0);
             AssignElement("the first text");
             TempSlot* view = SubText(ArrayTable[3]->Element(0)->text, 5, 5);
             AccessElement(3, 0, 0);
             AssignElement("short");  // fits the old bytes
             ReadByte(view->text);
         },
         "heap-use-after-free"},
        {"a repetition beyond the newest one",
         [] {
             const char* longer = RepeatText("abcdef", 10).start;
             RepeatText("x", 2);
             ReadByte(longer + 30);
         },
         "use-after-poison"},
    };
    for (const Breach& breach : breaches) {
        SCOPED_TRACE(breach.lifetime);
        EXPECT_DEATH(breach.program(), breach.report);
    }
}

// What the rules keep alive stays readable: a temporary through 19 further ones, a view
// while its source lives, the newest repetition and its terminator.
TEST(LifetimeCheck, WhatIsStillAliveIsReadable) {
    TempSlot* source = RecordText("alive").slot;
    const char* text = source->text;
    TempSlot* view = SubText(reinterpret_cast<const char*>(SlotToken(SlotNumber(source))), 2, 1);
    RecordMore(kTempSlotCount - 2);
    EXPECT_STREQ(Assign(nullptr, SlotToken(SlotNumber(view))), "al");
    EXPECT_EQ(std::string(text), "alive");
    const char* repeated = RepeatText("ab", 3).start;
    EXPECT_EQ(std::string(repeated, 7), std::string("ababab\0", 7));
}

}  // namespace
}  // namespace tarnfold

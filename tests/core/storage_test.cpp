// Scratch ring, TempSlots, predefined texts and the heap-string registry.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "platform/win32.h"
#include "support/fatal_echo.h"
#include "support/storage_probe.h"
#include "tarnfold.h"

namespace tarnfold {
namespace {

using testing_support::RecordText;
using testing_support::RegisteredCount;

TEST(TempSlots, FirstUseStartsTheRuntimeAtSlotOneAndTheTwentyFirstReusesIt) {
    EXPECT_IN_FRESH_PROCESS({
        if (TempSlotTable.current != 0 || PredefinedStrings[1].text != nullptr) return false;
        RecordedTemp first = RecordText("first");
        if (SlotNumber(first.slot) != 1 || PredefinedStrings[1].length != 2) return false;
        for (int i = 2; i <= 20; ++i) RecordText("more");
        return SlotNumber(RecordText("again").slot) == 1 && TempSlotTable.slot[1].length == 5;
    });
}

TEST(TempSlots, SelectModesStepAroundTheTable) {
    TempSlot* start = SelectTempSlot(1);
    int n = SlotNumber(start);
    EXPECT_EQ(SelectTempSlot(0), start);
    EXPECT_EQ(SlotNumber(SelectTempSlot(1)), n % 20 + 1);
    EXPECT_EQ(SelectTempSlot(-1), start);
    TempSlotTable.current = 1;
    EXPECT_EQ(SlotNumber(SelectTempSlot(-1)), 20);
    EXPECT_EQ(SlotNumber(SelectTempSlot(1)), 1);
    // Any other mode: the current slot when it names that text, else the next slot.
    RecordedTemp temp = RecordText("named");
    EXPECT_EQ(SelectTempSlot(reinterpret_cast<std::intptr_t>(temp.start)), temp.slot);
    EXPECT_EQ(SlotNumber(SelectTempSlot(reinterpret_cast<std::intptr_t>("other"))),
              SlotNumber(temp.slot) % 20 + 1);
}

TEST(ScratchRing, TemporariesAreWordAlignedAndSeparated) {
    for (const char* text : {"", "a", "ab", "abc", "abcd", "abcde"}) {
        RecordedTemp a = RecordText(text);
        RecordedTemp b = RecordText("next");
        EXPECT_EQ(reinterpret_cast<std::uintptr_t>(a.start) % 4, 0u);
        EXPECT_EQ(reinterpret_cast<std::uintptr_t>(b.start) % 4, 0u);
        EXPECT_GE(b.start - a.start, static_cast<std::ptrdiff_t>(std::strlen(text) + 1));
        EXPECT_LE(b.start - a.start, static_cast<std::ptrdiff_t>(std::strlen(text) + 4));
        EXPECT_EQ(a.slot->length, static_cast<std::int32_t>(std::strlen(text)));
        EXPECT_EQ(a.slot->text, a.start);
    }
}

TEST(ScratchRing, WrapsToItsFirstByteAtTheThreshold) {
    // An end 4 bytes short of the threshold moves the position onto it: wrap.
    SetRingPosition(ScratchRing + kRingWrapOffset - 100);
    RecordedTemp at = RecordTemp(ScratchRing + kRingWrapOffset - 4);
    EXPECT_EQ(at.start, ScratchRing + kRingWrapOffset - 100);
    EXPECT_EQ(RingPosition(), ScratchRing);
    // One byte less stays below it.
    SetRingPosition(ScratchRing + kRingWrapOffset - 100);
    RecordTemp(ScratchRing + kRingWrapOffset - 5);
    EXPECT_EQ(RingPosition(), ScratchRing + kRingWrapOffset - 4);
    SetRingPosition(ScratchRing);
}

// After a wrap, older temporaries lie ahead of the position: no producer writes over one
// that has fewer than 20 temporaries after it, its own input included. Producers move past
// them, and the builder's output goes to a block.
TEST(ScratchRing, ProducersNeverWriteOverLiveTemporariesAfterAWrap) {
    std::string big(kRingWrapOffset, 'b');
    auto assigned = [](auto... parts) {
        char* text = Assign(nullptr, parts...);
        std::string out(text);
        ReleaseHeapString(text);
        return out;
    };
    SetRingPosition(ScratchRing);
    TrimText(" first ", kTrimBoth);
    TrimText(big.c_str(), kTrimBoth);  // ends past the wrap offset: the position wraps
    TrimText(" third ", kTrimBoth);
    EXPECT_EQ(assigned(kLastTemp, kLastTemp, kLastTemp), "first" + big + "third");

    SetRingPosition(ScratchRing);
    const char* source = TrimText(" abcabc ", kTrimBoth).start;
    TrimText(big.c_str(), kTrimBoth);
    Replace(source, "b", "X", 0);
    EXPECT_EQ(assigned(kLastTemp), "aXcaXc");
    SetRingPosition(ScratchRing);
}

TEST(PredefinedStrings, TokensResolveToTheirTexts) {
    RuntimeStart();
    EXPECT_EQ(std::string(ResolveToken(kTokenCrLf).text, 2), "\r\n");
    EXPECT_EQ(std::string(ResolveToken(kTokenTab).text, 1), "\t");
    EXPECT_EQ(ResolveToken(kTokenFourSpaces).length, 4);
    EXPECT_EQ(std::string(ResolveToken(kTokenX).text), "X");
    for (Word invalid : {0u, 8u, 9u, 10u, 31u}) EXPECT_EQ(ResolveToken(invalid).text, nullptr);
    RecordedTemp temp = RecordText("slot text");
    TextRef bySlot = ResolveToken(SlotToken(SlotNumber(temp.slot)));
    EXPECT_EQ(bySlot.text, temp.start);
    EXPECT_EQ(bySlot.length, 9);
}

TEST(PredefinedStrings, ExeFolderIsTheExecutablesFolderNotTheCurrentOne) {
    RuntimeStart();
    char module[300];
    DWORD length = GetModuleFileNameA(nullptr, module, sizeof module);
    std::string path(module, length);
    TextRef folder = ResolveToken(kTokenExeFolder);
    std::string text(folder.text, static_cast<std::size_t>(folder.length));
    EXPECT_EQ(text.size(), std::strlen(folder.text));
#ifdef _WIN32
    EXPECT_EQ(text.back(), '\\');
#else
    EXPECT_EQ(text.back(), '/');
#endif
    EXPECT_EQ(path.substr(0, text.size()), text);
    EXPECT_EQ(path.substr(text.size()).find_first_of("/\\"), std::string::npos);
}

TEST(HeapStringRegistry, ReleaseFreesOnlyRegisteredBlocks) {
    ReleaseHeapString(kReleaseAll);
    void* block = AllocBlock(16, true);
    RegisterHeapString(block);
    EXPECT_EQ(RegisteredCount(), 1);
    char notRegistered[4] = "abc";
    ReleaseHeapString(notRegistered);
    ReleaseHeapString(nullptr);
    ReleaseHeapString(reinterpret_cast<const void*>(0x12345678));
    EXPECT_EQ(RegisteredCount(), 1);
    ReleaseHeapString(block);
    EXPECT_EQ(RegisteredCount(), 0);
}

TEST(HeapStringRegistry, AReleasedEntryIsTheOneReusedNext) {
    ReleaseHeapString(kReleaseAll);
    void* blocks[TfHeapStrings];
    for (auto& block : blocks) {
        block = AllocBlock(8, false);
        RegisterHeapString(block);
    }
    EXPECT_EQ(RegisteredCount(), TfHeapStrings);
    ReleaseHeapString(blocks[57]);
    void* replacement = AllocBlock(8, false);
    RegisterHeapString(replacement);
    EXPECT_EQ(HeapStringRegistry[57], reinterpret_cast<std::uintptr_t>(replacement));
    EXPECT_EQ(HeapStringRegistry[TfHeapStrings], 0u);  // the sentinel stays
    ReleaseHeapString(kReleaseAll);
    EXPECT_EQ(RegisteredCount(), 0);
}

TEST(HeapStringRegistryDeathTest, TheHundredAndFirstStringIsFatal) {
    EXPECT_FATAL(
        {
            for (int i = 0; i <= TfHeapStrings; ++i) RegisterHeapString(AllocBlock(8, false));
        },
        -8, "Too many strings: increase TfHeapStrings");
}

TEST(HeapBlocks, AllocZeroFillsOnRequestAndFreeIgnoresNullAndEmpty) {
    auto* block = static_cast<unsigned char*>(AllocBlock(300, true));
    for (int i = 0; i < 300; ++i) ASSERT_EQ(block[i], 0);
    FreeBlock(block);
    FreeBlock(nullptr);
    FreeBlock(EmptyString);
}

TEST(HeapBlocksDeathTest, ImpossibleAllocationIsFatal) {
    EXPECT_FATAL(AllocBlock(0x7FFFFFF0u, false), -1, "HeapAlloc");
}

TEST(HeapBlocksDeathTest, FreeingAForeignBlockShowsItsText) {
    static char foreign[64] = "not a heap block";
    EXPECT_FATAL(FreeBlock(foreign + 16), -2, "HeapFree\n");
}

TEST(RuntimeStartDeathTest, RefusalWithoutSse2ExitsWithMinus99) {
    EXPECT_EXIT(
        {
            testing_support::EchoFatalMessages();
            RefuseWithoutSse2();
        },
        ::testing::ExitedWithCode(testing_support::ExitCodeAsSeen(-99)),
        ::testing::HasSubstr("[|Sorry, Tarnfold needs SSE2]"));
}

}  // namespace
}  // namespace tarnfold

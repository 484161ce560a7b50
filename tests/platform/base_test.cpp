// The heap, module, error-text and string-check calls the runtime base makes. The same
// tests run against the emulation on Linux and against the real API under Wine.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/win32.h"
#include "support/emulation.h"
#include "support/guard_page.h"

using tarnfold::testing_support::GuardedPage;

TEST(PlatformHeap, SizeIsWhatWasAskedForAndReallocKeepsContents) {
    HANDLE heap = GetProcessHeap();
    ASSERT_NE(heap, nullptr);
    auto* block = static_cast<char*>(HeapAlloc(heap, HEAP_ZERO_MEMORY, 37));
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(HeapSize(heap, 0, block), 37u);
    for (int i = 0; i < 37; ++i) ASSERT_EQ(block[i], 0) << i;
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(block) % 8, 0u);
    std::memcpy(block, "keep these bytes", 17);
    block = static_cast<char*>(HeapReAlloc(heap, 0, block, 5000));
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(HeapSize(heap, 0, block), 5000u);
    EXPECT_STREQ(block, "keep these bytes");
    block = static_cast<char*>(HeapReAlloc(heap, 0, block, 3));
    EXPECT_EQ(HeapSize(heap, 0, block), 3u);
    EXPECT_EQ(std::memcmp(block, "kee", 3), 0);
    EXPECT_TRUE(HeapFree(heap, 0, block));
}

TEST(PlatformHeap, HugeAllocationFailsWithNull) {
    EXPECT_EQ(HeapAlloc(GetProcessHeap(), 0, 0x7FFFFFF0u), nullptr);
}

// Regression for "The POSIX heap reads 8 bytes in front of any pointer it is given": a
// pointer that is no live block is refused with ERROR_INVALID_PARAMETER by all three calls.
TEST(PlatformHeap, ForeignInteriorAndFreedPointersAreRefusedCleanly) {
    HANDLE heap = GetProcessHeap();
    static char foreignStatic[64];
    char foreignStack[32];
    auto* live = static_cast<char*>(HeapAlloc(heap, 0, 40));
    auto* freed = static_cast<char*>(HeapAlloc(heap, 0, 40));
    ASSERT_TRUE(HeapFree(heap, 0, freed));
    for (char* pointer : {foreignStatic + 16, foreignStack + 8, live + 8, freed}) {
        SetLastError(0);
        EXPECT_FALSE(HeapFree(heap, 0, pointer));
        EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
        SetLastError(0);
        EXPECT_EQ(HeapSize(heap, 0, pointer), static_cast<SIZE_T>(-1));
        EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
        SetLastError(0);
        EXPECT_EQ(HeapReAlloc(heap, 0, pointer, 100), nullptr);
        EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    }
    EXPECT_EQ(HeapSize(heap, 0, live), 40u);
    EXPECT_TRUE(HeapFree(heap, 0, live));
    EXPECT_TRUE(HeapFree(heap, 0, nullptr));
}

#ifndef _WIN32
// The emulation promises more than Windows, whose heap also looks in front of a pointer:
// a pointer just past an unreadable page is refused without a fault.
TEST(PlatformHeap, PointerAfterAnUnreadablePageIsRefusedWithoutReadingIt) {
    GuardedPage page;
    char* pointer = page.Unreadable() + 8;
    EXPECT_FALSE(HeapFree(GetProcessHeap(), 0, pointer));
    EXPECT_EQ(HeapSize(GetProcessHeap(), 0, pointer), static_cast<SIZE_T>(-1));
    EXPECT_EQ(HeapReAlloc(GetProcessHeap(), 0, pointer, 8), nullptr);
}
#endif

// Many live blocks at once, freed and moved in an interleaved order: every size stays with
// its block.
TEST(PlatformHeap, ThousandsOfBlocksKeepTheirSizesThroughFreesAndMoves) {
    HANDLE heap = GetProcessHeap();
    constexpr int kBlocks = 5000;
    std::vector<char*> blocks(kBlocks);
    for (int i = 0; i < kBlocks; ++i) blocks[i] = static_cast<char*>(HeapAlloc(heap, 0, i % 97 + 1));
    for (int i = 0; i < kBlocks; i += 2) ASSERT_TRUE(HeapFree(heap, 0, blocks[i]));
    for (int i = 1; i < kBlocks; i += 4)
        ASSERT_NE(blocks[i] = static_cast<char*>(HeapReAlloc(heap, 0, blocks[i], 300 + i)), nullptr);
    for (int i = 1; i < kBlocks; i += 2) {
        SIZE_T expected = (i % 4 == 1) ? static_cast<SIZE_T>(300 + i) : static_cast<SIZE_T>(i % 97 + 1);
        ASSERT_EQ(HeapSize(heap, 0, blocks[i]), expected) << i;
        ASSERT_TRUE(HeapFree(heap, 0, blocks[i]));
    }
}

TEST(PlatformModule, FileNameIsTheRunningExecutable) {
    char name[300];
    DWORD length = GetModuleFileNameA(nullptr, name, sizeof name);
    ASSERT_GT(length, 0u);
    EXPECT_EQ(std::strlen(name), length);
    std::string path(name);
    EXPECT_NE(path.find("tarnfold_platform_tests"), std::string::npos) << path;
#ifdef _WIN32
    EXPECT_NE(path.find('\\'), std::string::npos);
#else
    EXPECT_EQ(path.front(), '/');
#endif
}

// A short buffer gets the name's start and the call returns the buffer size. Whether the
// cut name is terminated differs between systems, so callers terminate it themselves.
TEST(PlatformModule, ShortBufferGetsTheStartOfTheName) {
    char full[300];
    GetModuleFileNameA(nullptr, full, sizeof full);
    char name[8];
    std::memset(name, 'x', sizeof name);
    EXPECT_EQ(GetModuleFileNameA(nullptr, name, 5), 5u);
    EXPECT_EQ(std::memcmp(name, full, 4), 0);
    EXPECT_EQ(name[5], 'x');
}

TEST(PlatformErrors, SystemTextEndsInCrLf) {
    char text[1024];
    DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM, nullptr, ERROR_FILE_NOT_FOUND, 0,
                                  text, sizeof text, nullptr);
    ASSERT_GT(length, 2u);
    EXPECT_EQ(std::strlen(text), length);
    EXPECT_EQ(std::string(text + length - 2), "\r\n");
}

TEST(PlatformErrors, LastErrorIsPerCallValue) {
    SetLastError(1234);
    EXPECT_EQ(GetLastError(), 1234u);
    SetLastError(0);
    EXPECT_EQ(GetLastError(), 0u);
}

TEST(PlatformText, BadStringPtrChecksReadabilityWithoutFaulting) {
    EXPECT_TRUE(IsBadStringPtrA(nullptr, 127));
    EXPECT_FALSE(IsBadStringPtrA("readable", 127));
    GuardedPage page;
    char* tail = page.Tail(10);
    std::memset(tail, 'a', 10);
    EXPECT_FALSE(IsBadStringPtrA(tail, 10));

    // From here the check meets the unreadable page.
    TARNFOLD_SKIP_WHERE_FAULTS_ARE_NOT_CAUGHT();
    EXPECT_TRUE(IsBadStringPtrA(page.Unreadable(), 127));
    // Ten unterminated bytes before the guard: bad only when the check must go past them.
    EXPECT_TRUE(IsBadStringPtrA(tail, 127));
    tail[9] = '\0';
    EXPECT_FALSE(IsBadStringPtrA(tail, 127));
}

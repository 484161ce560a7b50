// Handles, standard handles and the console calls on handles that are no console: the
// emulation against Windows, with the same expectations on both targets.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/win32.h"
#include "support/test_files.h"

#ifndef _WIN32
#include <sys/resource.h>

#include <filesystem>
#include <iterator>
#endif

namespace {

struct Pipe {
    HANDLE reader = nullptr;
    HANDLE writer = nullptr;
    Pipe() { EXPECT_TRUE(CreatePipe(&reader, &writer, nullptr, 0)); }
    ~Pipe() {
        if (reader != nullptr) CloseHandle(reader);
        if (writer != nullptr) CloseHandle(writer);
    }
    void CloseWriter() {
        CloseHandle(writer);
        writer = nullptr;
    }
    // Everything written so far; closes the writing end.
    std::string Drain() {
        CloseWriter();
        std::string all;
        char buffer[256];
        DWORD got = 0;
        while (ReadFile(reader, buffer, sizeof buffer, &got, nullptr) && got > 0) all.append(buffer, got);
        return all;
    }
};

bool IsUsableValue(HANDLE h) { return h != nullptr && h != INVALID_HANDLE_VALUE; }

}  // namespace

TEST(StandardHandles, AreStableValuesThatAreNeitherZeroNorInvalid) {
    for (DWORD which : {STD_INPUT_HANDLE, STD_OUTPUT_HANDLE, STD_ERROR_HANDLE}) {
        HANDLE h = GetStdHandle(which);
        EXPECT_TRUE(IsUsableValue(h));
        EXPECT_EQ(GetStdHandle(which), h);
    }
    EXPECT_NE(GetStdHandle(STD_INPUT_HANDLE), GetStdHandle(STD_OUTPUT_HANDLE));
    EXPECT_EQ(GetStdHandle(static_cast<DWORD>(-13)), INVALID_HANDLE_VALUE);
}

TEST(StandardHandles, SetStdHandleRedirectsWhatGetStdHandleReturns) {
    Pipe pipe;
    HANDLE saved = GetStdHandle(STD_OUTPUT_HANDLE);
    ASSERT_TRUE(SetStdHandle(STD_OUTPUT_HANDLE, pipe.writer));
    EXPECT_EQ(GetStdHandle(STD_OUTPUT_HANDLE), pipe.writer);
    DWORD written = 0;
    EXPECT_TRUE(WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), "abc", 3, &written, nullptr));
    SetStdHandle(STD_OUTPUT_HANDLE, saved);
    EXPECT_EQ(written, 3u);
    EXPECT_EQ(pipe.Drain(), "abc");
}

TEST(Handles, PipeEndsCarryBytesAndReportAClosedWriterAsBrokenPipe) {
    Pipe pipe;
    EXPECT_TRUE(IsUsableValue(pipe.reader));
    EXPECT_TRUE(IsUsableValue(pipe.writer));
    EXPECT_NE(pipe.reader, pipe.writer);
    DWORD written = 99;
    EXPECT_TRUE(WriteFile(pipe.writer, "", 0, &written, nullptr));
    EXPECT_EQ(written, 0u);
    EXPECT_TRUE(WriteFile(pipe.writer, "hello\0x", 7, &written, nullptr));
    EXPECT_EQ(written, 7u);
    pipe.CloseWriter();
    char buffer[16] = {};
    DWORD got = 0;
    EXPECT_TRUE(ReadFile(pipe.reader, buffer, sizeof buffer, &got, nullptr));
    EXPECT_EQ(got, 7u);
    EXPECT_EQ(std::memcmp(buffer, "hello\0x", 7), 0);
    got = 99;
    SetLastError(0);
    EXPECT_FALSE(ReadFile(pipe.reader, buffer, sizeof buffer, &got, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_BROKEN_PIPE));
    EXPECT_EQ(got, 0u);
}

TEST(Handles, ClosedAndMadeUpHandlesAreRefused) {
    HANDLE reader, writer;
    ASSERT_TRUE(CreatePipe(&reader, &writer, nullptr, 0));
    EXPECT_TRUE(CloseHandle(writer));
    SetLastError(0);
    EXPECT_FALSE(CloseHandle(writer));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    EXPECT_TRUE(CloseHandle(reader));

    HANDLE madeUp = reinterpret_cast<HANDLE>(static_cast<std::uintptr_t>(0x1234));
    for (HANDLE bad : {madeUp, static_cast<HANDLE>(nullptr), INVALID_HANDLE_VALUE}) {
        DWORD count = 99;
        char byte = 'x';
        SetLastError(0);
        EXPECT_FALSE(WriteFile(bad, &byte, 1, &count, nullptr));
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
        EXPECT_EQ(count, 0u);
    }
    DWORD count = 99;
    char byte;
    SetLastError(0);
    EXPECT_FALSE(ReadFile(madeUp, &byte, 1, &count, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    EXPECT_EQ(count, 0u);
}

// File handles beyond the emulation's first 256: distinct values, multiples of 4 that are
// neither 0 nor INVALID_HANDLE_VALUE, each usable, as on Windows.
TEST(Handles, ThousandsOfOpenFilesGetDistinctUsableHandles) {
    const char* const name = "tf_handles_many.tmp";
    HANDLE first = CreateFileA(name, GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(first, INVALID_HANDLE_VALUE);
    DWORD written = 0;
    EXPECT_TRUE(WriteFile(first, "xyz", 3, &written, nullptr));
    CloseHandle(first);
    std::vector<HANDLE> open;
    for (int i = 0; i < 2000; ++i) {
        HANDLE h = CreateFileA(name, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_TRUE(IsUsableValue(h)) << "open " << i << ", error " << GetLastError();
        EXPECT_EQ(reinterpret_cast<std::uintptr_t>(h) % 4, 0u);
        open.push_back(h);
    }
    std::vector<HANDLE> sorted = open;
    std::sort(sorted.begin(), sorted.end());
    EXPECT_EQ(std::adjacent_find(sorted.begin(), sorted.end()), sorted.end());
    char byte = 0;
    DWORD got = 0;
    EXPECT_TRUE(ReadFile(open.back(), &byte, 1, &got, nullptr));
    EXPECT_EQ(byte, 'x');
    for (HANDLE h : open) EXPECT_TRUE(CloseHandle(h));
    std::remove(name);
}

#ifndef _WIN32
// In a child: lowers the soft descriptor limit (and the hard one with `lowerHard`) to 16
// above what is open, then opens `name` 100 times (sharing writes, so that only the limit
// can refuse the CREATE_ALWAYS after them). Returns 0 when all opened (soft limit)
// or when every refusal is ERROR_TOO_MANY_OPEN_FILES (hard limit); else which check failed.
int OpenPastTheLimit(const char* name, bool lowerHard) {
    rlimit limit;
    getrlimit(RLIMIT_NOFILE, &limit);
    limit.rlim_cur = static_cast<rlim_t>(std::distance(std::filesystem::directory_iterator("/proc/self/fd"),
                                                       std::filesystem::directory_iterator{})) + 16;
    if (lowerHard) limit.rlim_max = limit.rlim_cur;
    if (limit.rlim_cur > limit.rlim_max || setrlimit(RLIMIT_NOFILE, &limit) != 0) return 10;
    int opened = 0;
    for (; opened < 100; ++opened)
        if (CreateFileA(name, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                        FILE_ATTRIBUTE_NORMAL, nullptr) == INVALID_HANDLE_VALUE)
            break;
    if (!lowerHard) return opened == 100 ? 0 : 11;
    if (opened == 100 || GetLastError() != ERROR_TOO_MANY_OPEN_FILES) return 12;
    HANDLE emptying = CreateFileA(name, GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (emptying != INVALID_HANDLE_VALUE || GetLastError() != ERROR_TOO_MANY_OPEN_FILES) return 13;
    HANDLE reader = nullptr, writer = nullptr;
    if (CreatePipe(&reader, &writer, nullptr, 0) || GetLastError() != ERROR_TOO_MANY_OPEN_FILES) return 14;
    WIN32_FIND_DATAA data;
    if (FindFirstFileA(name, &data) != INVALID_HANDLE_VALUE || GetLastError() != ERROR_TOO_MANY_OPEN_FILES) return 15;
    return 0;
}

// The system's own limit on open descriptors (RLIMIT_NOFILE), which Windows does not have:
// a low soft limit is raised to the hard one on the first refusal and the open retried;
// where the hard limit refuses, the error is Windows' "too many open files" (4), never "not
// found", and an existing file that CREATE_ALWAYS would empty keeps its bytes. Each case
// runs in a child: a lowered hard limit cannot be raised again.
TEST(Handles, OpensPastTheDescriptorLimitReportTooManyOpenFiles) {
    const char* const name = "tf_handles_limit.tmp";
    tarnfold::testing_support::WriteWholeFile(name, "keep");
    for (bool lowerHard : {false, true}) {
        SCOPED_TRACE(lowerHard ? "hard limit reached" : "soft limit raised to the hard one");
        EXPECT_EXIT(std::_Exit(OpenPastTheLimit(name, lowerHard)), ::testing::ExitedWithCode(0), "");
        EXPECT_EQ(tarnfold::testing_support::ReadWholeFile(name), "keep");
    }
    std::remove(name);
}
#endif

// Windows refuses console calls on a handle that is no console and writes nothing: a
// redirected program must not find escape sequences or stray text in its output.
TEST(ConsoleCalls, FailAndWriteNothingOnAHandleThatIsNoConsole) {
    Pipe pipe;
    SetLastError(0);
    EXPECT_FALSE(SetConsoleTextAttribute(pipe.writer, 0xF0));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));

    DWORD written = 99;
    const WCHAR text[] = {u'h', u'i', 0};
    SetLastError(0);
    EXPECT_FALSE(WriteConsoleW(pipe.writer, text, 2, &written, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    EXPECT_EQ(written, 0u);

    SetLastError(0);
    EXPECT_FALSE(FlushConsoleInputBuffer(pipe.reader));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    EXPECT_EQ(pipe.Drain(), "");
}

// Handles, standard handles and the console calls on handles that are no console: the
// emulation against Windows, with the same expectations on both targets.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "platform/win32.h"

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

// WriteStdout, WaitKey and ReadKey. Output is captured through a pipe set as the standard
// output handle, on both targets; the keyboard runs on a pseudo-terminal (Linux only: on
// Windows _getch reads the console window, which the end-to-end demo test drives).
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "platform/win32.h"
#include "support/guard_page.h"
#include "tarnfold.h"

#ifndef _WIN32
#include <fcntl.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace tarnfold {
namespace {

struct Captured {
    std::uint32_t returned;
    std::string bytes;
};

// Runs WriteStdout(text) with standard output redirected to a pipe.
Captured CaptureWriteStdout(const char* text) {
    HANDLE reader, writer;
    EXPECT_TRUE(CreatePipe(&reader, &writer, nullptr, 0));
    HANDLE saved = GetStdHandle(STD_OUTPUT_HANDLE);
    SetStdHandle(STD_OUTPUT_HANDLE, writer);
    std::uint32_t returned = WriteStdout(text);
    SetStdHandle(STD_OUTPUT_HANDLE, saved);
    CloseHandle(writer);
    std::string bytes;
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(reader, buffer, sizeof buffer, &got, nullptr) && got > 0) bytes.append(buffer, got);
    CloseHandle(reader);
    return {returned, bytes};
}

}  // namespace

TEST(WriteStdout, AnEmptyTextWritesNothing) {
    Captured out = CaptureWriteStdout("");
    EXPECT_EQ(out.returned, 0u);
    EXPECT_EQ(out.bytes, "");
}

// The terminator at every place in its word and the text at every alignment, with the
// terminator's word ending right at an unreadable page: the scan neither faults nor stops
// early at high bytes, nor reads the bytes that follow the terminator as text.
TEST(WriteStdout, MeasuresUpToTheFirstZeroWhereverItFallsAndNeverFaults) {
    testing_support::GuardedPage page;
    for (std::size_t length = 0; length <= 40; ++length) {
        for (std::size_t after = 0; after < 4; ++after) {
            char* text = page.Tail(length + 1 + after);
            std::string expected;
            for (std::size_t i = 0; i < length; ++i) {
                // High bytes, and 0x01 next to 0x80: the patterns a careless test flags.
                static const unsigned char kBytes[] = {0x80, 0x01, 0xFF, 'a', 0xC3, 0xA9, 0x01, 0x81};
                expected += static_cast<char>(kBytes[(i + length) % 8]);
            }
            std::memcpy(text, expected.data(), length);
            text[length] = '\0';
            for (std::size_t i = 0; i < after; ++i) text[length + 1 + i] = 'Z';
            Captured out = CaptureWriteStdout(text);
            EXPECT_EQ(out.returned, length) << "length " << length << " after " << after;
            EXPECT_EQ(out.bytes, expected) << "length " << length << " after " << after;
        }
    }
}

TEST(WriteStdout, WritesLongTextsWhole) {
    std::string text(3000, 'x');
    for (std::size_t i = 0; i < text.size(); i += 7) text[i] = static_cast<char>(0x80 + i % 120);
    Captured out = CaptureWriteStdout(text.c_str());
    EXPECT_EQ(out.returned, 3000u);
    EXPECT_EQ(out.bytes, text);
}

#ifndef _WIN32

namespace {

// A child process whose standard input is a fresh pseudo-terminal; `typed` arrives at
// `typeAfterMs`, `early` before the child starts reading. The child's exit code is the result.
int RunOnTerminal(int (*body)(), const char* early, const char* typed, int typeAfterMs) {
    int master = posix_openpt(O_RDWR | O_NOCTTY);
    grantpt(master);
    unlockpt(master);
    int slave = open(ptsname(master), O_RDWR | O_NOCTTY);
    if (*early != '\0' && write(master, early, std::strlen(early)) < 0) return -1;
    usleep(50000);
    pid_t child = fork();
    if (child == 0) {
        dup2(slave, STDIN_FILENO);
        exit(body());
    }
    usleep(static_cast<useconds_t>(typeAfterMs) * 1000);
    if (write(master, typed, std::strlen(typed)) < 0) return -1;
    int status = 0;
    waitpid(child, &status, 0);
    close(slave);
    close(master);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace

// Arrow, letter and function key: the key's own code and whether it came as two codes.
TEST(ReadKeyTerminal, KeysGiveTheirCodeAndTheExtendedFlag) {
    struct Case {
        const char* typed;
        std::int32_t code;
        std::int32_t extended;
    };
    static Case expected;  // read by the child, which inherits it
    for (const Case& c : {Case{"\x1b[B", 0x50, 1}, Case{"k", 'k', 0}, Case{"\x1bOQ", 0x3C, 1}}) {
        expected = c;
        int result = RunOnTerminal(
            [] {
                KeyPress key = ReadKey();
                return key.code == expected.code && key.extended == expected.extended ? 0 : 1;
            },
            "", c.typed, 100);
        EXPECT_EQ(result, 0) << "typed " << c.typed + (c.typed[0] == '\x1b');
    }
}

TEST(ReadKeyTerminal, AKeyPressedBeforeTheCallIsDiscarded) {
    int result = RunOnTerminal(
        [] {
            KeyPress key = ReadKey();
            return key.code == 'n' ? 0 : key.code == 'o' ? 2 : 1;
        },
        "o", "n", 300);
    EXPECT_EQ(result, 0);
}

TEST(WaitKeyTerminal, AnArrowGivesItsFirstCodeAndLeavesTheSecondUnread) {
    int result = RunOnTerminal(
        [] {
            if (WaitKey() != 0xE0) return 1;
            return _getch() == 0x48 ? 0 : 2;
        },
        "", "\x1b[A", 100);
    EXPECT_EQ(result, 0);
}

TEST(WaitKeyTerminal, AKeyPressedBeforeTheCallIsDiscarded) {
    int result = RunOnTerminal([] { return WaitKey() == 'y' ? 0 : 1; }, "x", "y", 300);
    EXPECT_EQ(result, 0);
}

// A console print with the read-key bit writes first, then waits for and consumes a key:
// the key typed later is gone afterwards, the one typed before the print was discarded.
TEST(ReadKeyTerminal, PrintWithTheReadKeyBitWaitsForANewKey) {
    int result = RunOnTerminal(
        [] {
            StringBuilder(ToConsole(1) | kBuildReadKey, "");
            return _kbhit() == 0 ? 0 : 1;
        },
        "x", "k", 200);
    EXPECT_EQ(result, 0);
}

#endif  // _WIN32

}  // namespace tarnfold

// The POSIX console on a real terminal (a pseudo-terminal): colours, wide output and the
// keyboard. Linux only: on Windows these calls drive the console window itself, which the
// Wine-run suite does not have; the end-to-end demo test covers them there.
#ifndef _WIN32

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/win32.h"

namespace {

struct Terminal {
    int master = -1;
    int slave = -1;
    Terminal() {
        master = posix_openpt(O_RDWR | O_NOCTTY);
        EXPECT_GE(master, 0);
        EXPECT_EQ(grantpt(master), 0);
        EXPECT_EQ(unlockpt(master), 0);
        slave = open(ptsname(master), O_RDWR | O_NOCTTY);
        EXPECT_GE(slave, 0);
        // Output as written: no LF to CR LF.
        termios mode;
        tcgetattr(slave, &mode);
        mode.c_oflag &= ~static_cast<tcflag_t>(OPOST);
        tcsetattr(slave, TCSANOW, &mode);
    }
    ~Terminal() {
        close(slave);
        close(master);
    }
    // What the program wrote to the terminal so far.
    std::string Screen() {
        std::string all;
        char buffer[512];
        pollfd entry{master, POLLIN, 0};
        while (poll(&entry, 1, 50) > 0) {
            ssize_t n = read(master, buffer, sizeof buffer);
            if (n <= 0) break;
            all.append(buffer, static_cast<std::size_t>(n));
        }
        return all;
    }
    void Type(const std::string& keys) {
        ASSERT_EQ(write(master, keys.data(), keys.size()), static_cast<ssize_t>(keys.size()));
    }
};

std::string Sgr(WORD attributes) {
    Terminal terminal;
    HANDLE console = tarnfold::posix::OpenHandle(dup(terminal.slave));
    EXPECT_TRUE(SetConsoleTextAttribute(console, attributes));
    CloseHandle(console);
    return terminal.Screen();
}

// Runs `keys` through _getch in a child whose standard input is the terminal; returns the
// codes it read (up to `count`), followed by the terminal's echo of them, if any.
struct KeyRun {
    std::vector<int> codes;
    std::string echo;
    termios after;
};

KeyRun ReadKeys(const std::string& keys, int count) {
    Terminal terminal;
    int results[2];
    EXPECT_EQ(pipe(results), 0);
    termios before;
    tcgetattr(terminal.slave, &before);
    before.c_lflag |= ICANON | ECHO;
    tcsetattr(terminal.slave, TCSANOW, &before);
    pid_t child = fork();
    if (child == 0) {
        dup2(terminal.slave, STDIN_FILENO);
        for (int i = 0; i < count; ++i) {
            int code = _getch();
            if (write(results[1], &code, sizeof code) != sizeof code) _exit(3);
        }
        exit(0);  // through exit(), which restores the terminal
    }
    close(results[1]);
    usleep(100000);  // the child has switched to raw mode and waits
    terminal.Type(keys);
    KeyRun run;
    int code;
    while (read(results[0], &code, sizeof code) == sizeof code) run.codes.push_back(code);
    close(results[0]);
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    run.echo = terminal.Screen();
    tcgetattr(terminal.slave, &run.after);
    return run;
}

}  // namespace

TEST(TerminalColours, WindowsAttributesBecomeOneSgrSequence) {
    EXPECT_EQ(Sgr(0xF0), "\x1b[0;30;107m");  // black on bright white
    EXPECT_EQ(Sgr(0xE0), "\x1b[0;30;103m");  // black on bright yellow (red + green)
    EXPECT_EQ(Sgr(0x1F), "\x1b[0;97;44m");   // bright white on blue: Windows blue is bit 0
    EXPECT_EQ(Sgr(0x0C), "\x1b[0;91;40m");   // bright red on black: Windows red is bit 2
    EXPECT_EQ(Sgr(0x07), "\x1b[0;37;40m");
    EXPECT_EQ(Sgr(0x8000 | 0x4000 | 0x02), "\x1b[0;4;7;32;40m");
}

TEST(TerminalOutput, WideTextArrivesAsUtf8) {
    Terminal terminal;
    HANDLE console = tarnfold::posix::OpenHandle(dup(terminal.slave));
    const char16_t text[] = u"\u0426\u0661 \U0001F600!";
    const char16_t lone[] = {u'a', 0xD800, u'b'};
    DWORD written = 0;
    EXPECT_TRUE(WriteConsoleW(console, text, 6, &written, nullptr));
    EXPECT_EQ(written, 6u);
    EXPECT_TRUE(WriteConsoleW(console, lone, 3, &written, nullptr));
    EXPECT_EQ(written, 3u);
    CloseHandle(console);
    EXPECT_EQ(terminal.Screen(), "\xD0\xA6\xD9\xA1 \xF0\x9F\x98\x80!a\xEF\xBF\xBD" "b");
}

TEST(TerminalOutput, LongWideTextKeepsSurrogatePairsWhole) {
    Terminal terminal;
    HANDLE console = tarnfold::posix::OpenHandle(dup(terminal.slave));
    std::u16string text(1023, u'x');
    text += u"\U0001F600";  // the pair straddles the converter's 1024-unit chunks
    DWORD written = 0;
    EXPECT_TRUE(WriteConsoleW(console, text.data(), static_cast<DWORD>(text.size()), &written, nullptr));
    EXPECT_EQ(written, 1025u);
    CloseHandle(console);
    EXPECT_EQ(terminal.Screen(), std::string(1023, 'x') + "\xF0\x9F\x98\x80");
}

TEST(TerminalKeyboard, ExtendedKeysComeAsTwoCodesWithWindowsScanCodes) {
    KeyRun run = ReadKeys("\x1b[A\x1b[B\x1b[C\x1b[D\x1b[H\x1b[F\x1b[5~\x1b[6~\x1b[2~\x1b[3~"
                          "\x1bOP\x1b[21~\x1b[1;5A",
                          26);
    std::vector<int> expected = {0xE0, 72, 0xE0, 80, 0xE0, 77, 0xE0, 75, 0xE0, 71,
                                 0xE0, 79, 0xE0, 73, 0xE0, 81, 0xE0, 82, 0xE0, 83,
                                 0,    59, 0,    68, 0xE0, 72};
    EXPECT_EQ(run.codes, expected);
}

TEST(TerminalKeyboard, PlainKeysAreUnbufferedAndUnechoedAndTheTerminalIsRestored) {
    KeyRun run = ReadKeys("a\r\x7f\x1b", 4);
    std::vector<int> expected = {'a', 13, 8, 27};
    EXPECT_EQ(run.codes, expected);
    EXPECT_EQ(run.echo, "");
    EXPECT_NE(run.after.c_lflag & ICANON, 0u);
    EXPECT_NE(run.after.c_lflag & ECHO, 0u);
}

TEST(TerminalKeyboard, FlushDiscardsWhatWasTypedBefore) {
    Terminal terminal;
    pid_t child = fork();
    if (child == 0) {
        dup2(terminal.slave, STDIN_FILENO);
        _kbhit();  // raw mode, so the typed key is waiting input
        usleep(200000);
        int flushed = FlushConsoleInputBuffer(GetStdHandle(STD_INPUT_HANDLE));
        int waiting = _kbhit();
        exit(flushed == TRUE && waiting == 0 ? 0 : 1);
    }
    usleep(100000);
    terminal.Type("q");
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

TEST(Keyboard, EndOfInputIsAKeySoNothingWaitsForever) {
    pid_t child = fork();
    if (child == 0) {
        int none[2];
        if (pipe(none) != 0) _exit(2);
        close(none[1]);
        dup2(none[0], STDIN_FILENO);
        exit(_kbhit() == 1 && _getch() == 26 && _getch() == 26 ? 0 : 1);
    }
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

#endif  // _WIN32

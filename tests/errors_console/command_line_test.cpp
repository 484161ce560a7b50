// CommandLineTail: both name rules over a table of command lines, each read at a page end.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "errors_console/command_line.h"
#include "support/guard_page.h"

namespace tarnfold {
namespace {

struct TailCase {
    const char* line;
    const char* tail;
};

// The tail of `line` placed so that its terminating zero is the last readable byte.
std::string TailAtPageEnd(const char* line, ProgramNameRule rule) {
    testing_support::GuardedPage page;
    std::size_t size = std::strlen(line) + 1;
    char* at = page.Tail(size);
    std::memcpy(at, line, size);
    return CommandLineTailOf(at, rule);
}

constexpr TailCase kExeSuffixCases[] = {
    {R"("C:\Program Files\prog.exe" "C:\My Files\a.txt")", R"(C:\My Files\a.txt)"},
    {"prog.exe a.txt b.txt", "a.txt b.txt"}, {"PROG.EXE /x", "/x"}, {"prog.Exe -x", "x"},
    {"prog.exe --.,-name.txt", "name.txt"}, {R"(prog.exe a "b c")", "a "},
    {R"("prog.exe" "first" "second")", "first"},
    {R"(C:\tools.exe\prog.exe file)", "prog.exe file"},  // the first .exe wins
    {".exe x", ""},  // the search starts at the second character
    {"prog.exe", ""}, {"prog.exe\"", ""}, {"prog.exe  -- .", ""}, {"prog.ex", ""}, {"prog.", ""},
    {"no program name", ""}, {"", ""},
};

constexpr TailCase kFirstWordCases[] = {
    {"/usr/bin/prog a.txt b.txt", "a.txt b.txt"}, {R"("/my dir/prog" "/my files/a.txt")", "/my files/a.txt"},
    {R"(prog "first" "second")", "first"}, {"prog -x", "x"}, {"prog\targ", "arg"},
    {"prog.exe.d/run a", "a"}, {"prog", ""}, {R"("/my dir/prog)", ""}, {"prog  - ", ""}, {"", ""},
};

TEST(CommandLineTail, ExeSuffixRule) {
    for (const TailCase& c : kExeSuffixCases)
        EXPECT_EQ(TailAtPageEnd(c.line, ProgramNameRule::ExeSuffix), c.tail) << c.line;
}

TEST(CommandLineTail, FirstWordRule) {
    for (const TailCase& c : kFirstWordCases)
        EXPECT_EQ(TailAtPageEnd(c.line, ProgramNameRule::FirstWord), c.tail) << c.line;
}

TEST(CommandLineTail, CommandLineTailCutsATailLongerThanTheBuffer) {
    for (ProgramNameRule rule : {ProgramNameRule::ExeSuffix, ProgramNameRule::FirstWord}) {
        std::string line = "prog.exe " + std::string(400, 'a') + "\"";
        std::string tail = TailAtPageEnd(line.c_str(), rule);
        EXPECT_EQ(tail, std::string(kCommandLineTailSize - 1, 'a'));
        line = "prog.exe " + std::string(kCommandLineTailSize - 1, 'b');
        EXPECT_EQ(TailAtPageEnd(line.c_str(), rule).size(), kCommandLineTailSize - 1);
    }
}

TEST(CommandLineTail, CommandLineTailStopsAtTheTerminatingZero) {
    // Bytes after the terminator must never join the tail.
    const char line[] = "prog.exe\0 after";
    EXPECT_EQ(std::string(CommandLineTailOf(line, ProgramNameRule::ExeSuffix)), "");
    const char quoted[] = "\"prog\0\" after";
    EXPECT_EQ(std::string(CommandLineTailOf(quoted, ProgramNameRule::FirstWord)), "");
}

// The process's own command line: a death-test child runs with Google Test's filter flag
// as its first argument on both targets, so its tail begins with that flag minus the dashes.
TEST(CommandLineTailDeathTest, ReadsTheProcessCommandLine) {
    EXPECT_EXIT(
        {
            char* tail = CommandLineTail();
            std::fprintf(stderr, "[tail:%s]", tail);
            std::fflush(stderr);
            std::_Exit(tail == CommandLineTailOf("") ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "\\[tail:gtest_filter=");
}

}  // namespace
}  // namespace tarnfold

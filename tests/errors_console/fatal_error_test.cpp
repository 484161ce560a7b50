// Fatal error messages, their composition, exit codes and clean-up.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "support/emulation.h"
#include "support/fatal_echo.h"
#include "platform/win32.h"
#include "support/guard_page.h"
#include "tarnfold.h"

namespace tarnfold {
namespace {

struct Composed {
    std::string text;
    FatalMessage fatal;
};

Composed Compose(std::int32_t code, const char* text) {
    char out[kFatalMessageCapacity];
    FatalMessage fatal = ComposeFatalMessage(code, text, out);
    return {out, fatal};
}

TEST(FatalMessages, TheElevenTextsAreExact) {
    const char* expected[] = {"GetLastError:\r\n#",
                              "HeapAlloc",
                              "HeapFree\n#",
                              "String table overflow",
                              "Could not open\n#\nfor Store",
                              "Could not open\n#\nfor Recall, FileRead$ etc.",
                              "Line #: Count too high",
                              "Line #: Array was erased",
                              "Too many strings: increase TfHeapStrings",
                              "Insufficient buffer or New$(<=0)",
                              "HeapSize failed for #"};
    for (int code = 0; code <= 10; ++code) EXPECT_STREQ(kFatalMessages[code], expected[code]) << code;
}

TEST(ComposeFatalMessage, InsertsTheTextAtTheFirstHash) {
    Composed c = Compose(5, "data.txt");
    EXPECT_EQ(c.text, "Could not open\ndata.txt\nfor Recall, FileRead$ etc.");
    EXPECT_EQ(c.fatal.code, 5);
    EXPECT_EQ(c.fatal.exitCode, -5);
    // An inserted '#' stays; only the message's own '#' is replaced.
    EXPECT_EQ(Compose(2, "a#b").text, "HeapFree\na#b");
    EXPECT_EQ(Compose(6, "").text, "Line : Count too high");
}

TEST(ComposeFatalMessage, UnreadableTextLeavesTheHash) {
    EXPECT_EQ(Compose(4, nullptr).text, "Could not open\n#\nfor Store");
    TARNFOLD_SKIP_WHERE_FAULTS_ARE_NOT_CAUGHT();
    testing_support::GuardedPage page;
    EXPECT_EQ(Compose(7, page.Unreadable()).text, "Line #: Array was erased");
}

TEST(ComposeFatalMessage, MessagesWithoutHashNeverReadTheText) {
    testing_support::GuardedPage page;
    for (int code : {1, 3, 8, 9}) {
        Composed c = Compose(code, page.Unreadable());
        EXPECT_EQ(c.text, kFatalMessages[code]);
        EXPECT_EQ(c.fatal.exitCode, -code);
    }
}

TEST(ComposeFatalMessage, InsertsAtMost127Bytes) {
    std::string long_text(200, 'z');
    Composed c = Compose(4, long_text.c_str());
    EXPECT_EQ(c.text, "Could not open\n" + std::string(127, 'z') + "\nfor Store");
    // The longest message fits the buffer: code 5 with a full insert.
    EXPECT_EQ(Compose(5, long_text.c_str()).text.size(), 169u);
}

TEST(ComposeFatalMessage, InsertStopsAtTheTerminatorBeforeAnUnreadablePage) {
    testing_support::GuardedPage page;
    char* tail = page.Tail(4);
    std::memcpy(tail, "abc", 4);
    EXPECT_EQ(Compose(10, tail).text, "HeapSize failed for abc");
}

// Code 0 and unknown codes show message 0 but never exit with 0, the code of success.
TEST(ComposeFatalMessage, UnknownCodesShowMessageZeroWithTheNumber) {
    Composed eleven = Compose(11, "ignored");
    EXPECT_EQ(eleven.text, "GetLastError:\r\n11");
    EXPECT_EQ(eleven.fatal.code, 0);
    EXPECT_EQ(eleven.fatal.exitCode, kFatalUnknownExitCode);
    EXPECT_EQ(Compose(-4, nullptr).text, "GetLastError:\r\n-4");
    EXPECT_EQ(Compose(-4, nullptr).fatal.exitCode, -11);
    EXPECT_EQ(Compose(0, "why\r\n").fatal.exitCode, -11);
}

TEST(Int32ToDecimal, AllDigitsAndTheSign) {
    char buffer[16];
    auto text = [&](std::int32_t v) {
        std::memset(buffer, 'x', sizeof buffer);
        Int32ToDecimal(v, buffer);
        return std::string(buffer);
    };
    EXPECT_EQ(text(0), "0");
    EXPECT_EQ(text(-1), "-1");
    EXPECT_EQ(text(7), "7");
    EXPECT_EQ(text(1000), "1000");
    EXPECT_EQ(text(2147483647), "2147483647");
    EXPECT_EQ(text(-2147483647 - 1), "-2147483648");
    EXPECT_EQ(buffer[12], 'x');  // at most 12 bytes written
}

TEST(FatalErrorDeathTest, EveryMessageWithItsExitCode) {
    EXPECT_FATAL(FatalError(1), -1, "HeapAlloc");
    EXPECT_FATAL(FatalError(2, "block text"), -2, "HeapFree\nblock text");
    EXPECT_FATAL(FatalError(3), -3, "String table overflow");
    EXPECT_FATAL(FatalError(4, nullptr), -4, "Could not open\n#\nfor Store");
    EXPECT_FATAL(FatalError(5, "data.txt"), -5, "Could not open\ndata.txt\nfor Recall, FileRead$ etc.");
    EXPECT_FATAL(FatalError(8, "never read"), -8, "Too many strings: increase TfHeapStrings");
    EXPECT_FATAL(FatalError(9), -9, "Insufficient buffer or New$(<=0)");
    EXPECT_FATAL(FatalError(11), -11, "GetLastError:\r\n11");
    EXPECT_FATAL(FatalError(-4), -11, "GetLastError:\r\n-4");
}

TEST(FatalErrorDeathTest, LineAndNumberForms) {
    EXPECT_FATAL(
        {
            ErrorLine = 125;
            FatalLineError(6);
        },
        -6, "Line 125: Count too high");
    EXPECT_FATAL(
        {
            ErrorLine = -3;
            FatalLineError(7);
        },
        -7, "Line -3: Array was erased");
    EXPECT_FATAL(FatalNumberError(-12), -10, "HeapSize failed for -12");
}

TEST(FatalErrorDeathTest, SystemErrorShowsTheSystemTextAndNeverExitsWithZero) {
    EXPECT_EXIT(
        {
            testing_support::EchoFatalMessages();
            SetLastError(ERROR_FILE_NOT_FOUND);
            FatalSystemError();
        },
        ::testing::ExitedWithCode(testing_support::ExitCodeAsSeen(-11)),
        ::testing::HasSubstr("[Fatal error:|GetLastError:\r\n"));
}

// The heap strings are still registered while the box shows and freed before the exit.
TEST(FatalErrorDeathTest, HeapStringsAreReleasedAfterTheBox) {
    EXPECT_EXIT(
        {
            RegisterHeapString(AllocBlock(32, true));
            SetFatalObserver([](const char*, const char*) {
                int registered = 0;
                for (int i = 0; i < TfHeapStrings; ++i) registered += HeapStringRegistry[i] != 0;
                std::fprintf(stderr, "registered during box: %d\n", registered);
            });
#ifndef _WIN32
            std::atexit([] {
                int registered = 0;
                for (int i = 0; i < TfHeapStrings; ++i) registered += HeapStringRegistry[i] != 0;
                std::fprintf(stderr, "registered at exit: %d\n", registered);
            });
#endif
            FatalError(9);
        },
        ::testing::ExitedWithCode(testing_support::ExitCodeAsSeen(-9)),
#ifdef _WIN32
        ::testing::HasSubstr("registered during box: 1"));
#else
        ::testing::AllOf(::testing::HasSubstr("registered during box: 1"),
                         ::testing::HasSubstr("registered at exit: 0")));
#endif
}

}  // namespace
}  // namespace tarnfold

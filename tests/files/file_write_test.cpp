// The builder's file destination: exact byte counts, wide counts, failures and fatal clean-up.
#include <cstring>
#include <string>

#include "file_fixture.h"
#include "support/fatal_echo.h"

namespace tarnfold {
namespace {

using FileWriteTest = testing_support::FileTest;
using testing_support::ReadWholeFile;

TEST_F(FileWriteTest, WritesExactlyTheResultWithItsZeroBytesAndNoTerminator) {
    std::string name = Name("exact");
    ASSERT_NE(OpenOutput(2, name.c_str(), 'O'), kFailedSlot);
    StringBuilder(ToFileSlot(2, 3), "ab", kTokenCrLf, "c");
    NewStr(3);
    StringBuilder(ToFileSlot(2, 2), kLastTemp, "z");
    CloseFile(2);
    EXPECT_EQ(ReadWholeFile(name), std::string("ab\r\nc\0\0\0z", 9));
}

TEST_F(FileWriteTest, WideResultsCountSixteenBitUnitsUpToTheFirstZeroUnit) {
    std::string name = Name("wide");
    ASSERT_NE(OpenOutput(2, name.c_str(), 'O'), kFailedSlot);
    StringBuilder(ToFileSlot(2, 2) | kBuildWide, u"h\u00e9", u"\u0416");
    // Odd leftovers in the room must not extend the count: fill the ring ahead with 'x'.
    std::memset(RingPosition(), 'x', 64);
    StringBuilder(ToFileSlot(2, 1) | kBuildWide, u"!");
    CloseFile(2);
    EXPECT_EQ(ReadWholeFile(name), std::string("h\0\xe9\0\x16\x04!\0", 8));
}

// The system's own text for an invalid handle (Windows' text in the emulation).
std::string InvalidHandleText() {
    char text[1024];
    DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM, nullptr, ERROR_INVALID_HANDLE, 0,
                                  text, sizeof text, nullptr);
    return std::string(text, length);
}

TEST_F(FileWriteTest, WriteToAFreeSlotShowsTheSystemTextForAnInvalidHandle) {
#ifndef _WIN32
    EXPECT_EQ(InvalidHandleText(), "The handle is invalid.\r\n");
#endif
    EXPECT_FATAL(StringBuilder(ToFileSlot(6, 1), "lost"), kFatalUnknownExitCode,
                 "GetLastError:\r\n" + InvalidHandleText());
}

// Slots past the request's four bits name no other destination: 15 is no console write,
// 16 and 17 no wide write to the open slots 0 and 1, -2 no element.
TEST_F(FileWriteTest, FileRequestNamingSlotOutsideZeroToNineFailsAsAFreeSlot) {
    const std::string name = "tarnfold_write_alias.txt";
    for (int slot : {10, 14, 15, 16, 17, -1, -2}) {
        SCOPED_TRACE(slot);
        EXPECT_FATAL(
            {
                OpenOutput(0, name.c_str(), 'o');
                OpenOutput(1, name.c_str(), 'a');
                StringBuilder(ToFileSlot(slot, 1), "lost");
            },
            kFatalUnknownExitCode, "GetLastError:\r\n" + InvalidHandleText());
    }
    EXPECT_EQ(ReadWholeFile(name), "");
    std::remove(name.c_str());
}

// The slot is closed before the box shows, and what was written is on disk.
TEST_F(FileWriteTest, FatalErrorLeavesWrittenDataOnDiskAndClosesTheSlotFirst) {
    std::string name = Name("fatal");
    EXPECT_EXIT(
        {
            SetFatalObserver([](const char* message, const char*) {
                std::fprintf(stderr, "[%s|slot 3 holds %u]\n", message, FileSlotTable[3]);
                std::fflush(stderr);
            });
            OpenOutput(3, name.c_str(), 'O');
            StringBuilder(ToFileSlot(3, 2), "kept ", "data");
            NewStr(0);
        },
        ::testing::ExitedWithCode(testing_support::ExitCodeAsSeen(-9)),
        ::testing::HasSubstr("[Insufficient buffer or New$(<=0)|slot 3 holds 0]"));
    EXPECT_EQ(ReadWholeFile(name), "kept data");
}

}  // namespace
}  // namespace tarnfold

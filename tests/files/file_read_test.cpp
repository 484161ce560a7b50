// FileRead$: the file-contents record, expanded through slot 9 into any destination.
#include <cstring>
#include <string>

#include "file_fixture.h"
#include "support/fatal_echo.h"

namespace tarnfold {
namespace {

using FileReadTest = testing_support::FileTest;
using testing_support::ReadWholeFile;
using testing_support::WriteWholeFile;

TEST_F(FileReadTest, ContentsArriveBetweenOtherPartsAndLeaveSlotNineFree) {
    std::string name = Name("ten");
    WriteWholeFile(name, "0123456789");
    RecordedTemp temp = FileReadStr(name.c_str());
    EXPECT_EQ(temp.slot->length, 10);
    EXPECT_EQ(FindHandle, 0u);
    char* variable = StringBuilder(ToVariable(3), "<", kLastTemp, ">", nullptr);
    EXPECT_STREQ(variable, "<0123456789>");
    EXPECT_EQ(FileSlotTable[kScratchFileSlot], kFreeSlot);
    ReleaseHeapString(variable);
}

TEST_F(FileReadTest, OneByteFileIsStillExpanded) {
    std::string name = Name("one");
    WriteWholeFile(name, "Q");
    FileReadStr(name.c_str());
    char* variable = StringBuilder(ToVariable(1), kLastTemp, nullptr);
    EXPECT_STREQ(variable, "Q");
    ReleaseHeapString(variable);
}

// The record is measured when it is made and read when it is used: whatever the read no
// longer delivers reads as zeros, never as the bytes that lay in the room before.
TEST_F(FileReadTest, VanishedOrShrunkFileLeavesZerosNotOldMemory) {
    std::string name = Name("shrinks"), out = Name("shrinks_out");
    ASSERT_NE(OpenOutput(4, out.c_str(), 'O'), kFailedSlot);
    WriteWholeFile(name, "0123456789");
    FileReadStr(name.c_str());
    WriteWholeFile(name, "abcd");
    std::memset(RingPosition(), 'Z', 64);
    StringBuilder(ToFileSlot(4, 1), kLastTemp);

    WriteWholeFile(name, "0123456789");
    FileReadStr(name.c_str());
    std::remove(name.c_str());
    std::memset(RingPosition(), 'Z', 64);
    StringBuilder(ToFileSlot(4, 2), kLastTemp, "|");
    CloseFile(4);
    EXPECT_EQ(ReadWholeFile(out), std::string("abcd\0\0\0\0\0\0", 10) + std::string(10, '\0') + "|");
}

TEST_F(FileReadTest, MissingFileEndsTheProgramWithTheNameOnThreeLines) {
    EXPECT_FATAL(FileReadStr("tf_no_such_file.tmp"), -5,
                 "Could not open\ntf_no_such_file.tmp\nfor Recall, FileRead$ etc.");
}

}  // namespace
}  // namespace tarnfold

// FileRead$: the file-contents record, expanded into any destination.
#include <cstdint>
#include <cstring>
#include <string>

#include "file_fixture.h"
#include "support/fatal_echo.h"

namespace tarnfold {
namespace {

using FileReadTest = testing_support::FileTest;
using testing_support::ReadWholeFile;
using testing_support::WriteWholeFile;

TEST_F(FileReadTest, ContentsArriveBetweenOtherParts) {
    std::string name = Name("ten");
    WriteWholeFile(name, "0123456789");
    RecordedTemp temp = FileReadStr(name.c_str());
    EXPECT_EQ(temp.slot->length, 10);
    EXPECT_EQ(FindHandle, 0u);
    char* variable = StringBuilder(ToVariable(3), "<", kLastTemp, ">", nullptr);
    EXPECT_STREQ(variable, "<0123456789>");
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

// Regression: a file of 2 to 4 GiB has a size that reads as a negative length; its
// absolute value made a 3,000,000,000-byte file expand to its first 1,294,967,296 bytes,
// reported as the whole file. No text that long can be made: FatalError 1.
TEST_F(FileReadTest, FileOfTwoToFourGiBIsReadTruncated) {
    std::string name = Name("three_billion");
    HANDLE h = CreateFileA(name.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    LONG high = 0;  // one byte at 3,000,000,000 - 1: a sparse file
    SetFilePointer(h, static_cast<LONG>(3000000000u - 1), &high, FILE_BEGIN);
    DWORD written = 0;
    ASSERT_TRUE(WriteFile(h, "z", 1, &written, nullptr));
    CloseHandle(h);
    EXPECT_FATAL(FileReadStr(name.c_str()), -1, "HeapAlloc");
}

// Regression: the size's high part was not looked at, so a file of 4 GiB + 10 bytes read as
// 10 bytes (FileRead$) or as a 10-byte file (Recall) and 4 GiB as an empty one. No text or
// file block that large can be made: every file of 2 GiB or more is FatalError 1, whichever
// way it is read.
TEST_F(FileReadTest, FilesOfFourGiBAndMoreAreCutToTheirLow32Bits) {
    const std::uint64_t sizes[] = {0x80000000ull, 0x100000000ull, 0x10000000Aull, 5000000000ull};
    const struct {
        const char* way;
        void (*read)(const char* name);
    } ways[] = {
        {"FileRead$", [](const char* name) { FileReadStr(name); }},
        {"Recall by name", [](const char* name) { Recall(name, 3); }},
        {"Recall from a slot",
         [](const char* name) {
             OpenInput(4, name, kNoSearch);
             Recall(FileRef{4}, 3);
         }},
    };
    std::string name = Name("four_gib");
    for (std::uint64_t size : sizes) {
        testing_support::WriteSparseFile(name, size);
        for (const auto& way : ways) {
            SCOPED_TRACE(std::string(way.way) + ", " + std::to_string(size) + " bytes");
            EXPECT_FATAL(way.read(name.c_str()), -1, "HeapAlloc");
        }
    }
}

// The record is measured when it is made and read when it is used. A file that shrank or
// grew in between ends the program naming it: zeros or a cut text would go on as data.
// Slot 9 is the program's like any other: FileRead$, Recall and Store leave it alone.
TEST_F(FileReadTest, FileWhoseSizeChangedIsFatalAndNoSlotIsTouched) {
    std::string name = Name("changes"), mine = Name("slot_nine");
    for (const char* now : {"abcd", "0123456789 and more"}) {
        SCOPED_TRACE(now);
        WriteWholeFile(name, "0123456789");
        EXPECT_FATAL(
            {
                FileReadStr(name.c_str());
                WriteWholeFile(name, now);
                StringBuilder(ToVariable(1), kLastTemp, nullptr);
            },
            -5, "Could not open\n" + name + "\nfor Recall, FileRead$ etc.");
    }
    WriteWholeFile(mine, "mine\r\n");
    WriteWholeFile(name, "x\r\n");
    ASSERT_NE(OpenInput(9, mine.c_str(), kNoSearch), kFailedSlot);
    const Word held = FileSlotTable[9];
    FileReadStr(name.c_str());
    char* variable = StringBuilder(ToVariable(1), kLastTemp, nullptr);
    EXPECT_STREQ(variable, "x\r\n");
    ReleaseHeapString(variable);
    Recall(name.c_str(), 3);
    Store(name.c_str(), 3);
    EXPECT_EQ(FileSlotTable[9], held);
    char read[16] = {};
    EXPECT_EQ(ReadBytes(9, read, 6), 6);
    EXPECT_STREQ(read, "mine\r\n");
    CloseFile(9);
    EraseArray(3);
}

// A name with '?' in it measures that file, not a neighbour the wildcard would match.
TEST_F(FileReadTest, NameIsMeasuredAsItIsOpened) {
#ifndef _WIN32
    std::string literal = Name("q?"), neighbour = Name("qk");
    WriteWholeFile(neighbour, "0123456789");
    WriteWholeFile(literal, "ab");
    FileReadStr(literal.c_str());
    char* variable = StringBuilder(ToVariable(1), kLastTemp, nullptr);
    EXPECT_STREQ(variable, "ab");
    ReleaseHeapString(variable);
    std::remove(literal.c_str());
    std::remove(neighbour.c_str());
#endif
}

// Regression: a file that cannot be opened when the record is expanded (open for writing
// in another slot, a wildcard that only the lookup matches, or gone since) gave zeros as
// its contents, reported as success. It ends the program as a missing file does.
TEST_F(FileReadTest, FileThatCannotBeOpenedAtExpansionGaveZeros) {
    std::string name = Name("held"), wild = Name("wild1");
    WriteWholeFile(name, "0123456789");
    WriteWholeFile(wild, "abc");
    EXPECT_FATAL(
        {
            OpenOutput(2, name.c_str(), kModeAppend);
            FileReadStr(name.c_str());
            StringBuilder(ToVariable(1), kLastTemp, nullptr);
        },
        -5, "Could not open\n" + name + "\nfor Recall, FileRead$ etc.");
    EXPECT_FATAL(
        {
            FileReadStr("tf_wild?.tmp");
            StringBuilder(ToVariable(1), kLastTemp, nullptr);
        },
        -5, "Could not open\ntf_wild?.tmp\nfor Recall, FileRead$ etc.");
    EXPECT_FATAL(
        {
            FileReadStr(wild.c_str());
            std::remove(wild.c_str());
            StringBuilder(ToVariable(1), kLastTemp, nullptr);
        },
        -5, "Could not open\n" + wild + "\nfor Recall, FileRead$ etc.");
    EXPECT_EQ(ReadWholeFile(name), "0123456789");
}

TEST_F(FileReadTest, MissingFileEndsTheProgramWithTheNameOnThreeLines) {
    EXPECT_FATAL(FileReadStr("tf_no_such_file.tmp"), -5,
                 "Could not open\ntf_no_such_file.tmp\nfor Recall, FileRead$ etc.");
}

}  // namespace
}  // namespace tarnfold

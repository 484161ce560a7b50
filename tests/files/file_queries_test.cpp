// FindFile and FileSize: directory entries and 64-bit sizes by name and by slot.
#include <cstring>
#include <string>

#include "file_fixture.h"

namespace tarnfold {
namespace {

using QueryTest = testing_support::FileTest;
using testing_support::WriteWholeFile;

TEST_F(QueryTest, FindFileFillsTheBufferAndKeepsOrClosesTheSearch) {
    std::string name = Name("find");
    WriteWholeFile(name, "12345");
    std::memset(&FindDataBuffer, 0xEE, sizeof FindDataBuffer);
    EXPECT_NE(FindFile(name.c_str(), kCloseSearch), 0u);
    EXPECT_EQ(FindHandle, 0u);
    EXPECT_EQ(FindDataBuffer.sizeLow, 5u);
    EXPECT_EQ(FindDataBuffer.sizeHigh, 0u);
    EXPECT_STREQ(FindDataBuffer.name, name.c_str());

    Word search = FindFile("tf_fin?.tmp", kKeepSearch);
    EXPECT_NE(search, 0u);
    EXPECT_EQ(FindHandle, search);
    EXPECT_STREQ(FindDataBuffer.name, name.c_str());
    EXPECT_EQ(FindFile("tf_no_such_file.tmp", kKeepSearch), 0u);
    EXPECT_EQ(FindHandle, 0u);
    EXPECT_EQ(FindDataBuffer.attributes, kAttributeNormal);
    EXPECT_TRUE(FindClose(reinterpret_cast<HANDLE>(static_cast<std::uintptr_t>(search))));
}

TEST_F(QueryTest, FileSizeOfFiveBillionBytesByNameAndBySlot) {
    std::string name = Name("sparse");
    HANDLE h = CreateFileA(name.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    LONG high = 1;
    SetFilePointer(h, 705032704 - 1, &high, FILE_BEGIN);
    DWORD written = 0;
    ASSERT_TRUE(WriteFile(h, "z", 1, &written, nullptr));
    CloseHandle(h);

    FileSizeResult byName = FileSize(NameRef(name.c_str()));
    EXPECT_EQ(byName.low, 705032704u);
    EXPECT_EQ(byName.high, 1u);
    ASSERT_NE(OpenInput(3, name.c_str(), kNoSearch), kFailedSlot);
    FileSizeResult bySlot = FileSize(3);
    EXPECT_EQ(bySlot.low, 705032704u);
    EXPECT_EQ(bySlot.high, 1u);
}

TEST_F(QueryTest, FileSizeOfEmptyMissingFreeAndFailed) {
    std::string empty = Name("empty");
    WriteWholeFile(empty, "");
    FileSizeResult size = FileSize(NameRef(empty.c_str()));
    EXPECT_EQ(size.low, 0u);
    EXPECT_EQ(size.high, 0u);
    EXPECT_EQ(FileSize(NameRef("tf_no_such_file.tmp")).low, kFileSizeFailed);
    EXPECT_EQ(FileSize(5).low, kFileSizeFailed);  // free
    FileSlotTable[6] = kFailedSlot;
    EXPECT_EQ(FileSize(6).low, kFileSizeFailed);
}

}  // namespace
}  // namespace tarnfold

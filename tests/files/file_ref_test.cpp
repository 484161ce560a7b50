// FileRefs and name pointers below 64 KiB: neither a slot (0-9) nor the address of a name,
// since no system gives a program memory there. Each operation refuses them as a file it
// cannot open, naming the number, and never reads the address.
#include <cstring>
#include <string>

#include "file_fixture.h"
#include "support/fatal_echo.h"

namespace tarnfold {
namespace {

using FileRefTest = testing_support::FileTest;

const char* AsName(Word value) { return reinterpret_cast<const char*>(static_cast<std::uintptr_t>(value)); }

// Regression: Recall(10, ...), Store(10, ...) and FileSize(10) read the name at address 10.
TEST_F(FileRefTest, AFileRefThatIsNeitherASlotNorAPointerCrashes) {
    std::string existing = Name("existing");
    testing_support::WriteWholeFile(existing, "a\r\n");
    for (Word ref : {10u, 0x1234u, 0xFFFFu}) {
        const std::string number = std::to_string(ref);
        SCOPED_TRACE(number);
        EXPECT_FATAL(Recall(FileRef{ref}, 3), -5, "Could not open\n" + number + "\nfor Recall, FileRead$ etc.");
        EXPECT_FATAL(Store(FileRef{ref}, 3), -4, "Could not open\n" + number + "\nfor Store");
        EXPECT_FATAL(FileReadStr(AsName(ref)), -5, "Could not open\n" + number + "\nfor Recall, FileRead$ etc.");
        EXPECT_EQ(FileSize(ref).low, kFileSizeFailed);

        EXPECT_EQ(OpenInput(2, AsName(ref), kNoSearch), kFailedSlot);
        EXPECT_EQ(FileSlotTable[2], kFailedSlot);
        EXPECT_EQ(std::string(FileErrorText), "File not found: " + number);
        EXPECT_EQ(OpenInput(2, AsName(ref), kStandardSearch), kFailedSlot);
        FileSlotTable[2] = kFreeSlot;
        EXPECT_EQ(OpenOutput(2, AsName(ref), kModeCreate), kFailedSlot);
        EXPECT_EQ(FileSlotTable[2], kFailedSlot);
        EXPECT_EQ(std::string(FileErrorText), "Could not open " + number);
        FindHandle = 1;
        EXPECT_EQ(FindFile(AsName(ref), kKeepSearch), 0u);
        EXPECT_EQ(FindHandle, 0u);

        // A search value from 2 to 0xFFFF is no path list either: nothing is found.
        std::strcpy(FileErrorText, "before");
        EXPECT_EQ(OpenInput(2, existing.c_str(), ref), kFailedSlot);
        EXPECT_EQ(FileSlotTable[2], kFailedSlot);
        EXPECT_STREQ(FileErrorText, "before");
    }
}

}  // namespace
}  // namespace tarnfold

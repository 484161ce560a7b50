// A fatal error erases every string array once its message box has been closed.
#include <cstdio>
#include <string>

#include "array_fixture.h"
#include "support/fatal_echo.h"

namespace tarnfold {
namespace {

using FatalCleanupTest = testing_support::StringArrayTest;

int LiveArrays() {
    int live = 0;
    for (StringArray* entry : ArrayTable) live += entry != nullptr && entry != kErasedArray;
    return live;
}

// Echoes each box like EchoFatalMessages and adds how many arrays are live as it shows.
void EchoMessageAndLiveArrays() {
    SetFatalObserver([](const char* message, const char* caption) {
        std::fprintf(stderr, "%s{live arrays: %d}\n",
                     testing_support::EchoedFatal(message).c_str(), LiveArrays());
        std::fflush(stderr);
        (void)caption;
    });
}

// Matches an output holding `first` and, somewhere after it, `second`.
auto InOrder(std::string first, std::string second) {
    return [first, second](const std::string& output) {
        std::size_t at = output.find(first);
        return at != std::string::npos && output.find(second, at + first.size()) != std::string::npos;
    };
}

// An array whose one element claims to own a text that is no heap block: erasing it makes
// HeapFree refuse, which raises a second, visible fatal error at the moment of the erase.
struct PlantedArray {
    StringArray header;
    ElementRecord element;
};
alignas(8) char plantedText[32] = "\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0planted";
PlantedArray planted = {{1, nullptr, {nullptr, 0}}, {plantedText + 16, 7}};

TEST_F(FatalCleanupTest, ArraysAreErasedAfterTheBoxInNumberOrder) {
    // Array 3 is erased already, 5 is live, 19 fails to erase: the second box shows that
    // the erase ran after the first box closed, after array 5, and skipped array 3.
    EXPECT_EXIT(
        {
            EchoMessageAndLiveArrays();
            CreateArray(3, 2);
            EraseArray(3);
            testing_support::AssignOwned(CreateArray(5, 1), 0, "owned");
            ArrayTable[19] = &planted.header;
            AccessElement(3, 0, 42);
        },
        ::testing::ExitedWithCode(testing_support::ExitCodeAsSeen(-2)),
        ::testing::Truly(InOrder("[Fatal error:|Line 42: Array was erased]{live arrays: 2}\n",
                                 "[Fatal error:|HeapFree\nplanted]{live arrays: 0}\n")));
}

}  // namespace
}  // namespace tarnfold

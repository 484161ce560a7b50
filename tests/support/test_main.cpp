// Test entry point: death tests re-run the program, which suits both targets and the sanitizers.
#include <gtest/gtest.h>

int main(int argc, char** argv) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

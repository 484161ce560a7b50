// A test that names its files in the current folder and removes them, all slots closed.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/win32.h"
#include "support/test_files.h"
#include "tarnfold.h"

namespace tarnfold::testing_support {

class FileTest : public ::testing::Test {
protected:
    std::string Name(const std::string& stem) {
        std::string name = "tf_" + stem + ".tmp";
        names_.push_back(name);
        return name;
    }
    void TearDown() override {
        CloseFile(kAllFileSlots);
        for (const std::string& name : names_) std::remove(name.c_str());
    }

private:
    std::vector<std::string> names_;
};

// A file of `size` bytes that takes almost no disk space: one byte written at its end.
inline void WriteSparseFile(const std::string& name, std::uint64_t size) {
    HANDLE h = CreateFileA(name.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE) << name;
    LONG high = static_cast<LONG>((size - 1) >> 32);
    SetFilePointer(h, static_cast<LONG>(static_cast<DWORD>(size - 1)), &high, FILE_BEGIN);
    DWORD written = 0;
    EXPECT_TRUE(WriteFile(h, "z", 1, &written, nullptr));
    CloseHandle(h);
}

}  // namespace tarnfold::testing_support

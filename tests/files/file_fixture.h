// Test files in the current folder, created and read with the C library, removed afterwards.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "platform/win32.h"
#include "tarnfold.h"

namespace tarnfold::testing_support {

inline void WriteWholeFile(const std::string& name, const std::string& bytes) {
    std::FILE* f = std::fopen(name.c_str(), "wb");
    ASSERT_NE(f, nullptr) << name;
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
}

// The file's bytes, or "<missing>" when it cannot be opened.
inline std::string ReadWholeFile(const std::string& name) {
    std::FILE* f = std::fopen(name.c_str(), "rb");
    if (f == nullptr) return "<missing>";
    std::string all;
    char buffer[4096];
    std::size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, f)) > 0) all.append(buffer, got);
    std::fclose(f);
    return all;
}

// Closes every slot and removes the files a test named with Name().
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

}  // namespace tarnfold::testing_support

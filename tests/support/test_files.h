// Whole test files written and read with the C library, the same on both targets.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

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

}  // namespace tarnfold::testing_support

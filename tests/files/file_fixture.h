// A test that names its files in the current folder and removes them, all slots closed.
#pragma once

#include <gtest/gtest.h>

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

}  // namespace tarnfold::testing_support

// Shared set-up for the string-array tests: a clean ArrayTable and element texts assigned
// the way the string builder assigns them (an owned block of the length plus 24 bytes).
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "tarnfold.h"

namespace tarnfold::testing_support {

// Gives element `index` its own heap block holding `text`, as an element assignment does.
inline void AssignOwned(StringArray* array, std::int32_t index, const char* text) {
    std::size_t length = std::strlen(text);
    auto* block = static_cast<char*>(AllocBlock(length + 24, false));
    std::memcpy(block, text, length + 1);
    *array->Element(index) = {block, static_cast<std::int32_t>(length)};
}

// Creates array `number` with one element per text, each owning its text.
inline StringArray* ArrayOf(std::int32_t number, const std::vector<const char*>& texts) {
    StringArray* array = CreateArray(number, static_cast<std::int32_t>(texts.size()) - 1);
    for (std::size_t i = 0; i < texts.size(); ++i)
        AssignOwned(array, static_cast<std::int32_t>(i), texts[i]);
    return array;
}

// The element texts of a live array, in order; a null text reads as "<empty>".
inline std::vector<std::string> TextsOf(std::int32_t number) {
    std::vector<std::string> texts;
    StringArray* array = ArrayTable[number];
    for (std::int32_t i = 0; i < array->count; ++i) {
        const char* text = array->Element(i)->text;
        texts.emplace_back(text != nullptr ? text : "<empty>");
    }
    return texts;
}

class StringArrayTest : public ::testing::Test {
protected:
    void SetUp() override { ResetArrays(); }
    void TearDown() override { ResetArrays(); }

    // Frees every array and returns all numbers to "never created".
    static void ResetArrays() {
        EraseArray(kAllArrays);
        for (StringArray*& entry : ArrayTable) entry = nullptr;
        LastAccess = {0, 0};
        ErrorLine = 0;
    }
};

}  // namespace tarnfold::testing_support

// ParseNumber into a destination of a given type that holds its size code.
#pragma once

#include <cstdint>
#include <cstring>

#include "tarnfold.h"

namespace tarnfold::testing_support {

// Parses `text` into a zeroed destination of `T` holding `sizeCode`; the count goes to `count`.
template <typename T>
T ParseInto(const char* text, std::int32_t sizeCode, std::int32_t& count) {
    union {
        T value;
        std::int32_t code;
        unsigned char bytes[16];
    } destination;
    std::memset(destination.bytes, 0, sizeof destination.bytes);
    destination.code = sizeCode;
    count = ParseNumber(text, &destination);
    return destination.value;
}

}  // namespace tarnfold::testing_support

// Small probes of the runtime's storage tables for tests.
#pragma once

#include <cstring>

#include "tarnfold.h"

namespace tarnfold::testing_support {

// Writes `text` at the ring position and records it as the next temporary.
inline RecordedTemp RecordText(const char* text) {
    char* at = RingPosition();
    std::size_t length = std::strlen(text);
    std::memcpy(at, text, length + 1);
    return RecordTemp(at + length);
}

inline int RegisteredCount() {
    int count = 0;
    for (int i = 0; i < TfHeapStrings; ++i) count += HeapStringRegistry[i] != 0;
    return count;
}

inline bool IsRegistered(const void* block) {
    for (int i = 0; i < TfHeapStrings; ++i)
        if (HeapStringRegistry[i] == reinterpret_cast<std::uintptr_t>(block)) return true;
    return false;
}

}  // namespace tarnfold::testing_support

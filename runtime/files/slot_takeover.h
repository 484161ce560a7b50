// Handing a slot's file over to an operation that closes it itself (Recall, Store).
#pragma once

#include "../platform/win32.h"
#include "file_slots.h"

namespace tarnfold {

// The handle in `slot` (0..9); the slot is free from now on and the caller closes it.
inline HANDLE TakeSlot(int slot) {
    Word value = FileSlotTable[slot];
    FileSlotTable[slot] = kFreeSlot;
    return reinterpret_cast<HANDLE>(static_cast<std::uintptr_t>(value));
}

}  // namespace tarnfold

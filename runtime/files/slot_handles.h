// The handle a file slot holds, for the runtime's own file code (the public header keeps
// system types out, so slots hold 32-bit words).
#pragma once

#include "../errors_console/fatal_error.h"
#include "../platform/win32.h"
#include "file_slots.h"

namespace tarnfold {

inline HANDLE HandleOf(Word value) { return reinterpret_cast<HANDLE>(static_cast<std::uintptr_t>(value)); }
inline Word ValueOf(HANDLE handle) { return static_cast<Word>(reinterpret_cast<std::uintptr_t>(handle)); }

// The handle in `slot` (0..9).
inline HANDLE SlotHandle(int slot) { return HandleOf(FileSlotTable[slot]); }

// The handle in `slot` (0..9), handed over: the slot is free from now on and the caller
// closes the handle itself (Recall, Store).
inline HANDLE TakeSlot(int slot) {
    HANDLE handle = SlotHandle(slot);
    FileSlotTable[slot] = kFreeSlot;
    return handle;
}

// What a message names for `ref`: the name it points to, or, for a slot or a value below
// 64 KiB that is no address, its number in decimal, written to `number`.
inline const char* FileRefText(FileRef ref, char (&number)[12]) {
    if (IsAddressRef(ref)) return reinterpret_cast<const char*>(static_cast<std::uintptr_t>(ref));
    Int32ToDecimal(static_cast<std::int32_t>(ref), number);
    return number;
}

}  // namespace tarnfold

// Fault injection for tests: the k-th call of one kind of platform operation fails as the
// system fails it. Off until a test arms it; nothing but a flag test costs in other runs.
//
//     ArmFault(FaultKind::HeapAlloc, 2);   // the second HeapAlloc or HeapReAlloc from now fails
//     ...                                  // the operation under test
//     FaultCalls(FaultKind::HeapAlloc);    // calls counted since arming (failAt 0: count only)
#pragma once

#include <cstdint>

namespace tarnfold::posix {

enum class FaultKind {
    HeapAlloc,   // HeapAlloc and HeapReAlloc return null, ERROR_NOT_ENOUGH_MEMORY
    WriteFile,   // WriteFile writes nothing (or half: WriteFault::Short), FALSE, ERROR_DISK_FULL
    CreateFile,  // CreateFileA returns INVALID_HANDLE_VALUE, ERROR_ACCESS_DENIED
};
enum class WriteFault { Nothing, Short };

// Counts the calls of `kind` from now on and fails the `failAt`-th (1-based; 0: none).
// Arming one kind disarms the others.
void ArmFault(FaultKind kind, std::uint32_t failAt, WriteFault write = WriteFault::Nothing);
void DisarmFaults();
std::uint32_t FaultCalls(FaultKind kind);

// For the emulated calls: counts this call and tells whether it is the one to fail.
bool FaultFires(FaultKind kind);
WriteFault ArmedWriteFault();

}  // namespace tarnfold::posix

// The fault counters: one armed kind at a time.
#include "fault_injection.h"

namespace tarnfold::posix {
namespace {

struct Armed {
    bool on = false;
    FaultKind kind = FaultKind::HeapAlloc;
    std::uint32_t failAt = 0;
    std::uint32_t calls = 0;
    WriteFault write = WriteFault::Nothing;
};
Armed armed;

}  // namespace

void ArmFault(FaultKind kind, std::uint32_t failAt, WriteFault write) { armed = {true, kind, failAt, 0, write}; }

void DisarmFaults() { armed = {}; }

std::uint32_t FaultCalls(FaultKind kind) { return armed.on && armed.kind == kind ? armed.calls : 0; }

bool FaultFires(FaultKind kind) {
    if (!armed.on || armed.kind != kind) return false;
    return ++armed.calls == armed.failAt;
}

WriteFault ArmedWriteFault() { return armed.write; }

}  // namespace tarnfold::posix

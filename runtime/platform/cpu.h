// Processor feature test through the identification instruction, on both targets.
#pragma once
#include <cpuid.h>

namespace tarnfold::platform {

// True when feature leaf 1 reports SSE2 (bit 26 of EDX).
inline bool CpuHasSse2() {
    unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
    if (__get_cpuid(1, &eax, &ebx, &ecx, &edx) == 0) return false;
    return (edx & (1u << 26)) != 0;
}

}  // namespace tarnfold::platform

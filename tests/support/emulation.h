// Whether this 32-bit program runs under qemu's user-mode emulation (scripts/setup arranges
// it where the kernel runs no 32-bit programs). Emulation keeps behaviour, with two known
// gaps that tests must allow for: Wine cannot deliver an access violation as a structured
// exception there, and LeakSanitizer cannot stop the process's threads to scan for leaks.
#pragma once

#include <cpuid.h>

#include <cstring>

namespace tarnfold::testing_support {

// qemu's translating CPU names itself in the processor brand string ("QEMU TCG CPU ...");
// a real processor never does. Uses no library call, so it is safe before any start-up.
inline bool UnderUserModeEmulation() {
    unsigned words[12] = {};
    unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
    if (__get_cpuid(0x80000000u, &eax, &ebx, &ecx, &edx) == 0 || eax < 0x80000004u) return false;
    for (unsigned leaf = 0; leaf < 3; ++leaf)
        __get_cpuid(0x80000002u + leaf, &words[leaf * 4], &words[leaf * 4 + 1],
                    &words[leaf * 4 + 2], &words[leaf * 4 + 3]);
    const char* brand = reinterpret_cast<const char*>(words);
    return std::memcmp(brand, "QEMU TCG", 8) == 0;
}

}  // namespace tarnfold::testing_support

namespace tarnfold::testing_support {
// Only the Windows build reads unreadable memory through structured exceptions.
inline bool CatchesNoFaults() {
#ifdef _WIN32
    return UnderUserModeEmulation();
#else
    return false;
#endif
}
}  // namespace tarnfold::testing_support

// Skips the current test, saying why, where an access violation cannot be caught.
#define TARNFOLD_SKIP_WHERE_FAULTS_ARE_NOT_CAUGHT()                                           \
    do {                                                                                     \
        if (::tarnfold::testing_support::CatchesNoFaults())                                  \
            GTEST_SKIP() << "Wine under qemu user-mode emulation cannot deliver an access "  \
                            "violation as a structured exception";                           \
    } while (0)

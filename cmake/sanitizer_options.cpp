// Sanitizer defaults for every program of the sanitizer build (tests, demo, examples).
//
// Under qemu user-mode emulation LeakSanitizer cannot work: at exit it clones a tracer
// thread with flags qemu refuses (EINVAL) and then waits for it forever, so every process
// would hang at exit. There leak checking is off; every other check stays on. Natively the
// leak check runs at every exit. ASAN_OPTIONS in the environment still overrides this.
//
// Also under emulation, the quarantine of freed blocks is held to 16 MB (256 MB natively).
// There the 32-bit allocator finds no more room to map after 200 to 330 MB (qemu 7.2; a
// plain loop of mallocs stops there too) and ends on its own internal CHECK; a fuzz target
// fills a 256 MB quarantine in a few thousand inputs, and with 64 MB one reached 250 MB in
// a minute. 16 MB still holds every block freed in the last thousands of inputs or test
// steps, so a read soon after a free is caught as before.
#include <cpuid.h>

// Runs before the sanitizer runtime is ready: no instrumentation, no library calls. The
// test is the same as UnderUserModeEmulation() in tests/support/emulation.h (qemu's brand
// string).
extern "C" __attribute__((no_sanitize("address", "undefined"))) const char* __asan_default_options() {
    unsigned words[12] = {};
    unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
    __cpuid(0x80000000u, eax, ebx, ecx, edx);
    if (eax < 0x80000004u) return "detect_leaks=1";
    for (unsigned leaf = 0; leaf < 3; ++leaf)
        __cpuid(0x80000002u + leaf, words[leaf * 4], words[leaf * 4 + 1], words[leaf * 4 + 2],
                words[leaf * 4 + 3]);
    const char* brand = reinterpret_cast<const char*>(words);
    const char* qemu = "QEMU TCG";
    for (int i = 0; i < 8; ++i)
        if (brand[i] != qemu[i]) return "detect_leaks=1";
    return "detect_leaks=0:quarantine_size_mb=16";
}

// Sanitizer defaults for the programs of the sanitizer build (tests and demo).
//
// Under qemu user-mode emulation LeakSanitizer cannot work: at exit it clones a tracer
// thread with flags qemu refuses (EINVAL) and then waits for it forever, so every process
// would hang at exit. There leak checking is off; every other check stays on. Natively the
// leak check runs at every exit. ASAN_OPTIONS in the environment still overrides this.
#include "support/emulation.h"

extern "C" const char* __asan_default_options() {
    return tarnfold::testing_support::UnderUserModeEmulation() ? "detect_leaks=0" : "detect_leaks=1";
}

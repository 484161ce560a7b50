#include "fatal_echo.h"

#include <cstdio>

#include "tarnfold.h"

namespace tarnfold::testing_support {

void EchoFatalMessages() {
    SetFatalObserver([](const char* message, const char* caption) {
        std::fprintf(stderr, "[%s|%s]\n", caption, message);
        std::fflush(stderr);
    });
}

}  // namespace tarnfold::testing_support

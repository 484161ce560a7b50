// Helpers for death tests of fatal errors: the message reaches standard error on both
// targets, and exit codes compare the way each system keeps them.
#pragma once

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace tarnfold::testing_support {

// Installs a fatal observer that writes "[Fatal error:|<message>]" to standard error.
void EchoFatalMessages();

// The text EchoFatalMessages writes for a message: match it with HasSubstr.
inline std::string EchoedFatal(const std::string& message) {
    return "[Fatal error:|" + message + "]";
}

// Windows keeps all 32 bits of an exit code, Linux the low 8.
inline int ExitCodeAsSeen(int code) {
#ifdef _WIN32
    return code;
#else
    return code & 0xFF;
#endif
}

}  // namespace tarnfold::testing_support

// Runs `statement` in a child; expects the echoed message and the exit code.
#define EXPECT_FATAL(statement, exit_code, message)                                    \
    EXPECT_EXIT(                                                                       \
        {                                                                              \
            ::tarnfold::testing_support::EchoFatalMessages();                          \
            statement;                                                                 \
        },                                                                             \
        ::testing::ExitedWithCode(::tarnfold::testing_support::ExitCodeAsSeen(exit_code)), \
        ::testing::HasSubstr(::tarnfold::testing_support::EchoedFatal(message)))

// Runs `body` (a block that returns true on success) in a fresh child process, where the
// runtime has not started yet; expects it to succeed.
#define EXPECT_IN_FRESH_PROCESS(body)                                     \
    EXPECT_EXIT(                                                          \
        {                                                                 \
            auto check = [&]() -> bool body;                              \
            std::fflush(nullptr);                                         \
            std::_Exit(check() ? 0 : 1);                                  \
        },                                                                \
        ::testing::ExitedWithCode(0), "")

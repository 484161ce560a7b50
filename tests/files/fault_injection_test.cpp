// Every allocation, write and open of representative operations made to fail in turn (the
// emulation's injected faults): each ends with its fatal error and exit code, no sanitizer
// report, and files hold exactly what was written before the failure.
#ifndef _WIN32

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>
#include <string>

#include "arrays_text/array_fixture.h"
#include "file_fixture.h"
#include "platform/posix/fault_injection.h"
#include "support/fatal_echo.h"
#include "support/storage_probe.h"

namespace tarnfold {
namespace {

using posix::FaultKind;
using posix::FaultPoint;
using testing_support::ReadWholeFile;
using testing_support::WriteWholeFile;

constexpr int kCompleted = 77;  // the child's exit when the armed fault was never reached

struct Outcome {
    int exitCode;
    std::string errors;  // the child's standard error
};

// Runs `operation` in a child with the k-th call of `point` failing as `kind`.
Outcome RunWithFault(FaultPoint point, FaultKind kind, std::uint32_t k, const std::function<void()>& operation) {
    int pipeEnds[2];
    if (pipe(pipeEnds) != 0) return {-1, "no pipe"};
    std::fflush(nullptr);
    pid_t child = fork();
    if (child == 0) {
        dup2(pipeEnds[1], STDERR_FILENO);
        close(pipeEnds[0]);
        testing_support::EchoFatalMessages();
        posix::ArmFault(point, k, kind);
        operation();
        posix::ArmFault(point, 0);
        std::fflush(nullptr);
        _exit(kCompleted);
    }
    close(pipeEnds[1]);
    Outcome outcome{-1, ""};
    char buffer[4096];
    for (ssize_t got; (got = read(pipeEnds[0], buffer, sizeof buffer)) > 0;) outcome.errors.append(buffer, static_cast<std::size_t>(got));
    close(pipeEnds[0]);
    int status = 0;
    waitpid(child, &status, 0);
    if (WIFEXITED(status)) outcome.exitCode = WEXITSTATUS(status);
    return outcome;
}

struct Walk {
    const char* operation;
    FaultPoint point;
    FaultKind kind;
    std::function<void()> run;
    ErrorCode code;       // the fatal error every reached fault ends in
    const char* message;  // a part of its message
    // After each child: the files hold what was written before the failure (k is the call
    // that failed).
    std::function<void(std::uint32_t k)> checkFiles;
};

class FaultInjectionTest : public testing_support::FileTest {};

TEST_F(FaultInjectionTest, EveryFailurePointEndsInItsFatalErrorAndKeepsWhatWasWritten) {
    const std::string lines = Name("lines"), out = Name("out"), precious = Name("precious");
    const std::string threeLines = "one\r\ntwo\r\nthree\r\n";
    WriteWholeFile(lines, threeLines);
    auto unchanged = [&](const std::string& name, const std::string& bytes) {
        return [=](std::uint32_t) { EXPECT_EQ(ReadWholeFile(name), bytes); };
    };
    // The builder writes one line per call: the lines before the k-th, whole; a short
    // write adds a part of line k.
    auto linesBefore = [&](bool partial) {
        return [=](std::uint32_t k) {
            const std::string written = ReadWholeFile(out);
            const std::size_t ends[] = {0, 5, 10, 17};
            const std::string whole = threeLines.substr(0, ends[k - 1]);
            EXPECT_EQ(written.compare(0, whole.size(), whole), 0) << written;
            if (partial) EXPECT_LT(written.size(), ends[k]) << written;
            else EXPECT_EQ(written, whole);
        };
    };
    auto writeLines = [&] {
        OpenOutput(3, out.c_str(), kModeCreate);
        for (const char* line : {"one\r\n", "two\r\n", "three\r\n"}) StringBuilder(ToFileSlot(3, 1), line);
        CloseFile(3);
    };
    const Walk walks[] = {
        {"Assign", FaultPoint::Allocation, FaultKind::Fail, [] { Assign(nullptr, "a", "b"); },
         kErrorHeapAlloc, "HeapAlloc", nullptr},
        {"AssignElement", FaultPoint::Allocation, FaultKind::Fail,
         [] {
             CreateArray(1, 3);
             AccessElement(1, 2, 1);
             AssignElement("element text");
             AccessElement(1, 2, 1);
             InsertDeleteElements(kInsertElement);
         },
         kErrorHeapAlloc, "HeapAlloc", nullptr},
        {"builder to a file", FaultPoint::Write, FaultKind::Fail, writeLines, kErrorSystem,
         "There is not enough space on the disk.", linesBefore(false)},
        {"builder to a file, short", FaultPoint::Write, FaultKind::Short, writeLines, kErrorSystem,
         "There is not enough space on the disk.", linesBefore(true)},
        {"builder to a file, open", FaultPoint::Open, FaultKind::Fail, writeLines, kErrorSystem,
         "GetLastError", nullptr},
        {"Recall", FaultPoint::Allocation, FaultKind::Fail, [&] { Recall(lines.c_str(), 2); },
         kErrorHeapAlloc, "HeapAlloc", nullptr},
        {"Recall, open", FaultPoint::Open, FaultKind::Fail, [&] { Recall(lines.c_str(), 2); },
         kErrorOpenForRecall, "Could not open", nullptr},
        {"Store", FaultPoint::Write, FaultKind::Fail,
         [&] {
             Recall(lines.c_str(), 2);
             Store(out.c_str(), 2);
         },
         kErrorSystem, "There is not enough space on the disk.", unchanged(out, "")},
        {"Store, open", FaultPoint::Open, FaultKind::Fail, [&] { Store(precious.c_str(), 2); },
         kErrorOpenForStore, "Could not open", unchanged(precious, "keep me")},
        {"FileRead$", FaultPoint::Allocation, FaultKind::Fail,
         [&] {
             FileReadStr(lines.c_str());
             Assign(nullptr, kLastTemp);
         },
         kErrorHeapAlloc, "HeapAlloc", nullptr},
        {"FileRead$, open", FaultPoint::Open, FaultKind::Fail,
         [&] {
             FileReadStr(lines.c_str());
             Assign(nullptr, kLastTemp);
         },
         kErrorOpenForRecall, "Could not open", nullptr},
        {"KeepTemp and ChangeCase", FaultPoint::Allocation, FaultKind::Fail,
         [] {
             testing_support::RecordText("kept");
             KeepTemp();
             ChangeCase("Case", kToUpper);
         },
         kErrorHeapAlloc, "HeapAlloc", nullptr},
    };
    for (const Walk& walk : walks) {
        SCOPED_TRACE(walk.operation);
        std::uint32_t reached = 0;
        for (std::uint32_t k = 1; k < 64; ++k) {
            SCOPED_TRACE(testing::Message() << "call " << k);
            WriteWholeFile(precious, "keep me");
            Outcome outcome = RunWithFault(walk.point, walk.kind, k, walk.run);
            EXPECT_EQ(outcome.errors.find("Sanitizer"), std::string::npos) << outcome.errors;
            if (outcome.exitCode == kCompleted) break;
            ++reached;
            const int exitCode = walk.code == kErrorSystem ? kFatalUnknownExitCode : -walk.code;
            EXPECT_EQ(outcome.exitCode, testing_support::ExitCodeAsSeen(exitCode)) << outcome.errors;
            EXPECT_NE(outcome.errors.find(walk.message), std::string::npos) << outcome.errors;
            if (walk.checkFiles) walk.checkFiles(k);
        }
        EXPECT_GT(reached, 0u) << "no call was made to fail";
    }
}

}  // namespace
}  // namespace tarnfold

#endif

// Injected failures of every allocation, open and write that representative operations make,
// one at a time, each in a child process: the operation ends with its fatal error and exit
// code, files hold exactly what was written before the failure, and the sanitizer build
// reports nothing. Linux only: the faults are injected in the POSIX layer.
#ifndef _WIN32

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>

#include "platform/posix/fault_injection.h"
#include "support/fatal_echo.h"
#include "support/storage_probe.h"
#include "support/test_files.h"
#include "tarnfold.h"

namespace tarnfold {
namespace {

using posix::FaultKind;
using posix::WriteFault;
using testing_support::ReadWholeFile;
using testing_support::WriteWholeFile;
using Step = std::function<void()>;

const std::string kDiskFull = "GetLastError:\r\nThere is not enough space on the disk.\r\n";

// The runtime's tables as a fresh process has them, and every file slot closed.
void Reset() {
    posix::DisarmFaults();
    CloseFile(kAllFileSlots);
    EraseArray(kAllArrays);
    ReleaseHeapString(kReleaseAll);
}

// The calls of `kind` that `operation` makes after `prepare`, counted here, state reset after.
std::uint32_t CountCalls(FaultKind kind, const Step& prepare, const Step& operation) {
    Reset();
    prepare();
    posix::ArmFault(kind, 0);
    operation();
    const std::uint32_t calls = posix::FaultCalls(kind);
    Reset();
    return calls;
}

// Fails each call of `kind` in turn: every one must end with `message` and `code`; then
// `check(k)` looks at what the failure of call k left behind. The children are forked where
// the death test stands ("fast"), so that none repeats the walk that led there.
void WalkFaults(FaultKind kind, const Step& prepare, const Step& operation, int code, const std::string& message,
                WriteFault write = WriteFault::Nothing, const std::function<void(std::uint32_t)>& check = {}) {
    const std::uint32_t calls = CountCalls(kind, prepare, operation);
    ASSERT_GT(calls, 0u);
    const std::string style = GTEST_FLAG_GET(death_test_style);
    GTEST_FLAG_SET(death_test_style, "fast");
    for (std::uint32_t k = 1; k <= calls; ++k) {
        EXPECT_FATAL(
            {
                Reset();
                prepare();
                posix::ArmFault(kind, k, write);
                operation();
            },
            code, message)
            << "call " << k << " of " << calls;
        if (check) check(k);
    }
    GTEST_FLAG_SET(death_test_style, style);
}

const Step kNothing = [] {};

TEST(FaultInjection, EveryAllocationOfTheTextOperationsEndsWithHeapAlloc) {
    WalkFaults(FaultKind::HeapAlloc, kNothing, [] { Assign(nullptr, "abc", kTokenCrLf); }, -1, "HeapAlloc");
    WalkFaults(FaultKind::HeapAlloc, [] { testing_support::RecordText("kept"); }, [] { KeepTemp(); }, -1, "HeapAlloc");
    WalkFaults(FaultKind::HeapAlloc, kNothing, [] { ChangeCase("Abc", kToUpper); }, -1, "HeapAlloc");
    WalkFaults(FaultKind::HeapAlloc, kNothing,
               [] {
                   CreateArray(7, 3);
                   AccessElement(7, 1, __LINE__);
                   InsertDeleteElements(kInsertElement);
                   InsertDeleteElements(kDeleteElement);
               },
               -1, "HeapAlloc");
    const auto element = [] {
        CreateArray(4, 2);
        AccessElement(4, 1, __LINE__);
        AssignElement("short");
    };
    WalkFaults(FaultKind::HeapAlloc, element,
               [] {
                   AccessElement(4, 1, __LINE__);
                   AssignElement("a text longer than the element's block ", "and its spare bytes together");
               },
               -1, "HeapAlloc");
    WalkFaults(FaultKind::HeapAlloc, element,
               [] {
                   AccessElement(4, 1, __LINE__);
                   testing_support::RecordText("a temporary longer than the element's block and its spare bytes");
                   AssignElement(kLastTemp);
               },
               -1, "HeapAlloc");
}

class FileFaults : public ::testing::Test {
protected:
    void TearDown() override {
        Reset();
        std::remove(name_.c_str());
    }
    const std::string name_ = "tf_fault_injection.tmp";
};

TEST_F(FileFaults, RecallAndFileReadEndWithTheirErrorsAtEveryOpenAndAllocation) {
    const std::string name = name_;
    const Step file = [name] { WriteWholeFile(name, "a\r\nbc\r\n"); };
    const Step recall = [name] { Recall(name.c_str(), 5); };
    WalkFaults(FaultKind::CreateFile, file, recall, -5, "Could not open\n" + name + "\nfor Recall, FileRead$ etc.");
    WalkFaults(FaultKind::HeapAlloc, file, recall, -1, "HeapAlloc");
    WalkFaults(FaultKind::HeapAlloc, file,
               [name] {
                   FileReadStr(name.c_str());
                   Assign(nullptr, kLastTemp);
               },
               -1, "HeapAlloc");
}

TEST_F(FileFaults, BuilderWritesKeepEveryWholeWriteBeforeTheFailure) {
    const std::string name = name_;
    const Step open = [name] { OpenOutput(3, name.c_str(), kModeCreate); };
    const Step write = [] {
        StringBuilder<ToFileSlot(3, 2)>("first", kTokenCrLf);
        StringBuilder<ToFileSlot(3, 2)>("second", kTokenCrLf);
        CloseFile(3);
    };
    const std::string whole[] = {"", "first\r\n"}, half[] = {"fir", "first\r\nseco"};
    WalkFaults(FaultKind::WriteFile, open, write, kFatalUnknownExitCode, kDiskFull, WriteFault::Nothing,
               [&](std::uint32_t k) { EXPECT_EQ(ReadWholeFile(name), whole[k - 1]) << "write " << k; });
    WalkFaults(FaultKind::WriteFile, open, write, kFatalUnknownExitCode, kDiskFull, WriteFault::Short,
               [&](std::uint32_t k) { EXPECT_EQ(ReadWholeFile(name), half[k - 1]) << "short write " << k; });
}

TEST_F(FileFaults, StoreKeepsEveryBatchWrittenBeforeTheFailure) {
    // Thirteen lines of 100,000 bytes: batches of six lines, six lines and one line.
    constexpr int kLines = 13;
    constexpr std::size_t kLine = 100000, kBatch = 6 * (kLine + 2);
    std::string all;
    for (int i = 0; i < kLines; ++i) all += std::string(kLine, static_cast<char>('a' + i)) + "\r\n";
    const Step array = [] {
        CreateArray(6, kLines - 1);
        for (int i = 0; i < kLines; ++i) {
            const std::string line(kLine, static_cast<char>('a' + i));
            AccessElement(6, i, __LINE__);
            AssignElement(line.c_str());
        }
    };
    const std::string name = name_;
    const Step store = [name] { Store(name.c_str(), 6); };
    WalkFaults(FaultKind::CreateFile, array, store, -4, "Could not open\n" + name + "\nfor Store");
    for (WriteFault write : {WriteFault::Nothing, WriteFault::Short})
        WalkFaults(FaultKind::WriteFile, array, store, kFatalUnknownExitCode, kDiskFull, write, [&](std::uint32_t k) {
            std::size_t size = std::min(all.size(), (k - 1) * kBatch);
            const std::size_t batch = std::min(all.size() - size, kBatch);
            if (write == WriteFault::Short) size += batch / 2;
            EXPECT_EQ(ReadWholeFile(name), all.substr(0, size)) << "write " << k;
        });
}

}  // namespace
}  // namespace tarnfold

#endif  // _WIN32

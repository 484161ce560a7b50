// Test entry point: death tests re-run the program, which suits both targets and the sanitizers.
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>

namespace {

// Passes every event to Google Test's own printer but prints failure and skip messages
// itself. On Windows the printer also copies them to OutputDebugStringA, which raises a
// debug-print exception; under qemu user-mode emulation Wine cannot return from a raised
// exception, and the test program would die at the first message.
class PlainPartResults : public testing::TestEventListener {
public:
    explicit PlainPartResults(testing::TestEventListener* inner) : inner_(inner) {}
    void OnTestProgramStart(const testing::UnitTest& u) override { inner_->OnTestProgramStart(u); }
    void OnTestIterationStart(const testing::UnitTest& u, int i) override { inner_->OnTestIterationStart(u, i); }
    void OnEnvironmentsSetUpStart(const testing::UnitTest& u) override { inner_->OnEnvironmentsSetUpStart(u); }
    void OnEnvironmentsSetUpEnd(const testing::UnitTest& u) override { inner_->OnEnvironmentsSetUpEnd(u); }
    void OnTestSuiteStart(const testing::TestSuite& s) override { inner_->OnTestSuiteStart(s); }
    void OnTestStart(const testing::TestInfo& t) override { inner_->OnTestStart(t); }
    void OnTestPartResult(const testing::TestPartResult& result) override {
        const char* kind = result.skipped() ? "Skipped" : result.failed() ? "Failure" : "Success";
        std::printf("%s:%d: %s\n%s\n", result.file_name() ? result.file_name() : "unknown file",
                    result.line_number(), kind, result.message());
        std::fflush(stdout);
    }
    void OnTestEnd(const testing::TestInfo& t) override { inner_->OnTestEnd(t); }
    void OnTestSuiteEnd(const testing::TestSuite& s) override { inner_->OnTestSuiteEnd(s); }
    void OnEnvironmentsTearDownStart(const testing::UnitTest& u) override { inner_->OnEnvironmentsTearDownStart(u); }
    void OnEnvironmentsTearDownEnd(const testing::UnitTest& u) override { inner_->OnEnvironmentsTearDownEnd(u); }
    void OnTestIterationEnd(const testing::UnitTest& u, int i) override { inner_->OnTestIterationEnd(u, i); }
    void OnTestProgramEnd(const testing::UnitTest& u) override { inner_->OnTestProgramEnd(u); }

private:
    std::unique_ptr<testing::TestEventListener> inner_;
};

}  // namespace

int main(int argc, char** argv) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    testing::InitGoogleTest(&argc, argv);
#ifdef _WIN32
    testing::TestEventListeners& listeners = testing::UnitTest::GetInstance()->listeners();
    if (testing::TestEventListener* printer = listeners.default_result_printer()) {
        listeners.Release(printer);
        listeners.Append(new PlainPartResults(printer));
    }
#endif
    return RUN_ALL_TESTS();
}

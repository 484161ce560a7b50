// A readable page followed by an unreadable one, for tests of reads that must not fault.
#pragma once

#include <cstddef>

namespace tarnfold::testing_support {

class GuardedPage {
public:
    GuardedPage();
    ~GuardedPage();
    GuardedPage(const GuardedPage&) = delete;
    GuardedPage& operator=(const GuardedPage&) = delete;

    // The last `size` readable bytes: they end right where the unreadable page begins.
    char* Tail(std::size_t size) { return base_ + kPage - size; }
    char* Unreadable() { return base_ + kPage; }

    static constexpr std::size_t kPage = 4096;

private:
    char* base_;
};

}  // namespace tarnfold::testing_support

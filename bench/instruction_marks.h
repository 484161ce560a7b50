// Instruction-count marks around each measured loop.
//
// Write every benchmark loop as `for (auto _ : tarnfold_bench::Counted(state))` and register
// it with `->Apply(tarnfold_bench::Fixed)` (or `FixedHeavy` for operations on megabytes).
// Under `scripts/bench --instructions` the program runs in qemu with the counting plugin
// (bench/qemu_plugin/): the loop's start and end are marked by an unused system call that
// fails harmlessly with ENOSYS, and the plugin reports the guest instructions in between.
// TARNFOLD_BENCH_ITERATIONS fixes every benchmark's iteration count so runs repeat exactly.
// Without the plugin the marks cost two failed system calls per benchmark run.
#pragma once

#include <benchmark/benchmark.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cstdlib>
#include <optional>

namespace tarnfold_bench {

// Must match bench/qemu_plugin/instruction_count.c.
inline constexpr long kMarkSyscall = 0x7A7A;
inline constexpr long kMarkStart = 1;
inline constexpr long kMarkEnd = 2;

inline void Mark(long what, long serial) { syscall(kMarkSyscall, what, serial); }

// Fixed iteration counts when TARNFOLD_BENCH_ITERATIONS is set: that many for ordinary
// operations, a hundredth of it (at least 2) for operations on megabytes.
inline long FixedIterations() {
    const char* text = std::getenv("TARNFOLD_BENCH_ITERATIONS");
    return text != nullptr ? std::atol(text) : 0;
}
inline void Fixed(benchmark::internal::Benchmark* b) {
    if (long n = FixedIterations(); n > 0) b->Iterations(n);
}
inline void FixedHeavy(benchmark::internal::Benchmark* b) {
    if (long n = FixedIterations(); n > 0) b->Iterations(n / 100 > 2 ? n / 100 : 2);
}

// The state's loop with a start mark before the first iteration and an end mark after the
// last; the serial number goes into the results as the counter "mark".
class Counted {
public:
    explicit Counted(benchmark::State& state) : state_(state) {}

    class Iterator {
    public:
        explicit Iterator(Counted* loop) : loop_(loop) {}
        bool operator!=(const Iterator&) const {
            if (*loop_->inner_ != *loop_->inner_) return true;  // Google Benchmark's own test
            Mark(kMarkEnd, loop_->serial_);
            return false;
        }
        Iterator& operator++() {
            ++*loop_->inner_;
            return *this;
        }
        benchmark::State::StateIterator::Value operator*() const { return **loop_->inner_; }

    private:
        Counted* loop_;
    };

    Iterator begin() {
        static long nextSerial = 0;
        serial_ = ++nextSerial;
        state_.counters["mark"] = static_cast<double>(serial_);
        inner_.emplace(state_.begin());
        static_cast<void>(state_.end());  // starts the timer
        Mark(kMarkStart, serial_);
        return Iterator(this);
    }
    Iterator end() { return Iterator(nullptr); }

private:
    benchmark::State& state_;
    std::optional<benchmark::State::StateIterator> inner_;
    long serial_ = 0;
};

}  // namespace tarnfold_bench

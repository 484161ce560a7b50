// The builder beside the peers a C++ programmer reaches for: assigning and printing four parts.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <string>
#include <string_view>

#include "absl/strings/str_cat.h"
#include "instruction_marks.h"
#include "same_result.h"
#include "tarnfold.h"

#ifdef TARNFOLD_BENCH_HAS_FMT
#include <fmt/format.h>
#endif

namespace {

using tarnfold_bench::ExpectSame;

// About 40 bytes in four short parts, the same for every peer. Each iteration hides the
// parts from the compiler, so that no implementation measures them at compile time.
const char* const kPartTexts[4] = {"Customer: ", "Ada Lovelace", ", account ", "0042-7781-55"};
constexpr std::string_view kJoined = "Customer: Ada Lovelace, account 0042-7781-55";
#define TARNFOLD_PARTS             \
    const char* kParts[4];         \
    std::memcpy(kParts, kPartTexts, sizeof kParts); \
    benchmark::DoNotOptimize(kParts)

void Assign4Parts_tarnfold(benchmark::State& state) {
    using namespace tarnfold;
    char* variable = nullptr;
    for (auto _ : tarnfold_bench::Counted(state)) {
        TARNFOLD_PARTS;
        variable = StringBuilder(ToVariable(4), kParts[0], kParts[1], kParts[2], kParts[3], variable);
        benchmark::DoNotOptimize(variable);
    }
    ExpectSame(state, std::string_view(variable), kJoined);
    ReleaseHeapString(variable);
}
BENCHMARK(Assign4Parts_tarnfold)->Name("Assign4Parts/tarnfold")->Apply(tarnfold_bench::Fixed);

void Assign4Parts_std_string(benchmark::State& state) {
    std::string variable;
    for (auto _ : tarnfold_bench::Counted(state)) {
        TARNFOLD_PARTS;
        variable = std::string(kParts[0]) + kParts[1] + kParts[2] + kParts[3];
        benchmark::DoNotOptimize(variable.data());
    }
    ExpectSame(state, variable, kJoined);
}
BENCHMARK(Assign4Parts_std_string)->Name("Assign4Parts/std_string")->Apply(tarnfold_bench::Fixed);

void Assign4Parts_absl_StrCat(benchmark::State& state) {
    std::string variable;
    for (auto _ : tarnfold_bench::Counted(state)) {
        TARNFOLD_PARTS;
        variable = absl::StrCat(kParts[0], kParts[1], kParts[2], kParts[3]);
        benchmark::DoNotOptimize(variable.data());
    }
    ExpectSame(state, variable, kJoined);
}
BENCHMARK(Assign4Parts_absl_StrCat)->Name("Assign4Parts/absl_StrCat")->Apply(tarnfold_bench::Fixed);

#ifdef TARNFOLD_BENCH_HAS_FMT
void Assign4Parts_fmt_format(benchmark::State& state) {
    std::string variable;
    for (auto _ : tarnfold_bench::Counted(state)) {
        TARNFOLD_PARTS;
        variable = fmt::format("{}{}{}{}", kParts[0], kParts[1], kParts[2], kParts[3]);
        benchmark::DoNotOptimize(variable.data());
    }
    ExpectSame(state, variable, kJoined);
}
BENCHMARK(Assign4Parts_fmt_format)->Name("Assign4Parts/fmt_format")->Apply(tarnfold_bench::Fixed);
#endif

// The floor: measure, one allocation, four copies, free the previous value.
void Assign4Parts_malloc_memcpy(benchmark::State& state) {
    char* variable = nullptr;
    for (auto _ : tarnfold_bench::Counted(state)) {
        TARNFOLD_PARTS;
        std::size_t lengths[4];
        std::size_t total = 0;
        for (int i = 0; i < 4; ++i) total += lengths[i] = std::strlen(kParts[i]);
        char* block = static_cast<char*>(std::malloc(total + 1));
        char* at = block;
        for (int i = 0; i < 4; ++i) {
            std::memcpy(at, kParts[i], lengths[i]);
            at += lengths[i];
        }
        *at = '\0';
        std::free(variable);
        variable = block;
        benchmark::DoNotOptimize(variable);
    }
    ExpectSame(state, std::string_view(variable), kJoined);
    std::free(variable);
}
BENCHMARK(Assign4Parts_malloc_memcpy)->Name("Assign4Parts/floor_malloc_memcpy")->Apply(tarnfold_bench::Fixed);

// Printing: scripts/bench sends standard output to /dev/null (the results go to a file),
// so every peer writes to the same device. Each prints once more into a file to be checked.
void Print4Parts_tarnfold(benchmark::State& state) {
    using namespace tarnfold;
    auto print = [] {
        TARNFOLD_PARTS;
        StringBuilder(ToConsole(4), kParts[0], kParts[1], kParts[2], kParts[3]);
    };
    for (auto _ : tarnfold_bench::Counted(state)) print();
    ExpectSame(state, tarnfold_bench::CapturedOutput(print), kJoined);
}
BENCHMARK(Print4Parts_tarnfold)->Name("Print4Parts/tarnfold")->Apply(tarnfold_bench::Fixed);

void Print4Parts_fwrite(benchmark::State& state) {
    auto print = [] {
        TARNFOLD_PARTS;
        for (const char* part : kParts) std::fwrite(part, 1, std::strlen(part), stdout);
        std::fflush(stdout);  // unbuffered like a console write: one write per print
    };
    for (auto _ : tarnfold_bench::Counted(state)) print();
    ExpectSame(state, tarnfold_bench::CapturedOutput(print), kJoined);
}
BENCHMARK(Print4Parts_fwrite)->Name("Print4Parts/fwrite")->Apply(tarnfold_bench::Fixed);

void Print4Parts_std_cout(benchmark::State& state) {
    auto print = [] {
        TARNFOLD_PARTS;
        std::cout << kParts[0] << kParts[1] << kParts[2] << kParts[3] << std::flush;
    };
    for (auto _ : tarnfold_bench::Counted(state)) print();
    ExpectSame(state, tarnfold_bench::CapturedOutput(print), kJoined);
}
BENCHMARK(Print4Parts_std_cout)->Name("Print4Parts/std_cout")->Apply(tarnfold_bench::Fixed);

}  // namespace

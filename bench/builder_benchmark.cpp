// The builder beside the peers a C++ programmer reaches for: assigning and printing four parts.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <string>

#include "absl/strings/str_cat.h"
#include "instruction_marks.h"
#include "tarnfold.h"

#ifdef TARNFOLD_BENCH_HAS_FMT
#include <fmt/format.h>
#endif

namespace {

// About 40 bytes in four short parts, the same for every peer.
const char* const kParts[4] = {"Customer: ", "Ada Lovelace", ", account ", "0042-7781-55"};

void Assign4Parts_tarnfold(benchmark::State& state) {
    using namespace tarnfold;
    char* variable = nullptr;
    for (auto _ : tarnfold_bench::Counted(state)) {
        variable = StringBuilder(ToVariable(4), kParts[0], kParts[1], kParts[2], kParts[3], variable);
        benchmark::DoNotOptimize(variable);
    }
    ReleaseHeapString(variable);
}
BENCHMARK(Assign4Parts_tarnfold)->Name("Assign4Parts/tarnfold")->Apply(tarnfold_bench::Fixed);

void Assign4Parts_std_string(benchmark::State& state) {
    std::string variable;
    for (auto _ : tarnfold_bench::Counted(state)) {
        variable = std::string(kParts[0]) + kParts[1] + kParts[2] + kParts[3];
        benchmark::DoNotOptimize(variable.data());
    }
}
BENCHMARK(Assign4Parts_std_string)->Name("Assign4Parts/std_string")->Apply(tarnfold_bench::Fixed);

void Assign4Parts_absl_StrCat(benchmark::State& state) {
    std::string variable;
    for (auto _ : tarnfold_bench::Counted(state)) {
        variable = absl::StrCat(kParts[0], kParts[1], kParts[2], kParts[3]);
        benchmark::DoNotOptimize(variable.data());
    }
}
BENCHMARK(Assign4Parts_absl_StrCat)->Name("Assign4Parts/absl_StrCat")->Apply(tarnfold_bench::Fixed);

#ifdef TARNFOLD_BENCH_HAS_FMT
void Assign4Parts_fmt_format(benchmark::State& state) {
    std::string variable;
    for (auto _ : tarnfold_bench::Counted(state)) {
        variable = fmt::format("{}{}{}{}", kParts[0], kParts[1], kParts[2], kParts[3]);
        benchmark::DoNotOptimize(variable.data());
    }
}
BENCHMARK(Assign4Parts_fmt_format)->Name("Assign4Parts/fmt_format")->Apply(tarnfold_bench::Fixed);
#endif

// The floor: measure, one allocation, four copies, free the previous value.
void Assign4Parts_malloc_memcpy(benchmark::State& state) {
    char* variable = nullptr;
    for (auto _ : tarnfold_bench::Counted(state)) {
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
    std::free(variable);
}
BENCHMARK(Assign4Parts_malloc_memcpy)->Name("Assign4Parts/malloc_memcpy")->Apply(tarnfold_bench::Fixed);

// Printing: scripts/bench sends standard output to /dev/null (the results go to a file),
// so every peer writes to the same device.
void Print4Parts_tarnfold(benchmark::State& state) {
    using namespace tarnfold;
    for (auto _ : tarnfold_bench::Counted(state)) StringBuilder(ToConsole(4), kParts[0], kParts[1], kParts[2], kParts[3]);
}
BENCHMARK(Print4Parts_tarnfold)->Name("Print4Parts/tarnfold")->Apply(tarnfold_bench::Fixed);

void Print4Parts_fwrite(benchmark::State& state) {
    for (auto _ : tarnfold_bench::Counted(state)) {
        for (const char* part : kParts) std::fwrite(part, 1, std::strlen(part), stdout);
        std::fflush(stdout);  // unbuffered like a console write: one write per print
    }
}
BENCHMARK(Print4Parts_fwrite)->Name("Print4Parts/fwrite")->Apply(tarnfold_bench::Fixed);

void Print4Parts_std_cout(benchmark::State& state) {
    for (auto _ : tarnfold_bench::Counted(state)) std::cout << kParts[0] << kParts[1] << kParts[2] << kParts[3] << std::flush;
}
BENCHMARK(Print4Parts_std_cout)->Name("Print4Parts/std_cout")->Apply(tarnfold_bench::Fixed);

}  // namespace

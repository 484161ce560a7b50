// Substring, trim and case beside the peers a C++ programmer reaches for.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cctype>
#include <string>
#include <string_view>

#include "absl/strings/ascii.h"
#include "instruction_marks.h"
#include "tarnfold.h"

namespace {

// A padded 40-byte field as read from a fixed-width record, the same for every peer.
const char* const kPadded = "      Ada Lovelace, Analytical Engine     ";
const char* const kMixed = "Ada Lovelace, Analytical Engine, 1843 AD";

void TrimBoth_tarnfold(benchmark::State& state) {
    for (auto _ : tarnfold_bench::Counted(state))
        benchmark::DoNotOptimize(tarnfold::TrimText(kPadded, tarnfold::kTrimBoth).start);
}
BENCHMARK(TrimBoth_tarnfold)->Name("TrimBoth/tarnfold")->Apply(tarnfold_bench::Fixed);

void TrimBoth_std_string(benchmark::State& state) {
    std::string result;
    for (auto _ : tarnfold_bench::Counted(state)) {
        std::string_view text(kPadded);
        std::size_t first = text.find_first_not_of(" \t\r\n");
        std::size_t last = text.find_last_not_of(" \t\r\n");
        result.assign(first == std::string_view::npos ? std::string_view() : text.substr(first, last - first + 1));
        benchmark::DoNotOptimize(result.data());
    }
}
BENCHMARK(TrimBoth_std_string)->Name("TrimBoth/std_string")->Apply(tarnfold_bench::Fixed);

void TrimBoth_absl_StripAsciiWhitespace(benchmark::State& state) {
    std::string result;
    for (auto _ : tarnfold_bench::Counted(state)) {
        absl::string_view stripped = absl::StripAsciiWhitespace(kPadded);
        result.assign(stripped.data(), stripped.size());
        benchmark::DoNotOptimize(result.data());
    }
}
BENCHMARK(TrimBoth_absl_StripAsciiWhitespace)->Name("TrimBoth/absl_StripAsciiWhitespace")->Apply(tarnfold_bench::Fixed);

// A middle part used as the next operation's text: a view beside a copy and a view.
void MidPart_tarnfold(benchmark::State& state) {
    for (auto _ : tarnfold_bench::Counted(state))
        benchmark::DoNotOptimize(tarnfold::SubText(kMixed, 12, 15)->text);
}
BENCHMARK(MidPart_tarnfold)->Name("MidPart/tarnfold")->Apply(tarnfold_bench::Fixed);

void MidPart_std_string(benchmark::State& state) {
    std::string result;
    for (auto _ : tarnfold_bench::Counted(state)) {
        result = std::string(kMixed).substr(14, 12);
        benchmark::DoNotOptimize(result.data());
    }
}
BENCHMARK(MidPart_std_string)->Name("MidPart/std_string")->Apply(tarnfold_bench::Fixed);

void MidPart_string_view(benchmark::State& state) {
    for (auto _ : tarnfold_bench::Counted(state)) {
        std::string_view part = std::string_view(kMixed).substr(14, 12);
        benchmark::DoNotOptimize(part.data());
    }
}
BENCHMARK(MidPart_string_view)->Name("MidPart/string_view")->Apply(tarnfold_bench::Fixed);

// An upper-case copy that the caller owns and later frees.
void ToUpper_tarnfold(benchmark::State& state) {
    for (auto _ : tarnfold_bench::Counted(state)) {
        char* upper = tarnfold::ChangeCase(kMixed, tarnfold::kToUpper).start;
        benchmark::DoNotOptimize(upper);
        tarnfold::ReleaseHeapString(upper);
    }
}
BENCHMARK(ToUpper_tarnfold)->Name("ToUpper/tarnfold")->Apply(tarnfold_bench::Fixed);

void ToUpper_std_transform(benchmark::State& state) {
    for (auto _ : tarnfold_bench::Counted(state)) {
        std::string upper(kMixed);
        std::transform(upper.begin(), upper.end(), upper.begin(),
                       [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
        benchmark::DoNotOptimize(upper.data());
    }
}
BENCHMARK(ToUpper_std_transform)->Name("ToUpper/std_transform")->Apply(tarnfold_bench::Fixed);

void ToUpper_absl_AsciiStrToUpper(benchmark::State& state) {
    for (auto _ : tarnfold_bench::Counted(state)) {
        std::string upper = absl::AsciiStrToUpper(kMixed);
        benchmark::DoNotOptimize(upper.data());
    }
}
BENCHMARK(ToUpper_absl_AsciiStrToUpper)->Name("ToUpper/absl_AsciiStrToUpper")->Apply(tarnfold_bench::Fixed);

}  // namespace

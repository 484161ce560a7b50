// Text search and replacement beside the C library's searches, std::string and absl.
#include <benchmark/benchmark.h>
#include <strings.h>

#include <cstring>
#include <random>
#include <string>

#include "absl/strings/str_replace.h"
#include "instruction_marks.h"
#include "tarnfold.h"

namespace {

constexpr std::size_t kMiB = 1 << 20;

// Lower-case words of 2 to 9 letters between spaces, the same on every run.
std::string Words(std::size_t size, unsigned seed) {
    std::mt19937 random(seed);
    std::string text;
    text.reserve(size + 16);
    while (text.size() < size) {
        std::size_t letters = 2 + random() % 8;
        for (std::size_t i = 0; i < letters; ++i) text += static_cast<char>('a' + random() % 26);
        text += ' ';
    }
    text.resize(size);
    return text;
}

// One MiB of words with the rare pattern once, in its last 64 bytes: every search reads it all.
constexpr const char* kRare = "vqxzk";
constexpr const char* kRareCapitals = "VQXZK";
const std::string& SearchText() {
    static const std::string text = [] {
        std::string words = Words(kMiB, 42);
        words.replace(kMiB - 40, 5, kRare);
        return words;
    }();
    return text;
}

void Find1M_tarnfold(benchmark::State& state) {
    const char* text = SearchText().c_str();
    for (auto _ : tarnfold_bench::Counted(state))
        benchmark::DoNotOptimize(tarnfold::FindText(1, text, kRare, tarnfold::FindExact).match);
}
BENCHMARK(Find1M_tarnfold)->Name("Find1M/tarnfold")->Apply(tarnfold_bench::FixedHeavy);

void Find1M_memmem(benchmark::State& state) {
    const std::string& text = SearchText();
    for (auto _ : tarnfold_bench::Counted(state))
        benchmark::DoNotOptimize(memmem(text.data(), text.size(), kRare, 5));
}
BENCHMARK(Find1M_memmem)->Name("Find1M/memmem")->Apply(tarnfold_bench::FixedHeavy);

void Find1M_strstr(benchmark::State& state) {
    const char* text = SearchText().c_str();
    for (auto _ : tarnfold_bench::Counted(state)) benchmark::DoNotOptimize(std::strstr(text, kRare));
}
BENCHMARK(Find1M_strstr)->Name("Find1M/strstr")->Apply(tarnfold_bench::FixedHeavy);

void Find1M_std_string_find(benchmark::State& state) {
    const std::string& text = SearchText();
    for (auto _ : tarnfold_bench::Counted(state)) benchmark::DoNotOptimize(text.find(kRare));
}
BENCHMARK(Find1M_std_string_find)->Name("Find1M/std_string_find")->Apply(tarnfold_bench::FixedHeavy);

void FindFold1M_tarnfold(benchmark::State& state) {
    const char* text = SearchText().c_str();
    for (auto _ : tarnfold_bench::Counted(state))
        benchmark::DoNotOptimize(tarnfold::FindText(1, text, kRareCapitals, tarnfold::FindFold).match);
}
BENCHMARK(FindFold1M_tarnfold)->Name("FindFold1M/tarnfold")->Apply(tarnfold_bench::FixedHeavy);

void FindFold1M_strcasestr(benchmark::State& state) {
    const char* text = SearchText().c_str();
    for (auto _ : tarnfold_bench::Counted(state)) benchmark::DoNotOptimize(strcasestr(text, kRareCapitals));
}
BENCHMARK(FindFold1M_strcasestr)->Name("FindFold1M/strcasestr")->Apply(tarnfold_bench::FixedHeavy);

// One MiB of words with "<>" at about 1% of the positions, each replaced by "[+]".
constexpr const char* kFound = "<>";
constexpr const char* kReplacement = "[+]";
const std::string& ReplaceText() {
    static const std::string text = [] {
        std::string words = Words(kMiB, 7);
        std::mt19937 random(9);
        for (std::size_t at = random() % 200; at + 2 <= words.size(); at += 2 + random() % 197)
            words.replace(at, 2, kFound);
        return words;
    }();
    return text;
}

void Replace1M_tarnfold(benchmark::State& state) {
    using namespace tarnfold;
    const char* text = ReplaceText().c_str();
    char* variable = nullptr;
    for (auto _ : tarnfold_bench::Counted(state)) {
        Replace(text, kFound, kReplacement, 0);
        variable = StringBuilder(ToVariable(1), kLastTemp, variable);
        benchmark::DoNotOptimize(variable);
    }
    ReleaseHeapString(variable);
}
BENCHMARK(Replace1M_tarnfold)->Name("Replace1M/tarnfold")->Apply(tarnfold_bench::FixedHeavy);

void Replace1M_absl_StrReplaceAll(benchmark::State& state) {
    const std::string& text = ReplaceText();
    std::string variable;
    for (auto _ : tarnfold_bench::Counted(state)) {
        variable = absl::StrReplaceAll(text, {{kFound, kReplacement}});
        benchmark::DoNotOptimize(variable.data());
    }
}
BENCHMARK(Replace1M_absl_StrReplaceAll)->Name("Replace1M/absl_StrReplaceAll")->Apply(tarnfold_bench::FixedHeavy);

void Replace1M_std_string(benchmark::State& state) {
    const std::string& text = ReplaceText();
    std::string variable;
    for (auto _ : tarnfold_bench::Counted(state)) {
        std::string result;
        std::size_t from = 0;
        for (std::size_t at; (at = text.find(kFound, from)) != std::string::npos; from = at + 2) {
            result.append(text, from, at - from);
            result.append(kReplacement);
        }
        result.append(text, from, std::string::npos);
        variable = std::move(result);
        benchmark::DoNotOptimize(variable.data());
    }
}
BENCHMARK(Replace1M_std_string)->Name("Replace1M/std_string")->Apply(tarnfold_bench::FixedHeavy);

}  // namespace

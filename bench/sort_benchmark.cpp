// Sort100k: SortArray of 100,000 random mixed-case words beside std::sort with strcasecmp.
#include <benchmark/benchmark.h>
#include <strings.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <vector>

#include "instruction_marks.h"
#include "tarnfold.h"

namespace {

using tarnfold::ElementRecord;

constexpr int kWords = 100000;
constexpr std::int32_t kBenchArray = 1;

// 100,000 words of 3 to 12 letters, upper and lower case mixed, each in its own block
// with the builder's 24 spare bytes, as elements assigned one by one own them. The same
// seed gives both implementations the same words in the same order.
const std::vector<ElementRecord>& Words() {
    static const std::vector<ElementRecord> words = [] {
        std::mt19937 random(20261208);
        std::uniform_int_distribution<int> length(3, 12);
        std::uniform_int_distribution<int> letter(0, 51);
        std::vector<ElementRecord> records(kWords);
        for (ElementRecord& record : records) {
            int n = length(random);
            auto* text = static_cast<char*>(tarnfold::AllocBlock(static_cast<std::size_t>(n) + 24, false));
            for (int i = 0; i < n; ++i) {
                int c = letter(random);
                text[i] = static_cast<char>(c < 26 ? 'a' + c : 'A' + c - 26);
            }
            text[n] = '\0';
            record = {text, n};
        }
        return records;
    }();
    return words;
}

void Sort100kTarnfold(benchmark::State& state) {
    const std::vector<ElementRecord>& words = Words();
    tarnfold::StringArray* array = tarnfold::CreateArray(kBenchArray, kWords - 1);
    for (auto _ : tarnfold_bench::Counted(state)) {
        state.PauseTiming();
        std::memcpy(array->Element(0), words.data(), words.size() * sizeof(ElementRecord));
        state.ResumeTiming();
        tarnfold::SortArray(kBenchArray, tarnfold::kSortAll);
        benchmark::DoNotOptimize(array->Element(0)->text);
    }
    // The texts belong to the shared word list: drop the records before erasing.
    std::memset(array->Element(0), 0, words.size() * sizeof(ElementRecord));
    tarnfold::EraseArray(kBenchArray);
}
BENCHMARK(Sort100kTarnfold)->Name("Sort100k/tarnfold")->Unit(benchmark::kMillisecond)->Apply(tarnfold_bench::FixedHeavy);

void Sort100kStdSortStrcasecmp(benchmark::State& state) {
    const std::vector<ElementRecord>& words = Words();
    std::vector<ElementRecord> records(words.size());
    for (auto _ : tarnfold_bench::Counted(state)) {
        state.PauseTiming();
        std::copy(words.begin(), words.end(), records.begin());
        state.ResumeTiming();
        std::sort(records.begin(), records.end(), [](const ElementRecord& a, const ElementRecord& b) {
            return strcasecmp(a.text, b.text) < 0;
        });
        benchmark::DoNotOptimize(records.front().text);
    }
}
BENCHMARK(Sort100kStdSortStrcasecmp)->Name("Sort100k/std_sort_strcasecmp")->Unit(benchmark::kMillisecond)->Apply(tarnfold_bench::FixedHeavy);

}  // namespace

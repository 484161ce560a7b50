// Sort100k: SortArray of 100,000 random mixed-case words beside std::sort with strcasecmp.
#include <benchmark/benchmark.h>
#include <strings.h>

#include <algorithm>
#include <cctype>
#include <string>
#include <cstring>
#include <random>
#include <vector>

#include "instruction_marks.h"
#include "same_result.h"
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

// Words that differ only in case may come in either order: results compare lowered.
std::vector<std::string> Lowered(const ElementRecord* records) {
    std::vector<std::string> lowered;
    for (int i = 0; i < kWords; ++i) {
        std::string word(records[i].text);
        for (char& c : word) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        lowered.push_back(std::move(word));
    }
    return lowered;
}
const std::vector<std::string>& SortedLowered() {
    static const std::vector<std::string> sorted = [] {
        std::vector<std::string> words = Lowered(Words().data());
        std::sort(words.begin(), words.end());
        return words;
    }();
    return sorted;
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
    tarnfold_bench::ExpectSame(state, Lowered(array->Element(0)), SortedLowered());
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
    tarnfold_bench::ExpectSame(state, Lowered(records.data()), SortedLowered());
}
BENCHMARK(Sort100kStdSortStrcasecmp)->Name("Sort100k/std_sort_strcasecmp")->Unit(benchmark::kMillisecond)->Apply(tarnfold_bench::FixedHeavy);

}  // namespace

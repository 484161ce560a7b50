// Recall, Store and the sortlines job beside what a C++ programmer writes for them.
#include <benchmark/benchmark.h>
#include <strings.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "instruction_marks.h"
#include "tarnfold.h"

namespace {

constexpr std::int32_t kBenchArray = 12;

// A file of the benchmark program in the system's temporary folder.
std::string BenchPath(const char* stem) {
    return (std::filesystem::temp_directory_path() / (std::string("tarnfold_bench_") + stem + ".txt")).string();
}

// The input files, made once per run and removed when the program ends.
struct MadeFiles {
    std::vector<std::pair<std::string, std::string>> byName;  // name, path
    ~MadeFiles() {
        for (const auto& made : byName) std::remove(made.second.c_str());
    }
};

// A CR LF file of random lines (1 to 80 letters and spaces) of about `bytes`, written once.
const std::string& LinesFile(std::size_t bytes, const char* name) {
    static MadeFiles made;
    for (const auto& [fileName, path] : made.byName)
        if (fileName == name) return path;
    std::mt19937 random(42);
    std::string text;
    text.reserve(bytes + 100);
    while (text.size() < bytes) {
        std::size_t length = 1 + random() % 80;
        for (std::size_t i = 0; i < length; ++i) {
            unsigned pick = random() % 60;
            text += pick < 52 ? static_cast<char>(pick < 26 ? 'a' + pick : 'A' + pick - 26) : ' ';
        }
        text += "\r\n";
    }
    std::string path = BenchPath(name);
    std::ofstream(path, std::ios::binary) << text;
    made.byName.emplace_back(name, path);
    return made.byName.back().second;
}

const std::string kStoreOut = BenchPath("store");
const std::string kSortedOut = BenchPath("sorted");

std::string ReadAll(const std::string& path) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    std::fseek(file, 0, SEEK_END);
    std::string bytes(static_cast<std::size_t>(std::ftell(file)), '\0');
    std::fseek(file, 0, SEEK_SET);
    std::size_t got = std::fread(bytes.data(), 1, bytes.size(), file);
    std::fclose(file);
    bytes.resize(got);
    return bytes;
}

// --- Split64M: a 64 MiB file (from the page cache) into an array of lines.

void Split64M_tarnfold(benchmark::State& state) {
    const std::string& path = LinesFile(64 << 20, "split");
    for (auto _ : tarnfold_bench::Counted(state)) {
        tarnfold::RecallResult result = tarnfold::Recall(path.c_str(), kBenchArray);
        benchmark::DoNotOptimize(result.count);
    }
    tarnfold::EraseArray(kBenchArray);
}
BENCHMARK(Split64M_tarnfold)->Name("Split64M/tarnfold")->Unit(benchmark::kMillisecond)->Apply(tarnfold_bench::FixedHeavy);

// One read, then memchr for each LF, a vector of views.
void Split64M_memchr(benchmark::State& state) {
    const std::string& path = LinesFile(64 << 20, "split");
    for (auto _ : tarnfold_bench::Counted(state)) {
        std::string bytes = ReadAll(path);
        std::vector<std::string_view> lines;
        const char* at = bytes.data();
        const char* end = at + bytes.size();
        while (at < end) {
            const char* lf = static_cast<const char*>(std::memchr(at, '\n', static_cast<std::size_t>(end - at)));
            const char* stop = lf != nullptr ? lf : end;
            const char* lineEnd = stop > at && stop[-1] == '\r' ? stop - 1 : stop;
            lines.emplace_back(at, static_cast<std::size_t>(lineEnd - at));
            at = stop + 1;
        }
        benchmark::DoNotOptimize(lines.data());
    }
}
BENCHMARK(Split64M_memchr)->Name("Split64M/memchr")->Unit(benchmark::kMillisecond)->Apply(tarnfold_bench::FixedHeavy);

// std::getline into a vector of strings.
std::vector<std::string> LinesOf(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::vector<std::string> lines;
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

void Split64M_getline(benchmark::State& state) {
    const std::string& path = LinesFile(64 << 20, "split");
    for (auto _ : tarnfold_bench::Counted(state)) {
        std::vector<std::string> lines = LinesOf(path);
        benchmark::DoNotOptimize(lines.data());
    }
}
BENCHMARK(Split64M_getline)->Name("Split64M/getline")->Unit(benchmark::kMillisecond)->Apply(tarnfold_bench::FixedHeavy);

// --- Store64M: the lines of a 64 MiB file back to a file, each with CR LF.

void Store64M_tarnfold(benchmark::State& state) {
    const std::string& path = LinesFile(64 << 20, "split");
    tarnfold::Recall(path.c_str(), kBenchArray);
    for (auto _ : tarnfold_bench::Counted(state)) tarnfold::Store(kStoreOut.c_str(), kBenchArray);
    tarnfold::EraseArray(kBenchArray);
    std::remove(kStoreOut.c_str());
}
BENCHMARK(Store64M_tarnfold)->Name("Store64M/tarnfold")->Unit(benchmark::kMillisecond)->Apply(tarnfold_bench::FixedHeavy);

void Store64M_fwrite(benchmark::State& state) {
    std::vector<std::string> lines = LinesOf(LinesFile(64 << 20, "split"));
    for (auto _ : tarnfold_bench::Counted(state)) {
        std::FILE* file = std::fopen(kStoreOut.c_str(), "wb");
        for (const std::string& line : lines) {
            std::fwrite(line.data(), 1, line.size(), file);
            std::fwrite("\r\n", 1, 2, file);
        }
        std::fclose(file);
    }
    std::remove(kStoreOut.c_str());
}
BENCHMARK(Store64M_fwrite)->Name("Store64M/fwrite")->Unit(benchmark::kMillisecond)->Apply(tarnfold_bench::FixedHeavy);

void Store64M_ofstream(benchmark::State& state) {
    std::vector<std::string> lines = LinesOf(LinesFile(64 << 20, "split"));
    for (auto _ : tarnfold_bench::Counted(state)) {
        std::ofstream out(kStoreOut, std::ios::binary);
        for (const std::string& line : lines) out << line << "\r\n";
    }
    std::remove(kStoreOut.c_str());
}
BENCHMARK(Store64M_ofstream)->Name("Store64M/ofstream")->Unit(benchmark::kMillisecond)->Apply(tarnfold_bench::FixedHeavy);

// --- SortLines: the sortlines job on a 10 MiB file: read, sort ignoring case, write.

void SortLines_tarnfold(benchmark::State& state) {
    const std::string& path = LinesFile(10 << 20, "sort");
    for (auto _ : tarnfold_bench::Counted(state)) {
        tarnfold::Recall(path.c_str(), kBenchArray);
        tarnfold::SortArray(kBenchArray);
        tarnfold::Store(kSortedOut.c_str(), kBenchArray);
    }
    tarnfold::EraseArray(kBenchArray);
    std::remove(kSortedOut.c_str());
}
BENCHMARK(SortLines_tarnfold)->Name("SortLines/tarnfold")->Unit(benchmark::kMillisecond)->Apply(tarnfold_bench::FixedHeavy);

void SortLines_std(benchmark::State& state) {
    const std::string& path = LinesFile(10 << 20, "sort");
    for (auto _ : tarnfold_bench::Counted(state)) {
        std::string bytes = ReadAll(path);
        std::vector<char*> lines;
        char* at = bytes.data();
        char* end = at + bytes.size();
        while (at < end) {
            char* lf = static_cast<char*>(std::memchr(at, '\n', static_cast<std::size_t>(end - at)));
            char* stop = lf != nullptr ? lf : end;
            (stop > at && stop[-1] == '\r' ? stop[-1] : *stop) = '\0';
            lines.push_back(at);
            at = stop + 1;
        }
        std::sort(lines.begin(), lines.end(), [](const char* a, const char* b) { return strcasecmp(a, b) < 0; });
        std::FILE* file = std::fopen(kSortedOut.c_str(), "wb");
        for (const char* line : lines) {
            std::fputs(line, file);
            std::fwrite("\r\n", 1, 2, file);
        }
        std::fclose(file);
    }
    std::remove(kSortedOut.c_str());
}
BENCHMARK(SortLines_std)->Name("SortLines/std_sort_strcasecmp")->Unit(benchmark::kMillisecond)->Apply(tarnfold_bench::FixedHeavy);

}  // namespace

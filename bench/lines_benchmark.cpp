// Recall, Store and the sortlines job beside what a C++ programmer writes for them.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <strings.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "instruction_marks.h"
#include "same_result.h"
#include "tarnfold.h"

namespace {

using tarnfold_bench::ExpectSame;

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

// A CR LF file of random lines (1 to 80 letters and spaces) of about `bytes`, or of `lines`
// lines, written once.
const std::string& LinesFile(std::size_t bytes, const char* name, std::size_t lines = ~std::size_t{0}) {
    static MadeFiles made;
    for (const auto& [fileName, path] : made.byName)
        if (fileName == name) return path;
    std::mt19937 random(42);
    std::string text;
    text.reserve(bytes + 100);
    for (std::size_t made = 0; text.size() < bytes && made < lines; ++made) {
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

// What a split must give, in brief: the number of lines, their bytes, the middle and the last.
struct LinesSummary {
    std::size_t count = 0, bytes = 0;
    std::string middle, last;
    bool operator==(const LinesSummary&) const = default;
};
template <class Line>
LinesSummary Summary(const std::vector<Line>& lines) {
    LinesSummary summary{lines.size(), 0, {}, {}};
    for (const Line& line : lines) summary.bytes += line.size();
    if (!lines.empty()) summary.middle = lines[lines.size() / 2], summary.last = lines.back();
    return summary;
}
LinesSummary ArraySummary(std::int32_t array, std::int32_t count) {
    std::vector<std::string_view> lines;
    for (std::int32_t i = 0; i < count; ++i) {
        const tarnfold::ElementRecord* element = tarnfold::ArrayTable[array]->Element(i);
        lines.emplace_back(element->text, static_cast<std::size_t>(std::abs(element->length)));
    }
    return Summary(lines);
}

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

// The lines of a CR LF text, as views.
std::vector<std::string_view> SplitViews(const std::string& bytes) {
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
    return lines;
}

const LinesSummary& SplitSummary() {
    static const LinesSummary summary = Summary(SplitViews(ReadAll(LinesFile(64 << 20, "split"))));
    return summary;
}

// --- Split64M: a 64 MiB file (from the page cache) into an array of lines.

void Split64M_tarnfold(benchmark::State& state) {
    const std::string& path = LinesFile(64 << 20, "split");
    tarnfold::RecallResult result{};
    for (auto _ : tarnfold_bench::Counted(state)) {
        result = tarnfold::Recall(path.c_str(), kBenchArray);
        benchmark::DoNotOptimize(result.count);
    }
    ExpectSame(state, ArraySummary(kBenchArray, result.count), SplitSummary());
    tarnfold::EraseArray(kBenchArray);
}
BENCHMARK(Split64M_tarnfold)->Name("Split64M/tarnfold")->Unit(benchmark::kMillisecond)->Apply(tarnfold_bench::FixedHeavy);

// One read, then memchr for each LF, a vector of views.
void Split64M_memchr(benchmark::State& state) {
    const std::string& path = LinesFile(64 << 20, "split");
    // The measured work, and once more after the loop to check its lines.
    auto split = [&path](auto use) {
        std::string bytes = ReadAll(path);
        use(SplitViews(bytes));
    };
    for (auto _ : tarnfold_bench::Counted(state))
        split([](const std::vector<std::string_view>& lines) { benchmark::DoNotOptimize(lines.data()); });
    LinesSummary summary;
    split([&summary](const std::vector<std::string_view>& lines) { summary = Summary(lines); });
    ExpectSame(state, summary, SplitSummary());
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
    std::vector<std::string> lines;
    for (auto _ : tarnfold_bench::Counted(state)) {
        lines = LinesOf(path);
        benchmark::DoNotOptimize(lines.data());
    }
    ExpectSame(state, Summary(lines), SplitSummary());
}
BENCHMARK(Split64M_getline)->Name("Split64M/getline")->Unit(benchmark::kMillisecond)->Apply(tarnfold_bench::FixedHeavy);

// --- Store: the lines of a file back to a file, each with CR LF: the 64 MiB file, and a
// file of 100,000 lines. Every implementation must write the file's bytes again.

const std::string& StoreInput64M() { return LinesFile(64 << 20, "split"); }
const std::string& StoreInput100k() { return LinesFile(~std::size_t{0}, "lines100k", 100000); }

void Store_tarnfold(benchmark::State& state, const std::string& path) {
    tarnfold::Recall(path.c_str(), kBenchArray);
    for (auto _ : tarnfold_bench::Counted(state)) tarnfold::Store(kStoreOut.c_str(), kBenchArray);
    tarnfold::EraseArray(kBenchArray);
    ExpectSame(state, ReadAll(kStoreOut), ReadAll(path));
    std::remove(kStoreOut.c_str());
}

void Store_fwrite(benchmark::State& state, const std::string& path) {
    std::vector<std::string> lines = LinesOf(path);
    for (auto _ : tarnfold_bench::Counted(state)) {
        std::FILE* file = std::fopen(kStoreOut.c_str(), "wb");
        for (const std::string& line : lines) {
            std::fwrite(line.data(), 1, line.size(), file);
            std::fwrite("\r\n", 1, 2, file);
        }
        std::fclose(file);
    }
    ExpectSame(state, ReadAll(kStoreOut), ReadAll(path));
    std::remove(kStoreOut.c_str());
}

void Store_ofstream(benchmark::State& state, const std::string& path) {
    std::vector<std::string> lines = LinesOf(path);
    for (auto _ : tarnfold_bench::Counted(state)) {
        std::ofstream out(kStoreOut, std::ios::binary);
        for (const std::string& line : lines) out << line << "\r\n";
    }
    ExpectSame(state, ReadAll(kStoreOut), ReadAll(path));
    std::remove(kStoreOut.c_str());
}

// The floor: the lines (views into the file's bytes) gathered into one block taken before
// the loop, as the runtime's ring is, and written with one write.
void Store_floor_gather_write(benchmark::State& state, const std::string& path) {
    const std::string bytes = ReadAll(path);
    const std::vector<std::string_view> lines = SplitViews(bytes);
    std::vector<char> block(bytes.size() + 2);
    for (auto _ : tarnfold_bench::Counted(state)) {
        char* out = block.data();
        for (std::string_view line : lines) {
            std::memcpy(out, line.data(), line.size());
            out += line.size();
            *out++ = '\r';
            *out++ = '\n';
        }
        int file = open(kStoreOut.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        benchmark::DoNotOptimize(write(file, block.data(), static_cast<std::size_t>(out - block.data())));
        close(file);
    }
    ExpectSame(state, ReadAll(kStoreOut), ReadAll(path));
    std::remove(kStoreOut.c_str());
}

#define TARNFOLD_STORE(job, input, implementation)             \
    BENCHMARK_CAPTURE(Store_##implementation, job, input())    \
        ->Name(#job "/" #implementation)                       \
        ->Unit(benchmark::kMillisecond)                        \
        ->Apply(tarnfold_bench::FixedHeavy)
TARNFOLD_STORE(Store64M, StoreInput64M, tarnfold);
TARNFOLD_STORE(Store64M, StoreInput64M, fwrite);
TARNFOLD_STORE(Store64M, StoreInput64M, ofstream);
TARNFOLD_STORE(Store64M, StoreInput64M, floor_gather_write);
TARNFOLD_STORE(Store100k, StoreInput100k, tarnfold);
TARNFOLD_STORE(Store100k, StoreInput100k, fwrite);
TARNFOLD_STORE(Store100k, StoreInput100k, ofstream);
TARNFOLD_STORE(Store100k, StoreInput100k, floor_gather_write);

// --- SortLines: the sortlines job on a 10 MiB file: read, sort ignoring case, write.

// Lines that differ only in case may come in either order: results compare lowered.
std::string Lowered(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}
const std::string& SortedLowered(const std::string& path) {
    static const std::string sorted = [&path] {
        std::string lowered = Lowered(ReadAll(path));
        std::vector<std::string_view> lines = SplitViews(lowered);
        std::sort(lines.begin(), lines.end());
        std::string joined;
        for (std::string_view line : lines) joined.append(line).append("\r\n");
        return joined;
    }();
    return sorted;
}

void SortLines_tarnfold(benchmark::State& state) {
    const std::string& path = LinesFile(10 << 20, "sort");
    for (auto _ : tarnfold_bench::Counted(state)) {
        tarnfold::Recall(path.c_str(), kBenchArray);
        tarnfold::SortArray(kBenchArray);
        tarnfold::Store(kSortedOut.c_str(), kBenchArray);
    }
    tarnfold::EraseArray(kBenchArray);
    ExpectSame(state, Lowered(ReadAll(kSortedOut)), SortedLowered(path));
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
    ExpectSame(state, Lowered(ReadAll(kSortedOut)), SortedLowered(path));
    std::remove(kSortedOut.c_str());
}
BENCHMARK(SortLines_std)->Name("SortLines/std_sort_strcasecmp")->Unit(benchmark::kMillisecond)->Apply(tarnfold_bench::FixedHeavy);

}  // namespace

// A whole program: the log filter of examples/logfilter (the C++ layer over the runtime)
// beside its standard-library twin, on the same 200,000-line log, with byte-identical output.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>

#include "instruction_marks.h"
#include "log_filter.h"
#include "log_filter_twin.h"
#include "same_result.h"

namespace {

std::string TempPath(const char* stem) {
    return (std::filesystem::temp_directory_path() / (std::string("tarnfold_bench_") + stem)).string();
}

// 200,000 access-log lines with LF ends: a third of them by curl (in any case), an "api" in
// half of the paths, statuses from 200 to 503, sizes up to a million.
const std::string& LogFile() {
    static const std::string path = [] {
        std::string made = TempPath("access.log");
        std::mt19937 random(7);
        const char* agents[] = {"curl/8.5.0", "Mozilla/5.0 (X11; Linux x86_64; rv:120.0) Gecko/20100101 Firefox/120.0",
                                "CURL-Probe/2.1", "Wget/1.21.4", "python-requests/2.31.0", "Go-http-client/2.0"};
        const char* paths[] = {"/api/v1/users/", "/static/app.js?v=", "/api/v2/orders/", "/index.html?page=",
                               "/images/logo.png?", "/docs/api/guide/"};
        const int statuses[] = {200, 200, 200, 200, 301, 304, 404, 500, 503};
        std::string text;
        char line[400];
        for (int i = 0; i < 200000; ++i) {
            int length = std::snprintf(
                line, sizeof line,
                "10.%u.%u.%u - - [01/Jan/2024:%02u:%02u:%02u +0000] \"GET %s%u HTTP/2\" %d %u "
                "\"https://example.com/?q=Api\" \"%s\"\n",
                random() % 256, random() % 256, random() % 256, i / 3600 % 24, i / 60 % 60, i % 60,
                paths[random() % 6], static_cast<unsigned>(random() % 100000), statuses[random() % 9],
                static_cast<unsigned>(random() % 1000000), agents[random() % 6]);
            text.append(line, static_cast<std::size_t>(length));
        }
        std::ofstream(made, std::ios::binary) << text;
        return made;
    }();
    return path;
}

std::string Contents(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

using Filter = bool (*)(const char*, const char*, const char*, const char*, const char*, LogSummary&);

void RunFilter(benchmark::State& state, Filter filter, const char* output) {
    const std::string& log = LogFile();
    const std::string kept = TempPath(output);
    LogSummary summary{};
    for (auto _ : tarnfold_bench::Counted(state)) filter(log.c_str(), "curl", "api", "API", kept.c_str(), summary);
    // Both implementations must write the same file and count the same.
    static std::string first;
    static LogSummary firstSummary;
    const std::string written = Contents(kept);
    if (first.empty()) {
        first = written;
        firstSummary = summary;
    }
    tarnfold_bench::ExpectSame(state, written, first);
    tarnfold_bench::ExpectSame(state, std::memcmp(&summary, &firstSummary, sizeof summary), 0);
    std::remove(kept.c_str());
}

void LogFilterTarnfold(benchmark::State& state) { RunFilter(state, FilterLog, "kept_tarnfold.log"); }
void LogFilterStd(benchmark::State& state) { RunFilter(state, FilterLogWithStd<StdLower>, "kept_std.log"); }
void LogFilterStdTable(benchmark::State& state) {
    RunFilter(state, FilterLogWithStd<TableLower>, "kept_std_table.log");
}

// One run of 200,000 lines is the measured unit: fixed runs take one iteration each.
void Once(benchmark::internal::Benchmark* b) {
    if (tarnfold_bench::FixedIterations() > 0) b->Iterations(1);
}
BENCHMARK(LogFilterTarnfold)->Name("LogFilter200k/tarnfold")->Unit(benchmark::kMillisecond)->Apply(Once);
BENCHMARK(LogFilterStd)->Name("LogFilter200k/std_twin")->Unit(benchmark::kMillisecond)->Apply(Once);
BENCHMARK(LogFilterStdTable)->Name("LogFilter200k/std_twin_fold_table")->Unit(benchmark::kMillisecond)->Apply(Once);

}  // namespace

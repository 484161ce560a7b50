// Every benchmark checks, outside its measured loop, that its implementation produced the
// result all implementations of the job must produce on the same data. A benchmark whose
// result differs is reported as an error, and scripts/bench fails.
#pragma once

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <functional>
#include <string>

namespace tarnfold_bench {

template <class Got, class Want>
void ExpectSame(benchmark::State& state, const Got& got, const Want& want) {
    if (!(got == want)) state.SkipWithError("the result differs from the one every implementation must give");
}

}  // namespace tarnfold_bench

namespace tarnfold_bench {

// What `print` writes to standard output, caught in a temporary file.
inline std::string CapturedOutput(const std::function<void()>& print) {
    std::fflush(stdout);
    std::FILE* capture = std::tmpfile();
    int saved = dup(1);
    dup2(fileno(capture), 1);
    print();
    std::fflush(stdout);
    dup2(saved, 1);
    close(saved);
    std::string output;
    std::rewind(capture);
    for (int c; (c = std::fgetc(capture)) != EOF;) output += static_cast<char>(c);
    std::fclose(capture);
    return output;
}

}  // namespace tarnfold_bench

// Writing a file line by line: the builder to a file slot beside fwrite and std::ofstream.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "instruction_marks.h"
#include "same_result.h"
#include "tarnfold.h"

namespace {

constexpr int kLines = 100000;
// 40 bytes with the line break, the same for every peer.
const char kLine[] = "Order 0042-7781-55 shipped to Lovelace\r\n";
static_assert(sizeof kLine - 1 == 40);

std::string BenchFile() {
    return (std::filesystem::temp_directory_path() / "tarnfold_bench_filewrite.tmp").string();
}

// The file every implementation must leave: the line 100,000 times.
bool WroteTheLines(const std::string& name) {
    std::ifstream in(name, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (bytes.size() != kLines * (sizeof kLine - 1)) return false;
    for (std::size_t at = 0; at < bytes.size(); at += sizeof kLine - 1)
        if (bytes.compare(at, sizeof kLine - 1, kLine) != 0) return false;
    return true;
}

// One iteration: create the file, write 100,000 lines, close it.
void FileWrite_tarnfold(benchmark::State& state) {
    using namespace tarnfold;
    std::string name = BenchFile();
    for (auto _ : tarnfold_bench::Counted(state)) {
        OpenOutput(1, name.c_str(), kModeCreate);
        for (int i = 0; i < kLines; ++i) StringBuilder(ToFileSlot(1, 1), kLine);
        CloseFile(1);
    }
    tarnfold_bench::ExpectSame(state, WroteTheLines(name), true);
    std::remove(name.c_str());
}
BENCHMARK(FileWrite_tarnfold)->Name("FileWrite/tarnfold")->Apply(tarnfold_bench::FixedHeavy);

void FileWrite_fwrite(benchmark::State& state) {
    std::string name = BenchFile();
    for (auto _ : tarnfold_bench::Counted(state)) {
        std::FILE* f = std::fopen(name.c_str(), "wb");
        for (int i = 0; i < kLines; ++i) std::fwrite(kLine, 1, sizeof kLine - 1, f);
        std::fclose(f);
    }
    tarnfold_bench::ExpectSame(state, WroteTheLines(name), true);
    std::remove(name.c_str());
}
BENCHMARK(FileWrite_fwrite)->Name("FileWrite/fwrite")->Apply(tarnfold_bench::FixedHeavy);

void FileWrite_ofstream(benchmark::State& state) {
    std::string name = BenchFile();
    for (auto _ : tarnfold_bench::Counted(state)) {
        std::ofstream out(name, std::ios::binary | std::ios::trunc);
        for (int i = 0; i < kLines; ++i) out.write(kLine, sizeof kLine - 1);
    }
    tarnfold_bench::ExpectSame(state, WroteTheLines(name), true);
    std::remove(name.c_str());
}
BENCHMARK(FileWrite_ofstream)->Name("FileWrite/ofstream")->Apply(tarnfold_bench::FixedHeavy);

}  // namespace

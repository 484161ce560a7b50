// One call per short text, as a program that handles a file line by line makes them: the
// fixed cost of each call decides. Texts of 16, 64, 120 and 256 bytes cut from one log line,
// the match early, late or absent; each operation beside the peer a C++ programmer would
// write and, where the runtime must measure its zero-terminated text, the floor strlen.
// PerCallLoop/empty is the measured loop alone: subtract it from a row for the call's cost.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <strings.h>
#include <unistd.h>

#include <array>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "absl/strings/ascii.h"
#include "fast_float/fast_float.h"
#include "instruction_marks.h"
#include "same_result.h"
#include "tarnfold.h"

namespace {

using tarnfold_bench::ExpectSame;

constexpr std::string_view kLine =
    R"(10.0.0.7 - - [01/Jan/2024:00:00:07 +0000] "GET /api/v1/users/7 HTTP/2" 200 5123 "https://example.com/?q=Api" "curl/8.5.0")";

// The data of one call, hidden from the compiler on every iteration so that no
// implementation measures or folds it at compile time.
template <class T>
T Hidden(T value) {
    asm volatile("" : "+m"(value));
    return value;
}
// A result kept in memory as it stands after the call.
template <class T>
void Keep(T& value) {
    asm volatile("" : "+m"(value) : : "memory");
}
template <class T>
void Keep(T&& value) {
    T kept = value;
    Keep(kept);
}

void Register(const std::string& name, std::function<void(benchmark::State&)> run) {
    benchmark::RegisterBenchmark(name.c_str(), std::move(run))->Apply(tarnfold_bench::Fixed);
}

void EmptyLoop(benchmark::State& state) {
    for (auto _ : tarnfold_bench::Counted(state)) Keep(Hidden(kLine.data()));
}
BENCHMARK(EmptyLoop)->Name("PerCallLoop/empty")->Apply(tarnfold_bench::Fixed);

// --- Searches. A text of `size` bytes: the line repeated, its "curl" spelt otherwise so that
// the pattern lies only where it is placed (at byte 1, or 4 bytes before the end).
enum class Place { Early, Late, Absent };
constexpr const char* kPlaceNames[] = {"early", "late", "absent"};

std::string SearchText(std::size_t size, std::string_view pattern, Place place) {
    std::string base(kLine);
    base.replace(base.find("curl"), 4, "cUrl");
    std::string text;
    while (text.size() < size) text += base + ' ';
    text.resize(size);
    if (place == Place::Early) text.replace(1, pattern.size(), pattern);
    if (place == Place::Late) text.replace(size - pattern.size() - 4, pattern.size(), pattern);
    return text;
}

// The fold of the runtime's folded search: bit 0x20 set on both sides.
constexpr std::array<unsigned char, 256> kFoldTable = [] {
    std::array<unsigned char, 256> table{};
    for (int byte = 0; byte < 256; ++byte) table[byte] = static_cast<unsigned char>(byte | 0x20);
    return table;
}();

// The folded search a C++ programmer writes with a 256-byte table: the pattern folded once,
// each candidate's first byte looked up, then the rest.
long TableFoldFind(std::string_view text, std::string_view pattern) {
    unsigned char folded[32];
    for (std::size_t i = 0; i < pattern.size(); ++i) folded[i] = kFoldTable[static_cast<unsigned char>(pattern[i])];
    const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
    if (pattern.size() > text.size()) return -1;
    const std::size_t last = text.size() - pattern.size();
    for (std::size_t at = 0; at <= last; ++at) {
        if (kFoldTable[bytes[at]] != folded[0]) continue;
        std::size_t i = 1;
        while (i < pattern.size() && kFoldTable[bytes[at + i]] == folded[i]) ++i;
        if (i == pattern.size()) return static_cast<long>(at);
    }
    return -1;
}

long Offset(const char* match, const std::string& text) { return match != nullptr ? match - text.data() : -1; }

void RegisterSearch(std::size_t size, std::string pattern, Place place, bool fold) {
    const std::string text = SearchText(size, pattern, place);
    std::string asked = pattern;
    // A one-byte pattern is compared exactly in every mode: it is asked as it stands.
    if (fold && pattern.size() > 1)
        for (char& c : asked) c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 0x20 : c);
    const long want = fold ? TableFoldFind(text, asked) : static_cast<long>(std::string_view(text).find(pattern));
    const std::string op = std::string(fold ? "PerCallFindFold" : "PerCallFind") + std::to_string(pattern.size()) + "_" +
                           std::to_string(size) + "_" + kPlaceNames[static_cast<int>(place)];
    Register(op + "/tarnfold", [=](benchmark::State& state) {
        const tarnfold::Word mode = fold ? tarnfold::FindFold : tarnfold::FindExact;
        const char* match = nullptr;
        for (auto _ : tarnfold_bench::Counted(state)) {
            match = tarnfold::FindText(tarnfold::kFindWholeText, Hidden(text.c_str()), Hidden(asked.c_str()), mode).match;
            Keep(match);
        }
        ExpectSame(state, Offset(match, text), want);
    });
    if (!fold) {
        // The view's and the pattern's lengths are known: the peer measures nothing.
        Register(op + "/std_string_view_find", [=](benchmark::State& state) {
            std::size_t at = 0;
            for (auto _ : tarnfold_bench::Counted(state)) {
                at = Hidden(std::string_view(text)).find(Hidden(std::string_view(asked)));
                Keep(at);
            }
            ExpectSame(state, static_cast<long>(at), want);
        });
        Register(op + "/strstr", [=](benchmark::State& state) {
            const char* match = nullptr;
            for (auto _ : tarnfold_bench::Counted(state)) {
                match = std::strstr(Hidden(text.c_str()), Hidden(asked.c_str()));
                Keep(match);
            }
            ExpectSame(state, Offset(match, text), want);
        });
    } else {
        Register(op + "/table_fold_find", [=](benchmark::State& state) {
            long at = 0;
            for (auto _ : tarnfold_bench::Counted(state)) {
                at = TableFoldFind(Hidden(std::string_view(text)), Hidden(std::string_view(asked)));
                Keep(at);
            }
            ExpectSame(state, at, want);
        });
    }
}

const int kSearches = [] {
    for (bool fold : {false, true}) {
        for (std::size_t size : {16, 64, 120, 256})
            for (Place place : {Place::Early, Place::Late, Place::Absent}) RegisterSearch(size, "curl", place, fold);
        for (const char* pattern : {"c", "ur", "curl/8.5", "example.com/?q=A"})
            for (Place place : {Place::Late, Place::Absent}) RegisterSearch(120, pattern, place, fold);
    }
    return 0;
}();

// The issue's line as it is: "curl" near its end, and a word it does not hold.
void LineFind(benchmark::State& state, const char* pattern, tarnfold::Word mode) {
    const std::string line(kLine);
    const long want = mode == tarnfold::FindFold ? TableFoldFind(line, pattern) : static_cast<long>(line.find(pattern));
    const char* match = nullptr;
    for (auto _ : tarnfold_bench::Counted(state)) {
        match = tarnfold::FindText(tarnfold::kFindWholeText, Hidden(line.c_str()), Hidden(pattern), mode).match;
        Keep(match);
    }
    ExpectSame(state, Offset(match, line), want);
}
void LineFindView(benchmark::State& state, const char* pattern) {
    const std::string line(kLine);
    std::size_t at = 0;
    for (auto _ : tarnfold_bench::Counted(state)) {
        at = Hidden(std::string_view(line)).find(Hidden(std::string_view(pattern)));
        Keep(at);
    }
    ExpectSame(state, static_cast<long>(at), static_cast<long>(line.find(pattern)));
}
void LineFindTable(benchmark::State& state, const char* pattern) {
    const std::string line(kLine);
    long at = 0;
    for (auto _ : tarnfold_bench::Counted(state)) {
        at = TableFoldFind(Hidden(std::string_view(line)), Hidden(std::string_view(pattern)));
        Keep(at);
    }
    ExpectSame(state, at, TableFoldFind(line, pattern));
}
BENCHMARK_CAPTURE(LineFind, exact, "curl", tarnfold::FindExact)->Name("LineFindCurl/tarnfold")->Apply(tarnfold_bench::Fixed);
BENCHMARK_CAPTURE(LineFindView, exact, "curl")->Name("LineFindCurl/std_string_view_find")->Apply(tarnfold_bench::Fixed);
BENCHMARK_CAPTURE(LineFind, fold, "CURL", tarnfold::FindFold)->Name("LineFindFoldCURL/tarnfold")->Apply(tarnfold_bench::Fixed);
BENCHMARK_CAPTURE(LineFindTable, fold, "CURL")->Name("LineFindFoldCURL/table_fold_find")->Apply(tarnfold_bench::Fixed);
BENCHMARK_CAPTURE(LineFind, miss, "zebra", tarnfold::FindFold)->Name("LineFindFoldZebra/tarnfold")->Apply(tarnfold_bench::Fixed);
BENCHMARK_CAPTURE(LineFindTable, miss, "zebra")->Name("LineFindFoldZebra/table_fold_find")->Apply(tarnfold_bench::Fixed);

// --- Numbers: the status field of the line ("200 5123 ..."), a long integer and a short
// decimal, each followed by the rest of a line.
const char* const kStatus = R"(200 5123 "https://example.com/?q=Api" "curl/8.5.0")";
const char* const kCount = "-123456789 items";
const char* const kDecimal = "12.75 ms";

void ParseInt_tarnfold(benchmark::State& state, const char* text) {
    std::int32_t value = 0;
    std::int32_t count = 0;
    for (auto _ : tarnfold_bench::Counted(state)) {
        value = tarnfold::kSizeInt32;
        count = tarnfold::ParseNumber(Hidden(text), &value);
        Keep(count);
        Keep(value);
    }
    std::int32_t want = 0;
    auto end = std::from_chars(text, text + std::strlen(text), want).ptr;
    ExpectSame(state, std::pair{value, count}, std::pair{want, static_cast<std::int32_t>(end - text)});
}
void ParseInt_from_chars(benchmark::State& state, const char* text) {
    std::int32_t value = 0;
    for (auto _ : tarnfold_bench::Counted(state)) {
        const char* at = Hidden(text);
        // The text's end is not known: the peer is given an end well past the number.
        auto result = std::from_chars(at, at + 16, value);
        Keep(result.ptr);
        Keep(value);
    }
    std::int32_t want = 0;
    std::from_chars(text, text + std::strlen(text), want);
    ExpectSame(state, value, want);
}
void ParseDecimal_tarnfold(benchmark::State& state, const char* text) {
    union {
        double value;
        std::int32_t sizeCode;
    } destination{};
    std::int32_t count = 0;
    for (auto _ : tarnfold_bench::Counted(state)) {
        destination.sizeCode = tarnfold::kSizeFloat64;
        count = tarnfold::ParseNumber(Hidden(text), &destination);
        Keep(count);
        Keep(destination.value);
    }
    double want = 0;
    auto end = fast_float::from_chars(text, text + std::strlen(text), want).ptr;
    // The runtime rounds down where the peer rounds to nearest; this text is exact either way.
    ExpectSame(state, std::pair{destination.value, count}, std::pair{want, static_cast<std::int32_t>(end - text)});
}
void ParseDecimal_fast_float(benchmark::State& state, const char* text) {
    double value = 0;
    for (auto _ : tarnfold_bench::Counted(state)) {
        const char* at = Hidden(text);
        auto result = fast_float::from_chars(at, at + 8, value);
        Keep(result.ptr);
        Keep(value);
    }
    double want = 0;
    fast_float::from_chars(text, text + std::strlen(text), want);
    ExpectSame(state, value, want);
}
BENCHMARK_CAPTURE(ParseInt_tarnfold, status, kStatus)->Name("PerCallParseInt200/tarnfold")->Apply(tarnfold_bench::Fixed);
BENCHMARK_CAPTURE(ParseInt_from_chars, status, kStatus)->Name("PerCallParseInt200/from_chars")->Apply(tarnfold_bench::Fixed);
BENCHMARK_CAPTURE(ParseInt_tarnfold, count, kCount)->Name("PerCallParseInt9Digits/tarnfold")->Apply(tarnfold_bench::Fixed);
BENCHMARK_CAPTURE(ParseInt_from_chars, count, kCount)->Name("PerCallParseInt9Digits/from_chars")->Apply(tarnfold_bench::Fixed);
BENCHMARK_CAPTURE(ParseDecimal_tarnfold, ms, kDecimal)->Name("PerCallParseDecimal/tarnfold")->Apply(tarnfold_bench::Fixed);
BENCHMARK_CAPTURE(ParseDecimal_fast_float, ms, kDecimal)->Name("PerCallParseDecimal/fast_float")->Apply(tarnfold_bench::Fixed);

// --- Producers on the 120-byte line. The floor measures the text: the runtime takes
// zero-terminated texts, so each of these calls must at least find the line's end.
const std::string& Line() {
    static const std::string line(kLine);
    return line;
}

void Floor_strlen(benchmark::State& state) {
    std::size_t length = 0;
    for (auto _ : tarnfold_bench::Counted(state)) {
        length = std::strlen(Hidden(Line().c_str()));
        Keep(length);
    }
    ExpectSame(state, length, kLine.size());
}

std::string_view LastTemp() {
    const tarnfold::TempSlot& slot = *tarnfold::SelectTempSlot(0);
    return {slot.text, static_cast<std::size_t>(slot.length < 0 ? -slot.length : slot.length)};
}

void SubText_tarnfold(benchmark::State& state) {
    for (auto _ : tarnfold_bench::Counted(state)) Keep(tarnfold::SubText(Hidden(Line().c_str()), 10, 5));
    ExpectSame(state, LastTemp(), kLine.substr(4, 10));
}
void SubText_string_view(benchmark::State& state) {
    std::string_view part;
    for (auto _ : tarnfold_bench::Counted(state)) {
        part = std::string_view(Hidden(Line().c_str())).substr(4, 10);
        Keep(part);
    }
    ExpectSame(state, part, kLine.substr(4, 10));
}
BENCHMARK(SubText_tarnfold)->Name("PerCallSubText120/tarnfold")->Apply(tarnfold_bench::Fixed);
BENCHMARK(SubText_string_view)->Name("PerCallSubText120/std_string_view_substr")->Apply(tarnfold_bench::Fixed);
BENCHMARK(Floor_strlen)->Name("PerCallSubText120/floor_strlen")->Apply(tarnfold_bench::Fixed);

void TrimText_tarnfold(benchmark::State& state) {
    for (auto _ : tarnfold_bench::Counted(state))
        Keep(tarnfold::TrimText(Hidden(Line().c_str()), tarnfold::kTrimBoth).start);
    ExpectSame(state, LastTemp(), kLine);
}
void TrimText_absl(benchmark::State& state) {
    std::string_view trimmed;
    for (auto _ : tarnfold_bench::Counted(state)) {
        const auto stripped = absl::StripAsciiWhitespace(Hidden(Line().c_str()));
        trimmed = std::string_view(stripped.data(), stripped.size());
        Keep(trimmed);
    }
    ExpectSame(state, trimmed, kLine);
}
BENCHMARK(TrimText_tarnfold)->Name("PerCallTrimText120/tarnfold")->Apply(tarnfold_bench::Fixed);
BENCHMARK(TrimText_absl)->Name("PerCallTrimText120/absl_StripAsciiWhitespace")->Apply(tarnfold_bench::Fixed);
BENCHMARK(Floor_strlen)->Name("PerCallTrimText120/floor_strlen")->Apply(tarnfold_bench::Fixed);

std::string Upper(std::string_view text) {
    std::string upper(text);
    for (char& c : upper) c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 0x20 : c);
    return upper;
}
// The result is released each call, as a loop over lines must do (the registry holds 100).
void ChangeCase_tarnfold(benchmark::State& state) {
    std::string last;
    for (auto _ : tarnfold_bench::Counted(state)) {
        auto upper = tarnfold::ChangeCase(Hidden(Line().c_str()), tarnfold::kToUpper);
        Keep(upper.start);
        tarnfold::ReleaseHeapString(upper.start);
    }
    auto upper = tarnfold::ChangeCase(Line().c_str(), tarnfold::kToUpper);
    ExpectSame(state, std::string_view(upper.start), Upper(kLine));
    tarnfold::ReleaseHeapString(upper.start);
}
void ChangeCase_std_string(benchmark::State& state) {
    std::string upper;
    for (auto _ : tarnfold_bench::Counted(state)) {
        std::string copy(Hidden(Line().c_str()));
        for (char& c : copy) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        Keep(copy.data());
        upper = std::move(copy);
    }
    ExpectSame(state, upper, Upper(kLine));
}
BENCHMARK(ChangeCase_tarnfold)->Name("PerCallChangeCase120/tarnfold")->Apply(tarnfold_bench::Fixed);
BENCHMARK(ChangeCase_std_string)->Name("PerCallChangeCase120/std_string_toupper")->Apply(tarnfold_bench::Fixed);
BENCHMARK(Floor_strlen)->Name("PerCallChangeCase120/floor_strlen")->Apply(tarnfold_bench::Fixed);

// KeepTemp of the line as the most recent temporary (a view of it): one copy per call, the
// copy of seven calls ago freed.
void KeepTemp_tarnfold(benchmark::State& state) {
    tarnfold::SubText(Line().c_str(), -1, 1);
    char* kept = nullptr;
    for (auto _ : tarnfold_bench::Counted(state)) {
        kept = tarnfold::KeepTemp();
        Keep(kept);
    }
    ExpectSame(state, std::string_view(kept), kLine);
}
void KeepTemp_std_string(benchmark::State& state) {
    std::string_view view(Line());
    std::string kept[8];
    int next = 0;
    for (auto _ : tarnfold_bench::Counted(state)) {
        kept[next] = std::string(Hidden(view));
        Keep(kept[next].data());
        next = (next + 1) & 7;
    }
    ExpectSame(state, std::string_view(kept[(next + 7) & 7]), kLine);
}
BENCHMARK(KeepTemp_tarnfold)->Name("PerCallKeepTemp120/tarnfold")->Apply(tarnfold_bench::Fixed);
BENCHMARK(KeepTemp_std_string)->Name("PerCallKeepTemp120/std_string_copy")->Apply(tarnfold_bench::Fixed);

// --- Replace "api" by "API" in the line, assigned to a variable.
std::string Replaced() {
    std::string text(kLine);
    for (std::size_t at = 0; (at = text.find("api", at)) != std::string::npos; at += 3) text.replace(at, 3, "API");
    return text;
}
void Replace_tarnfold(benchmark::State& state) {
    char* variable = nullptr;
    for (auto _ : tarnfold_bench::Counted(state)) {
        tarnfold::Replace(Hidden(Line().c_str()), Hidden("api"), Hidden("API"), 0);
        variable = tarnfold::StringBuilder(tarnfold::ToVariable(1), tarnfold::kLastTemp, variable);
        Keep(variable);
    }
    ExpectSame(state, std::string_view(variable), Replaced());
    tarnfold::ReleaseHeapString(variable);
}
void Replace_std_string(benchmark::State& state) {
    std::string variable;
    for (auto _ : tarnfold_bench::Counted(state)) {
        std::string text(Hidden(Line().c_str()));
        std::string_view found = Hidden(std::string_view("api")), replacement = Hidden(std::string_view("API"));
        for (std::size_t at = 0; (at = text.find(found, at)) != std::string::npos; at += replacement.size())
            text.replace(at, found.size(), replacement);
        variable = std::move(text);
        Keep(variable.data());
    }
    ExpectSame(state, variable, Replaced());
}
BENCHMARK(Replace_tarnfold)->Name("PerCallReplaceAssign120/tarnfold")->Apply(tarnfold_bench::Fixed);
BENCHMARK(Replace_std_string)->Name("PerCallReplaceAssign120/std_string")->Apply(tarnfold_bench::Fixed);

// --- The builder: a variable from 1, 2 and 4 short parts of a line, and a line printed or
// written to a file.
const char* const kParts[4] = {"GET ", "/api/v1/users/7", " HTTP/2", " 200"};

template <int kCount>
void AssignParts_tarnfold(benchmark::State& state) {
    char* variable = nullptr;
    for (auto _ : tarnfold_bench::Counted(state)) {
        if constexpr (kCount == 1)
            variable = tarnfold::StringBuilder(tarnfold::ToVariable(1), Hidden(kParts[1]), variable);
        else if constexpr (kCount == 2)
            variable = tarnfold::StringBuilder(tarnfold::ToVariable(2), Hidden(kParts[0]), Hidden(kParts[1]), variable);
        else
            variable = tarnfold::StringBuilder(tarnfold::ToVariable(4), Hidden(kParts[0]), Hidden(kParts[1]),
                                               Hidden(kParts[2]), Hidden(kParts[3]), variable);
        Keep(variable);
    }
    std::string want = kCount == 1 ? std::string(kParts[1]) : std::string(kParts[0]) + kParts[1];
    if (kCount == 4) want = want + kParts[2] + kParts[3];
    ExpectSame(state, std::string_view(variable), want);
    tarnfold::ReleaseHeapString(variable);
}
template <int kCount>
void AssignParts_std_string(benchmark::State& state) {
    std::string variable;
    for (auto _ : tarnfold_bench::Counted(state)) {
        const char* parts[4];
        std::memcpy(parts, kParts, sizeof parts);
        Keep(parts);
        if constexpr (kCount == 1)
            variable = parts[1];
        else if constexpr (kCount == 2)
            variable = std::string(parts[0]) + parts[1];
        else
            variable = std::string(parts[0]) + parts[1] + parts[2] + parts[3];
        Keep(variable.data());
    }
    std::string want = kCount == 1 ? std::string(kParts[1]) : std::string(kParts[0]) + kParts[1];
    if (kCount == 4) want = want + kParts[2] + kParts[3];
    ExpectSame(state, variable, want);
}
BENCHMARK(AssignParts_tarnfold<1>)->Name("PerCallAssign1Part/tarnfold")->Apply(tarnfold_bench::Fixed);
BENCHMARK(AssignParts_std_string<1>)->Name("PerCallAssign1Part/std_string")->Apply(tarnfold_bench::Fixed);
BENCHMARK(AssignParts_tarnfold<2>)->Name("PerCallAssign2Parts/tarnfold")->Apply(tarnfold_bench::Fixed);
BENCHMARK(AssignParts_std_string<2>)->Name("PerCallAssign2Parts/std_string")->Apply(tarnfold_bench::Fixed);
BENCHMARK(AssignParts_tarnfold<4>)->Name("PerCallAssign4Parts/tarnfold")->Apply(tarnfold_bench::Fixed);
BENCHMARK(AssignParts_std_string<4>)->Name("PerCallAssign4Parts/std_string")->Apply(tarnfold_bench::Fixed);

// Printing the line: standard output is /dev/null under scripts/bench, for every peer.
void PrintLine_tarnfold(benchmark::State& state) {
    auto print = [] { tarnfold::StringBuilder(tarnfold::ToConsole(2), Hidden(Line().c_str()), tarnfold::Word{1}); };
    for (auto _ : tarnfold_bench::Counted(state)) print();
    ExpectSame(state, tarnfold_bench::CapturedOutput(print), std::string(kLine) + "\r\n");
}
void PrintLine_fwrite(benchmark::State& state) {
    auto print = [] {
        const char* line = Hidden(Line().c_str());
        std::fwrite(line, 1, std::strlen(line), stdout);
        std::fwrite("\r\n", 1, 2, stdout);
        std::fflush(stdout);  // a console write is unbuffered: one write per line
    };
    for (auto _ : tarnfold_bench::Counted(state)) print();
    ExpectSame(state, tarnfold_bench::CapturedOutput(print), std::string(kLine) + "\r\n");
}
BENCHMARK(PrintLine_tarnfold)->Name("PerCallPrintLine/tarnfold")->Apply(tarnfold_bench::Fixed);
BENCHMARK(PrintLine_fwrite)->Name("PerCallPrintLine/fwrite_fflush")->Apply(tarnfold_bench::Fixed);

// A line per call to an open file slot, beside a buffered FILE and the bare write(2) per
// line that shows what one system write costs by itself.
std::string LineFile() { return (std::filesystem::temp_directory_path() / "tarnfold_bench_percall.tmp").string(); }
std::size_t FileSize(const std::string& name) { return std::filesystem::file_size(name); }

void FileLine_tarnfold(benchmark::State& state) {
    const std::string name = LineFile();
    tarnfold::OpenOutput(1, name.c_str(), tarnfold::kModeCreate);
    std::size_t lines = 0;
    for (auto _ : tarnfold_bench::Counted(state)) {
        tarnfold::StringBuilder(tarnfold::ToFileSlot(1, 2), Hidden(Line().c_str()), tarnfold::Word{1});
        ++lines;
    }
    tarnfold::CloseFile(1);
    ExpectSame(state, FileSize(name), lines * (kLine.size() + 2));
    std::remove(name.c_str());
}
void FileLine_fwrite(benchmark::State& state) {
    const std::string name = LineFile();
    std::FILE* file = std::fopen(name.c_str(), "wb");
    std::size_t lines = 0;
    for (auto _ : tarnfold_bench::Counted(state)) {
        const char* line = Hidden(Line().c_str());
        std::fwrite(line, 1, std::strlen(line), file);
        std::fwrite("\r\n", 1, 2, file);
        ++lines;
    }
    std::fclose(file);
    ExpectSame(state, FileSize(name), lines * (kLine.size() + 2));
    std::remove(name.c_str());
}
void FileLine_write(benchmark::State& state) {
    const std::string name = LineFile();
    int file = open(name.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    std::size_t lines = 0;
    char buffer[256];
    for (auto _ : tarnfold_bench::Counted(state)) {
        const char* line = Hidden(Line().c_str());
        std::size_t length = std::strlen(line);
        std::memcpy(buffer, line, length);
        std::memcpy(buffer + length, "\r\n", 2);
        Keep(write(file, buffer, length + 2));
        ++lines;
    }
    close(file);
    ExpectSame(state, FileSize(name), lines * (kLine.size() + 2));
    std::remove(name.c_str());
}
BENCHMARK(FileLine_tarnfold)->Name("PerCallFileLine/tarnfold")->Apply(tarnfold_bench::Fixed);
BENCHMARK(FileLine_fwrite)->Name("PerCallFileLine/fwrite")->Apply(tarnfold_bench::Fixed);
BENCHMARK(FileLine_write)->Name("PerCallFileLine/write_per_line")->Apply(tarnfold_bench::Fixed);

}  // namespace

// Number formatting and parsing beside snprintf, fmt, std::to_chars, strtod,
// std::from_chars and fast_float, each on the same 1,024 values per iteration.
#include <benchmark/benchmark.h>

#include <charconv>
#include <cfenv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "fast_float/fast_float.h"
#include "instruction_marks.h"
#include "same_result.h"
#include "tarnfold.h"

#ifdef TARNFOLD_BENCH_HAS_FMT
#include <fmt/format.h>
#endif

namespace {

constexpr int kValueCount = 1024;

// Seven significant digits of float64 values spread over 1e-20 to 1e20, either sign.
const std::vector<double>& FormatValues() {
    static const std::vector<double> values = [] {
        std::mt19937 random(20240611);
        std::uniform_real_distribution<double> mantissa(1.0, 10.0);
        std::uniform_int_distribution<int> exponent(-20, 19);
        std::vector<double> result;
        for (int i = 0; i < kValueCount; ++i) {
            double value = mantissa(random) * std::pow(10.0, exponent(random));
            result.push_back(i % 4 == 3 ? -value : value);
        }
        return result;
    }();
    return values;
}

// Texts with 1 to 9 significant digits, a point somewhere or none, and half of them with
// an exponent from e-20 to e+20.

const std::vector<std::string>& ParseInputs() {
    static const std::vector<std::string> texts = [] {
        std::mt19937 random(20240612);
        std::uniform_int_distribution<int> digitCount(1, 9);
        std::uniform_int_distribution<int> digit(0, 9);
        std::uniform_int_distribution<int> exponent(-20, 20);
        std::vector<std::string> result;
        for (int i = 0; i < kValueCount; ++i) {
            std::string text = i % 5 == 4 ? "-" : "";
            int digits = digitCount(random);
            int point = std::uniform_int_distribution<int>(0, digits)(random);
            for (int d = 0; d < digits; ++d) {
                if (d == point && d != 0) text += '.';
                text += static_cast<char>('0' + (d == 0 ? 1 + digit(random) % 9 : digit(random)));
            }
            if (i % 2 == 0) text += "e" + std::to_string(exponent(random));
            result.push_back(text);
        }
        return result;
    }();
    return texts;
}

// The runtime's first number operation sets the x87 unit to round toward negative infinity
// for the rest of the process, and the C library's conversions (and any double arithmetic)
// follow that mode. The peers run as in a program of their own: rounding to nearest.
class PeerRounding {
public:
    PeerRounding() {
        std::fegetenv(&saved_);
        std::fesetround(FE_TONEAREST);
    }
    ~PeerRounding() { std::fesetenv(&saved_); }

private:
    std::fenv_t saved_;
};

// Every formatter writes the same seven significant digits of each value, each in its
// own layout: texts compare as sign, significant digits and the exponent of the first.
std::string Canonical(const std::string& text) {
    std::string digits;
    bool negative = false;
    long position = 0, point = -1, first = 0, exponent = 0;
    std::size_t i = 0;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
    for (; i < text.size(); ++i) {
        if (text[i] == '.') {
            point = position;
            continue;
        }
        if (text[i] < '0' || text[i] > '9') break;
        if (text[i] != '0' || !digits.empty()) {
            if (digits.empty()) first = position;
            digits += text[i];
        }
        ++position;
    }
    if (point < 0) point = position;
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) exponent = std::strtol(text.c_str() + i + 1, nullptr, 10);
    while (!digits.empty() && digits.back() == '0') digits.pop_back();
    if (digits.empty()) return "0";
    return (negative ? "-" : "") + digits + "e" + std::to_string(point - first - 1 + exponent);
}
// The reference digits come from std::to_chars.
const std::vector<std::string>& FormattedDigits() {
    static const std::vector<std::string> digits = [] {
        PeerRounding rounding;
        std::vector<std::string> result;
        for (double value : FormatValues()) {
            char buffer[32];
            auto end = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 7).ptr;
            result.push_back(Canonical(std::string(buffer, end)));
        }
        return result;
    }();
    return digits;
}
template <class Format>
std::vector<std::string> ReadBack(Format format) {
    std::vector<std::string> result;
    for (double value : FormatValues()) result.push_back(Canonical(format(value)));
    return result;
}

// Every parser gives the double nearest each text, as std::from_chars does, except that
// the runtime computes in 80 bits rounding toward negative infinity, as its number
// operations are defined to: its values may lie one unit in the last place below.
const std::vector<double>& ParsedValues() {
    static const std::vector<double> values = [] {
        PeerRounding rounding;
        std::vector<double> result;
        for (const std::string& text : ParseInputs()) {
            double value = 0;
            std::from_chars(text.data(), text.data() + text.size(), value);
            result.push_back(value);
        }
        return result;
    }();
    return values;
}
template <class Parse>
bool ParsesAll(Parse parse, bool roundsDown = false) {
    const std::vector<double>& want = ParsedValues();
    for (std::size_t i = 0; i < want.size(); ++i) {
        double got = parse(ParseInputs()[i]);
        if (got != want[i] && !(roundsDown && got == std::nextafter(want[i], -HUGE_VAL))) return false;
    }
    return true;
}


void Format7_tarnfold(benchmark::State& state) {
    using namespace tarnfold;
    const auto& values = FormatValues();
    constexpr Word descriptor = NumberGroup(0, kOperandFloat64);
    for (auto _ : tarnfold_bench::Counted(state)) {
        for (const double& value : values) {
            OperandList[0] = OperandAddress(&value);
            benchmark::DoNotOptimize(FormatNumber(kFormatNone, descriptor));
        }
    }
    state.SetItemsProcessed(state.iterations() * kValueCount);
    tarnfold_bench::ExpectSame(state, ReadBack([](const double& value) {
        OperandList[0] = OperandAddress(&value);
        return std::string(FormatNumber(kFormatNone, descriptor));
    }), FormattedDigits());
}
BENCHMARK(Format7_tarnfold)->Name("Format7/tarnfold")->Apply(tarnfold_bench::Fixed);

void Format7_snprintf(benchmark::State& state) {
    PeerRounding rounding;
    const auto& values = FormatValues();
    for (auto _ : tarnfold_bench::Counted(state)) {
        for (double value : values) {
            char buffer[32];
            benchmark::DoNotOptimize(std::snprintf(buffer, sizeof buffer, "%.7g", value));
            benchmark::DoNotOptimize(buffer);
        }
    }
    state.SetItemsProcessed(state.iterations() * kValueCount);
    tarnfold_bench::ExpectSame(state, ReadBack([](double value) {
        char buffer[32];
        std::snprintf(buffer, sizeof buffer, "%.7g", value);
        return std::string(buffer);
    }), FormattedDigits());
}
BENCHMARK(Format7_snprintf)->Name("Format7/snprintf")->Apply(tarnfold_bench::Fixed);

#ifdef TARNFOLD_BENCH_HAS_FMT
void Format7_fmt(benchmark::State& state) {
    PeerRounding rounding;
    const auto& values = FormatValues();
    for (auto _ : tarnfold_bench::Counted(state)) {
        for (double value : values) {
            char buffer[32];
            char* end = fmt::format_to(buffer, "{:.7g}", value);
            benchmark::DoNotOptimize(end);
            benchmark::DoNotOptimize(buffer);
        }
    }
    state.SetItemsProcessed(state.iterations() * kValueCount);
    tarnfold_bench::ExpectSame(state, ReadBack([](double value) { return fmt::format("{:.7g}", value); }),
                               FormattedDigits());
}
BENCHMARK(Format7_fmt)->Name("Format7/fmt")->Apply(tarnfold_bench::Fixed);
#endif

void Format7_to_chars(benchmark::State& state) {
    PeerRounding rounding;
    const auto& values = FormatValues();
    for (auto _ : tarnfold_bench::Counted(state)) {
        for (double value : values) {
            char buffer[32];
            auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 7);
            benchmark::DoNotOptimize(result.ptr);
            benchmark::DoNotOptimize(buffer);
        }
    }
    state.SetItemsProcessed(state.iterations() * kValueCount);
    tarnfold_bench::ExpectSame(state, ReadBack([](double value) {
        char buffer[32];
        auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 7);
        return std::string(buffer, result.ptr);
    }), FormattedDigits());
}
BENCHMARK(Format7_to_chars)->Name("Format7/to_chars")->Apply(tarnfold_bench::Fixed);

void Parse_tarnfold(benchmark::State& state) {
    using namespace tarnfold;
    const auto& texts = ParseInputs();
    union {
        double value;
        std::int32_t sizeCode;
    } destination;
    for (auto _ : tarnfold_bench::Counted(state)) {
        for (const std::string& text : texts) {
            destination.sizeCode = kSizeFloat64;
            benchmark::DoNotOptimize(ParseNumber(text.c_str(), &destination));
            benchmark::DoNotOptimize(destination.value);
        }
    }
    state.SetItemsProcessed(state.iterations() * kValueCount);
    tarnfold_bench::ExpectSame(state, ParsesAll([&destination](const std::string& text) {
        destination.sizeCode = kSizeFloat64;
        ParseNumber(text.c_str(), &destination);
        return destination.value;
    }, true), true);
}
BENCHMARK(Parse_tarnfold)->Name("Parse/tarnfold")->Apply(tarnfold_bench::Fixed);

void Parse_strtod(benchmark::State& state) {
    PeerRounding rounding;
    const auto& texts = ParseInputs();
    for (auto _ : tarnfold_bench::Counted(state)) {
        for (const std::string& text : texts) {
            char* end;
            double value = std::strtod(text.c_str(), &end);
            benchmark::DoNotOptimize(value);
            benchmark::DoNotOptimize(end);
        }
    }
    state.SetItemsProcessed(state.iterations() * kValueCount);
    tarnfold_bench::ExpectSame(state, ParsesAll([](const std::string& text) { return std::strtod(text.c_str(), nullptr); }), true);
}
BENCHMARK(Parse_strtod)->Name("Parse/strtod")->Apply(tarnfold_bench::Fixed);

void Parse_from_chars(benchmark::State& state) {
    PeerRounding rounding;
    const auto& texts = ParseInputs();
    for (auto _ : tarnfold_bench::Counted(state)) {
        for (const std::string& text : texts) {
            double value;
            auto result = std::from_chars(text.data(), text.data() + text.size(), value);
            benchmark::DoNotOptimize(value);
            benchmark::DoNotOptimize(result.ptr);
        }
    }
    state.SetItemsProcessed(state.iterations() * kValueCount);
    tarnfold_bench::ExpectSame(state, ParsesAll([](const std::string& text) {
        double value = 0;
        std::from_chars(text.data(), text.data() + text.size(), value);
        return value;
    }), true);
}
BENCHMARK(Parse_from_chars)->Name("Parse/from_chars")->Apply(tarnfold_bench::Fixed);

void Parse_fast_float(benchmark::State& state) {
    PeerRounding rounding;
    const auto& texts = ParseInputs();
    for (auto _ : tarnfold_bench::Counted(state)) {
        for (const std::string& text : texts) {
            double value;
            auto result = fast_float::from_chars(text.data(), text.data() + text.size(), value);
            benchmark::DoNotOptimize(value);
            benchmark::DoNotOptimize(result.ptr);
        }
    }
    state.SetItemsProcessed(state.iterations() * kValueCount);
    tarnfold_bench::ExpectSame(state, ParsesAll([](const std::string& text) {
        double value = 0;
        fast_float::from_chars(text.data(), text.data() + text.size(), value);
        return value;
    }), true);
}
BENCHMARK(Parse_fast_float)->Name("Parse/fast_float")->Apply(tarnfold_bench::Fixed);

}  // namespace

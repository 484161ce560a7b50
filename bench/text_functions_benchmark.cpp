// Substring, trim and case beside the peers a C++ programmer reaches for, and the floors of
// a trim (one strlen pass over the padded text) and of a case change (one SSE2 pass from
// the text into a new block).
#include <benchmark/benchmark.h>
#include <emmintrin.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <string_view>

#include "absl/strings/ascii.h"
#include "instruction_marks.h"
#include "same_result.h"
#include "tarnfold.h"

namespace {

using tarnfold_bench::ExpectSame;

// Padded fields as read from fixed-width records, the same for every peer: 40 bytes with
// short padding, 64 bytes with long padding.
struct Field {
    const char* padded;
    const char* trimmed;
};
const Field kShortPadding{"      Ada Lovelace, Analytical Engine     ", "Ada Lovelace, Analytical Engine"};
const Field kLongPadding{"                     Ada Lovelace, 1843                         ", "Ada Lovelace, 1843"};

void Trim_tarnfold(benchmark::State& state, const Field& field) {
    const char* result = nullptr;
    for (auto _ : tarnfold_bench::Counted(state)) {
        result = tarnfold::TrimText(field.padded, tarnfold::kTrimBoth).start;
        benchmark::DoNotOptimize(result);
    }
    ExpectSame(state, std::string_view(result), std::string_view(field.trimmed));
}

void Trim_std_string(benchmark::State& state, const Field& field) {
    std::string result;
    for (auto _ : tarnfold_bench::Counted(state)) {
        std::string_view text(field.padded);
        std::size_t first = text.find_first_not_of(" \t\r\n");
        std::size_t last = text.find_last_not_of(" \t\r\n");
        result.assign(first == std::string_view::npos ? std::string_view() : text.substr(first, last - first + 1));
        benchmark::DoNotOptimize(result.data());
    }
    ExpectSame(state, result, field.trimmed);
}

void Trim_absl_StripAsciiWhitespace(benchmark::State& state, const Field& field) {
    std::string result;
    for (auto _ : tarnfold_bench::Counted(state)) {
        absl::string_view stripped = absl::StripAsciiWhitespace(field.padded);
        result.assign(stripped.data(), stripped.size());
        benchmark::DoNotOptimize(result.data());
    }
    ExpectSame(state, result, field.trimmed);
}

// The floor of a trim: one strlen pass, since the text's end must be found whatever the
// padding; it reports the known trimmed part so that it passes the same check.
void Trim_floor_strlen(benchmark::State& state, const Field& field) {
    const std::size_t before = std::strspn(field.padded, " ");
    const std::size_t size = std::strlen(field.trimmed);
    std::string_view result;
    for (auto _ : tarnfold_bench::Counted(state)) {
        const char* padded = field.padded;
        benchmark::DoNotOptimize(padded);
        std::size_t length = std::strlen(padded);
        result = length >= before + size ? std::string_view(padded + before, size) : std::string_view();
        benchmark::DoNotOptimize(result.data());
    }
    ExpectSame(state, result, std::string_view(field.trimmed));
}

// Long padding: 1 KiB and 4 KiB of spaces on both sides of a short text (kept for the
// program's life, as the literal fields are).
Field PaddedField(std::size_t padding) {
    static const char* const kText = "Ada Lovelace, 1843";
    auto* padded = new std::string(std::string(padding, ' ') + kText + std::string(padding, ' '));
    return Field{padded->c_str(), kText};
}
const Field kPadding1K = PaddedField(1024);
const Field kPadding4K = PaddedField(4096);

#define TARNFOLD_TRIM(job, field, implementation) \
    BENCHMARK_CAPTURE(Trim_##implementation, job, field)->Name(#job "/" #implementation)->Apply(tarnfold_bench::Fixed)
TARNFOLD_TRIM(TrimBoth40, kShortPadding, tarnfold);
TARNFOLD_TRIM(TrimBoth40, kShortPadding, std_string);
TARNFOLD_TRIM(TrimBoth40, kShortPadding, absl_StripAsciiWhitespace);
TARNFOLD_TRIM(TrimBoth40, kShortPadding, floor_strlen);
TARNFOLD_TRIM(TrimBoth64, kLongPadding, tarnfold);
TARNFOLD_TRIM(TrimBoth64, kLongPadding, std_string);
TARNFOLD_TRIM(TrimBoth64, kLongPadding, absl_StripAsciiWhitespace);
TARNFOLD_TRIM(TrimBoth64, kLongPadding, floor_strlen);
TARNFOLD_TRIM(TrimBoth2K, kPadding1K, tarnfold);
TARNFOLD_TRIM(TrimBoth2K, kPadding1K, std_string);
TARNFOLD_TRIM(TrimBoth2K, kPadding1K, absl_StripAsciiWhitespace);
TARNFOLD_TRIM(TrimBoth2K, kPadding1K, floor_strlen);
TARNFOLD_TRIM(TrimBoth8K, kPadding4K, tarnfold);
TARNFOLD_TRIM(TrimBoth8K, kPadding4K, std_string);
TARNFOLD_TRIM(TrimBoth8K, kPadding4K, absl_StripAsciiWhitespace);
TARNFOLD_TRIM(TrimBoth8K, kPadding4K, floor_strlen);

// A middle part used as the next operation's text: a view beside a copy and a view.
const char* const kMixed = "Ada Lovelace, Analytical Engine, 1843 AD";
constexpr std::string_view kMiddle = "Analytical E";

void MidPart_tarnfold(benchmark::State& state) {
    const tarnfold::TempSlot* slot = nullptr;
    for (auto _ : tarnfold_bench::Counted(state)) {
        slot = tarnfold::SubText(kMixed, 12, 15);
        benchmark::DoNotOptimize(slot->text);
    }
    ExpectSame(state, std::string_view(slot->text, static_cast<std::size_t>(slot->length)), kMiddle);
}
BENCHMARK(MidPart_tarnfold)->Name("MidPart/tarnfold")->Apply(tarnfold_bench::Fixed);

void MidPart_std_string(benchmark::State& state) {
    std::string result;
    for (auto _ : tarnfold_bench::Counted(state)) {
        result = std::string(kMixed).substr(14, 12);
        benchmark::DoNotOptimize(result.data());
    }
    ExpectSame(state, result, kMiddle);
}
BENCHMARK(MidPart_std_string)->Name("MidPart/std_string")->Apply(tarnfold_bench::Fixed);

void MidPart_string_view(benchmark::State& state) {
    std::string_view part;
    for (auto _ : tarnfold_bench::Counted(state)) {
        part = std::string_view(kMixed).substr(14, 12);
        benchmark::DoNotOptimize(part.data());
    }
    ExpectSame(state, part, kMiddle);
}
BENCHMARK(MidPart_string_view)->Name("MidPart/string_view")->Apply(tarnfold_bench::Fixed);

// An upper-case copy that the caller owns and later frees: of a 40-byte text, and of one
// MiB of ASCII words in mixed case (no byte above 0x7F, where the peers' C locale and the
// runtime's ANSI code page would part ways).
struct CaseJob {
    std::string text;
    std::string upper;
};
CaseJob MakeCaseJob(std::string text) {
    CaseJob job{text, text};
    for (char& c : job.upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return job;
}
const CaseJob& Upper40() {
    static const CaseJob job = MakeCaseJob(kMixed);
    return job;
}
const CaseJob& Upper1M() {
    static const CaseJob job = [] {
        std::mt19937 random(11);
        std::string text;
        while (text.size() < (1u << 20)) {
            unsigned pick = random() % 64;
            text += pick < 26 ? static_cast<char>('a' + pick) : pick < 52 ? static_cast<char>('A' + pick - 26)
                             : pick < 62 ? ' ' : static_cast<char>('0' + pick % 10);
        }
        return MakeCaseJob(text);
    }();
    return job;
}

// Each implementation keeps its last result and frees the one before, as a variable does.
void ToUpper_tarnfold(benchmark::State& state, const CaseJob& job) {
    char* upper = nullptr;
    for (auto _ : tarnfold_bench::Counted(state)) {
        tarnfold::ReleaseHeapString(upper);
        upper = tarnfold::ChangeCase(job.text.c_str(), tarnfold::kToUpper).start;
        benchmark::DoNotOptimize(upper);
    }
    ExpectSame(state, std::string_view(upper), job.upper);
    tarnfold::ReleaseHeapString(upper);
}

void ToUpper_std_transform(benchmark::State& state, const CaseJob& job) {
    std::string result;
    for (auto _ : tarnfold_bench::Counted(state)) {
        std::string upper(job.text);
        std::transform(upper.begin(), upper.end(), upper.begin(),
                       [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
        benchmark::DoNotOptimize(upper.data());
        result = std::move(upper);
    }
    ExpectSame(state, result, job.upper);
}

void ToUpper_absl_AsciiStrToUpper(benchmark::State& state, const CaseJob& job) {
    std::string result;
    for (auto _ : tarnfold_bench::Counted(state)) {
        std::string upper = absl::AsciiStrToUpper(job.text);
        benchmark::DoNotOptimize(upper.data());
        result = std::move(upper);
    }
    ExpectSame(state, result, job.upper);
}

// The floor: a block of the known size and one SSE2 pass that copies and converts 16
// bytes at a time (a compare for 'a'..'z' and a masked subtraction), the rest byte-wise.
void ToUpper_floor_sse2(benchmark::State& state, const CaseJob& job) {
    char* upper = nullptr;
    for (auto _ : tarnfold_bench::Counted(state)) {
        const std::size_t size = job.text.size();
        const char* from = job.text.data();
        std::free(upper);
        upper = static_cast<char*>(std::malloc(size + 1));
        const __m128i shift = _mm_set1_epi8(static_cast<char>(0x80 - 'a'));
        const __m128i last = _mm_set1_epi8(static_cast<char>(0x80 - 'a' + 25));
        const __m128i bit = _mm_set1_epi8(0x20);
        std::size_t i = 0;
        for (; i + 16 <= size; i += 16) {
            __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + i));
            __m128i other = _mm_cmpgt_epi8(_mm_add_epi8(bytes, shift), last);  // not 'a'..'z'
            _mm_storeu_si128(reinterpret_cast<__m128i*>(upper + i), _mm_sub_epi8(bytes, _mm_andnot_si128(other, bit)));
        }
        for (; i < size; ++i) upper[i] = from[i] >= 'a' && from[i] <= 'z' ? static_cast<char>(from[i] - 0x20) : from[i];
        upper[size] = '\0';
        benchmark::DoNotOptimize(upper);
    }
    ExpectSame(state, std::string_view(upper), job.upper);
    std::free(upper);
}

#define TARNFOLD_UPPER(job, implementation, apply) \
    BENCHMARK_CAPTURE(ToUpper_##implementation, job, job())->Name(#job "/" #implementation)->Apply(apply)
TARNFOLD_UPPER(Upper40, tarnfold, tarnfold_bench::Fixed);
TARNFOLD_UPPER(Upper40, std_transform, tarnfold_bench::Fixed);
TARNFOLD_UPPER(Upper40, absl_AsciiStrToUpper, tarnfold_bench::Fixed);
TARNFOLD_UPPER(Upper40, floor_sse2, tarnfold_bench::Fixed);
TARNFOLD_UPPER(Upper1M, tarnfold, tarnfold_bench::FixedHeavy);
TARNFOLD_UPPER(Upper1M, std_transform, tarnfold_bench::FixedHeavy);
TARNFOLD_UPPER(Upper1M, absl_AsciiStrToUpper, tarnfold_bench::FixedHeavy);
TARNFOLD_UPPER(Upper1M, floor_sse2, tarnfold_bench::FixedHeavy);

}  // namespace

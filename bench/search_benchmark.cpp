// Text search and replacement beside the C library's searches, std::string, the standard
// searchers and absl, with the floor of each job: one memchr (memrchr) pass over the text for
// a search, one scan plus one copy into a block sized in advance for a replacement.
#include <benchmark/benchmark.h>
#include <strings.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <random>
#include <string>
#include <string_view>

#include "absl/strings/str_replace.h"
#include "instruction_marks.h"
#include "same_result.h"
#include "tarnfold.h"

namespace {

using tarnfold_bench::ExpectSame;

constexpr std::size_t kMiB = 1 << 20;

// Words of 2 to 9 random lower-case letters between spaces, the same on every run. With
// `common` set, every other word is a frequent English word instead, most of them starting
// with "th": a pattern that starts so has a candidate every few dozen bytes.
std::string Words(std::size_t size, unsigned seed, bool common = false) {
    static const char* const kCommon[] = {"the",   "that",    "this",  "there", "then", "they", "with", "other",
                                          "these", "through", "three", "than",  "them", "both", "path", "thing"};
    std::mt19937 random(seed);
    std::string text;
    text.reserve(size + 16);
    while (text.size() < size) {
        if (common && random() % 2 == 0) {
            text += kCommon[random() % std::size(kCommon)];
        } else {
            std::size_t letters = 2 + random() % 8;
            for (std::size_t i = 0; i < letters; ++i) text += static_cast<char>('a' + random() % 26);
        }
        text += ' ';
    }
    text.resize(size);
    return text;
}

// --- Searches: one MiB of words, each pattern placed once near the end (forward searches)
// or near the start (backward searches from the end), so every search reads it nearly all.

struct Shape {
    const char* name;
    const char* pattern;  // as placed in the text
    const char* asked;    // as searched for (capitals for the folding search)
    std::size_t at;       // where it is placed
};
// Rare and frequent first pairs ("th" starts a candidate every few dozen bytes; "the "
// agrees on four bytes), patterns of 5 and 12 bytes.
constexpr Shape kForward[] = {
    {"Find5Rare", "vqxzk", "vqxzk", kMiB - 40},
    {"Find5CommonPair", "thqvz", "thqvz", kMiB - 60},
    {"Find12Rare", "jwqvzxkpmybf", "jwqvzxkpmybf", kMiB - 90},
    {"Find12CommonPair", "the zqvxkjwp", "the zqvxkjwp", kMiB - 120},
};
constexpr Shape kFolded[] = {
    {"FindFold5Rare", "xkvqz", "XKVQZ", kMiB - 140},
    {"FindFold5CommonPair", "thvxq", "THVXQ", kMiB - 160},
};
constexpr Shape kBackward[] = {
    {"FindBack5Rare", "zkqxv", "zkqxv", 40},
    {"FindBack5CommonPair", "thzkq", "thzkq", 60},
};
// 12-byte patterns on a frequent first pair that does not go on as the words do: "th" then
// letters no word has ("th" starts about one word in four), "e " (the end of "the", "there",
// "these", ... and a space) then the same, and "e th", which agrees on four bytes wherever
// "the", "there", ... follows such a word. They have a text of their own, so the rows above
// keep theirs.
constexpr Shape kPairForward[] = {
    {"Find12PairTh", "thqvzxkjwpmb", "thqvzxkjwpmb", kMiB - 50},
    {"Find12PairESpace", "e zqvxkjwpmb", "e zqvxkjwpmb", kMiB - 80},
    {"Find12PairETh", "e thqvzxkjwp", "e thqvzxkjwp", kMiB - 110},
};
constexpr Shape kPairFolded[] = {
    {"FindFold12PairTh", "thxqvzkjwpmb", "THXQVZKJWPMB", kMiB - 140},
    {"FindFold12PairESpace", "e xzqvkjwpmb", "E XZQVKJWPMB", kMiB - 170},
    {"FindFold12PairETh", "e thxqvzkjwp", "E THXQVZKJWP", kMiB - 200},
};

// Places each pattern in the words; each must be new to them: the results are its known place.
void Place(std::string& words, const Shape& shape) {
    if (words.find(shape.pattern) != std::string::npos) std::abort();
    words.replace(shape.at, std::strlen(shape.pattern), shape.pattern);
}

const std::string& SearchText() {
    static const std::string text = [] {
        std::string words = Words(kMiB, 42, true);
        for (const Shape& shape : kForward) Place(words, shape);
        for (const Shape& shape : kFolded) Place(words, shape);
        for (const Shape& shape : kBackward) Place(words, shape);
        return words;
    }();
    return text;
}

// The same words with the frequent-pair patterns of 12 bytes.
const std::string& PairText() {
    static const std::string text = [] {
        std::string words = Words(kMiB, 42, true);
        for (const Shape& shape : kPairForward) Place(words, shape);
        for (const Shape& shape : kPairFolded) Place(words, shape);
        return words;
    }();
    return text;
}

// The match's offset in the text, or -1.
long OffsetOf(const char* match, const std::string& text) { return match != nullptr ? match - text.data() : -1; }

using Search = std::function<const char*(const std::string& text, const char* pattern)>;
using Text = const std::string& (*)();

void RunSearch(benchmark::State& state, const Shape& shape, const Search& search, Text textOf) {
    const std::string& text = textOf();
    const char* match = nullptr;
    for (auto _ : tarnfold_bench::Counted(state)) {
        match = search(text, shape.asked);
        benchmark::DoNotOptimize(match);
    }
    ExpectSame(state, OffsetOf(match, text), static_cast<long>(shape.at));
}

// The floor reads the text once for a byte it does not hold: the terminator's place is
// where a search of the whole text stops. It reports the pattern's known place so that it
// passes the same check as the searches.
const char* MemchrFloor(const std::string& text, const Shape& shape) {
    const void* end = std::memchr(text.data(), '\0', text.size() + 1);
    return static_cast<const char*>(end) == text.data() + text.size() ? text.data() + shape.at : nullptr;
}
const char* MemrchrFloor(const std::string& text, const Shape& shape) {
    const void* none = memrchr(text.data(), '\0', text.size());
    return none == nullptr ? text.data() + shape.at : nullptr;
}

void Register(const Shape& shape, Text text, const char* implementation, Search search) {
    benchmark::RegisterBenchmark((std::string(shape.name) + "/" + implementation).c_str(),
                                 [&shape, text, search](benchmark::State& state) { RunSearch(state, shape, search, text); })
        ->Apply(tarnfold_bench::FixedHeavy);
}

// The rows of a forward search: the runtime, the peers and the floor.
void RegisterForward(const Shape& shape, Text text) {
    using namespace tarnfold;
    Register(shape, text, "tarnfold", [](const std::string& text, const char* pattern) {
        return FindText(1, text.c_str(), pattern, FindExact).match;
    });
    Register(shape, text, "memmem", [](const std::string& text, const char* pattern) {
        return static_cast<const char*>(memmem(text.data(), text.size(), pattern, std::strlen(pattern)));
    });
    Register(shape, text, "std_boyer_moore_horspool", [](const std::string& text, const char* pattern) {
        std::boyer_moore_horspool_searcher searcher(pattern, pattern + std::strlen(pattern));
        auto at = std::search(text.begin(), text.end(), searcher);
        return at != text.end() ? text.data() + (at - text.begin()) : nullptr;
    });
    Register(shape, text, "strstr", [](const std::string& text, const char* pattern) {
        return static_cast<const char*>(std::strstr(text.c_str(), pattern));
    });
    Register(shape, text, "std_string_find", [](const std::string& text, const char* pattern) {
        std::size_t at = text.find(pattern);
        return at != std::string::npos ? text.data() + at : nullptr;
    });
    Register(shape, text, "floor_memchr",
             [&shape](const std::string& text, const char*) { return MemchrFloor(text, shape); });
}

// The rows of a folding search.
void RegisterFolded(const Shape& shape, Text text) {
    using namespace tarnfold;
    Register(shape, text, "tarnfold", [](const std::string& text, const char* pattern) {
        return FindText(1, text.c_str(), pattern, FindFold).match;
    });
    Register(shape, text, "strcasestr", [](const std::string& text, const char* pattern) {
        return static_cast<const char*>(strcasestr(text.c_str(), pattern));
    });
    Register(shape, text, "floor_memchr",
             [&shape](const std::string& text, const char*) { return MemchrFloor(text, shape); });
}

const int kRegistered = [] {
    using namespace tarnfold;
    for (const Shape& shape : kForward) RegisterForward(shape, SearchText);
    for (const Shape& shape : kFolded) RegisterFolded(shape, SearchText);
    for (const Shape& shape : kBackward) {
        Register(shape, SearchText, "tarnfold", [](const std::string& text, const char* pattern) {
            return FindText(-1, text.c_str(), pattern, FindBackward).match;
        });
        Register(shape, SearchText, "std_string_rfind", [](const std::string& text, const char* pattern) {
            std::size_t at = text.rfind(pattern);
            return at != std::string::npos ? text.data() + at : nullptr;
        });
        Register(shape, SearchText, "floor_memrchr",
                 [&shape](const std::string& text, const char*) { return MemrchrFloor(text, shape); });
    }
    for (const Shape& shape : kPairForward) RegisterForward(shape, PairText);
    for (const Shape& shape : kPairFolded) RegisterFolded(shape, PairText);
    return 0;
}();

// --- Replace: one MiB of words with "<>" at about 2,000 or 10,000 places, each replaced
// by "[+]"; and dense: about 5,100 places in 40 KiB or in 80 KiB (a match every 8 or 16
// bytes on average). The runtime lists the matches in the scratch ring, four bytes each,
// and never over a live temporary (the 20 newest): a Replace called again and again keeps
// working while the ring's 480,000 bytes before its wrap hold 20 match lists, about 6,000
// matches each. With more, FatalError 9 comes after a few calls: Replace10k's lists stop
// it at the 16th (so it runs under --instructions, 10 calls, and not in the timed mode),
// and a match every 8 to 16 bytes of a whole MiB at the 4th. The dense jobs are small.

constexpr const char* kFound = "<>";
constexpr const char* kReplacement = "[+]";

struct ReplaceJob {
    std::string text;
    std::string result;  // as every implementation must give it
    std::size_t matches = 0;
};

// Matches every `2 + random() % spread` bytes.
ReplaceJob MakeReplaceJob(unsigned spread, std::size_t size = kMiB) {
    ReplaceJob job;
    job.text = Words(size, 7);
    std::mt19937 random(9);
    for (std::size_t at = random() % 200; at + 2 <= job.text.size(); at += 2 + random() % spread) {
        job.text.replace(at, 2, kFound);
        ++job.matches;
    }
    std::size_t from = 0;
    for (std::size_t at; (at = job.text.find(kFound, from)) != std::string::npos; from = at + 2)
        job.result.append(job.text, from, at - from).append(kReplacement);
    job.result.append(job.text, from, std::string::npos);
    return job;
}
const ReplaceJob& Replace2k() {
    static const ReplaceJob job = MakeReplaceJob(1021);
    return job;
}
const ReplaceJob& Replace10k() {
    static const ReplaceJob job = MakeReplaceJob(197);
    return job;
}
const ReplaceJob& Replace5kEvery8() {
    static const ReplaceJob job = MakeReplaceJob(13, 40 * 1024);
    return job;
}
const ReplaceJob& Replace5kEvery16() {
    static const ReplaceJob job = MakeReplaceJob(29, 80 * 1024);
    return job;
}

// Twenty small temporaries, before a row's loop: the match lists of the rows before it are
// no longer live, so each row finds the ring as it would alone.
void RetireTemporaries() {
    for (int i = 0; i < 20; ++i) tarnfold::TrimText(" x ", tarnfold::kTrimBoth);
}

void Replace_tarnfold(benchmark::State& state, const ReplaceJob& job) {
    using namespace tarnfold;
    const char* text = job.text.c_str();
    char* variable = nullptr;
    RetireTemporaries();
    for (auto _ : tarnfold_bench::Counted(state)) {
        Replace(text, kFound, kReplacement, 0);
        variable = StringBuilder(ToVariable(1), kLastTemp, variable);
        benchmark::DoNotOptimize(variable);
    }
    ExpectSame(state, std::string_view(variable), job.result);
    ReleaseHeapString(variable);
}

void Replace_absl_StrReplaceAll(benchmark::State& state, const ReplaceJob& job) {
    std::string variable;
    for (auto _ : tarnfold_bench::Counted(state)) {
        variable = absl::StrReplaceAll(job.text, {{kFound, kReplacement}});
        benchmark::DoNotOptimize(variable.data());
    }
    ExpectSame(state, variable, job.result);
}

void Replace_std_string(benchmark::State& state, const ReplaceJob& job) {
    const std::string& text = job.text;
    std::string variable;
    for (auto _ : tarnfold_bench::Counted(state)) {
        std::string result;
        std::size_t from = 0;
        for (std::size_t at; (at = text.find(kFound, from)) != std::string::npos; from = at + 2) {
            result.append(text, from, at - from);
            result.append(kReplacement);
        }
        result.append(text, from, std::string::npos);
        variable = std::move(result);
        benchmark::DoNotOptimize(variable.data());
    }
    ExpectSame(state, variable, job.result);
}

// The floor: a block of the result's size, known in advance; one memchr scan for the found
// text's first byte and one copy of each gap and replacement; the previous value freed.
void Replace_floor_scan_copy(benchmark::State& state, const ReplaceJob& job) {
    const char* text = job.text.data();
    const char* end = text + job.text.size();
    const std::size_t size = job.text.size() + job.matches * (std::strlen(kReplacement) - std::strlen(kFound));
    char* variable = nullptr;
    for (auto _ : tarnfold_bench::Counted(state)) {
        char* block = static_cast<char*>(std::malloc(size + 1));
        char* out = block;
        const char* from = text;
        for (const char* at = from; (at = static_cast<const char*>(std::memchr(at, kFound[0], end - at))) != nullptr;) {
            if (at[1] != kFound[1]) {
                ++at;
                continue;
            }
            std::memcpy(out, from, at - from);
            out += at - from;
            std::memcpy(out, kReplacement, 3);
            out += 3;
            from = at += 2;
        }
        std::memcpy(out, from, end - from);
        out[end - from] = '\0';
        std::free(variable);
        variable = block;
        benchmark::DoNotOptimize(variable);
    }
    ExpectSame(state, std::string_view(variable), job.result);
    std::free(variable);
}

#define TARNFOLD_REPLACE(job, implementation)                                                             \
    BENCHMARK_CAPTURE(Replace_##implementation, job, job())                                               \
        ->Name(#job "/" #implementation)                                                                  \
        ->Apply(tarnfold_bench::FixedHeavy)
TARNFOLD_REPLACE(Replace2k, tarnfold);
TARNFOLD_REPLACE(Replace2k, absl_StrReplaceAll);
TARNFOLD_REPLACE(Replace2k, std_string);
TARNFOLD_REPLACE(Replace2k, floor_scan_copy);
TARNFOLD_REPLACE(Replace10k, tarnfold);
TARNFOLD_REPLACE(Replace10k, absl_StrReplaceAll);
TARNFOLD_REPLACE(Replace10k, std_string);
TARNFOLD_REPLACE(Replace10k, floor_scan_copy);
TARNFOLD_REPLACE(Replace5kEvery8, tarnfold);
TARNFOLD_REPLACE(Replace5kEvery8, absl_StrReplaceAll);
TARNFOLD_REPLACE(Replace5kEvery8, std_string);
TARNFOLD_REPLACE(Replace5kEvery8, floor_scan_copy);
TARNFOLD_REPLACE(Replace5kEvery16, tarnfold);
TARNFOLD_REPLACE(Replace5kEvery16, absl_StrReplaceAll);
TARNFOLD_REPLACE(Replace5kEvery16, std_string);
TARNFOLD_REPLACE(Replace5kEvery16, floor_scan_copy);

}  // namespace

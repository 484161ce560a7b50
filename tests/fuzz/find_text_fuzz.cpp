// FindText: chains of searches (explicit starts, continuations, whole-text starts) in every
// mode, against a naive search that follows the rules of each mode byte by byte. Text and
// pattern end 0 to 31 bytes before an unreadable page; the text may be the temporary.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "support/guard_page.h"
#include "support/storage_probe.h"
#include "tarnfold.h"

namespace {

using namespace tarnfold;

// Bytes that fold onto each other, word separators and letters: matches are frequent.
constexpr unsigned char kAlphabet[] = {'a', 'A', 'b', 'B', '@', '`', '-', '\r', ' ', '_', 0x7F, 0xC0, 0xE0, '9', '{', '['};

bool Same(unsigned char t, unsigned char p, bool fold) { return fold ? (t | 0x20) == (p | 0x20) : t == p; }

bool MatchesAt(const std::string& text, const std::string& pattern, std::size_t at, Word mode) {
    if (pattern.size() == 1) return text[at] == pattern[0];
    const bool all = (mode & FindFold) != 0, first = !all && (mode & FindFoldFirst) != 0;
    for (std::size_t i = 0; i < pattern.size(); ++i)
        if (at + i >= text.size() || !Same(text[at + i], pattern[i], all || (first && i == 0))) return false;
    if (!(mode & FindWholeWord) || static_cast<signed char>(pattern[0]) <= 0x20) return true;
    const std::size_t end = at + pattern.size();
    const unsigned after = end < text.size() ? static_cast<unsigned char>(text[end]) : 0;
    return after <= 0x40 && (at == 0 || static_cast<unsigned char>(text[at - 1]) <= 0x40);
}

// The 1-based position of the first accepted candidate, or 0.
std::int32_t Reference(const std::string& text, const std::string& pattern, std::int32_t start, Word mode,
                       std::int32_t last) {
    const auto length = static_cast<std::int64_t>(text.size());
    if (mode & FindBackward) {
        std::int64_t first = start < 0 ? length : start > 0 ? start : std::int64_t{last} - 1;
        if (first < 1 || first > length) return 0;
        for (std::int64_t p = first; p >= 1; --p)
            if (MatchesAt(text, pattern, static_cast<std::size_t>(p - 1), mode)) return static_cast<std::int32_t>(p);
        return 0;
    }
    std::int64_t first = start > 0 ? start : start == 0 ? std::int64_t{last} + 1 : 1;
    if (first < 1 || first > length + 1) return 0;
    for (std::int64_t p = first; p <= length; ++p)
        if (MatchesAt(text, pattern, static_cast<std::size_t>(p - 1), mode)) return static_cast<std::int32_t>(p);
    return 0;
}

std::string Consume(FuzzedDataProvider& in, std::size_t most, bool alphabet) {
    std::string text = in.ConsumeRandomLengthString(most);
    for (char& c : text) c = alphabet ? static_cast<char>(kAlphabet[static_cast<unsigned char>(c) % sizeof kAlphabet]) : c;
    text.resize(std::strlen(text.c_str()));
    return text;
}

// The text copied to end `pad` bytes before the unreadable page.
char* AtPageEnd(testing_support::GuardedPage& page, const std::string& text, std::size_t pad) {
    char* at = page.Tail(text.size() + 1 + pad);
    std::memcpy(at, text.c_str(), text.size() + 1);
    return at;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static testing_support::GuardedPage textPage, patternPage;
    FuzzedDataProvider in(data, size);
    const bool alphabet = in.ConsumeBool();
    // Texts past the short scan's 320 bytes and patterns past its 16 reach the long scans;
    // up to 1200 bytes, a folding scan goes on past a 256-byte chunk that held a candidate.
    const std::string text = Consume(in, 1200, alphabet);
    std::string pattern = Consume(in, 20, alphabet);
    if (pattern.empty()) pattern = "a";
    const char* textArg = AtPageEnd(textPage, text, in.ConsumeIntegralInRange<std::size_t>(0, 31));
    const char* pattern_ = AtPageEnd(patternPage, pattern, in.ConsumeIntegralInRange<std::size_t>(0, 31));
    const char* base = textArg;
    if (in.ConsumeIntegralInRange(0, 3) == 0) {  // the current temporary, named by a small value
        base = testing_support::RecordText(text.c_str()).start;
        textArg = reinterpret_cast<const char*>(static_cast<std::uintptr_t>(in.ConsumeIntegralInRange<Word>(0, kLastTemp)));
    }
    std::int32_t last = in.ConsumeIntegralInRange<std::int32_t>(-2, static_cast<std::int32_t>(text.size()) + 2);
    LastMatch = last;
    while (in.remaining_bytes() > 0) {
        const Word mode = in.ConsumeIntegral<Word>();
        const std::int32_t start =
            in.ConsumeIntegralInRange<std::int32_t>(-2, static_cast<std::int32_t>(text.size()) + 2);
        const std::int32_t expected = Reference(text, pattern, start, mode & 0xFF, last);
        const FoundText found = FindText(start, textArg, pattern_, mode);
        const char* wanted = expected != 0 ? base + expected - 1 : nullptr;
        if (found.position != expected || found.match != wanted || LastMatch != expected) {
            std::fprintf(stderr, "find_text: start %d mode %#x last %d: position %d, want %d (text %zu bytes)\n",
                         start, mode, last, found.position, expected, text.size());
            std::abort();
        }
        last = expected;
    }
    return 0;
}

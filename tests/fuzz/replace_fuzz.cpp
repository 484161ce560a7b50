// Replace, expanded by an assignment: the source with the non-overlapping forward matches
// (a naive search in the mode's comparison, up to the mode's limit) replaced, and
// LastMatch at the last match only when the limit ended the list. The record is written
// anywhere in the ring, up to just before its usable end.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "support/guard_page.h"
#include "tarnfold.h"

namespace {

using namespace tarnfold;

constexpr char kAlphabet[] = "aAbB@`-\r _{[";

bool Same(unsigned char t, unsigned char p, bool fold) { return fold ? (t | 0x20) == (p | 0x20) : t == p; }

bool MatchesAt(const std::string& text, const std::string& found, std::size_t at, Word mode) {
    if (found.size() == 1) return text[at] == found[0];
    const bool all = (mode & FindFold) != 0, first = !all && (mode & FindFoldFirst) != 0;
    for (std::size_t i = 0; i < found.size(); ++i)
        if (at + i >= text.size() || !Same(text[at + i], found[i], all || (first && i == 0))) return false;
    if (!(mode & FindWholeWord) || static_cast<signed char>(found[0]) <= 0x20) return true;
    const std::size_t end = at + found.size();
    const unsigned after = end < text.size() ? static_cast<unsigned char>(text[end]) : 0;
    return after <= 0x40 && (at == 0 || static_cast<unsigned char>(text[at - 1]) <= 0x40);
}

std::string Consume(FuzzedDataProvider& in, std::size_t most) {
    std::string text = in.ConsumeRandomLengthString(most);
    for (char& c : text) c = kAlphabet[static_cast<unsigned char>(c) % (sizeof kAlphabet - 1)];
    return text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    const Word mode = in.ConsumeIntegral<Word>();
    std::string found = Consume(in, 6), replacement = Consume(in, 20), source = Consume(in, 400);
    // Long sources, as the source repeated: matches close together over pages, and far apart.
    if (const unsigned copies = in.ConsumeIntegralInRange(0u, 24u); copies > 1 && source.size() * copies < 4000) {
        const std::string once = source;
        for (unsigned i = 1; i < copies; ++i) source += once;
    }
    // Any argument may be a value below 64 KiB that names no text: the empty text, never read.
    const unsigned noText = in.ConsumeIntegralInRange(0u, 15u);
    const auto noTextValue = static_cast<std::uintptr_t>(in.ConsumeIntegralInRange<std::uint32_t>(0x80, 0xFFFF));
    auto argument = [&](std::string& text, unsigned bit) {
        if ((noText & bit) == 0) return text.c_str();
        text.clear();
        return reinterpret_cast<const char*>(noTextValue);
    };
    const char* const sourceArg = argument(source, 1);
    const char* const foundArg = argument(found, 2);
    const char* const replacementArg = argument(replacement, 4);

    // The reference: matches forward, each search after the end of the previous match.
    const std::size_t limit = (mode >> 8) & 0xFF;
    std::string expected;
    std::size_t matches = 0, copied = 0, lastMatch = 0;
    for (std::size_t at = 0; !found.empty() && at < source.size() && (limit == 0 || matches < limit);) {
        if (!MatchesAt(source, found, at, mode)) {
            ++at;
            continue;
        }
        expected += source.substr(copied, at - copied) + replacement;
        ++matches;
        lastMatch = at + 1;
        copied = at = at + found.size();
    }
    expected += source.substr(std::min(copied, source.size()));

    // The record needs 7 words and one per match before the usable end.
    const std::size_t recordBytes = 4 * (7 + matches) + 4 * in.ConsumeIntegralInRange<std::size_t>(0, 40);
    const std::size_t offset = in.ConsumeBool() ? kRingUsableEnd - recordBytes
                                                : 4 * in.ConsumeIntegralInRange<std::size_t>(0, kRingWrapOffset / 4);
    // The source ends up to 31 bytes before an unreadable page (32: where the string holds it).
    static testing_support::GuardedPage sourcePage;
    const std::size_t pad = in.ConsumeIntegralInRange<std::size_t>(0, 32);
    const char* placed = sourceArg;
    if (pad < 32 && sourceArg == source.c_str())
        placed = static_cast<const char*>(std::memcpy(sourcePage.Tail(source.size() + 1 + pad), sourceArg, source.size() + 1));
    // The found and replacement texts also end right before an unreadable page.
    static testing_support::GuardedPage foundPage, replacementPage;
    const char* foundPlaced = foundArg;
    const char* replacementPlaced = replacementArg;
    if (in.ConsumeBool() && foundArg == found.c_str())
        foundPlaced = static_cast<const char*>(std::memcpy(foundPage.Tail(found.size() + 1), foundArg, found.size() + 1));
    if (in.ConsumeBool() && replacementArg == replacement.c_str())
        replacementPlaced = static_cast<const char*>(
            std::memcpy(replacementPage.Tail(replacement.size() + 1), replacementArg, replacement.size() + 1));
    SetRingPosition(ScratchRing + offset);
    LastMatch = -1;
    Replace(placed, foundPlaced, replacementPlaced, mode);
    const std::int32_t wantLast = limit != 0 && matches == limit ? static_cast<std::int32_t>(lastMatch) : 0;
    // Alone, the record goes straight to its expansion; after a part, through the general path.
    char* result = in.ConsumeBool() ? Assign(nullptr, kLastTemp) : Assign(nullptr, "", kLastTemp);
    if (std::strlen(result) != expected.size() || expected != result || LastMatch != wantLast) {
        std::fprintf(stderr, "replace: \"%s\", want \"%s\"; LastMatch %d, want %d\n", result, expected.c_str(),
                     LastMatch, wantLast);
        std::abort();
    }
    ReleaseHeapString(result);
    return 0;
}

// FindText: the start rules, LastMatch and the choice of scan.
#include "find_text.h"

#include "find_held_pass.h"
#include "find_scan.h"

#include <cstring>

namespace tarnfold {

std::int32_t LastMatch = 0;

namespace {

FoldKind FoldOf(Word mode) {
    return (mode & FindFold) ? FoldKind::All : (mode & FindFoldFirst) ? FoldKind::FirstOnly : FoldKind::Exact;
}
// Only patterns that start with a byte 0x21..0x7F take the word boundary test.
bool WholeWordFor(const char* pattern, Word mode) {
    return (mode & FindWholeWord) != 0 && static_cast<signed char>(pattern[0]) > 0x20;
}
ScreenedPattern ScreenedFor(const char* pattern, Word mode) {
    return {pattern, FoldOf(mode), WholeWordFor(pattern, mode), std::strlen(pattern)};
}

const char* TextOf(const char* text) {
    const auto value = reinterpret_cast<std::uintptr_t>(text);
    if (value >= kLowestAddress) return text;
    if (value > kLastTemp) return EmptyString;  // no text lies there
    return CurrentTempText();
}

FoundText Found(const char* text, const char* match) {
    FoundText found{nullptr, 0};
    if (match != nullptr) found = {match, static_cast<std::int32_t>(match - text + 1)};
    LastMatch = found.position;
    return found;
}

// The first candidate of a forward search, 1-based; 0 when there is none. Positions
// beyond length + 1 would lie past the terminator: the text before them is checked first.
std::int64_t ForwardStart(const char* text, std::int32_t start) {
    std::int64_t first = start > 0 ? start : start == kFindContinue ? std::int64_t{LastMatch} + 1 : 1;
    if (first < 1) return 0;
    auto before = static_cast<std::size_t>(first - 1);
    if (before > 0 && TerminatorIndex(text, before) < before) return 0;
    return first;
}

// The first candidate of a backward search, 1-based; 0 when there is none. It must be a
// byte of the text, not its terminator.
std::int64_t BackwardStart(const char* text, std::int32_t start) {
    if (start < 0) return static_cast<std::int64_t>(TerminatorIndex(text, ~std::size_t{0}));
    std::int64_t first = start > 0 ? start : std::int64_t{LastMatch} - 1;
    if (first < 1) return 0;
    auto through = static_cast<std::size_t>(first);
    if (TerminatorIndex(text, through) < through) return 0;
    return first;
}

// A forward search from `from`: a held pattern inline, a longer one by the scans.
template <FoldKind kFold>
[[gnu::always_inline]] inline const char* HeldOrLongForward(const char* text, const char* from, const char* pattern, bool wholeWord) {
    if (const blocks::HeldPattern<kFold> held(pattern); held.length != 0)
        return blocks::HeldFirstForward(text, from, pattern, wholeWord, held);
    return ScanFirstForward(text, from, pattern, kFold, wholeWord);
}
const char* FirstForward(const char* text, const char* from, const char* pattern, Word mode) {
    if (pattern[1] == '\0') return blocks::FirstByteForward(text, from, pattern);
    const bool wholeWord = WholeWordFor(pattern, mode);
    if (mode & FindFold) return HeldOrLongForward<FoldKind::All>(text, from, pattern, wholeWord);
    if (mode & FindFoldFirst) return HeldOrLongForward<FoldKind::FirstOnly>(text, from, pattern, wholeWord);
    return HeldOrLongForward<FoldKind::Exact>(text, from, pattern, wholeWord);
}

}  // namespace

FoundText FindText(std::int32_t start, const char* text, const char* pattern, Word mode) {
    text = TextOf(text);
    if (reinterpret_cast<std::uintptr_t>(pattern) < kLowestAddress || pattern[0] == '\0') return Found(text, nullptr);
    // The common search first: exact, forward from the first byte.
    if ((mode & (FindBackward | FindFold | FindFoldFirst | FindWholeWord)) == 0 && (start < 0 || start == 1))
        return Found(text, pattern[1] == '\0' ? blocks::FirstByteForward(text, text, pattern)
                                              : HeldOrLongForward<FoldKind::Exact>(text, text, pattern, false));
    const bool oneByte = pattern[1] == '\0';
    if (mode & FindBackward) {
        if (start < 0 && !oneByte) return Found(text, ScanScreenedLast(text, ScreenedFor(pattern, mode)));
        std::int64_t first = BackwardStart(text, start);
        if (first == 0) return Found(text, nullptr);
        const char* from = text + (first - 1);
        return Found(text, oneByte ? ScanByteBackward(text, from, pattern[0])
                                   : ScanScreenedBackward(text, from, ScreenedFor(pattern, mode)));
    }
    const std::int64_t first = start < 0 || start == 1 ? 1 : ForwardStart(text, start);
    if (first == 0) return Found(text, nullptr);
    return Found(text, FirstForward(text, text + (first - 1), pattern, mode));
}

void ListMatchesForward(const char* text, const char* pattern, Word mode, MatchList& list) {
    if (pattern[1] == '\0')
        ScanByteForward(pattern[0], list);
    else
        ScanScreenedForward(text, ScreenedFor(pattern, mode), list);
}

}  // namespace tarnfold

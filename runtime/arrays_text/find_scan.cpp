// Aligned SSE2 scans for one-byte patterns, screened patterns and terminators.
#include "find_scan.h"

#include <emmintrin.h>

namespace tarnfold {

namespace {

using Block = __m128i;
constexpr std::uintptr_t kBlockMask = 15;

// The aligned block that holds `at`. Aligned loads cannot fault while the block holds a
// readable byte: they never reach into the next page.
const char* BlockOf(const char* at) {
    return reinterpret_cast<const char*>(reinterpret_cast<std::uintptr_t>(at) & ~kBlockMask);
}
unsigned OffsetIn(const char* at) { return static_cast<unsigned>(reinterpret_cast<std::uintptr_t>(at) & kBlockMask); }
// Block reads may cover bytes around the text that the program never gave it, within a
// readable block: the sanitizer is not to report them.
[[gnu::no_sanitize_address]] Block Load(const char* block) {
    return _mm_load_si128(reinterpret_cast<const Block*>(block));
}
// Sixteen bytes from `at`, which lies in a block already read, up to the end of the next.
[[gnu::no_sanitize_address]] Block LoadFrom(const char* at) {
    return _mm_loadu_si128(reinterpret_cast<const Block*>(at));
}
// Two blocks from a multiple of 32 lie in one page (pages are multiples of 32 bytes).
bool IsPairAligned(const char* block) { return (reinterpret_cast<std::uintptr_t>(block) & 16) == 0; }
unsigned Bits(Block lanes) { return static_cast<unsigned>(_mm_movemask_epi8(lanes)); }
unsigned Lowest(unsigned bits) { return static_cast<unsigned>(__builtin_ctz(bits)); }
unsigned Highest(unsigned bits) { return 31u - static_cast<unsigned>(__builtin_clz(bits)); }
bool AtOrBelow(const char* block, const char* text) {
    return reinterpret_cast<std::uintptr_t>(block) <= reinterpret_cast<std::uintptr_t>(text);
}
// Lanes of a block below `text` (the lowest block only) are not part of the text.
unsigned LanesFrom(const char* block, const char* text) {
    return ~0u << (reinterpret_cast<std::uintptr_t>(text) - reinterpret_cast<std::uintptr_t>(block));
}

constexpr unsigned char kFoldBit = 0x20;

// The pattern's first byte is compared folded unless the search is exact; the other bytes
// only under FoldKind::All.
template <FoldKind kFold>
constexpr bool kFoldsFirst = kFold != FoldKind::Exact;
template <FoldKind kFold>
constexpr bool kFoldsRest = kFold == FoldKind::All;

template <bool kFolds>
Block Folded(Block bytes) {
    if constexpr (kFolds)
        return _mm_or_si128(bytes, _mm_set1_epi8(static_cast<char>(kFoldBit)));
    else
        return bytes;
}
template <bool kFolds>
Block Broadcast(char byte) {
    return _mm_set1_epi8(static_cast<char>(kFolds ? (byte | kFoldBit) : byte));
}

// The whole comparison of a candidate, byte by byte from its byte `settled` on (the bytes
// before it are known to agree): the terminator ends the text and matches nothing, also
// where folding would make it look like a space.
template <FoldKind kFold>
[[gnu::always_inline]] inline bool AcceptedAt(const char* text, const char* at, const ScreenedPattern& screened,
                                              std::size_t settled) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(at);
    const auto* pattern = reinterpret_cast<const unsigned char*>(screened.pattern);
    std::size_t i = settled;
    for (; pattern[i] != 0; ++i) {
        unsigned textByte = bytes[i];
        if (textByte == 0) return false;
        bool folds = kFold == FoldKind::All || (kFold == FoldKind::FirstOnly && i == 0);
        if (folds ? (textByte | kFoldBit) != (pattern[i] | kFoldBit) : textByte != pattern[i]) return false;
    }
    if (!screened.wholeWord) return true;
    // Bytes up to '@' separate words; the terminator does too, and so does the text's start.
    constexpr unsigned kLastSeparator = 0x40;
    if (bytes[i] > kLastSeparator) return false;
    return at == text || bytes[-1] <= kLastSeparator;
}

// Forward scans screen candidates by the pattern's first and last bytes at once, so that a
// frequent first pair does not make every occurrence a candidate. Block j of the scan holds
// the last bytes of 16 candidates (an aligned load: it never reaches into a page that holds
// no byte of the text); their first bytes come from an unaligned load `last` bytes lower,
// inside bytes already found to be text. The candidates of a block that holds the
// terminator are those whose last byte lies before it.

// The candidates of lanes `candidates` (lane j: a candidate starts at `lane0` + j), in
// order, compared from byte `settled` on. True when the list takes no more.
template <FoldKind kFold>
bool ExamineForward(const char* text, const char* lane0, unsigned candidates, const ScreenedPattern& screened,
                    std::size_t settled, MatchList& list) {
    for (; candidates != 0; candidates &= candidates - 1) {
        const char* at = lane0 + Lowest(candidates);
        if (at >= list.next && AcceptedAt<kFold>(text, at, screened, settled) && list.Take(at)) return true;
    }
    return false;
}

template <FoldKind kFold>
struct ForwardScreen {
    Block first, last;
    std::size_t lastIndex;

    // Lane j: a candidate starting at block - lastIndex + j agrees in its first and last byte.
    Block Candidates(const char* block, Block lastBytes) const {
        Block isFirst = _mm_cmpeq_epi8(Folded<kFoldsFirst<kFold>>(LoadFrom(block - lastIndex)), first);
        return _mm_and_si128(isFirst, _mm_cmpeq_epi8(Folded<kFoldsRest<kFold>>(lastBytes), last));
    }
    // Zero in the lanes of a candidate and of a zero byte, so one minimum joins blocks.
    static Block Quiet(Block candidates, Block bytes) { return _mm_andnot_si128(candidates, bytes); }
};

// One block of last bytes: its candidates, up to the terminator when it holds it. True
// when the scan is to stop.
template <FoldKind kFold>
bool ExamineBlock(const char* text, const char* block, Block bytes, const ForwardScreen<kFold>& screen,
                  const ScreenedPattern& screened, MatchList& list) {
    unsigned candidates = Bits(screen.Candidates(block, bytes));
    unsigned ends = Bits(_mm_cmpeq_epi8(bytes, _mm_setzero_si128()));
    if (ends != 0) candidates &= (1u << Lowest(ends)) - 1;
    // Every byte of a candidate lies before the terminator: the screen settles its first
    // byte, and both bytes of a two-byte pattern.
    const std::size_t settled = screen.lastIndex == 1 ? 2 : 1;
    if (candidates != 0 && ExamineForward<kFold>(text, block - screen.lastIndex, candidates, screened, settled, list))
        return true;
    if (ends == 0) return false;
    list.terminator = block + Lowest(ends);
    return true;
}

template <FoldKind kFold>
void ScreenedForward(const char* text, const ScreenedPattern& screened, MatchList& list) {
    const char* const start = list.next;
    const std::size_t lastIndex = screened.length - 1;
    // The first block of last bytes starts at or after start + lastIndex; the candidates
    // before its lane 0 (fewer than 16) are compared one by one. No byte before that
    // block may be the terminator, or it might lie in a page that cannot be read.
    const char* block = BlockOf(start + lastIndex + 15);
    const char* lane0 = block - lastIndex;
    const std::size_t ahead = static_cast<std::size_t>(block - start);
    const std::size_t end = TerminatorIndex(start, ahead);
    const char* const stop = end < ahead ? start + end : lane0;
    for (const char* at = start; at < stop && at + lastIndex < start + end; ++at)
        if (at >= list.next && AcceptedAt<kFold>(text, at, screened, 0) && list.Take(at)) return;
    if (end < ahead) {
        list.terminator = start + end;
        return;
    }
    const ForwardScreen<kFold> screen{Broadcast<kFoldsFirst<kFold>>(screened.pattern[0]),
                                      Broadcast<kFoldsRest<kFold>>(screened.pattern[lastIndex]), lastIndex};
    // The byte before each block is text, so the block is readable; the loop takes blocks
    // in 32-byte-aligned pairs, which never straddle a page: one block first if need be.
    if (!IsPairAligned(block)) {
        if (ExamineBlock<kFold>(text, block, Load(block), screen, screened, list)) return;
        block += 16;
    }
    const Block zero = _mm_setzero_si128();
    for (;; block += 32) {
        Block bytes1 = Load(block);
        Block bytes2 = Load(block + 16);
        Block quiet = _mm_min_epu8(ForwardScreen<kFold>::Quiet(screen.Candidates(block, bytes1), bytes1),
                                   ForwardScreen<kFold>::Quiet(screen.Candidates(block + 16, bytes2), bytes2));
        if (Bits(_mm_cmpeq_epi8(quiet, zero)) == 0) continue;
        if (ExamineBlock<kFold>(text, block, bytes1, screen, screened, list) ||
            ExamineBlock<kFold>(text, block + 16, bytes2, screen, screened, list))
            return;
    }
}

// Backward scans screen by the first and last bytes as the forward ones do: block j holds
// the first bytes of 16 candidates (aligned), their last bytes come from an unaligned load
// `last` bytes higher. Only candidates whose bytes all lie before the terminator can match;
// below the highest of them every byte up to its last one is text, so those loads read text
// alone, except in the block of the highest candidate, which is compared byte by byte.
template <FoldKind kFold>
const char* ScreenedBackward(const char* text, const char* from, const ScreenedPattern& screened) {
    const std::size_t lastIndex = screened.length - 1;
    // The highest candidate ends before the terminator.
    const std::size_t end = TerminatorIndex(from, lastIndex + 1);
    if (end <= lastIndex) {
        if (from - text < static_cast<std::ptrdiff_t>(lastIndex - end + 1)) return nullptr;
        from -= lastIndex - end + 1;
    }
    const char* block = BlockOf(from);
    const char* const lowest = BlockOf(text);
    for (const char* at = from; at >= block && at >= text; --at)
        if (AcceptedAt<kFold>(text, at, screened, 0)) return at;
    const Block first = Broadcast<kFoldsFirst<kFold>>(screened.pattern[0]);
    const Block last = Broadcast<kFoldsRest<kFold>>(screened.pattern[lastIndex]);
    // Lane j: a candidate at block + j agrees in its first and last byte.
    auto candidatesOf = [&](const char* at) {
        Block isFirst = _mm_cmpeq_epi8(Folded<kFoldsFirst<kFold>>(Load(at)), first);
        return _mm_and_si128(isFirst, _mm_cmpeq_epi8(Folded<kFoldsRest<kFold>>(LoadFrom(at + lastIndex)), last));
    };
    // Both bytes of a two-byte pattern are settled by the screen, else the first.
    const std::size_t settled = lastIndex == 1 ? 2 : 1;
    auto examine = [&](const char* at, unsigned candidates) -> const char* {
        if (AtOrBelow(at, text)) candidates &= LanesFrom(at, text);
        for (; candidates != 0; candidates &= ~(1u << Highest(candidates))) {
            const char* match = at + Highest(candidates);
            if (AcceptedAt<kFold>(text, match, screened, settled)) return match;
        }
        return nullptr;
    };
    while (block > lowest) {
        block -= 16;
        if (block > lowest) {  // two blocks at once
            Block high = candidatesOf(block), low = candidatesOf(block - 16);
            if (Bits(_mm_or_si128(high, low)) == 0) {
                block -= 16;
                continue;
            }
            if (const char* match = examine(block, Bits(high))) return match;
            block -= 16;
            if (const char* match = examine(block, Bits(low))) return match;
            continue;
        }
        return examine(block, Bits(candidatesOf(block)));
    }
    return nullptr;
}

}  // namespace

std::size_t TerminatorIndex(const char* text, std::size_t limit) {
    const Block zero = _mm_setzero_si128();
    const char* block = BlockOf(text);
    unsigned lanes = ~0u << OffsetIn(text);
    // Single blocks up to a multiple of 64 bytes, then 64 bytes per step: four blocks from
    // a multiple of 64 lie in one page, readable when the first is.
    for (;;) {
        if (unsigned ends = Bits(_mm_cmpeq_epi8(Load(block), zero)) & lanes)
            return static_cast<std::size_t>(block + Lowest(ends) - text);
        block += 16;
        lanes = ~0u;
        std::size_t scanned = static_cast<std::size_t>(block - text);
        if (scanned >= limit) return scanned;
        if ((reinterpret_cast<std::uintptr_t>(block) & 63) == 0) break;
    }
    for (;; block += 64) {
        Block least = _mm_min_epu8(_mm_min_epu8(Load(block), Load(block + 16)),
                                   _mm_min_epu8(Load(block + 32), Load(block + 48)));
        if (Bits(_mm_cmpeq_epi8(least, zero)) != 0) break;
        if (static_cast<std::size_t>(block + 64 - text) >= limit) return static_cast<std::size_t>(block + 64 - text);
    }
    for (;; block += 16)
        if (unsigned ends = Bits(_mm_cmpeq_epi8(Load(block), zero)))
            return static_cast<std::size_t>(block + Lowest(ends) - text);
}

namespace {

// Hits of one block in lane order: the byte (listed) or the terminator (the end).
bool ExamineBytes(const char* block, unsigned hits, MatchList& list) {
    for (; hits != 0; hits &= hits - 1) {
        const char* at = block + Lowest(hits);
        if (*at == 0) {
            list.terminator = at;
            return true;
        }
        if (list.Take(at)) return true;
    }
    return false;
}

// Zero in the lanes that hold the byte or the terminator.
Block QuietBytes(Block bytes, Block wanted) { return _mm_min_epu8(_mm_xor_si128(bytes, wanted), bytes); }

}  // namespace

void ScanByteForward(char byte, MatchList& list) {
    const Block zero = _mm_setzero_si128();
    const Block wanted = _mm_set1_epi8(byte);  // never zero: a pattern ends at its zero
    const char* block = BlockOf(list.next);
    Block quiet = QuietBytes(Load(block), wanted);
    if (ExamineBytes(block, Bits(_mm_cmpeq_epi8(quiet, zero)) & (~0u << OffsetIn(list.next)), list)) return;
    // As in the screened scan: readable blocks, 32-byte-aligned pairs within one page.
    block += 16;
    if (!IsPairAligned(block)) {
        if (ExamineBytes(block, Bits(_mm_cmpeq_epi8(QuietBytes(Load(block), wanted), zero)), list)) return;
        block += 16;
    }
    for (;; block += 32) {
        Block quiet1 = QuietBytes(Load(block), wanted);
        Block quiet2 = QuietBytes(Load(block + 16), wanted);
        if (Bits(_mm_cmpeq_epi8(_mm_min_epu8(quiet1, quiet2), zero)) == 0) continue;
        if (ExamineBytes(block, Bits(_mm_cmpeq_epi8(quiet1, zero)), list) ||
            ExamineBytes(block + 16, Bits(_mm_cmpeq_epi8(quiet2, zero)), list))
            return;
    }
}

const char* ScanByteBackward(const char* text, const char* from, char byte) {
    const Block wanted = _mm_set1_epi8(byte);
    const char* block = BlockOf(from);
    unsigned lanes = (2u << OffsetIn(from)) - 1;
    for (;;) {
        unsigned hits = Bits(_mm_cmpeq_epi8(Load(block), wanted)) & lanes;
        bool last = AtOrBelow(block, text);
        if (last) hits &= LanesFrom(block, text);
        if (hits != 0) return block + Highest(hits);
        if (last) return nullptr;
        block -= 16;
        lanes = ~0u;
    }
}

void ScanScreenedForward(const char* text, const ScreenedPattern& pattern, MatchList& list) {
    switch (pattern.fold) {
        case FoldKind::All:
            return ScreenedForward<FoldKind::All>(text, pattern, list);
        case FoldKind::FirstOnly:
            return ScreenedForward<FoldKind::FirstOnly>(text, pattern, list);
        case FoldKind::Exact:
            break;
    }
    ScreenedForward<FoldKind::Exact>(text, pattern, list);
}

const char* ScanScreenedBackward(const char* text, const char* from, const ScreenedPattern& pattern) {
    switch (pattern.fold) {
        case FoldKind::All:
            return ScreenedBackward<FoldKind::All>(text, from, pattern);
        case FoldKind::FirstOnly:
            return ScreenedBackward<FoldKind::FirstOnly>(text, from, pattern);
        case FoldKind::Exact:
            break;
    }
    return ScreenedBackward<FoldKind::Exact>(text, from, pattern);
}

}  // namespace tarnfold

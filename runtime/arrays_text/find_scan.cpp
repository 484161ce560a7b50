// Aligned SSE2 scans for one-byte patterns, screened patterns and terminators.
#include "find_scan.h"

#include "find_blocks.h"

#include <emmintrin.h>

#include <array>

namespace tarnfold {

namespace {

using namespace blocks;

// Forward scans screen 16 candidates at a time by two of the pattern's bytes, the two that
// are rarest in ordinary text (see ScreenPair), so that a frequent first pair or last letter
// seldom makes a candidate. Block j of the scan holds byte `high` of 16 candidates (an
// aligned load: it never reaches into a page that holds no byte of the text); their byte
// `low` comes from an unaligned load `high - low` bytes lower, inside bytes already found to
// be text or in the same block. The candidates of a block that holds the terminator are
// those whose byte `high` lies before it; comparing them byte by byte stops at the terminator.

// Commonness of each byte in ordinary text, higher for more frequent bytes: a letter by its
// frequency in English, other scripts' bytes (UTF-8 or a code page) as frequent as letters;
// the separators of paths, queries and identifiers (/ = & _) as frequent as punctuation.
constexpr std::array<unsigned char, 256> kCommonness = [] {
    std::array<unsigned char, 256> commonness{};
    for (int byte = 0x80; byte < 0x100; ++byte) commonness[byte] = 150;
    for (int byte = '0'; byte <= '9'; ++byte) commonness[byte] = 60;
    for (char byte : {'.', ',', '-', '\'', '"', '(', ')', ':', ';', '\t', '/', '=', '&', '_'}) commonness[byte] = 70;
    commonness['\r'] = commonness['\n'] = 110;
    constexpr char kRarestFirst[] = "zqxjkvbpygfwmucldrhsnioate";
    for (int i = 0; kRarestFirst[i] != 0; ++i) {
        commonness[kRarestFirst[i]] = static_cast<unsigned char>(48 + 8 * i);
        commonness[kRarestFirst[i] - 0x20] = static_cast<unsigned char>(24 + 4 * i);
    }
    commonness[' '] = 255;
    return commonness;
}();

// The same for a byte compared folded: a capital counts as its lower-case letter.
constexpr std::array<unsigned char, 256> kFoldedCommonness = [] {
    std::array<unsigned char, 256> commonness = kCommonness;
    for (int byte = 'A'; byte <= 'Z'; ++byte) commonness[byte] = kCommonness[byte | kFoldBit];
    return commonness;
}();

// The pattern bytes a screened scan compares first: the rarest byte, and of the bytes about
// as rare as it (two letters' steps in kCommonness), the farthest from it, else the next
// rarest. Bytes far apart agree by chance less often than neighbours in text made of words.
// Under folding a letter counts as its lower-case form, which both cases match.
struct ScreenPair {
    std::size_t low, high;
};
// Byte `i` of a pattern as the comparison takes it: folded or not.
bool FoldsAt(const ScreenedPattern& screened, std::size_t i) {
    return screened.fold == FoldKind::All || (screened.fold == FoldKind::FirstOnly && i == 0);
}
unsigned CommonnessAt(const ScreenedPattern& screened, std::size_t i) {
    const auto byte = static_cast<unsigned char>(screened.pattern[i]);
    return FoldsAt(screened, i) ? kFoldedCommonness[byte] : kCommonness[byte];
}

ScreenPair RarestPair(const ScreenedPattern& screened) {
    auto commonness = [&](std::size_t i) { return CommonnessAt(screened, i); };
    std::size_t rarest = 0;
    for (std::size_t i = 1; i < screened.length; ++i)
        if (commonness(i) < commonness(rarest)) rarest = i;
    constexpr unsigned kAboutAsRare = 16;
    std::size_t other = rarest == 0 ? 1 : 0, farthest = other;
    auto distance = [rarest](std::size_t i) { return i > rarest ? i - rarest : rarest - i; };
    for (std::size_t i = 0; i < screened.length; ++i) {
        if (i == rarest) continue;
        if (commonness(i) < commonness(other)) other = i;
        if (commonness(i) <= commonness(rarest) + kAboutAsRare &&
            (commonness(farthest) > commonness(rarest) + kAboutAsRare || distance(i) > distance(farthest)))
            farthest = i;
    }
    if (commonness(farthest) <= commonness(rarest) + kAboutAsRare) other = farthest;
    return rarest < other ? ScreenPair{rarest, other} : ScreenPair{other, rarest};
}

// The screen of one pattern: lane j of a block is zero where the candidate starting at
// block - high + j agrees in both screened bytes. Bytes are folded (bit 0x20 set) where the
// comparison folds them.
template <bool kFoldsLow, bool kFoldsHigh>
struct PairScreen {
    Block low, high;
    std::size_t distance;  // high - low
    unsigned char lowByte, highByte;  // as `low` and `high` hold them

    PairScreen(const ScreenedPattern& screened, ScreenPair pair)
        : low(Broadcast<kFoldsLow>(screened.pattern[pair.low])),
          high(Broadcast<kFoldsHigh>(screened.pattern[pair.high])),
          distance(pair.high - pair.low),
          lowByte(static_cast<unsigned char>(_mm_cvtsi128_si32(low))),
          highByte(static_cast<unsigned char>(_mm_cvtsi128_si32(high))) {}

    // Zero in the lanes of a candidate (both screened bytes agree).
    Block Disagreement(const char* block, Block bytes) const {
        return _mm_or_si128(_mm_xor_si128(Folded<kFoldsLow>(LoadFrom(block - distance)), low),
                            _mm_xor_si128(Folded<kFoldsHigh>(bytes), high));
    }
    // From `chunk` (a multiple of kChunk whose first byte is text or the terminator) on, the
    // first chunk where a block has a candidate or a zero byte, with the lanes of each 64-byte
    // part where one may lie. Written out in assembly so that each block costs its operations
    // and no more: two loads, two comparisons, their union, the terminator test and the join;
    // with folding, one more that clears the fold bit. Without folding a chunk is 128 bytes in
    // two halves; with folding it is 256 bytes in four quarters, which halves the cost of the
    // chunk's own test, and a hit still names the 64 bytes that hold it.
    static constexpr bool kFolds = kFoldsLow || kFoldsHigh;
    static constexpr std::size_t kParts = kFolds ? 4 : 2;
    static constexpr std::uintptr_t kChunk = 64 * kParts;
    struct QuietChunk {
        const char* chunk;
        Block parts[kParts];  // zero in the lanes of each part where a candidate or zero byte may lie
    };
    QuietChunk NextChunkWithZero(const char* chunk) const;

    // Lane `lane` (a byte of a part's first block) of the part's four blocks, in order: its
    // candidates and the terminator. The four bytes are gathered into one word, whose bytes
    // that are zero or the screened byte `high` are flagged at once (a flag above a flagged
    // byte may be false; each is checked). True when the sink stops the scan.
    template <class Sink>
    [[gnu::always_inline]] bool ExamineLane(const char* lane, std::size_t highIndex, std::size_t settled, Sink& sink) const {
        const std::uint32_t word = GatherLane(lane);
        constexpr std::uint32_t kOnes = 0x01010101, kTops = 0x80808080;
        auto zeroBytes = [](std::uint32_t bytes4) { return (bytes4 - kOnes) & ~bytes4 & kTops; };
        const std::uint32_t asHigh = (kFoldsHigh ? word | kOnes * kFoldBit : word) ^ (kOnes * highByte);
        for (std::uint32_t flags = zeroBytes(asHigh) | zeroBytes(word); flags != 0; flags &= flags - 1) {
            const char* at = lane + 2 * Lowest(flags) - 14;  // bit 8k + 7: byte 16k
            const auto byte = static_cast<unsigned char>(*at);
            if (byte == 0) {
                sink.End(at);
                return true;
            }
            if ((kFoldsHigh ? byte | kFoldBit : byte) != highByte) continue;
            const auto lowAt = static_cast<unsigned char>(at[-static_cast<std::ptrdiff_t>(distance)]);
            if ((kFoldsLow ? lowAt | kFoldBit : lowAt) == lowByte && sink.Candidates(at - highIndex, 1, settled))
                return true;
        }
        return false;
    }
};

// Block `offset` of the chunk screened into `lanes`: its two screened bytes compared, the
// step `fold` (nothing without folding), and the block's own bytes joined by one minimum, so
// that a lane is zero where a candidate or a zero byte lies and one minimum joins blocks.
#define TARNFOLD_SCREEN_BLOCK(lanes, offset, fold)                                                          \
    "movdqu " offset "(%[chunk],%[minus]), " lanes "\n\t"                                                \
    "movdqa " offset "(%[chunk]), %[highBytes]\n\t"                                                       \
    "pxor %[low], " lanes "\n\t"                                                                          \
    "pxor %[high], %[highBytes]\n\t"                                                                      \
    "por %[highBytes], " lanes "\n\t"                                                                     \
    fold "pminub " offset "(%[chunk]), " lanes "\n\t"
// Without folding nothing more is needed.
#define TARNFOLD_QUIET_BLOCK(lanes, offset) TARNFOLD_SCREEN_BLOCK(lanes, offset, "")
// With folding the bytes are not folded one by one: a lane whose bytes agree but for the
// fold bit differs from the pattern in that bit alone, so with the fold bit cleared a
// candidate's lane is zero and any other lane is not; the terminator then joins as without
// folding. Lanes of an unfolded side that differ in the fold bit alone pass the screen too;
// the comparison settles them.
#define TARNFOLD_FOLDED_BLOCK(lanes, offset) TARNFOLD_SCREEN_BLOCK(lanes, offset, "pand %[unfold], " lanes "\n\t")
// Four blocks from `offset`, each screened by `block`, joined into `group`.
#define TARNFOLD_SCREEN_GROUP(block, group, offset, next1, next2, next3)                                    \
    block(group, offset)                                                                                  \
    block("%[lowBytes]", next1) "pminub %[lowBytes], " group "\n\t"                                       \
    block("%[lowBytes]", next2) "pminub %[lowBytes], " group "\n\t"                                       \
    block("%[lowBytes]", next3) "pminub %[lowBytes], " group "\n\t"
#define TARNFOLD_QUIET_HALF(half, ...) TARNFOLD_SCREEN_GROUP(TARNFOLD_QUIET_BLOCK, half, __VA_ARGS__)
#define TARNFOLD_FOLDED_QUARTER(quarter, ...) TARNFOLD_SCREEN_GROUP(TARNFOLD_FOLDED_BLOCK, quarter, __VA_ARGS__)

// Memory operands of the folded screen, whose eight registers hold its pattern bytes, two
// blocks and the four quarters.
alignas(16) constexpr unsigned char kUnfold[16] = {0xDF, 0xDF, 0xDF, 0xDF, 0xDF, 0xDF, 0xDF, 0xDF,
                                                   0xDF, 0xDF, 0xDF, 0xDF, 0xDF, 0xDF, 0xDF, 0xDF};
alignas(16) constexpr unsigned char kZeros[16] = {};

template <bool kFoldsLow, bool kFoldsHigh>
[[gnu::always_inline]] inline auto PairScreen<kFoldsLow, kFoldsHigh>::NextChunkWithZero(const char* chunk) const
    -> QuietChunk {
    const std::ptrdiff_t minus = -static_cast<std::ptrdiff_t>(distance);
    Block first, second, lowBytes, highBytes;
    unsigned lanes;
    if constexpr (!kFolds) {
        const Block zero = _mm_setzero_si128();
        asm("1:\n\t"
            TARNFOLD_QUIET_HALF("%[first]", "0", "16", "32", "48")
            TARNFOLD_QUIET_HALF("%[second]", "64", "80", "96", "112")
            "add $128, %[chunk]\n\t"
            "movdqa %[first], %[highBytes]\n\t"
            "pminub %[second], %[highBytes]\n\t"
            "pcmpeqb %[zero], %[highBytes]\n\t"
            "pmovmskb %[highBytes], %[lanes]\n\t"
            "test %[lanes], %[lanes]\n\t"
            "jz 1b\n\t"
            : [chunk] "+r"(chunk), [lanes] "=&r"(lanes), [first] "=&x"(first), [second] "=&x"(second),
              [lowBytes] "=&x"(lowBytes), [highBytes] "=&x"(highBytes)
            : [minus] "r"(minus), [low] "x"(low), [high] "x"(high), [zero] "x"(zero)
            : "cc", "memory");
        return {chunk - 128, {first, second}};
    } else {
        Block third, fourth;
        asm("1:\n\t"
            TARNFOLD_FOLDED_QUARTER("%[first]", "0", "16", "32", "48")
            TARNFOLD_FOLDED_QUARTER("%[second]", "64", "80", "96", "112")
            TARNFOLD_FOLDED_QUARTER("%[third]", "128", "144", "160", "176")
            TARNFOLD_FOLDED_QUARTER("%[fourth]", "192", "208", "224", "240")
            "add $256, %[chunk]\n\t"
            "movdqa %[first], %[lowBytes]\n\t"
            "pminub %[second], %[lowBytes]\n\t"
            "pminub %[third], %[lowBytes]\n\t"
            "pminub %[fourth], %[lowBytes]\n\t"
            "pcmpeqb %[zeros], %[lowBytes]\n\t"
            "pmovmskb %[lowBytes], %[lanes]\n\t"
            "test %[lanes], %[lanes]\n\t"
            "jz 1b\n\t"
            : [chunk] "+r"(chunk), [lanes] "=&r"(lanes), [first] "=&x"(first), [second] "=&x"(second),
              [third] "=&x"(third), [fourth] "=&x"(fourth), [lowBytes] "=&x"(lowBytes), [highBytes] "=&x"(highBytes)
            : [minus] "r"(minus), [low] "x"(low), [high] "x"(high), [unfold] "m"(kUnfold), [zeros] "m"(kZeros)
            : "cc", "memory");
        return {chunk - 256, {first, second, third, fourth}};
    }
}

#undef TARNFOLD_FOLDED_QUARTER
#undef TARNFOLD_SCREEN_GROUP
#undef TARNFOLD_SCREEN_BLOCK
#undef TARNFOLD_FOLDED_BLOCK
#undef TARNFOLD_QUIET_HALF
#undef TARNFOLD_QUIET_BLOCK

// Where a screened forward pass delivers candidates: lane j of `bits` is a candidate
// starting at lane0 + j whose bytes before `settled` are known to agree. True to stop.
//
// FirstMatches compares each candidate and lists the accepted ones.
template <FoldKind kFold>
struct FirstMatches {
    const char* text;
    const ScreenedPattern& screened;
    MatchList& list;

    bool Candidates(const char* lane0, unsigned bits, std::size_t settled) {
        for (; bits != 0; bits &= bits - 1) {
            const char* at = lane0 + Lowest(bits);
            if (at >= list.next && AcceptedAt<kFold>(text, at, screened, settled) && list.Take(at)) return true;
        }
        return false;
    }
    bool Candidate(const char* at) { return Candidates(at, 1, 0); }
    void End(const char* terminator) { list.terminator = terminator; }
};

// LastMatches compares each candidate and keeps the last accepted one, so that a search
// for the last match reads the text once. Where candidates are so dense that comparing them
// all could cost more than a backward scan, it stops at the one that exhausts its budget.
template <FoldKind kFold>
struct LastMatches {
    static constexpr std::size_t kBudget = 4096;
    const char* text;
    const ScreenedPattern& screened;
    const char* last = nullptr;       // the last accepted match so far
    const char* unsettled = nullptr;  // the first candidate left uncompared, if any
    std::size_t budget = kBudget;

    bool Candidates(const char* lane0, unsigned bits, std::size_t settled) {
        for (; bits != 0; bits &= bits - 1) {
            const char* at = lane0 + Lowest(bits);
            if (budget-- == 0) {
                unsettled = at;
                return true;
            }
            if (AcceptedAt<kFold>(text, at, screened, settled)) last = at;
        }
        return false;
    }
    bool Candidate(const char* at) { return Candidates(at, 1, 0); }
    void End(const char*) {}
};

// One block of the scan: its candidates, up to the terminator when it holds it. True when
// the scan is to stop.
template <class Screen, class Sink>
bool ExamineBlock(const char* block, const Screen& screen, std::size_t highIndex, std::size_t settled, Sink& sink) {
    Block bytes = Load(block);
    unsigned candidates = Bits(_mm_cmpeq_epi8(screen.Disagreement(block, bytes), _mm_setzero_si128()));
    unsigned ends = Bits(_mm_cmpeq_epi8(bytes, _mm_setzero_si128()));
    if (ends != 0) candidates &= (1u << Lowest(ends)) - 1;
    if (candidates != 0 && sink.Candidates(block - highIndex, candidates, settled)) return true;
    if (ends == 0) return false;
    sink.End(block + Lowest(ends));
    return true;
}

// The four blocks from `half` where the lanes `lanes` may hold a candidate or the terminator.
// Mostly only one lane does: its four bytes are looked at one by one.
template <class Screen, class Sink>
[[gnu::always_inline]] inline bool ExamineHalf(const char* half, unsigned lanes, const Screen& screen, std::size_t highIndex, std::size_t settled,
                 Sink& sink) {
    if ((lanes & (lanes - 1)) == 0) return screen.ExamineLane(half + Lowest(lanes), highIndex, settled, sink);
    for (const char* at = half; at < half + 64; at += 16)
        if (ExamineBlock(at, screen, highIndex, settled, sink)) return true;
    return false;
}

// One pass from `start` (a byte of the text or its terminator) to the terminator or until
// the sink stops it.
template <class Screen, class Sink>
void ScreenedPass(const char* start, const ScreenedPattern& screened, ScreenPair pair, Sink& sink) {
    const std::size_t lastIndex = screened.length - 1;
    // The first block of screened bytes starts at or after start + high; the candidates
    // before its lane 0 (fewer than high + 16) are handed over one by one. No byte before
    // that block may be the terminator, or it might lie in a page that cannot be read.
    const char* block = BlockOf(start + pair.high + 15);
    const std::size_t ahead = static_cast<std::size_t>(block - start);
    const std::size_t end = TerminatorIndex(start, ahead);
    // Where the terminator lies among those bytes, only candidates that end before it are
    // handed over.
    const std::size_t heads = end >= ahead ? static_cast<std::size_t>(block - pair.high - start)
                              : end > lastIndex ? end - lastIndex
                                                : 0;
    for (const char* at = start; at < start + heads; ++at)
        if (sink.Candidate(at)) return;
    if (end < ahead) {
        sink.End(start + end);
        return;
    }
    const Screen screen(screened, pair);
    // The screen settles the bytes before `low` only when it is the first, and both bytes
    // of a two-byte pattern.
    const std::size_t settled = pair.low != 0 ? 0 : pair.high == 1 ? 2 : 1;
    // The block's first byte is text or the terminator, so the block is readable, and so is
    // the aligned chunk that holds it (one page): single blocks up to a chunk, then chunks,
    // each screened as a whole and then part by part where it holds a zero lane.
    constexpr std::uintptr_t kChunk = Screen::kChunk;
    for (; (reinterpret_cast<std::uintptr_t>(block) & (kChunk - 1)) != 0; block += 16)
        if (ExamineBlock(block, screen, pair.high, settled, sink)) return;
    for (;; block += kChunk) {
        const auto quiet = screen.NextChunkWithZero(block);
        block = quiet.chunk;
        const Block zero = _mm_setzero_si128();
        // Each part's lanes are taken only when the parts before it held no match.
        unsigned lanes = Bits(_mm_cmpeq_epi8(quiet.parts[0], zero));
        if (lanes != 0 && ExamineHalf(block, lanes, screen, pair.high, settled, sink)) return;
        lanes = Bits(_mm_cmpeq_epi8(quiet.parts[1], zero));
        if (lanes != 0 && ExamineHalf(block + 64, lanes, screen, pair.high, settled, sink)) return;
        if constexpr (Screen::kParts == 4) {
            lanes = Bits(_mm_cmpeq_epi8(quiet.parts[2], zero));
            if (lanes != 0 && ExamineHalf(block + 128, lanes, screen, pair.high, settled, sink)) return;
            lanes = Bits(_mm_cmpeq_epi8(quiet.parts[3], zero));
            if (lanes != 0 && ExamineHalf(block + 192, lanes, screen, pair.high, settled, sink)) return;
        }
    }
}

// Most texts are short, and a short text is better served by a screen that needs no
// setup: the first kShortBlocks aligned blocks from the start's are screened by one byte of
// the pattern (its rarest, index `rare`), block by block, each candidate compared whole.
// Lanes before the start and after the terminator are masked off; a candidate's bytes
// before its screened one lie before that byte, so they are text. Returns null when the
// pass ended (the sink stopped it or the terminator was reached), else the first candidate
// not yet examined, from which the two-byte screen goes on.
constexpr std::size_t kShortBlocks = 20;
constexpr std::size_t kShortPattern = 16;  // longer patterns go to the two-byte screen at once

template <bool kFolds, class Sink>
[[gnu::always_inline]] inline const char* RareBytePass(const char* start, std::size_t rare, char rareByte, Sink& sink) {
    const Block wanted = Broadcast<kFolds>(rareByte);
    const Block zero = _mm_setzero_si128();
    // Zero in the lanes that hold the screened byte or a zero byte.
    auto quietLanes = [&](const char* at) {
        const Block bytes = Load(at);
        return Bits(_mm_cmpeq_epi8(_mm_min_epu8(_mm_xor_si128(Folded<kFolds>(bytes), wanted), bytes), zero));
    };
    const char* const firstRare = start + rare;  // the first candidate's screened byte
    const char* block = BlockOf(start);
    const char* const last = block + 16 * (kShortBlocks - 1);
    unsigned quiet = quietLanes(block) >> OffsetIn(start) << OffsetIn(start);
    for (;;) {
        if (quiet != 0) {
            const unsigned ends = Bits(_mm_cmpeq_epi8(Load(block), zero)) & quiet;
            unsigned hits = ends != 0 ? quiet & ((ends & (0u - ends)) - 1) : quiet;
            if (const std::ptrdiff_t skip = firstRare - block; skip > 0) hits = skip >= 16 ? 0 : hits >> skip << skip;
            for (; hits != 0; hits &= hits - 1)
                if (sink.Candidate(block + Lowest(hits) - rare)) return nullptr;
            if (ends != 0) {
                sink.End(block + Lowest(ends));
                return nullptr;
            }
        }
        if (block == last) break;
        block += 16;
        quiet = quietLanes(block);
    }
    const char* resume = block + 16 - rare;
    return resume > start ? resume : start;
}

template <class Sink>
[[gnu::always_inline]] inline const char* ShortPass(const char* start, const ScreenedPattern& screened, Sink& sink) {
    std::size_t rare = 0;
    unsigned least = CommonnessAt(screened, 0);
    for (std::size_t i = 1; i < screened.length; ++i)
        if (const unsigned commonness = CommonnessAt(screened, i); commonness < least) {
            least = commonness;
            rare = i;
        }
    if (FoldsAt(screened, rare)) return RareBytePass<true>(start, rare, screened.pattern[rare], sink);
    return RareBytePass<false>(start, rare, screened.pattern[rare], sink);
}

// The pass with the two-byte screen that folds as the comparison does.
template <class Sink>
void BulkPassFor(const char* start, const ScreenedPattern& screened, Sink& sink) {
    const ScreenPair pair = RarestPair(screened);
    switch (screened.fold) {
        case FoldKind::All:
            return ScreenedPass<PairScreen<true, true>>(start, screened, pair, sink);
        case FoldKind::FirstOnly:
            if (pair.low == 0) return ScreenedPass<PairScreen<true, false>>(start, screened, pair, sink);
            break;
        case FoldKind::Exact:
            break;
    }
    ScreenedPass<PairScreen<false, false>>(start, screened, pair, sink);
}

// The short pass first where the pattern is short, then the two-byte screen.
template <class Sink>
void ScreenedPassFor(const char* start, const ScreenedPattern& screened, Sink& sink) {
    if (screened.length <= kShortPattern && (start = ShortPass(start, screened, sink)) == nullptr) return;
    BulkPassFor(start, screened, sink);
}

template <FoldKind kFold>
void ScreenedForward(const char* text, const ScreenedPattern& screened, MatchList& list) {
    FirstMatches<kFold> sink{text, screened, list};
    ScreenedPassFor(list.next, screened, sink);
}

// Backward scans from an explicit start screen by the first and last bytes: block j holds
// the first bytes of 16 candidates (aligned), their last bytes come from an unaligned load
// `last` bytes higher. Only candidates whose bytes all lie before the terminator can match;
// below the highest of them every byte up to its last one is text, so those loads read text
// alone, except in the block of the highest candidate, which is compared byte by byte.
template <FoldKind kFold>
const char* ScreenedBackward(const char* text, const char* bound, const char* from, const ScreenedPattern& screened) {
    const std::size_t lastIndex = screened.length - 1;
    // The highest candidate ends before the terminator.
    const std::size_t end = TerminatorIndex(from, lastIndex + 1);
    if (end <= lastIndex) {
        if (from - bound < static_cast<std::ptrdiff_t>(lastIndex - end + 1)) return nullptr;
        from -= lastIndex - end + 1;
    }
    const char* block = BlockOf(from);
    const char* const lowest = BlockOf(bound);
    for (const char* at = from; at >= block && at >= bound; --at)
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
        if (AtOrBelow(at, bound)) candidates &= LanesFrom(at, bound);
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

// The last match of the whole text: one screened pass compares the candidates in order;
// where they ran over its budget, the backward scan from the text's end settles the rest.
template <FoldKind kFold>
const char* ScreenedLast(const char* text, const ScreenedPattern& screened) {
    LastMatches<kFold> sink{text, screened};
    ScreenedPassFor(text, screened, sink);
    if (sink.unsettled == nullptr) return sink.last;
    const char* end = sink.unsettled + TerminatorIndex(sink.unsettled, ~std::size_t{0});
    const char* match = ScreenedBackward<kFold>(text, sink.unsettled, end - 1, screened);
    return match != nullptr ? match : sink.last;
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

namespace {

// FindText's forward search: the pattern measured and its rarest byte found in one pass,
// the short pass with a sink that keeps the first accepted match, and only for a text that
// goes on past it the bulk scans, from the first candidate not yet examined.
template <FoldKind kFold>
[[gnu::always_inline]] inline const char* FirstForward(const char* text, const char* from, const char* pattern, bool wholeWord) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(pattern);
    const auto& firstTable = kFoldsFirst<kFold> ? kFoldedCommonness : kCommonness;
    const auto& restTable = kFoldsRest<kFold> ? kFoldedCommonness : kCommonness;
    std::size_t rare = 0, length = 1;
    unsigned least = firstTable[bytes[0]];
    for (; bytes[length] != 0; ++length)
        if (const unsigned commonness = restTable[bytes[length]]; commonness < least) {
            least = commonness;
            rare = length;
        }
    struct FirstMatch {
        const char* text;
        const char* pattern;
        bool wholeWord;
        const char* match = nullptr;
        bool Candidate(const char* at) {
            if (!AcceptedAt<kFold>(text, at, pattern, wholeWord, 0)) return false;
            match = at;
            return true;
        }
        void End(const char*) {}
    } sink{text, pattern, wholeWord};
    const char* resume;
    if (kFoldsRest<kFold> || (kFoldsFirst<kFold> && rare == 0))
        resume = RareBytePass<true>(from, rare, pattern[rare], sink);
    else
        resume = RareBytePass<false>(from, rare, pattern[rare], sink);
    if (resume == nullptr) return sink.match;
    return ScanFirstForwardBulk(text, resume, pattern, length, kFold, wholeWord);
}

}  // namespace

const char* ScanFirstForward(const char* text, const char* from, const char* pattern, FoldKind fold, bool wholeWord) {
    if (pattern[1] == '\0') return FirstForward<FoldKind::Exact>(text, from, pattern, false);
    switch (fold) {
        case FoldKind::All:
            return FirstForward<FoldKind::All>(text, from, pattern, wholeWord);
        case FoldKind::FirstOnly:
            return FirstForward<FoldKind::FirstOnly>(text, from, pattern, wholeWord);
        case FoldKind::Exact:
            break;
    }
    return FirstForward<FoldKind::Exact>(text, from, pattern, wholeWord);
}

const char* ScanFirstForwardBulk(const char* text, const char* from, const char* pattern, std::size_t length, FoldKind fold,
                                 bool wholeWord) {
    Word match = 0;
    MatchList list{&match, 1, 1, 1, from};
    if (length == 1) {
        ScanByteForward(pattern[0], list);
    } else {
        const ScreenedPattern screened{pattern, fold, wholeWord, length};
        switch (fold) {
            case FoldKind::All: {
                FirstMatches<FoldKind::All> matches{text, screened, list};
                BulkPassFor(from, screened, matches);
                break;
            }
            case FoldKind::FirstOnly: {
                FirstMatches<FoldKind::FirstOnly> matches{text, screened, list};
                BulkPassFor(from, screened, matches);
                break;
            }
            case FoldKind::Exact: {
                FirstMatches<FoldKind::Exact> matches{text, screened, list};
                BulkPassFor(from, screened, matches);
                break;
            }
        }
    }
    return reinterpret_cast<const char*>(static_cast<std::uintptr_t>(match));
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
            return ScreenedBackward<FoldKind::All>(text, text, from, pattern);
        case FoldKind::FirstOnly:
            return ScreenedBackward<FoldKind::FirstOnly>(text, text, from, pattern);
        case FoldKind::Exact:
            break;
    }
    return ScreenedBackward<FoldKind::Exact>(text, text, from, pattern);
}

const char* ScanScreenedLast(const char* text, const ScreenedPattern& pattern) {
    switch (pattern.fold) {
        case FoldKind::All:
            return ScreenedLast<FoldKind::All>(text, pattern);
        case FoldKind::FirstOnly:
            return ScreenedLast<FoldKind::FirstOnly>(text, pattern);
        case FoldKind::Exact:
            break;
    }
    return ScreenedLast<FoldKind::Exact>(text, pattern);
}

}  // namespace tarnfold

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
Block Load(const char* block) { return _mm_load_si128(reinterpret_cast<const Block*>(block)); }
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

// The whole comparison of a candidate, byte by byte: the terminator ends the text and
// matches nothing, also where folding would make it look like a space.
template <FoldKind kFold>
bool AcceptedAt(const char* text, const char* at, const ScreenedPattern& screened) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(at);
    const auto* pattern = reinterpret_cast<const unsigned char*>(screened.pattern);
    std::size_t i = 0;
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

// Lane j of the result is set when a candidate starts at block + j - 1: its first byte
// matched in lane j - 1 (of this block, or lane 15 of the previous block) and its second
// byte in lane j. So the 16-bit screen of 16 positions costs two compares and no load that
// reaches past the block.
template <FoldKind kFold>
struct ForwardScreen {
    Block first, second, previousFirst;

    Block Pairs(Block bytes) {
        Block isFirst = _mm_cmpeq_epi8(Folded<kFoldsFirst<kFold>>(bytes), first);
        Block isSecond = _mm_cmpeq_epi8(Folded<kFoldsRest<kFold>>(bytes), second);
        Block pairs = _mm_and_si128(isSecond, _mm_or_si128(_mm_slli_si128(isFirst, 1), _mm_srli_si128(previousFirst, 15)));
        previousFirst = isFirst;
        return pairs;
    }
};

// The candidates of one block that holds a pair or a zero: accepted match, or null. Sets
// `*terminator` when the block ends the text.
template <FoldKind kFold>
const char* ExamineForward(const char* text, const char* block, unsigned candidates, unsigned ends,
                           const ScreenedPattern& screened, const char** terminator) {
    unsigned end = 16;
    if (ends != 0) {
        end = Lowest(ends);
        candidates &= (2u << end) - 1;  // the last candidate's second byte is the terminator
    }
    for (; candidates != 0; candidates &= candidates - 1) {
        const char* at = block + Lowest(candidates) - 1;
        if (AcceptedAt<kFold>(text, at, screened)) return at;
    }
    if (ends != 0) *terminator = block + end;
    return nullptr;
}

template <FoldKind kFold>
const char* ScreenedForward(const char* text, const char* from, const ScreenedPattern& screened,
                            const char** terminator) {
    const Block zero = _mm_setzero_si128();
    ForwardScreen<kFold> screen{Broadcast<kFoldsFirst<kFold>>(screened.pattern[0]),
                                Broadcast<kFoldsRest<kFold>>(screened.pattern[1]), zero};
    // The first block: lanes before `from` take no part (a candidate there would start
    // before `from`; a zero there is not this text's terminator).
    const char* block = BlockOf(from);
    unsigned offset = OffsetIn(from);
    Block bytes = Load(block);
    unsigned candidates = Bits(screen.Pairs(bytes)) & (~0u << (offset + 1));
    unsigned ends = Bits(_mm_cmpeq_epi8(bytes, zero)) & (~0u << offset);
    *terminator = nullptr;
    if ((candidates | ends) != 0) {
        const char* match = ExamineForward<kFold>(text, block, candidates, ends, screened, terminator);
        if (match != nullptr || *terminator != nullptr) return match;
    }
    for (;;) {
        // The previous block held no zero, so this one holds a byte of the text or its
        // terminator and is readable. Two blocks per pass keep the loop's overhead low.
        block += 16;
        bytes = Load(block);
        Block pairs = screen.Pairs(bytes);
        Block ended = _mm_cmpeq_epi8(bytes, zero);
        if (Bits(_mm_or_si128(pairs, ended)) == 0) {
            block += 16;
            bytes = Load(block);
            pairs = screen.Pairs(bytes);
            ended = _mm_cmpeq_epi8(bytes, zero);
            if (Bits(_mm_or_si128(pairs, ended)) == 0) continue;
        }
        const char* match = ExamineForward<kFold>(text, block, Bits(pairs), Bits(ended), screened, terminator);
        if (match != nullptr || *terminator != nullptr) return match;
    }
}

template <FoldKind kFold>
const char* ScreenedBackward(const char* text, const char* from, const ScreenedPattern& screened) {
    const Block first = Broadcast<kFoldsFirst<kFold>>(screened.pattern[0]);
    const Block second = Broadcast<kFoldsRest<kFold>>(screened.pattern[1]);
    const char* block = BlockOf(from);
    unsigned offset = OffsetIn(from);
    // A candidate at `from` reads one byte beyond it, at most the terminator: when that
    // byte starts the next block, that block is readable.
    Block nextSecond = _mm_setzero_si128();
    if (offset == 15) nextSecond = _mm_cmpeq_epi8(Folded<kFoldsRest<kFold>>(Load(block + 16)), second);
    unsigned lanes = (2u << offset) - 1;
    for (;;) {
        Block bytes = Load(block);
        Block isFirst = _mm_cmpeq_epi8(Folded<kFoldsFirst<kFold>>(bytes), first);
        Block isSecond = _mm_cmpeq_epi8(Folded<kFoldsRest<kFold>>(bytes), second);
        // Lane j: a candidate starts at block + j.
        Block pairs = _mm_and_si128(isFirst, _mm_or_si128(_mm_srli_si128(isSecond, 1), _mm_slli_si128(nextSecond, 15)));
        unsigned candidates = Bits(pairs) & lanes;
        bool last = AtOrBelow(block, text);
        if (last) candidates &= LanesFrom(block, text);
        for (; candidates != 0; candidates &= ~(1u << Highest(candidates))) {
            const char* at = block + Highest(candidates);
            if (AcceptedAt<kFold>(text, at, screened)) return at;
        }
        if (last) return nullptr;
        nextSecond = isSecond;
        block -= 16;
        lanes = ~0u;
    }
}

}  // namespace

std::size_t TerminatorIndex(const char* text, std::size_t limit) {
    const Block zero = _mm_setzero_si128();
    const char* block = BlockOf(text);
    unsigned lanes = ~0u << OffsetIn(text);
    for (;;) {
        if (unsigned ends = Bits(_mm_cmpeq_epi8(Load(block), zero)) & lanes)
            return static_cast<std::size_t>(block + Lowest(ends) - text);
        block += 16;
        lanes = ~0u;
        std::size_t scanned = static_cast<std::size_t>(block - text);
        if (scanned >= limit) return scanned;
    }
}

const char* ScanByteForward(const char* from, char byte, const char** terminator) {
    const Block zero = _mm_setzero_si128();
    const Block wanted = _mm_set1_epi8(byte);
    const char* block = BlockOf(from);
    unsigned lanes = ~0u << OffsetIn(from);
    for (;;) {
        Block bytes = Load(block);
        if (unsigned hits = Bits(_mm_or_si128(_mm_cmpeq_epi8(bytes, wanted), _mm_cmpeq_epi8(bytes, zero))) & lanes) {
            const char* at = block + Lowest(hits);
            if (*at != 0) return at;  // the byte is never zero: a pattern ends at its zero
            *terminator = at;
            return nullptr;
        }
        block += 16;
        lanes = ~0u;
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

const char* ScanScreenedForward(const char* text, const char* from, const ScreenedPattern& pattern,
                                const char** terminator) {
    switch (pattern.fold) {
        case FoldKind::All:
            return ScreenedForward<FoldKind::All>(text, from, pattern, terminator);
        case FoldKind::FirstOnly:
            return ScreenedForward<FoldKind::FirstOnly>(text, from, pattern, terminator);
        case FoldKind::Exact:
            break;
    }
    return ScreenedForward<FoldKind::Exact>(text, from, pattern, terminator);
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

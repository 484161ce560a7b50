// FindText's forward search over the first bytes of a text, inline in FindText: most texts
// are lines of a few dozen bytes, where the setup of the bulk screens and a call cost more
// than the scan. A pattern of up to 16 bytes is held in one register: blocks are screened
// by its first byte (its lanes and the terminator's in one test), then by its second, and a
// candidate is compared with one load where its 16 bytes lie in one page. Past the first
// kHeldPassBytes the bulk scans go on from the first candidate not yet examined.
#pragma once

#include "find_blocks.h"

namespace tarnfold::blocks {

// A multiple of 32, so that a pair of blocks from a multiple of 32 ends at or before it.
constexpr std::uintptr_t kHeldPassBytes = 320;

// The end of the held pass from the block of `from`.
inline const char* HeldPassEnd(const char* block) {
    return reinterpret_cast<const char*>((reinterpret_cast<std::uintptr_t>(block) & ~std::uintptr_t{31}) + kHeldPassBytes);
}

// The first `byte` (not zero) from `from` (a byte of a text or its terminator) on, or null.
[[gnu::always_inline]] inline const char* FirstByteForward(const char* text, const char* from, const char* pattern) {
    const Block wanted = _mm_set1_epi8(pattern[0]);
    const Block zero = _mm_setzero_si128();
    // Zero in the lanes that hold the byte or the terminator.
    auto quietBits = [&](const char* block) {
        const Block bytes = Load(block);
        return Bits(_mm_cmpeq_epi8(_mm_min_epu8(_mm_xor_si128(bytes, wanted), bytes), zero));
    };
    const char* block = BlockOf(from);
    const char* const end = HeldPassEnd(block);
    unsigned quiet = quietBits(block) >> OffsetIn(from) << OffsetIn(from);
    while (quiet == 0) {
        block += 16;
        if (block == end) return ScanFirstForwardBulk(text, block, pattern, 1, FoldKind::Exact, false);
        quiet = quietBits(block);
    }
    const char* at = block + Lowest(quiet);
    return *at != 0 ? at : nullptr;
}

template <FoldKind kFold>
struct HeldPattern {
    Block bytes;          // with the fold bit set where the comparison folds
    Block fold;           // the fold bits
    Block first, second;  // bytes 0 and 1 of `bytes` in every lane
    unsigned lanes;       // the pattern's lanes
    std::size_t length;   // 0: longer than 16 bytes, not held

    [[gnu::always_inline]] explicit HeldPattern(const char* pattern) {
        Block raw;
        if (SixteenInPage(pattern)) {
            raw = LoadFrom(pattern);
        } else {
            alignas(16) char copy[16] = {};
            for (std::size_t i = 0; i < 16 && pattern[i] != 0; ++i) copy[i] = pattern[i];
            raw = Load(copy);
        }
        const unsigned zeros = Bits(_mm_cmpeq_epi8(raw, _mm_setzero_si128()));
        lanes = ((zeros & (0u - zeros)) - 1) & 0xFFFF;
        length = zeros != 0 ? Lowest(zeros) : pattern[16] == 0 ? 16 : 0;
        if constexpr (kFold == FoldKind::All)
            fold = _mm_set1_epi8(static_cast<char>(kFoldBit));
        else if constexpr (kFold == FoldKind::FirstOnly)
            fold = _mm_cvtsi32_si128(kFoldBit);
        else
            fold = _mm_setzero_si128();
        bytes = _mm_or_si128(raw, fold);
        const Block pairs = _mm_unpacklo_epi8(bytes, bytes);
        first = _mm_shuffle_epi32(_mm_shufflelo_epi16(pairs, 0x00), 0);
        second = _mm_shuffle_epi32(_mm_shufflelo_epi16(pairs, 0x55), 0);
    }

    // Zero in the lanes where the first byte agrees or the text ends.
    Block Quiet(Block loaded) const {
        return _mm_min_epu8(_mm_xor_si128(Folded<kFoldsFirst<kFold>>(loaded), first), loaded);
    }

    // The candidate at `at` (a byte of the text) compared whole; the terminator matches
    // nothing, also where folding would make it look like a space.
    [[gnu::always_inline]] bool Accepts(const char* text, const char* at, const char* pattern, bool wholeWord) const {
        if (!SixteenInPage(at)) return AcceptedAt<kFold>(text, at, pattern, wholeWord, 0);
        const Block candidate = LoadFrom(at);
        unsigned differ = ~Bits(_mm_cmpeq_epi8(_mm_or_si128(candidate, fold), bytes));
        if constexpr (kFold != FoldKind::Exact) differ |= Bits(_mm_cmpeq_epi8(candidate, _mm_setzero_si128()));
        if ((differ & lanes) != 0) return false;
        if (!wholeWord) return true;
        constexpr unsigned kLastSeparator = 0x40;
        const auto* after = reinterpret_cast<const unsigned char*>(at);
        return after[length] <= kLastSeparator && (at == text || after[-1] <= kLastSeparator);
    }

    // The candidates of the block `bytes` (loaded from `block`) in its lanes `quiet`, up to
    // the terminator: the first accepted one, or null with `ended` set when the block holds
    // the terminator.
    [[gnu::always_inline]] const char* Examine(const char* text, const char* block, Block loaded, unsigned quiet,
                                               const char* pattern, bool wholeWord, bool& ended) const {
        const unsigned ends = Bits(_mm_cmpeq_epi8(loaded, _mm_setzero_si128())) & quiet;
        unsigned hits = ends != 0 ? quiet & ((ends & (0u - ends)) - 1) : quiet;
        // Lane 15's second byte lies in the next block: that candidate passes.
        hits &= Bits(_mm_cmpeq_epi8(Folded<kFoldsRest<kFold>>(loaded), second)) >> 1 | 0x8000;
        for (; hits != 0; hits &= hits - 1)
            if (const char* at = block + Lowest(hits); Accepts(text, at, pattern, wholeWord)) return at;
        ended = ends != 0;
        return nullptr;
    }
};

// The first accepted match of a held pattern of two or more bytes from `from` (a byte of
// `text` or its terminator) on, or null.
template <FoldKind kFold>
[[gnu::always_inline]] inline const char* HeldFirstForward(const char* text, const char* from, const char* pattern,
                                                           bool wholeWord, const HeldPattern<kFold>& held) {
    const Block zero = _mm_setzero_si128();
    const char* block = BlockOf(from);
    const char* const end = HeldPassEnd(block);
    Block bytes = Load(block);
    unsigned quiet = Bits(_mm_cmpeq_epi8(held.Quiet(bytes), zero)) >> OffsetIn(from) << OffsetIn(from);
    for (;;) {
        if (quiet != 0) {
            bool ended = false;
            if (const char* match = held.Examine(text, block, bytes, quiet, pattern, wholeWord, ended)) return match;
            if (ended) return nullptr;
        }
        block += 16;
        // Two blocks from a multiple of 32 lie in one page: pairs are tested at once, up to
        // one with a lane to examine.
        if (IsPairAligned(block))
            for (; block != end; block += 32)
                if (Bits(_mm_cmpeq_epi8(_mm_min_epu8(held.Quiet(Load(block)), held.Quiet(Load(block + 16))), zero)) != 0)
                    break;
        if (block == end) break;
        bytes = Load(block);
        quiet = Bits(_mm_cmpeq_epi8(held.Quiet(bytes), zero));
    }
    return ScanFirstForwardBulk(text, block, pattern, held.length, kFold, wholeWord);
}

}  // namespace tarnfold::blocks

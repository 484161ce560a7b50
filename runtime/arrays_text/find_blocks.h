// The block reads and byte comparisons that the forward and backward scans share.
//
// Texts are read in aligned 16-byte blocks, and unaligned 16 bytes only where all of them
// are known to be readable. An aligned block never crosses a page, so a block that holds
// any byte of the text (or its terminator) is readable as a whole; bytes of a block that
// lie outside the text are masked off, never trusted.
#pragma once

#include <emmintrin.h>

#include <cstddef>
#include <cstdint>

#include "find_scan.h"

namespace tarnfold::blocks {

using Block = __m128i;
constexpr std::uintptr_t kBlockMask = 15;

// The aligned block that holds `at`. Aligned loads cannot fault while the block holds a
// readable byte: they never reach into the next page.
inline const char* BlockOf(const char* at) {
    return reinterpret_cast<const char*>(reinterpret_cast<std::uintptr_t>(at) & ~kBlockMask);
}
inline unsigned OffsetIn(const char* at) { return static_cast<unsigned>(reinterpret_cast<std::uintptr_t>(at) & kBlockMask); }
// Block reads may cover bytes around the text that the program never gave it, within a
// readable block: the sanitizer is not to report them.
[[gnu::no_sanitize_address]] inline Block Load(const char* block) {
    return _mm_load_si128(reinterpret_cast<const Block*>(block));
}
// Sixteen bytes from `at`, which lies in a block already read, up to the end of the next.
[[gnu::no_sanitize_address]] inline Block LoadFrom(const char* at) {
    return _mm_loadu_si128(reinterpret_cast<const Block*>(at));
}
// Two blocks from a multiple of 32 lie in one page (pages are multiples of 32 bytes).
inline bool IsPairAligned(const char* block) { return (reinterpret_cast<std::uintptr_t>(block) & 16) == 0; }
// Byte `lane` of four blocks, one byte of each, lowest first: like the block loads, it may
// read bytes past the text's terminator within the readable blocks.
[[gnu::no_sanitize_address]] inline std::uint32_t GatherLane(const char* lane) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(lane);
    return bytes[0] | bytes[16] << 8 | bytes[32] << 16 | std::uint32_t{bytes[48]} << 24;
}
inline unsigned Bits(Block lanes) { return static_cast<unsigned>(_mm_movemask_epi8(lanes)); }
inline unsigned Lowest(unsigned bits) { return static_cast<unsigned>(__builtin_ctz(bits)); }
inline unsigned Highest(unsigned bits) { return 31u - static_cast<unsigned>(__builtin_clz(bits)); }
inline bool AtOrBelow(const char* block, const char* text) {
    return reinterpret_cast<std::uintptr_t>(block) <= reinterpret_cast<std::uintptr_t>(text);
}
// Lanes of a block below `text` (the lowest block only) are not part of the text.
inline unsigned LanesFrom(const char* block, const char* text) {
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
inline Block Folded(Block bytes) {
    if constexpr (kFolds)
        return _mm_or_si128(bytes, _mm_set1_epi8(static_cast<char>(kFoldBit)));
    else
        return bytes;
}
template <bool kFolds>
inline Block Broadcast(char byte) {
    return _mm_set1_epi8(static_cast<char>(kFolds ? (byte | kFoldBit) : byte));
}

// The whole comparison of a candidate, byte by byte from its byte `settled` on (the bytes
// before it are known to agree): the terminator ends the text and matches nothing, also
// where folding would make it look like a space.
template <FoldKind kFold>
[[gnu::always_inline]] inline bool AcceptedAt(const char* text, const char* at, const char* patternText, bool wholeWord,
                                              std::size_t settled) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(at);
    const auto* pattern = reinterpret_cast<const unsigned char*>(patternText);
    std::size_t i = settled;
    for (; pattern[i] != 0; ++i) {
        unsigned textByte = bytes[i];
        if (textByte == 0) return false;
        bool folds = kFold == FoldKind::All || (kFold == FoldKind::FirstOnly && i == 0);
        if (folds ? (textByte | kFoldBit) != (pattern[i] | kFoldBit) : textByte != pattern[i]) return false;
    }
    if (!wholeWord) return true;
    // Bytes up to '@' separate words; the terminator does too, and so does the text's start.
    constexpr unsigned kLastSeparator = 0x40;
    if (bytes[i] > kLastSeparator) return false;
    return at == text || bytes[-1] <= kLastSeparator;
}
template <FoldKind kFold>
[[gnu::always_inline]] inline bool AcceptedAt(const char* text, const char* at, const ScreenedPattern& screened,
                                              std::size_t settled) {
    return AcceptedAt<kFold>(text, at, screened.pattern, screened.wholeWord, settled);
}

// The 16 bytes from `at` lie in the page of `at` (pages are multiples of 4 KiB), readable
// when `at` is.
constexpr std::uintptr_t kPageBytes = 4096;
inline bool SixteenInPage(const char* at) {
    return (reinterpret_cast<std::uintptr_t>(at) & (kPageBytes - 1)) <= kPageBytes - 16;
}

}  // namespace tarnfold::blocks

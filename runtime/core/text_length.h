// TextLength: the byte length of a zero-terminated text, found 16 bytes per step with SSE2.
#pragma once

#include <emmintrin.h>

#include <cstdint>

namespace tarnfold {

// The bytes before the first zero byte. The first 16 bytes are read with one unaligned load
// when they lie in the text's first page; otherwise, and after them, only aligned 16-byte
// loads are made, from the block that holds the first byte not yet tested on, and the lanes
// before the text's first byte are shifted out of the first aligned mask. Neither kind of
// load crosses into a page that neither the text's first byte nor its terminator lies in,
// so no read reaches memory the text's own pages do not hold. AddressSanitizer must not
// check these reads, as they cover bytes before the text and after its terminator.
__attribute__((no_sanitize_address)) inline std::uint32_t ScanTextLength(const char* text) {
    constexpr std::uintptr_t kPage = 4096;
    const auto address = reinterpret_cast<std::uintptr_t>(text);
    const __m128i zero = _mm_setzero_si128();
    const __m128i* block;
    unsigned zeros;
    if ((address & (kPage - 1)) <= kPage - 16) {
        zeros = static_cast<unsigned>(_mm_movemask_epi8(
            _mm_cmpeq_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(text)), zero)));
        if (zeros != 0) return static_cast<std::uint32_t>(__builtin_ctz(zeros));
        // The next aligned block starts at or before text + 16: its lanes before that are
        // bytes just tested, none of them zero.
        block = reinterpret_cast<const __m128i*>((address + 16) & ~std::uintptr_t{15});
    } else {
        block = reinterpret_cast<const __m128i*>(address & ~std::uintptr_t{15});
        zeros = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(_mm_load_si128(block), zero)));
        zeros >>= address & 15;
        if (zeros != 0) return static_cast<std::uint32_t>(__builtin_ctz(zeros));
        ++block;
    }
    // One block up to a multiple of 32 bytes, then pairs of blocks from one: two aligned
    // blocks from a multiple of 32 lie in one page, readable when the first is.
    auto found = [text](const __m128i* at, unsigned lanes) {
        return static_cast<std::uint32_t>(reinterpret_cast<const char*>(at) + __builtin_ctz(lanes) - text);
    };
    if ((reinterpret_cast<std::uintptr_t>(block) & 16) != 0) {
        zeros = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(_mm_load_si128(block), zero)));
        if (zeros != 0) return found(block, zeros);
        ++block;
    }
    for (;; block += 2) {
        const __m128i first = _mm_load_si128(block);
        zeros = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(_mm_min_epu8(first, _mm_load_si128(block + 1)), zero)));
        if (zeros == 0) continue;
        const unsigned firstZeros = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(first, zero)));
        if (firstZeros != 0) return found(block, firstZeros);
        return found(block + 1, zeros);
    }
}

// The checked build reads a measured text's first byte and its terminator through the
// sanitizer, since the scan itself is exempt: a text in freed or expired memory is reported
// here instead of measuring as whatever lies there (the sanitizer's own bookkeeping in a
// freed block reads as an early zero). Nothing in other builds.
#if defined(TARNFOLD_CHECKED) && defined(__SANITIZE_ADDRESS__)
inline void CheckTextBytes(const char* text, std::uint32_t length) {
    static_cast<void>(*static_cast<const volatile char*>(text));
    static_cast<void>(*static_cast<const volatile char*>(text + length));
}
#else
inline void CheckTextBytes(const char*, std::uint32_t) {}
#endif

inline std::uint32_t TextLength(const char* text) {
    const std::uint32_t length = ScanTextLength(text);
    CheckTextBytes(text, length);
    return length;
}

}  // namespace tarnfold

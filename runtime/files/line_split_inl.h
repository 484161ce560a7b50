// ForEachLineFeed: bytewise up to the first 16-byte-aligned address, then 32 bytes a step
// with two SSE2 compares against LF joined into one 32-bit mask (lower address in the low
// half), then bytewise again for the last part that does not fill a step. The mask of a step
// is taken before its callbacks run, so a callback that changes the bytes it was shown
// changes nothing the scan still has to read.
#pragma once

#include <emmintrin.h>

namespace tarnfold {

inline std::size_t CountLineFeeds(const char* data, std::size_t size) {
    const char* at = data;
    const char* const end = data + size;
    std::size_t count = 0;
    std::size_t head = (16 - (reinterpret_cast<std::uintptr_t>(data) & 15u)) & 15u;
    if (head > size) head = size;
    for (const char* stop = data + head; at < stop; ++at) count += *at == '\n';
    const __m128i lineFeeds = _mm_set1_epi8('\n');
    const __m128i zero = _mm_setzero_si128();
    // 64 bytes a step; a compare gives -1 for each LF, added to its byte lane: a lane falls
    // by at most 4 a step, so after 63 steps it still holds minus its count, then summed.
    while (end - at >= 64) {
        const std::size_t steps = static_cast<std::size_t>(end - at) / 64 < 63 ? static_cast<std::size_t>(end - at) / 64 : 63;
        __m128i lanes = zero;
        for (const char* stop = at + steps * 64; at != stop; at += 64) {
            const auto* block = reinterpret_cast<const __m128i*>(at);
            lanes = _mm_add_epi8(lanes, _mm_cmpeq_epi8(_mm_load_si128(block), lineFeeds));
            lanes = _mm_add_epi8(lanes, _mm_cmpeq_epi8(_mm_load_si128(block + 1), lineFeeds));
            lanes = _mm_add_epi8(lanes, _mm_cmpeq_epi8(_mm_load_si128(block + 2), lineFeeds));
            lanes = _mm_add_epi8(lanes, _mm_cmpeq_epi8(_mm_load_si128(block + 3), lineFeeds));
        }
        // Two 16-bit sums of the lanes' counts, in bits 0-15 and 64-79.
        const __m128i sums = _mm_sad_epu8(_mm_sub_epi8(zero, lanes), zero);
        count += static_cast<std::size_t>(_mm_cvtsi128_si32(sums)) +
                 static_cast<std::size_t>(_mm_cvtsi128_si32(_mm_srli_si128(sums, 8)));
    }
    for (; at < end; ++at) count += *at == '\n';
    return count;
}

template <typename Char, typename OnLineFeed>
void ForEachLineFeed(Char* data, std::size_t size, OnLineFeed&& onLineFeed) {
    Char* at = data;
    Char* const end = data + size;
    std::size_t head = (16 - (reinterpret_cast<std::uintptr_t>(data) & 15u)) & 15u;
    if (head > size) head = size;
    for (Char* stop = data + head; at < stop; ++at)
        if (*at == '\n') onLineFeed(at);
    const __m128i lineFeeds = _mm_set1_epi8('\n');
    // Aligned 16-byte loads inside [data, data + size): they never cross into another page.
    if (end - at >= 32) {
        Char* const last = end - 32;  // the last step's start
        do {
            const auto* block = reinterpret_cast<const __m128i*>(at);
            std::uint32_t mask =
                static_cast<std::uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(_mm_load_si128(block), lineFeeds))) |
                static_cast<std::uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(_mm_load_si128(block + 1), lineFeeds)))
                    << 16;
            while (mask != 0) {
                onLineFeed(at + __builtin_ctz(mask));
                mask &= mask - 1;
            }
            at += 32;
        } while (at <= last);
    }
    for (; at < end; ++at)
        if (*at == '\n') onLineFeed(at);
}

// The scan starts one byte in, so every LF it finds has a byte before it to test for a CR.
template <typename OnPair>
void ForEachCrLf(const char* data, std::size_t size, OnPair&& onPair) {
    if (size < 2) return;
    ForEachLineFeed(data + 1, size - 1, [&](const char* lineFeed) {
        if (lineFeed[-1] == '\r') onPair(static_cast<std::size_t>(lineFeed - 1 - data));
    });
}

}  // namespace tarnfold

// ForEachCrLf: bytewise up to the first 16-byte-aligned address, then 32 bytes a step with
// two SSE2 compares against LF joined into one 32-bit mask (lower address in the low half),
// then bytewise again for the last part that does not fill a step. Each LF found is tested
// for a CR right before it, so a pair across a step border is found exactly once.
#pragma once

#include <emmintrin.h>

namespace tarnfold {

template <typename OnPair>
void ForEachCrLf(const char* data, std::size_t size, OnPair&& onPair) {
    if (size < 2) return;
    auto lineFeedAt = [&](std::size_t at) {
        if (at > 0 && data[at - 1] == '\r') onPair(at - 1);
    };
    std::size_t at = 0;
    std::size_t misalignment = reinterpret_cast<std::uintptr_t>(data) & 15u;
    std::size_t head = misalignment == 0 ? 0 : 16 - misalignment;
    for (; at < head && at < size; ++at)
        if (data[at] == '\n') lineFeedAt(at);
    const __m128i lineFeeds = _mm_set1_epi8('\n');
    // Aligned 16-byte loads inside [data, data + size): they never cross into another page.
    for (; at + 32 <= size; at += 32) {
        __m128i low = _mm_load_si128(reinterpret_cast<const __m128i*>(data + at));
        __m128i high = _mm_load_si128(reinterpret_cast<const __m128i*>(data + at + 16));
        std::uint32_t mask = static_cast<std::uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(low, lineFeeds))) |
                             static_cast<std::uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(high, lineFeeds)))
                                 << 16;
        while (mask != 0) {
            lineFeedAt(at + static_cast<std::size_t>(__builtin_ctz(mask)));
            mask &= mask - 1;
        }
    }
    for (; at < size; ++at)
        if (data[at] == '\n') lineFeedAt(at);
}

}  // namespace tarnfold

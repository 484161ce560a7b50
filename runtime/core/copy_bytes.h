// CopyBytes and CopyLongBytes: inline copies for short lines and the pieces of a splice,
// without a library call.
#pragma once

#include <emmintrin.h>

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace tarnfold {

// Copies `size` bytes from `from` to `out` (ranges that do not overlap), reading and writing
// no byte outside them: 16 bytes at a time with the last 16 overlapping the piece before,
// shorter pieces as two overlapping 8- or 4-byte moves, or byte by byte.
inline void CopyBytes(char* out, const char* from, std::size_t size) {
    if (size >= 16) {
        const char* lastFrom = from + size - 16;
        char* lastOut = out + size - 16;
        for (; from < lastFrom; from += 16, out += 16)
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm_loadu_si128(reinterpret_cast<const __m128i*>(from)));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(lastOut), _mm_loadu_si128(reinterpret_cast<const __m128i*>(lastFrom)));
    } else if (size >= 8) {
        __m128i head = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(from));
        __m128i tail = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(from + size - 8));
        _mm_storel_epi64(reinterpret_cast<__m128i*>(out), head);
        _mm_storel_epi64(reinterpret_cast<__m128i*>(out + size - 8), tail);
    } else if (size >= 4) {
        std::uint32_t head, tail;
        std::memcpy(&head, from, 4);
        std::memcpy(&tail, from + size - 4, 4);
        std::memcpy(out, &head, 4);
        std::memcpy(out + size - 4, &tail, 4);
    } else {
        for (std::size_t i = 0; i < size; ++i) out[i] = from[i];
    }
}

// CopyBytes for pieces of any length, such as the gaps of a splice: 64 bytes a step while
// more than 16 remain after them.
inline void CopyLongBytes(char* out, const char* from, std::size_t size) {
    if (size < 16) return CopyBytes(out, from, size);
    auto move16 = [out, from](std::size_t at) {
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + at), _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + at)));
    };
    const std::size_t last = size - 16;
    std::size_t at = 0;
    for (; at + 64 <= last; at += 64) {
        move16(at);
        move16(at + 16);
        move16(at + 32);
        move16(at + 48);
    }
    for (; at < last; at += 16) move16(at);
    move16(last);
}

}  // namespace tarnfold

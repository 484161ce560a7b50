// TextLength: the byte length of a zero-terminated text, found 16 bytes per step with SSE2.
#pragma once

#include <emmintrin.h>

#include <cstdint>

namespace tarnfold {

// The bytes before the first zero byte. Only aligned 16-byte loads are made, from the block
// that holds the text's first byte on, and the lanes before that byte are shifted out of the
// first mask: an aligned load never crosses a page, so no read reaches memory the text's own
// page and the terminator's do not hold. AddressSanitizer must not check these reads, as
// they cover bytes before the text and after its terminator.
__attribute__((no_sanitize_address)) inline std::uint32_t TextLength(const char* text) {
    const auto address = reinterpret_cast<std::uintptr_t>(text);
    const auto* block = reinterpret_cast<const __m128i*>(address & ~std::uintptr_t{15});
    const __m128i zero = _mm_setzero_si128();
    unsigned zeros = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(_mm_load_si128(block), zero)));
    zeros >>= address & 15;
    if (zeros != 0) return static_cast<std::uint32_t>(__builtin_ctz(zeros));
    do {
        ++block;
        zeros = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(_mm_load_si128(block), zero)));
    } while (zeros == 0);
    return static_cast<std::uint32_t>(reinterpret_cast<const char*>(block) + __builtin_ctz(zeros) - text);
}

}  // namespace tarnfold

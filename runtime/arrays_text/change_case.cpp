// ChangeCase: an upper- or lower-case copy of a text in a registered heap block.
#include <emmintrin.h>

#include <cstdint>
#include <cstring>

#include "../core/copy_bytes.h"
#include "../core/text_length.h"
#include "../platform/win32.h"
#include "text_functions.h"

namespace tarnfold {

namespace {

// Texts up to this many bytes are measured and copied inline; longer ones by the C
// library, whose unrolled loops cost less per byte once the call is paid for.
constexpr std::uint32_t kShortText = 64;

// The bytes before the first zero byte: the first kShortText bytes or so with aligned
// 16-byte loads (an aligned load never crosses a page, so no read reaches a page that the
// text does not touch; the lanes before the text are shifted out of the first mask), the
// rest by strlen. AddressSanitizer must not check these reads, as they cover bytes before
// the text and after its terminator.
__attribute__((no_sanitize_address)) std::uint32_t MeasureText(const char* text) {
    const auto address = reinterpret_cast<std::uintptr_t>(text);
    const auto* block = reinterpret_cast<const __m128i*>(address & ~std::uintptr_t{15});
    const __m128i zero = _mm_setzero_si128();
    unsigned zeros = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(_mm_load_si128(block), zero)));
    zeros >>= address & 15;
    if (zeros != 0) return static_cast<std::uint32_t>(__builtin_ctz(zeros));
#pragma GCC unroll 4
    for (std::uint32_t step = 16; step < kShortText; step += 16) {
        ++block;
        zeros = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(_mm_load_si128(block), zero)));
        if (zeros != 0)
            return static_cast<std::uint32_t>(reinterpret_cast<const char*>(block) + __builtin_ctz(zeros) - text);
    }
    const char* rest = reinterpret_cast<const char*>(block + 1);
    return static_cast<std::uint32_t>(rest - text + std::strlen(rest));
}

// Copies `size` bytes, 16 to kShortText of them, with four loads and four stores at most:
// the second and third 16 bytes move back when the text is shorter, so that every move
// stays inside the text and the block.
void CopyShort(char* out, const char* from, std::uint32_t size) {
    const std::uint32_t last = size - 16;
    const std::uint32_t second = size > 32 ? 16 : last;
    const std::uint32_t third = size > 48 ? 32 : last;
    auto load = [from](std::uint32_t at) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + at)); };
    auto store = [out](std::uint32_t at, __m128i bytes) { _mm_storeu_si128(reinterpret_cast<__m128i*>(out + at), bytes); };
    const __m128i a = load(0), b = load(second), c = load(third), d = load(last);
    store(0, a);
    store(second, b);
    store(third, c);
    store(last, d);
}
static_assert(kShortText == 64, "CopyShort moves four 16-byte pieces at most");

}  // namespace

RecordedTemp ChangeCase(const char* text, std::int32_t upper) {
    // A text by its address is measured here; a token names a temporary or a constant, and
    // any other value below 64 KiB the empty text.
    TextRef source{text, 0};
    if (reinterpret_cast<std::uintptr_t>(text) >= kLowestAddress) {
        source.length = static_cast<std::int32_t>(MeasureText(text));
        CheckTextBytes(text, static_cast<std::uint32_t>(source.length));
    } else {
        source = ResolveTextSource(text);
    }
    const auto length = static_cast<std::uint32_t>(source.length);
    const std::uint32_t size = length + 1;
    char* block = static_cast<char*>(AllocBlock(size, false));
    RegisterHeapString(block);
    if (length < 16)
        CopyBytes(block, source.text, length);
    else if (length <= kShortText)
        CopyShort(block, source.text, length);
    else
        std::memcpy(block, source.text, length);
    block[length] = '\0';
    if (upper != 0)
        CharUpperBuffA(block, static_cast<DWORD>(size));
    else
        CharLowerBuffA(block, static_cast<DWORD>(size));
    TempSlot* slot = SelectTempSlot(1);
    slot->text = block;
    slot->length = static_cast<std::int32_t>(size - 1);
    slot->destination = nullptr;
    slot->isRecord = 0;
    return {block, slot};
}

}  // namespace tarnfold

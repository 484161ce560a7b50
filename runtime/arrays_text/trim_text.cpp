// TrimText: a text without leading and/or trailing blanks, copied into the scratch ring.
#include <emmintrin.h>

#include <cstring>

#include "../core/temp_slots.h"
#include "../core/text_length.h"
#include "../errors_console/fatal_error.h"
#include "text_functions.h"

namespace tarnfold {
namespace {

// The controls and the space, 0x00-0x20. Bytes from 0x80 on are letters of the code page
// or parts of UTF-8 characters, and are kept.
bool IsBlank(char c) { return static_cast<unsigned char>(c) <= 0x20; }

// Runs of blanks are tested 16 bytes at a time, long ones 64. A lane is blank when its
// unsigned maximum with 0x20 is 0x20.
__m128i Load(const char* at) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(at)); }
unsigned BlankLanes(__m128i bytes) {
    const __m128i top = _mm_set1_epi8(0x20);
    return static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(_mm_max_epu8(bytes, top), top)));
}
unsigned KeptLanes(__m128i bytes) { return BlankLanes(bytes) ^ 0xFFFFu; }  // one bit per byte kept
bool AllBlank64(const char* at) {
    return BlankLanes(_mm_max_epu8(_mm_max_epu8(Load(at), Load(at + 16)), _mm_max_epu8(Load(at + 32), Load(at + 48)))) ==
           0xFFFF;
}
unsigned HighestLane(unsigned lanes) { return 31 ^ static_cast<unsigned>(__builtin_clz(lanes)); }

// The length of text[0, length) without its trailing blanks, where its last 16 bytes (or
// all of a shorter text) are blank. Every load lies within the text.
[[gnu::noinline]] std::size_t KeptLength(const char* text, std::size_t length) {
    if (length < 16) {
        while (length > 0 && IsBlank(text[length - 1])) --length;
        return length;
    }
    std::size_t end = length - 16;
    while (end >= 64 && AllBlank64(text + end - 64)) end -= 64;
    for (; end >= 16; end -= 16)
        if (const unsigned kept = KeptLanes(Load(text + end - 16))) return end - 15 + HighestLane(kept);
    const unsigned kept = KeptLanes(Load(text)) & ((1u << end) - 1);  // the first `end` bytes
    return kept != 0 ? HighestLane(kept) + 1 : 0;
}

// Cuts the blanks `sides` names from text[0, length). A text that neither starts nor ends
// with a blank costs a byte test on each side, a short run of blanks one 16-byte test;
// loads lie within the text.
[[gnu::always_inline]] inline void CutBlanks(const char*& text, std::size_t& length, std::int32_t sides) {
    if ((sides & kTrimTrailing) && length > 0 && IsBlank(text[length - 1])) [[unlikely]] {
        const unsigned kept = length >= 16 ? KeptLanes(Load(text + length - 16)) : 0;
        length = kept != 0 ? length - 15 + HighestLane(kept) : KeptLength(text, length);
    }
    if ((sides & kTrimLeading) && length > 0 && IsBlank(*text)) [[unlikely]] {
        std::size_t at = 1;
        if (length >= 17) {
            for (; length - at >= 16; at += 16)
                if (KeptLanes(Load(text + at)) != 0) break;
            if (length - at < 16) at = length - 16;  // the last 16, some perhaps tested before
            at += __builtin_ctz(KeptLanes(Load(text + at)) | 0x10000);
        } else {
            while (at < length && IsBlank(text[at])) ++at;
        }
        text += at;
        length -= at;
    }
}

// The first byte of a zero-terminated text that is not blank, or its terminator. A lane
// stops the search when its byte less one (wrapping) is above 0x1F. Only aligned 16-byte
// blocks are read, each after the blocks before it held no terminator: the block holding
// a byte of the text or its terminator lies in that byte's page, and so do the four from
// a multiple of 64 that start with such a block. The loads cover bytes before the text and
// after its terminator: no address instrumentation.
[[gnu::no_sanitize_address]] inline __m128i LessOne(const char* block) {
    return _mm_sub_epi8(_mm_load_si128(reinterpret_cast<const __m128i*>(block)), _mm_set1_epi8(1));
}
unsigned StopLanes(__m128i lessOne) {
    const __m128i top = _mm_set1_epi8(0x1F);
    return static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(_mm_max_epu8(lessOne, top), top))) ^ 0xFFFFu;
}
[[gnu::noinline]] const char* SkipBlanks(const char* text) {
    const auto address = reinterpret_cast<std::uintptr_t>(text);
    const char* block = reinterpret_cast<const char*>(address & ~std::uintptr_t{15});
    if (const unsigned lanes = StopLanes(LessOne(block)) >> (address & 15)) return text + __builtin_ctz(lanes);
    for (block += 16; (reinterpret_cast<std::uintptr_t>(block) & 63) != 0; block += 16)
        if (const unsigned lanes = StopLanes(LessOne(block))) return block + __builtin_ctz(lanes);
    for (;; block += 64) {
        const __m128i most = _mm_max_epu8(_mm_max_epu8(LessOne(block), LessOne(block + 16)),
                                          _mm_max_epu8(LessOne(block + 32), LessOne(block + 48)));
        if (StopLanes(most) == 0) continue;
        for (;; block += 16)
            if (const unsigned lanes = StopLanes(LessOne(block))) return block + __builtin_ctz(lanes);
    }
}

// Copies `size` bytes (16 or more) from `from` to `out`, which lies at or below it or clear
// of it: 16 bytes at a time forward, the last 16 loaded first, so that stores never reach
// bytes still to be loaded.
void CopyForward(char* out, const char* from, std::size_t size) {
    const __m128i last = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + size - 16));
    for (std::size_t at = 0; at + 16 < size; at += 16)
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + at), _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + at)));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + size - 16), last);
}

// A text by its address: measured inline, trimmed, copied to the ring position (moved first
// where live temporaries lie ahead) and recorded there.
RecordedTemp TrimAddressed(const char* text, std::int32_t sides) {
    if ((sides & kTrimLeading) && IsBlank(*text)) [[unlikely]]
        text = SkipBlanks(text);  // before measuring: one pass
    std::size_t length = TextLength(text);
    CutBlanks(text, length, sides & kTrimTrailing);
    char* out = detail::ringPosition;
    if (length + 1 <= static_cast<std::size_t>(detail::ringClearUntil - out))
        lifetime::HandOut(out, length + 1);
    else
        out = RingRoomKeeping(length + 1, text);  // where old temporaries are given up, not the source's
    if (length >= static_cast<std::size_t>(ScratchRing + kRingUsableEnd - out)) FatalError(kErrorInsufficientBuffer);
    if (length >= 16 && (out <= text || text + length <= out))
        CopyForward(out, text, length);
    else
        std::memmove(out, text, length);
    out[length] = '\0';
    if (TempSlotTable.current == 0) RuntimeStart();
    return {out, RecordTempAt(out, out + length)};
}

}  // namespace

RecordedTemp TrimText(const char* text, std::int32_t sides) {
    if (reinterpret_cast<std::uintptr_t>(text) >= kLowestAddress) [[likely]]
        return TrimAddressed(text, sides);
    const char* limit = ScratchRing + kRingUsableEnd;  // the last byte the result may take
    std::size_t length;
    const bool inPlace = text == nullptr;
    char* out = inPlace ? RingWindow(0) : nullptr;
    if (inPlace) {
        // In place: a text without a terminator before the usable end cannot fit either.
        RingWindow(static_cast<std::size_t>(limit - out));
        const void* zero = std::memchr(out, '\0', static_cast<std::size_t>(limit - out));
        if (zero == nullptr) FatalError(kErrorInsufficientBuffer);
        text = out;
        length = static_cast<std::size_t>(static_cast<const char*>(zero) - out);
    } else if (reinterpret_cast<std::uintptr_t>(text) >= kLowestAddress) {
        length = std::strlen(text);
    } else {
        // A token: a temporary (a view is trimmed by its length) or a constant; any other
        // value below 64 KiB is the empty text.
        const TextRef source = ResolveTextSource(text);
        text = source.text;
        length = static_cast<std::size_t>(source.length);
    }
    CutBlanks(text, length, sides);
    // Elsewhere the room is taken clear of live temporaries, the source among them.
    if (!inPlace) out = RingRoomKeeping(length + 1, text);  // never giving up the source's temporary
    if (length >= static_cast<std::size_t>(limit - out)) FatalError(kErrorInsufficientBuffer);
    std::memmove(out, text, length);  // the source may be the ring position or lie above it
    out[length] = '\0';
    return RecordTemp(out + length);
}

}  // namespace tarnfold

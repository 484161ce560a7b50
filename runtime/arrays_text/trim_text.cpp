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
    std::size_t length = TextLength(text);
    if (sides & kTrimTrailing)
        while (length > 0 && IsBlank(text[length - 1])) --length;
    if (sides & kTrimLeading)
        while (length > 0 && IsBlank(*text)) {
            ++text;
            --length;
        }
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
    if (sides & kTrimTrailing)
        while (length > 0 && IsBlank(text[length - 1])) --length;
    if (sides & kTrimLeading)
        while (length > 0 && IsBlank(*text)) {
            ++text;
            --length;
        }
    // Elsewhere the room is taken clear of live temporaries, the source among them.
    if (!inPlace) out = RingRoomKeeping(length + 1, text);  // never giving up the source's temporary
    if (length >= static_cast<std::size_t>(limit - out)) FatalError(kErrorInsufficientBuffer);
    std::memmove(out, text, length);  // the source may be the ring position or lie above it
    out[length] = '\0';
    return RecordTemp(out + length);
}

}  // namespace tarnfold

// SubText: a left, middle or right part of a text as a view, never a copy.
#include "text_functions.h"

#include <emmintrin.h>

#include <cstring>

#include "../core/temp_slots.h"
#include "../core/text_length.h"
#include "../errors_console/fatal_error.h"

namespace tarnfold {
namespace {

struct Source {
    const char* text;
    std::int32_t length;
};

std::int32_t Magnitude(std::int32_t length) { return length < 0 ? -length : length; }

// The text of a slot that names one; a deferred record has no text to view.
Source SlotSource(const TempSlot& slot) {
    if (slot.isRecord != 0) FatalError(kErrorInsufficientBuffer);
    if (slot.text == nullptr) return {EmptyString, 0};  // a slot never filled
    return {slot.text, Magnitude(slot.length)};
}

Source ResolveSource(const char* source) {
    auto token = static_cast<Word>(reinterpret_cast<std::uintptr_t>(source));
    if (token == kLastTemp) return SlotSource(*SelectTempSlot(0));
    if (token >= kLowestAddress) return {source, static_cast<std::int32_t>(std::strlen(source))};
    if (token >= SlotToken(1) && token <= SlotToken(kTempSlotCount)) {
        SelectTempSlot(0);  // starts the runtime
        return SlotSource(TempSlotTable.slot[token - 10]);
    }
    TextRef ref = ResolveToken(token);
    if (ref.text == nullptr) return {EmptyString, 0};  // not a valid source
    return {ref.text, ref.length};
}

// Aligned 16-byte blocks, read where bytes outside the text may share them: no address
// instrumentation.
[[gnu::no_sanitize_address]] inline __m128i LoadBlock(const char* block) {
    return _mm_load_si128(reinterpret_cast<const __m128i*>(block));
}
[[gnu::no_sanitize_address]] inline __m128i LoadFirst(const char* text) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(text));
}
unsigned Zeros(__m128i bytes) {
    return static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, _mm_setzero_si128())));
}

// The length of `text` where it is under `limit` bytes; otherwise a count from `limit` up
// to the length. A part from a positive start with a positive length needs no more: the
// bytes beyond it decide nothing. The first 16 bytes are read with one unaligned load where
// they lie in the text's first page; after them, or else, aligned blocks are read, each
// only while no terminator has been seen, one up to a multiple of 32 bytes and then pairs:
// no load leaves the pages of the text's bytes and terminator. The checked build reads the
// first and last bytes counted through the sanitizer.
inline std::uint32_t ScanLengthWithin(const char* text, std::uint32_t limit) {
    constexpr std::uintptr_t kPage = 4096;
    const auto address = reinterpret_cast<std::uintptr_t>(text);
    auto counted = [text](const char* end) { return static_cast<std::uint32_t>(end - text); };
    const char* block;
    unsigned zeros;
    if ((address & (kPage - 1)) <= kPage - 16) {
        if ((zeros = Zeros(LoadFirst(text))) != 0) return static_cast<std::uint32_t>(__builtin_ctz(zeros));
        block = reinterpret_cast<const char*>((address + 16) & ~std::uintptr_t{15});
    } else {
        block = reinterpret_cast<const char*>(address & ~std::uintptr_t{15});
        if ((zeros = Zeros(LoadBlock(block)) >> (address & 15)) != 0) return static_cast<std::uint32_t>(__builtin_ctz(zeros));
        block += 16;
    }
    if (counted(block) >= limit) return counted(block);
    if ((reinterpret_cast<std::uintptr_t>(block) & 16) != 0) {
        if ((zeros = Zeros(LoadBlock(block))) != 0) return counted(block + __builtin_ctz(zeros));
        block += 16;
    }
    for (; counted(block) < limit; block += 32) {
        const __m128i first = LoadBlock(block);
        if (Zeros(_mm_min_epu8(first, LoadBlock(block + 16))) == 0) continue;
        if ((zeros = Zeros(first)) != 0) return counted(block + __builtin_ctz(zeros));
        return counted(block + 16 + __builtin_ctz(Zeros(LoadBlock(block + 16))));
    }
    return counted(block);
}

// The part's offset from the source's start and its length, by the rules of the contract.
[[gnu::always_inline]] inline Source Part(Source s, std::int32_t n, std::int32_t start) {
    if (n == 0 || start == 0) return {s.text, 0};
    if (start < 0) {
        if (n > s.length || n < 0) return s;
        return {s.text + (s.length - n), n};
    }
    if (start > s.length) return {s.text, 0};
    std::int32_t rest = s.length - start + 1;
    return {s.text + (start - 1), n > 0 && n <= rest ? n : rest};
}

}  // namespace

TempSlot* SubText(const char* source, std::int32_t length, std::int32_t start) {
    if (reinterpret_cast<std::uintptr_t>(source) >= kLowestAddress) [[likely]] {
        // A text by its address, measured inline (for a part from a positive start with a
        // positive length, only as far as the part's last byte): the current slot when the
        // view starts where its text starts, else the next.
        std::uint32_t measured;
        if (length > 0 && start > 0) {
            measured = ScanLengthWithin(source, static_cast<std::uint32_t>(start - 1) + static_cast<std::uint32_t>(length));
            CheckTextBytes(source, measured);
        } else {
            measured = TextLength(source);
        }
        const Source view = Part({source, static_cast<std::int32_t>(measured)}, length, start);
        if (TempSlotTable.current == 0) RuntimeStart();
        TempSlot* slot = &TempSlotTable.slot[TempSlotTable.current];
        if (slot->text != view.text) {
            slot = NextTempSlot();
            slot->destination = nullptr;  // a fresh slot names no element
        }
        slot->text = view.text;
        slot->length = view.length;
        slot->isRecord = 0;
        return slot;
    }
    bool narrowing = reinterpret_cast<std::uintptr_t>(source) == kLastTemp;
    Source view = Part(ResolveSource(source), length, start);
    TempSlot* current = SelectTempSlot(0);
    TempSlot* slot = narrowing ? current : SelectTempSlot(reinterpret_cast<std::intptr_t>(view.text));
    if (slot != current) slot->destination = nullptr;  // a fresh slot names no element
    slot->text = view.text;
    slot->length = view.length;
    slot->isRecord = 0;
    return slot;
}

}  // namespace tarnfold

// SubText: a left, middle or right part of a text as a view, never a copy.
#include "text_functions.h"

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
        // A text by its address, measured inline: the current slot when the view starts
        // where its text starts, else the next.
        const Source view = Part({source, static_cast<std::int32_t>(TextLength(source))}, length, start);
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

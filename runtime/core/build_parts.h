// The string builder's per-call cache: each part's text and byte length, measured once.
//
// Everything a part needs is taken by value in the length pass, so that taking the room
// (which may record a temporary over a slot that a part named) cannot change a part.
#pragma once

#include <cstdint>

#include "builder.h"
#include "deferred_record.h"
#include "storage.h"

namespace tarnfold {

struct BuildParts {
    const char* text[kMaxBuildParts];
    std::uint32_t length[kMaxBuildParts];
    std::uint32_t recordMask = 0;  // bit i: part i is a deferred record, expanded not copied
    std::uint64_t total = 0;       // 31 parts of up to 4 GiB each cannot overflow it
    int count = 0;
    int temporaries = 0;  // k: the number of kLastTemp parts
    // Whether a part came from a slot (a temporary, a record): only those may hold zero
    // bytes; texts by pointer and predefined texts end at their first.
    bool fromSlots = false;

    void Set(int i, const char* partText, std::uint32_t partLength) {
        text[i] = partText;
        length[i] = partLength;
        total += partLength;
    }

    // A temporary's text, absolute length and record kind, copied out of its slot. A
    // record's length is the bytes it expands to, which is what the destination receives.
    void SetSlot(int i, const TempSlot& slot) {
        fromSlots = true;
        if (slot.isRecord != 0 && slot.text != nullptr) {  // by its producer: a 1-byte file is one
            Set(i, slot.text, RecordTextLength(slot));
            recordMask |= 1u << i;
            return;
        }
        std::uint32_t size = slot.length < 0 ? 0u - static_cast<std::uint32_t>(slot.length)
                                             : static_cast<std::uint32_t>(slot.length);
        Set(i, slot.text != nullptr ? slot.text : EmptyString, size);  // a slot never filled
    }

    bool IsRecord(int i) const { return (recordMask & (1u << i)) != 0; }

    // Whether copying any part reads a byte of [from, to). One compare pair per text part;
    // an empty part inside the range counts too, which only costs its caller other room.
    bool ReadsFrom(const char* from, const char* to) const {
        if (recordMask == 0) {
            for (int i = 0; i < count; ++i)
                if (text[i] < to && from < text[i] + length[i]) return true;
            return false;
        }
        for (int i = 0; i < count; ++i) {
            if (IsRecord(i)) {
                if (RecordReadsFrom(text[i], from, to)) return true;
            } else if (text[i] < to && from < text[i] + length[i]) {
                return true;
            }
        }
        return false;
    }
};

}  // namespace tarnfold

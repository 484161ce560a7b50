// KeepTemp: copies of the most recent temporary that outlive it, seven at a time.
#include <emmintrin.h>

#include <cstdint>
#include <cstring>

#include "../core/deferred_record.h"
#include "text_functions.h"

namespace tarnfold {
namespace {

// KeptCopies: entries 1..7 (entry 0 unused) and the entry filled last, 0 standing for 7.
alignas(16) const char* keptCopies[kKeptCopies + 1];
int lastFilled = 0;

// Whether an entry holds `block`: the eight entries compared at once.
bool HoldsCopy(const char* block) {
    static_assert(sizeof keptCopies == 2 * sizeof(__m128i), "two blocks of four addresses");
    const __m128i wanted = _mm_set1_epi32(static_cast<int>(reinterpret_cast<std::uintptr_t>(block)));
    const auto* entries = reinterpret_cast<const __m128i*>(keptCopies);
    const __m128i same = _mm_or_si128(_mm_cmpeq_epi32(_mm_load_si128(entries), wanted),
                                      _mm_cmpeq_epi32(_mm_load_si128(entries + 1), wanted));
    return _mm_movemask_epi8(same) != 0;
}

}  // namespace

char* KeepTemp() {
    const TempSlot& slot = *SelectTempSlot(0);
    std::size_t size = slot.isRecord != 0 ? RecordTextLength(slot)
                       : static_cast<std::size_t>(slot.length < 0 ? -static_cast<std::int64_t>(slot.length)
                                                                  : slot.length);
    char* block = static_cast<char*>(AllocBlock(size + 1, false));
    RegisterHeapString(block, true);
    // A copy released early may have handed its address on to the new block: forget it
    // wherever it stands, so that its turn never frees the new copy.
    if (HoldsCopy(block))
        for (const char*& kept : keptCopies)
            if (kept == block) kept = nullptr;
    char* end = block + size;
    if (slot.isRecord != 0)
        end = ExpandRecord(slot, block);  // the text the record stands for, as an assignment gets
    else if (size > 0)
        std::memcpy(block, slot.text, size);
    *end = '\0';
    // Only now the copy of seven calls ago goes: the temporary may be a view into it. It is
    // freed only while it is still this copy: released early, its address may be a
    // variable's string by now.
    int entry = lastFilled + 1;
    ReleaseKeptCopy(keptCopies[entry]);
    keptCopies[entry] = block;
    lastFilled = entry == kKeptCopies ? 0 : entry;
    return block;
}

}  // namespace tarnfold

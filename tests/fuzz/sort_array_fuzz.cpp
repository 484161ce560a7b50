// SortArray of arrays with owned, cleared and never-assigned elements: the sorted records
// are the same (text, length) records, in the order of a case-folding comparison written
// here ('A'-'Z' as 'a'-'z', then unsigned bytes, a prefix first), ascending or descending;
// records past the sort count stay where they were.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "tarnfold.h"

namespace {

using namespace tarnfold;

int Folded(unsigned char c) { return c >= 'A' && c <= 'Z' ? c + 0x20 : c; }

int Compare(const char* a, const char* b) {
    std::string x = a != nullptr ? a : "", y = b != nullptr ? b : "";
    for (std::size_t i = 0;; ++i) {
        int cx = i < x.size() ? Folded(x[i]) : 0, cy = i < y.size() ? Folded(y[i]) : 0;
        if (cx != cy || cx == 0) return cx - cy;
    }
}

constexpr char kAlphabet[] = "aAbBzZ_[`{\x80\xe9\xc9@";

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    const std::int32_t number = in.ConsumeIntegralInRange(0, kArrayCount - 1);
    const std::int32_t last = in.ConsumeIntegralInRange(0, 80);
    CreateArray(number, last);
    for (std::int32_t i = 0; i <= last && in.remaining_bytes() > 0; ++i) {
        const int kind = in.ConsumeIntegralInRange(0, 5);
        if (kind == 0) continue;  // never assigned: a null text
        std::string text = in.ConsumeRandomLengthString(6);
        for (char& c : text) c = kAlphabet[static_cast<unsigned char>(c) % (sizeof kAlphabet - 1)];
        AccessElement(number, i, __LINE__);
        if (kind == 1) InsertDeleteElements(kClearElement);  // the empty text, no block
        else AssignElement(text.c_str());
    }
    StringArray* array = ArrayTable[number];
    std::vector<std::pair<char*, std::int32_t>> before;
    for (std::int32_t i = 0; i < array->count; ++i) before.emplace_back(array->Element(i)->text, array->Element(i)->length);

    const bool descending = number != 0 && in.ConsumeBool();
    const std::int32_t count = in.ConsumeIntegralInRange(0, last + 3);
    SortArray(descending ? -number : number, count);
    const std::size_t sorted = count == 0 || count > array->count ? before.size() : static_cast<std::size_t>(count);

    std::vector<std::pair<char*, std::int32_t>> after;
    for (std::int32_t i = 0; i < array->count; ++i) after.emplace_back(array->Element(i)->text, array->Element(i)->length);
    bool fine = std::is_permutation(after.begin(), after.begin() + sorted, before.begin()) &&
                std::equal(after.begin() + sorted, after.end(), before.begin() + sorted);
    for (std::size_t i = 1; i < sorted; ++i) {
        const int order = Compare(after[i - 1].first, after[i].first);
        fine = fine && (descending ? order >= 0 : order <= 0);
    }
    if (!fine) {
        std::fprintf(stderr, "sort_array: array %d count %d descending %d: records out of order or changed\n", number,
                     count, descending);
        std::abort();
    }
    EraseArray(number);
    SortArray(number, count);  // an erased array: nothing happens
    return 0;
}

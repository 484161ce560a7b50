// CompareTextNoCase and the array sort built on it: qsort with a comparison that
// prefetches the texts it is about to need.
#include "sort_compare.h"

#include <cstdlib>

namespace tarnfold {

namespace {

// 'A'-'Z' to 'a'-'z', every other byte to itself. Arithmetic rather than a table (no
// load beside the two text loads) and without a branch: mixed case is unpredictable.
inline unsigned Fold(unsigned c) { return c + (static_cast<unsigned>(c - 'A' < 26u) << 5); }
static_assert('a' - 'A' == 1 << 5);

inline int CompareFolded(const unsigned char* x, const unsigned char* y) {
    for (;; ++x, ++y) {
        unsigned cx = *x;
        unsigned cy = *y;
        if (cx == cy) {
            // Equal bytes need no folding; a shared terminator ends equal texts.
            if (cx == 0) return 0;
            continue;
        }
        cx = Fold(cx);
        cy = Fold(cy);
        // The terminator folds to 0, the lowest value: a prefix sorts first.
        if (cx != cy) return static_cast<int>(cx) - static_cast<int>(cy);
    }
}

const unsigned char kEmptyText = 0;

inline int CompareTexts(const char* a, const char* b) {
    auto x = reinterpret_cast<const unsigned char*>(a);
    auto y = reinterpret_cast<const unsigned char*>(b);
    if (__builtin_expect(x == nullptr, 0)) x = &kEmptyText;
    if (__builtin_expect(y == nullptr, 0)) y = &kEmptyText;
    return CompareFolded(x, y);
}

// The records of the sort in progress. Most of a sort's time goes into fetching texts
// scattered over the heap. A merge advances one of its two runs per comparison, so each
// comparison asks the cache for the texts a few records further on in both runs. The
// bounds keep those record reads inside the records; a prefetch itself never faults,
// whatever the text pointer holds.
constexpr int kPrefetchDistance = 4;
const ElementRecord* sortFirst = nullptr;
const ElementRecord* sortEnd = nullptr;

// The prefetches count as free of side effects, so a helper holding only them would be
// dropped as pure: they stay in the comparison itself.
int CompareRecordsAscending(const void* a, const void* b) {
    auto x = static_cast<const ElementRecord*>(a);
    auto y = static_cast<const ElementRecord*>(b);
    if (x >= sortFirst && x + kPrefetchDistance < sortEnd)
        __builtin_prefetch(x[kPrefetchDistance].text);
    if (y >= sortFirst && y + kPrefetchDistance < sortEnd)
        __builtin_prefetch(y[kPrefetchDistance].text);
    return CompareTexts(x->text, y->text);
}

int CompareRecordsDescending(const void* a, const void* b) {
    return CompareRecordsAscending(b, a);
}

}  // namespace

int CompareTextNoCase(const char* a, const char* b) { return CompareTexts(a, b); }

void SortRecords(ElementRecord* records, std::size_t count, bool descending) {
    sortFirst = records;
    sortEnd = records + count;
    std::qsort(records, count, sizeof(ElementRecord),
               descending ? CompareRecordsDescending : CompareRecordsAscending);
}

}  // namespace tarnfold

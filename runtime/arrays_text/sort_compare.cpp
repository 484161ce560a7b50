// CompareTextNoCase and the array sort built on it: qsort of keyed records, whose first
// four folded bytes decide most comparisons without reading the texts.
#include "sort_compare.h"

#include <array>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "../platform/win32.h"

namespace tarnfold {

namespace {

// 'A'-'Z' to 'a'-'z', every other byte to itself. Only the terminator folds to 0.
using FoldTable = std::array<unsigned char, 256>;
constexpr FoldTable MakeFoldTable() {
    FoldTable table{};
    for (unsigned c = 0; c < 256; ++c) table[c] = static_cast<unsigned char>(c - 'A' < 26u ? c + ('a' - 'A') : c);
    return table;
}
alignas(64) constexpr FoldTable kFold = MakeFoldTable();
static_assert(kFold['A'] == 'a' && kFold['Z'] == 'z' && kFold['['] == '[' && kFold[0xC0] == 0xC0);

// The folded texts from x and y on, unsigned byte by byte; the terminator folds to the
// lowest value, so a prefix sorts first.
inline int CompareFolded(const unsigned char* x, const unsigned char* y) {
    for (;; ++x, ++y) {
        const unsigned cx = kFold[*x];
        const unsigned cy = kFold[*y];
        if (cx != cy) return static_cast<int>(cx) - static_cast<int>(cy);
        if (cx == 0) return 0;
    }
}

const unsigned char kEmptyText = 0;

inline const unsigned char* TextOf(const char* text) {
    return text != nullptr ? reinterpret_cast<const unsigned char*>(text) : &kEmptyText;
}

// A record of the sort: the first four folded bytes of an element's text, first byte
// highest, with zeros from the terminator on, so that one unsigned compare orders two
// texts by those bytes; and the element record that it stands for.
struct SortKey {
    std::uint32_t prefix;
    const ElementRecord* element;
};
static_assert(sizeof(SortKey) == sizeof(ElementRecord), "the keys are gathered into records in place");

constexpr int kPrefixBytes = 4;

std::uint32_t PrefixOf(const char* text) {
    const unsigned char* at = TextOf(text);
    std::uint32_t prefix = 0;
    for (int i = 0; i < kPrefixBytes; ++i) {
        const unsigned c = *at;
        prefix = prefix << 8 | kFold[c];
        at += c != 0;  // stays on the terminator: the rest of the prefix is zeros
    }
    return prefix;
}

// Equal prefixes whose last byte is 0 hold both texts whole. Otherwise both texts have
// at least four bytes before their terminators, and the comparison goes on after them.
inline int CompareKeys(const void* a, const void* b) {
    auto x = static_cast<const SortKey*>(a);
    auto y = static_cast<const SortKey*>(b);
    if (x->prefix != y->prefix) return x->prefix < y->prefix ? -1 : 1;
    if ((x->prefix & 0xFF) == 0) return 0;
    return CompareFolded(reinterpret_cast<const unsigned char*>(x->element->text) + kPrefixBytes,
                         reinterpret_cast<const unsigned char*>(y->element->text) + kPrefixBytes);
}

int CompareKeysAscending(const void* a, const void* b) { return CompareKeys(a, b); }
int CompareKeysDescending(const void* a, const void* b) { return CompareKeys(b, a); }

// Element records compared directly: the sort when there is no room for the keys.
int CompareRecordsAscending(const void* a, const void* b) {
    return CompareFolded(TextOf(static_cast<const ElementRecord*>(a)->text),
                         TextOf(static_cast<const ElementRecord*>(b)->text));
}
int CompareRecordsDescending(const void* a, const void* b) { return CompareRecordsAscending(b, a); }

}  // namespace

int CompareTextNoCase(const char* a, const char* b) { return CompareFolded(TextOf(a), TextOf(b)); }

void SortRecords(ElementRecord* records, std::size_t count, bool descending) {
    HANDLE heap = GetProcessHeap();
    auto* keys = heap != nullptr ? static_cast<SortKey*>(HeapAlloc(heap, 0, count * sizeof(SortKey))) : nullptr;
    if (keys == nullptr) {
        std::qsort(records, count, sizeof(ElementRecord),
                   descending ? CompareRecordsDescending : CompareRecordsAscending);
        return;
    }
    for (std::size_t i = 0; i < count; ++i) keys[i] = {PrefixOf(records[i].text), &records[i]};
    std::qsort(keys, count, sizeof(SortKey), descending ? CompareKeysDescending : CompareKeysAscending);
    // Each key becomes the record it names, in place: the records themselves are only
    // written once all of them have been gathered.
    for (std::size_t i = 0; i < count; ++i) {
        const ElementRecord record = *keys[i].element;
        std::memcpy(&keys[i], &record, sizeof record);
    }
    std::memcpy(records, keys, count * sizeof(ElementRecord));
    HeapFree(heap, 0, keys);
}

}  // namespace tarnfold

// CompareTextNoCase: the string arrays' sort comparison, the same on both targets.
#include "sort_compare.h"

#include <array>

namespace tarnfold {

namespace {

// Every byte to itself, except 'A'-'Z' to 'a'-'z'.
constexpr std::array<unsigned char, 256> MakeFoldTable() {
    std::array<unsigned char, 256> table{};
    for (int c = 0; c < 256; ++c)
        table[c] = static_cast<unsigned char>(c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c);
    return table;
}

constexpr std::array<unsigned char, 256> kFold = MakeFoldTable();

static_assert(kFold['A'] == 'a' && kFold['Z'] == 'z' && kFold['_'] == '_' && kFold[0xC0] == 0xC0);

}  // namespace

int CompareTextNoCase(const char* a, const char* b) {
    auto x = reinterpret_cast<const unsigned char*>(a != nullptr ? a : "");
    auto y = reinterpret_cast<const unsigned char*>(b != nullptr ? b : "");
    for (;; ++x, ++y) {
        unsigned cx = *x;
        unsigned cy = *y;
        if (cx == cy) {
            // Equal bytes need no folding; a shared terminator ends equal texts.
            if (cx == 0) return 0;
            continue;
        }
        cx = kFold[cx];
        cy = kFold[cy];
        // The terminator folds to 0, the lowest value: a prefix sorts first.
        if (cx != cy) return static_cast<int>(cx) - static_cast<int>(cy);
    }
}

}  // namespace tarnfold

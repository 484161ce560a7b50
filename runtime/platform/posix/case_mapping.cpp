// CharUpperBuffA and CharLowerBuffA: Windows-1252 case mapping through two 256-byte tables.
#include "../win32.h"

#include <array>

namespace {

using CaseTable = std::array<unsigned char, 256>;

// The upper-case partner of each lower-case letter of the code page; 0 for every other byte.
constexpr unsigned char CapitalOf(unsigned byte) {
    if (byte >= 'a' && byte <= 'z') return static_cast<unsigned char>(byte - 0x20);
    if (byte >= 0xE0 && byte <= 0xFE && byte != 0xF7) return static_cast<unsigned char>(byte - 0x20);
    switch (byte) {
        case 0x9A: return 0x8A;  // s caron
        case 0x9C: return 0x8C;  // oe
        case 0x9E: return 0x8E;  // z caron
        case 0xFF: return 0x9F;  // y diaeresis
        default: return 0;
    }
}

constexpr CaseTable MakeUpper() {
    CaseTable table{};
    for (unsigned b = 0; b < 256; ++b) table[b] = CapitalOf(b) != 0 ? CapitalOf(b) : static_cast<unsigned char>(b);
    return table;
}

constexpr CaseTable MakeLower() {
    CaseTable table{};
    for (unsigned b = 0; b < 256; ++b) table[b] = static_cast<unsigned char>(b);
    for (unsigned b = 0; b < 256; ++b)
        if (CapitalOf(b) != 0) table[CapitalOf(b)] = static_cast<unsigned char>(b);
    return table;
}

constexpr CaseTable kUpper = MakeUpper();
constexpr CaseTable kLower = MakeLower();
static_assert(kUpper[0xB5] == 0xB5 && kUpper[0xDF] == 0xDF && kLower[0xD7] == 0xD7);

DWORD MapInPlace(LPSTR text, DWORD length, const CaseTable& table) {
    if (text == nullptr) return 0;
    auto* bytes = reinterpret_cast<unsigned char*>(text);
    for (DWORD i = 0; i < length; ++i) bytes[i] = table[bytes[i]];
    return length;
}

}  // namespace

DWORD CharUpperBuffA(LPSTR text, DWORD length) { return MapInPlace(text, length, kUpper); }
DWORD CharLowerBuffA(LPSTR text, DWORD length) { return MapInPlace(text, length, kLower); }

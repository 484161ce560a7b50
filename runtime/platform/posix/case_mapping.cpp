// CharUpperBuffA and CharLowerBuffA: Windows-1252 case mapping, 32 bytes at a time with
// SSE2 where they are all ASCII, through two 256-byte tables elsewhere.
#include "../win32.h"

#include <emmintrin.h>

#include <array>
#include <cstddef>

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

// Bytes through the table, one by one. Out of line: the rare path of the SSE2 steps.
__attribute__((noinline)) void MapBytes(unsigned char* bytes, std::size_t count, const CaseTable& table) {
    for (std::size_t i = 0; i < count; ++i) bytes[i] = table[bytes[i]];
}

// The ASCII letters from `first` (a letter's 26) switch case: adding 0x80 - first puts them
// at the signed bytes -128 to -103, below every other byte under 0x80, so one signed
// compare finds them; their bit 0x20 flips. Bytes of 0x80 and up take the table.
template <char kFirst>
__m128i SwitchedLetters(__m128i bytes) {
    const __m128i shifted = _mm_add_epi8(bytes, _mm_set1_epi8(static_cast<char>(0x80 - kFirst)));
    const __m128i letters = _mm_cmplt_epi8(shifted, _mm_set1_epi8(static_cast<char>(0x80 + 26)));
    return _mm_xor_si128(bytes, _mm_and_si128(letters, _mm_set1_epi8(0x20)));
}

__m128i Load(const unsigned char* at) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(at)); }
void Store(unsigned char* at, __m128i bytes) { _mm_storeu_si128(reinterpret_cast<__m128i*>(at), bytes); }
bool AllAscii(__m128i bytes) { return _mm_movemask_epi8(bytes) == 0; }

// 16 bytes in place: the ASCII switch when all are ASCII, else the table.
template <char kFirst>
void Map16(unsigned char* at, const CaseTable& table) {
    __m128i bytes = Load(at);
    if (AllAscii(bytes))
        Store(at, SwitchedLetters<kFirst>(bytes));
    else
        MapBytes(at, 16, table);
}

// The bytes from `bytes` to `last` + 16, more than 48 of them, 32 bytes a step and then the
// 16 bytes that end them. Out of line, so that short texts pay for none of its registers.
template <char kFirst>
__attribute__((noinline)) void MapLong(unsigned char* bytes, unsigned char* last, const CaseTable& table) {
    unsigned char* at = bytes;
    for (; at + 16 < last; at += 32) {
        __m128i low = Load(at), high = Load(at + 16);
        if (AllAscii(_mm_or_si128(low, high))) {
            Store(at, SwitchedLetters<kFirst>(low));
            Store(at + 16, SwitchedLetters<kFirst>(high));
        } else {
            Map16<kFirst>(at, table);
            Map16<kFirst>(at + 16, table);
        }
    }
    if (at < last) Map16<kFirst>(at, table);
    Map16<kFirst>(last, table);
}

// Maps `length` bytes in place and touches no byte outside them. A text of 16 bytes or
// more is taken 16 bytes at a time, ending with the 16 bytes that end it: some bytes may be
// mapped twice, or loaded twice before either store, which both mappings allow, as they
// are idempotent. Up to 48 bytes: three loads (the second moves back when the text is
// shorter), one test and no loop; longer texts 32 bytes a step.
template <char kFirst>
DWORD MapInPlace(LPSTR text, DWORD length, const CaseTable& table) {
    if (text == nullptr) return 0;
    auto* bytes = reinterpret_cast<unsigned char*>(text);
    if (length < 16) {
        MapBytes(bytes, length, table);
        return length;
    }
    unsigned char* const last = bytes + length - 16;
    if (length <= 48) {
        unsigned char* const second = length > 32 ? bytes + 16 : last;
        const __m128i a = Load(bytes), b = Load(second), c = Load(last);
        if (!AllAscii(_mm_or_si128(_mm_or_si128(a, b), c))) {
            MapBytes(bytes, length, table);
            return length;
        }
        Store(bytes, SwitchedLetters<kFirst>(a));
        Store(second, SwitchedLetters<kFirst>(b));
        Store(last, SwitchedLetters<kFirst>(c));
        return length;
    }
    MapLong<kFirst>(bytes, last, table);
    return length;
}

}  // namespace

DWORD CharUpperBuffA(LPSTR text, DWORD length) { return MapInPlace<'a'>(text, length, kUpper); }
DWORD CharLowerBuffA(LPSTR text, DWORD length) { return MapInPlace<'A'>(text, length, kLower); }

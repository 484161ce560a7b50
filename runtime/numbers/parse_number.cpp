// ParseNumber: decimal with point and exponent, hexadecimal ('$', "0x", 'h'), binary ('b', 'y').
#include "parse_number.h"

#include <emmintrin.h>

#include <cstring>

#include "power_table.h"
#include "value_stack.h"
#include "x87.h"

namespace tarnfold {

namespace {

using Byte = unsigned char;

// Decimal scales applied; beyond them the digits' value stands unscaled.
constexpr int kLowestScale = -143;
constexpr int kHighestScale = 141;
constexpr int kHexDigitLimit = 17;
constexpr int kSuffixSearchWidth = 16;  // characters searched for an 'h' after the start
constexpr int kParenSearchWidth = 32;   // characters searched for ')' after the '('
constexpr int kExactDigits32 = 9;       // digits that always fit 32 bits
constexpr int kExactDigits64 = 19;      // digits that always fit 64 bits

bool IsDigit(Byte c) { return static_cast<Byte>(c - '0') < 10; }
bool IsHexDigit(Byte c) { return IsDigit(c) || static_cast<Byte>((c | 0x20) - 'a') < 6; }
bool IsBlank(Byte c) { return c <= 0x20; }

// The first 'h' among the 16 characters after `start`, when it comes before the terminator;
// null otherwise. One or two aligned 16-byte compares: an aligned block that holds a byte
// of the text lies in the text's page, and the second block is read only when the first
// held no terminator, so no load can fault. The loads may cover bytes outside the text
// object, hence no address instrumentation here.
__attribute__((no_sanitize_address)) const Byte* FindHexSuffix(const Byte* start) {
    if (*start == '\0') return nullptr;
    const Byte* from = start + 1;
    const auto address = reinterpret_cast<std::uintptr_t>(from);
    const auto* block = reinterpret_cast<const __m128i*>(address & ~std::uintptr_t{15});
    const unsigned offset = address & 15;
    const __m128i h = _mm_set1_epi8('h');
    const __m128i zero = _mm_setzero_si128();
    __m128i bytes = _mm_load_si128(block);
    unsigned mask = static_cast<unsigned>(_mm_movemask_epi8(
                        _mm_or_si128(_mm_cmpeq_epi8(bytes, h), _mm_cmpeq_epi8(bytes, zero)))) >>
                    offset;
    if (mask == 0 && offset != 0) {
        bytes = _mm_load_si128(block + 1);
        mask = static_cast<unsigned>(_mm_movemask_epi8(
                   _mm_or_si128(_mm_cmpeq_epi8(bytes, h), _mm_cmpeq_epi8(bytes, zero))))
               << (16 - offset);
    }
    mask &= (1u << kSuffixSearchWidth) - 1;
    if (mask == 0) return nullptr;
    const Byte* found = from + __builtin_ctz(mask);
    return *found == 'h' ? found : nullptr;
}

// FindHexSuffix(start) for a number that ends at a blank `end` after `start`: the bytes
// before `end` hold no 'h' and no zero, so the search goes on from the blank. Where the
// 16 bytes from it lie in its page (the text's), one unaligned load holds every byte the
// search may look at; otherwise the aligned search.
// The load may cover bytes past the text's terminator: no address instrumentation.
__attribute__((no_sanitize_address)) inline __m128i LoadWithinPage(const Byte* at) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
}
inline const Byte* HexSuffixAfter(const Byte* start, const Byte* end) {
    constexpr std::uintptr_t kPage = 4096;
    if ((reinterpret_cast<std::uintptr_t>(end) & (kPage - 1)) > kPage - 16) return FindHexSuffix(start);
    const __m128i bytes = LoadWithinPage(end);
    unsigned mask = static_cast<unsigned>(_mm_movemask_epi8(
        _mm_or_si128(_mm_cmpeq_epi8(bytes, _mm_set1_epi8('h')), _mm_cmpeq_epi8(bytes, _mm_setzero_si128()))));
    // Lanes from end + 1 through start + 16.
    mask &= (2u << (start + kSuffixSearchWidth - end)) - 2;
    if (mask == 0) return nullptr;
    const Byte* found = end + __builtin_ctz(mask);
    return *found == 'h' ? found : nullptr;
}

struct Parsed {
    long double value;
    std::int32_t count;
    bool negative;
};

class Parser {
public:
    explicit Parser(const Byte* text) : text_(text) {}

    Parsed Run();

private:
    Parsed Hexadecimal(const Byte* digits, bool prefixed);
    // `suffix` is the 'b' or 'y' that made the number binary; the count runs through it
    // even when a decimal digit or a point stopped the binary digits before it.
    Parsed Binary(const Byte* start, const Byte* suffix);
    Parsed Decimal(const Byte* start, bool zerosSkipped);
    std::int32_t Through(const Byte* p) const { return static_cast<std::int32_t>(p - text_ + 1); }
    // The '(' rules of hexadecimal and binary numbers: the count from the ')' and the sign
    // from the character after the '('.
    void ApplyParenthesis(Parsed& parsed, std::int32_t bias) const;

    const Byte* text_;
    const Byte* lead_ = nullptr;  // the lead character, or null when none was skipped
};

Parsed Parser::Run() {
    const Byte* p = text_;
    while (*p != '\0' && *p < '-') ++p;
    if (*p == '\0') return {0, 0, false};  // empty, or blanks and punctuation only
    if (p > text_) lead_ = p - 1;

    if (lead_ != nullptr && *lead_ == '$') {
        lead_ = lead_ > text_ ? lead_ - 1 : nullptr;
        return Hexadecimal(p, true);
    }
    const Byte* start = p;
    while (*start == '0') ++start;
    const bool zerosSkipped = start > p;
    if (*start == 'x') return Hexadecimal(start + 1, true);

    if ((lead_ != nullptr && *lead_ == '"' && !zerosSkipped) || *start == '{')
        return {x87::Indefinite(), kParseNotANumber, false};

    if (*start == 'h') return Hexadecimal(start, false);
    const Byte* suffix = FindHexSuffix(start);
    if (suffix != nullptr && IsHexDigit(suffix[-1])) return Hexadecimal(start, false);
    return Decimal(start, zerosSkipped);
}

Parsed Parser::Hexadecimal(const Byte* digits, bool prefixed) {
    const Byte* p = digits;
    const bool negative = *p == '-';
    if (negative) ++p;
    std::uint64_t accumulator = 0;
    int taken = 0;
    for (; taken < kHexDigitLimit && *p >= '0' && *p != 'h' && *p != 'H'; ++p, ++taken) {
        int c = *p | 0x20;
        int digit = c - 0x57;
        if (digit < 0) digit = c - 0x30;
        accumulator = (accumulator << 4) + static_cast<std::uint64_t>(digit);
    }
    if (taken == 0 && !(digits > text_ && digits[-1] == '0')) return {0, kParseNotANumber, false};
    Parsed parsed{static_cast<long double>(static_cast<std::int64_t>(accumulator)),
                  -(Through(p) - (prefixed ? 1 : 0)), negative};
    ApplyParenthesis(parsed, 0);
    return parsed;
}

Parsed Parser::Binary(const Byte* start, const Byte* suffix) {
    const Byte* p = start;
    const bool negative = *p == '-';
    if (negative) ++p;
    std::uint32_t accumulator = 0;
    for (; *p == '0' || *p == '1'; ++p) accumulator = (accumulator << 1) + (*p & 1u);
    Parsed parsed{static_cast<long double>(static_cast<std::int32_t>(accumulator)),
                  -(kParseBinaryBias + Through(suffix)), negative};
    ApplyParenthesis(parsed, kParseBinaryBias);
    return parsed;
}

void Parser::ApplyParenthesis(Parsed& parsed, std::int32_t bias) const {
    if (lead_ == nullptr || *lead_ != '(') return;
    parsed.negative = lead_[1] == '-';
    for (int offset = 1; offset <= kParenSearchWidth && lead_[offset] != '\0'; ++offset) {
        if (lead_[offset] == ')') {
            parsed.count = -(bias + offset + (parsed.negative ? 1 : 0));
            return;
        }
    }
}

Parsed Parser::Decimal(const Byte* start, bool zerosSkipped) {
    const Byte* p = start;
    const bool negative = *p == '-';
    if (negative) ++p;
    // The first digits in 32 bits, up to 19 in 64 bits (exact), the rest rounding down.
    std::uint32_t value32 = 0;
    std::uint64_t value64 = 0;
    long double valueExtended = 0;
    int digits = 0;
    const Byte* point = nullptr;
    for (;; ++p) {
        Byte c = *p;
        if (IsDigit(c)) {
            unsigned digit = c - '0';
            if (digits < kExactDigits32) {
                value32 = value32 * 10 + digit;
            } else if (digits < kExactDigits64) {
                if (digits == kExactDigits32) value64 = value32;
                value64 = value64 * 10 + digit;
            } else {
                if (digits == kExactDigits64) valueExtended = static_cast<long double>(value64);
                valueExtended = valueExtended * 10;
                valueExtended = valueExtended + static_cast<long double>(digit);
            }
            ++digits;
        } else if (c == '.') {
            point = p;
        } else {
            break;
        }
    }
    const Byte* end = p;
    const Byte c = *end;
    if ((c == 'h' || c == 'H') && end > text_ && IsDigit(end[-1])) return Hexadecimal(start, false);
    if (c == 'b' || c == 'B' || c == 'y' || c == 'Y') return Binary(start, end);

    long double value = digits <= kExactDigits32   ? static_cast<long double>(value32)
                        : digits <= kExactDigits64 ? static_cast<long double>(value64)
                                                   : valueExtended;
    // An exponent needs a digit after the 'e' and its optional sign; otherwise the number
    // ends at the 'e'. At most three exponent digits are read.
    int exponent = 0;
    const Byte* lastExponentDigit = nullptr;
    if ((c == 'e' || c == 'E') && end != start) {
        const Byte* e = end + 1;
        bool exponentNegative = *e == '-';
        if (*e == '+' || *e == '-') ++e;
        if (IsDigit(*e)) {
            exponent = *e - '0';
            for (int i = 1; i < 3 && IsDigit(e[1]); ++i) exponent = exponent * 10 + (*++e - '0');
            if (exponentNegative) exponent = -exponent;
            lastExponentDigit = e;
        }
    }
    const int fraction = point != nullptr ? static_cast<int>(end - point - 1) : 0;
    const int scale = exponent - fraction;
    if (scale != 0 && scale >= kLowestScale && scale <= kHighestScale) value = value * PowerOfTen(scale);

    const bool parenthesized = lead_ != nullptr && *lead_ == '(';
    std::int32_t count;
    if (lastExponentDigit != nullptr)
        count = Through(lastExponentDigit) + (parenthesized ? 1 : 0);
    else if (IsBlank(c))
        count = static_cast<std::int32_t>(end - text_);
    else if (parenthesized && c == ')')
        count = Through(end);
    else
        count = zerosSkipped ? static_cast<std::int32_t>(start - text_) : 0;
    return {value, count, negative};
}

[[gnu::always_inline]] inline void Store(void* destination, long double value) {
    if (destination == nullptr) {
        PushValue(value);
        return;
    }
    std::int32_t sizeCode;
    std::memcpy(&sizeCode, destination, sizeof sizeCode);
    switch (sizeCode) {
        case kSizeFloat32: {
            float stored = static_cast<float>(value);
            std::memcpy(destination, &stored, sizeof stored);
            break;
        }
        case kSizeFloat64: {
            double stored = static_cast<double>(value);
            std::memcpy(destination, &stored, sizeof stored);
            break;
        }
        case kSizeInt32: {
            std::int32_t stored = x87::StoreInt32(value);
            std::memcpy(destination, &stored, sizeof stored);
            break;
        }
        default:
            x87::StoreExtended(destination, value);
            break;
    }
}

// The common shape in one pass: no skipped lead character, optional '0's, an optional '-',
// at most nine digits with at most one '.' among them, an optional exponent ('e' or 'E',
// an optional sign, one to three digits), and then a blank or the terminator. Such a text
// has no 'h' among its own bytes, and when a blank ends it, the suffix search is made as
// Run makes it: a hexadecimal number goes the long way. Otherwise Run and Decimal give the
// same value and the count up to the blank. Any other text returns false, and Run reads
// it from the start. The value is digits x 10^scale.
struct QuickNumber {
    std::uint32_t digits;
    int scale;
    std::int32_t count;
    bool negative;
};

template <bool kCountFirst>
[[gnu::always_inline]] inline bool QuickDecimal(const Byte* text, QuickNumber& quick) {
    const Byte* start = text;
    while (*start == '0') ++start;
    const Byte* const digitsStart = start + (*start == '-' ? 1 : 0);
    const Byte* p = digitsStart;
    std::uint32_t value = 0;
    unsigned digit;
    while ((digit = static_cast<unsigned>(*p) - '0') < 10) {
        value = value * 10 + digit;
        ++p;
    }
    // More than nine digits, whose value may not fit 32 bits: the long way. Where the count
    // is checked decides only which values the compiler keeps in registers: the general
    // path checks it before reading an exponent, the int32 path after its blank test.
    int scale = 0;  // the exponent less the digits after the point
    if (!kCountFirst && IsBlank(*p)) {
        if (p - digitsStart > kExactDigits32) return false;
    } else {
        if (*p == '.') {
            const Byte* const point = p++;
            while ((digit = static_cast<unsigned>(*p) - '0') < 10) {
                value = value * 10 + digit;
                ++p;
            }
            scale = -static_cast<int>(p - point - 1);
            if (p - digitsStart > kExactDigits32 + 1) return false;
        } else if (p - digitsStart > kExactDigits32) {
            return false;
        }
        if (!IsBlank(*p)) {  // an exponent, or a text of another shape
            // An 'e' that starts the number is no exponent: the long way.
            if ((*p | 0x20) != 'e' || p == start) return false;
            const Byte* e = p + 1;
            const bool exponentNegative = *e == '-';
            if (*e == '+' || *e == '-') ++e;
            if ((digit = static_cast<unsigned>(*e) - '0') >= 10) return false;
            int exponent = static_cast<int>(digit);
            ++e;
            if ((digit = static_cast<unsigned>(*e) - '0') < 10) {
                exponent = exponent * 10 + static_cast<int>(digit);
                ++e;
                if ((digit = static_cast<unsigned>(*e) - '0') < 10) {
                    exponent = exponent * 10 + static_cast<int>(digit);
                    ++e;
                }
            }
            scale += exponentNegative ? -exponent : exponent;
            p = e;
            if (!IsBlank(*p)) return false;
        }
    }
    if (*p != '\0') {
        const Byte* suffix = p > start ? HexSuffixAfter(start, p) : FindHexSuffix(start);
        if (suffix != nullptr && IsHexDigit(suffix[-1])) return false;
    }
    quick = {value, scale, static_cast<std::int32_t>(p - text), digitsStart != start};
    return true;
}

// A whole number of at most nine digits needs no rounding for any destination but a
// float32 beyond 2^24: it is stored without the number mode. False where it must be rounded.
[[gnu::noinline]] bool StoreWhole(void* destination, const QuickNumber& quick) {
    const long double value = quick.negative ? -static_cast<long double>(quick.digits) : quick.digits;
    if (destination == nullptr) {
        PushValue(value);
        return true;
    }
    std::int32_t sizeCode;
    std::memcpy(&sizeCode, destination, sizeof sizeCode);
    constexpr std::uint32_t kExactFloat32 = 1u << 24;
    if (sizeCode == kSizeFloat32 && quick.digits > kExactFloat32) return false;
    Store(destination, value);
    return true;
}

// A number of the common shape that is not a whole number for an int32: a whole number
// needs no rounding for most destinations; a scaled one is scaled in the number mode.
[[gnu::always_inline]] inline std::int32_t StoreQuick(void* destination, std::uint32_t digits, int scale, std::int32_t count,
                                          bool negative) {
    const QuickNumber quick{digits, scale, count, negative};
    if (scale == 0 && StoreWhole(destination, quick)) return count;
    EnsurePowerTable();
    const x87::NumberModeScope mode;
    long double value = static_cast<std::int32_t>(digits);
    if (scale != 0 && scale >= kLowestScale && scale <= kHighestScale) value = value * PowerOfTen(scale);
    Store(destination, negative ? -value : value);
    return count;
}

// Every other text, in the number mode.
[[gnu::noinline]] std::int32_t ParseInNumberMode(const Byte* bytes, void* destination) {
    EnsurePowerTable();
    const x87::NumberModeScope mode;
    const Parsed parsed = Parser(bytes).Run();
    Store(destination, parsed.negative ? -parsed.value : parsed.value);
    return parsed.count;
}

// Any text by its address for any destination. The int32 path, the token path and
// ParseNumber reach it with a jump and nothing more: no source to look at again.
[[gnu::noinline]] std::int32_t ParseText(const Byte* bytes, void* destination) {
    QuickNumber quick;
    if (*bytes < '-' || !QuickDecimal<true>(bytes, quick)) return ParseInNumberMode(bytes, destination);
    return StoreQuick(destination, quick.digits, quick.scale, quick.count, quick.negative);
}

// A whole number of the common shape into an int32 needs no x87: as fistp stores it, -0 is
// 0. Any other text goes the general way. The two ways are functions of their own, so that
// neither pays for the other's registers.
[[gnu::noinline]] std::int32_t ParseIntoInt32(const Byte* bytes, void* destination) {
    QuickNumber quick;
    if (*bytes < '-' || !QuickDecimal<false>(bytes, quick) || quick.scale != 0) return ParseText(bytes, destination);
    const auto whole = static_cast<std::int32_t>(quick.digits);
    const std::int32_t stored = quick.negative ? -whole : whole;
    std::memcpy(destination, &stored, sizeof stored);
    return quick.count;
}

// The current temporary, or a value that names no text.
[[gnu::noinline]] std::int32_t ParseToken(Word source, void* destination) {
    const char* text = source == kLastTemp ? CurrentTempText() : EmptyString;  // no text lies there
    return ParseText(reinterpret_cast<const Byte*>(text), destination);
}

}  // namespace

std::int32_t ParseNumber(Word source, void* destination) {
    if (source < kLowestAddress) [[unlikely]]
        return ParseToken(source, destination);
    const auto* bytes = reinterpret_cast<const Byte*>(static_cast<std::uintptr_t>(source));
    std::int32_t sizeCode;
    if (destination != nullptr && (std::memcpy(&sizeCode, destination, sizeof sizeCode), sizeCode == kSizeInt32))
        return ParseIntoInt32(bytes, destination);
    return ParseText(bytes, destination);
}

}  // namespace tarnfold

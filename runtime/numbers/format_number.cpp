// FormatNumber and WriteDigitsBackward: operands to decimal text in the scratch ring.
#include "format_number.h"

#include <cstring>

#include "../core/temp_slots.h"
#include "exponent_estimate.h"
#include "power_table.h"
#include "value_stack.h"
#include "x87.h"

namespace tarnfold {

Word OperandList[kOperandSlots];

namespace {

// 0.5 - 2^-65 (exponent field 0x3FFD, all 64 significand bits set): an exact half rounds
// toward zero. Hexadecimal literals are exact, so no rounding mode can change them.
constexpr long double kHalfDown = 0xFFFFFFFFFFFFFFFFp-65L;
// 2^63: the first value a signed 64-bit integer cannot hold.
constexpr long double kTwo63 = 0x1p63L;

// Room kept after the prefix for the number itself: sign, "0.", two zeros, 20 digits, a
// point, ".0" and "e+100" fit with space to spare.
constexpr std::ptrdiff_t kNumberRoom = 48;

// "00" to "99": the two digits of each pair, in writing order.
constexpr char kDigitPairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

constexpr std::uint64_t kPowersOfTen[] = {
    1ull, 10ull, 100ull, 1000ull, 10000ull, 100000ull, 1000000ull, 10000000ull, 100000000ull,
    1000000000ull, 10000000000ull, 100000000000ull, 1000000000000ull, 10000000000000ull,
    100000000000000ull, 1000000000000000ull, 10000000000000000ull, 100000000000000000ull,
    1000000000000000000ull, 10000000000000000000ull,
};

// Copies text up to `stop` or the terminator, writing "\t" as TAB and "\n" as CR LF, and
// never past `limit`. Returns the source position of the character that ended the copy.
const char* CopyEscaped(char*& out, const char* text, char stop, const char* limit) {
    char* o = out;
    const char* p = text;
    for (; *p != stop && *p != '\0'; ++p) {
        char c = *p;
        if (c == '\\' && (p[1] == 't' || p[1] == 'n')) {
            ++p;
            if (*p == 't') {
                if (o < limit) *o++ = '\t';
            } else if (o + 1 < limit) {
                *o++ = '\r';
                *o++ = '\n';
            }
            continue;
        }
        if (o < limit) *o++ = c;
    }
    out = o;
    return p;
}

struct FormatText {
    const char* suffix = nullptr;  // null: no format text
    int digits = DefaultDigitCount;
    bool integerMode = false;
};

// The specifier right after the '%' at `percent`; the suffix starts after the specifier and,
// for a digit count, one swallowed character. A text that ends early has an empty suffix.
void ReadSpecifier(const char* percent, FormatText& format) {
    const char* p = percent + 1;
    char c = *p;
    if (c == '\0') {
        format.suffix = p;
        return;
    }
    if (c == 'i') {
        format.integerMode = true;
    } else if (c >= '1' && c <= 'J') {
        format.digits = c <= '9' ? c - '0' : c - 55;
        if (p[1] != '\0') ++p;
    }
    format.suffix = p + 1;
}

long double ReadOperand(Word type, Word slot) {
    const void* address = reinterpret_cast<const void*>(static_cast<std::uintptr_t>(slot));
    // A slot left empty (each use clears it) names no operand: not a number, not a fault.
    if (address == nullptr && type != kOperandInt32) return __builtin_nanl("");
    switch (type) {
        case kOperandFloat32: {
            float value;
            std::memcpy(&value, address, sizeof value);
            return value;
        }
        case kOperandFloat64: {
            double value;
            std::memcpy(&value, address, sizeof value);
            return value;
        }
        case kOperandExtended:
            return x87::LoadExtended(address);
        case kOperandInt64: {
            std::int64_t value;
            std::memcpy(&value, address, sizeof value);
            return static_cast<long double>(value);
        }
        default:
            return static_cast<std::int32_t>(slot);
    }
}

// Step through the descriptor's groups on a copy of the value stack; the top is the value.
// Missing operands behave like an x87 stack underflow: the result is not a number.
long double Evaluate(Word descriptor) {
    // One group that only pushes, on an empty stack: the operand is the value.
    const Word groups0 = descriptor & kNumberGroupsMask;
    if (groups0 < (1u << kNumberGroupBits) && (groups0 & 7) == kNumberOpNone && ValueStack.depth == 0) {
        const Word type = groups0 >> 3;
        if (type != kOperandNegate && type != 5 && type != 7) {
            const Word slot = OperandList[0];
            long double value;
            if (type == kOperandFloat64 && slot != 0) {  // the common operand, read here
                const auto* address = reinterpret_cast<const void*>(static_cast<std::uintptr_t>(slot));
                double operand;
                std::memcpy(&operand, address, sizeof operand);
                value = operand;
            } else {
                value = ReadOperand(type, slot);
            }
            OperandList[0] = 0;
            return value;
        }
    }
    long double stack[kValueStackDepth + kNumberGroupCount];
    int depth = ValueStack.depth;
    for (int i = 0; i < depth; ++i) stack[i] = ValueStack.value[i];
    ClearValueStack();

    Word groups = descriptor & kNumberGroupsMask;
    int slot = 0;
    do {
        Word operation = groups & 7;
        Word type = (groups >> 3) & 7;
        if (type == kOperandInt32 || type == kOperandFloat32 || type == kOperandFloat64 ||
            type == kOperandExtended || type == kOperandInt64) {
            stack[depth++] = ReadOperand(type, OperandList[slot]);
        } else if (depth > 0) {
            stack[depth - 1] = -stack[depth - 1];
        } else {
            stack[depth++] = x87::Indefinite();
        }
        if (operation >= kNumberAdd && operation <= kNumberDivide) {
            long double b = stack[--depth];
            long double a = depth > 0 ? stack[--depth] : x87::Indefinite();
            switch (operation) {
                case kNumberAdd: a = a + b; break;
                case kNumberSubtract: a = a - b; break;
                case kNumberMultiply: a = a * b; break;
                default: a = a / b; break;
            }
            stack[depth++] = a;
        }
        OperandList[slot++] = 0;
        groups >>= kNumberGroupBits;
    } while (groups != 0);
    return stack[depth - 1];
}

// WriteDigitsBackward's digits, inline where FormatNumber writes its layouts.
[[gnu::always_inline]] inline char* WriteDigits(std::uint64_t v, char* last, const char* point) {
    char* p = last;
    auto put = [&](std::uint32_t digit) {
        if (p == point) *p-- = '.';
        *p-- = static_cast<char>('0' + digit);
    };
    // Quotient by ten: bits 67 and up of v * 0xCCCCCCCCCCCCCCCD, from four 32x32 products.
    while (v >> 32) {
        constexpr std::uint64_t kLow = 0xCCCCCCCDu, kHigh = 0xCCCCCCCCu;
        std::uint64_t vLow = static_cast<std::uint32_t>(v), vHigh = v >> 32;
        std::uint64_t lowLow = vLow * kLow, lowHigh = vLow * kHigh;
        std::uint64_t highLow = vHigh * kLow, highHigh = vHigh * kHigh;
        std::uint64_t middle = (lowLow >> 32) + static_cast<std::uint32_t>(lowHigh) +
                               static_cast<std::uint32_t>(highLow);
        std::uint64_t upper = highHigh + (lowHigh >> 32) + (highLow >> 32) + (middle >> 32);
        std::uint64_t quotient = upper >> 3;
        put(static_cast<std::uint32_t>(v - quotient * 10));
        v = quotient;
    }
    // Two digits a step while three or more remain: the quotient by a hundred is bits 37
    // and up of w * 0x51EB851F (exact for every 32-bit w), the pair comes from a table.
    // Only the step whose two places hold the point writes digit by digit.
    std::uint32_t w = static_cast<std::uint32_t>(v);
    while (w >= 100) {
        const auto quotient = static_cast<std::uint32_t>((std::uint64_t{w} * 0x51EB851Fu) >> 37);
        const std::uint32_t pair = w - quotient * 100;
        if (reinterpret_cast<std::uintptr_t>(p) - reinterpret_cast<std::uintptr_t>(point) <= 1) {
            put(pair % 10);
            put(pair / 10);
        } else {
            std::memcpy(p - 1, kDigitPairs + 2 * pair, 2);
            p -= 2;
        }
        w = quotient;
    }
    // One or two digits left; quotient by ten: bits 35 and up of w * 0xCCCCCCCD.
    if (w >= 10) {
        const auto quotient = static_cast<std::uint32_t>((std::uint64_t{w} * 0xCCCCCCCDu) >> 35);
        put(w - quotient * 10);
        w = quotient;
    }
    put(w);
    return p;
}

char* WriteFailure(char* out) {
    std::memcpy(out, kNumberFailureText, 3);
    return out + 3;
}

// "e", the sign and |exponent| with at least two digits.
char* WriteExponent(char* out, int exponent) {
    *out++ = 'e';
    *out++ = exponent < 0 ? '-' : '+';
    unsigned magnitude = exponent < 0 ? -exponent : exponent;
    if (magnitude >= 100) {
        *out++ = static_cast<char>('0' + magnitude / 100);
        magnitude %= 100;
    }
    std::memcpy(out, kDigitPairs + 2 * magnitude, 2);
    return out + 2;
}

char* WriteInteger(char* out, long double magnitude) {
    if (magnitude >= kTwo63) return WriteFailure(out);
    // The mode rounds down, which for a non-negative value truncates toward zero.
    std::uint64_t n = static_cast<std::uint64_t>(x87::StoreInt64(magnitude));
    char digits[24];
    char* first = WriteDigitsBackward(&n, digits + sizeof digits - 1, nullptr) + 1;
    std::size_t count = static_cast<std::size_t>(digits + sizeof digits - first);
    std::memcpy(out, first, count);
    return out + count;
}

// The layouts where the point follows the first digit: exponent, and fixed with E = 0.
char* WriteLeadingDigitLayout(char* out, std::uint64_t n, int digits, int exponent, bool carry) {
    char* end;
    if (!carry && n < kPowersOfTen[digits - 1]) {
        // One digit short: the value lies just below 10^exponent.
        if (digits >= 10 && n >= kPowersOfTen[digits - 2]) {
            char* run = out + 2;
            WriteDigitsBackward(&n, out + digits, nullptr);
            if (run[5] == '9' && run[6] == '9' && run[7] == '9' && run[8] == '9') {
                out[0] = '9';
                out[1] = '.';
                out[digits] = '0';
                return exponent - 1 != 0 ? WriteExponent(out + digits + 1, exponent - 1)
                                         : out + digits + 1;
            }
        }
        // Not a run of nines: print the digits there are, one decade lower.
        --digits;
        --exponent;
    } else if (carry) {
        ++digits;
        ++exponent;
    }
    if (digits == 1) {
        WriteDigitsBackward(&n, out, nullptr);
        out[1] = '.';
        out[2] = '0';
        end = out + 3;
    } else {
        WriteDigits(n, out + digits, out + 1);
        end = out + digits + 1;
    }
    return exponent != 0 ? WriteExponent(end, exponent) : end;
}

// Steps 6 to 13: the number at `out`; returns the position of its terminator.
char* WriteNumber(char* out, long double v, int digits, bool integerMode) {
    if (v == 0 || x87::IsNaN(v)) {
        if (integerMode) {
            *out++ = '0';
        } else {
            std::memcpy(out, "0.0", 3);
            out += 3;
        }
        return out;
    }
    if (v < 0) {
        *out++ = '-';
        v = -v;
    }
    if (integerMode) return WriteInteger(out, v);

    // Infinity gives the lowest integer and fails the range check.
    std::int32_t exponent = DecimalExponentEstimate(v);

    std::uint64_t n;
    bool carry;
    for (;;) {
        if (exponent < digits - 156 || exponent > digits + 142) return WriteFailure(out);
        long double scaled = v * PowerOfTen(digits - 1 - exponent);
        long double rounded = scaled + kHalfDown;
        carry = rounded >= PowerOfTen(digits);
        if (rounded >= kTwo63) return WriteFailure(out);
        n = static_cast<std::uint64_t>(x87::StoreInt64(rounded));
        // An estimate one too high just below a power of ten leaves the fixed and small
        // layouts a digit short; they have no rule for it, so scale again one decade lower.
        bool leadingDigitLayout = exponent == 0 || exponent >= digits || exponent < -3;
        if (leadingDigitLayout || carry || n >= kPowersOfTen[digits - 1]) break;
        --exponent;
    }

    if (exponent >= 1 && exponent < digits) {  // fixed
        int integerDigits = exponent + 1 + (carry ? 1 : 0);
        int decimals = digits - 1 - exponent;
        if (decimals == 0) {
            WriteDigitsBackward(&n, out + integerDigits - 1, nullptr);
            out += integerDigits;
            *out++ = '.';
            *out++ = '0';
            return out;
        }
        char* point = out + integerDigits;
        WriteDigits(n, point + decimals, point);
        return point + decimals + 1;
    }
    if (exponent < 0 && exponent >= -3) {  // small: a carry's '1' lands on the last zero
        int zeros = -exponent - 1;
        out[0] = '0';
        out[1] = '.';
        std::memset(out + 2, '0', static_cast<std::size_t>(zeros));
        char* last = out + 1 + zeros + digits;
        WriteDigits(n, last, out + 1);
        return last + 1;
    }
    return WriteLeadingDigitLayout(out, n, digits, exponent, carry);
}

}  // namespace

char* WriteDigitsBackward(const std::uint64_t* value, char* last, const char* point) {
    return WriteDigits(*value, last, point);
}

char* FormatNumber(Word format, Word descriptor) {
    // A format text by its address is read while the number is written: where old
    // temporaries are given up for room, not the one that holds it.
    char* const start = RingPositionKeeping(
        format >= kLowestAddress ? reinterpret_cast<const char*>(static_cast<std::uintptr_t>(format)) : nullptr);
    const bool wide = (descriptor & kNumberWide) != 0;
    // The narrow text (and its widened form) must stay inside the ring, before any live
    // temporary that a wrap left ahead.
    const std::ptrdiff_t room = (RingClearEnd() - start) / (wide ? 2 : 1) - 1;
    const char* const limit = start + room;

    FormatText formatText;
    const char* text = nullptr;
    if (format == kFormatInteger) {
        formatText.integerMode = true;
    } else if (format == kFormatLastTemp) {
        text = SelectTempSlot(0)->text;
    } else if (format != kFormatNone) {
        text = reinterpret_cast<const char*>(static_cast<std::uintptr_t>(format));
    }

    char* out = start;
    if (text != nullptr) {
        const char* stop = CopyEscaped(out, text, '%', limit - kNumberRoom);
        if (*stop == '%')
            ReadSpecifier(stop, formatText);
        else
            formatText.suffix = stop;  // no '%': the whole text is the prefix
    }

    EnsurePowerTable();
    const std::uint16_t savedMode = x87::ControlWord();
    const auto mode = static_cast<std::uint16_t>((savedMode & ~x87::kRoundingField) | x87::kExtendedRoundDown);
    if (mode != savedMode) x87::SetControlWord(mode);

    out = WriteNumber(out, Evaluate(descriptor), formatText.digits, formatText.integerMode);
    if (formatText.suffix != nullptr) CopyEscaped(out, formatText.suffix, '\0', limit);
    *out = '\0';

    char* end = out;
    if (wide) {
        auto* units = reinterpret_cast<char16_t*>(start);
        std::ptrdiff_t count = out - start;
        for (std::ptrdiff_t i = count; i >= 0; --i)
            units[i] = static_cast<unsigned char>(start[i]);
        end = start + 2 * count;
    }
    RecordTemp(end);
    if (mode != savedMode) x87::SetControlWord(savedMode);
    return start;
}

}  // namespace tarnfold

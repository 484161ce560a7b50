// FormatNumber of arbitrary operands, descriptors and format texts.
//
// One operand: the text is the format text's prefix and suffix (escapes translated) around
// a number whose digits lie within half a unit of their last place of the operand, with the
// format's count of significant digits (one or two more after a carry or a ".0"); in
// IntegerMode the truncated value. "^v?" only out of the table's range or at 19 digits.
// The wide form is the same text in 16-bit units. A chain of five groups prints as its
// value, evaluated here on a stack of extended values rounding down, prints alone.
#include <fuzzer/FuzzedDataProvider.h>

#include <cfenv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <regex>
#include <string>
#include <vector>

#include "numbers/x87.h"
#include "tarnfold.h"

namespace {

using namespace tarnfold;

[[noreturn]] void Fail(const char* what, const std::string& format, const std::string& output) {
    std::fprintf(stderr, "format_number: %s; format \"%s\", output \"%s\"\n", what, format.c_str(), output.c_str());
    std::abort();
}

std::string Unescaped(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 1 < text.size() && (text[i + 1] == 't' || text[i + 1] == 'n')) {
            out += text[++i] == 't' ? "\t" : "\r\n";
        } else {
            out += text[i];
        }
    }
    return out;
}

struct Layout {
    std::string prefix, suffix;
    int digits = DefaultDigitCount;
    bool integer = false;
};

Layout LayoutOf(const std::string& format) {
    Layout layout;
    const std::size_t percent = format.find('%');
    layout.prefix = Unescaped(format.substr(0, percent));
    if (percent == std::string::npos || percent + 1 == format.size()) return layout;
    const char c = format[percent + 1];
    std::size_t suffix = percent + 2;
    if (c == 'i') {
        layout.integer = true;
    } else if (c >= '1' && c <= 'J') {
        layout.digits = c <= '9' ? c - '0' : c - 55;
        if (suffix < format.size()) ++suffix;
    }
    layout.suffix = Unescaped(format.substr(std::min(suffix, format.size())));
    return layout;
}

std::string Integer(long double magnitude) {
    char digits[24];
    std::snprintf(digits, sizeof digits, "%llu", static_cast<unsigned long long>(std::trunc(magnitude)));
    return digits;
}

// The number printed for v with `digits` significant digits: checked, not rebuilt.
void CheckNumber(const std::string& number, long double v, const Layout& layout, const std::string& format) {
    auto fail = [&](const char* what) { Fail(what, format, number); };
    if (v == 0 || std::isnan(v)) {
        if (number != (layout.integer ? "0" : "0.0")) fail("zero or not-a-number");
        return;
    }
    std::string magnitude = number;
    if (v < 0) {
        if (number[0] != '-') fail("sign");
        magnitude = number.substr(1);
        v = -v;
    }
    if (magnitude == "^v?") {
        const long double exponent = std::isinf(v) ? 1e9L : std::floor(std::log10(v));
        if (layout.integer ? v < 0x1p63L
                           : layout.digits != 19 && exponent - layout.digits > -150 && exponent - layout.digits < 136)
            fail("failure text in range");
        return;
    }
    if (layout.integer) {
        if (v >= 0x1p63L || magnitude != Integer(v)) fail("integer");
        return;
    }
    static const std::regex shape("([0-9]+)\\.([0-9]+)(e[+-][0-9]{2,3})?");
    std::smatch m;
    if (!std::regex_match(magnitude, m, shape)) fail("layout");
    const std::string all = m[1].str() + m[2].str();
    const std::size_t lead = all.find_first_not_of('0');
    if (lead == std::string::npos) fail("no significant digit");
    const int significant = static_cast<int>(all.size() - lead);
    if (significant < layout.digits || significant > layout.digits + 2) fail("digit count");
    // The leading digit's power of ten, and the unit of the D-th significant digit.
    const int exponent = (m[3].matched ? std::atoi(m[3].str().c_str() + 1) : 0) +
                         static_cast<int>(m[1].length()) - 1 - static_cast<int>(lead);
    std::fesetround(FE_TONEAREST);
    const long double printed = std::strtold(magnitude.c_str(), nullptr);
    const long double unit = std::pow(10.0L, exponent - layout.digits + 1);
    std::fesetround(FE_DOWNWARD);
    const long double slack = 16 * std::ldexp(1.0L, std::ilogb(v) - 63);
    if (std::fabs(printed - v) > unit / 2 + slack) fail("value");
}

long double Operand(FuzzedDataProvider& in, Word type, Word& slot, std::vector<long double>& storage) {
    storage.push_back(0);
    void* at = &storage.back();
    slot = OperandAddress(at);
    switch (type) {
        case kOperandFloat32: { float f = in.ConsumeFloatingPoint<float>(); std::memcpy(at, &f, 4); return f; }
        case kOperandFloat64: { double d = in.ConsumeFloatingPoint<double>(); std::memcpy(at, &d, 8); return d; }
        case kOperandInt64: { auto n = in.ConsumeIntegral<std::int64_t>(); std::memcpy(at, &n, 8); return static_cast<long double>(n); }
        case kOperandExtended: { in.ConsumeData(at, 10); return x87::LoadExtended(at); }
        default: { auto n = in.ConsumeIntegral<std::int32_t>(); slot = static_cast<Word>(n); return n; }
    }
}

std::string Format(Word format, Word descriptor) {
    const char* text = FormatNumber(format, descriptor);
    const TempSlot& slot = *SelectTempSlot(0);
    if (slot.text != text) Fail("result is not the current temporary", "", text);
    if (descriptor & kNumberWide) {
        std::string narrow;
        for (std::int32_t i = 0; i < slot.length; i += 2) {
            char16_t unit;
            std::memcpy(&unit, text + i, 2);
            if (unit > 0xFF) Fail("wide unit", "", "");
            narrow += static_cast<char>(unit);
        }
        return narrow;
    }
    if (slot.length != static_cast<std::int32_t>(std::strlen(text))) Fail("slot length", "", text);
    return text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    std::fesetround(FE_DOWNWARD);
    ClearValueStack();
    std::vector<long double> storage;
    storage.reserve(kNumberGroupCount);
    const bool chain = in.ConsumeBool();
    const Word wide = in.ConsumeBool() ? kNumberWide : 0;
    std::string format = in.ConsumeRandomLengthString(24);
    format.resize(std::strlen(format.c_str()));
    const int formatKind = in.ConsumeIntegralInRange(0, 3);  // none, integer, text, text as temporary
    Word formatArg = formatKind == 0 ? kFormatNone : formatKind == 1 ? kFormatInteger : OperandAddress(format.c_str());
    if (formatKind == 3) {
        char* at = RingPosition();
        std::memcpy(at, format.c_str(), format.size() + 1);
        RecordTemp(at + format.size());
        formatArg = kFormatLastTemp;
    }
    Layout layout = formatKind >= 2 ? LayoutOf(format) : Layout{};
    layout.integer = layout.integer || formatKind == 1;

    if (!chain) {
        const Word type = in.PickValueInArray({kOperandInt32, kOperandFloat32, kOperandFloat64, kOperandExtended, kOperandInt64});
        const long double v = Operand(in, type, OperandList[0], storage);
        const Word operand = OperandList[0];
        const std::string output = Format(formatArg, NumberGroup(0, type) | wide);
        if (OperandList[0] != 0) Fail("operand slot not cleared", format, output);
        const std::size_t fixed = layout.prefix.size() + layout.suffix.size();
        if (output.size() < fixed || output.compare(0, layout.prefix.size(), layout.prefix) != 0 ||
            output.compare(output.size() - layout.suffix.size(), std::string::npos, layout.suffix) != 0)
            Fail("prefix or suffix", format, output);
        CheckNumber(output.substr(layout.prefix.size(), output.size() - fixed), v, layout, format);
        if (wide == 0 && formatKind != 3) {  // the same text in 16-bit units
            OperandList[0] = operand;
            if (Format(formatArg, NumberGroup(0, type) | kNumberWide) != output) Fail("wide text", format, output);
        }
        return 0;
    }

    // A chain: push (or negate), then combine the two top values, group by group. Groups
    // after the last one with a bit set are not evaluated.
    Word descriptor = 0;
    for (int g = 0; g < kNumberGroupCount; ++g)
        descriptor |= NumberGroup(g, in.ConsumeIntegralInRange<Word>(0, 7), in.ConsumeIntegralInRange<Word>(0, 7));
    descriptor &= (1u << (kNumberGroupBits * in.ConsumeIntegralInRange(1, kNumberGroupCount))) - 1;
    long double stack[kNumberGroupCount + 1];
    int depth = 0;
    for (int g = 0; g == 0 || (descriptor >> (kNumberGroupBits * g)) != 0; ++g) {
        const Word group = (descriptor >> (kNumberGroupBits * g)) & kNumberGroupMask;
        const Word type = group >> 3, operation = group & 7;
        if (type == 4 || type == 5 || type == 7) {
            if (depth > 0) stack[depth - 1] = -stack[depth - 1];
            else stack[depth++] = x87::Indefinite();
        } else {
            stack[depth++] = Operand(in, type, OperandList[g], storage);
        }
        if (operation >= kNumberAdd && operation <= kNumberDivide) {
            const long double b = stack[--depth];
            const long double a = depth > 0 ? stack[--depth] : x87::Indefinite();
            stack[depth++] = operation == kNumberAdd ? a + b : operation == kNumberSubtract ? a - b
                           : operation == kNumberMultiply ? a * b : a / b;
        }
    }
    // Compared at 19 digits with the value printed as one extended operand.
    const Word digits19 = OperandAddress("%J");
    const std::string output = Format(digits19, descriptor | wide);
    for (Word slot : OperandList)
        if (slot != 0) Fail("operand slot not cleared", format, output);
    long double value = stack[depth - 1];
    OperandList[0] = OperandAddress(&value);
    if (Format(digits19, NumberGroup(0, kOperandExtended) | wide) != output) Fail("chain value", format, output);
    return 0;
}

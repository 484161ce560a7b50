// ParseNumber of arbitrary texts. Every size code reads the same number with the same
// count, each store is the floor of the extended value in its own format, and plain
// decimals, '0x' hexadecimals and binary numbers read as a reference reads them: strtod and
// strtold rounding down for decimals of up to 19 digits, strtoull for the others.
#include <algorithm>
#include <cfenv>
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <regex>
#include <string>
#include <vector>

#include "support/parse_destination.h"
#include "tarnfold.h"

namespace {

using namespace tarnfold;

[[noreturn]] void Fail(const char* what, const std::string& text) {
    std::fprintf(stderr, "parse_number: %s for \"%s\"\n", what, text.c_str());
    std::abort();
}


long double ReadDown(const std::string& text) {
    std::fesetround(FE_DOWNWARD);
    return std::strtold(text.c_str(), nullptr);
}

// A plain decimal the reference reads alike: sign, at most 19 digits with one point, and an
// exponent of one to three digits, nothing before or after; its scale within the table.
bool IsPlainDecimal(const std::string& text) {
    static const std::regex plain("-?([0-9]*)\\.?([0-9]*)([eE]([+-]?)([0-9]{1,3}))?");
    std::smatch m;
    if (!std::regex_match(text, m, plain)) return false;
    const std::size_t digits = m[1].length() + m[2].length();
    if (digits == 0 || digits > 19 || std::count(text.begin(), text.end(), '.') > 1) return false;
    // After leading zeros an 'e' starts no exponent: the number is the zeros alone.
    const std::size_t first = text.find_first_not_of('0');
    if (first != std::string::npos && (text[first] | 0x20) == 'e') return false;
    int exponent = m[5].matched ? std::atoi(m[5].str().c_str()) * (m[4] == "-" ? -1 : 1) : 0;
    int scale = exponent - static_cast<int>(m[2].length());
    return scale >= -143 && scale <= 141;
}

void CheckPlainDecimal(const std::string& text, long double extended, double stored, std::int32_t count) {
    if (count != static_cast<std::int32_t>(text.size())) Fail("count", text);
    const long double exact = ReadDown(text);  // the exact value rounded down to 64 bits
    if (exact == 0) {
        if (extended != 0 || stored != 0) Fail("zero", text);
        return;
    }
    // The power of ten may be one unit off and is rounded once more: within three units.
    const long double unit = std::ldexp(1.0L, std::ilogb(exact) - 63);
    if (std::fabs(extended - exact) > 3 * unit) Fail("extended value", text);
    std::fesetround(FE_DOWNWARD);
    const double low = static_cast<double>(exact - 3 * unit), high = static_cast<double>(exact + 3 * unit);
    const double reference = std::strtod(text.c_str(), nullptr);
    if (stored != reference && (low == high || (stored != low && stored != high))) Fail("double value", text);
}

void CheckRadix(const std::string& text, long double extended, std::int32_t count) {
    static const std::regex hex("0x([0-9a-fA-F]{1,16})"), binary("([01]{1,32})[byBY]");
    std::smatch m;
    if (std::regex_match(text, m, hex)) {
        auto value = static_cast<std::int64_t>(std::strtoull(m[1].str().c_str(), nullptr, 16));
        if (extended != static_cast<long double>(value)) Fail("hexadecimal value", text);
        if (count != -static_cast<std::int32_t>(text.size())) Fail("hexadecimal count", text);
    } else if (std::regex_match(text, m, binary)) {
        auto value = static_cast<std::int32_t>(std::strtoull(m[1].str().c_str(), nullptr, 2));
        if (extended != value) Fail("binary value", text);
        if (count != -(kParseBinaryBias + static_cast<std::int32_t>(text.size()))) Fail("binary count", text);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > 128) return 0;
    // An exact-size copy: the sanitizer sees a read past the terminator.
    std::string text(reinterpret_cast<const char*>(data), size);
    text.resize(std::strlen(text.c_str()));
    std::vector<char> copy(text.begin(), text.end());
    copy.push_back('\0');
    const char* source = copy.data();

    std::int32_t counts[5];
    const long double extended = testing_support::ParseInto<long double>(source, kSizeExtended, counts[0]);
    const double stored = testing_support::ParseInto<double>(source, kSizeFloat64, counts[1]);
    const float single = testing_support::ParseInto<float>(source, kSizeFloat32, counts[2]);
    const std::int32_t integer = testing_support::ParseInto<std::int32_t>(source, kSizeInt32, counts[3]);
    counts[4] = ParseNumber(source, nullptr);
    const long double pushed = PopValue();
    ClearValueStack();
    for (std::int32_t count : counts)
        if (count != counts[0]) Fail("counts differ between destinations", text);

    if (std::isnan(extended)) {
        if (!std::isnan(stored) || !std::isnan(single) || !std::isnan(pushed) || integer != INT32_MIN)
            Fail("not-a-number stores", text);
        return 0;
    }
    if (pushed != extended) Fail("value left for FormatNumber", text);
    // After a lead character the same number is read the general way, the count one further
    // on: the quick paths (a number ended by a blank among them) must agree with it.
    if (text.size() < 120 && static_cast<unsigned char>(text[0]) >= '-') {
        std::int32_t ledCount;
        const long double led = testing_support::ParseInto<long double>(("\x01" + text).c_str(), kSizeExtended, ledCount);
        const std::int32_t shifted = counts[0] == kParseNotANumber ? counts[0] : counts[0] + (counts[0] > 0) - (counts[0] < 0);
        if (ledCount != shifted || led != extended || std::signbit(led) != std::signbit(extended))
            Fail("the general way reads otherwise", text);
    }
    // A hexadecimal number that ends 127 characters in has the count of no number.
    if (counts[0] == kParseNotANumber && extended != 0 && text.size() < 126) Fail("not a number with a value", text);
    // Each store is the floor of the extended value in its format.
    if (!(stored <= extended && std::nextafter(stored, INFINITY) > extended)) Fail("double store", text);
    if (std::fabs(extended) <= FLT_MAX && !(single <= extended && std::nextafter(single, INFINITY) > extended))
        Fail("float store", text);
    const long double floor = std::floor(extended);
    const bool fits = floor >= INT32_MIN && floor <= INT32_MAX;
    if (integer != (fits ? static_cast<std::int32_t>(floor) : INT32_MIN)) Fail("int32 store", text);

    if (IsPlainDecimal(text))
        CheckPlainDecimal(text, extended, stored, counts[0]);
    else
        CheckRadix(text, extended, counts[0]);
    std::fesetround(FE_DOWNWARD);
    return 0;
}

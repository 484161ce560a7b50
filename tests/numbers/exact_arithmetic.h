// Exact arithmetic for the number tests: unsigned big integers, quotients of them rounded to
// a binary significand, and the parts of an x87 extended value.
#pragma once

#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace tarnfold::testing_numbers {

class BigInt {
public:
    explicit BigInt(std::uint64_t value = 0) {
        limbs_.push_back(static_cast<std::uint32_t>(value));
        limbs_.push_back(static_cast<std::uint32_t>(value >> 32));
        Trim();
    }

    static BigInt PowerOfTen(int n) {
        BigInt result(1);
        for (int i = 0; i < n; ++i) result.MultiplySmall(10);
        return result;
    }

    // The decimal digits of a text (other characters ignored).
    static BigInt FromDigits(const std::string& digits) {
        BigInt result;
        for (char c : digits)
            if (c >= '0' && c <= '9') result.MultiplySmall(10).AddSmall(static_cast<std::uint32_t>(c - '0'));
        return result;
    }

    BigInt& MultiplySmall(std::uint32_t factor) {
        std::uint64_t carry = 0;
        for (auto& limb : limbs_) {
            std::uint64_t product = std::uint64_t{limb} * factor + carry;
            limb = static_cast<std::uint32_t>(product);
            carry = product >> 32;
        }
        if (carry != 0) limbs_.push_back(static_cast<std::uint32_t>(carry));
        Trim();
        return *this;
    }

    BigInt& AddSmall(std::uint32_t addend) {
        std::uint64_t carry = addend;
        for (std::size_t i = 0; carry != 0; ++i) {
            if (i == limbs_.size()) limbs_.push_back(0);
            std::uint64_t sum = std::uint64_t{limbs_[i]} + carry;
            limbs_[i] = static_cast<std::uint32_t>(sum);
            carry = sum >> 32;
        }
        return *this;
    }

    BigInt Shifted(int bits) const {
        BigInt result;
        result.limbs_.assign(limbs_.size() + static_cast<std::size_t>(bits / 32) + 1, 0);
        for (std::size_t i = 0; i < limbs_.size(); ++i) {
            std::uint64_t wide = std::uint64_t{limbs_[i]} << (bits % 32);
            result.limbs_[i + bits / 32] |= static_cast<std::uint32_t>(wide);
            result.limbs_[i + bits / 32 + 1] |= static_cast<std::uint32_t>(wide >> 32);
        }
        result.Trim();
        return result;
    }

    BigInt& Subtract(const BigInt& other) {  // *this >= other
        std::int64_t borrow = 0;
        for (std::size_t i = 0; i < limbs_.size(); ++i) {
            std::int64_t difference = std::int64_t{limbs_[i]} - borrow -
                                      (i < other.limbs_.size() ? std::int64_t{other.limbs_[i]} : 0);
            borrow = difference < 0;
            limbs_[i] = static_cast<std::uint32_t>(difference + (borrow << 32));
        }
        Trim();
        return *this;
    }

    int BitLength() const {
        if (IsZero()) return 0;
        return static_cast<int>(32 * (limbs_.size() - 1)) + 32 - __builtin_clz(limbs_.back());
    }

    bool IsZero() const { return limbs_.size() == 1 && limbs_[0] == 0; }

    friend int Compare(const BigInt& a, const BigInt& b) {
        if (a.limbs_.size() != b.limbs_.size()) return a.limbs_.size() < b.limbs_.size() ? -1 : 1;
        for (std::size_t i = a.limbs_.size(); i-- > 0;)
            if (a.limbs_[i] != b.limbs_[i]) return a.limbs_[i] < b.limbs_[i] ? -1 : 1;
        return 0;
    }

private:
    void Trim() {
        while (limbs_.size() > 1 && limbs_.back() == 0) limbs_.pop_back();
    }
    std::vector<std::uint32_t> limbs_;  // least significant first
};

// significand * 2^exponent, the significand holding exactly `bits` bits.
struct Binary {
    std::uint64_t significand;
    int exponent;
    bool operator==(const Binary&) const = default;
};

struct RoundedQuotient {
    Binary down;     // toward zero (the quotient is positive)
    Binary up;       // away from zero
    Binary nearest;  // to nearest
};

// a / b (both positive) rounded to a `bits`-bit significand three ways.
inline RoundedQuotient RoundQuotient(const BigInt& a, const BigInt& b, int bits) {
    // a / b < 2^(bits of a - bits of b + 1): the first quotient has at most `bits` bits.
    int exponent = a.BitLength() - b.BitLength() - bits + 1;
    for (;;) {
        BigInt remainder = exponent < 0 ? a.Shifted(-exponent) : a;
        BigInt divisor = exponent > 0 ? b.Shifted(exponent) : b;
        std::uint64_t quotient = 0;
        for (int i = bits - 1; i >= 0; --i) {
            BigInt part = divisor.Shifted(i);
            if (Compare(part, remainder) <= 0) {
                remainder.Subtract(part);
                quotient |= std::uint64_t{1} << i;
            }
        }
        const std::uint64_t top = std::uint64_t{1} << (bits - 1);
        if (quotient < top) {
            --exponent;
            continue;
        }
        auto normalize = [&](std::uint64_t m) {
            if (bits < 64 ? m == top << 1 : m == 0) return Binary{top, exponent + 1};
            return Binary{m, exponent};
        };
        const bool exact = remainder.IsZero();
        const int half = Compare(remainder.Shifted(1), divisor);
        RoundedQuotient result;
        result.down = {quotient, exponent};
        result.up = exact ? result.down : normalize(quotient + 1);
        result.nearest = half > 0 || (half == 0 && (quotient & 1)) ? result.up : result.down;
        return result;
    }
}

// The exact value of digits * 10^power10 rounded to `bits` bits.
inline RoundedQuotient RoundDecimal(const std::string& digits, int power10, int bits) {
    BigInt a = BigInt::FromDigits(digits);
    if (power10 >= 0)
        for (int i = 0; i < power10; ++i) a.MultiplySmall(10);
    return RoundQuotient(a, BigInt::PowerOfTen(power10 < 0 ? -power10 : 0), bits);
}

// The largest double at or below (negative: at or below -1 times) the decimal value.
inline double FloorDouble(const std::string& digits, int power10, bool negative = false) {
    RoundedQuotient r = RoundDecimal(digits, power10, 53);
    const Binary& b = negative ? r.up : r.down;
    double magnitude = std::ldexp(static_cast<double>(b.significand), b.exponent);
    return negative ? -magnitude : magnitude;
}

inline float FloorFloat(const std::string& digits, int power10, bool negative = false) {
    RoundedQuotient r = RoundDecimal(digits, power10, 24);
    const Binary& b = negative ? r.up : r.down;
    float magnitude = std::ldexp(static_cast<float>(b.significand), b.exponent);
    return negative ? -magnitude : magnitude;
}

// An extended value's significand and power of two (value = significand * 2^exponent).
inline Binary PartsOf(long double value) {
    std::uint64_t significand;
    std::uint16_t exponentField;
    std::memcpy(&significand, &value, 8);
    std::memcpy(&exponentField, reinterpret_cast<const char*>(&value) + 8, 2);
    return {significand, (exponentField & 0x7FFF) - 16383 - 63};
}

}  // namespace tarnfold::testing_numbers

// The x87 pieces the number code needs: the control word, stores that round by the current
// mode, and extended values built from their bits.
#pragma once

#include <cstdint>
#include <cstring>

namespace tarnfold::x87 {

static_assert(sizeof(long double) >= 10, "long double must be the x87 80-bit extended format");

// Control word fields.
inline constexpr std::uint16_t kInitialControlWord = 0x037F;  // after fninit
inline constexpr std::uint16_t kRoundingField = 0x0C00;
inline constexpr std::uint16_t kExtendedRoundDown = 0x0700;   // 64-bit significand, round down
inline constexpr std::uint16_t kNumberControlWord = kInitialControlWord | kExtendedRoundDown;

inline std::uint16_t ControlWord() {
    std::uint16_t word;
    asm volatile("fnstcw %0" : "=m"(word) : : "memory");
    return word;
}

inline void SetControlWord(std::uint16_t word) {
    asm volatile("fldcw %0" : : "m"(word) : "memory");
}

// The number code's mode (64-bit significand, rounding toward negative infinity, the other
// fields as the caller had them) for the life of one number operation; the caller's
// control word is given back at its end, so the program's own arithmetic never changes.
class NumberModeScope {
public:
    NumberModeScope() : saved_(ControlWord()) {
        const auto mode = static_cast<std::uint16_t>((saved_ & ~kRoundingField) | kExtendedRoundDown);
        changed_ = mode != saved_;
        if (changed_) SetControlWord(mode);
    }
    ~NumberModeScope() {
        if (changed_) SetControlWord(saved_);
    }
    NumberModeScope(const NumberModeScope&) = delete;
    NumberModeScope& operator=(const NumberModeScope&) = delete;

private:
    std::uint16_t saved_;
    bool changed_;
};

// Empties all eight registers and sets the control word back to 0x037F.
inline void Reset() {
    asm volatile("fninit" : : : "memory", "st", "st(1)", "st(2)", "st(3)", "st(4)", "st(5)",
                 "st(6)", "st(7)");
}

// fistp: the value rounded by the current mode (the floor in this runtime's mode); the
// integer indefinite value (the lowest integer) when it does not fit or is not a number.
inline std::int32_t StoreInt32(long double value) {
    std::int32_t result;
    asm("fistpl %0" : "=m"(result) : "t"(value) : "st");
    return result;
}

inline std::int64_t StoreInt64(long double value) {
    std::int64_t result;
    asm("fistpll %0" : "=m"(result) : "t"(value) : "st");
    return result;
}

// ST(1) x log2 ST(0) as one operation, rounded by the current mode.
inline long double Fyl2x(long double x, long double y) {
    long double result;
    asm("fyl2x" : "=t"(result) : "0"(x), "u"(y) : "st(1)");
    return result;
}

// An extended value from its 15-bit biased exponent (with the sign in bit 15) and its
// 64-bit significand (explicit leading bit).
inline long double Extended(std::uint16_t signAndExponent, std::uint64_t significand) {
    long double value = 0;
    std::memcpy(&value, &significand, 8);
    std::memcpy(reinterpret_cast<unsigned char*>(&value) + 8, &signAndExponent, 2);
    return value;
}

// The ten bytes of an extended value at an address that need not be aligned.
inline long double LoadExtended(const void* address) {
    long double value = 0;
    std::memcpy(&value, address, 10);
    return value;
}

inline void StoreExtended(void* address, long double value) { std::memcpy(address, &value, 10); }

// The processor's default not-a-number (the "indefinite" value an invalid operation gives).
inline long double Indefinite() { return Extended(0xFFFF, 0xC000000000000000ull); }

inline bool IsNaN(long double value) { return value != value; }

}  // namespace tarnfold::x87

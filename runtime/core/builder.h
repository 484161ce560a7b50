// The string builder: the one routine that assigns, prints and writes text.
//
// One call names up to 31 parts (pointers to texts, predefined-string tokens, slot-number
// tokens, and kLastTemp for the temporaries produced just before the call) and a
// destination. The builder measures every part once, takes room once (one heap block of
// T + 24 bytes for a variable; the element's own bytes or a block for an element; the
// scratch ring for output), copies the parts left to right expanding deferred records,
// terminates the result and delivers it.
#pragma once

#include <cstdint>
#include <type_traits>

#include "storage.h"

namespace tarnfold {

// BuildRequest bits.
inline constexpr Word kBuildPartMask = 0x1F;         // bits 0-4: number of parts, 1..31
inline constexpr Word kBuildReadKey = 1u << 5;       // console: read one key after writing
inline constexpr Word kBuildFileShift = 6;           // bits 6-9: file slot + 1
inline constexpr Word kBuildFileMask = 0xFu << kBuildFileShift;
inline constexpr Word kBuildWide = 1u << 10;         // pointer parts are UTF-16 texts
inline constexpr Word kBuildToElementBit = 1u << 30;
inline constexpr Word kBuildToVariableBit = 1u << 31;
inline constexpr int kMaxBuildParts = 31;

constexpr Word ToVariable(int parts) { return kBuildToVariableBit | static_cast<Word>(parts); }
constexpr Word ToElement(int parts) {
    return kBuildToVariableBit | kBuildToElementBit | static_cast<Word>(parts);
}
constexpr Word ToConsole(int parts) { return static_cast<Word>(parts); }
constexpr Word ToFileSlot(int slot, int parts) {
    return (static_cast<Word>(slot + 1) << kBuildFileShift) | static_cast<Word>(parts);
}

// The core: `args` holds the parts in order and, for a variable destination, the
// variable's previous text after them. Returns the variable's or element's new text.
char* StringBuilderCore(Word request, const Word* args);

namespace detail {
template <typename T>
constexpr Word ToArgWord(T value) {
    if constexpr (std::is_pointer_v<T>)
        return static_cast<Word>(reinterpret_cast<std::uintptr_t>(value));
    else if constexpr (std::is_null_pointer_v<T>)
        return 0;
    else
        return static_cast<Word>(value);
}

template <typename T>
constexpr bool IsWideText() {
    using Pointee = std::remove_cv_t<std::remove_pointer_t<T>>;
    return std::is_pointer_v<T> && std::is_same_v<Pointee, char16_t>;
}
template <typename T>
constexpr bool IsByteText() {
    using Pointee = std::remove_cv_t<std::remove_pointer_t<T>>;
    return std::is_pointer_v<T> && std::is_same_v<Pointee, char>;
}

// kBuildWide when the parts given by pointer are UTF-16 texts; byte and wide texts do not mix.
template <typename... Parts>
constexpr Word WidthOf() {
    constexpr bool wide = (IsWideText<Parts>() || ...);
    static_assert(!(wide && (IsByteText<Parts>() || ...)),
                  "one StringBuilder call takes byte texts or UTF-16 texts, not both");
    return wide ? kBuildWide : 0;
}

constexpr bool TakesPreviousValue(Word request) {
    return (request & (kBuildToVariableBit | kBuildToElementBit)) == kBuildToVariableBit;
}
}  // namespace detail

// StringBuilder(request, part 1 ... part n [, previous]): parts are `const char*` (or
// `const char16_t*` with kBuildWide) and tokens, mixed freely. Costs nothing over the core.
// The request may be computed at run time, so nothing checks that the arguments match it:
// prefer the forms below wherever the request is a constant.
template <typename... Args>
inline char* StringBuilder(Word request, Args... args) {
    static_assert(sizeof...(Args) >= 1 && sizeof...(Args) <= kMaxBuildParts + 1);
    const Word words[] = {detail::ToArgWord(args)...};
    return StringBuilderCore(request, words);
}

// StringBuilder<request>(parts... [, previous]): the same call with a constant request;
// the compiler refuses an argument count that differs from the request's parts (plus the
// previous value for a variable). Costs nothing over the core.
template <Word kRequest, typename... Args>
inline char* StringBuilder(Args... args) {
    constexpr int kParts = static_cast<int>(kRequest & kBuildPartMask);
    static_assert(kParts >= 1, "a request names 1 to 31 parts");
    static_assert(sizeof...(Args) == kParts + (detail::TakesPreviousValue(kRequest) ? 1 : 0),
                  "the arguments must be the request's parts, then a variable's previous value");
    const Word words[] = {detail::ToArgWord(args)...};
    return StringBuilderCore(kRequest, words);
}

// Assign(previous, parts...): a variable's new text, a registered heap block of T + 24
// bytes; `previous` is the variable's current value (released when it is a heap string).
// UTF-16 parts make a wide request. Store the result in the variable.
template <typename... Parts>
inline char* Assign(const void* previous, Parts... parts) {
    static_assert(sizeof...(Parts) >= 1 && sizeof...(Parts) <= kMaxBuildParts);
    constexpr Word kRequest = ToVariable(sizeof...(Parts)) | detail::WidthOf<Parts...>();
    return StringBuilder<kRequest>(parts..., previous);
}

// AssignElement(parts...): replaces the text of the element that the AccessElement just
// before the parts' temporaries read; returns the element's new text.
template <typename... Parts>
inline char* AssignElement(Parts... parts) {
    static_assert(sizeof...(Parts) >= 1 && sizeof...(Parts) <= kMaxBuildParts);
    constexpr Word kRequest = ToElement(sizeof...(Parts)) | detail::WidthOf<Parts...>();
    return StringBuilder<kRequest>(parts...);
}

// Print(parts...): writes the parts to standard output; allocates nothing unless the
// result would run past the ring's usable end. PrintThenReadKey also waits for one key.
template <typename... Parts>
inline void Print(Parts... parts) {
    static_assert(sizeof...(Parts) >= 1 && sizeof...(Parts) <= kMaxBuildParts);
    static_assert(detail::WidthOf<Parts...>() == 0, "the console takes byte texts");
    StringBuilder<ToConsole(sizeof...(Parts))>(parts...);
}
template <typename... Parts>
inline void PrintThenReadKey(Parts... parts) {
    static_assert(sizeof...(Parts) >= 1 && sizeof...(Parts) <= kMaxBuildParts);
    static_assert(detail::WidthOf<Parts...>() == 0, "the console takes byte texts");
    StringBuilder<ToConsole(sizeof...(Parts)) | kBuildReadKey>(parts...);
}

}  // namespace tarnfold

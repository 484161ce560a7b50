// The string builder: the one routine that assigns, prints and writes text.
//
// One call names up to 31 parts (pointers to texts, predefined-string tokens, slot-number
// tokens, and kLastTemp for the temporaries produced just before the call) and a
// destination. The builder measures every part once, takes room once (one heap block of
// T + 24 bytes for a variable; the element's own bytes or a block for an element; the
// scratch ring for output), copies the parts left to right expanding deferred records,
// terminates the result and delivers it.
#pragma once

#include <cstddef>
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
inline constexpr int kBuildFileSlotCount = 10;      // slots 0-9

namespace detail {
// Not constexpr: a constant request that names a slot outside 0-9 does not compile.
inline void FileSlotOutOfRange() {}
}  // namespace detail

// A slot outside 0-9 is refused as a free slot is ("The handle is invalid."): its field
// gets 15, never bits that the four-bit field cannot hold and that would name another
// destination (the wide bit, the variable and element bits).
constexpr Word ToFileSlot(int slot, int parts) {
    if (slot < 0 || slot >= kBuildFileSlotCount) {
        detail::FileSlotOutOfRange();
        slot = 14;
    }
    return (static_cast<Word>(slot + 1) << kBuildFileShift) | static_cast<Word>(parts);
}

// The core: `args` holds the parts in order and, for a variable destination, the
// variable's previous text after them. Returns the variable's or element's new text.
char* StringBuilderCore(Word request, const Word* args);
// StringBuilderCore(ToVariable(1), args) where args[0] is kLastTemp: a variable assigned the
// newest temporary, which a deferred record (a Replace or FileRead$ result) mostly is, is
// sent here when the call says so in constants.
char* AssignNewestTemp(const Word* args);

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
// kBuildWide when any part is a `char16_t` pointer: the call's pointer parts are UTF-16
// texts (a wide variable's value, typed `char*` as the builder returns it, may join them).
template <typename... Parts>
constexpr Word WidthOf() {
    return (IsWideText<Parts>() || ...) ? kBuildWide : 0;
}

// Whether `arguments` values are what a constant request takes: its 1 to 31 parts, then a
// variable's previous value.
constexpr bool ArgumentsFit(Word request, std::size_t arguments) {
    const std::size_t parts = request & kBuildPartMask;
    const bool previous = (request & (kBuildToVariableBit | kBuildToElementBit)) == kBuildToVariableBit;
    return parts >= 1 && arguments == parts + (previous ? 1 : 0);
}

template <typename... Parts>
constexpr bool IsPartCount() {
    return sizeof...(Parts) >= 1 && sizeof...(Parts) <= static_cast<std::size_t>(kMaxBuildParts);
}

// The parts Assign, AssignElement and Print take: texts by pointer and tokens, which are
// Words. Any other integer (a count in an int) would be read as a token or an address: it
// is refused here. StringBuilder(request, ...) takes raw words of any type; tarnfold.hpp's
// tf::Print formats numbers.
template <typename T>
inline constexpr bool kIsRawPart = std::is_pointer_v<T> || std::is_null_pointer_v<T> || std::is_same_v<T, Word>;
template <typename... Parts>
constexpr bool CheckRawParts() {
    static_assert((kIsRawPart<Parts> && ...),
                  "a part is a text pointer or a token (a Word such as kTokenCrLf, kLastTemp or SlotToken(n)); "
                  "to print a number use tf::Print from tarnfold.hpp, or pass raw words to StringBuilder");
    return true;
}
}  // namespace detail

// A request whose part count disagrees with the arguments it came with: FatalError 9.
[[noreturn]] void RefuseBuildRequest();

// StringBuilder(request, part 1 ... part n [, previous]): parts are `const char*` (or
// `const char16_t*` with kBuildWide) and tokens, mixed freely. The request may be computed
// at run time: a part count that disagrees with the arguments (the parts, plus the
// previous value for a variable) is refused with FatalError 9, never read past. One
// compare over the core, folded away when the request is a constant; the forms below
// refuse such a call at compile time.
template <typename... Args>
inline char* StringBuilder(Word request, Args... args) {
    static_assert(sizeof...(Args) >= 1 && sizeof...(Args) <= kMaxBuildParts + 1);
    if (!detail::ArgumentsFit(request, sizeof...(Args))) RefuseBuildRequest();
    const Word words[] = {detail::ToArgWord(args)...};
    if constexpr (sizeof...(Args) == 2)
        if (__builtin_constant_p(request == ToVariable(1) && words[0] == kLastTemp) && request == ToVariable(1) &&
            words[0] == kLastTemp)
            return AssignNewestTemp(words);
    return StringBuilderCore(request, words);
}

// StringBuilder<request>(parts... [, previous]): the same call with a constant request;
// the compiler refuses an argument count that differs from the request's parts (plus the
// previous value for a variable) as an unsatisfied constraint. Costs nothing over the core.
template <Word kRequest, typename... Args>
    requires(detail::ArgumentsFit(kRequest, sizeof...(Args)))
inline char* StringBuilder(Args... args) {
    const Word words[] = {detail::ToArgWord(args)...};
    if constexpr (kRequest == ToVariable(1))
        if (__builtin_constant_p(words[0] == kLastTemp) && words[0] == kLastTemp) return AssignNewestTemp(words);
    return StringBuilderCore(kRequest, words);
}

// Assign(previous, parts...): a variable's new text, a registered heap block of T + 24
// bytes; `previous` is the variable's current value (released when it is a heap string).
// A `char16_t*` part makes the request wide. Store the result in the variable.
template <typename... Parts>
    requires(detail::IsPartCount<Parts...>())
inline char* Assign(const void* previous, Parts... parts) {
    static_assert(detail::CheckRawParts<Parts...>());
    constexpr Word kRequest = ToVariable(sizeof...(Parts)) | detail::WidthOf<Parts...>();
    return StringBuilder<kRequest>(parts..., previous);
}

// AssignElement(parts...): replaces the text of the element that the AccessElement just
// before the parts' temporaries read; returns the element's new text.
template <typename... Parts>
    requires(detail::IsPartCount<Parts...>())
inline char* AssignElement(Parts... parts) {
    static_assert(detail::CheckRawParts<Parts...>());
    constexpr Word kRequest = ToElement(sizeof...(Parts)) | detail::WidthOf<Parts...>();
    return StringBuilder<kRequest>(parts...);
}

// Print(parts...): writes the parts to standard output; allocates nothing unless the
// result would run past the ring's usable end. PrintThenReadKey also waits for one key.
// Output built in the ring (console or file) is recorded as the newest temporary with the
// text's length; the ring moves past its room of T + 24 bytes.
template <typename... Parts>
    requires(detail::IsPartCount<Parts...>() && detail::WidthOf<Parts...>() == 0)
inline void Print(Parts... parts) {
    static_assert(detail::CheckRawParts<Parts...>());
    StringBuilder<ToConsole(sizeof...(Parts))>(parts...);
}
template <typename... Parts>
    requires(detail::IsPartCount<Parts...>() && detail::WidthOf<Parts...>() == 0)
inline void PrintThenReadKey(Parts... parts) {
    static_assert(detail::CheckRawParts<Parts...>());
    StringBuilder<ToConsole(sizeof...(Parts)) | kBuildReadKey>(parts...);
}

}  // namespace tarnfold

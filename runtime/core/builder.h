// The string builder: the one routine that assigns, prints and writes text.
//
// One call names up to 31 parts (pointers to texts, predefined-string tokens, slot-number
// tokens, and kLastTemp for the temporaries produced just before the call) and a
// destination. The builder measures every part once, takes room once (one heap block of
// T + 24 bytes for a variable; the scratch ring for output), copies the parts left to
// right expanding deferred records, terminates the result and delivers it.
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
}  // namespace detail

// StringBuilder(request, part 1 ... part n [, previous]): parts are `const char*` (or
// `const char16_t*` with kBuildWide) and tokens, mixed freely. Costs nothing over the core.
template <typename... Args>
inline char* StringBuilder(Word request, Args... args) {
    static_assert(sizeof...(Args) >= 1 && sizeof...(Args) <= kMaxBuildParts + 1);
    const Word words[] = {detail::ToArgWord(args)...};
    return StringBuilderCore(request, words);
}

}  // namespace tarnfold

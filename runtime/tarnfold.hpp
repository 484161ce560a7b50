// Tarnfold for C++ programs: typed parts, typed numbers, arrays as ranges, owned strings.
//
// An inline layer over the runtime's calls (tarnfold.h), which stay as they are for code
// that speaks their calling convention. Nothing here costs more than the raw calls it makes.
//
//     #include "tarnfold.hpp"
//     int main() {
//         tf::Array lines = tf::Recall("access.log", 1, tf::LineEnds::CrLfOrLf);
//         std::int64_t bytes = 0;
//         for (tf::ZView line : lines) {
//             if (!tf::Contains(line, "curl", tf::Fold)) continue;
//             bytes += tf::Parse<std::int64_t>(line.c_str() + 4).value;
//         }
//         tf::Print(tf::Colour::Yellow, lines.size(), " lines, ", bytes, " bytes", tf::CrLf);
//         tf::String upper = tf::ChangeCase("done", tf::Upper);  // released at scope end
//     }
//
// Lifetimes: texts made by the runtime (tf::Temp: Replaced, Sub, Trimmed, Format, ...) live
// in the scratch ring until 20 further temporaries have been made; keep one longer with
// tf::Keep, which copies it into a tf::String. A tf::String owns a registered heap block and
// releases it when it goes out of scope.
#pragma once

#include <cmath>
#include <concepts>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <limits>
#include <string_view>
#include <type_traits>
#include <utility>

#include "tarnfold.h"

namespace tarnfold::tf {

// ---------------------------------------------------------------------------------------
// Texts

// Anything with a zero-terminated c_str() (std::string, tf::String, tf::ZView, ...).
template <typename T>
concept HasByteCStr = requires(const T& t) {
    { t.c_str() } -> std::convertible_to<const char*>;
};
template <typename T>
concept HasWideCStr = requires(const T& t) {
    { t.c_str() } -> std::convertible_to<const char16_t*>;
};

// A view of a zero-terminated byte text: a std::string_view whose data() may be passed where
// a terminated text is needed. Suffixes (From) stay terminated; substr() gives plain views.
class ZView : public std::string_view {
public:
    constexpr ZView() noexcept : std::string_view("", 0) {}
    ZView(const char* text) noexcept : std::string_view(text != nullptr ? text : "") {}  // NOLINT: implicit
    // `text[length]` must be zero.
    constexpr ZView(const char* text, std::size_t length) noexcept : std::string_view(text, length) {}
    template <HasByteCStr S>
        requires(!std::is_same_v<S, ZView>)
    ZView(const S& text) noexcept : ZView(text.c_str(), std::string_view(text.c_str()).size()) {}  // NOLINT

    const char* c_str() const noexcept { return data(); }
    // The text from byte `offset` on (the empty text past the end): still terminated.
    ZView From(std::size_t offset) const noexcept {
        return offset < size() ? ZView(data() + offset, size() - offset) : ZView(data() + size(), 0);
    }
};

// A zero-terminated text as an argument that is only read up to its terminator: a pointer,
// taken from a const char*, a literal, a ZView or anything with c_str(), never measured.
class CText {
public:
    // A null pointer is passed on: the runtime reads it as the empty text, except where
    // noted (Trimmed, Recall, Store).
    CText(const char* text) noexcept : text_(text) {}  // NOLINT: implicit
    template <HasByteCStr S>
    CText(const S& text) noexcept : text_(text.c_str()) {}  // NOLINT: implicit
    const char* c_str() const noexcept { return text_; }

private:
    const char* text_;
};

// The predefined texts, as parts of their own type.
enum class Predefined : Word {
    CrLf = kTokenCrLf,
    Tab = kTokenTab,
    Space = kTokenSpace,
    TwoSpaces = kTokenTwoSpaces,
    FourSpaces = kTokenFourSpaces,
    ExeFolder = kTokenExeFolder,
    X = kTokenX,
};
inline constexpr Predefined CrLf = Predefined::CrLf;
inline constexpr Predefined Tab = Predefined::Tab;
inline constexpr Predefined Space = Predefined::Space;
inline constexpr Predefined TwoSpaces = Predefined::TwoSpaces;
inline constexpr Predefined FourSpaces = Predefined::FourSpaces;
inline constexpr Predefined ExeFolder = Predefined::ExeFolder;
inline constexpr Predefined X = Predefined::X;

// The most recent temporary, as a part: the builder consumes it (and the ones before it, one
// per Last in the call, newest last). Prefer a tf::Temp, which names its slot.
struct LastTemp {};
inline constexpr LastTemp Last{};

// A temporary the runtime made (a view, a trimmed text, a replacement, a formatted number,
// a file's contents): the TempSlot that holds it. Valid until 20 further temporaries.
class Temp {
public:
    constexpr explicit Temp(int slot) noexcept : slot_(slot) {}
    static Temp Current() noexcept { return Temp(TempSlotTable.current); }
    constexpr int slot() const noexcept { return slot_; }
    // As a part: the slot's number token.
    constexpr Word token() const noexcept { return SlotToken(slot_); }
    // Its text as a view; a deferred record (Replaced, FileContents: words, no text yet)
    // or a view that ends before a zero byte cannot be one: FatalError 9 (tf::Keep it).
    ZView text() const {
        const TempSlot& s = TempSlotTable.slot[slot_];
        const std::size_t length = s.length < 0 ? 0u - static_cast<std::uint32_t>(s.length)
                                                : static_cast<std::uint32_t>(s.length);
        if (s.isRecord != 0) FatalError(kErrorInsufficientBuffer);
        if (s.text == nullptr) return {};
        if (s.text[length] != 0) FatalError(kErrorInsufficientBuffer);
        return ZView(s.text, length);
    }
    const char* c_str() const { return text().c_str(); }
    // Its bytes, terminated or not (a view of part of a text); a deferred record: FatalError 9.
    std::string_view view() const {
        const TempSlot& s = TempSlotTable.slot[slot_];
        if (s.isRecord != 0) FatalError(kErrorInsufficientBuffer);
        if (s.text == nullptr) return {};
        return {s.text, s.length < 0 ? 0u - static_cast<std::uint32_t>(s.length) : static_cast<std::uint32_t>(s.length)};
    }

private:
    int slot_;
};

// A raw 32-bit part (a token or an address), for code generators that speak the runtime's
// words: nothing checks what it names.
struct RawWord {
    Word word;
};

// ---------------------------------------------------------------------------------------
// Builder parts

namespace detail {

template <typename T>
using Bare = std::remove_cvref_t<T>;

template <typename T>
inline constexpr bool kIsCharacter =
    std::is_same_v<Bare<T>, char> || std::is_same_v<Bare<T>, signed char> ||
    std::is_same_v<Bare<T>, unsigned char> || std::is_same_v<Bare<T>, char8_t> ||
    std::is_same_v<Bare<T>, char16_t> || std::is_same_v<Bare<T>, char32_t> || std::is_same_v<Bare<T>, wchar_t>;

template <typename T>
inline constexpr bool kIsInteger = std::is_integral_v<Bare<T>> && !kIsCharacter<T> && !std::is_same_v<Bare<T>, bool>;
template <typename T>
inline constexpr bool kIsFloating = std::is_floating_point_v<Bare<T>>;

template <typename T>
inline constexpr bool kIsByteText =
    std::is_same_v<std::decay_t<T>, const char*> || std::is_same_v<std::decay_t<T>, char*> ||
    (HasByteCStr<Bare<T>> && !std::is_same_v<Bare<T>, Temp>);
template <typename T>
inline constexpr bool kIsWideText = std::is_same_v<std::decay_t<T>, const char16_t*> ||
                                    std::is_same_v<std::decay_t<T>, char16_t*> || HasWideCStr<Bare<T>>;
template <typename T>
inline constexpr bool kIsToken = std::is_same_v<Bare<T>, Predefined> || std::is_same_v<Bare<T>, LastTemp> ||
                                 std::is_same_v<Bare<T>, Temp> || std::is_same_v<Bare<T>, RawWord>;

struct DigitsPart;
template <typename T>
inline constexpr bool kIsDigitsPart = std::is_same_v<Bare<T>, DigitsPart>;

template <typename T>
inline constexpr bool kIsPart = kIsByteText<T> || kIsWideText<T> || kIsToken<T> || kIsInteger<T> ||
                                kIsFloating<T> || kIsDigitsPart<T>;

inline Word AddressWord(const void* text) { return static_cast<Word>(reinterpret_cast<std::uintptr_t>(text)); }

// An integer's decimal text, written by the runtime's digit writer into the part itself:
// no temporary, no ring. Wide calls get 16-bit units.
template <typename Char>
class DecimalText {
public:
    template <typename Integer>
    explicit DecimalText(Integer value) noexcept {
        char digits[24];
        std::uint64_t magnitude;
        if constexpr (std::is_signed_v<Integer>)
            magnitude = value < 0 ? 0 - static_cast<std::uint64_t>(static_cast<std::int64_t>(value))
                                  : static_cast<std::uint64_t>(value);
        else
            magnitude = static_cast<std::uint64_t>(value);
        char* first = WriteDigitsBackward(&magnitude, digits + sizeof digits - 2, nullptr) + 1;
        if constexpr (std::is_signed_v<Integer>)
            if (value < 0) *--first = '-';
        const auto length = static_cast<std::size_t>(digits + sizeof digits - 1 - first);
        for (std::size_t i = 0; i < length; ++i) text_[i] = static_cast<Char>(first[i]);
        text_[length] = 0;
    }
    Word word() const noexcept { return AddressWord(text_); }

private:
    Char text_[24];
};

template <typename T>
constexpr Word OperandTypeOf() {
    using B = Bare<T>;
    if constexpr (std::is_same_v<B, float>) return kOperandFloat32;
    else if constexpr (std::is_same_v<B, double>) return kOperandFloat64;
    else if constexpr (std::is_same_v<B, long double>) return kOperandExtended;
    else if constexpr (kIsInteger<T> && sizeof(B) <= 4 && (std::is_signed_v<B> || sizeof(B) < 4)) return kOperandInt32;
    else return kOperandInt64;
}

}  // namespace detail

// A number with `digits` (1 to 19) significant digits, as a part: Print(tf::Digits(x, 4)).
struct detail::DigitsPart {
    double value;
    int digits;
};
inline detail::DigitsPart Digits(double value, int digits) { return {value, digits}; }

namespace detail {

// The format text "%<d>f" for `digits` significant digits (1 to 19; others: the default).
inline const char* DigitsFormat(int digits) {
    static constexpr char kTexts[20][4] = {"%f", "%1f", "%2f", "%3f", "%4f", "%5f", "%6f", "%7f", "%8f", "%9f",
                                           "%Af", "%Bf", "%Cf", "%Df", "%Ef", "%Ff", "%Gf", "%Hf", "%If", "%Jf"};
    return kTexts[digits >= 1 && digits <= 19 ? digits : 0];
}

// A floating-point number's text: FormatNumber's temporary (7 significant digits).
template <bool kWide>
struct FloatingText {
    Word text;
    template <typename F>
    explicit FloatingText(const F& value, const char* format = nullptr) {
        OperandList[0] = AddressWord(&value);
        text = AddressWord(FormatNumber(format, NumberGroup(0, OperandTypeOf<F>()) | (kWide ? kNumberWide : 0)));
    }
    Word word() const noexcept { return text; }
};

struct WordPart {
    Word value;
    Word word() const noexcept { return value; }
};

// Each part as the word the builder takes; an integer's digits live in the returned object.
template <bool kWide, typename T>
auto Encode(const T& part) {
    static_assert(kIsPart<T>,
                  "tf: a builder part is a text (const char*, a string literal, std::string or anything "
                  "with a zero-terminated c_str(); a std::string_view is not terminated: use tf::ZView), a UTF-16 text (const char16_t*, std::u16string), a "
                  "number, tf::Digits(x, n), a tf::Temp, tf::Last, a predefined text (tf::CrLf, tf::Tab, "
                  "...) or a tf::RawWord; a single character is no text: write \"x\"");
    if constexpr (!kIsPart<T>) {
        return WordPart{0};
    } else if constexpr (kIsByteText<T>) {
        static_assert(!kWide, "tf: byte texts and UTF-16 texts cannot be parts of one call");
        if constexpr (HasByteCStr<Bare<T>>) return WordPart{AddressWord(part.c_str())};
        else return WordPart{AddressWord(part)};
    } else if constexpr (kIsWideText<T>) {
        static_assert(kWide, "tf: byte texts and UTF-16 texts cannot be parts of one call");
        if constexpr (HasWideCStr<Bare<T>>) return WordPart{AddressWord(part.c_str())};
        else return WordPart{AddressWord(part)};
    } else if constexpr (std::is_same_v<Bare<T>, Temp>) {
        return WordPart{part.token()};
    } else if constexpr (std::is_same_v<Bare<T>, LastTemp>) {
        return WordPart{kLastTemp};
    } else if constexpr (std::is_same_v<Bare<T>, Predefined>) {
        return WordPart{static_cast<Word>(part)};
    } else if constexpr (std::is_same_v<Bare<T>, RawWord>) {
        return WordPart{part.word};
    } else if constexpr (kIsInteger<T>) {
        return DecimalText<std::conditional_t<kWide, char16_t, char>>(part);
    } else if constexpr (kIsFloating<T>) {
        return FloatingText<kWide>(part);
    } else {
        return FloatingText<kWide>(part.value, DigitsFormat(part.digits));
    }
}

template <typename... Parts>
inline constexpr bool kAnyWide = (kIsWideText<Parts> || ...);
template <typename... Parts>
inline constexpr int kLastCount = (0 + ... + (std::is_same_v<Bare<Parts>, LastTemp> ? 1 : 0));
template <typename... Parts>
inline constexpr bool kMakesTemps = ((kIsFloating<Parts> || kIsDigitsPart<Parts>) || ...);

template <typename... Parts>
constexpr void CheckParts() {
    static_assert(sizeof...(Parts) >= 1 && sizeof...(Parts) <= kMaxBuildParts, "tf: 1 to 31 parts per call");
    static_assert(kLastCount<Parts...> == 0 || !kMakesTemps<Parts...>,
                  "tf: a floating-point part makes a temporary, which tf::Last would then name: "
                  "pass the earlier temporary as its tf::Temp");
}

// One builder call: the parts' words (and the previous value for a variable) to the core.
template <typename... Encoded>
char* BuildWords(Word request, const Encoded&... encoded) {
    const Word words[] = {encoded.word()...};
    return StringBuilderCore(request, words);
}

template <typename... Parts>
constexpr Word RequestWidth() {
    return kAnyWide<Parts...> ? kBuildWide : 0;
}

}  // namespace detail

// ---------------------------------------------------------------------------------------
// Console

// Console character attributes: foreground colours (bit 3: bright).
enum class Colour : std::uint16_t {
    Black = 0, DarkBlue = 1, DarkGreen = 2, DarkCyan = 3, DarkRed = 4, DarkMagenta = 5, DarkYellow = 6,
    Grey = 7, DarkGrey = 8, Blue = 9, Green = 10, Cyan = 11, Red = 12, Magenta = 13, Yellow = 14, White = 15,
};
// The colours of what is written from now on; on a redirected output nothing changes.
inline bool SetColour(Colour foreground, Colour background = Colour::Black) {
    return SetTextColour(static_cast<std::uint16_t>(static_cast<std::uint16_t>(foreground) |
                                                    (static_cast<std::uint16_t>(background) << 4)));
}

// Writes the parts to standard output in one write.
template <typename... Parts>
inline void Print(const Parts&... parts) {
    detail::CheckParts<Parts...>();
    constexpr bool kWide = detail::kAnyWide<Parts...>;
    detail::BuildWords(ToConsole(sizeof...(Parts)) | detail::RequestWidth<Parts...>(),
                       detail::Encode<kWide>(parts)...);
}
// The same in a colour, then the default colour again.
template <typename... Parts>
inline void Print(Colour colour, const Parts&... parts) {
    SetColour(colour);
    Print(parts...);
    SetTextColour(kDefaultTextColour);
}
// Print, then wait for one key.
template <typename... Parts>
inline void PrintThenReadKey(const Parts&... parts) {
    detail::CheckParts<Parts...>();
    constexpr bool kWide = detail::kAnyWide<Parts...>;
    detail::BuildWords(ToConsole(sizeof...(Parts)) | kBuildReadKey | detail::RequestWidth<Parts...>(),
                       detail::Encode<kWide>(parts)...);
}

// ---------------------------------------------------------------------------------------
// Owned strings

// A variable's text: one registered heap block, released when the owner goes out of scope
// or takes another text. Move-only. Char is char (byte text) or char16_t (UTF-16).
template <typename Char>
class BasicString {
public:
    BasicString() noexcept = default;
    // Takes over a registered heap block (a builder variable's result, a ChangeCase copy).
    static BasicString Adopt(char* block) noexcept {
        BasicString s;
        s.text_ = block;
        return s;
    }
    BasicString(BasicString&& other) noexcept : text_(std::exchange(other.text_, nullptr)) {}
    BasicString& operator=(BasicString&& other) noexcept {
        if (this != &other) {
            Reset();
            text_ = std::exchange(other.text_, nullptr);
        }
        return *this;
    }
    BasicString(const BasicString&) = delete;
    BasicString& operator=(const BasicString&) = delete;
    ~BasicString() { Reset(); }

    // The parts, built into one new block; the old one is released.
    template <typename... Parts>
    BasicString& Assign(const Parts&... parts) {
        detail::CheckParts<Parts...>();
        constexpr bool kWide = std::is_same_v<Char, char16_t>;
        static_assert(kWide || !detail::kAnyWide<Parts...>, "tf: a tf::String takes byte texts; UTF-16 texts go to a tf::String16");
        text_ = detail::BuildWords(ToVariable(sizeof...(Parts)) | (kWide ? kBuildWide : 0),
                                   detail::Encode<kWide>(parts)..., detail::WordPart{detail::AddressWord(text_)});
        return *this;
    }

    const Char* c_str() const noexcept { return text_ != nullptr ? reinterpret_cast<const Char*>(text_) : Empty(); }
    std::basic_string_view<Char> view() const noexcept { return c_str(); }
    bool empty() const noexcept { return c_str()[0] == 0; }
    operator std::basic_string_view<Char>() const noexcept { return view(); }  // NOLINT: implicit
    // Gives the block up; the caller releases it (ReleaseHeapString).
    char* Release() noexcept { return std::exchange(text_, nullptr); }
    void Reset() noexcept {
        if (text_ != nullptr) ReleaseHeapString(std::exchange(text_, nullptr));
    }

private:
    static const Char* Empty() noexcept {
        static constexpr Char kEmpty[1] = {0};
        return kEmpty;
    }
    char* text_ = nullptr;
};
using String = BasicString<char>;
using String16 = BasicString<char16_t>;

// A new owned text built from the parts: a temporary kept past its ring life, or a join.
template <typename... Parts>
inline String Keep(const Parts&... parts) {
    String s;
    s.Assign(parts...);
    return s;
}

// ---------------------------------------------------------------------------------------
// Search, replace, substrings, trimming, case

// Search modes; combine with |.
enum class FindMode : Word {
    Exact = FindExact, Fold = tarnfold::FindFold, FoldFirst = tarnfold::FindFoldFirst,
    WholeWord = tarnfold::FindWholeWord, Backward = tarnfold::FindBackward,
};
constexpr FindMode operator|(FindMode a, FindMode b) {
    return static_cast<FindMode>(static_cast<Word>(a) | static_cast<Word>(b));
}
inline constexpr FindMode Exact = FindMode::Exact;
inline constexpr FindMode Fold = FindMode::Fold;
inline constexpr FindMode FoldFirst = FindMode::FoldFirst;
inline constexpr FindMode WholeWord = FindMode::WholeWord;
inline constexpr FindMode Backward = FindMode::Backward;

struct Found {
    const char* match;       // the first byte of the match, or null
    std::int32_t position;   // its 1-based position, or 0
    explicit operator bool() const noexcept { return match != nullptr; }
    std::size_t offset() const noexcept { return static_cast<std::size_t>(position - 1); }
};

// The first (or, with Backward, the last) match of `pattern` in `text`; `start` is a 1-based
// position, or kFindWholeText. Sets LastMatch. Folding sets bit 0x20 of every byte compared:
// letters match across case, and so do some punctuation pairs ('[' and '{', '@' and '`').
inline Found Find(CText text, CText pattern, FindMode mode = Exact, std::int32_t start = kFindWholeText) {
    FoundText found = FindText(start, text.c_str(), pattern.c_str(), static_cast<Word>(mode));
    return {found.match, found.position};
}
inline bool Contains(CText text, CText pattern, FindMode mode = Exact) {
    return FindText(kFindWholeText, text.c_str(), pattern.c_str(), static_cast<Word>(mode)).match != nullptr;
}

// `source` with the matches of `found` replaced by `replacement` (at most `limit`, 0: all),
// as a temporary that the builder expands into its destination. The three texts must stay
// as they are until the temporary is used.
inline Temp Replaced(CText source, CText found, CText replacement, FindMode mode = Exact, int limit = 0) {
    RecordedTemp made =
        Replace(source.c_str(), found.c_str(), replacement.c_str(), ReplaceMode(static_cast<Word>(mode), limit));
    return Temp(SlotNumber(made.slot));
}

// `length` bytes from 0-based `offset` (cut at the end), as a view temporary: nothing copied.
inline Temp Sub(ZView text, std::size_t offset, std::size_t length) {
    if (offset >= text.size()) offset = text.size(), length = 0;
    if (length > text.size() - offset) length = text.size() - offset;
    return Temp(SlotNumber(SubText(text.c_str(), static_cast<std::int32_t>(length), static_cast<std::int32_t>(offset + 1))));
}

enum class Sides : std::int32_t { Leading = kTrimLeading, Trailing = kTrimTrailing, Both = kTrimBoth };
// The text without leading and/or trailing blanks (bytes 0x00-0x20), in the ring.
inline Temp Trimmed(CText text, Sides sides = Sides::Both) {
    const char* source = text.c_str() != nullptr ? text.c_str() : "";  // null trims the ring in place
    return Temp(SlotNumber(TrimText(source, static_cast<std::int32_t>(sides)).slot));
}

enum class Case : std::int32_t { Lower = kToLower, Upper = kToUpper };
inline constexpr Case Lower = Case::Lower;
inline constexpr Case Upper = Case::Upper;
// An upper- or lower-case copy (the system's ANSI case mapping), owned: released at scope end.
inline String ChangeCase(CText text, Case to) {
    RecordedTemp made = tarnfold::ChangeCase(text.c_str(), static_cast<std::int32_t>(to));
    return String::Adopt(const_cast<char*>(made.slot->text));
}

// A whole file's contents as a temporary, read straight into the destination it is built
// into. A missing file ends the program (FatalError 5).
inline Temp FileContents(CText name) { return Temp(SlotNumber(FileReadStr(name.c_str()).slot)); }

// ---------------------------------------------------------------------------------------
// Numbers

// A parsed number and the runtime's count: characters used (> 0), 0 for a decimal number that
// ended badly, -n for hexadecimal, -(256 + n) for binary, kParseNotANumber for no number.
template <typename T>
struct Parsed {
    T value;
    std::int32_t count;
    bool ok() const noexcept { return count != kParseNotANumber; }
};

// One number from the start of `text` (leading bytes below '-' skipped), stored as T by its
// type: int32_t and int64_t take the floor (overflow and no number: the lowest value),
// float, double and long double round toward negative infinity. The caller's floating-point
// mode is left as it was.
template <typename T>
inline Parsed<T> Parse(CText text) {
    static_assert(std::is_same_v<T, std::int32_t> || std::is_same_v<T, std::int64_t> || std::is_same_v<T, float> ||
                      std::is_same_v<T, double> || std::is_same_v<T, long double>,
                  "tf::Parse<T>: T is std::int32_t, std::int64_t, float, double or long double");
    if constexpr (std::is_same_v<T, std::int32_t>) {
        std::int32_t value = kSizeInt32;
        const std::int32_t count = ParseNumber(text.c_str(), &value);
        return {value, count};
    } else if constexpr (std::is_same_v<T, std::int64_t>) {
        const Parsed<long double> wide = Parse<long double>(text);
        constexpr long double kLimit = 9223372036854775808.0L;  // 2^63
        const bool fits = wide.value >= -kLimit && wide.value < kLimit;
        return {fits ? static_cast<std::int64_t>(std::floor(wide.value)) : std::numeric_limits<std::int64_t>::min(),
                wide.count};
    } else {
        // The size code goes in the destination's first word, as the raw call reads it.
        const std::int32_t code = std::is_same_v<T, float> ? kSizeFloat32
                                  : std::is_same_v<T, double> ? kSizeFloat64
                                                              : kSizeExtended;
        T value;
        std::memcpy(&value, &code, sizeof code);
        const std::int32_t count = ParseNumber(text.c_str(), &value);
        return {value, count};
    }
}

// Operations between the values of Format, as types: the call's descriptor is a constant.
template <Word kOperation>
struct OpTag {};
inline constexpr OpTag<kNumberAdd> Add{};
inline constexpr OpTag<kNumberSubtract> Subtract{};
inline constexpr OpTag<kNumberMultiply> Multiply{};
inline constexpr OpTag<kNumberDivide> Divide{};
struct NegateTag {};
inline constexpr NegateTag Negate{};  // the value so far, negated

namespace detail {
template <typename T>
inline constexpr bool kIsOperand = (kIsInteger<T> || kIsFloating<T>) && !std::is_same_v<Bare<T>, unsigned long long> &&
                                   !(std::is_same_v<Bare<T>, unsigned long> && sizeof(unsigned long) == 8);
template <typename T>
inline constexpr Word kOperationOf = 0;
template <Word kOperation>
inline constexpr Word kOperationOf<OpTag<kOperation>> = kOperation;

// The NumberDescriptor of value, (operation, value | Negate)... ; 0xFFFFFFFF when the
// sequence is none: a value first, an operation always followed by a value, at most five
// groups, operands of the types FormatNumber takes.
template <typename... Values>
constexpr Word DescriptorOf() {
    Word descriptor = 0, operation = 0;
    int group = 0;
    bool valid = true, expectValue = true;
    auto take = [&]<typename V>() {
        using B = Bare<V>;
        if constexpr (kOperationOf<B> != 0) {
            valid = valid && !expectValue;
            operation = kOperationOf<B>;
            expectValue = true;
        } else if constexpr (std::is_same_v<B, NegateTag>) {
            valid = valid && !expectValue && group < kNumberGroupCount;
            descriptor |= NumberGroup(group < kNumberGroupCount ? group : 0, kOperandNegate);
            ++group;
        } else {
            valid = valid && expectValue && kIsOperand<V> && group < kNumberGroupCount;
            descriptor |= NumberGroup(group < kNumberGroupCount ? group : 0, OperandTypeOf<V>(), operation);
            ++group;
            operation = 0;
            expectValue = false;
        }
    };
    (take.template operator()<Values>(), ...);
    return valid && !expectValue ? descriptor : 0xFFFFFFFFu;
}

// Fills the OperandList slot of one group; integers that need 64 bits are copied to `wide`.
template <typename T>
inline void StoreOperand(const T& value, int& group, std::int64_t* wide) {
    if constexpr (kOperationOf<Bare<T>> != 0) {
        return;
    } else if constexpr (std::is_same_v<Bare<T>, NegateTag>) {
        ++group;
    } else if constexpr (OperandTypeOf<T>() == kOperandInt32) {
        OperandList[group++] = static_cast<Word>(static_cast<std::int32_t>(value));
    } else if constexpr (kIsInteger<T>) {
        wide[group] = static_cast<std::int64_t>(value);
        OperandList[group] = AddressWord(&wide[group]);
        ++group;
    } else {
        OperandList[group++] = AddressWord(&value);
    }
}

template <typename... Values>
inline char* FormatValues(Word format, const Values&... values) {
    constexpr Word kDescriptor = DescriptorOf<Values...>();
    static_assert(kDescriptor != 0xFFFFFFFFu,
                  "tf::Format: a value, then (tf::Add | tf::Subtract | tf::Multiply | tf::Divide, value) or "
                  "tf::Negate, at most five groups; operands are integers up to 64 bits (signed) and floating-point "
                  "values");
    std::int64_t wide[kNumberGroupCount];
    int group = 0;
    (StoreOperand(values, group, wide), ...);
    return FormatNumber(format, kDescriptor);
}
}  // namespace detail

// Decimal text of a value, or of a small expression: Format("%9f EUR", price) or
// Format("%5f", a, tf::Divide, b, tf::Negate). The format text gives the prefix, the digit
// count ("%1f".."%9f", "%Af".."%Jf" for 10..19, "%f" the default 7; "%i" whole numbers) and
// the suffix; nullptr: 7 digits and no text. Evaluated in 80-bit precision rounding toward
// negative infinity; the caller's floating-point mode is left as it was. The text lies in the
// scratch ring, a temporary like the others: it lasts 20 further temporaries.
template <typename... Values>
inline ZView Format(const char* format, const Values&... values) {
    const char* text = detail::FormatValues(detail::AddressWord(format), values...);
    return ZView(text, static_cast<std::uint32_t>(TempSlotTable.slot[TempSlotTable.current].length));
}
// A whole number's text, truncated toward zero: FormatNumber's integer mode.
template <typename T>
inline ZView FormatInteger(const T& value) {
    const char* text = detail::FormatValues(kFormatInteger, value);
    return ZView(text, static_cast<std::uint32_t>(TempSlotTable.slot[TempSlotTable.current].length));
}

// ---------------------------------------------------------------------------------------
// Arrays and files

// A numbered string array (0 to 19) as a range of zero-terminated views. The handle is a
// number: copying it copies no element, and the array lives until it is erased.
class Array {
public:
    constexpr explicit Array(int number) noexcept : number_(number) {}
    // Array `number` with `size` empty elements, at least one (any former one erased first).
    static Array Create(int number, std::int32_t size, const char* name = nullptr) {
        CreateArray(number, size > 1 ? size - 1 : 0, name);
        return Array(number);
    }
    constexpr int number() const noexcept { return number_; }

    // Elements; 0 for an array never created or erased.
    std::size_t size() const noexcept {
        const StringArray* block = Block();
        return block != nullptr ? static_cast<std::size_t>(block->count) : 0;
    }
    bool empty() const noexcept { return size() == 0; }
    // Element `index` (below size(); not checked: use At for a checked read).
    ZView operator[](std::size_t index) const noexcept { return View(First()[index]); }
    // Element `index` through the runtime's checked access (FatalError 6 or 7 beyond it).
    ZView At(std::int32_t index, std::int32_t line = 0) const {
        AccessedElement read = AccessElement(number_, index, line);
        return ZView(read.text, read.length < 0 ? 0u - static_cast<std::uint32_t>(read.length)
                                                : static_cast<std::uint32_t>(read.length));
    }
    // Builds element `index` from the parts (checked as At; tf::Last is not taken here: the
    // element's access is the temporary just before the build).
    template <typename... Parts>
    ZView Set(std::int32_t index, const Parts&... parts) {
        detail::CheckParts<Parts...>();
        static_assert(detail::kLastCount<Parts...> == 0, "tf::Array::Set: pass a tf::Temp, not tf::Last");
        static_assert(!detail::kAnyWide<Parts...>, "tf::Array::Set: elements hold byte texts");
        return SetWords(index, detail::Encode<false>(parts)...);
    }
    void Erase() { EraseArray(number_); }

    // Walks the element records of the array block as it stands at begin(): assigning or
    // inserting elements while walking moves that block.
    class iterator {
    public:
        using iterator_category = std::random_access_iterator_tag;
        using value_type = ZView;
        using difference_type = std::ptrdiff_t;
        using reference = ZView;
        using pointer = void;
        iterator() = default;
        explicit iterator(const ElementRecord* record) : record_(record) {}
        ZView operator*() const noexcept { return View(*record_); }
        iterator& operator++() noexcept { ++record_; return *this; }
        iterator operator++(int) noexcept { iterator old = *this; ++record_; return old; }
        bool operator==(const iterator& other) const noexcept { return record_ == other.record_; }
        difference_type operator-(const iterator& other) const noexcept { return record_ - other.record_; }

    private:
        const ElementRecord* record_ = nullptr;
    };
    iterator begin() const noexcept { return iterator(First()); }
    iterator end() const noexcept { return iterator(First() + size()); }

private:
    // An element record's text: a null text is the empty one; the length's sign only says
    // who owns the bytes.
    static ZView View(const ElementRecord& element) noexcept {
        const std::int32_t length = element.length;  // 0 for a null text
        return ZView(element.text != nullptr ? element.text : EmptyString,
                     length < 0 ? 0u - static_cast<std::uint32_t>(length) : static_cast<std::uint32_t>(length));
    }
    // Element 0's record (null for no array).
    const ElementRecord* First() const noexcept {
        const StringArray* block = Block();
        return block != nullptr ? reinterpret_cast<const ElementRecord*>(block + 1) : nullptr;
    }
    const StringArray* Block() const noexcept {
        if (number_ < 0 || number_ >= kArrayCount) return nullptr;
        const StringArray* block = ArrayTable[number_];
        return block == kErasedArray ? nullptr : block;
    }
    template <typename... Encoded>
    ZView SetWords(std::int32_t index, const Encoded&... encoded) {
        AccessElement(number_, index, 0);
        detail::BuildWords(ToElement(sizeof...(Encoded)), encoded...);
        return (*this)[static_cast<std::size_t>(index)];
    }
    int number_;
};

// Which line ends Recall splits at.
using tarnfold::LineEnds;

// A text file into array `number` (1 to 19), one element per line, in one read and one
// block: a missing file ends the program (FatalError 5).
inline Array Recall(CText path, int number, LineEnds ends = LineEnds::CrLf) {
    // A null name would be slot 0: it names no file.
    tarnfold::Recall(NameRef(path.c_str() != nullptr ? path.c_str() : ""), number, nullptr, nullptr, ends);
    return Array(number);
}
// The elements, each followed by CR LF, into the file `path` (created or emptied).
inline void Store(CText path, const Array& array) {
    tarnfold::Store(path.c_str() != nullptr ? path.c_str() : "", array.number());  // null would be slot 0
}

// A file open for output in a slot of its own, written a build at a time and closed at scope
// end. Opening never stops the program: is_open() tells; a write to a file that did not open
// ends it (FatalError 0).
class OutputFile {
public:
    enum class Mode : Word { Create = kModeCreate, Append = kModeAppend, Update = kModeUpdate };
    // In the highest free slot.
    explicit OutputFile(CText path, Mode mode = Mode::Create) : OutputFile(FreeSlot(), path, mode) {}
    OutputFile(int slot, CText path, Mode mode = Mode::Create) : slot_(slot) {
        if (slot_ >= 0) OpenOutput(slot_, path.c_str(), static_cast<Word>(mode));
    }
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;
    ~OutputFile() { Close(); }

    bool is_open() const noexcept {
        return slot_ >= 0 && FileSlotTable[slot_] != kFreeSlot && FileSlotTable[slot_] != kFailedSlot;
    }
    int slot() const noexcept { return slot_; }
    // The parts, built once and written with one write.
    template <typename... Parts>
    void Write(const Parts&... parts) {
        detail::CheckParts<Parts...>();
        static_assert(!detail::kAnyWide<Parts...>, "tf::OutputFile::Write: files take byte texts");
        detail::BuildWords(ToFileSlot(slot_ >= 0 ? slot_ : kBuildFileSlotCount, sizeof...(Parts)),
                           detail::Encode<false>(parts)...);
    }
    void Close() {
        if (slot_ >= 0) CloseFile(slot_);
        slot_ = -1;
    }

private:
    static int FreeSlot() noexcept {
        for (int slot = kFileSlotCount - 1; slot >= 0; --slot)
            if (FileSlotTable[slot] == kFreeSlot) return slot;
        return -1;
    }
    int slot_;
};

}  // namespace tarnfold::tf

// The short name of the layer: tf::Print, tf::String, tf::Array, ...
namespace tf = tarnfold::tf;

// Fatal error reporting: no runtime operation returns a failure; each one ends here.
//
// A fatal error shows one of eleven fixed messages, with its first '#' replaced by a detail
// (at most 127 bytes of it), in a box titled "Fatal error:", releases what the runtime
// holds and ends the process with the negated ErrorCode.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tarnfold {

// One list for the codes, their names and their texts.
#define TARNFOLD_FATAL_MESSAGES(X)                                          \
    X(0, kErrorSystem, "GetLastError:\r\n#")                                \
    X(1, kErrorHeapAlloc, "HeapAlloc")                                      \
    X(2, kErrorHeapFree, "HeapFree\n#")                                     \
    X(3, kErrorStringTable, "String table overflow")                        \
    X(4, kErrorOpenForStore, "Could not open\n#\nfor Store")                \
    X(5, kErrorOpenForRecall, "Could not open\n#\nfor Recall, FileRead$ etc.") \
    X(6, kErrorCountTooHigh, "Line #: Count too high")                      \
    X(7, kErrorArrayErased, "Line #: Array was erased")                     \
    X(8, kErrorTooManyStrings, "Too many strings: increase TfHeapStrings")  \
    X(9, kErrorInsufficientBuffer, "Insufficient buffer or New$(<=0)")      \
    X(10, kErrorHeapSize, "HeapSize failed for #")

enum ErrorCode : std::int32_t {
#define TARNFOLD_ERROR_ENUM(code, name, text) name = code,
    TARNFOLD_FATAL_MESSAGES(TARNFOLD_ERROR_ENUM)
#undef TARNFOLD_ERROR_ENUM
};

inline constexpr const char* kFatalMessages[] = {
#define TARNFOLD_ERROR_TEXT(code, name, text) text,
    TARNFOLD_FATAL_MESSAGES(TARNFOLD_ERROR_TEXT)
#undef TARNFOLD_ERROR_TEXT
};
static_assert(sizeof(kFatalMessages) / sizeof(kFatalMessages[0]) == 11);

inline constexpr int kFatalInsertLimit = 127;
inline constexpr std::size_t kFatalNumberBufferSize = 1024;  // the ring's first bytes
inline constexpr std::size_t kFatalMessageCapacity = 320;   // longest message - 1 + 127 + 1 fits
inline constexpr const char* kFatalCaption = "Fatal error:";
// A fatal error never ends the process with 0: system errors and unknown codes exit with this.
inline constexpr std::int32_t kFatalUnknownExitCode = -11;

// The line shown by ErrorCodes 6 and 7; every element access stores its caller's line here.
extern std::int32_t ErrorLine;

struct FatalMessage {
    std::int32_t code;      // the message used (an out-of-range code becomes 0)
    std::int32_t exitCode;  // the process exit code
};

// Composes the message for `code` with `text` in place of its first '#' into `out` (at
// least kFatalMessageCapacity bytes). An unreadable or null text leaves the '#' standing;
// messages without '#' never look at the text. Touches nothing else.
FatalMessage ComposeFatalMessage(std::int32_t code, const char* text, char* out);

[[noreturn]] void FatalError(std::int32_t code, const char* text = nullptr);
// ErrorCode 0 with the system's message text for GetLastError().
[[noreturn]] void FatalSystemError();
// ErrorCode 6 or 7 with ErrorLine in decimal.
[[noreturn]] void FatalLineError(std::int32_t code);
// ErrorCode 10 with the number in decimal.
[[noreturn]] void FatalNumberError(std::int32_t number);

// Writes the signed decimal text of `value` and a zero byte: at most 12 bytes.
void Int32ToDecimal(std::int32_t value, char* buffer);

// Called with the text and caption of every runtime message box just before it shows; lets
// a test read the message on targets where the box has no visible text. Null by default.
using FatalObserver = void (*)(const char* message, const char* caption);
void SetFatalObserver(FatalObserver observer);

// Shows a message box with no owner and an OK button, after telling the observer.
void ShowRuntimeMessage(const char* message, const char* caption);

}  // namespace tarnfold

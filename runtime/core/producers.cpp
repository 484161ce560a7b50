// New$ (a zero-fill record) and RepeatText (a repetition in a buffer of its own).
#include "producers.h"

#include <cstring>

#include "../errors_console/fatal_error.h"
#include "deferred_record.h"

namespace tarnfold {

namespace {

// Holds the longest repetition, its terminator and the alignment slack.
char repetitionBuffer[32772];
static_assert(sizeof repetitionBuffer > kRepeatLimit);

}  // namespace

RecordedTemp NewStr(std::int32_t n) {
    Word* record = reinterpret_cast<Word*>(RingPosition());
    record[0] = kRecordMark;
    record[1] = kRecordZeroFill;
    // n + 1 must stay a positive 32-bit length.
    if (n <= 0 || n == 0x7FFFFFFF) FatalError(kErrorInsufficientBuffer);
    record[2] = static_cast<Word>(n) + 1;
    RecordedTemp temp = RecordTemp(record + 3);
    MarkRecordTemp(temp.slot, n + 1);
    return temp;
}

RecordedTemp RepeatText(const char* text, std::int32_t count) {
    if (count < 0 || count > kRepeatLimit) FatalError(kErrorInsufficientBuffer);
    TextRef source = ResolveTextArg(text);
    std::size_t length = 0;
    if (source.length == 1) {
        length = static_cast<std::size_t>(count);
        std::memset(repetitionBuffer, source.text[0], length);
    } else if (source.length > 1 && count > 0) {
        std::uint64_t product = static_cast<std::uint64_t>(source.length) * count;
        if (product > static_cast<std::uint64_t>(kRepeatLimit)) FatalError(kErrorInsufficientBuffer);
        for (std::int32_t i = 0; i < count; ++i) {
            std::memmove(repetitionBuffer + length, source.text, static_cast<std::size_t>(source.length));
            length += static_cast<std::size_t>(source.length);
        }
    }
    repetitionBuffer[length] = '\0';
    TempSlot* slot = SelectTempSlot(1);
    slot->text = repetitionBuffer;
    slot->length = static_cast<std::int32_t>(length);
    slot->destination = nullptr;
    slot->isRecord = 0;
    return {repetitionBuffer, slot};
}

}  // namespace tarnfold

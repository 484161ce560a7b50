// New$ (a zero-fill record) and RepeatText (a repetition in a buffer of its own).
#include "producers.h"

#include <cstring>

#include "../errors_console/fatal_error.h"
#include "deferred_record.h"
#include "lifetime_check.h"

namespace tarnfold {

namespace {

// Holds the longest repetition, its terminator and the alignment slack.
char repetitionBuffer[32772];
static_assert(sizeof repetitionBuffer > kRepeatLimit + 1);

// The TempSlot that a token argument names (0x7F or a slot-number token), if it holds a
// deferred record; null for texts and every other argument.
const TempSlot* RecordNamedBy(const char* text) {
    auto token = static_cast<Word>(reinterpret_cast<std::uintptr_t>(text));
    const TempSlot* slot = nullptr;
    if (token == kLastTemp)
        slot = SelectTempSlot(0);
    else if (token >= SlotToken(1) && token <= SlotToken(kTempSlotCount))
        slot = &TempSlotTable.slot[token - 10];
    return slot != nullptr && slot->isRecord != 0 && slot->text != nullptr ? slot : nullptr;
}

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
    lifetime::RepetitionWriting(repetitionBuffer, sizeof repetitionBuffer);
    // A record is no text: its slot length is no count of bytes at its address. What gets
    // repeated is its expansion, made in a block of its own first (its texts may lie in the
    // buffer, which an expansion there would write over while reading them).
    char* expansion = nullptr;
    if (const TempSlot* record = RecordNamedBy(text); record != nullptr && count > 0) {
        const std::uint32_t size = RecordTextLength(*record);
        if (size > static_cast<std::uint32_t>(kRepeatLimit)) FatalError(kErrorInsufficientBuffer);
        expansion = static_cast<char*>(AllocBlock(size + 1, false));
        char* end = ExpandRecord(*record, expansion);
        source = {expansion, static_cast<std::int32_t>(end - expansion)};
    }
    // A source in the buffer (a view of an earlier repetition) moves to the buffer's front
    // first, so that no copy below writes over bytes it has still to read.
    if (source.text >= repetitionBuffer && source.text < repetitionBuffer + sizeof repetitionBuffer) {
        std::memmove(repetitionBuffer, source.text, static_cast<std::size_t>(source.length));
        source.text = repetitionBuffer;
    }
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
    FreeBlock(expansion);
    lifetime::RepetitionWritten(repetitionBuffer, length, sizeof repetitionBuffer);
    TempSlot* slot = SelectTempSlot(1);
    slot->text = repetitionBuffer;
    slot->length = static_cast<std::int32_t>(length);
    slot->destination = nullptr;
    slot->isRecord = 0;
    return {repetitionBuffer, slot};
}

}  // namespace tarnfold

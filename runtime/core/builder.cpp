// StringBuilder: measure every part once, take room once, copy, terminate, deliver.
#include "builder.h"

#include <cstring>

#include "../errors_console/console.h"
#include "../errors_console/fatal_error.h"
#include "../files/file_write.h"
#include "deferred_record.h"

namespace tarnfold {

namespace {

constexpr std::size_t kSpareBytes = 24;
// Zero bytes after every result: one terminates byte text, three make sure a zero 16-bit
// unit follows a wide text wherever it ends, so it can be measured in characters.
constexpr std::size_t kTerminatorBytes = 3;

enum class Destination { Variable, Element, Console, File, Invalid };

Destination DestinationOf(Word request) {
    if (request & kBuildToVariableBit)
        return (request & kBuildToElementBit) ? Destination::Element : Destination::Variable;
    if (request & 0x3FFFF800u) return Destination::Invalid;  // bits 11-29 are always 0
    if (request < 0x40) return Destination::Console;
    if (request & kBuildFileMask) return Destination::File;
    return Destination::Invalid;
}

// The per-call cache: each part's text and byte length, measured once by the length pass.
// A temporary that a record producer recorded is expanded instead of copied; its slot
// is kept in `records` and its bit set in `recordMask`.
struct MeasuredParts {
    const char* text[kMaxBuildParts];
    std::uint32_t length[kMaxBuildParts];
    const TempSlot* records[kMaxBuildParts];
    std::uint32_t recordMask = 0;
    std::uint32_t total = 0;
    bool tooLong = false;

    void Set(int i, const char* partText, std::uint32_t partLength) {
        text[i] = partText;
        length[i] = partLength;
        tooLong |= __builtin_add_overflow(total, partLength, &total);
    }

    void SetSlot(int i, const TempSlot& slot) {
        std::uint32_t size = slot.length < 0 ? 0u - static_cast<std::uint32_t>(slot.length)
                                             : static_cast<std::uint32_t>(slot.length);
        Set(i, slot.text != nullptr ? slot.text : EmptyString, size);  // a slot never filled
        if (slot.isRecord != 0) {  // by its producer, not its length: a 1-byte file is one
            records[i] = &slot;
            recordMask |= 1u << i;
        }
    }
};

std::uint32_t WideByteLength(const char* text) {
    const char16_t* end = reinterpret_cast<const char16_t*>(text);
    while (*end != 0) ++end;
    return static_cast<std::uint32_t>(reinterpret_cast<const char*>(end) - text);
}

int WrapSlot(int index) {
    while (index < 1) index += kTempSlotCount;
    while (index > kTempSlotCount) index -= kTempSlotCount;
    return index;
}

// Length pass. The k 0x7F parts take slots s-k+1 .. s from left to right; they are
// resolved once k is known.
void MeasureParts(const Word* args, int count, bool wide, MeasuredParts& parts) {
    int temporaries = 0;
    for (int i = 0; i < count; ++i) {
        Word token = args[i];
        if (token == kLastTemp) {
            ++temporaries;
        } else if (token >= kFirstPointerToken) {
            const char* text = reinterpret_cast<const char*>(static_cast<std::uintptr_t>(token));
            parts.Set(i, text, wide ? WideByteLength(text) : static_cast<std::uint32_t>(std::strlen(text)));
        } else if (token >= SlotToken(1) && token <= SlotToken(kTempSlotCount)) {
            parts.SetSlot(i, TempSlotTable.slot[token - 10]);
        } else {
            TextRef ref = ResolveToken(token);  // invalid tokens name nothing
            parts.Set(i, ref.text != nullptr ? ref.text : EmptyString,
                      static_cast<std::uint32_t>(ref.length));
        }
    }
    if (temporaries == 0) return;
    int slot = WrapSlot(TempSlotTable.current - temporaries + 1);
    for (int i = 0; i < count; ++i) {
        if (args[i] != kLastTemp) continue;
        parts.SetSlot(i, TempSlotTable.slot[slot]);
        slot = WrapSlot(slot + 1);
    }
}

// Copy pass, left to right, expanding records. A variable's or element's new block never
// overlaps a part (kMayOverlap false: plain memcpy). Output room in the ring lies after
// every temporary, or at the ring's start after a wrap, so a part may begin inside it only
// at or after the copy's write position: memmove is always right there.
template <bool kMayOverlap>
char* CopyParts(const MeasuredParts& parts, int count, char* out) {
    for (int i = 0; i < count; ++i) {
        if (parts.recordMask & (1u << i)) {
            out = ExpandRecord(*parts.records[i], out);
            continue;
        }
        if constexpr (kMayOverlap)
            std::memmove(out, parts.text[i], parts.length[i]);
        else
            std::memcpy(out, parts.text[i], parts.length[i]);
        out += parts.length[i];
    }
    return out;
}

void Terminate(char* end) {
    for (std::size_t i = 0; i < kTerminatorBytes; ++i) end[i] = '\0';
}

}  // namespace

char* StringBuilderCore(Word request, const Word* args) {
    if (TempSlotTable.current == 0) RuntimeStart();
    Destination destination = DestinationOf(request);
    if (destination == Destination::Invalid) return nullptr;
    const int count = static_cast<int>(request & kBuildPartMask);
    const bool wide = (request & kBuildWide) != 0;

    MeasuredParts parts;
    MeasureParts(args, count, wide, parts);
    if (parts.tooLong || parts.total > 0x7FFFFFFFu - kSpareBytes) FatalError(kErrorHeapAlloc);
    const std::size_t room = parts.total + kSpareBytes;

    switch (destination) {
        case Destination::Variable: {
            char* block = static_cast<char*>(AllocBlock(room, false));
            RegisterHeapString(block);
            Terminate(CopyParts<false>(parts, count, block));
            ReleaseHeapString(reinterpret_cast<const void*>(
                static_cast<std::uintptr_t>(args[count])));
            return block;
        }
        case Destination::Console:
        case Destination::File: {
            char* position = RingPosition();
            bool fitsRing = static_cast<std::size_t>(ScratchRing + kRingUsableEnd - position) >= room;
            char* out = fitsRing ? RecordTemp(position + room).start
                                 : static_cast<char*>(AllocBlock(room, false));
            char* end = CopyParts<true>(parts, count, out);
            Terminate(end);
            if (destination == Destination::File) {
                WriteResultToSlot(request, out, static_cast<std::size_t>(end - out));
            } else {
                WriteStdout(out);
                if (request & kBuildReadKey) ReadKey();
            }
            if (!fitsRing) FreeBlock(out);
            return nullptr;
        }
        case Destination::Element:
        case Destination::Invalid:
            break;
    }
    // The element destination arrives with the array-element step.
    return nullptr;
}

}  // namespace tarnfold

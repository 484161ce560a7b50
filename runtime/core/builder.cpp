// StringBuilder: measure every part once, take room once, copy, terminate, deliver.
#include "builder.h"

#include <cstring>

#include "../errors_console/console.h"
#include "../errors_console/fatal_error.h"
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

// One measured part. `slot` is set for temporaries that a record producer recorded.
struct Part {
    const char* text;
    std::size_t length;
    const TempSlot* record;
};

std::size_t WideByteLength(const char* text) {
    const char16_t* end = reinterpret_cast<const char16_t*>(text);
    while (*end != 0) ++end;
    return static_cast<std::size_t>(reinterpret_cast<const char*>(end) - text);
}

Part SlotPart(const TempSlot& slot) {
    std::int32_t length = slot.length < 0 ? -slot.length : slot.length;
    bool isRecord = slot.isRecord != 0 && length > 1;
    return {slot.text, static_cast<std::size_t>(length), isRecord ? &slot : nullptr};
}

int WrapSlot(int index) {
    while (index < 1) index += kTempSlotCount;
    while (index > kTempSlotCount) index -= kTempSlotCount;
    return index;
}

// Copies the parts left to right, expanding records. A variable's or element's new block
// never overlaps a part (kMayOverlap false: plain memcpy). Output room in the ring lies
// after every temporary, or at the ring's start after a wrap, so a part may begin inside
// it only at or after the copy's write position: memmove is always right there.
template <bool kMayOverlap>
char* CopyParts(const Part* parts, int count, char* out) {
    for (int i = 0; i < count; ++i) {
        const Part& part = parts[i];
        if (part.record != nullptr) {
            out = ExpandRecord(*part.record, out);
            continue;
        }
        if constexpr (kMayOverlap)
            std::memmove(out, part.text, part.length);
        else
            std::memcpy(out, part.text, part.length);
        out += part.length;
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

    // Length pass: each part measured once; the lengths are the per-call cache.
    Part parts[kMaxBuildParts];
    std::uint64_t total = 0;
    int temporaries = 0;
    for (int i = 0; i < count; ++i) {
        Word token = args[i];
        if (token == kLastTemp) {
            ++temporaries;  // resolved below, once their number k is known
            continue;
        }
        if (token >= kFirstPointerToken) {
            const char* text = reinterpret_cast<const char*>(static_cast<std::uintptr_t>(token));
            parts[i] = {text, wide ? WideByteLength(text) : std::strlen(text), nullptr};
        } else if (token >= SlotToken(1) && token <= SlotToken(kTempSlotCount)) {
            parts[i] = SlotPart(TempSlotTable.slot[token - 10]);
        } else {
            TextRef ref = ResolveToken(token);  // invalid tokens name nothing
            parts[i] = {ref.text != nullptr ? ref.text : EmptyString,
                        static_cast<std::size_t>(ref.length), nullptr};
        }
        total += parts[i].length;
    }
    // The k 0x7F parts take slots s-k+1 .. s from left to right.
    if (temporaries > 0) {
        int slot = WrapSlot(TempSlotTable.current - temporaries + 1);
        for (int i = 0; i < count; ++i) {
            if (args[i] != kLastTemp) continue;
            parts[i] = SlotPart(TempSlotTable.slot[slot]);
            total += parts[i].length;
            slot = WrapSlot(slot + 1);
        }
    }
    if (total > 0x7FFFFFFFu - kSpareBytes) FatalError(kErrorHeapAlloc);
    const std::size_t room = static_cast<std::size_t>(total) + kSpareBytes;

    switch (destination) {
        case Destination::Variable: {
            char* block = static_cast<char*>(AllocBlock(room, false));
            RegisterHeapString(block);
            Terminate(CopyParts<false>(parts, count, block));
            ReleaseHeapString(reinterpret_cast<const void*>(
                static_cast<std::uintptr_t>(args[count])));
            return block;
        }
        case Destination::Console: {
            char* position = RingPosition();
            bool fitsRing = static_cast<std::size_t>(ScratchRing + kRingUsableEnd - position) >= room;
            char* out = fitsRing ? RecordTemp(position + room).start
                                 : static_cast<char*>(AllocBlock(room, false));
            Terminate(CopyParts<true>(parts, count, out));
            WriteStdout(out);
            if (request & kBuildReadKey) ReadKey();
            if (!fitsRing) FreeBlock(out);
            return nullptr;
        }
        case Destination::Element:
        case Destination::File:
        case Destination::Invalid:
            break;
    }
    // Element and file destinations arrive with the array-element and file-slot steps.
    return nullptr;
}

}  // namespace tarnfold

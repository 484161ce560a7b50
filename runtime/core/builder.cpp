// StringBuilder: measure every part once, take room once, copy, terminate, deliver.
#include "builder.h"

#include <cstring>

#include "../errors_console/console.h"
#include "../errors_console/fatal_error.h"
#include "../files/file_write.h"
#include "build_parts.h"
#include "copy_bytes.h"
#include "deferred_record.h"
#include "element_destination.h"
#include "temp_slots.h"
#include "text_length.h"

namespace tarnfold {

namespace {

constexpr std::size_t kSpareBytes = 24;
// Zero bytes after a result where the room has them: one terminates byte text, three make
// sure a zero 16-bit unit follows a wide text wherever it ends, so it can be measured in
// characters. A room without spare bytes (an element's text rewritten in place) takes as
// many as fit, at least one.
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
// resolved once k is known. Instantiated per text width, so the loop tests it no more.
template <bool kWide>
void MeasureParts(const Word* args, BuildParts& parts, int first = 0) {
    const int count = parts.count;
    int temporaries = 0;
    for (int i = first; i < count; ++i) {
        Word token = args[i];
        if (token == kLastTemp) {
            ++temporaries;
        } else if (token >= kLowestAddress) {
            const char* text = reinterpret_cast<const char*>(static_cast<std::uintptr_t>(token));
            parts.Set(i, text, kWide ? WideByteLength(text) : TextLength(text));
        } else if (token >= SlotToken(1) && token <= SlotToken(kTempSlotCount)) {
            parts.SetSlot(i, TempSlotTable.slot[token - 10]);
        } else {
            TextRef ref = ResolveToken(token);  // invalid tokens name nothing
            parts.Set(i, ref.text != nullptr ? ref.text : EmptyString,
                      static_cast<std::uint32_t>(ref.length));
        }
    }
    parts.temporaries = temporaries;
    if (temporaries == 0) return;
    int slot = WrapSlot(TempSlotTable.current - temporaries + 1);
    for (int i = first; i < count; ++i) {
        if (args[i] != kLastTemp) continue;
        parts.SetSlot(i, TempSlotTable.slot[slot]);
        slot = WrapSlot(slot + 1);
    }
}

// Parts up to this many bytes are copied inline; longer ones by the library's copy.
constexpr std::uint32_t kInlineCopyLimit = 256;

// Copies one part; returns the byte after it.
[[gnu::always_inline]] inline char* CopyText(char* out, const char* text, std::uint32_t length) {
    if (length <= kInlineCopyLimit) CopyBytes(out, text, length);
    else std::memcpy(out, text, length);
    return out + length;
}

// Copy pass, left to right, expanding records. Every room is taken so that no part reads
// from it, so a plain copy is always right. Inlined: it is the heart of every destination.
[[gnu::always_inline]] inline char* CopyParts(const BuildParts& parts, char* out) {
    if (parts.recordMask == 0) {  // the usual call: plain texts only
        for (int i = 0; i < parts.count; ++i) out = CopyText(out, parts.text[i], parts.length[i]);
        return out;
    }
    for (int i = 0; i < parts.count; ++i) {
        if (parts.IsRecord(i)) {
            out = ExpandRecord(parts.text[i], parts.length[i], out);
            continue;
        }
        out = CopyText(out, parts.text[i], parts.length[i]);
    }
    return out;
}

// Zero bytes from `end`: kTerminatorBytes, or as many as lie before `limit`.
void Terminate(char* end, const char* limit) {
    if (limit - end >= static_cast<std::ptrdiff_t>(kTerminatorBytes)) {
        std::memset(end, 0, kTerminatorBytes);
        return;
    }
    for (; end < limit; ++end) *end = '\0';
}

inline char* BuildIn(const BuildParts& parts, char* out, const char* limit) {
    char* end = CopyParts(parts, out);
    Terminate(end, limit);
    return out;
}

// Request bits that keep a call off the plain path: wide texts, an element destination,
// a key read after printing, and the bits that are always 0.
constexpr Word kNotPlain = kBuildWide | kBuildToElementBit | kBuildReadKey | 0x3FFFF800u;

// The plain path: every part a byte text by pointer (args[i], measured as length[i]), to a
// variable, the console or a file. The same steps as the general path below, with what such
// a call cannot need left out.
inline const char* PlainText(Word arg) { return reinterpret_cast<const char*>(static_cast<std::uintptr_t>(arg)); }

[[gnu::always_inline]] inline char* CopyPlain(char* out, const Word* args, const std::uint32_t* length, int count) {
    for (int i = 0; i < count; ++i) out = CopyText(out, PlainText(args[i]), length[i]);
    return out;
}

// Delivers a plain result of `total` bytes at `out` to the console or the file; no part
// holds a zero byte, so the result is the whole of its bytes.
[[gnu::always_inline]] inline void DeliverPlain(Word request, char* out, std::uint32_t total) {
    if (request & kBuildFileMask) WriteBytesToSlot(request, out, total);
    else WriteStdoutBytes(out, total);
}

// Output whose room cannot be in the ring (past its usable end, or a part lies in it): a
// heap block, freed after the output.
[[gnu::noinline]] void BuildPlainInBlock(Word request, const Word* args, const std::uint32_t* length, int count,
                                         std::uint32_t total, std::size_t room) {
    char* out = static_cast<char*>(AllocTextBlock(room));
    std::memset(CopyPlain(out, args, length, count), 0, kTerminatorBytes);
    DeliverPlain(request, out, total);
    FreeBlock(out);
}

[[gnu::always_inline]] inline char* BuildPlain(Word request, const Word* args, const std::uint32_t* length,
                                               int count, std::uint32_t total) {
    if (total > 0x7FFFFFFFu - kSpareBytes) FatalError(kErrorHeapAlloc);
    const std::size_t room = static_cast<std::size_t>(total) + kSpareBytes;
    if (request & kBuildToVariableBit) {
        char* block = static_cast<char*>(AllocTextBlock(room));
        RegisterHeapString(block);
        std::memset(CopyPlain(block, args, length, count), 0, kTerminatorBytes);  // in the spare bytes
        ReleaseHeapString(reinterpret_cast<const void*>(static_cast<std::uintptr_t>(args[count])));
        return block;
    }
    // The ring serves unless the result would pass its usable end, a part lies in the room,
    // or a live temporary does (one a wrap left ahead of the position).
    char* position = CurrentRingPosition();
    char* roomEnd = position + room;
    if (static_cast<std::size_t>(ScratchRing + kRingUsableEnd - position) < room || !RingClear(position, room)) {
        BuildPlainInBlock(request, args, length, count, total, room);
        return nullptr;
    }
    for (int i = 0; i < count; ++i) {
        const char* text = PlainText(args[i]);
        if (text < roomEnd && position < text + length[i]) {
            BuildPlainInBlock(request, args, length, count, total, room);
            return nullptr;
        }
    }
    // The room is taken (the ring moves past it) and the temporary names the text: its
    // spare bytes are no part of it.
    RecordTempAt(position, roomEnd)->length = static_cast<std::int32_t>(total);
    std::memset(CopyPlain(position, args, length, count), 0, kTerminatorBytes);  // the spare bytes hold them
    DeliverPlain(request, position, total);
    return nullptr;
}

}  // namespace

void RefuseBuildRequest() { FatalError(kErrorInsufficientBuffer); }

namespace {

// The general path, for every call the plain path does not take; the first `measured`
// parts are byte texts by pointer already measured (length[i]).
[[gnu::noinline]] char* BuildGeneral(Word request, const Word* args, const std::uint32_t* length, int measured) {
    BuildParts parts;
    parts.count = static_cast<int>(request & kBuildPartMask);
    for (int i = 0; i < measured; ++i) parts.Set(i, PlainText(args[i]), length[i]);

    Destination destination = DestinationOf(request);
    if (destination == Destination::Invalid) return nullptr;
    const bool wide = (request & kBuildWide) != 0;
    if (wide) MeasureParts<true>(args, parts, measured);
    else MeasureParts<false>(args, parts, measured);
    if (parts.total > 0x7FFFFFFFu - kSpareBytes) FatalError(kErrorHeapAlloc);
    const std::size_t room = static_cast<std::size_t>(parts.total) + kSpareBytes;

    switch (destination) {
        case Destination::Variable: {
            char* block = static_cast<char*>(AllocBlock(room, false));
            RegisterHeapString(block);
            std::memset(CopyParts(parts, block), 0, kTerminatorBytes);  // in the spare bytes
            ReleaseHeapString(reinterpret_cast<const void*>(
                static_cast<std::uintptr_t>(args[parts.count])));
            return block;
        }
        case Destination::Element: {
            // The element that the access just before the k temporaries recorded.
            const TempSlot& slot = TempSlotTable.slot[WrapSlot(TempSlotTable.current - parts.temporaries)];
            ElementRoom element = TakeElementRoom(slot, parts);
            if (element.out != nullptr) BuildIn(parts, element.out, element.limit);
            return DeliverElement(element);
        }
        case Destination::Console:
        case Destination::File: {
            // The ring serves unless the result would pass its usable end or a part lies in
            // the room (after a wrap, older temporaries lie ahead of the position).
            char* position = CurrentRingPosition();
            bool inRing = static_cast<std::size_t>(ScratchRing + kRingUsableEnd - position) >= room &&
                          !parts.ReadsFrom(position, position + room) && RingClear(position, room);
            char* out = position;
            if (inRing) RecordTempAt(position, position + room)->length = static_cast<std::int32_t>(parts.total);
            else out = static_cast<char*>(AllocBlock(room, false));
            char* end = CopyParts(parts, out);
            std::memset(end, 0, kTerminatorBytes);  // the room's spare bytes hold them
            if (destination == Destination::File) {
                WriteResultToSlot(request, out, static_cast<std::size_t>(end - out));
            } else {
                // The console takes the result up to its first zero byte: a part from a slot
                // (or UTF-16 text) may hold one; any other result is its measured bytes.
                if (wide || parts.fromSlots) WriteStdout(out);
                else WriteStdoutBytes(out, static_cast<std::uint32_t>(parts.total));
                if (request & kBuildReadKey) ReadKey();
            }
            if (!inRing) FreeBlock(out);
            return nullptr;
        }
        case Destination::Invalid:
            break;
    }
    return nullptr;
}

// A variable assigned the one deferred record of a temporary (a Replace or FileRead$
// result), the newest or one named by its slot: the general path's steps for that call alone.
[[gnu::noinline]] char* BuildRecordToVariable(const TempSlot& slot, Word previous) {
    const std::uint32_t total = RecordTextLength(slot);
    if (total > 0x7FFFFFFFu - kSpareBytes) FatalError(kErrorHeapAlloc);
    char* block = static_cast<char*>(AllocTextBlock(static_cast<std::size_t>(total) + kSpareBytes));
    static_assert(kSpareBytes >= kExpandSlack);
    std::memset(ExpandRecordWithSlack(slot.text, total, block), 0, kTerminatorBytes);  // in the spare bytes
    AssignHeapString(block, reinterpret_cast<const void*>(static_cast<std::uintptr_t>(previous)));
    return block;
}

}  // namespace

char* AssignNewestTemp(const Word* args) {
    if (TempSlotTable.current == 0) RuntimeStart();
    const TempSlot& slot = TempSlotTable.slot[TempSlotTable.current];
    if (slot.isRecord != 0 && slot.text != nullptr) return BuildRecordToVariable(slot, args[1]);
    return BuildGeneral(ToVariable(1), args, nullptr, 0);  // as StringBuilderCore takes any other token
}

char* StringBuilderCore(Word request, const Word* args) {
    if (TempSlotTable.current == 0) RuntimeStart();
    if ((request & kNotPlain) != 0) return BuildGeneral(request, args, nullptr, 0);
    // Byte texts by pointer are measured here; the first part below kLowestAddress (a
    // token, or a value that names no text) hands the rest to the general path.
    const int count = static_cast<int>(request & kBuildPartMask);
    std::uint32_t length[kMaxBuildParts];
    if (count == 1) {  // one line, one message: its own copy of the path, without loops
        const Word token = args[0];
        if (token < kLowestAddress) {
            // The newest temporary, or one named by its slot number.
            const int index = token == kLastTemp ? TempSlotTable.current
                              : token >= SlotToken(1) && token <= SlotToken(kTempSlotCount) ? static_cast<int>(token - 10)
                                                                                            : 0;
            if (index != 0 && (request & kBuildToVariableBit) != 0) {
                const TempSlot& slot = TempSlotTable.slot[index];
                if (slot.isRecord != 0 && slot.text != nullptr) return BuildRecordToVariable(slot, args[1]);
            }
            return BuildGeneral(request, args, nullptr, 0);
        }
        length[0] = TextLength(PlainText(token));
        return BuildPlain(request, args, length, 1, length[0]);
    }
    std::uint32_t total = 0;
    for (int i = 0; i < count; ++i) {
        const Word token = args[i];
        if (token < kLowestAddress) return BuildGeneral(request, args, length, i);
        length[i] = TextLength(PlainText(token));
        if (__builtin_add_overflow(total, length[i], &total)) FatalError(kErrorHeapAlloc);
    }
    return BuildPlain(request, args, length, count, total);
}

}  // namespace tarnfold

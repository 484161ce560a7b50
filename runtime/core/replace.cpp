// Replace: lists the matches into a splice record for the builder to expand.
#include "replace.h"

#include <emmintrin.h>

#include <algorithm>
#include <cstring>

#include "../arrays_text/find_scan.h"
#include "../arrays_text/find_text.h"
#include "../errors_console/fatal_error.h"
#include "deferred_record.h"
#include "temp_slots.h"
#include "text_length.h"

namespace tarnfold {

namespace {

Word AsWord(const char* text) { return static_cast<Word>(reinterpret_cast<std::uintptr_t>(text)); }

// A text argument as a zero-terminated text: the splice reads its texts to their zero bytes
// when it is expanded. A token names a constant or a temporary, any other value below
// 64 KiB the empty text; a deferred record, or a view that does not end at a zero byte
// (SubText's), is refused with FatalError 9.
const char* TerminatedText(const char* arg) {
    if (reinterpret_cast<std::uintptr_t>(arg) >= kLowestAddress) return arg;
    const TextRef ref = ResolveTextSource(arg);
    if (ref.text[ref.length] != '\0') FatalError(kErrorInsufficientBuffer);
    return ref.text;
}

// The bytes without a candidate after which ListCloseMatches hands over to the bulk scan.
// Its screen needs no setup and costs a few instructions a block, so it serves short lines
// and fields, and texts whose matches lie closer than this; farther apart, the bulk scan's
// wider screen costs less.
constexpr std::size_t kCloseRun = 256;

constexpr std::uintptr_t kPage = 4096;

// The ring bytes clear of live temporaries that make the write position serve a record
// as it stands (RingPositionKeeping keeps as many clear).
constexpr std::size_t kRecordRoom = 8 * 1024 + 64;

const char* BlockOf(const char* at) {
    return reinterpret_cast<const char*>(reinterpret_cast<std::uintptr_t>(at) & ~std::uintptr_t{15});
}
// The last aligned block of the page that holds `block`.
const char* LastBlockOfPage(const char* block) {
    return reinterpret_cast<const char*>(reinterpret_cast<std::uintptr_t>(block) | (kPage - 16));
}

// The screen of ListCloseMatches: lane j of a block is a candidate when the found text's
// first byte lies at j and its second at j + 1, or the byte at j is zero. The block is read
// aligned and again from its second byte: that read reaches one byte into the next block,
// which lies in the same page but for a page's last block. Either may cover bytes after the
// terminator, within a page that holds text; the lanes from the terminator on are not
// trusted, so the sanitizer is not to report them.
struct CloseScreen {
    __m128i first, second, zero;

    explicit CloseScreen(const char* found)
        : first(Broadcast(found[0])), second(Broadcast(found[1])), zero(_mm_setzero_si128()) {}

    static __m128i Broadcast(char byte) {
        return _mm_set1_epi32(static_cast<int>(static_cast<unsigned char>(byte) * 0x01010101u));
    }

    // Zero in the lanes of a candidate or a zero byte: where both bytes agree, the bytes'
    // difference is zero, and so is its minimum with the bytes at a zero byte.
    [[gnu::always_inline]] __m128i Quiet(__m128i bytes, __m128i after) const {
        const __m128i differ = _mm_or_si128(_mm_xor_si128(bytes, first), _mm_xor_si128(after, second));
        return _mm_min_epu8(differ, bytes);
    }
    // A block other than its page's last.
    [[gnu::no_sanitize_address]] __m128i Quiet(const char* block) const {
        return Quiet(_mm_load_si128(reinterpret_cast<const __m128i*>(block)),
                     _mm_loadu_si128(reinterpret_cast<const __m128i*>(block + 1)));
    }
    unsigned Mask(__m128i quiet) const {
        return static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(quiet, zero)));
    }
    unsigned Lanes(__m128i bytes, __m128i after) const { return Mask(Quiet(bytes, after)); }
    unsigned Lanes(const char* block) const { return Mask(Quiet(block)); }
    // Any block, its lanes from `from` on (those before are no text): at a page's end the
    // byte after the block is read only where those lanes hold no zero, so that the text
    // goes on into the next page.
    [[gnu::no_sanitize_address, gnu::noinline]] unsigned LanesAtPageEnd(const char* block, unsigned from) const {
        const __m128i bytes = _mm_load_si128(reinterpret_cast<const __m128i*>(block));
        __m128i after = _mm_srli_si128(bytes, 1);
        if ((static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, zero))) & from) == 0)
            after = _mm_insert_epi16(after, static_cast<unsigned char>(block[15]) | static_cast<unsigned char>(block[16]) << 8, 7);
        return Lanes(bytes, after) & from;
    }
    unsigned FirstLanes(const char* block, unsigned from) const {
        return block == LastBlockOfPage(block) ? LanesAtPageEnd(block, from) : Lanes(block) & from;
    }
};

// Whether the found text's bytes from index 2 on follow at `at` (its first two agree);
// the first byte that differs, the terminator at the latest, ends the compare.
inline bool RestAgrees(const char* at, const char* found, std::size_t length) {
    for (std::size_t i = 2; i < length; ++i)
        if (at[i] != found[i]) return false;
    return true;
}

// The candidates and zero bytes `lanes` of `block`, in order: true when the list is complete
// (the terminator was reached, or the list stopped).
[[gnu::always_inline]] inline bool TakeLanes(const char* block, unsigned lanes, const char* found, std::size_t length,
                                             MatchList& list) {
    for (; lanes != 0; lanes &= lanes - 1) {
        const char* at = block + __builtin_ctz(lanes);
        if (*at == '\0') {
            list.terminator = at;
            return true;
        }
        if (at >= list.next && RestAgrees(at, found, length) && list.Take(at)) return true;
    }
    return false;
}

// Lists the exact matches of `found` (two or more bytes) from list.next, as the bulk scan
// would, block by block from the start's aligned block while candidates keep coming within
// kCloseRun bytes. Lanes before the start are masked off; the first zero lane is the
// terminator, and a block is read only when the blocks before it hold none. Returns true
// when the list is complete; else list.next is where the bulk scan goes on.
[[gnu::always_inline]] inline bool ListCloseMatches(const char* found, std::size_t length, MatchList& list) {
    const CloseScreen screen(found);
    const char* block = BlockOf(list.next);
    const char* quietEnd = block + kCloseRun;
    unsigned lanes = screen.FirstLanes(block, ~0u << (list.next - block));
    // The blocks from here to `stop` are read by the plain screen: those before the page's
    // last (and before quietEnd).
    const char* stop = std::min(quietEnd, LastBlockOfPage(block + 16));
    for (;;) {
        if (lanes != 0) {
            if (TakeLanes(block, lanes, found, length, list)) return true;
            // Candidates keep the screen going for kCloseRun bytes more.
            quietEnd = block + kCloseRun;
            stop = std::min(quietEnd, LastBlockOfPage(block + 16));
        }
        for (lanes = 0, block += 16; block < stop; block += 16)
            if ((lanes = screen.Lanes(block)) != 0) break;
        if (lanes != 0) continue;
        if (block >= quietEnd) break;
        lanes = screen.LanesAtPageEnd(block, ~0u);
        stop = std::min(quietEnd, block + kPage);  // the next page's last block
    }
    // The blocks before hold text only: the bulk scan goes on from the first candidate not
    // yet examined.
    if (list.next < block) list.next = block;
    return false;
}

// The matches of `found` (`length` bytes, at least one) from list.next in one forward pass,
// as FindText compares in `mode`: an exact search lists close matches in a pass of its own.
[[gnu::always_inline]] inline void ListMatches(const char* source, const char* found, std::size_t length, Word mode, MatchList& list) {
    if ((mode & (FindFold | FindFoldFirst | FindWholeWord)) == 0 && length >= 2) {
        if (!ListCloseMatches(found, length, list))
            ScanScreenedForward(source, ScreenedPattern{found, FoldKind::Exact, false, length}, list);
        return;
    }
    if (length == 1) return ScanByteForward(found[0], list);
    const FoldKind fold = (mode & FindFold) ? FoldKind::All : (mode & FindFoldFirst) ? FoldKind::FirstOnly : FoldKind::Exact;
    const bool wholeWord = (mode & FindWholeWord) != 0 && static_cast<signed char>(found[0]) > 0x20;
    if (fold == FoldKind::Exact && !wholeWord && ListCloseMatches(found, length, list)) return;
    ScanScreenedForward(source, ScreenedPattern{found, fold, wholeWord, length}, list);
}

// ListMatches where the list goes on in more room: kept apart from the usual path.
[[gnu::noinline]] void ListMoreMatches(const char* source, const char* found, std::size_t length, Word mode,
                                       MatchList& list) {
    ListMatches(source, found, length, mode, list);
}

}  // namespace

RecordedTemp Replace(const char* source, const char* found, const char* replacement, Word mode) {
    if (TempSlotTable.current == 0) RuntimeStart();
    source = TerminatedText(source);
    found = TerminatedText(found);
    replacement = TerminatedText(replacement);
    const std::size_t foundLength = TextLength(found);
    constexpr std::size_t kHeaderWords = 5, kTrailerWords = 2;
    Word* record;
    Word* matches;
    MatchList list;
    for (std::size_t asked = 0;;) {
        // The match list may run up to the ring's usable end, or to the first live temporary
        // that lies ahead of the position after a wrap (the source may be one).
        // Read while the list is written: their temporaries are kept where others are given up.
        char* const position = asked != 0 ? RingRoomKeeping(asked, source, found, replacement)
                               : kRecordRoom <= static_cast<std::size_t>(detail::ringClearUntil - detail::ringPosition)
                                   ? CurrentRingPosition()
                                   : RingPositionKeeping(source, found, replacement);
        const char* listEnd = std::min<const char*>(ScratchRing + kRingUsableEnd, detail::ringClearUntil);
        auto listRoom = static_cast<std::size_t>(std::max(listEnd - position, std::ptrdiff_t{0}));
        // The bytes up to the clear end hold no live temporary: the record may take them all.
        lifetime::HandOut(position, listRoom);
        record = reinterpret_cast<Word*>(position);
        // The list stops at the clear end: a live temporary beyond it is never written over.
        const std::size_t words = listRoom / sizeof(Word);
        if (words < kHeaderWords + kTrailerWords) FatalError(kErrorInsufficientBuffer);
        record[0] = kRecordMark;
        record[1] = kRecordSplice;
        record[2] = AsWord(replacement);
        record[3] = static_cast<Word>(foundLength);
        record[4] = AsWord(source);

        // Matches forward in one pass, each after the end of the previous one, so none
        // overlap: as searches from explicit starts would find them. The pass takes the
        // mode's comparison bits and never its direction.
        matches = record + kHeaderWords;
        list = MatchList{matches, words - kHeaderWords - kTrailerWords, (mode >> kReplaceLimitShift) & 0xFF,
                         foundLength, source};
        if (foundLength != 0) ListMatches(source, found, foundLength, mode, list);
        // The clear end known at the start may lie short of the first live temporary: where
        // the list met it, the ring is looked at and the list goes on in the room found.
        while (list.full && listEnd < ScratchRing + kRingUsableEnd && RingClearSlow(position, 0) &&
               detail::ringClearUntil > listEnd) {
            listEnd = std::min<const char*>(ScratchRing + kRingUsableEnd, detail::ringClearUntil);
            listRoom = static_cast<std::size_t>(listEnd - position);
            lifetime::HandOut(position, listRoom);
            list.room = listRoom / sizeof(Word) - kHeaderWords - kTrailerWords;
            list.full = false;
            ListMoreMatches(source, found, foundLength, mode, list);
        }
        if (!list.full) [[likely]]
            break;
        // A list that reached the usable end from a position short of the wrap does not fit.
        // One that met a live temporary, or began past the wrap (a loop of large results),
        // is listed again in twice the room, found elsewhere in the ring or made by giving
        // up the oldest temporaries.
        if (listEnd >= ScratchRing + kRingUsableEnd && position < ScratchRing + kRingWrapOffset)
            FatalError(kErrorInsufficientBuffer);
        asked = 2 * listRoom + 4096;
    }
    // As the last search would leave it: the last match when the limit ended the list, else 0.
    const char* end = list.terminator;
    LastMatch = end == nullptr && list.count != 0 ? static_cast<std::int32_t>(list.next - foundLength - source + 1) : 0;
    if (end == nullptr) end = list.next + TextLength(list.next);  // stopped by the limit, or no search

    // The texts lie in a 32-bit address space, so their lengths and difference fit 32 bits;
    // the result must stay below 0x7FFFFFFF.
    const auto sourceLength = static_cast<std::int32_t>(end - source);
    const auto change = static_cast<std::int32_t>(TextLength(replacement)) - static_cast<std::int32_t>(foundLength);
    std::int32_t length;
    if (__builtin_mul_overflow(static_cast<std::int32_t>(list.count), change, &length) ||
        __builtin_add_overflow(length, sourceLength, &length) || length == 0x7FFFFFFF)
        FatalError(kErrorInsufficientBuffer);
    if (length == 0) {
        record[0] = 0;  // the temporary's text reads as empty
        return RecordTemp(record);
    }
    matches[list.count] = AsWord(end);
    matches[list.count + 1] = 0;
    char* const start = reinterpret_cast<char*>(record);
    TempSlot* slot = RecordTempAt(start, reinterpret_cast<const char*>(matches + list.count + kTrailerWords));
    MarkRecordTemp(slot, length + 1);
    return {start, slot};
}

}  // namespace tarnfold

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

// Words from `at` to the ring's usable end.
std::size_t WordsLeft(const Word* at) {
    auto left = ScratchRing + kRingUsableEnd - reinterpret_cast<const char*>(at);
    return left > 0 ? static_cast<std::size_t>(left) / sizeof(Word) : 0;
}

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

// The bytes of a short text that ExactShortPass screens before it hands over to the bulk
// scan: lines and fields end in it, where setting up the bulk scan would cost more.
constexpr std::size_t kShortPassBlocks = 16;

// Block reads may cover bytes around the text that it does not hold, within the aligned
// 16 bytes (never another page) of a byte that it does hold.
[[gnu::no_sanitize_address]] inline unsigned LaneBits(const char* block, __m128i bytes) {
    return static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(_mm_load_si128(reinterpret_cast<const __m128i*>(block)), bytes)));
}

// Whether the found text's bytes from index 2 on follow at `at` (its first two agree);
// the first byte that differs, the terminator at the latest, ends the compare.
inline bool RestAgrees(const char* at, const char* found, std::size_t length) {
    for (std::size_t i = 2; i < length; ++i)
        if (at[i] != found[i]) return false;
    return true;
}

// The candidates of `pairs` (bit j: the found text's first two bytes at block + j - 1),
// up to the terminator when `ends` holds it; true when the list is complete.
[[gnu::always_inline]] inline bool TakePairs(const char* block, unsigned pairs, unsigned ends, const char* found, std::size_t length,
                                 MatchList& list) {
    if (ends != 0) pairs &= (ends & (0u - ends)) - 1;  // second bytes before the terminator
    for (; pairs != 0; pairs &= pairs - 1) {
        const char* at = block + __builtin_ctz(pairs) - 1;
        if (at >= list.next && RestAgrees(at, found, length) && list.Take(at)) return true;
    }
    if (ends == 0) return false;
    list.terminator = block + __builtin_ctz(ends);
    return true;
}

// Lists the exact matches of `found` (two or more bytes) from list.next, as the bulk scan
// would, over the aligned blocks that hold the first kShortPassBlocks * 16 bytes: a
// candidate holds the found text's first byte in one lane and its second in the next (a
// first byte in lane 15 is carried into the next block). Lanes before the start are masked
// off, and those from the terminator on are never trusted, so only the blocks that hold
// text or its terminator are read. Returns true when the list is complete: the terminator
// was reached (list.terminator) or the list stopped; else list.next is where the bulk scan
// goes on.
bool ExactShortPass(const char* found, std::size_t length, MatchList& list) {
    const __m128i first = _mm_set1_epi8(found[0]), second = _mm_set1_epi8(found[1]), zero = _mm_setzero_si128();
    const char* start = list.next;
    const char* block = reinterpret_cast<const char*>(reinterpret_cast<std::uintptr_t>(start) & ~std::uintptr_t{15});
    const char* const last = block + 16 * (kShortPassBlocks - 1);
    const unsigned after = ~0u << (start - block);
    unsigned heads = LaneBits(block, first) & after;
    unsigned ends = LaneBits(block, zero) & after;
    unsigned pairs = (heads << 1) & LaneBits(block, second);
    for (;;) {
        if ((pairs | ends) != 0 && TakePairs(block, pairs, ends, found, length, list)) return true;
        if (block == last) break;
        block += 16;
        const unsigned carried = heads >> 15;
        heads = LaneBits(block, first);
        ends = LaneBits(block, zero);
        pairs = ((heads << 1) | carried) & LaneBits(block, second);
    }
    // The bulk scan goes on from the first candidate not yet examined: lane 15 of the last
    // block, or what follows it.
    if (list.next < block + 15) list.next = block + 15;
    return false;
}

// The matches of `found` (`length` bytes, at least one) from list.next in one forward pass,
// as FindText compares in `mode`: a short text of an exact search in one pass of its own.
void ListMatches(const char* source, const char* found, std::size_t length, Word mode, MatchList& list) {
    if (length == 1) return ScanByteForward(found[0], list);
    const FoldKind fold = (mode & FindFold) ? FoldKind::All : (mode & FindFoldFirst) ? FoldKind::FirstOnly : FoldKind::Exact;
    const bool wholeWord = (mode & FindWholeWord) != 0 && static_cast<signed char>(found[0]) > 0x20;
    if (fold == FoldKind::Exact && !wholeWord && ExactShortPass(found, length, list)) return;
    ScanScreenedForward(source, ScreenedPattern{found, fold, wholeWord, length}, list);
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
        char* const position = asked == 0 ? RingPositionKeeping(source, found, replacement)
                                          : RingRoomKeeping(asked, source, found, replacement);
        const char* const listEnd = std::min<const char*>(ScratchRing + kRingUsableEnd, detail::ringClearUntil);
        const auto listRoom = static_cast<std::size_t>(std::max(listEnd - position, std::ptrdiff_t{0}));
        // The bytes up to the clear end hold no live temporary: the record may take them all.
        lifetime::HandOut(position, listRoom);
        record = reinterpret_cast<Word*>(position);
        if (WordsLeft(record) < kHeaderWords + kTrailerWords) FatalError(kErrorInsufficientBuffer);
        record[0] = kRecordMark;
        record[1] = kRecordSplice;
        record[2] = AsWord(replacement);
        record[3] = static_cast<Word>(foundLength);
        record[4] = AsWord(source);

        // Matches forward in one pass, each after the end of the previous one, so none
        // overlap: as searches from explicit starts would find them. The pass takes the
        // mode's comparison bits and never its direction.
        matches = record + kHeaderWords;
        list = MatchList{matches, WordsLeft(matches) - kTrailerWords, (mode >> kReplaceLimitShift) & 0xFF,
                         foundLength, source};
        if (foundLength != 0) ListMatches(source, found, foundLength, mode, list);
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

    const auto sourceLength = static_cast<std::int64_t>(end - source);
    const auto replacementLength = static_cast<std::int64_t>(TextLength(replacement));
    const std::int64_t length =
        sourceLength + static_cast<std::int64_t>(list.count) * (replacementLength - static_cast<std::int64_t>(foundLength));
    if (length >= 0x7FFFFFFF) FatalError(kErrorInsufficientBuffer);
    if (length == 0) {
        record[0] = 0;  // the temporary's text reads as empty
        return RecordTemp(record);
    }
    matches[list.count] = AsWord(end);
    matches[list.count + 1] = 0;
    char* const start = reinterpret_cast<char*>(record);
    TempSlot* slot = RecordTempAt(start, reinterpret_cast<const char*>(matches + list.count + kTrailerWords));
    MarkRecordTemp(slot, static_cast<std::int32_t>(length) + 1);
    return {start, slot};
}

}  // namespace tarnfold

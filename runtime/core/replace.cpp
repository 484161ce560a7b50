// Replace: lists the matches into a splice record for the builder to expand.
#include "replace.h"

#include <algorithm>
#include <cstring>

#include "../arrays_text/find_scan.h"
#include "../arrays_text/find_text.h"
#include "../errors_console/fatal_error.h"
#include "deferred_record.h"
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

}  // namespace

RecordedTemp Replace(const char* source, const char* found, const char* replacement, Word mode) {
    if (TempSlotTable.current == 0) RuntimeStart();
    source = TerminatedText(source);
    found = TerminatedText(found);
    replacement = TerminatedText(replacement);
    // The match list may run up to the ring's usable end, or to the first live temporary
    // that lies ahead of the position after a wrap (the source may be one).
    char* const position = RingPosition();
    const char* const listEnd = std::min<const char*>(ScratchRing + kRingUsableEnd, RingClearEnd());
    const auto listRoom = static_cast<std::size_t>(std::max(listEnd - position, std::ptrdiff_t{0}));
    Word* record = reinterpret_cast<Word*>(RingRoom(listRoom));
    constexpr std::size_t kHeaderWords = 5, kTrailerWords = 2;
    if (WordsLeft(record) < kHeaderWords + kTrailerWords) FatalError(kErrorInsufficientBuffer);
    const std::size_t foundLength = TextLength(found);
    record[0] = kRecordMark;
    record[1] = kRecordSplice;
    record[2] = AsWord(replacement);
    record[3] = static_cast<Word>(foundLength);
    record[4] = AsWord(source);

    // Matches forward in one pass, each after the end of the previous one, so none
    // overlap: as searches from explicit starts would find them. The pass takes the mode's
    // comparison bits and never its direction.
    Word* matches = record + kHeaderWords;
    MatchList list{matches, WordsLeft(matches) - kTrailerWords, (mode >> kReplaceLimitShift) & 0xFF,
                   foundLength, source};
    if (foundLength != 0) ListMatchesForward(source, found, mode, list);
    if (list.full) FatalError(kErrorInsufficientBuffer);
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
    RecordedTemp temp = RecordTemp(matches + list.count + kTrailerWords);
    MarkRecordTemp(temp.slot, static_cast<std::int32_t>(length) + 1);
    return temp;
}

}  // namespace tarnfold

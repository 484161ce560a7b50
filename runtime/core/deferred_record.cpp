// Expansion of zero-fill, file-contents and splice records into the builder's output.
#include "deferred_record.h"

#include <emmintrin.h>

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "../errors_console/fatal_error.h"
#include "../files/file_slots.h"
#include "../files/slot_handles.h"
#include "copy_bytes.h"
#include "text_length.h"

namespace tarnfold {

namespace {

const char* AsText(Word word) { return reinterpret_cast<const char*>(static_cast<std::uintptr_t>(word)); }

// Copies [from, to) unless the gap is empty or negative; stops at `limit`.
char* CopyGap(char* out, const char* from, const char* to, const char* limit) {
    if (to <= from) return out;
    std::size_t size = static_cast<std::size_t>(to - from);
    std::size_t room = static_cast<std::size_t>(limit - out);
    if (size > room) size = room;
    CopyLongBytes(out, from, size);
    return out + size;
}

// Sixteen bytes from `from` to `out`. The splice reads them where they lie in one page with
// a byte of the text it copies (past that text's end at times), so the sanitizer is not to
// report them.
[[gnu::no_sanitize_address]] inline void Move16(char* out, const char* from) {
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm_loadu_si128(reinterpret_cast<const __m128i*>(from)));
}
[[gnu::no_sanitize_address]] inline __m128i Load16(const char* from) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(from));
}
// Whether `from` and `to` lie in one page.
inline bool SamePage(const char* from, const char* to) {
    return (reinterpret_cast<std::uintptr_t>(from) ^ reinterpret_cast<std::uintptr_t>(to)) < 4096;
}

// Source with each match replaced: S..M1, R, skip F, M1+F..M2, R, ... up to the end pointer.
// Pieces are moved 16 bytes at a time where the moves write within the output (with kSlack,
// also the kExpandSlack bytes after it) and read within the page of a byte of the same text:
// a gap ends where a match or the terminator lies. A move writes past its piece only what the
// next piece, or the terminator, writes over. A gap of up to 32 bytes takes one or two moves
// while 32 bytes of output remain; with kSlack a gap of up to kMovedGap bytes that ends within
// the output takes a loop of moves. A replacement of up to 16 bytes is loaded once and stored
// whole. Other pieces are copied exactly, and the output never passes the limit.
constexpr std::size_t kMovedGap = 96;

template <bool kSlack>
char* ExpandSplice(const Word* record, char* out, const char* limit) {
    const char* replacement = AsText(record[2]);
    const std::size_t found = record[3];
    const char* source = AsText(record[4]);
    // The replacement's first 16 bytes, where they lie in its page, measure a short one.
    __m128i replacementBytes = _mm_setzero_si128();
    std::size_t replacementLength = 0;
    bool shortReplacement = false;
    if (SamePage(replacement, replacement + 15)) {
        replacementBytes = Load16(replacement);
        const auto zeros = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(replacementBytes, _mm_setzero_si128())));
        shortReplacement = zeros != 0;
        replacementLength = shortReplacement ? static_cast<std::size_t>(__builtin_ctz(zeros)) : 16 + TextLength(replacement + 16);
        CheckTextBytes(replacement, static_cast<std::uint32_t>(replacementLength));
    } else {
        replacementLength = TextLength(replacement);
    }
    const Word* match = record + 5;
    // Up to these the moves and the store may start (null: never).
    const char* const gapMoves = limit - out >= 32 ? limit - 32 : nullptr;
    const std::size_t storeRoom = kSlack ? replacementLength : 16;
    const char* const replacementStore =
        shortReplacement && static_cast<std::size_t>(limit - out) >= storeRoom ? limit - storeRoom : nullptr;
    auto copyGap = [&](const char* to) __attribute__((always_inline)) {
        const std::size_t gap = static_cast<std::size_t>(to - source);  // a negative gap is huge
        if (gap <= 32 && out <= gapMoves && SamePage(source + 31, to)) {
            Move16(out, source);
            if (gap > 16) Move16(out + 16, source + 16);
            return out + gap;
        }
        if constexpr (kSlack) {
            if (gap <= kMovedGap && gap <= static_cast<std::size_t>(limit - out) && SamePage(to, to + 15)) {
                std::size_t at = 0;
                for (; at + 16 < gap; at += 32) {
                    Move16(out + at, source + at);
                    Move16(out + at + 16, source + at + 16);
                }
                if (at < gap) Move16(out + at, source + at);
                return out + gap;
            }
        }
        return CopyGap(out, source, to, limit);
    };
    for (; match[1] != 0; ++match) {  // the last non-zero word is the end pointer
        const char* at = AsText(*match);
        out = copyGap(at);
        if (out <= replacementStore) {
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out), replacementBytes);
            out += replacementLength;
        } else {
            out = CopyGap(out, replacement, replacement + replacementLength, limit);
        }
        source = at + found;
    }
    return copyGap(AsText(*match));
}

// The `byte count` bytes of the named file, read on a handle of its own (no file slot is
// touched). A file that cannot be opened now (shared for writing elsewhere, gone) ends the
// program as a missing one does when the record is made, and so does a file whose size
// changed since it was measured: padding a shrunk file with zeros or cutting a grown one
// would be corrupted data. The output always advances by the count.
char* ExpandFileContents(const Word* record, char* out, const char* limit) {
    std::size_t size = record[3];
    std::size_t room = static_cast<std::size_t>(limit - out);
    if (size > room) size = room;
    const char* name = AsText(record[2]);
    Word opened = kFreeSlot;
    if (OpenInputInto(opened, name, kNoSearch) == kFailedSlot) FatalError(kErrorOpenForRecall, name);
    HANDLE file = HandleOf(opened);
    DWORD high = 0;
    const DWORD now = GetFileSize(file, &high);
    DWORD delivered = 0;
    const BOOL read = ReadFile(file, out, static_cast<DWORD>(size), &delivered, nullptr);
    CloseHandle(file);
    if (high != 0 || now != record[3] || !read || delivered != size) FatalError(kErrorOpenForRecall, name);
    return out + size;
}

}  // namespace

char* ExpandRecord(const char* text, std::uint32_t size, char* out) {
    const Word* record = reinterpret_cast<const Word*>(text);
    const char* limit = out + size;
    switch (record[1]) {
        case kRecordSplice:
            return ExpandSplice<false>(record, out, limit);
        case kRecordFileContents:
            return ExpandFileContents(record, out, limit);
        default:
            // Zero fill, and any other kind: n zero bytes.
            std::memset(out, 0, size);
            return out + size;
    }
}

char* ExpandRecordWithSlack(const char* text, std::uint32_t size, char* out) {
    const Word* record = reinterpret_cast<const Word*>(text);
    if (record[1] == kRecordSplice) return ExpandSplice<true>(record, out, out + size);
    return ExpandRecord(text, size, out);
}

bool RecordReadsFrom(const char* text, const char* from, const char* to) {
    auto overlaps = [from, to](const void* start, std::size_t size) {
        const char* first = static_cast<const char*>(start);
        return size != 0 && first < to && from < first + size;
    };
    const Word* record = reinterpret_cast<const Word*>(text);
    switch (record[1]) {
        case kRecordSplice: {
            std::size_t words = 6;  // mark, kind, R, F, S, end pointer
            while (record[words] != 0) ++words;
            const char* source = AsText(record[4]);
            const char* replacement = AsText(record[2]);
            return overlaps(record, (words + 1) * sizeof(Word)) ||
                   overlaps(replacement, std::strlen(replacement) + 1) ||
                   (AsText(record[words - 1]) > source &&
                    overlaps(source, static_cast<std::size_t>(AsText(record[words - 1]) - source)));
        }
        case kRecordFileContents: {
            const char* name = AsText(record[2]);
            return overlaps(record, 4 * sizeof(Word)) || overlaps(name, std::strlen(name) + 1);
        }
        default:
            return overlaps(record, 3 * sizeof(Word));
    }
}

}  // namespace tarnfold

// File queries: whether a name exists (its directory entry) and a file's 64-bit size.
#pragma once

#include <cstdint>

#include "file_slots.h"

namespace tarnfold {

// A directory entry in the system's find-record layout (320 bytes); times are 100 ns
// intervals since 1601 in two 32-bit halves, low first.
struct FindData {
    Word attributes;
    Word creationTime[2];
    Word lastAccessTime[2];
    Word lastWriteTime[2];
    Word sizeHigh;
    Word sizeLow;
    Word reserved[2];
    char name[260];
    char shortName[14];
};
static_assert(sizeof(FindData) == 320);

inline constexpr Word kAttributeNormal = 0x80;

// The directory entry of the last FindFile lookup.
extern FindData FindDataBuffer;
// The search FindFile left open (close 0), or 0. The runtime never closes it.
extern Word FindHandle;

inline constexpr Word kCloseSearch = 1;
inline constexpr Word kKeepSearch = 0;

// Looks `name` up with FindFirstFileA ('*' and '?' allowed in its last element) and fills
// FindDataBuffer. Returns the search handle (non-zero) when found, else 0. With `close`
// non-zero the search is closed at once and the result is only a flag; with 0 it stays
// open in FindHandle. One system lookup; never fails. A name below 64 KiB is not read
// and not found.
Word FindFile(const char* name, Word close);

struct FileSizeResult {
    std::uint32_t low;   // 0xFFFFFFFF on failure
    std::uint32_t high;  // no meaning on failure
};
inline constexpr std::uint32_t kFileSizeFailed = 0xFFFFFFFFu;

// The 64-bit size of the file open in a slot (0..9) or of a named file, without reading
// it. A free or failed slot, a missing name or a FileRef from 10 to 0xFFFF gives low
// kFileSizeFailed.
FileSizeResult FileSize(FileRef source);

}  // namespace tarnfold

// File queries: whether a name exists (its directory entry) and a file's 64-bit size.
#pragma once

#include <cstdint>

#include "../platform/win32.h"
#include "file_slots.h"

namespace tarnfold {

// The directory entry of the last FindFile lookup (the system's 320-byte find record).
extern WIN32_FIND_DATAA FindDataBuffer;
// The search FindFile left open (close 0), or 0. The runtime never closes it.
extern Word FindHandle;

inline constexpr Word kCloseSearch = 1;
inline constexpr Word kKeepSearch = 0;

// Looks `name` up with FindFirstFileA ('*' and '?' allowed in its last element) and fills
// FindDataBuffer. Returns the search handle (non-zero) when found, else 0. With `close`
// non-zero the search is closed at once and the result is only a flag; with 0 it stays
// open in FindHandle. One system lookup; never fails.
Word FindFile(const char* name, Word close);

struct FileSizeResult {
    std::uint32_t low;   // 0xFFFFFFFF on failure
    std::uint32_t high;  // no meaning on failure
};
inline constexpr std::uint32_t kFileSizeFailed = 0xFFFFFFFFu;

// The 64-bit size of the file open in a slot (0..9) or of a named file, without reading
// it. A free or failed slot or a missing name gives low kFileSizeFailed.
FileSizeResult FileSize(FileRef source);

}  // namespace tarnfold

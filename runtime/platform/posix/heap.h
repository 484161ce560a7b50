// Process heap of the POSIX emulation: HeapSize reports the size asked for, as Windows does.
//
// malloc blocks whose sizes live in a table of live blocks (live_blocks.h), not in front of
// them. GetProcessHeap, and HeapAlloc and HeapFree on their usual path (a live block, no
// injected fault), are inline: the same checks, without the calls.
#pragma once
#include <cstdlib>

#include "errors.h"
#include "fault_injection.h"
#include "live_blocks.h"
#include "types.h"

namespace tarnfold::posix::detail {
extern int processHeapTag;           // the process heap's handle is its address
extern LiveBlocks liveBlocks;
inline constexpr SIZE_T kLargestBlock = 0x7FFF0000u;
}  // namespace tarnfold::posix::detail

inline HANDLE GetProcessHeap() { return &tarnfold::posix::detail::processHeapTag; }

// HeapAlloc and HeapFree for every call the inline forms do not finish.
LPVOID HeapAllocSlow(HANDLE heap, DWORD flags, SIZE_T bytes);
BOOL HeapFreeSlow(HANDLE heap, DWORD flags, LPVOID block);

inline LPVOID HeapAlloc(HANDLE heap, DWORD flags, SIZE_T bytes) {
    namespace detail = tarnfold::posix::detail;
    // malloc's blocks are 8-aligned or better, as HeapAlloc's are on 32-bit Windows.
    if (heap == &detail::processHeapTag && (flags & HEAP_ZERO_MEMORY) == 0 && bytes - 1 < detail::kLargestBlock &&
        detail::faultCountdown[static_cast<int>(tarnfold::posix::FaultPoint::Allocation)] == 0) {
        if (void* block = std::malloc(bytes)) {
            if (detail::liveBlocks.Insert(block, bytes)) return block;
            std::free(block);
        }
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    return HeapAllocSlow(heap, flags, bytes);
}
LPVOID HeapReAlloc(HANDLE heap, DWORD flags, LPVOID block, SIZE_T bytes);
// The block freed is one that the table holds: a caller that passes another pointer (a test
// of the refusal, say) is refused before the free that the compiler would warn of.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wfree-nonheap-object"
#endif
inline BOOL HeapFree(HANDLE heap, DWORD flags, LPVOID block) {
    namespace detail = tarnfold::posix::detail;
    if (heap == &detail::processHeapTag) {
        if (SIZE_T* size = detail::liveBlocks.Find(block)) {
            detail::liveBlocks.Erase(size);
            std::free(block);
            return TRUE;
        }
    }
    return HeapFreeSlow(heap, flags, block);
}
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic pop
#endif
// A pointer that is not a live block of this heap (foreign, interior or freed) is refused
// without reading memory near it: HeapFree FALSE, HeapSize (SIZE_T)-1, HeapReAlloc null,
// each with ERROR_INVALID_PARAMETER, as Windows refuses them. HeapFree(null) succeeds.
SIZE_T HeapSize(HANDLE heap, DWORD flags, LPCVOID block);

// Process heap: malloc blocks whose sizes live in a table of live blocks, not in front of them.
#include "../win32.h"

#include <cstdlib>
#include <cstring>

#include "fault_injection.h"
#include "live_blocks.h"

namespace tarnfold::posix::detail {
int processHeapTag;
LiveBlocks liveBlocks;
}  // namespace tarnfold::posix::detail

namespace {

using tarnfold::posix::detail::kLargestBlock;
using tarnfold::posix::detail::liveBlocks;
using tarnfold::posix::detail::processHeapTag;

LPVOID Refuse(DWORD error) {
    SetLastError(error);
    return nullptr;
}

}  // namespace

LPVOID HeapAllocSlow(HANDLE heap, DWORD flags, SIZE_T bytes) {
    if (heap != &processHeapTag || bytes > kLargestBlock) return Refuse(ERROR_NOT_ENOUGH_MEMORY);
    if (tarnfold::posix::FaultDue(tarnfold::posix::FaultPoint::Allocation)) return Refuse(ERROR_NOT_ENOUGH_MEMORY);
    // malloc's blocks are 8-aligned or better, as HeapAlloc's are on 32-bit Windows.
    const SIZE_T asked = bytes != 0 ? bytes : 1;
    void* block = (flags & HEAP_ZERO_MEMORY) ? std::calloc(1, asked) : std::malloc(asked);
    if (block == nullptr) return Refuse(ERROR_NOT_ENOUGH_MEMORY);
    if (!liveBlocks.Insert(block, bytes)) {
        std::free(block);
        return Refuse(ERROR_NOT_ENOUGH_MEMORY);
    }
    return block;
}

LPVOID HeapReAlloc(HANDLE heap, DWORD flags, LPVOID block, SIZE_T bytes) {
    SIZE_T* size = heap == &processHeapTag ? liveBlocks.Find(block) : nullptr;
    if (size == nullptr) return Refuse(ERROR_INVALID_PARAMETER);
    if (bytes > kLargestBlock || tarnfold::posix::FaultDue(tarnfold::posix::FaultPoint::Allocation))
        return Refuse(ERROR_NOT_ENOUGH_MEMORY);
    const SIZE_T oldSize = *size;
    // Out of the table while realloc owns it; the erase makes room, so entering the block
    // again never needs to grow the table.
    liveBlocks.Erase(size);
    auto* moved = static_cast<char*>(std::realloc(block, bytes != 0 ? bytes : 1));
    if (moved == nullptr) {
        liveBlocks.Insert(block, oldSize);
        return Refuse(ERROR_NOT_ENOUGH_MEMORY);
    }
    liveBlocks.Insert(moved, bytes);
    if ((flags & HEAP_ZERO_MEMORY) && bytes > oldSize) std::memset(moved + oldSize, 0, bytes - oldSize);
    return moved;
}

BOOL HeapFreeSlow(HANDLE heap, DWORD, LPVOID block) {
    if (heap != &processHeapTag) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (block == nullptr) return TRUE;
    SIZE_T* size = liveBlocks.Find(block);
    if (size == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    liveBlocks.Erase(size);
    std::free(block);
    return TRUE;
}

SIZE_T HeapSize(HANDLE heap, DWORD, LPCVOID block) {
    const SIZE_T* size = heap == &processHeapTag ? liveBlocks.Find(block) : nullptr;
    if (size == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return static_cast<SIZE_T>(-1);
    }
    return *size;
}

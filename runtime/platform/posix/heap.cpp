// Process heap: malloc blocks behind a header that keeps the size asked for.
#include "../win32.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace {

// Eight bytes keep the blocks 8-aligned, as HeapAlloc's are on 32-bit Windows.
struct BlockHeader {
    std::uint32_t size;
    std::uint32_t magic;
};
constexpr std::uint32_t kLiveMagic = 0x48656170;  // "Heap"
constexpr std::uint32_t kFreedMagic = 0x46726565;  // "Free"
int processHeapTag;

BlockHeader* HeaderOf(LPCVOID block) {
    return reinterpret_cast<BlockHeader*>(const_cast<char*>(static_cast<const char*>(block)) -
                                          sizeof(BlockHeader));
}

bool IsLiveBlock(HANDLE heap, LPCVOID block) {
    return heap == &processHeapTag && block != nullptr && HeaderOf(block)->magic == kLiveMagic;
}

}  // namespace

HANDLE GetProcessHeap() { return &processHeapTag; }

LPVOID HeapAlloc(HANDLE heap, DWORD flags, SIZE_T bytes) {
    if (heap != &processHeapTag || bytes > 0x7FFF0000u) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    auto* header = static_cast<BlockHeader*>(
        (flags & HEAP_ZERO_MEMORY) ? std::calloc(1, sizeof(BlockHeader) + bytes)
                                   : std::malloc(sizeof(BlockHeader) + bytes));
    if (header == nullptr) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    header->size = static_cast<std::uint32_t>(bytes);
    header->magic = kLiveMagic;
    return header + 1;
}

LPVOID HeapReAlloc(HANDLE heap, DWORD flags, LPVOID block, SIZE_T bytes) {
    if (!IsLiveBlock(heap, block)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    if (bytes > 0x7FFF0000u) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    BlockHeader* old = HeaderOf(block);
    std::uint32_t oldSize = old->size;
    auto* header = static_cast<BlockHeader*>(std::realloc(old, sizeof(BlockHeader) + bytes));
    if (header == nullptr) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    header->size = static_cast<std::uint32_t>(bytes);
    if ((flags & HEAP_ZERO_MEMORY) && bytes > oldSize)
        std::memset(reinterpret_cast<char*>(header + 1) + oldSize, 0, bytes - oldSize);
    return header + 1;
}

BOOL HeapFree(HANDLE heap, DWORD, LPVOID block) {
    if (block == nullptr) return heap == &processHeapTag;
    if (!IsLiveBlock(heap, block)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    BlockHeader* header = HeaderOf(block);
    header->magic = kFreedMagic;
    std::free(header);
    return TRUE;
}

SIZE_T HeapSize(HANDLE heap, DWORD, LPCVOID block) {
    if (!IsLiveBlock(heap, block)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return static_cast<SIZE_T>(-1);
    }
    return HeaderOf(block)->size;
}

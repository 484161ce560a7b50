// The live blocks of the emulated process heap: a hash table from block address to size.
//
// The heap asks this table, never the memory in front of a pointer, whether a pointer is
// one of its blocks, so a foreign or already-freed pointer is refused without reading
// memory the heap does not own.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tarnfold::posix {

class LiveBlocks {
public:
    // Enters `block` with its size; false (nothing entered) when the table cannot grow.
    // Amortised constant time: the table doubles at half load.
    bool Insert(const void* block, std::size_t size);
    // The slot holding `block`, or null when it is not a live block. Constant time on average.
    std::size_t* Find(const void* block);
    // Removes `block`, which must be live; the probe run behind it closes up (no tombstones).
    void Erase(const void* block);

private:
    struct Entry {
        std::uintptr_t block;  // 0 = free
        std::size_t size;
    };
    std::size_t Home(std::uintptr_t block) const;
    bool Grow();

    Entry* entries_ = nullptr;
    std::size_t mask_ = 0;   // capacity - 1; the capacity is a power of two
    unsigned shift_ = 0;     // 32 - log2(capacity): the hash's top bits pick the home
    std::size_t count_ = 0;
};

}  // namespace tarnfold::posix

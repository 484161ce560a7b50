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
    // (`block` is not const: a fresh block's bytes are unset, and the compiler would take a
    // const pointer to them for a read.)
    bool Insert(void* block, std::size_t size) {
        if ((count_ + 1) * 2 > mask_ + 1 && !Grow()) return false;
        const auto key = reinterpret_cast<std::uintptr_t>(block);
        std::size_t at = Home(key);
        while (entries_[at].block != 0) at = (at + 1) & mask_;
        entries_[at] = {key, size};
        ++count_;
        return true;
    }
    // The size entry of `block`, or null when it is not a live block. Constant time on
    // average; the pointer stays valid until the next Insert or Erase.
    std::size_t* Find(const void* block) {
        const auto key = reinterpret_cast<std::uintptr_t>(block);
        if (entries_ == nullptr || key == 0) return nullptr;
        for (std::size_t at = Home(key);; at = (at + 1) & mask_) {
            if (entries_[at].block == key) return &entries_[at].size;
            if (entries_[at].block == 0) return nullptr;
        }
    }
    // Removes the block whose size entry Find returned; the probe run behind it closes up
    // (no tombstones). Constant time on average.
    void Erase(std::size_t* found) {
        Entry* entry = reinterpret_cast<Entry*>(reinterpret_cast<char*>(found) - offsetof(Entry, size));
        const auto hole = static_cast<std::size_t>(entry - entries_);
        if (entries_[(hole + 1) & mask_].block != 0) return CloseRun(hole);
        *entry = {0, 0};  // the usual case: no run behind the entry
        --count_;
    }

private:
    struct Entry {
        std::uintptr_t block;  // 0 = free
        std::size_t size;
    };
    // Blocks are at least 8-aligned: drop those bits, then take the top bits of the
    // Fibonacci hash.
    std::size_t Home(std::uintptr_t block) const {
        return (static_cast<std::uint32_t>(block >> 3) * 0x9E3779B1u) >> shift_;
    }
    bool Grow();
    // Erases entry `hole`, moving later entries of its probe run back.
    void CloseRun(std::size_t hole);

    Entry* entries_ = nullptr;
    std::size_t mask_ = 0;   // capacity - 1; the capacity is a power of two
    unsigned shift_ = 0;     // 32 - log2(capacity): the hash's top bits pick the home
    std::size_t count_ = 0;
};

}  // namespace tarnfold::posix

// Open addressing with linear probing over block addresses; erasing shifts the run back.
#include "live_blocks.h"

#include <cstdlib>

namespace tarnfold::posix {

namespace {

constexpr std::size_t kFirstCapacity = 1024;

}  // namespace

// Blocks are at least 8-aligned: drop those bits, then take the top bits of the
// Fibonacci hash.
std::size_t LiveBlocks::Home(std::uintptr_t block) const {
    return (static_cast<std::uint32_t>(block >> 3) * 0x9E3779B1u) >> shift_;
}

bool LiveBlocks::Grow() {
    const std::size_t capacity = entries_ == nullptr ? kFirstCapacity : (mask_ + 1) * 2;
    auto* grown = static_cast<Entry*>(std::calloc(capacity, sizeof(Entry)));
    if (grown == nullptr) return false;
    Entry* old = entries_;
    const std::size_t oldCapacity = old == nullptr ? 0 : mask_ + 1;
    entries_ = grown;
    mask_ = capacity - 1;
    shift_ = 32 - static_cast<unsigned>(__builtin_ctz(static_cast<unsigned>(capacity)));
    for (std::size_t i = 0; i < oldCapacity; ++i) {
        if (old[i].block == 0) continue;
        std::size_t at = Home(old[i].block);
        while (entries_[at].block != 0) at = (at + 1) & mask_;
        entries_[at] = old[i];
    }
    std::free(old);
    return true;
}

bool LiveBlocks::Insert(const void* block, std::size_t size) {
    if ((count_ + 1) * 2 > mask_ + 1 && !Grow()) return false;
    const auto key = reinterpret_cast<std::uintptr_t>(block);
    std::size_t at = Home(key);
    while (entries_[at].block != 0) at = (at + 1) & mask_;
    entries_[at] = {key, size};
    ++count_;
    return true;
}

std::size_t* LiveBlocks::Find(const void* block) {
    const auto key = reinterpret_cast<std::uintptr_t>(block);
    if (entries_ == nullptr || key == 0) return nullptr;
    for (std::size_t at = Home(key);; at = (at + 1) & mask_) {
        if (entries_[at].block == key) return &entries_[at].size;
        if (entries_[at].block == 0) return nullptr;
    }
}

void LiveBlocks::Erase(const void* block) {
    const auto key = reinterpret_cast<std::uintptr_t>(block);
    std::size_t hole = Home(key);
    while (entries_[hole].block != key) hole = (hole + 1) & mask_;
    // Move back every later entry of the run whose home does not lie between the hole
    // and its own place, so that each entry stays reachable from its home.
    for (std::size_t at = (hole + 1) & mask_; entries_[at].block != 0; at = (at + 1) & mask_) {
        const std::size_t home = Home(entries_[at].block);
        if (((at - home) & mask_) >= ((at - hole) & mask_)) {
            entries_[hole] = entries_[at];
            hole = at;
        }
    }
    entries_[hole] = {0, 0};
    --count_;
}

}  // namespace tarnfold::posix

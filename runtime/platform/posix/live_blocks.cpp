// Open addressing with linear probing over block addresses; erasing shifts the run back.
#include "live_blocks.h"

#include <cstddef>
#include <cstdlib>

namespace tarnfold::posix {

namespace {

constexpr std::size_t kFirstCapacity = 1024;

}  // namespace

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

void LiveBlocks::CloseRun(std::size_t hole) {
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

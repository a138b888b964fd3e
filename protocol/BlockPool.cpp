#include "protocol/BlockPool.h"

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <new>

struct BlockPool::Slab {
    char* bytes = nullptr;
    size_t carved = 0;          // blocks handed out at least once
    size_t live = 0;            // blocks in use
    void* freed = nullptr;      // freed blocks, each holding the next one's address
    bool listedWithRoom = false;
};

BlockPool::BlockPool(size_t blockSize, size_t blocksPerSlab)
    : blockSize_((std::max(blockSize, sizeof(void*)) + alignof(void*) - 1) / alignof(void*) * alignof(void*)),
      blocksPerSlab_(std::max<size_t>(blocksPerSlab, 1)) {}

BlockPool::~BlockPool() {
    for (Slab* slab : slabs_) {
        std::free(slab->bytes);
        delete slab;
    }
}

size_t BlockPool::SlabCount() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return slabs_.size();
}

BlockPool::Slab* BlockPool::NewSlab() {
    auto slab = std::make_unique<Slab>();
    slab->bytes = static_cast<char*>(std::malloc(blockSize_ * blocksPerSlab_));
    if (!slab->bytes) throw std::bad_alloc();
    auto at = std::upper_bound(slabs_.begin(), slabs_.end(), slab.get(),
                               [](const Slab* a, const Slab* b) { return a->bytes < b->bytes; });
    try {
        slabs_.insert(at, slab.get());
        withRoom_.reserve(slabs_.size());  // so that Free never allocates
    } catch (...) {
        std::free(slab->bytes);
        throw;
    }
    return slab.release();
}

BlockPool::Slab* BlockPool::SlabOf(const void* block) const {
    const char* byte = static_cast<const char*>(block);
    auto after = std::upper_bound(slabs_.begin(), slabs_.end(), byte,
                                  [](const char* b, const Slab* slab) { return b < slab->bytes; });
    if (after == slabs_.begin()) return nullptr;
    Slab* slab = *(after - 1);
    return byte < slab->bytes + blockSize_ * blocksPerSlab_ ? slab : nullptr;
}

void* BlockPool::Allocate() {
    std::lock_guard<std::mutex> lock(mutex_);
    auto hasRoom = [this](const Slab* slab) { return slab->freed || slab->carved < blocksPerSlab_; };
    while (!current_ || !hasRoom(current_)) {
        if (withRoom_.empty()) {
            current_ = NewSlab();
            break;
        }
        current_ = withRoom_.back();
        withRoom_.pop_back();
        current_->listedWithRoom = false;
    }
    Slab* slab = current_;
    void* block;
    if (slab->freed) {
        block = slab->freed;
        slab->freed = *static_cast<void**>(block);
    } else {
        block = slab->bytes + blockSize_ * slab->carved++;
    }
    ++slab->live;
    return block;
}

void BlockPool::Release(Slab* slab) noexcept {
    if (slab->listedWithRoom) withRoom_.erase(std::find(withRoom_.begin(), withRoom_.end(), slab));
    auto at = std::lower_bound(slabs_.begin(), slabs_.end(), slab,
                               [](const Slab* a, const Slab* b) { return a->bytes < b->bytes; });
    slabs_.erase(at);
    std::free(slab->bytes);
    delete slab;
}

void BlockPool::Free(void* block) noexcept {
    if (!block) return;
    std::lock_guard<std::mutex> lock(mutex_);
    Slab* slab = SlabOf(block);
    if (!slab) return;  // not a block of this pool
    *static_cast<void**>(block) = slab->freed;
    slab->freed = block;
    // An empty slab goes back, except the one blocks are taken from: a
    // record made and dropped over and over does not fetch a slab each time.
    if (--slab->live == 0 && slab != current_) {
        Release(slab);
        return;
    }
    if (slab != current_ && !slab->listedWithRoom) {
        slab->listedWithRoom = true;
        withRoom_.push_back(slab);  // never reallocates: reserved for every slab
    }
}

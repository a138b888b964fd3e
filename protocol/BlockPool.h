// Fixed-size blocks carved from large slabs, for records the client holds
// by the million: a block carries no heap header of its own, and a slab goes
// back to the system as soon as its last block is freed. Plain C++, safe to
// use from several threads.
#pragma once

#include <cstddef>
#include <mutex>
#include <vector>

class BlockPool {
public:
    // Blocks of `blockSize` bytes, rounded up to pointer alignment (enough
    // for records of integers and bytes), `blocksPerSlab` to a slab.
    BlockPool(size_t blockSize, size_t blocksPerSlab);
    // Frees every slab, blocks in use or not.
    ~BlockPool();
    BlockPool(const BlockPool&) = delete;
    BlockPool& operator=(const BlockPool&) = delete;

    // A block, uninitialised; throws std::bad_alloc when no slab can be had.
    void* Allocate();
    // Gives back a block from Allocate (null is ignored).
    void Free(void* block) noexcept;

    // Slabs held now (tests look at this).
    size_t SlabCount() const;

private:
    struct Slab;

    Slab* NewSlab();
    // The slab holding `block`, or null.
    Slab* SlabOf(const void* block) const;
    void Release(Slab* slab) noexcept;

    const size_t blockSize_;
    const size_t blocksPerSlab_;
    mutable std::mutex mutex_;
    std::vector<Slab*> slabs_;      // by address
    std::vector<Slab*> withRoom_;  // slabs that had a block freed, the current one aside
    Slab* current_ = nullptr;      // where blocks are taken first
};

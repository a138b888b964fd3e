#include "toolkit/Services.h"

GlobalMemory::~GlobalMemory() { Free(); }

HGLOBAL GlobalMemory::Alloc(UINT flags, SIZE_T bytes) {
    Free();
    memory_ = GlobalAlloc(flags, bytes);
    return memory_;
}

void GlobalMemory::Free() {
    if (!memory_) return;
    // The low byte of the flags is the lock count (it reads 0 for a fixed
    // block and for a bad handle); it cannot exceed 255.
    for (int unlocks = 0; unlocks < 256 && (GlobalFlags(memory_) & GMEM_LOCKCOUNT) != 0; ++unlocks) {
        GlobalUnlock(memory_);
    }
    GlobalFree(memory_);
    memory_ = nullptr;
}

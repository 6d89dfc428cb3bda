#include "adaptive_mutex.h"
#include "windows.h"

#include <map>
#include <memory>

namespace {

// A fixed block's handle is its address; a moveable block's handle is a separate
// value that GlobalLock turns into the address.
struct Block {
    std::unique_ptr<BYTE[]> data;
    SIZE_T size;
    bool moveable;
    LONG lockCount = 0;
};

struct GlobalHeap {
    win32::detail::AdaptiveMutex lock;
    std::map<HGLOBAL, Block> blocks;
    ULONG_PTR nextMoveableHandle = 0x10004;
};

GlobalHeap& Heap() {
    // Never destroyed: blocks may be used while the process exits.
    static GlobalHeap& heap = *new GlobalHeap;
    return heap;
}

Block* FindBlock(GlobalHeap& heap, HGLOBAL hMem) {
    auto found = heap.blocks.find(hMem);
    if (found == heap.blocks.end()) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    return &found->second;
}

} // namespace

HGLOBAL WINAPI GlobalAlloc(UINT uFlags, SIZE_T dwBytes) {
    GlobalHeap& heap = Heap();
    // Blocks are always zero-filled; GMEM_ZEROINIT merely guarantees it.
    std::unique_ptr<BYTE[]> data(new (std::nothrow) BYTE[dwBytes == 0 ? 1 : dwBytes]());
    if (!data) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    const bool moveable = (uFlags & GMEM_MOVEABLE) != 0;
    std::lock_guard guard(heap.lock);
    HGLOBAL handle = data.get();
    if (moveable) {
        handle = reinterpret_cast<HGLOBAL>(heap.nextMoveableHandle);
        heap.nextMoveableHandle += 8;
    }
    heap.blocks.emplace(handle, Block{std::move(data), dwBytes, moveable});
    return handle;
}

LPVOID WINAPI GlobalLock(HGLOBAL hMem) {
    GlobalHeap& heap = Heap();
    std::lock_guard guard(heap.lock);
    Block* block = FindBlock(heap, hMem);
    if (block == nullptr) {
        return nullptr;
    }
    if (block->moveable) {
        ++block->lockCount;
    }
    return block->data.get();
}

BOOL WINAPI GlobalUnlock(HGLOBAL hMem) {
    GlobalHeap& heap = Heap();
    std::lock_guard guard(heap.lock);
    Block* block = FindBlock(heap, hMem);
    if (block == nullptr) {
        return FALSE;
    }
    if (!block->moveable) {
        // A fixed block has no lock count and is always considered locked.
        return TRUE;
    }
    if (block->lockCount == 0) {
        SetLastError(ERROR_NOT_LOCKED);
        return FALSE;
    }
    --block->lockCount;
    if (block->lockCount == 0) {
        SetLastError(NO_ERROR);
        return FALSE;
    }
    return TRUE;
}

SIZE_T WINAPI GlobalSize(HGLOBAL hMem) {
    GlobalHeap& heap = Heap();
    std::lock_guard guard(heap.lock);
    Block* block = FindBlock(heap, hMem);
    return block == nullptr ? 0 : block->size;
}

HGLOBAL WINAPI GlobalFree(HGLOBAL hMem) {
    GlobalHeap& heap = Heap();
    std::lock_guard guard(heap.lock);
    if (heap.blocks.erase(hMem) == 0) {
        SetLastError(ERROR_INVALID_HANDLE);
        return hMem;
    }
    return nullptr;
}

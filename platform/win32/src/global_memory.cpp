#include "adaptive_mutex.h"
#include "windows.h"

#include <cstddef>
#include <cstring>
#include <map>
#include <memory_resource>
#include <new>

namespace {

// A fixed block's handle is its address; a moveable block's handle is a separate
// value that GlobalLock turns into the address.
struct Block {
    BYTE* data;
    SIZE_T size;
    bool moveable;
    LONG lockCount = 0;
};

// Blocks and the table's entries come from a pool of the heap's own: a block is often
// allocated by one thread and freed by another (a message's data by the window that reads
// it), which the general allocator handles far more slowly than a reuse from the pool.
struct GlobalHeap {
    win32::detail::AdaptiveMutex lock;
    std::pmr::unsynchronized_pool_resource pool;
    std::pmr::map<HGLOBAL, Block> blocks{&pool};
    ULONG_PTR nextMoveableHandle = 0x10004;
};

// The pool's size of a block of `size` bytes; a block of none still has an address.
std::size_t PooledSize(SIZE_T size) {
    return size == 0 ? 1 : size;
}

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
    const bool moveable = (uFlags & GMEM_MOVEABLE) != 0;
    BYTE* data = nullptr;
    HGLOBAL handle = nullptr;
    {
        std::lock_guard guard(heap.lock);
        try {
            data = static_cast<BYTE*>(heap.pool.allocate(PooledSize(dwBytes)));
            handle = moveable ? reinterpret_cast<HGLOBAL>(heap.nextMoveableHandle) : data;
            heap.blocks.emplace(handle, Block{data, dwBytes, moveable});
        } catch (const std::bad_alloc&) {
            if (data != nullptr) {
                heap.pool.deallocate(data, PooledSize(dwBytes));
            }
            SetLastError(ERROR_NOT_ENOUGH_MEMORY);
            return nullptr;
        }
        if (moveable) {
            heap.nextMoveableHandle += 8;
        }
    }
    // Blocks are always zero-filled; GMEM_ZEROINIT merely guarantees it. No other thread
    // knows the handle yet.
    std::memset(data, 0, PooledSize(dwBytes));
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
    return block->data;
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
    const auto found = heap.blocks.find(hMem);
    if (found == heap.blocks.end()) {
        SetLastError(ERROR_INVALID_HANDLE);
        return hMem;
    }
    heap.pool.deallocate(found->second.data, PooledSize(found->second.size));
    heap.blocks.erase(found);
    return nullptr;
}

// Global memory with Windows' semantics: fixed blocks whose handle is their
// address, moveable blocks behind a handle with a lock count, zero-size
// moveable blocks born discarded.
#include <windows.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <unistd.h>
#include <unordered_map>

#include "fault.h"
#include "luma/memory.h"
#include "luma/testing.h"

namespace {

struct Block {
    std::byte* data = nullptr;  // null while discarded
    SIZE_T size = 0;
    UINT flags = 0;  // GMEM_MOVEABLE, GMEM_DISCARDABLE as allocated
    unsigned lockCount = 0;
};

// Moveable handles are the address of their Block record, fixed handles the
// data address; both are looked up here so a stale or foreign handle is
// refused instead of followed.
struct Table {
    std::mutex lock;
    std::unordered_map<void*, std::unique_ptr<Block>> blocks;
};

Table& table() {
    static Table* t = new Table;  // outlives every static destructor that may free a block
    return *t;
}

std::atomic<unsigned long long> allocationsSoFar{0};
std::atomic<std::size_t> bytesInUse{0};

std::size_t defaultBudget() {
    std::size_t bytes = 0;
    if (const char* text = std::getenv("LUMAFEX_MEMORY_BUDGET"); text && luma::ParseByteSize(text, &bytes))
        return bytes;
    long pages = sysconf(_SC_PHYS_PAGES);
    long pageSize = sysconf(_SC_PAGE_SIZE);
    if (pages <= 0 || pageSize <= 0) return 0;
    // Leave a quarter to the rest of the process and the machine.
    return static_cast<std::size_t>(pages) / 4 * 3 * static_cast<std::size_t>(pageSize);
}

std::atomic<std::size_t>& budget() {
    static std::atomic<std::size_t> limit{defaultBudget()};
    return limit;
}
std::atomic<unsigned long long> failAt{0};  // allocation number that fails; 0 = off

Block* find(HGLOBAL mem) {
    auto& blocks = table().blocks;
    auto it = blocks.find(mem);
    return it == blocks.end() ? nullptr : it->second.get();
}

std::byte* rawAllocate(SIZE_T bytes, bool zero) {
    // A zero-size fixed block still needs a distinct address.
    SIZE_T n = bytes ? bytes : 1;
    return static_cast<std::byte*>(zero ? std::calloc(n, 1) : std::malloc(n));
}

}  // namespace

namespace luma::detail {

bool AllocationMayProceed() {
    unsigned long long n = ++allocationsSoFar;
    unsigned long long target = failAt.load();
    if (target != 0 && n == target) {
        failAt.compare_exchange_strong(target, 0);
        return false;
    }
    return true;
}

bool ReserveBytes(std::size_t bytes) {
    std::size_t limit = budget().load();
    std::size_t held = bytesInUse.load();
    do {
        if (limit != 0 && (bytes > limit || held > limit - bytes)) return false;
    } while (!bytesInUse.compare_exchange_weak(held, held + bytes));
    return true;
}

void ReleaseBytes(std::size_t bytes) { bytesInUse -= bytes; }

}  // namespace luma::detail

namespace luma {

void SetMemoryBudget(std::size_t bytes) { budget() = bytes; }

std::size_t MemoryBudget() { return budget().load(); }

std::size_t BytesInUse() { return bytesInUse.load(); }

bool ParseByteSize(const char* text, std::size_t* bytes) {
    if (!text || *text < '0' || *text > '9') return false;
    std::size_t value = 0;
    const char* p = text;
    for (; *p >= '0' && *p <= '9'; ++p) {
        std::size_t digit = static_cast<std::size_t>(*p - '0');
        if (value > (SIZE_MAX - digit) / 10) return false;
        value = value * 10 + digit;
    }
    unsigned shift = 0;
    switch (*p | 0x20) {
    case 'k': shift = 10; break;
    case 'm': shift = 20; break;
    case 'g': shift = 30; break;
    case 't': shift = 40; break;
    default: break;
    }
    if (shift) {
        ++p;
        if ((*p | 0x20) == 'i' && (p[1] | 0x20) == 'b') p += 2;
    }
    if ((*p | 0x20) == 'b') ++p;
    if (*p != '\0') return false;
    if (value > (SIZE_MAX >> shift)) return false;
    *bytes = value << shift;
    return true;
}

std::size_t LiveGlobalBlocks() {
    std::lock_guard guard(table().lock);
    return table().blocks.size();
}

void FailAllocationAfter(unsigned n) {
    failAt = n == 0 ? 0 : allocationsSoFar.load() + n;
}

bool FaultPending() { return failAt.load() != 0; }

unsigned long long AllocationsSoFar() { return allocationsSoFar.load(); }

}  // namespace luma

extern "C" {

HGLOBAL WINAPI GlobalAlloc(UINT flags, SIZE_T bytes) {
    if (!luma::detail::AllocationMayProceed()) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    auto block = std::make_unique<Block>();
    block->flags = flags & (GMEM_MOVEABLE | GMEM_DISCARDABLE);
    bool moveable = flags & GMEM_MOVEABLE;
    if (bytes != 0 || !moveable) {
        if (!luma::detail::ReserveBytes(bytes)) {
            SetLastError(ERROR_NOT_ENOUGH_MEMORY);
            return nullptr;
        }
        block->data = rawAllocate(bytes, flags & GMEM_ZEROINIT);
        if (!block->data) {
            luma::detail::ReleaseBytes(bytes);
            SetLastError(ERROR_NOT_ENOUGH_MEMORY);
            return nullptr;
        }
        block->size = bytes;
    }
    void* handle = moveable ? static_cast<void*>(block.get()) : static_cast<void*>(block->data);
    std::lock_guard guard(table().lock);
    table().blocks.emplace(handle, std::move(block));
    return handle;
}

LPVOID WINAPI GlobalLock(HGLOBAL mem) {
    std::lock_guard guard(table().lock);
    Block* block = find(mem);
    if (!block) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    if (!(block->flags & GMEM_MOVEABLE)) return block->data;
    if (!block->data) return nullptr;  // discarded
    if (block->lockCount < GMEM_LOCKCOUNT) ++block->lockCount;
    return block->data;
}

BOOL WINAPI GlobalUnlock(HGLOBAL mem) {
    std::lock_guard guard(table().lock);
    Block* block = find(mem);
    if (!block) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (!(block->flags & GMEM_MOVEABLE) || block->lockCount == 0) {
        SetLastError(ERROR_NOT_LOCKED);
        return FALSE;
    }
    if (--block->lockCount == 0) {
        SetLastError(NO_ERROR);
        return FALSE;
    }
    return TRUE;
}

SIZE_T WINAPI GlobalSize(HGLOBAL mem) {
    std::lock_guard guard(table().lock);
    Block* block = find(mem);
    if (!block) {
        SetLastError(ERROR_INVALID_HANDLE);
        return 0;
    }
    return block->data ? block->size : 0;
}

UINT WINAPI GlobalFlags(HGLOBAL mem) {
    std::lock_guard guard(table().lock);
    Block* block = find(mem);
    if (!block) {
        SetLastError(ERROR_INVALID_HANDLE);
        return GMEM_INVALID_HANDLE;
    }
    UINT flags = block->lockCount & GMEM_LOCKCOUNT;
    if (block->flags & GMEM_DISCARDABLE) flags |= GMEM_DISCARDABLE;
    if ((block->flags & GMEM_MOVEABLE) && !block->data) flags |= GMEM_DISCARDED;
    return flags;
}

HGLOBAL WINAPI GlobalFree(HGLOBAL mem) {
    if (!mem) return nullptr;
    std::unique_ptr<Block> block;
    {
        std::lock_guard guard(table().lock);
        auto it = table().blocks.find(mem);
        if (it == table().blocks.end()) {
            SetLastError(ERROR_INVALID_HANDLE);
            return mem;
        }
        block = std::move(it->second);
        table().blocks.erase(it);
    }
    if (block->data) luma::detail::ReleaseBytes(block->size);
    std::free(block->data);
    return nullptr;
}

HGLOBAL WINAPI GlobalReAlloc(HGLOBAL mem, SIZE_T bytes, UINT flags) {
    std::lock_guard guard(table().lock);
    Block* block = find(mem);
    if (!block) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    bool moveable = block->flags & GMEM_MOVEABLE;
    if (flags & GMEM_MODIFY) {
        if (moveable) block->flags = (block->flags & ~GMEM_DISCARDABLE) | (flags & GMEM_DISCARDABLE);
        return mem;
    }
    if (bytes == 0 && moveable) {
        // Discarding: only an unlocked block may lose its memory.
        if (block->lockCount != 0) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return nullptr;
        }
        if (block->data) luma::detail::ReleaseBytes(block->size);
        std::free(block->data);
        block->data = nullptr;
        block->size = 0;
        return mem;
    }
    // A fixed block moves only when the caller allows it; a locked moveable
    // one likewise, since its address is in use.
    bool mayMove = moveable ? (block->lockCount == 0 || (flags & GMEM_MOVEABLE)) : (flags & GMEM_MOVEABLE);
    SIZE_T oldSize = block->data ? block->size : 0;
    if (bytes <= oldSize && block->data) {
        luma::detail::ReleaseBytes(oldSize - bytes);
        block->size = bytes;  // shrinking stays in place
        return mem;
    }
    if (!mayMove) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    if (!luma::detail::AllocationMayProceed()) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    if (!luma::detail::ReserveBytes(bytes - oldSize)) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    std::byte* data = rawAllocate(bytes, false);
    if (!data) {
        luma::detail::ReleaseBytes(bytes - oldSize);
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    if (oldSize) std::memcpy(data, block->data, oldSize);
    if (flags & GMEM_ZEROINIT) std::memset(data + oldSize, 0, bytes - oldSize);
    std::free(block->data);
    block->data = data;
    block->size = bytes;
    if (moveable) return mem;
    // A fixed block's handle is its address, so it changes with the move.
    auto node = table().blocks.extract(mem);
    node.key() = data;
    table().blocks.insert(std::move(node));
    return data;
}

}  // extern "C"

// Scope guards for global memory: every early return frees and unlocks what
// it holds, so failure roads need no hand-written clean-up.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <type_traits>
#include <utility>

// Owns a global block and frees it at the end of its scope unless released.
class GlobalBlock {
public:
    GlobalBlock() = default;
    explicit GlobalBlock(HGLOBAL handle) : handle_(handle) {}
    GlobalBlock(GlobalBlock&& other) noexcept : handle_(other.release()) {}
    GlobalBlock& operator=(GlobalBlock&& other) noexcept {
        if (this != &other) reset(other.release());
        return *this;
    }
    GlobalBlock(const GlobalBlock&) = delete;
    GlobalBlock& operator=(const GlobalBlock&) = delete;
    ~GlobalBlock() { reset(); }

    HGLOBAL get() const { return handle_; }
    explicit operator bool() const { return handle_ != nullptr; }
    HGLOBAL release() { return std::exchange(handle_, nullptr); }
    void reset(HGLOBAL handle = nullptr) {
        if (handle_) GlobalFree(handle_);
        handle_ = handle;
    }

private:
    HGLOBAL handle_ = nullptr;
};

// Holds a block locked for the length of its scope.
template <class T = BYTE>
class GlobalLockGuard {
public:
    explicit GlobalLockGuard(HGLOBAL handle)
        : handle_(handle), data_(handle ? static_cast<T*>(GlobalLock(handle)) : nullptr) {}
    GlobalLockGuard(const GlobalLockGuard&) = delete;
    GlobalLockGuard& operator=(const GlobalLockGuard&) = delete;
    ~GlobalLockGuard() {
        if (data_) GlobalUnlock(handle_);
    }

    T* get() const { return data_; }
    T* operator->() const { return data_; }
    explicit operator bool() const { return data_ != nullptr; }

private:
    HGLOBAL handle_;
    T* data_;
};

// A zero-filled array in a fixed global block: the plug-in's element arrays
// and work buffers, which must fail softly (and be fault-injectable) rather
// than throw when memory runs out.
template <class T>
class HeapArray {
    static_assert(std::is_trivially_copyable_v<T> && std::is_trivially_destructible_v<T>);

public:
    HeapArray() = default;
    explicit HeapArray(std::size_t count) { allocate(count); }

    // False when the block could not be had; the array is then empty.
    bool allocate(std::size_t count) {
        block_.reset();
        data_ = nullptr;
        count_ = 0;
        if (count == 0) return true;
        if (count > SIZE_MAX / sizeof(T)) return false;
        block_.reset(GlobalAlloc(GPTR, count * sizeof(T)));
        if (!block_) return false;
        data_ = static_cast<T*>(block_.get());
        count_ = count;
        return true;
    }

    T* data() const { return data_; }
    std::size_t size() const { return count_; }
    T& operator[](std::size_t i) const { return data_[i]; }
    T* begin() const { return data_; }
    T* end() const { return data_ + count_; }
    explicit operator bool() const { return data_ != nullptr; }

private:
    GlobalBlock block_;
    T* data_ = nullptr;
    std::size_t count_ = 0;
};

#pragma once
// Arrays and buffers of many megabytes (a world-save's items, read and write buffers) in
// memory from allocateLargeMemory: a freeze of a large world-save otherwise spends much of
// its time on the first touch of every small page of them.
#include "core/file_system.h"

#include <cstddef>
#include <vector>

namespace tq {

template <class T>
struct LargeAllocator {
    using value_type = T;
    LargeAllocator() = default;
    template <class U>
    LargeAllocator(const LargeAllocator<U>&) {}
    T* allocate(size_t n) { return static_cast<T*>(allocateLargeMemory(n * sizeof(T))); }
    void deallocate(T* p, size_t n) { releaseLargeMemory(p, n * sizeof(T)); }
    template <class U>
    bool operator==(const LargeAllocator<U>&) const {
        return true;
    }
};

template <class T>
using LargeVector = std::vector<T, LargeAllocator<T>>;

// A buffer of bytes that are never zeroed: only what is written into it is read.
class LargeBuffer {
public:
    explicit LargeBuffer(size_t bytes) : data_(static_cast<char*>(allocateLargeMemory(bytes))), size_(bytes) {}
    ~LargeBuffer() { releaseLargeMemory(data_, size_); }
    LargeBuffer(const LargeBuffer&) = delete;
    LargeBuffer& operator=(const LargeBuffer&) = delete;
    LargeBuffer(LargeBuffer&& other) noexcept : data_(other.data_), size_(other.size_) {
        other.data_ = nullptr;
        other.size_ = 0;
    }
    LargeBuffer& operator=(LargeBuffer&& other) noexcept {
        if (this != &other) {
            releaseLargeMemory(data_, size_);
            data_ = other.data_;
            size_ = other.size_;
            other.data_ = nullptr;
            other.size_ = 0;
        }
        return *this;
    }
    char* get() const { return data_; }
    size_t size() const { return size_; }

private:
    char* data_;
    size_t size_;
};

} // namespace tq

#pragma once
#include "platform/LargeBlocks.h"

#include <cstdlib>
#include <cstring>
#include <new>
#include <type_traits>
#include <utility>

// A growable array of trivially copyable records for stores of a million
// rows: once it holds a megabyte or more its memory comes from LargeBlocks,
// so filling it costs one page fault per 2 MB instead of one per 4 KB.
// Smaller arrays use the ordinary heap. Grows by doubling (reserve first
// when the count is known).
template <typename T>
class LargeArray {
    static_assert(std::is_trivially_copyable_v<T>);

public:
    LargeArray() = default;
    LargeArray(const LargeArray &) = delete;
    LargeArray &operator=(const LargeArray &) = delete;
    LargeArray(LargeArray &&o) noexcept { swap(o); }
    LargeArray &operator=(LargeArray &&o) noexcept
    {
        LargeArray(std::move(o)).swap(*this);
        return *this;
    }
    ~LargeArray() { release(data_, large_); }

    size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }
    T *data() { return data_; }
    const T *data() const { return data_; }
    T *begin() { return data_; }
    T *end() { return data_ + size_; }
    const T *begin() const { return data_; }
    const T *end() const { return data_ + size_; }
    T &operator[](size_t i) { return data_[i]; }
    const T &operator[](size_t i) const { return data_[i]; }
    T &back() { return data_[size_ - 1]; }

    void push_back(const T &v)
    {
        if (size_ == capacity_)
            grow(size_ + 1);
        data_[size_++] = v;
    }
    void reserve(size_t n)
    {
        if (n > capacity_)
            grow(n);
    }
    // New records are value-initialised.
    void resize(size_t n)
    {
        reserve(n);
        for (size_t i = size_; i < n; ++i)
            new (data_ + i) T{};
        size_ = n;
    }
    // New records are left as they are, for scratch that is written before
    // it is read.
    void resizeForOverwrite(size_t n)
    {
        reserve(n);
        size_ = n;
    }
    void clear() { size_ = 0; }
    void swap(LargeArray &o) noexcept
    {
        std::swap(data_, o.data_);
        std::swap(size_, o.size_);
        std::swap(capacity_, o.capacity_);
        std::swap(large_, o.large_);
    }

private:
    static constexpr size_t LargeFrom = size_t(1) << 20; // bytes

    void grow(size_t atLeast)
    {
        size_t n = capacity_ ? capacity_ * 2 : 16;
        if (n < atLeast)
            n = atLeast;
        const bool large = n * sizeof(T) >= LargeFrom;
        if (large) // the whole of the last block
            n = (n * sizeof(T) + LargeBlocks::Alignment - 1) / LargeBlocks::Alignment * LargeBlocks::Alignment / sizeof(T);
        T *p = static_cast<T *>(large ? LargeBlocks::allocate(n * sizeof(T)) : std::malloc(n * sizeof(T)));
        if (!p)
            throw std::bad_alloc();
        if (size_)
            std::memcpy(static_cast<void *>(p), data_, size_ * sizeof(T));
        release(data_, large_);
        data_ = p;
        capacity_ = n;
        large_ = large;
    }
    static void release(T *p, bool large)
    {
        if (large)
            LargeBlocks::release(p);
        else
            std::free(p);
    }

    T *data_ = nullptr;
    size_t size_ = 0;
    size_t capacity_ = 0;
    bool large_ = false;
};

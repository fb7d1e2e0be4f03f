#pragma once
#include <cstddef>
#include <cstdint>
#include <new>

// Memory for large, long-lived stores (the text of a million grid rows):
// aligned blocks the kernel may back with huge pages, so filling them costs
// one page fault per 2 MB instead of one per 4 KB, and that a search of the
// same tree again finds mapped.
namespace LargeBlocks {
constexpr size_t Alignment = size_t(2) << 20;
// At least bytes of memory (rounded up to the alignment); never null.
void *allocate(size_t bytes);
// bytes of ordinary heap memory, without the alignment; never null.
void *allocatePlain(size_t bytes);
// Either kind. Large blocks are kept, up to 64 MB in all, for the next
// allocate() of about their size; what is kept stays mapped.
void release(void *block);
}

// A standard allocator over LargeBlocks, for the tables a search fills on
// the worker pool's threads (whose heaps give memory back, so the next
// search would fault every page in again): a megabyte or more comes as
// aligned blocks, less from the heap.
template <class T>
struct LargeBlockAllocator {
    using value_type = T;
    LargeBlockAllocator() = default;
    template <class U>
    LargeBlockAllocator(const LargeBlockAllocator<U> &) noexcept
    {
    }
    T *allocate(size_t n)
    {
        if (n > SIZE_MAX / sizeof(T))
            throw std::bad_array_new_length();
        const size_t bytes = n * sizeof(T);
        return static_cast<T *>(bytes >= (size_t(1) << 20) ? LargeBlocks::allocate(bytes)
                                                            : LargeBlocks::allocatePlain(bytes));
    }
    void deallocate(T *p, size_t) noexcept { LargeBlocks::release(p); }
    template <class U>
    bool operator==(const LargeBlockAllocator<U> &) const noexcept
    {
        return true;
    }
};

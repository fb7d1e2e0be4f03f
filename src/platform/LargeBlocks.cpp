#include "platform/LargeBlocks.h"

#include <cstdlib>
#include <new>
#include <sys/mman.h>

void *LargeBlocks::allocate(size_t bytes)
{
    const size_t size = (bytes + Alignment - 1) / Alignment * Alignment;
    void *p = std::aligned_alloc(Alignment, size);
    if (!p)
        throw std::bad_alloc();
#ifdef MADV_HUGEPAGE
    ::madvise(p, size, MADV_HUGEPAGE);
#endif
    return p;
}

void *LargeBlocks::allocatePlain(size_t bytes)
{
    void *p = std::malloc(bytes);
    if (!p)
        throw std::bad_alloc();
    return p;
}

void LargeBlocks::release(void *block)
{
    std::free(block);
}

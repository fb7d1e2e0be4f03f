#include "platform/LargeBlocks.h"

#include <cstdint>
#include <cstdlib>
#include <malloc.h>
#include <mutex>
#include <new>
#include <sys/mman.h>
#include <vector>

namespace {
// Large blocks given back are kept, up to kKeep bytes, for the next search
// of the same size: its tables then land in memory already mapped, instead
// of faulting every page in again (the heap hands such blocks back to the
// system at once). The most recently kept go last.
constexpr size_t kKeep = size_t(64) << 20;
struct Kept {
    void *block;
    size_t size;
};
std::mutex g_lock;
std::vector<Kept> g_kept;
size_t g_keptBytes = 0;

bool isLarge(void *block, size_t &size)
{
    size = ::malloc_usable_size(block);
    return reinterpret_cast<uintptr_t>(block) % LargeBlocks::Alignment == 0 && size >= LargeBlocks::Alignment;
}
}

void *LargeBlocks::allocate(size_t bytes)
{
    const size_t size = (bytes + Alignment - 1) / Alignment * Alignment;
    {
        // The smallest kept block that holds it, unless it is more than
        // twice as large.
        const std::lock_guard hold(g_lock);
        size_t best = g_kept.size();
        for (size_t i = 0; i < g_kept.size(); ++i)
            if (g_kept[i].size >= size && g_kept[i].size / 2 <= size
                && (best == g_kept.size() || g_kept[i].size < g_kept[best].size))
                best = i;
        if (best < g_kept.size()) {
            void *p = g_kept[best].block;
            g_keptBytes -= g_kept[best].size;
            g_kept.erase(g_kept.begin() + std::ptrdiff_t(best));
            return p;
        }
    }
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
    size_t size = 0;
    if (!block || !isLarge(block, size) || size > kKeep) {
        std::free(block);
        return;
    }
    std::vector<void *> freed;
    {
        const std::lock_guard hold(g_lock);
        // The oldest kept blocks make room.
        while (g_keptBytes + size > kKeep) {
            freed.push_back(g_kept.front().block);
            g_keptBytes -= g_kept.front().size;
            g_kept.erase(g_kept.begin());
        }
        g_kept.push_back({block, size});
        g_keptBytes += size;
    }
    for (void *p : freed)
        std::free(p);
}

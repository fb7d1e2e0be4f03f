#pragma once
#include <cstddef>

// Memory for large, long-lived stores (the text of a million grid rows):
// aligned blocks the kernel may back with huge pages, so filling them costs
// one page fault per 2 MB instead of one per 4 KB.
namespace LargeBlocks {
constexpr size_t Alignment = size_t(2) << 20;
// At least bytes of memory (rounded up to the alignment); never null.
void *allocate(size_t bytes);
// bytes of ordinary heap memory, without the alignment; never null.
void *allocatePlain(size_t bytes);
// Either kind.
void release(void *block);
}

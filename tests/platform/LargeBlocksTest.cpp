#include "platform/LargeBlocks.h"

#include <gtest/gtest.h>

#include <cstring>

// A block given back is handed out again for the next allocation of about
// its size, and only when it holds all of it: the whole of every
// allocation is written (a sanitizer build sees a write past a block).
TEST(LargeBlocks, AKeptBlockServesOnlyAllocationsItHolds)
{
    const size_t mb = size_t(1) << 20;
    void *a = LargeBlocks::allocate(20 * mb);
    std::memset(a, 1, 20 * mb);
    LargeBlocks::release(a);
    void *b = LargeBlocks::allocate(19 * mb);
    EXPECT_EQ(b, a); // kept, and about the size asked for
    std::memset(b, 2, 19 * mb);
    LargeBlocks::release(b);

    void *larger = LargeBlocks::allocate(30 * mb); // more than the kept block holds
    EXPECT_NE(larger, a);
    std::memset(larger, 3, 30 * mb);
    void *smaller = LargeBlocks::allocate(4 * mb); // the kept block is far too large for it
    EXPECT_NE(smaller, a);
    std::memset(smaller, 4, 4 * mb);
    void *plain = LargeBlocks::allocatePlain(3 * mb);
    std::memset(plain, 5, 3 * mb);
    for (void *p : {larger, smaller, plain})
        LargeBlocks::release(p);

    // More than the kept room given back at once: each block is still
    // usable memory when handed out again.
    void *many[6];
    for (void *&p : many)
        p = LargeBlocks::allocate(24 * mb);
    for (void *p : many)
        LargeBlocks::release(p);
    for (void *&p : many) {
        p = LargeBlocks::allocate(24 * mb);
        std::memset(p, 6, 24 * mb);
    }
    for (void *p : many)
        LargeBlocks::release(p);
}

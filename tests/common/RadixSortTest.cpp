#include "common/RadixSort.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

// Against a stable sort of the same items: keys of every width (one byte
// that varies, the top byte only, all eight), many equal keys, and the
// sign-flipped keys a sort of signed sizes uses.
TEST(RadixSort, OrdersAsAStableSortForKeysOfAnyWidth)
{
    std::mt19937_64 rng(7);
    struct Item {
        uint64_t key;
        uint32_t at;
    };
    const std::vector<uint64_t> masks = {0xff, 0xff00000000000000ull, ~0ull, 0x3ff, 0};
    for (uint64_t mask : masks)
        for (size_t n : {size_t(0), size_t(1), size_t(2), size_t(1000), size_t(70000)}) {
            std::vector<Item> items(n), spare(n);
            for (size_t i = 0; i < n; ++i)
                items[i] = {(rng() & mask) ^ (mask == 0x3ff ? uint64_t(1) << 63 : 0), uint32_t(i)};
            std::vector<Item> want = items;
            std::stable_sort(want.begin(), want.end(), [](const Item &a, const Item &b) { return a.key < b.key; });
            radixSort(items.data(), spare.data(), n, [](const Item &i) { return i.key; });
            for (size_t i = 0; i < n; ++i)
                ASSERT_TRUE(items[i].key == want[i].key && items[i].at == want[i].at)
                    << "mask " << mask << " n " << n << " at " << i;
        }
}

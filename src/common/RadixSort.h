#pragma once
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <utility>

// Stable least-significant-digit radix sort of items[0, n) by a 64-bit key
// (keyOf(item)), eight bits at a time, with spare[0, n) as scratch. The
// counts of every digit are taken in one pass over the items, and a digit
// every key shares costs nothing more, so keys that differ only in their
// low bytes (ranks, sizes, inode numbers) are sorted in a pass or two.
// Linear in the items; equal keys keep their order.
template <typename Item, typename KeyOf>
void radixSort(Item *items, Item *spare, size_t n, KeyOf keyOf)
{
    if (n < 2)
        return;
    size_t counts[8][256] = {};
    for (size_t i = 0; i < n; ++i) {
        const uint64_t k = keyOf(items[i]);
        for (int d = 0; d < 8; ++d)
            ++counts[d][(k >> (8 * d)) & 0xff];
    }
    const uint64_t first = keyOf(items[0]);
    Item *from = items, *to = spare;
    for (int d = 0; d < 8; ++d) {
        size_t *c = counts[d];
        if (c[(first >> (8 * d)) & 0xff] == n)
            continue;
        size_t at = 0;
        for (int b = 0; b < 256; ++b)
            at += std::exchange(c[b], at);
        for (size_t i = 0; i < n; ++i)
            to[c[(keyOf(from[i]) >> (8 * d)) & 0xff]++] = from[i];
        std::swap(from, to);
    }
    if (from != items)
        std::copy(from, from + n, items);
}

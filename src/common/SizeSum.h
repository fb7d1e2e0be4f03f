#pragma once
#include <cstdint>
#include <limits>

// Byte counts add up without wrapping: a sum beyond the largest 64-bit
// number stays at it (and one below the smallest at that), so a total never
// turns negative however large the files it adds (sparse files may claim
// up to 2^63 - 1 bytes each).
constexpr int64_t sizeSum(int64_t a, int64_t b)
{
    int64_t sum = 0;
    if (__builtin_add_overflow(a, b, &sum))
        return b > 0 ? std::numeric_limits<int64_t>::max() : std::numeric_limits<int64_t>::min();
    return sum;
}

// to += n, held at the limit.
constexpr void addSize(int64_t &to, int64_t n) { to = sizeSum(to, n); }

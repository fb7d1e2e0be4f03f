#pragma once
#include <cstdint>
#include <ctime>

// Milliseconds of the monotonic clock at the kernel's tick resolution (a few
// milliseconds). Cheaper to read than the precise clock, so a loop may look
// at it once per file to decide whether its interval has passed.
inline int64_t coarseMonotonicMs()
{
    timespec ts;
    ::clock_gettime(CLOCK_MONOTONIC_COARSE, &ts);
    return int64_t(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

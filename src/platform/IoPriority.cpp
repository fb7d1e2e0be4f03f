#include "platform/IoPriority.h"

#include <sys/syscall.h>
#include <unistd.h>

namespace {
// From the kernel's ioprio interface (no C library wrapper exists).
constexpr int kWhoProcess = 1;  // IOPRIO_WHO_PROCESS: with 0, the calling thread
constexpr int kClassBestEffort = 2;
constexpr int kClassShift = 13;
constexpr int kLowestLevel = 7;
}

bool IoPriority::lowerThisThread()
{
    return ::syscall(SYS_ioprio_set, kWhoProcess, 0, (kClassBestEffort << kClassShift) | kLowestLevel) == 0;
}

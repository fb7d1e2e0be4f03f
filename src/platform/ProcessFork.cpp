#include "platform/ProcessFork.h"

#include <pthread.h>

#include <atomic>

namespace {
std::atomic<unsigned> g_generation{0};
void inChild() { g_generation.fetch_add(1); }
}

unsigned ProcessFork::generation()
{
    static const bool registered = [] {
        ::pthread_atfork(nullptr, nullptr, inChild);
        return true;
    }();
    (void)registered;
    return g_generation.load();
}

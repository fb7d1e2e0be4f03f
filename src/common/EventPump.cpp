#include "common/EventPump.h"

#include "platform/CoarseClock.h"

#include <QCoreApplication>

namespace {
int g_interval = 15;
}

EventPump::EventPump(int intervalMs, Clock clock, Action action)
    : interval_(intervalMs), clock_(std::move(clock)), action_(std::move(action))
{
    restart();
}

int64_t EventPump::elapsedMs() const { return (clock_ ? clock_() : coarseMonotonicMs()) - last_; }

bool EventPump::pump()
{
    if (interval_ < 0 || elapsedMs() < interval_)
        return false;
    now();
    return true;
}

void EventPump::now()
{
    if (action_)
        action_();
    else if (QCoreApplication::instance())
        QCoreApplication::processEvents();
    restart();
}

void EventPump::restart() { last_ = clock_ ? clock_() : coarseMonotonicMs(); }

int EventPump::defaultInterval() { return g_interval; }
void EventPump::setDefaultInterval(int ms) { g_interval = ms; }

#include "common/EventPump.h"

#include <QCoreApplication>

namespace {
int g_interval = 15;
}

EventPump::EventPump(int intervalMs) : interval_(intervalMs) { clock_.start(); }

bool EventPump::pump()
{
    if (interval_ < 0 || clock_.elapsed() < interval_)
        return false;
    now();
    return true;
}

void EventPump::now()
{
    QCoreApplication::processEvents();
    clock_.restart();
}

int EventPump::defaultInterval() { return g_interval; }
void EventPump::setDefaultInterval(int ms) { g_interval = ms; }

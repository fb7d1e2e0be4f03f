#pragma once
#include <QElapsedTimer>

// Lets pending window events run during a long loop on the user-interface
// thread, at most once per interval, so the loop runs at full speed while
// its windows stay alive (repaint, and see a click on Abort).
class EventPump {
public:
    // The interval of pumps made with the default (15 ms).
    explicit EventPump(int intervalMs = defaultInterval());
    // Runs pending events when the interval has passed since the last run
    // (or since construction); true when it did.
    bool pump();
    // Runs pending events now.
    void now();

    static int defaultInterval();
    // Tests: 0 pumps at every call; a negative interval never pumps.
    static void setDefaultInterval(int ms);

private:
    int interval_;
    QElapsedTimer clock_;
};

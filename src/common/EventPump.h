#pragma once
#include <cstdint>
#include <functional>

// Lets pending window events run during a long loop on the user-interface
// thread, at most once per interval, so the loop runs at full speed while
// its windows stay alive (repaint, and see a click on Abort). Every long
// run pumps through one of these.
class EventPump {
public:
    // Milliseconds of a monotonic clock (tests inject one; the default is
    // the coarse monotonic clock, read at every pump point).
    using Clock = std::function<int64_t()>;
    // What one pump does; QCoreApplication::processEvents when empty.
    using Action = std::function<void()>;

    // The interval of pumps made with the default (15 ms).
    explicit EventPump(int intervalMs = defaultInterval(), Clock clock = {}, Action action = {});
    // Runs pending events when the interval has passed since the last run
    // (or since construction or restart); true when it did.
    bool pump();
    // Runs pending events now.
    void now();
    // Starts the interval afresh without pumping.
    void restart();

    static int defaultInterval();
    // Tests: 0 pumps at every call; a negative interval never pumps.
    static void setDefaultInterval(int ms);

private:
    int64_t elapsedMs() const;

    int interval_;
    Clock clock_;
    Action action_;
    int64_t last_ = 0;
};

#pragma once
#include <chrono>

class QProgressBar;

// Feeds a progress bar at a bounded rate. A progress bar repaints itself at
// once on every change of its value, so a run over thousands of small files
// reporting 0 and 100 for each would spend most of its time drawing the bar.
// The first value is shown at once; later ones when the last shown is at
// least the interval old. The value left showing may lag the last one set,
// which a per-file gauge can afford.
class TGaugeFeed {
public:
    explicit TGaugeFeed(QProgressBar *bar, std::chrono::milliseconds interval = std::chrono::milliseconds(40));
    void set(int percent);

private:
    QProgressBar *bar_;
    std::chrono::steady_clock::duration interval_;
    std::chrono::steady_clock::time_point shownAt_{};
    bool shown_ = false;
};

#pragma once
#include <chrono>

class QProgressBar;

// Feeds a progress bar at a bounded rate. A progress bar repaints itself at
// once on every change of its value, so a run over thousands of small files
// reporting 0 and 100 for each would spend most of its time drawing the bar.
// The first value is shown at once; later ones when the last shown is at
// least the interval old, as the highest value set since (a run of small
// files shows 100, not the 0 each file starts at). The value left showing
// may lag the last one set, which a per-file gauge can afford.
class TGaugeFeed {
public:
    explicit TGaugeFeed(QProgressBar *bar, std::chrono::milliseconds interval = std::chrono::milliseconds(40));
    void set(int percent);
    // Shows the highest value set since the last one shown, if any.
    void flush();

private:
    QProgressBar *bar_;
    std::chrono::steady_clock::duration interval_;
    std::chrono::steady_clock::time_point shownAt_{};
    bool shown_ = false;
    int held_ = -1; // the highest value set since the last one shown
};

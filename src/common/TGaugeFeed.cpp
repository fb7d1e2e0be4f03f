#include "common/TGaugeFeed.h"

#include <QProgressBar>

#include <algorithm>

TGaugeFeed::TGaugeFeed(QProgressBar *bar, std::chrono::milliseconds interval) : bar_(bar), interval_(interval) {}

void TGaugeFeed::set(int percent)
{
    const auto now = std::chrono::steady_clock::now();
    if (shown_ && now - shownAt_ < interval_) {
        held_ = std::max(held_, percent);
        return;
    }
    // The furthest value of the interval: small files each go from 0 to 100
    // between two showings, and a bar left at their 0 would say nothing.
    shown_ = true;
    shownAt_ = now;
    bar_->setValue(std::max(held_, percent));
    held_ = -1;
}

void TGaugeFeed::flush()
{
    if (held_ >= 0) {
        shownAt_ = std::chrono::steady_clock::now();
        bar_->setValue(held_);
        held_ = -1;
    }
}

#include "common/TGaugeFeed.h"

#include <QProgressBar>

TGaugeFeed::TGaugeFeed(QProgressBar *bar, std::chrono::milliseconds interval) : bar_(bar), interval_(interval) {}

void TGaugeFeed::set(int percent)
{
    const auto now = std::chrono::steady_clock::now();
    if (shown_ && now - shownAt_ < interval_)
        return;
    shown_ = true;
    shownAt_ = now;
    bar_->setValue(percent);
}

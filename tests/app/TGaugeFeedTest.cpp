#include "common/TGaugeFeed.h"

#include <QApplication>
#include <QEvent>
#include <QProgressBar>

#include <gtest/gtest.h>

namespace {
struct PaintCounter : QObject {
    int paints = 0;
    bool eventFilter(QObject *, QEvent *e) override
    {
        if (e->type() == QEvent::Paint)
            ++paints;
        return false;
    }
};
}

// A run over many small files reports 0 and 100 for each: fed straight to a
// progress bar, every change repaints it at once.
TEST(TGaugeFeed, ShowsTheFirstValueAtOnceAndThenAtABoundedRate)
{
    QProgressBar bar;
    bar.setRange(0, 100);
    bar.show();
    QApplication::processEvents();
    PaintCounter counter;
    bar.installEventFilter(&counter);

    TGaugeFeed feed(&bar, std::chrono::hours(1));
    feed.set(37);
    EXPECT_EQ(bar.value(), 37);
    const int afterFirst = counter.paints;
    EXPECT_GE(afterFirst, 1);
    for (int i = 0; i < 2000; ++i)
        feed.set(i % 2 ? 100 : 0);
    EXPECT_EQ(bar.value(), 37);
    EXPECT_EQ(counter.paints, afterFirst);
    // What is held back shows as the furthest value reached: the small files
    // were done, not at their start.
    feed.flush();
    EXPECT_EQ(bar.value(), 100);

    // With no interval every value shows.
    TGaugeFeed eager(&bar, std::chrono::milliseconds(0));
    eager.set(5);
    eager.set(90);
    EXPECT_EQ(bar.value(), 90);
    bar.removeEventFilter(&counter);
}

#pragma once
#include "stats/TStatPage.h"

#include <QStringList>

class QChartView;
class QScrollBar;
class QToolButton;

// The Time page: the files by the half hour of their modified, created and
// accessed times, as three lines.
class TStatPageTime : public TStatPage {
public:
    using TStatPage::TStatPage;
    void build(QWidget *page);

    void doFileTimes();
    void sbTimeChange();
    // The chart's depth (percent), which sbTime sets; the chart draws no depth.
    int timeDepth() const { return timeDepth_; }
    // The start time of each half-hour point of the chart.
    const QStringList &timeLabels() const { return timeLabels_; }

    QChartView *Chart4 = nullptr;
    QScrollBar *sbTime = nullptr;
    QToolButton *SpeedButton = nullptr; // info button 5

private:
    int timeDepth_ = 8;
    QStringList timeLabels_;
};

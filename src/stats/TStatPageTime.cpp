#include "stats/TStatPageTime.h"

#include "stats/StatCharts.h"
#include "stats/StatTallies.h"
#include "stats/TStatWidgets.h"

#include <QCategoryAxis>
#include <QChart>
#include <QChartView>
#include <QLegend>
#include <QLegendMarker>
#include <QLineSeries>
#include <QScrollBar>
#include <QToolButton>
#include <QValueAxis>
#include <algorithm>

using namespace TStatWidgets;

void TStatPageTime::build(QWidget *page)
{
    Chart4 = chartView(page, "Chart4", QRect(4, 4, kPageW - 40, kPageH - 8));
    SpeedButton = infoButton(page, 5);
    sbTime = new QScrollBar(Qt::Vertical, page);
    sbTime->setObjectName(QStringLiteral("sbTime"));
    sbTime->setRange(8, 70);
    sbTime->setValue(8);
    sbTime->setGeometry(kPageW - 26, 40, 18, kPageH - 48);
    connect(sbTime, &QScrollBar::valueChanged, this, &TStatPageTime::sbTimeChange);
    timeLabels_ = StatCharts::slotLabels();
}

void TStatPageTime::doFileTimes()
{
    QChart *c = clearChart(Chart4);
    double maxValue = 0;
    std::vector<QLineSeries *> lines;
    for (const StatCharts::TimeLine &l : StatCharts::timeLines(tallies)) {
        auto *series = new QLineSeries;
        series->setName(l.name);
        series->setColor(l.colour);
        for (int slot = 0; slot < StatTallies::kSlots; ++slot) {
            series->append(slot, l.values[size_t(slot)]);
            maxValue = std::max(maxValue, l.values[size_t(slot)]);
        }
        c->addSeries(series);
        // A file system that keeps no access times gives a flat line of no use.
        if (l.kind == StatTallies::Accessed && !l.hasData())
            series->setVisible(false);
        lines.push_back(series);
    }
    // Every half hour has its point; the axis names every fourth hour.
    auto *x = new QCategoryAxis;
    x->setLabelsPosition(QCategoryAxis::AxisLabelsPositionOnValue);
    x->setStartValue(-1);
    for (int slot = 0; slot < StatTallies::kSlots; slot += 8)
        x->append(timeLabels_[slot], slot);
    x->setRange(0, StatTallies::kSlots - 1);
    x->setTitleText(QStringLiteral("Time of day file was accessed/modified/created"));
    c->addAxis(x, Qt::AlignBottom);
    auto *y = new QValueAxis;
    y->setRange(0, maxValue > 0 ? maxValue : 1);
    y->applyNiceNumbers();
    y->setLabelFormat(QStringLiteral("%.0f"));
    y->setTitleText(QStringLiteral("Numer of files"));
    c->addAxis(y, Qt::AlignLeft);
    for (QLineSeries *series : lines) {
        series->attachAxis(x);
        series->attachAxis(y);
        for (QLegendMarker *m : c->legend()->markers(series))
            m->setVisible(series->isVisible());
    }
    c->legend()->setAlignment(Qt::AlignTop);
    c->legend()->show();
}

void TStatPageTime::sbTimeChange() { timeDepth_ = sbTime->value(); }

#include "stats/TStatPageAges.h"

#include "common/Text.h"
#include "stats/StatCharts.h"
#include "stats/StatTallies.h"
#include "stats/TStatWidgets.h"

#include <QBarSet>
#include <QChart>
#include <QChartView>
#include <QHorizontalBarSeries>
#include <QLegend>
#include <QRadioButton>
#include <QTableWidget>
#include <QToolButton>
#include <algorithm>

using namespace TStatWidgets;

namespace {
const char *const kAgeNames[3] = {"Access", "Create", "Modify"};
const char *const kAgeTitles[3] = {"Accessed Date", "Created Date", "Modified Date"};
}

void TStatPageAges::build(const std::array<QWidget *, 3> &agePages, QWidget *combinedPage)
{
    for (int k = 0; k < 3; ++k)
        buildAgePage(agePages[size_t(k)], k);
    buildCombinedPage(combinedPage);
}

void TStatPageAges::buildAgePage(QWidget *page, int kind)
{
    const size_t k = size_t(kind);
    SpeedButton[k] = infoButton(page, kind + 1);
    const QString name = QLatin1String(kAgeNames[k]);
    chartAge[k] = chartView(page, "", QRect(4, 4, kPageW - 40, 292));
    chartAge[k]->setObjectName(QStringLiteral("chart") + name);
    gridAge[k] = smallGrid(page, "", {194, 189, 140}, 10, QRect(4, 4, kPageW - 40, 292));
    gridAge[k]->setObjectName(QStringLiteral("grid") + name);
    const auto b = chartChoice(page, QStringLiteral("rg%11").arg(name), QStringLiteral("rg%12").arg(name),
                               QStringLiteral("rg%10").arg(name), this, [this] { rgAccessClick(); });
    rgAge1[k] = b[0];
    rgAge2[k] = b[1];
    rgAge0[k] = b[2];
}

void TStatPageAges::buildCombinedPage(QWidget *page)
{
    SpeedButton[3] = infoButton(page, 4);
    chartCombine = chartView(page, "chartCombine", QRect(4, 4, kPageW - 40, 292));
    // Left of the info button, as the chart is.
    gridCombine = smallGrid(page, "gridCombine", {119, 97, 78, 86, 71, 85, 72}, 10, QRect(4, 4, kPageW - 40, 292));
    gridCombine->setHorizontalHeaderLabels({QStringLiteral("Combined dates"), QStringLiteral("Access Size"),
                                            QStringLiteral("Access # files"), QStringLiteral("Create Size"),
                                            QStringLiteral("Create # files"), QStringLiteral("Modify Size"),
                                            QStringLiteral("Modify # files")});
    const auto b = chartChoice(page, QStringLiteral("rbCombine1"), QStringLiteral("rbCombine2"),
                               QStringLiteral("rgCombine0"), this, [this] { rgAccessClick(); });
    rbCombine1 = b[0];
    rbCombine2 = b[1];
    rgCombine0 = b[2];
}

void TStatPageAges::fillGrids()
{
    for (int k = 0; k < 3; ++k)
        fillGridDates(QLatin1String(kAgeTitles[k]), gridAge[size_t(k)], k);
    fillCombinedGridDates();
}

void TStatPageAges::fillGridDates(const QString &title, QTableWidget *grid, int kind)
{
    const StatTallies &t = tallies;
    grid->setHorizontalHeaderLabels({title, QStringLiteral("Total file size"), QStringLiteral("Number of files")});
    for (int b = 0; b < 10; ++b) {
        const int row = 9 - b;
        setCell(grid, row, 0, StatTallies::ageLabel(b));
        setCell(grid, row, 1, formatThousands(t.ageBytes[size_t(kind)][size_t(b)]));
        setCell(grid, row, 2, formatThousands(t.ageCount[size_t(kind)][size_t(b)]));
    }
    fitGrid(grid);
}

void TStatPageAges::fillCombinedGridDates()
{
    const StatTallies &t = tallies;
    for (int b = 0; b < 10; ++b) {
        const int row = 9 - b;
        setCell(gridCombine, row, 0, cellText(gridAge[StatTallies::Modified], row, 0));
        for (size_t k = 0; k < 3; ++k) {
            setCell(gridCombine, row, int(1 + 2 * k), formatThousands(t.ageBytes[k][size_t(b)]));
            setCell(gridCombine, row, int(2 + 2 * k), formatThousands(t.ageCount[k][size_t(b)]));
        }
    }
    fitGrid(gridCombine);
}

void TStatPageAges::doFileAges()
{
    const StatTallies &t = tallies;
    QChart *combined = clearChart(chartCombine);
    combined->setTitle(QStringLiteral("Combination Access/Created/Modified Chart"));
    auto *series = new QHorizontalBarSeries;
    const bool combinedBySize = rbCombine1->isChecked();
    double maxValue = 0;
    QStringList categories;
    for (int b = 0; b < StatTallies::kAgeBuckets; ++b)
        categories << StatTallies::ageLabel(b);
    for (int k = 0; k < 3; ++k) {
        const bool bySize = rgAge1[size_t(k)]->isChecked();
        fillColouredBars(chartAge[size_t(k)], StatCharts::ageTitle(k, bySize), StatCharts::ageBars(t, k, bySize));
    }
    // The series in the order modified, created, accessed.
    for (int k = 2; k >= 0; --k) {
        auto *set = new QBarSet(StatCharts::combinedName(k));
        set->setColor(StatCharts::combinedColour(k));
        set->setBorderColor(StatCharts::combinedColour(k).darker(150));
        for (const StatCharts::Bar &bar : StatCharts::ageBars(t, k, combinedBySize, StatCharts::combinedColour(k))) {
            set->append(bar.value);
            maxValue = std::max(maxValue, bar.value);
        }
        series->append(set);
    }
    addBarSeries(combined, series, 0.85, categories, true, maxValue);
}

void TStatPageAges::rgAccessClick()
{
    for (size_t k = 0; k < 3; ++k) {
        gridAge[k]->setVisible(rgAge0[k]->isChecked());
        chartAge[k]->setVisible(!rgAge0[k]->isChecked());
    }
    gridCombine->setVisible(rgCombine0->isChecked());
    chartCombine->setVisible(!rgCombine0->isChecked());
    doFileAges();
}

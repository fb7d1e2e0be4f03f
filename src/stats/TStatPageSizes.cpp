#include "stats/TStatPageSizes.h"

#include "common/Text.h"
#include "stats/StatCharts.h"
#include "stats/StatTallies.h"
#include "stats/TStatWidgets.h"

#include <QChartView>
#include <QRadioButton>
#include <QTableWidget>

using namespace TStatWidgets;

void TStatPageSizes::build(QWidget *page)
{
    Chart1 = chartView(page, "Chart1", QRect(4, 4, kPageW - 8, 292));
    gridSizes = smallGrid(page, "gridSizes", {194, 189, 140}, 12, QRect(4, 4, kPageW - 8, 292));
    gridSizes->setHorizontalHeaderLabels({QStringLiteral("File size"), QStringLiteral("Total file size"),
                                          QStringLiteral("Number of files")});
    const auto b = chartChoice(page, QStringLiteral("rgSize1"), QStringLiteral("rgSize2"), QStringLiteral("rgSize0"),
                               this, [this] { rgSizesClick(); });
    rgSize1 = b[0];
    rgSize2 = b[1];
    rgSize0 = b[2];
}

void TStatPageSizes::doFileSizes()
{
    fillGridSizes();
    rgSizesClick();
}

void TStatPageSizes::fillGridSizes()
{
    for (int u = 1; u <= 12; ++u) {
        const int row = 12 - u;
        setCell(gridSizes, row, 0, StatTallies::sizeLabel(u));
        setCell(gridSizes, row, 1, formatThousands(tallies.sizeBytes[size_t(u)]));
        setCell(gridSizes, row, 2, formatThousands(tallies.sizeCount[size_t(u)]));
    }
    fitGrid(gridSizes);
}

void TStatPageSizes::rgSizesClick()
{
    const bool listing = rgSize0->isChecked();
    gridSizes->setVisible(listing);
    Chart1->setVisible(!listing);
    if (listing)
        return;
    const bool bySize = rgSize1->isChecked();
    fillColouredBars(Chart1, StatCharts::sizeTitle(bySize), StatCharts::sizeBars(tallies, bySize));
}

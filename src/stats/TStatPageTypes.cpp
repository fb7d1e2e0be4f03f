#include "stats/TStatPageTypes.h"

#include "common/Text.h"
#include "stats/StatCharts.h"
#include "stats/StatTallies.h"
#include "stats/StatText.h"
#include "stats/TStatWidgets.h"

#include <QActionGroup>
#include <QApplication>
#include <QChart>
#include <QChartView>
#include <QGroupBox>
#include <QHeaderView>
#include <QLegend>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QTableWidget>
#include <algorithm>

using namespace TStatWidgets;

namespace {
const char *const kSortCaptions[5] = {"Sort by &Extension", "Sort by &Type", "Sort by &Size",
                                      "Sort by &Number of files", "Sort by &Average File Size"};
}

void TStatPageTypes::build(QWidget *page)
{
    page_ = page;
    gridTypes = new QTableWidget(0, 5, page);
    gridTypes->setObjectName(QStringLiteral("gridTypes"));
    gridTypes->verticalHeader()->hide();
    gridTypes->verticalHeader()->setDefaultSectionSize(20);
    gridTypes->setEditTriggers(QAbstractItemView::NoEditTriggers);
    gridTypes->setSelectionBehavior(QAbstractItemView::SelectRows);
    gridTypes->setSelectionMode(QAbstractItemView::SingleSelection);
    designGrid(gridTypes, {80, 219, 120, 75, 82}, QRect(4, 4, kPageW - 8, 292));
    gridTypes->setContextMenuPolicy(Qt::CustomContextMenu);

    chartPie = chartView(page, "chartPie", QRect(4, 4, kPageW - 28, 292));
    ScrollBar2 = new QScrollBar(Qt::Vertical, page);
    ScrollBar2->setObjectName(QStringLiteral("ScrollBar2"));
    ScrollBar2->setRange(0, 360);
    ScrollBar2->setGeometry(kPageW - 22, 4, 18, 292);
    ScrollBar2->setValue(60);
    chartPie->setProperty("rotation", 60);
    connect(ScrollBar2, &QScrollBar::valueChanged, this, &TStatPageTypes::ScrollBar2Change);

    rgTypes = new QGroupBox(page);
    rgTypes->setObjectName(QStringLiteral("rgTypes"));
    rgTypes->setGeometry(4, 300, 500, 34);
    const char *const captions[4] = {"Listing", "Pie by Size", "Pie by # Files", "Pie by Average Size"};
    const int left[4] = {8, 98, 208, 328}, width[4] = {86, 106, 116, 166};
    for (int i = 0; i < 4; ++i) {
        rgTypesItems[size_t(i)] = radio(rgTypes, nullptr, QLatin1String(captions[i]), QRect(left[i], 6, width[i], 22));
        rgTypesItems[size_t(i)]->setObjectName(QStringLiteral("rgTypes%1").arg(i));
        rgTypesItems[size_t(i)]->setChecked(i == 1);
        connect(rgTypesItems[size_t(i)], &QRadioButton::toggled, this, [this](bool on) {
            if (on)
                rgTypesClick();
        });
    }

    sortMenu = new QMenu(page->window());
    sortMenu->setObjectName(QStringLiteral("PopupMenu1"));
    auto *group = new QActionGroup(sortMenu);
    for (int i = 0; i < 5; ++i) {
        QAction *a = sortMenu->addAction(QLatin1String(kSortCaptions[i]));
        a->setObjectName(QStringLiteral("Sortby%1").arg(i + 1));
        a->setCheckable(true);
        group->addAction(a);
        sortItems[size_t(i)] = a;
        connect(a, &QAction::triggered, this, [this, i] { SortbyExtensionClick(i); });
    }
    sortItems[0]->setChecked(true);
    btSort = new QPushButton(QStringLiteral("&Sort"), page);
    btSort->setObjectName(QStringLiteral("btSort"));
    btSort->setAutoDefault(false);
    btSort->setGeometry(516, 304, 100, 27);
    btSort->setMenu(sortMenu);
    connect(gridTypes, &QWidget::customContextMenuRequested, this,
            [this](const QPoint &at) { sortMenu->exec(gridTypes->viewport()->mapToGlobal(at)); });
}

void TStatPageTypes::setHeaders()
{
    gridTypes->setHorizontalHeaderLabels({QStringLiteral("Extension"), QStringLiteral("Type"), QStringLiteral("Size"),
                                          QStringLiteral("# Files"), QStringLiteral("Avg File Size")});
}

int TStatPageTypes::typeRowCount() const
{
    return std::max(0, gridTypes->rowCount() - 1);
}

bool TStatPageTypes::listing() const { return rgTypesItems[0]->isChecked(); }

void TStatPageTypes::doFileTypes()
{
    if (tallies.includeTypes)
        for (const QString &entry : tallies.chosenTypes())
            tallies.insertType(StatTallies::extractExtension(entry), 0, true);
    const auto rows = tallies.typeRows();
    gridTypes->setRowCount(int(rows.size()) + 1);
    for (int i = 0; i < int(rows.size()); ++i) {
        const auto &r = rows[size_t(i)];
        setCell(gridTypes, i, 0, r.extension, 2);
        setCell(gridTypes, i, 1, StatText::typeName(r.extension), 2);
        setCell(gridTypes, i, 2, formatThousands(r.bytes), 2);
        setCell(gridTypes, i, 3, formatThousands(r.count), 2);
        setCell(gridTypes, i, 4, r.count == 0 ? QStringLiteral("0") : StatText::wholeNumber(double(r.bytes) / double(r.count)), 2);
    }
    const int last = int(rows.size());
    for (int c = 0; c < 5; ++c)
        setCell(gridTypes, last, c, QString(), 2);
    rgTypesClick();
    fitGrid(gridTypes, 1);
}

void TStatPageTypes::doTotals()
{
    const int last = gridTypes->rowCount() - 1;
    if (last < 0)
        return;
    auto digits = [](const QString &s) {
        int64_t n = 0;
        for (QChar c : s)
            if (c >= QLatin1Char('0') && c <= QLatin1Char('9'))
                n = n * 10 + (c.unicode() - '0');
        return n;
    };
    int64_t bytes = 0, files = 0;
    for (int r = 0; r < last; ++r) {
        bytes += digits(cellText(gridTypes, r, 2));
        files += digits(cellText(gridTypes, r, 3));
    }
    setCell(gridTypes, last, 1, QStringLiteral("Totals"), 2);
    setCell(gridTypes, last, 2, formatThousands(bytes), 2);
    setCell(gridTypes, last, 3, formatThousands(files), 2);
    fitGrid(gridTypes, 1);
}

void TStatPageTypes::rgTypesClick()
{
    const bool listing = rgTypesItems[0]->isChecked();
    gridTypes->setVisible(listing);
    btSort->setVisible(listing);
    chartPie->setVisible(!listing);
    ScrollBar2->setVisible(!listing);
    // The pies turn exactly while a pie form is chosen here.
    host.turnPies(!listing);
    if (listing) {
        doTotals();
        return;
    }
    int form = 1;
    for (int i = 1; i < 4; ++i)
        if (rgTypesItems[size_t(i)]->isChecked())
            form = i;
    SortbyExtensionClick(form + 1);
    fillPie(chartPie, {}, StatCharts::typeSlices(typeGridRows(), form + 1));
    chartPie->chart()->legend()->setAlignment(Qt::AlignRight);
    chartPie->chart()->legend()->show();
}

std::vector<QStringList> TStatPageTypes::typeGridRows() const
{
    std::vector<QStringList> rows;
    for (int r = 0; r < typeRowCount(); ++r) {
        QStringList cells;
        for (int c = 0; c < 5; ++c)
            cells << cellText(gridTypes, r, c);
        rows.push_back(cells);
    }
    return rows;
}

void TStatPageTypes::SortbyExtensionClick(int item)
{
    if (item < 0 || item > 4)
        return;
    const int data = typeRowCount();
    if (data < 2)
        return;
    for (QAction *a : sortItems)
        a->setChecked(false);
    QApplication::setOverrideCursor(Qt::WaitCursor);
    std::vector<QStringList> rows = typeGridRows();
    StatText::sortRows(rows, item, item < 2 ? SortKind::Text : SortKind::Number, item >= 2);
    for (int r = 0; r < data; ++r)
        for (int c = 0; c < 5; ++c)
            setCell(gridTypes, r, c, rows[size_t(r)][c], 2);
    sortItems[size_t(item)]->setChecked(true);
    QApplication::restoreOverrideCursor();
}

void TStatPageTypes::turnPie()
{
    if (!host.isCurrentPage(page_) || listing())
        return;
    rotate(chartPie, 1);
    const QSignalBlocker quiet(ScrollBar2);
    ScrollBar2->setValue(rotation(chartPie));
}

void TStatPageTypes::ScrollBar2Change() { setRotation(chartPie, ScrollBar2->value()); }

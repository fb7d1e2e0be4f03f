#include "stats/TStatPageAttributes.h"

#include "common/Text.h"
#include "stats/StatCharts.h"
#include "stats/StatTallies.h"
#include "stats/TStatWidgets.h"

#include <QChartView>
#include <QLabel>

using namespace TStatWidgets;

void TStatPageAttributes::build(QWidget *page)
{
    label(page, QStringLiteral("# Files"), QRect(100, 24, 80, 20), nullptr, Qt::AlignRight | Qt::AlignVCenter);
    label(page, QStringLiteral("File Sizes"), QRect(184, 24, 110, 20), nullptr, Qt::AlignRight | Qt::AlignVCenter);
    label(page, QStringLiteral("% of total # files"), QRect(300, 4, 160, 20), nullptr, Qt::AlignCenter);
    label(page, QStringLiteral("% of total size"), QRect(462, 4, 158, 20), nullptr, Qt::AlignCenter);
    const char *const rows[4] = {"Read-only", "Hidden", "System", "Archive"};
    const char *const names[4] = {"ReadOnly", "Hidden", "System", "Archive"};
    for (int a = 0; a < 4; ++a) {
        const int y = 52 + 28 * a;
        label(page, QLatin1String(rows[a]), QRect(10, y, 90, 20));
        lblNAttr[size_t(a)] = label(page, {}, QRect(100, y, 80, 20), nullptr, Qt::AlignRight | Qt::AlignVCenter);
        lblNAttr[size_t(a)]->setObjectName(QStringLiteral("lblN") + QLatin1String(names[a]));
        lblSzAttr[size_t(a)] = label(page, {}, QRect(184, y, 110, 20), nullptr, Qt::AlignRight | Qt::AlignVCenter);
        lblSzAttr[size_t(a)]->setObjectName(QStringLiteral("lblSz") + QLatin1String(names[a]));
    }
    Chart2 = chartView(page, "Chart2", QRect(300, 24, 160, 230));
    Chart3 = chartView(page, "Chart3", QRect(462, 24, 158, 230));
    auto *note = label(page,
                       QStringLiteral("Note it is possible that some files may have more than one attribute set.  "
                                      "For example many system files are also hidden."),
                       QRect(10, 266, 600, 40), "lblNote");
    note->setWordWrap(true);
}

void TStatPageAttributes::doFileAttrs()
{
    const StatTallies &t = tallies;
    for (size_t a = 0; a < 4; ++a) {
        lblNAttr[a]->setText(formatThousands(t.attrCount[a]));
        lblSzAttr[a]->setText(formatThousands(t.attrBytes[a]));
    }
    QStringList names;
    for (int a : StatCharts::kAttrChartOrder)
        names << StatCharts::attributeName(a);
    fillPlainBars(Chart2, StatCharts::attributePercents(t, false), QColor(0xFF, 0, 0), names, true, 2);
    // The size chart stands beside the one of files, in the same order.
    fillPlainBars(Chart3, StatCharts::attributePercents(t, true), QColor(0, 0, 0xFF), names, false, 2);
}

#include "scan/GridReport.h"

#include "common/DosTime.h"

QStringList GridReport::heading(const QString &title, const QDateTime &now)
{
    return {title, QStringLiteral("Printed : ") + shortDateText(now.date()) + QStringLiteral("  ")
                       + longTimeText(now.time()),
            QString(), QString()};
}

QString GridReport::row(const QStringList &cells, const std::vector<int> &widthsPx)
{
    QString out;
    for (size_t c = 0; c < widthsPx.size(); ++c) {
        const int w = std::max(0, widthsPx[c] / 6);
        const QString text = c < size_t(cells.size()) ? cells[qsizetype(c)] : QString();
        out += text.left(w).leftJustified(w, QLatin1Char(' '));
        out += QLatin1Char(' ');
    }
    return out;
}

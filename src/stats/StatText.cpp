#include "stats/StatText.h"

#include "common/DosTime.h"
#include "platform/FileTypes.h"
#include "scan/GridSortKeys.h"

#include <QLocale>
#include <algorithm>
#include <cmath>

QString StatText::wholeNumber(double value)
{
    return QLocale().toString(std::round(value), 'f', 0);
}

QString StatText::percent(double value)
{
    return QLocale().toString(value, 'f', 1);
}

QString StatText::typeName(const QString &extension)
{
    if (extension.isEmpty())
        return QStringLiteral("No extension");
    return FileTypes::fileTypeName(extension.toLower());
}

QString StatText::since(int64_t daySerial)
{
    if (daySerial < 0)
        return {};
    QDate d = QDate(1899, 12, 30).addDays(daySerial);
    if (!d.isValid() || daySerial > 3000000)
        d = QDate(1980, 1, 1);
    return QStringLiteral("Since ") + shortDateText(d);
}

void StatText::sortRows(std::vector<QStringList> &rows, int column, SortKind kind, bool descending)
{
    const QChar point = QLocale().decimalPoint().at(0);
    auto cellOf = [column](const QStringList &r) { return column < r.size() ? r[column] : QString(); };
    if (kind == SortKind::Number) {
        std::vector<std::pair<double, size_t>> keys;
        for (size_t i = 0; i < rows.size(); ++i)
            keys.emplace_back(GridSortKeys::number(cellOf(rows[i]), point), i);
        std::stable_sort(keys.begin(), keys.end(), [descending](const auto &a, const auto &b) {
            return descending ? a.first > b.first : a.first < b.first;
        });
        std::vector<QStringList> out;
        out.reserve(rows.size());
        for (const auto &k : keys)
            out.push_back(std::move(rows[k.second]));
        rows.swap(out);
        return;
    }
    std::stable_sort(rows.begin(), rows.end(), [&](const QStringList &a, const QStringList &b) {
        const int c = GridSortKeys::compareText(cellOf(a), cellOf(b));
        return descending ? c > 0 : c < 0;
    });
}

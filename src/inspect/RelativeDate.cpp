#include "inspect/RelativeDate.h"

namespace {
// 1 for Sunday to 7 for Saturday.
int weekday(const QDate &d) { return d.dayOfWeek() % 7 + 1; }
int monthIndex(const QDate &d) { return d.year() * 12 + d.month(); }
QString plural(int n, const char *unit) { return QString::number(n) + QLatin1String(unit) + (n > 1 ? QStringLiteral("s") : QString()); }
}

QString relativeDateText(const QDateTime &dt, const QDateTime &nowDt)
{
    const QDate d = dt.date();
    const QDate now = nowDt.date();
    if (!d.isValid() || d.year() == 0 || !now.isValid())
        return {};
    const qint64 signedDays = now.daysTo(d);
    const bool future = signedDays > 0;
    const qint64 days = future ? signedDays : -signedDays;
    if (days == 0)
        return QStringLiteral("Today");
    if (days == 1)
        return future ? QStringLiteral("Tomorrow") : QStringLiteral("Yesterday");
    const bool yearsApart = std::abs(now.year() - d.year()) > 2;
    if (!future) {
        const qint64 weeks = (weekday(d) + days - 1) / 7;
        if (weeks == 0)
            return QStringLiteral("This week");
        if (weeks == 1)
            return QStringLiteral("Last week");
        const int months = monthIndex(now) - monthIndex(d);
        if (months <= 2)
            return QString::number(weeks) + QStringLiteral(" wks ago");
        if (yearsApart) {
            const int y = months / 12, r = months % 12;
            return QString::number(y) + QStringLiteral(" yrs ")
                   + (r > 0 ? plural(r, " mon") + QStringLiteral(" ") : QString()) + QStringLiteral("ago");
        }
        return plural(months, " mon") + QStringLiteral(" ago");
    }
    const qint64 weeks = (days + weekday(now) - 1) / 7;
    if (7 - weekday(now) >= days)
        return QStringLiteral("This week");
    if (weeks < 2)
        return QStringLiteral("Next week");
    const int months = monthIndex(d) - monthIndex(now);
    if (months <= 2)
        return QString::number(weeks) + QStringLiteral(" wks");
    if (yearsApart) {
        const int y = months / 12, r = months % 12;
        return QString::number(y) + QStringLiteral(" yrs") + (r > 0 ? QStringLiteral(" ") + plural(r, " mon") : QString());
    }
    return plural(months, " mon");
}

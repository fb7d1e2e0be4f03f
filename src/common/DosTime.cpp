#include "common/DosTime.h"

#include <QLocale>
#include <QRegularExpression>

DosDateTime DosTime::pack(const QDateTime &local)
{
    if (!local.isValid())
        return 0;
    const QDate d = local.date();
    const QTime t = local.time();
    if (d.year() < 1980 || d.year() > 2107)
        return 0;
    return (uint32_t(d.year() - 1980) << 25) | (uint32_t(d.month()) << 21) | (uint32_t(d.day()) << 16)
        | (uint32_t(t.hour()) << 11) | (uint32_t(t.minute()) << 5) | uint32_t(t.second() / 2);
}

DosDateTime DosTime::fromUnix(int64_t secs)
{
    // 1979-12-30 .. 2108-01-02 in UTC bounds every local time of 1980-2107.
    if (secs < 315000000LL || secs > 4354000000LL)
        return 0;
    const time_t t = time_t(secs);
    struct tm lt;
    if (!localtime_r(&t, &lt))
        return 0;
    const int y = lt.tm_year + 1900;
    if (y < 1980 || y > 2107)
        return 0;
    return (uint32_t(y - 1980) << 25) | (uint32_t(lt.tm_mon + 1) << 21) | (uint32_t(lt.tm_mday) << 16)
        | (uint32_t(lt.tm_hour) << 11) | (uint32_t(lt.tm_min) << 5) | uint32_t(lt.tm_sec / 2);
}

namespace {
// Days since 1970-01-01 to a civil date (proleptic Gregorian).
void civilFromDays(int64_t z, int &y, int &m, int &d)
{
    z += 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const int64_t doe = z - era * 146097;
    const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const int64_t mp = (5 * doy + 2) / 153;
    d = int(doy - (153 * mp + 2) / 5 + 1);
    m = int(mp < 10 ? mp + 3 : mp - 9);
    y = int(yoe + era * 400 + (m <= 2 ? 1 : 0));
}

int64_t gmtOffset(int64_t secs)
{
    const time_t t = time_t(secs);
    struct tm lt;
    if (!localtime_r(&t, &lt))
        return INT64_MIN;
    return lt.tm_gmtoff;
}
}

DosDateTime DosTime::Converter::operator()(int64_t secs)
{
    // Files made together share their stamps: the last one is kept.
    if (secs == lastSecs_)
        return lastStamp_;
    lastSecs_ = secs;
    lastStamp_ = convert(secs);
    return lastStamp_;
}

DosDateTime DosTime::Converter::convert(int64_t secs)
{
    if (secs < 315000000LL || secs > 4354000000LL)
        return 0;
    const int64_t number = secs / 900;
    if (!spans_)
        spans_ = std::make_unique<Span[]>(kSpans);
    Span &span = spans_[size_t(number) % kSpans];
    if (span.number != number) {
        span.number = number;
        const int64_t offset = gmtOffset(number * 900);
        // Offsets are within a day; anything else is converted stamp by stamp.
        span.uniform = offset > -86400 && offset < 86400 && gmtOffset(number * 900 + 899) == offset;
        span.offset = span.uniform ? int32_t(offset) : 0;
    }
    if (!span.uniform)
        return fromUnix(secs);
    const int64_t local = secs + span.offset;
    const int64_t days = local >= 0 ? local / 86400 : (local - 86399) / 86400;
    const int64_t rest = local - days * 86400;
    if (days != day_) {
        // Neighbouring stamps mostly share their day: its date is kept.
        int y, m, d;
        civilFromDays(days, y, m, d);
        day_ = days;
        date_ = y < 1980 || y > 2107 ? 0 : (uint32_t(y - 1980) << 25) | (uint32_t(m) << 21) | (uint32_t(d) << 16);
    }
    if (date_ == 0)
        return 0;
    const int hh = int(rest / 3600), mm = int(rest / 60 % 60), ss = int(rest % 60);
    return date_ | (uint32_t(hh) << 11) | (uint32_t(mm) << 5) | uint32_t(ss / 2);
}

int DosTime::year(DosDateTime s) { return int(s >> 25) + 1980; }
int DosTime::month(DosDateTime s) { return int((s >> 21) & 0x0f); }
int DosTime::day(DosDateTime s) { return int((s >> 16) & 0x1f); }
int DosTime::hour(DosDateTime s) { return int((s >> 11) & 0x1f); }
int DosTime::minute(DosDateTime s) { return int((s >> 5) & 0x3f); }
int DosTime::second(DosDateTime s) { return int(s & 0x1f) * 2; }

QDate DosTime::date(DosDateTime s)
{
    return QDate(year(s), month(s), day(s));
}

QTime DosTime::time(DosDateTime s)
{
    if (hour(s) > 23 || minute(s) > 59 || second(s) > 59)
        return QTime();
    return QTime(hour(s), minute(s), second(s));
}

QDateTime DosTime::unpack(DosDateTime s)
{
    const QDate d = date(s);
    const QTime t = time(s);
    if (!d.isValid() || !t.isValid())
        return QDateTime();
    return QDateTime(d, t);
}

bool DosTime::isValid(DosDateTime s)
{
    return s != 0 && unpack(s).isValid();
}

QString shortDateFormat()
{
    QString f = QLocale().dateFormat(QLocale::ShortFormat);
    if (!f.contains(QLatin1String("yyyy")))
        f.replace(QLatin1String("yy"), QLatin1String("yyyy"));
    return f;
}

QString longTimeFormat()
{
    QString f = QLocale().timeFormat(QLocale::LongFormat);
    // Drop the time-zone part ("t", "tt", "ttt", "tttt") and the blank before it.
    static const QRegularExpression zone(QStringLiteral("\\s*t+"));
    f.remove(zone);
    return f.trimmed();
}

QString shortDateText(const QDate &d)
{
    return QLocale().toString(d, shortDateFormat());
}

QString longTimeText(const QTime &t)
{
    return QLocale().toString(t, longTimeFormat());
}

QString dosDateText(DosDateTime s) { return dosDateText(s, QLocale(), shortDateFormat()); }

QString dosDateText(DosDateTime s, const QLocale &locale, const QString &format)
{
    if (s == 0)
        return {};
    QDate d = DosTime::date(s);
    if (!d.isValid())
        d = QDate(1980, 1, 1);
    return locale.toString(d, format);
}

QString dosTimeText(DosDateTime s) { return dosTimeText(s, false); }

QString dosTimeText(DosDateTime s, bool oddSecond)
{
    if (s == 0)
        return {};
    const QTime t = DosTime::time(s);
    if (!t.isValid())
        return QStringLiteral("12:00:00");
    return longTimeText(oddSecond ? t.addSecs(1) : t);
}

int dateSerial(const QDate &d)
{
    return int(QDate(1899, 12, 30).daysTo(d));
}

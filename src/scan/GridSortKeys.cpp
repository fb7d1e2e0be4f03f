#include "scan/GridSortKeys.h"

#include <QDate>
#include <QLocale>
#include <charconv>

double GridSortKeys::number(QStringView text, QChar decimalPoint)
{
    char buf[64];
    int n = 0;
    for (QChar c : text) {
        if (c.unicode() >= '0' && c.unicode() <= '9') {
            if (n < int(sizeof buf))
                buf[n++] = char(c.unicode());
        } else if (c == decimalPoint) {
            if (n < int(sizeof buf))
                buf[n++] = '.';
        }
    }
    if (n == 0 || n == int(sizeof buf))
        return 0;
    double v = 0;
    const auto r = std::from_chars(buf, buf + n, v);
    if (r.ec != std::errc() || r.ptr != buf + n)
        return 0;
    return v;
}

GridSortKeys::DateReader::DateReader(const QString &format) : format_(format)
{
    for (qsizetype i = 0; i < format.size();) {
        const QChar c = format.at(i);
        qsizetype j = i;
        while (j < format.size() && format.at(j) == c)
            ++j;
        const qsizetype run = j - i;
        if (c == QLatin1Char('d') && run <= 2)
            tokens_.push_back({Part::Day, {}});
        else if (c == QLatin1Char('M') && run <= 2)
            tokens_.push_back({Part::Month, {}});
        else if (c == QLatin1Char('y') && run == 2)
            tokens_.push_back({Part::Year2, {}});
        else if (c == QLatin1Char('y') && run == 4)
            tokens_.push_back({Part::Year4, {}});
        else if (c.isLetter() || c == QLatin1Char('\''))
            fast_ = false; // month or day names, quoted text: leave it to QLocale
        else
            tokens_.push_back({Part::Literal, format.mid(i, run)});
        i = j;
    }
}

qint64 GridSortKeys::DateReader::day(QStringView text) const
{
    static const qint64 fallback = QDate(1900, 1, 1).toJulianDay();
    if (text.isEmpty())
        return fallback;
    if (!fast_) {
        const QDate d = QLocale().toDate(text.toString(), format_);
        return d.isValid() ? d.toJulianDay() : fallback;
    }
    int day = 0, month = 0, year = 0;
    qsizetype pos = 0;
    for (const Token &t : tokens_) {
        if (t.part == Part::Literal) {
            if (text.mid(pos, t.literal.size()) != t.literal)
                return fallback;
            pos += t.literal.size();
            continue;
        }
        const int maxDigits = t.part == Part::Year4 ? 4 : 2;
        int value = 0, digits = 0;
        while (pos < text.size() && digits < maxDigits && text.at(pos).unicode() >= '0'
               && text.at(pos).unicode() <= '9') {
            value = value * 10 + (text.at(pos).unicode() - '0');
            ++pos;
            ++digits;
        }
        if (digits == 0 || (t.part == Part::Year4 && digits != 4))
            return fallback;
        switch (t.part) {
        case Part::Day: day = value; break;
        case Part::Month: month = value; break;
        case Part::Year2: year = 1900 + value; break;
        case Part::Year4: year = value; break;
        default: break;
        }
    }
    if (pos != text.size())
        return fallback;
    const QDate d(year, month, day);
    return d.isValid() ? d.toJulianDay() : fallback;
}

int GridSortKeys::compareText(QStringView a, QStringView b)
{
    const qsizetype n = std::min(a.size(), b.size());
    const QChar *pa = a.data();
    const QChar *pb = b.data();
    for (qsizetype i = 0; i < n; ++i) {
        ushort x = pa[i].unicode(), y = pb[i].unicode();
        if (x >= 'a' && x <= 'z')
            x -= 32;
        if (y >= 'a' && y <= 'z')
            y -= 32;
        if (x != y)
            return x < y ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

#include "finders/DirHogScan.h"

#include "common/DosTime.h"
#include "common/Text.h"

#include <QLocale>
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>

// The texts of the folder hogs lines: how they are written and ordered.

namespace {
// Writes v's digits before end, in groups of three parted by group (none
// when group is 0); gives the first character written.
char16_t *digitsBefore(char16_t *end, uint64_t v, char16_t group)
{
    int n = 0;
    do {
        if (group != 0 && n != 0 && n % 3 == 0)
            *--end = group;
        *--end = char16_t(u'0' + v % 10);
        v /= 10;
        ++n;
    } while (v != 0);
    return end;
}

// Appends a whole number's digits (grouped by group, if set) at out.
char16_t *putNumber(char16_t *out, int64_t v, char16_t group)
{
    char16_t buf[32];
    char16_t *const end = buf + 32;
    const uint64_t u = v < 0 ? 0 - uint64_t(v) : uint64_t(v);
    char16_t *first = digitsBefore(end, u, group);
    if (v < 0)
        *--first = u'-';
    return std::copy(first, end, out);
}

// Appends the percent of percentText with two decimals: rounded to the
// nearest, an exact half away from zero as the locale rounds it.
char16_t *putPercent(char16_t *out, int64_t bytes, double capacity, char16_t point)
{
    if (!(double(bytes) < capacity)) {
        for (const char16_t c : u"???")
            if (c != 0)
                *out++ = c;
        return out;
    }
    const double v = 100.0 * double(bytes) / capacity;
    if (v >= 0 && v < 0.004) {
        // Far below the first hundredth, as most folders of a drive are.
        for (const char16_t c : {u'0', point, u'0', u'0'})
            *out++ = c;
        return out;
    }
    // Only a multiple of 1/8 ends exactly on a half of a hundredth (in
    // binary, 5/1000 needs a factor 1/125 no double has): an odd number of
    // eighths.
    const double eighths = v * 8;
    if (std::isfinite(v) && eighths == std::floor(eighths) && std::fmod(std::fabs(eighths), 2.0) == 1.0) {
        const long long h = std::llround(v * 100); // exact: v * 100 is a whole number and a half
        const uint64_t u = uint64_t(h < 0 ? -h : h);
        if (h < 0)
            *out++ = u'-';
        char16_t buf[32];
        out = std::copy(digitsBefore(buf + 32, u / 100, 0), buf + 32, out);
        *out++ = point;
        *out++ = char16_t(u'0' + u / 10 % 10);
        *out++ = char16_t(u'0' + u % 10);
        return out;
    }
    char buf[400];
    const std::to_chars_result r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, 2);
    for (const char *c = buf; c != r.ptr; ++c)
        *out++ = *c == '.' ? point : char16_t(*c);
    return out;
}
}

DirHogScan::LineWriter::LineWriter()
{
    const QString g = locale.groupSeparator(), p = locale.decimalPoint();
    if (g.size() != 1 || p.size() != 1)
        return;
    group = g.front().unicode();
    point = p.front().unicode();
    // The locale's own texts of a few numbers decide whether they can be
    // written here.
    char16_t buf[64];
    for (const int64_t n : {int64_t(0), int64_t(7), int64_t(999), int64_t(1000), int64_t(12345), int64_t(-1234567),
                            int64_t(1234567890123456789)})
        if (locale.toString(qlonglong(n)) != QStringView(buf, putNumber(buf, n, group) - buf))
            return;
    for (const auto &[bytes, capacity] : {std::pair<int64_t, double>{0, 10}, {1, 800}, {5, 800}, {1234, 10000},
                                          {12345, 100000}, {99995, 100000}, {1, 3}, {2, 3}})
        if (locale.toString(100.0 * double(bytes) / capacity, 'f', 2)
            != QStringView(buf, putPercent(buf, bytes, capacity, point) - buf))
            return;
    direct = true;
}

const QString &DirHogScan::LineWriter::dateOf(uint32_t stamp)
{
    static const QString none;
    if (stamp == 0)
        return none;
    const uint32_t d = stamp >> 16; // a DOS stamp's date half
    Recent &r = recent[d % recent.size()];
    if (r.text && r.day == d)
        return *r.text;
    if (known) {
        if (const auto k = known->find(d); k != known->end()) {
            r = {d, &k->second};
            return k->second;
        }
    }
    auto found = dayTexts.find(d);
    if (found == dayTexts.end())
        found = dayTexts.emplace(d, dosDateText(stamp, locale, dateFormat)).first;
    r = {d, &found->second}; // the map's entries stay where they are
    return found->second;
}

QString DirHogScan::LineWriter::line(Store &store, const Totals &t, double capacity, QStringView *fields)
{
    const QString &date = dateOf(t.latestAccess);
    QString made; // where the locale writes the numbers
    if (!direct)
        made = DirHogScan::line(t, capacity, date, QString(), locale);
    const qsizetype room = direct ? headRoom + date.size() : made.size();
    uint64_t handle;
    QChar *const start = store.texts.allocate(size_t(room), handle);
    QChar *end;
    qsizetype tabs[5];
    if (direct)
        end = head(start, t, capacity, date, tabs);
    else
        end = std::copy(made.constData(), made.constData() + made.size(), start);
    store.texts.unuse(size_t(room - (end - start)));
    const QString text = QString::fromRawData(start, end - start);
    if (!fields)
        return text;
    if (direct) {
        qsizetype from = 0;
        for (int f = 0; f < 5; ++f) {
            fields[f] = QStringView(start + from, tabs[f] - from);
            from = tabs[f] + 1;
        }
    } else {
        QStringView all[GridLines::MaxFields];
        const int n = GridLines::splitFields(text, all);
        std::copy(all, all + std::min(n, 5), fields);
        std::fill(fields + std::min(n, 5), fields + 5, QStringView());
    }
    return text;
}

QChar *DirHogScan::LineWriter::head(QChar *out, const Totals &t, double capacity, const QString &date, qsizetype *tabs)
{
    // The four numbers and their tabs, then the date and its tab.
    char16_t *const first = reinterpret_cast<char16_t *>(out);
    char16_t *at = putNumber(first, t.bytes, group);
    qsizetype tab[5];
    tab[0] = at - first;
    *at++ = u'\t';
    at = putPercent(at, t.bytes, capacity, point);
    tab[1] = at - first;
    *at++ = u'\t';
    at = putNumber(at, t.files, 0);
    tab[2] = at - first;
    *at++ = u'\t';
    at = putNumber(at, t.folders, 0);
    tab[3] = at - first;
    *at++ = u'\t';
    at = std::copy(date.utf16(), date.utf16() + date.size(), at);
    tab[4] = at - first;
    *at++ = u'\t';
    if (tabs)
        std::copy(tab, tab + 5, tabs);
    return reinterpret_cast<QChar *>(at);
}

namespace {
// An ASCII character that a comparison without regard to case compares as it is.
bool caseless(char16_t c) { return c < 0x80 && !((c | 0x20) >= u'a' && (c | 0x20) <= u'z'); }
}

uint64_t DirHogScan::leadKey(const QString &text)
{
    if (text.size() < 8)
        return 0;
    uint64_t key = 0;
    for (qsizetype i = 0; i < 8; ++i) {
        const char16_t c = text.at(i).unicode();
        if (!caseless(c))
            return 0;
        key = key << 8 | c;
    }
    return key;
}

int DirHogScan::headOrder(const Line &a, const Line &b)
{
    // Keys set on both that differ part at a character that case leaves alone.
    if (a.lead != b.lead && a.lead != 0 && b.lead != 0)
        return a.lead > b.lead ? -1 : 1;
    // Most lines part within their first characters (the size's digits).
    // Where they first differ by two characters that case does not touch,
    // those decide, as the comparison without regard to case would;
    // otherwise the heads are compared from there (the same characters
    // before compare alike either way; a character of two units is compared
    // whole).
    const QStringView x(a.head), y(b.head);
    const char16_t *p = x.utf16(), *q = y.utf16();
    const qsizetype n = std::min(x.size(), y.size());
    qsizetype i = 0;
    while (i < n && p[i] == q[i])
        ++i;
    if (i == x.size() && i == y.size())
        return 0;
    if (i < n && caseless(p[i]) && caseless(q[i]))
        return p[i] > q[i] ? -1 : 1;
    if (i > 0 && QChar::isHighSurrogate(p[i - 1]))
        --i;
    return -QtPrivate::compareStrings(x.mid(i), y.mid(i), Qt::CaseInsensitive);
}

bool DirHogScan::textBefore(const Line &a, const Line &b) const
{
    // Descending text without regard to case: the heads (which have the
    // same length when they compare alike), then the folders as shown.
    if (const int h = headOrder(a, b); h != 0)
        return h < 0;
    if (const int c = folders_.compare(a.folder, b.folder, Qt::CaseInsensitive); c != 0)
        return c > 0;
    // Lines alike but for case (folders whose names show alike) keep one
    // order: by their texts as they are, then by path.
    if (const int c = QtPrivate::compareStrings(a.head, b.head, Qt::CaseSensitive); c != 0)
        return c > 0;
    if (const int c = folders_.compare(a.folder, b.folder, Qt::CaseSensitive); c != 0)
        return c > 0;
    return folders_.path(a.folder) > folders_.path(b.folder);
}

namespace {
// Sorts lines by small keys, each with its line's number (most comparisons
// end at the keys), and moves the lines once into their places.
template <typename Before>
void sortByKeys(std::vector<DirHogScan::Line> &lines, Before before)
{
    struct Key {
        uint64_t lead;
        uint32_t line;
    };
    std::vector<Key> keys(lines.size());
    for (uint32_t i = 0; i < keys.size(); ++i)
        keys[i] = {lines[i].lead, i};
    std::sort(keys.begin(), keys.end(), [&](const Key &a, const Key &b) {
        if (a.lead != b.lead && a.lead != 0 && b.lead != 0)
            return a.lead > b.lead;
        return before(lines[a.line], lines[b.line]);
    });
    std::vector<DirHogScan::Line> sorted;
    sorted.reserve(lines.size());
    for (const Key &k : keys)
        sorted.push_back(std::move(lines[k.line]));
    lines = std::move(sorted);
}
}

void DirHogScan::sortHeads(std::vector<Line> &lines)
{
    sortByKeys(lines, [](const Line &a, const Line &b) { return headOrder(a, b) < 0; });
}

void DirHogScan::sortLines(std::vector<Line> &lines) const
{
    sortByKeys(lines, [this](const Line &a, const Line &b) { return textBefore(a, b); });
}

void DirHogScan::settleRun(std::vector<Line> &run) const
{
    // Lines alike in head lie together: each such group in order.
    for (size_t i = 0; i < run.size();) {
        size_t j = i + 1;
        while (j < run.size() && headOrder(run[i], run[j]) == 0)
            ++j;
        if (j - i > 1)
            std::sort(run.begin() + ptrdiff_t(i), run.begin() + ptrdiff_t(j),
                      [this](const Line &a, const Line &b) { return textBefore(a, b); });
        i = j;
    }
}

QString DirHogScan::percentText(int64_t bytes, double capacity, const QLocale &locale)
{
    if (!(double(bytes) < capacity))
        return QStringLiteral("???");
    return locale.toString(100.0 * double(bytes) / capacity, 'f', 2);
}

QString DirHogScan::line(const Totals &t, double capacity, std::string_view folder)
{
    Store store;
    return LineWriter().line(store, t, capacity) + displayName(std::string(folder)); // a copy: the store goes
}

QString DirHogScan::line(const Totals &t, double capacity, const QString &dateText, const QString &folderText,
                         const QLocale &locale)
{
    // The size as formatThousands writes it, in a locale made once.
    const QChar tab(QLatin1Char('\t'));
    return locale.toString(qlonglong(t.bytes)) + tab + percentText(t.bytes, capacity, locale) + tab + QString::number(t.files) + tab
        + QString::number(t.folders) + tab + dateText + tab + folderText;
}

#include "finders/TempPatterns.h"

#include "settings/IniFile.h"
#include "platform/FileTypes.h"

#include <algorithm>

namespace {
const QString kSection = QStringLiteral("TempFiles");

template <typename Text>
qsizetype extensionStart(const Text &name)
{
    for (qsizetype i = qsizetype(name.size()) - 1; i >= 0; --i) {
        const auto c = name[size_t(i)];
        if (c == '.')
            return i;
        if (c == '\\' || c == ':')
            return -1;
    }
    return -1;
}
}

// The built-in lists hold only endings that name throwaway files on Linux as
// well. Two endings of the Windows lists are left out because here they name
// a user's data: *.fts is a FITS image (scientific imaging), and *.chk is the
// checkpoint of a computation (no disk checker here leaves .chk fragments;
// fsck puts what it recovers into lost+found). Both can still be added by
// hand.
const QStringList &TempPatterns::editorFallback()
{
    static const QStringList list{"*.tmp", "*.bak", "*.$$$"};
    return list;
}

const QStringList &TempPatterns::cleanFallback()
{
    static const QStringList list{"*.tmp", "*.bak", "*.$$$", "*.~mp", "*.old",
                                  "*.~*",  "*.gid", "*.ftg", "*.da0", "*.db$"};
    return list;
}

const QStringList &TempPatterns::defaults()
{
    static const QStringList list{"*.tmp", "*.temp", "*.bak", "*.old", "*.$$$", "*.~mp",
                                  "*.old", "*.~*",   "*.gid", "*.ftg", "*.da0", "*.db$"};
    return list;
}

QString TempPatterns::extensionOf(const QString &name)
{
    const qsizetype dot = extensionStart(name);
    return dot < 0 ? QString() : name.mid(dot);
}

std::string_view TempPatterns::extensionOf(std::string_view name)
{
    const qsizetype dot = extensionStart(name);
    return dot < 0 ? std::string_view() : name.substr(size_t(dot));
}

QString TempPatterns::rowFor(const QString &pattern)
{
    return pattern + QLatin1Char('\t') + fileTypeName(extensionOf(pattern));
}

QString TempPatterns::patternOf(const QString &row)
{
    const qsizetype tab = row.indexOf(QLatin1Char('\t'));
    return tab < 0 ? row : row.left(tab);
}

QStringList TempPatterns::readFromDisk(const QStringList &fallback)
{
    QStringList rows;
    for (const QString &pattern : IniFile().readList(kSection, fallback))
        if (!pattern.isEmpty())
            rows << rowFor(pattern);
    sort(rows);
    return rows;
}

void TempPatterns::writeToDisk(const QStringList &rows)
{
    IniFile().writeList(kSection, rows);
}

bool TempPatterns::contains(const QStringList &rows, const QString &row)
{
    return rows.contains(row, Qt::CaseInsensitive);
}

int TempPatterns::addUnique(QStringList &rows, const QString &row)
{
    if (contains(rows, row))
        return -1;
    const auto at = std::upper_bound(rows.begin(), rows.end(), row, before);
    const int index = int(at - rows.begin());
    rows.insert(index, row);
    return index;
}

void TempPatterns::sort(QStringList &rows)
{
    std::stable_sort(rows.begin(), rows.end(), before);
}

bool TempPatterns::before(const QString &a, const QString &b)
{
    const int folded = a.compare(b, Qt::CaseInsensitive);
    return folded != 0 ? folded < 0 : a < b;
}

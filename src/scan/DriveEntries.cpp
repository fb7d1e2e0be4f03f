#include "scan/DriveEntries.h"

std::vector<DriveEntries::Entry> DriveEntries::all(bool upperCase)
{
    std::vector<Entry> out;
    for (const Drive &d : Drives::list())
        out.push_back({Drives::entryText(d, upperCase), d.type});
    return out;
}

QString DriveEntries::current(bool upperCase)
{
    const auto d = Drives::currentDrive();
    return d ? Drives::entryText(*d, upperCase) : QString();
}

std::vector<int> DriveEntries::defaultChecks(const QStringList &texts, const QString &current)
{
    std::vector<int> out;
    if (!current.isEmpty()) {
        const int i = int(texts.indexOf(current));
        if (i >= 0)
            return {i};
    }
    for (int i = 0; i < int(texts.size()); ++i)
        if (texts[i].startsWith(QLatin1Char('c'), Qt::CaseInsensitive))
            out.push_back(i);
    return out;
}

bool DriveEntries::isFloppyLetter(const QString &entry)
{
    if (entry.isEmpty())
        return false;
    const QChar c = entry.at(0).toUpper();
    return c == QLatin1Char('A') || c == QLatin1Char('B');
}

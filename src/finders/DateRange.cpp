#include "finders/DateRange.h"

#include "common/Text.h"
#include "finders/TempPatterns.h"
#include "platform/FileTypes.h"
#include "scan/FoundFile.h"

#include <QStringList>

uint32_t DateRange::dayNumber(const QDate &d)
{
    // Packed from the day's own year, month and day as a stamp's upper bits
    // are: a local midnight that summer time skips leaves the day its number.
    if (!d.isValid() || d.year() < 1980 || d.year() > 2107)
        return 0;
    return (uint32_t(d.year() - 1980) << 9) | (uint32_t(d.month()) << 5) | uint32_t(d.day());
}

DosDateTime DateRange::stampOf(const FoundFile &f) const
{
    switch (stamp) {
    case Stamp::Accessed: return f.accessed;
    case Stamp::Created: return f.created;
    case Stamp::Modified: return f.written;
    }
    return 0;
}

bool DateRange::inRange(DosDateTime s) const
{
    const uint32_t day = dayNumber(s);
    if (day == 0)
        return when == When::OnOrBefore;
    const uint32_t first = dayNumber(start);
    switch (when) {
    case When::OnOrBefore: return day <= first;
    case When::Between: return day >= first && day <= dayNumber(end);
    case When::OnOrAfter: return day >= first;
    }
    return false;
}

QString DateRange::printTitle() const
{
    static const char *const kinds[] = {"Last accessed", "Created", "Modified"};
    QString title = QStringLiteral("Files ") + QLatin1String(kinds[int(stamp)]) + QLatin1Char(' ');
    switch (when) {
    case When::OnOrBefore: return title + QStringLiteral("before ") + shortDateText(start);
    case When::Between:
        return title + QStringLiteral("between ") + shortDateText(start) + QStringLiteral(" and ")
            + shortDateText(end);
    case When::OnOrAfter: return title + QStringLiteral("after ") + shortDateText(start);
    }
    return title;
}

QString DateRange::line(const FoundFile &f)
{
    const QString name = displayName(f.name);
    return QStringList{name,
                       dosDateText(f.accessed),
                       dosDateText(f.created),
                       dosDateText(f.written),
                       formatThousands(f.size),
                       f.folderText,
                       typeText(f)}
        .join(QLatin1Char('\t'));
}

QString DateRange::typeText(const FoundFile &f)
{
    return fileTypeName(TempPatterns::extensionOf(displayName(f.name)));
}

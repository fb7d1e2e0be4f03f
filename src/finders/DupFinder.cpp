#include "finders/DupFinder.h"

#include "finders/DupLine.h"
#include "scan/FileLine.h"

GridLayout DupFinder::gridLayout(bool dupMode, int criterion)
{
    GridLayout l;
    if (dupMode) {
        using DupLine::Field;
        const struct {
            const char *header;
            Field field;
            int width;
            CellKind show;
        } cols[] = {{"Filename", Field::Name, 93, CellKind::Name},
                    {"Size", Field::Size, 58, CellKind::Size},
                    {"Modified", Field::Date, 64, CellKind::Modified},
                    {"Time", Field::Time, 70, CellKind::ModifiedTime},
                    {"Access", Field::Access, 70, CellKind::Accessed},
                    {"Folder", Field::Folder, 184, CellKind::Folder},
                    {"Type", Field::Type, 0, CellKind::Type}};
        for (const auto &c : cols)
            l.columns.push_back(
                {QString::fromLatin1(c.header), DupLine::position(criterion, c.field), c.width, c.show});
        l.markColumn = 0;
        l.sizeColumn = 1;
        l.lastColumnLess = 564;
        l.sortingEnabled = false;
        return l;
    }
    return FileLine::gridLayout(QStringLiteral("FileHogs"), QStringLiteral("&Access Date"));
}

QString DupFinder::printTitle(bool dupMode, const SizeChoice &choice, const QString &pattern,
                              const QStringList &checkedEntries)
{
    QString t = dupMode ? QStringLiteral("Duplicates ") : QStringLiteral("File Hogs ");
    t += choice.phrase();
    t += QStringLiteral(" matching ");
    t += pattern;
    t += QStringLiteral(" on drive(s) ");
    for (const QString &e : checkedEntries)
        if (!e.isEmpty())
            t += e.left(1) + QLatin1Char(' ');
    return t;
}

QString DupFinder::startHint(bool dupMode)
{
    return dupMode ? QStringLiteral("Duplicates on file name only") : QStringLiteral("Start scanning for file hogs");
}

QString DupFinder::caption(bool dupMode)
{
    return dupMode ? QStringLiteral("Find and delete duplicate files") : QStringLiteral("Find and delete file hogs");
}

QString DupFinder::placementSection(bool dupMode)
{
    return dupMode ? QStringLiteral("frmDups") : QStringLiteral("frmMods");
}

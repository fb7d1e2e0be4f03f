#include "scan/FileLine.h"

QString FileLine::format(const QString &size, const QString &date, const QString &time, const QString &access,
                         const QString &path, const QString &type)
{
    QString line;
    line.reserve(size.size() + date.size() + time.size() + access.size() + path.size() + type.size() + 5);
    for (const QString *f : {&size, &date, &time, &access, &path}) {
        line += *f;
        line += QLatin1Char('\t');
    }
    line += type;
    return line;
}

GridLayout FileLine::gridLayout(const QString &directionPrefix, const QString &accessCaption)
{
    GridLayout l;
    l.columns = {{QStringLiteral("Size"), 1, 64, CellKind::Size},
                 {QStringLiteral("Modified"), 2, 64, CellKind::Modified},
                 {QStringLiteral("Time"), 3, 64, CellKind::ModifiedTime},
                 {QStringLiteral("Access"), 4, 64, CellKind::Accessed},
                 {QStringLiteral("FileName"), 5, 296, CellKind::Path},
                 {QStringLiteral("Type"), 6, 0, CellKind::Type}};
    l.markColumn = 4;
    l.sizeColumn = 0;
    l.lastColumnLess = 577;
    l.sortingEnabled = true;
    const QString p = directionPrefix + QLatin1Char('/');
    l.sortEntries = {
        {QStringLiteral("&Size"), 0, SortKind::Number, p + QStringLiteral("Size"), true},
        {QStringLiteral("&Date"), 1, SortKind::Date, p + QStringLiteral("Date"), true},
        {accessCaption, 3, SortKind::Date, p + QStringLiteral("Access"), true},
        {QStringLiteral("&Name"), 4, SortKind::Text, p + QStringLiteral("Name"), false},
        {QStringLiteral("&Type"), 5, SortKind::Text, p + QStringLiteral("Type"), false},
    };
    l.checkedAtClear = 0;
    return l;
}

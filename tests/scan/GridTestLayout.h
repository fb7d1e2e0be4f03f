#pragma once
#include "scan/GridLayout.h"

#include <QString>
#include <string>

// A grid in file-hog form for the tests: Size, Modified, Time, Access,
// FileName (the mark column, holding the path), Type.
inline GridLayout hogLayout(QString *status = nullptr)
{
    GridLayout l;
    l.columns = {{"Size", 1, 64}, {"Modified", 2, 64}, {"Time", 3, 64},
                 {"Access", 4, 64}, {"FileName", 5, 296}, {"Type", 6, 0}};
    l.markColumn = 4;
    l.sizeColumn = 0;
    l.lastColumnLess = 577;
    l.sortEntries = {{"&Size", 0, SortKind::Number, "test/size", true},
                     {"&Date", 1, SortKind::Date, "test/date", true},
                     {"&Access Date", 3, SortKind::Date, "test/access", true},
                     {"&Name", 4, SortKind::Text, "test/name", false},
                     {"&Type", 5, SortKind::Text, "test/type", false}};
    if (status)
        l.statusSink = [status](const QString &s) { *status = s; };
    return l;
}

// One file-hog line for a path with the given size text and dates.
inline QString hogLine(const QString &size, const std::string &path, const QString &date = "1/2/1999",
                       const QString &access = "1/3/1999", const QString &type = "Text document")
{
    return size + '\t' + date + '\t' + "10:00:00 AM" + '\t' + access + '\t' + QString::fromStdString(path) + '\t'
        + type;
}

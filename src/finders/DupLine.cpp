#include "finders/DupLine.h"

#include "common/Text.h"
#include "scan/FileLine.h"

#include <array>
#include <vector>

namespace {
using DupLine::Field;

// Line order of the fields for each duplicate criterion.
const std::array<std::array<Field, 7>, 3> kOrders = {{
    {Field::Name, Field::Size, Field::Date, Field::Time, Field::Access, Field::Folder, Field::Type},
    {Field::Size, Field::Name, Field::Date, Field::Time, Field::Access, Field::Folder, Field::Type},
    {Field::Type, Field::Date, Field::Time, Field::Name, Field::Size, Field::Access, Field::Folder},
}};

int orderOf(int criterion)
{
    if ((criterion >= 3 && criterion <= 5) || criterion == DupLine::SameContents
        || criterion == DupLine::SimilarPictures)
        return 1;
    if (criterion == 6)
        return 2;
    return 0;
}
}

QStringList DupLine::criterionTexts()
{
    return {QStringLiteral("Filename only"),
            QStringLiteral("Filename and size"),
            QStringLiteral("Filename, size and modify date/time"),
            QStringLiteral("Size only"),
            QStringLiteral("Size and modify date/time"),
            QStringLiteral("Size and type"),
            QStringLiteral("Type and modify date/time"),
            QStringLiteral("Same contents"),
            QStringLiteral("Similar pictures")};
}

const QString &DupLine::Fields::operator[](Field f) const
{
    switch (f) {
    case Name: return name;
    case Size: return size;
    case Date: return date;
    case Time: return time;
    case Access: return access;
    case Folder: return folder;
    default: return type;
    }
}

int DupLine::position(int criterion, Field f)
{
    const auto &order = kOrders[size_t(orderOf(criterion))];
    for (size_t i = 0; i < order.size(); ++i)
        if (order[i] == f)
            return int(i) + 1;
    return 0;
}

QString DupLine::formatDupLine(int criterion, const Fields &f)
{
    const auto &order = kOrders[size_t(orderOf(criterion))];
    QString line;
    qsizetype n = 6;
    for (Field x : order)
        n += f[x].size();
    line.reserve(n);
    for (size_t i = 0; i < order.size(); ++i) {
        if (i)
            line += QLatin1Char('\t');
        line += f[order[i]];
    }
    return line;
}

QString DupLine::formatHogLine(const Fields &f, const QString &path)
{
    return FileLine::format(f.size, f.date, f.time, f.access, path, f.type);
}

const std::vector<DupLine::Field> &DupLine::keyFields(int criterion)
{
    static const std::array<std::vector<Field>, 7> keys = {{
        {Name},
        {Name, Size},
        {Name, Size, Date, Time},
        {Size},
        {Size, Date, Time},
        {Size, Type},
        {Type, Date, Time},
    }};
    // Same contents and similar pictures: files are grouped by what they
    // hold; the size leads.
    if (criterion == SameContents || criterion == SimilarPictures)
        return keys[SizeOnly];
    return keys[size_t(criterion >= 0 && criterion <= 6 ? criterion : 0)];
}

QString DupLine::stripPath(const QString &line, int criterion)
{
    QString key;
    bool first = true;
    for (Field f : keyFields(criterion)) {
        if (!first)
            key += QLatin1Char('\t');
        first = false;
        key += tabField(line, position(criterion, f));
    }
    return key;
}

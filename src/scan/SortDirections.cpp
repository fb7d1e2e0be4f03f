#include "scan/SortDirections.h"

#include <QHash>

namespace {
QHash<QString, bool> &table()
{
    static QHash<QString, bool> t;
    return t;
}
}

bool SortDirections::descending(const QString &key, bool initial)
{
    return table().value(key, initial);
}

void SortDirections::setDescending(const QString &key, bool descending)
{
    table().insert(key, descending);
}

void SortDirections::resetForTests()
{
    table().clear();
}

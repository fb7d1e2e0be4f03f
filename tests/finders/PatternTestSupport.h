#pragma once
#include "finders/TempPatterns.h"
#include "platform/FileTypes.h"

#include <QStringList>

// A fixed file-type registry for the length of a test, so descriptions do not
// depend on the machine: .tmp and .bak are registered, nothing else.
struct FixedFileTypes {
    FixedFileTypes() { FileTypes::setTableForTests({{".tmp", "Temporary file"}, {".bak", "Backup file"}}); }
    ~FixedFileTypes() { FileTypes::setTableForTests({}); }
};

// The patterns of pattern rows, in order.
inline QStringList patternsOf(const QStringList &rows)
{
    QStringList out;
    for (const QString &r : rows)
        out << TempPatterns::patternOf(r);
    return out;
}

#pragma once
#include "scan/GridLayout.h"

#include <QString>

// The six-field line of one found file that several finders list (file
// hogs, quick clean): size, modified date, time, access date, the full path
// and the type, and the grid layout that shows such lines.
namespace FileLine {

QString format(const QString &size, const QString &date, const QString &time, const QString &access,
               const QString &path, const QString &type);

// Columns Size, Modified, Time, Access, FileName (marked), Type; size right-
// aligned; five sort entries whose directions are kept program-wide under
// directionPrefix + "/Size", "/Date", "/Access", "/Name", "/Type" (size and
// dates first descending). accessCaption is the access-date entry's text.
GridLayout gridLayout(const QString &directionPrefix, const QString &accessCaption);

} // namespace FileLine

#pragma once
#include <QString>
#include <QStringList>

// The two stored lists of file types the statistics scan can be limited to:
// section "Include" (only these types) and "Exclude" (every type but these)
// of the settings file, as numbered lists of patterns ("*.doc"). In memory a
// line is the pattern, a tab and the type's description.
namespace StatTypeLists {
// ReadStatFilesFromDisk: the lines of a section; "*.doc", "*.odt" and "*.so"
// when the section holds no list. Empty entries are skipped.
QStringList read(const QString &section);
// WriteStatFilesToDisk: stores the patterns of the lines in their order.
// Throws IniWriteError.
void write(const QStringList &lines, const QString &section);
// A pattern's line: the pattern, a tab, the description of its extension.
QString lineFor(const QString &pattern);
}

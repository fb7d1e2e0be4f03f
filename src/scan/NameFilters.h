#pragma once
#include <QString>
#include <QStringList>

// The patterns a pattern box offers and the texts shown beside it.
namespace NameFilters {
// "*.*" first when withAll, then "*" followed by every registered extension
// of 1 to 4 characters (with its dot), sorted without regard to case and
// each only once without regard to case (the lower-case spelling kept).
QStringList patternList(bool withAll);
// The type label beside a finder's pattern box: "All files" for "*.*",
// otherwise the registered description of the pattern less its first
// character; empty when that remainder still holds a "*" or names no
// registered type.
QString typeLabel(const QString &pattern);

// The outcome of the extension picker.
struct ExtensionPick {
    bool several = false;  // the selected lines are the result
    QStringList lines;     // the selected lines (pattern, tab, type name)
    QString pattern;       // the one pattern; empty when none results
    QString typeName;      // its type name
    bool close = false;    // the dialog closes with OK
};
// Finishes the picker from its selected lines and its edit text; byDoubleClick
// when a double-click on a line finished it rather than the OK button.
ExtensionPick finishExtensionPick(const QStringList &selectedLines, const QString &edit, bool byDoubleClick);
// The pattern of a picker line (the text before its tab).
QString linePattern(const QString &line);
}

#pragma once
#include <QString>
#include <QStringList>
#include <string_view>

// The list of temporary-file patterns shared by the pattern editor and quick
// clean. A row is a pattern ("*.tmp"), a tab and the file type of the
// pattern's extension. Lists keep their rows in alphabetical order of the
// whole text, without regard to case. The stored form is the numbered list of
// section "TempFiles" in vantor.ini: "Number" and "File1" ... holding the
// patterns without their descriptions.
class TempPatterns {
public:
    // Patterns a reader shows when no list was ever stored ("Number" missing):
    // the editor's three and quick clean's ten.
    static const QStringList &editorFallback();
    static const QStringList &cleanFallback();
    // The twelve patterns that "Defaults" adds (one of them twice).
    static const QStringList &defaults();

    // The extension of a name: from its last "." to the end, dot included,
    // when no "\" or ":" follows that dot; otherwise empty.
    static QString extensionOf(const QString &name);
    static std::string_view extensionOf(std::string_view name);

    // The row of a pattern: the pattern, a tab, fileTypeName of its extension.
    static QString rowFor(const QString &pattern);
    // The pattern of a row: its text before the first tab (all of it without one).
    static QString patternOf(const QString &row);

    // The stored list as rows, sorted; the fallback patterns when none is
    // stored. Empty entries are skipped.
    static QStringList readFromDisk(const QStringList &fallback);
    // Stores the patterns of the rows in their order. Throws IniWriteError.
    static void writeToDisk(const QStringList &rows);

    // True when rows holds a row with the same text, without regard to case.
    static bool contains(const QStringList &rows, const QString &row);
    // Puts row at its sorted place unless contains() already finds it;
    // returns its index, or -1 when it was not added.
    static int addUnique(QStringList &rows, const QString &row);
    // Sorts rows in place (stable; duplicates stay).
    static void sort(QStringList &rows);
    // The order of two rows: without regard to case, then by character code.
    static bool before(const QString &a, const QString &b);
};

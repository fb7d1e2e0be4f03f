#include "scan/NameFilters.h"

#include "platform/FileTypes.h"

#include <algorithm>

QStringList NameFilters::patternList(bool withAll)
{
    QStringList exts;
    for (const QString &e : FileTypes::registeredExtensions())
        if (e.startsWith(QLatin1Char('.')) && e.size() >= 2 && e.size() <= 5)
            exts << e;
    // Patterns match without regard to case, so "*.c" and "*.C" (both
    // registered) are one entry: the lower-case spelling when there is one.
    std::stable_sort(exts.begin(), exts.end(), [](const QString &a, const QString &b) {
        const int c = QString::compare(a, b, Qt::CaseInsensitive);
        return c != 0 ? c < 0 : (a == a.toLower() && b != b.toLower());
    });
    QStringList out;
    if (withAll)
        out << QStringLiteral("*.*");
    for (qsizetype i = 0; i < exts.size(); ++i)
        if (i == 0 || QString::compare(exts[i], exts[i - 1], Qt::CaseInsensitive) != 0)
            out << QLatin1Char('*') + exts[i];
    return out;
}

QString NameFilters::typeLabel(const QString &pattern)
{
    if (pattern == QLatin1String("*.*"))
        return QStringLiteral("All files");
    const QString rest = pattern.mid(1);
    if (rest.isEmpty() || rest.contains(QLatin1Char('*')))
        return {};
    const QStringList known = FileTypes::registeredExtensions();
    if (!known.contains(rest, Qt::CaseInsensitive))
        return {};
    return FileTypes::fileTypeName(rest);
}

QString NameFilters::linePattern(const QString &line)
{
    const qsizetype tab = line.indexOf(QLatin1Char('\t'));
    return tab < 0 ? line : line.left(tab);
}

NameFilters::ExtensionPick NameFilters::finishExtensionPick(const QStringList &selectedLines, const QString &edit,
                                                            bool byDoubleClick)
{
    ExtensionPick r;
    if (selectedLines.size() > 1) {
        r.several = true;
        r.lines = selectedLines;
        r.close = !byDoubleClick;
        return r;
    }
    const QString text = edit.trimmed();
    // The all-files spellings, and an empty field, give no pattern.
    if (text.isEmpty() || text == QLatin1String("*.*") || text == QLatin1String(".*") || text == QLatin1String("*")) {
        r.close = !byDoubleClick;
        return r;
    }
    QString p = text;
    if (!p.startsWith(QLatin1String("*.")) && !p.contains(QLatin1Char('*'))) {
        if (p.contains(QLatin1Char('.')))
            p.prepend(QLatin1Char('*'));
        else
            p.prepend(QLatin1String("*."));
    }
    r.pattern = p;
    const qsizetype dot = p.lastIndexOf(QLatin1Char('.'));
    r.typeName = dot < 0 ? QString() : FileTypes::fileTypeName(p.mid(dot));
    r.close = true;
    return r;
}

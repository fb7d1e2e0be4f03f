#include "stats/StatTypeLists.h"

#include "settings/IniFile.h"
#include "platform/FileTypes.h"

QString StatTypeLists::lineFor(const QString &pattern)
{
    const qsizetype dot = pattern.lastIndexOf(QLatin1Char('.'));
    return pattern + QLatin1Char('\t') + fileTypeName(dot < 0 ? QString() : pattern.mid(dot));
}

QStringList StatTypeLists::read(const QString &section)
{
    static const QStringList defaults{QStringLiteral("*.doc"), QStringLiteral("*.odt"), QStringLiteral("*.so")};
    QStringList out;
    for (const QString &value : IniFile().readList(section, defaults)) {
        // A stored value is the pattern alone; anything after a tab is an
        // old description and is replaced by the current one.
        const QString pattern = value.section(QLatin1Char('\t'), 0, 0);
        if (!pattern.isEmpty())
            out << lineFor(pattern);
    }
    return out;
}

void StatTypeLists::write(const QStringList &lines, const QString &section)
{
    IniFile().writeList(section, lines);
}

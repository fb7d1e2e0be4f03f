#include "safety/ZipNames.h"

#include "settings/AppState.h"
#include "common/Text.h"

#include <QFile>
#include <QLocale>

std::string zipArchivePath(const QString &tag, char driveLetter, const QDateTime &time)
{
    const QString stamp = QLocale().toString(time, QStringLiteral("ddMMMyyHHmm"));
    const QString name = QStringLiteral("Drive-") + QChar::fromLatin1(driveLetter).toUpper() + QLatin1Char('-') + tag
        + stamp + QStringLiteral(".zip");
    return joinPath(AppState::zipFolder(), QFile::encodeName(name).toStdString());
}

std::string zipStoredName(const std::string &path, const std::string &driveRoot)
{
    std::string root = driveRoot;
    while (root.size() > 1 && root.back() == '/')
        root.pop_back();
    if (root.empty() || path.compare(0, root.size(), root) != 0)
        return {};
    if (root != "/" && path.size() > root.size() && path[root.size()] != '/')
        return {};
    size_t start = root.size();
    while (start < path.size() && path[start] == '/')
        ++start;
    return path.substr(start);
}

#include "settings/AppState.h"

#include "platform/Paths.h"

#include <QFile>

bool AppState::dupMode = true;
QString AppState::defaultZipPath;

std::string AppState::zipFolder()
{
    const QString p = defaultZipPath.trimmed();
    if (p.isEmpty() || p == QLatin1String("C:\\"))
        return Paths::homeFolder() + "/VantorArchives";
    return QFile::encodeName(p).toStdString();
}

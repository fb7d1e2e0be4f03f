#include "finders/CacheFolders.h"

#include "settings/IniFile.h"
#include "common/SizeSum.h"
#include "common/Text.h"
#include "platform/BrowserCaches.h"
#include "platform/DirReader.h"
#include "platform/Drives.h"
#include "platform/PathInfo.h"
#include "platform/Paths.h"

#include <QFile>
#include <set>
#include <sys/stat.h>

namespace {
const QString kSection = QStringLiteral("CacheFiles");

std::string parentOf(const std::string &path)
{
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos || slash == 0)
        return "/";
    return path.substr(0, slash);
}

bool isMountPoint(const std::string &resolved)
{
    struct stat self, parent;
    if (::stat(resolved.c_str(), &self) != 0 || ::stat(parentOf(resolved).c_str(), &parent) != 0)
        return false;
    return self.st_dev != parent.st_dev;
}
}

QStringList CacheFolders::readFromDisk()
{
    const IniFile ini;
    if (ini.readInt(kSection, QStringLiteral("Number"), -1) < 0)
        return found(); // never stored
    QStringList out;
    for (const QString &f : ini.readList(kSection, {}))
        if (!f.isEmpty())
            out << f;
    return out;
}

void CacheFolders::writeToDisk(const QStringList &folders)
{
    IniFile().writeList(kSection, folders);
}

QStringList CacheFolders::found()
{
    // Shown as they are on disk: a cache under a home folder reached through
    // a symbolic link is listed by its real path, the one its files are
    // collected and removed under.
    QStringList out;
    for (const std::string &f : BrowserCaches::find()) {
        const std::string real = PathInfo::resolved(f);
        out << toText(real.empty() ? f : real);
    }
    return out;
}

QString CacheFolders::toText(const std::string &folder)
{
    return QFile::decodeName(QByteArray::fromStdString(folder));
}

std::string CacheFolders::toPath(const QString &text)
{
    return QFile::encodeName(text).toStdString();
}

std::optional<QString> CacheFolders::refusal(const std::string &folder)
{
    const QString shown = displayName(folder);
    if (folder.find_first_of("\t\r\n") != std::string::npos || toPath(toText(folder)) != folder)
        return shown + QStringLiteral(" cannot be kept in the settings file: its name holds a tab, a line break "
                                      "or characters that are not UTF-8.");
    const QString tooWide = shown
        + QStringLiteral(" cannot be a cache folder: every file directly inside it could be cleared.");
    const std::string real = PathInfo::resolved(folder);
    if (real.empty())
        return std::nullopt; // a folder that does not exist yields nothing when cleared
    if (real == "/" || parentOf(real) == "/" || isMountPoint(real))
        return tooWide;
    if (real == PathInfo::resolved(Paths::homeFolder()))
        return tooWide;
    for (const Drive &d : Drives::list())
        if (real == PathInfo::resolved(d.root))
            return tooWide;
    return std::nullopt;
}

std::optional<int64_t> CacheFolders::ageInDays(DosDateTime accessed, const QDate &today)
{
    if (accessed == 0)
        return std::nullopt;
    const QDate d = DosTime::date(accessed);
    if (!d.isValid())
        return std::nullopt;
    const int64_t days = d.daysTo(today);
    return days < 0 ? -days : days;
}

CacheFolders::Collected CacheFolders::collect(const QStringList &folders, int days, const QDate &today)
{
    Collected out;
    std::set<std::string> visited; // folders as resolved
    DosTime::Converter stamp;
    for (const QString &text : folders) {
        if (text.isEmpty())
            continue;
        const std::string folder = toPath(text);
        const std::string real = PathInfo::resolved(folder);
        if (real.empty() || !visited.insert(real).second || refusal(folder))
            continue;
        // The files are listed under the folder's real path, as the walker
        // lists them: removal reaches a file only by a path without links.
        DirReader dir(real);
        const char *name = nullptr;
        size_t length = 0;
        DirReader::Kind kind;
        EntryStat st;
        while (dir.next(name, length, kind)) {
            if (kind == DirReader::Kind::Folder || kind == DirReader::Kind::Other)
                continue;
            if (!dir.stat(name, st) || !st.regular)
                continue;
            const std::optional<int64_t> age = ageInDays(stamp(st.accessed), today);
            if (!age || *age < days)
                continue;
            out.paths.push_back(joinPath(real, std::string(name, length)));
            addSize(out.bytes, st.size);
        }
    }
    return out;
}

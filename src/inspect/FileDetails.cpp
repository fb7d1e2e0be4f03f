#include "inspect/FileDetails.h"

#include "common/Text.h"
#include "inspect/RelativeDate.h"
#include "platform/DirReader.h"
#include "platform/Drives.h"
#include "platform/FileTypes.h"
#include "scan/GridReport.h"

QString FileDetails::wastedClusterSpace(int64_t size, int64_t clusterSize)
{
    if (clusterSize <= 0)
        return QStringLiteral("Cluster size: unknown");
    const int64_t used = size <= 0 ? 0 : (size - 1) / clusterSize + 1;
    return QStringLiteral("Cluster size: ") + formatThousands(clusterSize) + QStringLiteral("  Clusters used : ")
           + formatThousands(used);
}

QString FileDetails::attributeText(uint8_t a)
{
    QString out;
    if (a & FileAttr::ReadOnly)
        out += QStringLiteral(" ReadOnly");
    if (a & FileAttr::Hidden)
        out += QStringLiteral(" Hidden");
    if (a & FileAttr::System)
        out += QStringLiteral(" System");
    if (a & FileAttr::VolumeLabel)
        out += QStringLiteral(" VolumeID");
    if (a & FileAttr::Folder)
        out += QStringLiteral(" Directory");
    if (a & FileAttr::Archive)
        out += QStringLiteral(" Archive");
    return out;
}

QString FileDetails::dateText(DosDateTime stamp, const QDateTime &now)
{
    const QString date = dosDateText(stamp);
    if (date.isEmpty())
        return QStringLiteral("???");
    return date + QStringLiteral("  ") + relativeDateText(DosTime::unpack(stamp), now);
}

namespace {
std::string folderOf(const std::string &path)
{
    std::string p = path;
    while (p.size() > 1 && p.back() == '/')
        p.pop_back();
    const size_t slash = p.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : p.substr(0, slash);
}

QString extensionOf(const std::string &path)
{
    std::string name = path;
    while (name.size() > 1 && name.back() == '/')
        name.pop_back();
    name.erase(0, name.rfind('/') + 1);
    const size_t dot = name.rfind('.');
    if (dot == std::string::npos || dot == 0)
        return {};
    return displayName(name.substr(dot));
}
}

std::optional<FileDetails::Texts> FileDetails::describe(const std::string &path, const QDateTime &now)
{
    EntryStat st;
    if (!DirReader::statPath(path, st))
        return std::nullopt;
    Texts t;
    t.folder = st.folder;
    t.fileName = displayName(path);
    t.fileType = fileTypeName(extensionOf(path));
    t.sizeBytes = formatThousands(st.size) + QStringLiteral(" bytes");
    t.sizeClusters = wastedClusterSpace(st.size, Drives::clusterSize(folderOf(path)));
    DosTime::Converter convert;
    t.accessed = dateText(convert(st.accessed), now);
    t.created = dateText(st.hasCreated ? convert(st.created) : 0, now);
    t.modified = dateText(convert(st.written), now);
    t.attributes = attributeText(st.attributes);
    return t;
}

QStringList FileDetails::printLines(const Texts &t, const QStringList &versionLines)
{
    QStringList out = {
        QStringLiteral("Name of file : \t") + t.fileName,
        QStringLiteral("Type of file : \t") + t.fileType,
        QStringLiteral(" "),
        QStringLiteral("Size of file : \t") + t.sizeBytes,
        QStringLiteral("               \t") + t.sizeClusters,
        QStringLiteral(" "),
        QStringLiteral("Creation date     : \t") + t.created,
        QStringLiteral("Modification date : \t") + t.modified,
        QStringLiteral("Access date       : \t") + t.accessed,
        QStringLiteral(" "),
        QStringLiteral("Attributes : \t") + t.attributes,
        QStringLiteral(" "),
    };
    out << versionLines;
    return out;
}

QStringList FileDetails::printedReport(const QString &title, const QStringList &lines, const QDateTime &now)
{
    QStringList out;
    for (const QString &l : GridReport::heading(title, now) + lines)
        out << QStringLiteral("   ") + l;
    return out;
}

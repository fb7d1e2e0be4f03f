#include "platform/FileLookup.h"

#include <QByteArray>
#include <sys/stat.h>

std::optional<int64_t> FileLookup::fileSize(const std::string &path)
{
    struct stat st;
    if (path.empty() || ::lstat(path.c_str(), &st) != 0 || S_ISDIR(st.st_mode))
        return std::nullopt;
    return int64_t(st.st_size);
}

QUrl FileLookup::fileUrl(const std::string &path)
{
    const QByteArray encoded = QByteArray(path.data(), qsizetype(path.size())).toPercentEncoding("/");
    return QUrl::fromEncoded(QByteArray("file://") + encoded, QUrl::StrictMode);
}

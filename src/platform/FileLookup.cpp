#include "platform/FileLookup.h"

#include <QByteArray>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

std::optional<int64_t> FileLookup::fileSize(const std::string &path)
{
    struct stat st;
    if (path.empty() || ::lstat(path.c_str(), &st) != 0 || S_ISDIR(st.st_mode))
        return std::nullopt;
    return int64_t(st.st_size);
}

FileLookup::FolderSizes::FolderSizes(const std::string &folder) : folder_(folder)
{
    if (folder_.empty())
        return;
    fd_ = ::open(folder_.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (fd_ < 0)
        missing_ = errno == ENOENT || errno == ENOTDIR || errno == EACCES || errno == ELOOP || errno == ENAMETOOLONG;
}

FileLookup::FolderSizes::~FolderSizes()
{
    if (fd_ >= 0)
        ::close(fd_);
}

std::optional<int64_t> FileLookup::FolderSizes::size(const std::string &name) const
{
    if (missing_ || name.empty())
        return std::nullopt;
    if (fd_ < 0) // no folder, or it could not be opened for a passing reason: the full path
        return fileSize(folder_.empty() ? name : (folder_.back() == '/' ? folder_ + name : folder_ + '/' + name));
    struct stat st;
    if (::fstatat(fd_, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0 || S_ISDIR(st.st_mode))
        return std::nullopt;
    return int64_t(st.st_size);
}

QUrl FileLookup::fileUrl(const std::string &path)
{
    const QByteArray encoded = QByteArray(path.data(), qsizetype(path.size())).toPercentEncoding("/");
    return QUrl::fromEncoded(QByteArray("file://") + encoded, QUrl::StrictMode);
}

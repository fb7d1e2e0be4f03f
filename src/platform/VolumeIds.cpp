#include "platform/VolumeIds.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

std::unordered_map<uint64_t, std::string> VolumeIds::uuidsByDevice(const std::string &folder)
{
    std::unordered_map<uint64_t, std::string> out;
    DIR *d = ::opendir(folder.c_str());
    if (!d)
        return out;
    while (const dirent *e = ::readdir(d)) {
        const std::string name = e->d_name;
        if (name == "." || name == "..")
            continue;
        // The link's target is the device node; stat follows it there.
        struct stat st;
        if (::fstatat(::dirfd(d), e->d_name, &st, 0) == 0 && S_ISBLK(st.st_mode))
            out.emplace(uint64_t(st.st_rdev), name);
    }
    ::closedir(d);
    return out;
}

bool VolumeIds::statAt(int folder, const char *name, Stat &out)
{
    struct stat st;
    if (::fstatat(folder, name, &st, AT_SYMLINK_NOFOLLOW) != 0)
        return false;
    out.device = uint64_t(st.st_dev);
    out.inode = uint64_t(st.st_ino);
    out.size = int64_t(st.st_size);
    out.modifiedNs = int64_t(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    out.changedNs = int64_t(st.st_ctim.tv_sec) * 1000000000 + st.st_ctim.tv_nsec;
    out.regular = S_ISREG(st.st_mode);
    return true;
}

#include "platform/Removal.h"
#include "platform/AnchoredPath.h"

#include <sys/stat.h>

#include <algorithm>
#include <map>

bool Removal::deleteFile(const std::string &path, int *error, int64_t *size, int64_t *freed)
{
    return AnchoredPath::unlink(path, error, nullptr, size, freed);
}

int64_t Removal::unfreedBytes(const std::vector<std::string> &paths)
{
    struct Names {
        int64_t size = 0;
        uint64_t links = 0;
        uint64_t listed = 0;
    };
    std::map<std::pair<uint64_t, uint64_t>, Names> linked;
    for (const std::string &p : paths) {
        FileIdentity id;
        if (!AnchoredPath::stat(p, id) || id.links < 2 || S_ISDIR(id.mode))
            continue;
        Names &n = linked[{id.device, id.inode}];
        n.size = id.size;
        n.links = id.links;
        ++n.listed;
    }
    int64_t unfreed = 0;
    for (const auto &[key, n] : linked) {
        // All names listed: the bytes go once; otherwise none of them frees any.
        const uint64_t idle = n.listed >= n.links ? n.listed - 1 : n.listed;
        unfreed += int64_t(idle) * std::max<int64_t>(n.size, 0);
    }
    return unfreed;
}

int64_t Removal::entrySize(const std::string &path)
{
    FileIdentity id;
    return AnchoredPath::stat(path, id) ? id.size : -1;
}

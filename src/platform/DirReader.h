#pragma once
#include "platform/UniqueFd.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

// Attribute bits of a directory entry. Hidden: the name begins with ".";
// system: neither a regular file nor a folder (links, devices, sockets,
// FIFOs); read-only: the owner's write bit is clear; archive: a regular file.
namespace FileAttr {
enum : uint8_t { ReadOnly = 1, Hidden = 2, System = 4, VolumeLabel = 8, Folder = 16, Archive = 32 };
}

// Where a folder lies: its file system and the mount it was reached
// through. Two binds of one file system share the device but not the mount.
struct MountPlace {
    uint64_t device = 0;
    uint64_t mountId = 0;
    bool hasMountId = false; // the kernel told the mount (STATX_MNT_ID)
    // Same device, and the same mount wherever both mounts are known.
    bool sameAs(const MountPlace &o) const
    {
        return device == o.device && (!hasMountId || !o.hasMountId || mountId == o.mountId);
    }
    // The place of an open descriptor (and its inode, when asked); false
    // when the system cannot describe it.
    static bool of(int fd, MountPlace &out, uint64_t *inode = nullptr);
};

// What one entry holds, read without following a symbolic link.
struct EntryStat {
    int64_t size = 0;      // bytes (0 for a folder)
    uint64_t inode = 0;
    uint32_t links = 1;    // names the entry has (hard links; a folder's count is its own)
    MountPlace place;      // the file system and mount the entry lies on (a mount point: the mounted one)
    uint8_t attributes = 0;
    int64_t written = 0;   // seconds since the epoch
    int64_t accessed = 0;
    int64_t created = 0;   // birth time; meaningful only when hasCreated
    // Modification and change times to the nanosecond (changedNs 0: the
    // system gave no change time).
    int64_t modifiedNs = 0, changedNs = 0;
    bool hasCreated = false;
    bool folder = false;
    bool regular = false;
    bool link = false;     // a symbolic link
};

// One open folder, enumerated relative to its own descriptor: entries are
// named by bytes, nothing is ever resolved through a symbolic link, and a
// folder that cannot be opened enumerates nothing. The listing is read
// straight from the kernel in large blocks (one call holds a whole ordinary
// folder); the block is released once the listing has been read to its end,
// so a reader kept open while a walk descends below it holds only its
// descriptor.
class DirReader {
public:
    enum class Kind : uint8_t { Folder, File, Other, Unknown };

    // Opens a folder by path. The path itself may pass through links (it is
    // what the user named); everything below it is opened without.
    explicit DirReader(const std::string &path);
    // Opens the folder name inside parent; fails for a symbolic link.
    DirReader(const DirReader &parent, const char *name);
    // Takes over a folder the caller opened its own way (AnchoredPath).
    explicit DirReader(UniqueFd folder);
    ~DirReader();
    DirReader(const DirReader &) = delete;
    DirReader &operator=(const DirReader &) = delete;

    bool isOpen() const { return fd_ >= 0; }
    int fd() const { return fd_; }
    // Why the folder is not open (an errno value: ENOENT gone, EACCES
    // denied, EMFILE no descriptor left, ENOTDIR or ELOOP not a folder);
    // 0 when it is.
    int openError() const { return error_; }
    // The file system (st_dev) of the folder itself; 0 when not open.
    uint64_t device() const { return place_.device; }
    // The file system and mount of the folder itself. A walk that stays on
    // one file system compares these: a bind mount of the same device below
    // a folder is another mount all the same.
    const MountPlace &place() const { return place_; }
    bool sameMount(const DirReader &o) const { return place_.sameAs(o.place_); }
    // The folder's own entry, as its parent's stat() describes it, taken
    // when it was opened (without the hidden bit when it was taken over as
    // a descriptor).
    const EntryStat &ownStat() const { return own_; }

    // The next entry other than "." and ".."; false at the end. name (a
    // NUL-terminated byte string) stays valid until the next call.
    bool next(const char *&name, size_t &length, Kind &kind);
    // The entry's size, attributes and stamps; false when it vanished.
    bool stat(const char *name, EntryStat &out) const;
    // The same for an entry named by a whole path (a final symbolic link is
    // described itself, not followed); false when it does not exist.
    static bool statPath(const std::string &path, EntryStat &out);
    // The kind of an entry whose enumeration gave none (Unknown).
    Kind kindOf(const char *name) const;
    // The names of the entries of folder that are of kind (links are never
    // taken for what they point at), in listing order; accept, when given,
    // is asked first so that entries it refuses cost no look-up.
    static std::vector<std::string> namesOfKind(const std::string &folder, Kind kind,
                                                const std::function<bool(std::string_view)> &accept = {});

    // Raises the process's limit of open descriptors towards what a deep
    // walk needs (one per folder level). Called once by walks.
    static void raiseOpenLimit();

private:
    void adopt(int fd, const char *baseName);
    bool fill();
    int fd_ = -1;
    int error_ = 0;
    MountPlace place_;
    EntryStat own_;
    bool ended_ = false;           // the listing was read to its end
    std::unique_ptr<char[]> block_; // raw entries of the last read
    size_t blockSize_ = 0;
    size_t filled_ = 0, at_ = 0;   // bytes in block_, and the next entry's offset
};

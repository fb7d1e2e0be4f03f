#pragma once
#include <QString>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Drive letters for mounted file systems. C: is "/"; every other real file
// system gets D:, E: ... in the order of its mount point. A drives.ini in the
// settings folder (section "Drives", keys "C" to "Z", values folders), or an
// in-process mapping set by tests, replaces that assignment.
enum class DriveType { Removable, Fixed, Network, CdRom, RamDisk };

struct Drive {
    char letter = 'C';      // upper case
    std::string root;       // the mount point (or mapped folder)
    DriveType type = DriveType::Fixed;
    QString label;          // volume label, or the mount point when the volume has none
    QString networkPath;    // "\\host\share" for network drives, else empty
    std::string fsType;     // "ext4", "nfs" ...
    uint64_t device = 0;    // st_dev of the root
    QString volumeLabel;    // the volume's own label; empty when it has none
    bool mapped = false;    // assigned by drives.ini or setMapping
};

// One line of /proc/self/mountinfo, escapes decoded.
struct MountEntry {
    int id = 0;
    int parent = 0;
    unsigned major = 0, minor = 0;
    std::string root;        // the folder of the file system mounted here ("/" unless a bind of a part)
    std::string mountPoint;
    std::string fsType;
    std::string source;
};

// What the drive list asks of the system about a mount; tests supply their own.
struct MountProbe {
    // The block device reports itself removable.
    std::function<bool(const MountEntry &)> removable;
    // The volume label of the file system mounted at a mount point (empty when none).
    std::function<QString(const std::string &mountPoint)> label;
    // The mount point is a folder (bind mounts of single files are not drives).
    std::function<bool(const std::string &mountPoint)> isFolder;
    // The probe of this system: sysfs, QStorageInfo, stat.
    static MountProbe system();
};

namespace Drives {
// Every drive, in letter order.
std::vector<Drive> list();
// The drive of a letter (either case), if any.
std::optional<Drive> find(char letter);
// The drive whose root is the longest prefix of path.
std::optional<Drive> driveOfPath(const std::string &path);
// The drive holding the current folder.
std::optional<Drive> currentDrive();
// "C: [label]", "E:", "X: \\host\share" in upper case (the finders' lists)
// or lower case (the statistics wizard's list).
QString entryText(const Drive &d, bool upperCase = true);
// statvfs on the drive's root succeeds.
bool isDriveReady(char letter);
// Free and total bytes of the drive whose root is given; false when the query fails.
// Free is what the user may still write (blocks reserved for root are not free).
bool driveSpace(const std::string &root, double &freeBytes, double &totalBytes);
// The same and the used bytes as df counts them: the blocks in use, total
// less every free block, so the blocks reserved for root are not used either.
bool driveSpace(const std::string &root, double &freeBytes, double &totalBytes, double &usedBytes);
// Bytes per cluster (f_frsize) of the drive's root; 0 when unknown.
int64_t clusterSize(const std::string &root);
// The mount option that decides when the file system at root records access
// dates: "noatime", "relatime" or "strictatime"; empty when statvfs fails.
QString accessTimeOption(const std::string &root);
// The same, from statvfs's f_flag bits.
QString accessTimeOption(unsigned long mountFlags);

// The entries of a mountinfo text; malformed lines are skipped.
std::vector<MountEntry> parseMountInfo(std::string_view text);
// The drives of a mount table: "/" as C:, then every real file system in the
// order of its mount point.
std::vector<Drive> fromMounts(const std::vector<MountEntry> &mounts, const MountProbe &probe);
// The drive type of a file system type and mount point (removable: the
// device's own report).
DriveType typeOf(const std::string &fsType, const std::string &mountPoint, bool removableDevice);
// "\\host\share" from "//host/share" or "host:/export"; empty for other sources.
QString networkPathOf(const std::string &source);

// The mount points strictly below folder (of any file system, binds too),
// spelled with folder's own path as their beginning; read from this
// process's mount table.
std::vector<std::string> mountPointsBelow(const std::string &folder);
// Tests: map letters to folders in-process (replaces the system's and
// drives.ini's assignment); an empty map restores them.
void setMapping(const std::map<char, std::string> &letterToFolder);
// Tests: replace the drive list by these drives (letters, roots, types and
// labels as given); an empty list restores the system's.
void setDrives(const std::vector<Drive> &drives);
}

#pragma once
#include <QIcon>
#include <QString>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
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
QIcon icon(DriveType type);
// statvfs on the drive's root succeeds.
bool isDriveReady(char letter);
// Free and total bytes of the drive whose root is given; false when the query fails.
bool driveSpace(const std::string &root, double &freeBytes, double &totalBytes);
// Bytes per cluster (f_frsize) of the drive's root; 0 when unknown.
int64_t clusterSize(const std::string &root);

// Tests: map letters to folders in-process (replaces the system's and
// drives.ini's assignment); an empty map restores them.
void setMapping(const std::map<char, std::string> &letterToFolder);
}

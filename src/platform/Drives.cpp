#include "platform/Drives.h"

#include "platform/AtomicFile.h"
#include "platform/Paths.h"

#include <QStorageInfo>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <set>
#include <sstream>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace {

// "\040" and the like: mountinfo escapes blanks, tabs, newlines and backslashes.
std::string unescape(std::string_view s)
{
    std::string out;
    out.reserve(s.size());
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '\\' && i + 3 < s.size()) {
            const char a = s[i + 1], b = s[i + 2], c = s[i + 3];
            if (a >= '0' && a <= '3' && b >= '0' && b <= '7' && c >= '0' && c <= '7') {
                out += char((a - '0') * 64 + (b - '0') * 8 + (c - '0'));
                i += 3;
                continue;
            }
        }
        out += s[i];
    }
    return out;
}

std::vector<std::string_view> splitBlanks(std::string_view line)
{
    std::vector<std::string_view> f;
    size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && line[i] == ' ')
            ++i;
        const size_t start = i;
        while (i < line.size() && line[i] != ' ')
            ++i;
        if (i > start)
            f.push_back(line.substr(start, i - start));
    }
    return f;
}

bool startsWith(std::string_view s, std::string_view prefix)
{
    return s.size() >= prefix.size() && s.compare(0, prefix.size(), prefix) == 0;
}

// path is folder itself or lies below it.
bool isWithin(std::string_view path, std::string_view folder)
{
    if (folder == "/")
        return !path.empty() && path[0] == '/';
    if (!startsWith(path, folder))
        return false;
    return path.size() == folder.size() || path[folder.size()] == '/';
}

const std::set<std::string, std::less<>> &pseudoTypes()
{
    static const std::set<std::string, std::less<>> t = {
        "proc", "sysfs", "devpts", "devtmpfs", "cgroup", "cgroup2", "securityfs", "debugfs", "tracefs",
        "configfs", "fusectl", "mqueue", "hugetlbfs", "pstore", "bpf", "autofs", "binfmt_misc", "efivarfs",
        "rpc_pipefs", "nsfs", "selinuxfs", "overlay", "squashfs", "nfsd", "fuse.gvfsd-fuse",
        "fuse.portal", "fuse.lxcfs", "fuse.snapfuse", "zram", "swap", "none"};
    return t;
}

const std::set<std::string, std::less<>> &networkTypes()
{
    static const std::set<std::string, std::less<>> t = {"nfs", "nfs4", "cifs", "smb3", "smbfs", "sshfs",
                                                         "fuse.sshfs", "davfs", "fuse.davfs", "ceph",
                                                         "glusterfs", "fuse.glusterfs", "9p"};
    return t;
}

bool underUserMedia(std::string_view mp)
{
    return isWithin(mp, "/media") || isWithin(mp, "/run/media") || isWithin(mp, "/mnt");
}

bool isFuse(std::string_view fsType)
{
    return fsType == "fuse" || fsType == "fuseblk" || startsWith(fsType, "fuse.");
}

// Where users mount their own FUSE file systems (cloud remotes, pooled
// disks, NTFS and exFAT volumes): the media folders, /srv and the home
// folder. FUSE mounts elsewhere belong to the system (desktop helpers,
// containers) and are not drives.
bool userFuseMount(std::string_view mp)
{
    const std::string home = Paths::homeFolder();
    return underUserMedia(mp) || isWithin(mp, "/srv") || (home.size() > 1 && isWithin(mp, home));
}

// Mount points where the system keeps its own pseudo file systems.
bool systemMountPoint(std::string_view mp)
{
    if (isWithin(mp, "/run/media"))
        return false;
    return isWithin(mp, "/proc") || isWithin(mp, "/sys") || isWithin(mp, "/dev") || isWithin(mp, "/run")
        || isWithin(mp, "/snap");
}

bool realFileSystem(const MountEntry &m)
{
    if (m.mountPoint == "/")
        return true;
    if (systemMountPoint(m.mountPoint))
        return false;
    if (networkTypes().count(m.fsType))
        return true;
    if (m.fsType == "tmpfs" || m.fsType == "ramfs")
        return underUserMedia(m.mountPoint);
    if (pseudoTypes().count(m.fsType))
        return false;
    // A FUSE file system with its own block device (fuseblk: NTFS, exFAT)
    // is a disk wherever it is mounted; the others only where users mount.
    if (isFuse(m.fsType) && m.fsType != "fuseblk")
        return userFuseMount(m.mountPoint);
    return true;
}

// Empty when it cannot be read; never blocks on a FIFO in place of drives.ini.
std::string readFile(const std::string &path)
{
    std::string text;
    AtomicFile::read(path, text);
    return text;
}

QString applyCase(const QString &s, bool upper)
{
    return upper ? s.toUpper() : s.toLower();
}

// drives.ini: section "Drives", keys "C" to "Z", values folders.
std::map<char, std::string> readDrivesIni(const std::string &text)
{
    std::map<char, std::string> map;
    bool inDrives = false;
    std::istringstream in(text);
    std::string line;
    auto trim = [](std::string s) {
        const auto b = s.find_first_not_of(" \t\r");
        if (b == std::string::npos)
            return std::string();
        const auto e = s.find_last_not_of(" \t\r");
        return s.substr(b, e - b + 1);
    };
    while (std::getline(in, line)) {
        line = trim(line);
        if (line.empty() || line[0] == ';' || line[0] == '#')
            continue;
        if (line[0] == '[') {
            const auto close = line.find(']');
            std::string name = trim(line.substr(1, close == std::string::npos ? std::string::npos : close - 1));
            std::transform(name.begin(), name.end(), name.begin(), [](unsigned char c) { return char(std::tolower(c)); });
            inDrives = name == "drives";
            continue;
        }
        if (!inDrives)
            continue;
        const auto eq = line.find('=');
        if (eq == std::string::npos)
            continue;
        const std::string key = trim(line.substr(0, eq));
        std::string value = trim(line.substr(eq + 1));
        if (key.size() != 1)
            continue;
        const char letter = char(std::toupper((unsigned char)key[0]));
        if (letter < 'C' || letter > 'Z' || value.empty())
            continue;
        while (value.size() > 1 && value.back() == '/')
            value.pop_back();
        if (!map.count(letter))
            map[letter] = value;
    }
    return map;
}

struct State {
    std::map<char, std::string> mapping;
    std::vector<Drive> fixed;
    // Cache of the last list, keyed on what it was built from.
    std::string cacheKey;
    std::vector<Drive> cached;
    // The list is read again at most once a second unless drives.ini changed,
    // so callers may ask for the drive of each file they handle.
    std::chrono::steady_clock::time_point readAt;
    std::string iniSignature;
};

// Identifies the drives.ini a list was built from: its path and, when it
// exists, its inode, size and modification time.
std::string iniSignature(const std::string &path)
{
    struct stat st;
    std::string sig = path;
    if (::stat(path.c_str(), &st) == 0)
        sig += '|' + std::to_string(st.st_ino) + '|' + std::to_string(st.st_size) + '|'
            + std::to_string(st.st_mtim.tv_sec) + '.' + std::to_string(st.st_mtim.tv_nsec);
    return sig;
}

State &state()
{
    static State s;
    return s;
}

// The mount of a folder: the entry whose mount point is its longest prefix.
const MountEntry *mountOf(const std::vector<MountEntry> &mounts, const std::string &path)
{
    const MountEntry *best = nullptr;
    for (const MountEntry &m : mounts)
        if (isWithin(path, m.mountPoint) && (!best || m.mountPoint.size() >= best->mountPoint.size()))
            best = &m;
    return best;
}

std::vector<Drive> mappedDrives(const std::map<char, std::string> &mapping, const std::vector<MountEntry> &mounts,
                                const MountProbe &probe)
{
    std::vector<Drive> out;
    for (const auto &[letter, folder] : mapping) {
        // A letter whose folder does not exist has no root and is no drive.
        struct stat st;
        if (::stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
            continue;
        Drive d;
        d.letter = letter;
        d.root = folder;
        d.mapped = true;
        if (const MountEntry *m = mountOf(mounts, folder)) {
            d.fsType = m->fsType;
            d.type = Drives::typeOf(m->fsType, m->mountPoint, probe.removable && probe.removable(*m));
            if (d.type == DriveType::Network)
                d.networkPath = Drives::networkPathOf(m->source);
            if (m->mountPoint == folder && probe.label)
                d.volumeLabel = probe.label(folder);
        }
        d.label = d.volumeLabel.isEmpty() ? QString::fromUtf8(folder.data(), qsizetype(folder.size())) : d.volumeLabel;
        d.device = uint64_t(st.st_dev);
        out.push_back(d);
    }
    return out;
}

bool componentPrefix(const std::string &root, const std::string &path)
{
    return isWithin(path, root);
}

}

MountProbe MountProbe::system()
{
    MountProbe p;
    p.removable = [](const MountEntry &m) {
        if (m.major == 0)
            return false;
        const std::string base = "/sys/dev/block/" + std::to_string(m.major) + ":" + std::to_string(m.minor);
        std::string r = readFile(base + "/removable");
        if (r.empty())
            r = readFile(base + "/../removable"); // a partition: ask its disk
        return !r.empty() && r[0] == '1';
    };
    p.label = [](const std::string &mountPoint) {
        return QStorageInfo(QString::fromUtf8(mountPoint.data(), qsizetype(mountPoint.size()))).name();
    };
    p.isFolder = [](const std::string &mountPoint) {
        struct stat st;
        return ::stat(mountPoint.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
    };
    return p;
}

std::vector<MountEntry> Drives::parseMountInfo(std::string_view text)
{
    std::vector<MountEntry> out;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t nl = text.find('\n', pos);
        if (nl == std::string_view::npos)
            nl = text.size();
        const std::string_view line = text.substr(pos, nl - pos);
        pos = nl + 1;
        const auto f = splitBlanks(line);
        // id parent major:minor root mountpoint options [optional...] - fstype source superoptions
        if (f.size() < 9)
            continue;
        size_t dash = 6;
        while (dash < f.size() && f[dash] != "-")
            ++dash;
        if (dash + 2 >= f.size())
            continue;
        MountEntry m;
        try {
            m.id = std::stoi(std::string(f[0]));
            m.parent = std::stoi(std::string(f[1]));
            const std::string dev(f[2]);
            const auto colon = dev.find(':');
            if (colon == std::string::npos)
                continue;
            m.major = unsigned(std::stoul(dev.substr(0, colon)));
            m.minor = unsigned(std::stoul(dev.substr(colon + 1)));
        } catch (...) {
            continue;
        }
        m.root = unescape(f[3]);
        m.mountPoint = unescape(f[4]);
        m.fsType = unescape(f[dash + 1]);
        m.source = unescape(f[dash + 2]);
        if (m.mountPoint.empty() || m.mountPoint[0] != '/')
            continue;
        out.push_back(std::move(m));
    }
    return out;
}

DriveType Drives::typeOf(const std::string &fsType, const std::string &mountPoint, bool removableDevice)
{
    if (networkTypes().count(fsType))
        return DriveType::Network;
    if (fsType == "iso9660" || fsType == "udf")
        return DriveType::CdRom;
    if (fsType == "tmpfs" || fsType == "ramfs")
        return DriveType::RamDisk;
    // A FUSE file system without a block device of its own (a cloud remote,
    // a pool of disks) is fixed wherever it is mounted.
    if (isFuse(fsType) && fsType != "fuseblk")
        return DriveType::Fixed;
    if (removableDevice || isWithin(mountPoint, "/media") || isWithin(mountPoint, "/run/media"))
        return DriveType::Removable;
    return DriveType::Fixed;
}

QString Drives::networkPathOf(const std::string &source)
{
    std::string host, rest;
    if (startsWith(source, "//")) {
        const auto slash = source.find('/', 2);
        host = source.substr(2, slash == std::string::npos ? std::string::npos : slash - 2);
        if (slash != std::string::npos)
            rest = source.substr(slash + 1);
    } else {
        const auto colon = source.find(':');
        if (colon == std::string::npos || colon == 0 || source[0] == '/')
            return {};
        host = source.substr(0, colon);
        rest = source.substr(colon + 1);
        while (!rest.empty() && rest[0] == '/')
            rest.erase(0, 1);
    }
    if (host.empty())
        return {};
    while (!rest.empty() && rest.back() == '/')
        rest.pop_back();
    std::string path = "\\\\" + host;
    if (!rest.empty())
        path += "\\" + rest;
    std::replace(path.begin(), path.end(), '/', '\\');
    return QString::fromUtf8(path.data(), qsizetype(path.size()));
}

std::vector<Drive> Drives::fromMounts(const std::vector<MountEntry> &mounts, const MountProbe &probe)
{
    std::vector<const MountEntry *> cand;
    const MountEntry *rootMount = nullptr;
    for (const MountEntry &m : mounts) {
        if (m.mountPoint == "/") {
            rootMount = &m; // the last mount on "/" is the one seen
            continue;
        }
        if (realFileSystem(m))
            cand.push_back(&m);
    }
    // A mount hidden by a later mount on the same point is not reachable.
    std::stable_sort(cand.begin(), cand.end(),
                     [](const MountEntry *a, const MountEntry *b) { return a->mountPoint < b->mountPoint; });
    std::vector<const MountEntry *> unique;
    for (size_t i = 0; i < cand.size(); ++i) {
        if (i + 1 < cand.size() && cand[i + 1]->mountPoint == cand[i]->mountPoint)
            continue;
        unique.push_back(cand[i]);
    }

    std::vector<Drive> out;
    std::vector<const MountEntry *> listed;
    auto make = [&](char letter, const MountEntry *m, const std::string &mountPoint) {
        Drive d;
        d.letter = letter;
        d.root = mountPoint;
        if (m) {
            d.fsType = m->fsType;
            d.device = uint64_t(makedev(m->major, m->minor));
            d.type = typeOf(m->fsType, mountPoint, probe.removable && probe.removable(*m));
            if (d.type == DriveType::Network)
                d.networkPath = networkPathOf(m->source);
        }
        if (probe.label)
            d.volumeLabel = probe.label(mountPoint);
        d.label = d.volumeLabel.isEmpty() ? QString::fromUtf8(mountPoint.data(), qsizetype(mountPoint.size()))
                                          : d.volumeLabel;
        return d;
    };
    out.push_back(make('C', rootMount, "/"));
    if (rootMount)
        listed.push_back(rootMount);
    char next = 'D';
    for (const MountEntry *m : unique) {
        if (next > 'Z')
            break;
        // A bind mount of (a part of) a file system already listed.
        const bool bind = std::any_of(listed.begin(), listed.end(), [&](const MountEntry *l) {
            return l->major == m->major && l->minor == m->minor && isWithin(m->root, l->root);
        });
        if (bind)
            continue;
        if (probe.isFolder && !probe.isFolder(m->mountPoint))
            continue;
        out.push_back(make(next++, m, m->mountPoint));
        listed.push_back(m);
    }
    return out;
}

std::vector<std::string> Drives::mountPointsBelow(const std::string &folder)
{
    std::vector<std::string> out;
    char *real = ::realpath(folder.c_str(), nullptr);
    if (!real)
        return out;
    std::string canonical(real);
    std::free(real);
    std::string spelled = folder;
    while (spelled.size() > 1 && spelled.back() == '/')
        spelled.pop_back();
    const std::string below = canonical == "/" ? canonical : canonical + '/';
    for (const MountEntry &m : parseMountInfo(readFile("/proc/self/mountinfo")))
        if (m.mountPoint.size() > below.size() && m.mountPoint.starts_with(below))
            out.push_back((spelled == "/" ? spelled : spelled + '/') + m.mountPoint.substr(below.size()));
    return out;
}

std::vector<Drive> Drives::list()
{
    State &s = state();
    if (!s.fixed.empty())
        return s.fixed;
    const auto now = std::chrono::steady_clock::now();
    const std::string iniPath = Paths::settingsFile("drives.ini");
    const std::string sig = s.mapping.empty() ? iniSignature(iniPath) : std::string();
    if (!s.cached.empty() && sig == s.iniSignature && now - s.readAt < std::chrono::seconds(1))
        return s.cached;
    s.readAt = now;
    s.iniSignature = sig;
    const std::string mountText = readFile("/proc/self/mountinfo");
    std::map<char, std::string> mapping = s.mapping;
    std::string iniText;
    if (mapping.empty()) {
        iniText = readFile(iniPath);
        mapping = readDrivesIni(iniText);
    }
    std::string key = mountText;
    key += '\0';
    for (const auto &[l, f] : mapping) {
        key += l;
        key += f;
        key += '\0';
    }
    if (key == s.cacheKey && !s.cached.empty())
        return s.cached;
    const std::vector<MountEntry> mounts = parseMountInfo(mountText);
    const MountProbe probe = MountProbe::system();
    s.cached = mapping.empty() ? fromMounts(mounts, probe) : mappedDrives(mapping, mounts, probe);
    s.cacheKey = std::move(key);
    return s.cached;
}

std::optional<Drive> Drives::find(char letter)
{
    const char up = char(std::toupper((unsigned char)letter));
    for (const Drive &d : list())
        if (d.letter == up)
            return d;
    return std::nullopt;
}

std::optional<Drive> Drives::driveOfPath(const std::string &path)
{
    std::optional<Drive> best;
    for (const Drive &d : list())
        if (componentPrefix(d.root, path) && (!best || d.root.size() > best->root.size()))
            best = d;
    return best;
}

std::optional<Drive> Drives::currentDrive()
{
    char buf[4096];
    if (!::getcwd(buf, sizeof buf))
        return std::nullopt;
    return driveOfPath(buf);
}

QString Drives::entryText(const Drive &d, bool upperCase)
{
    const QString letter = QString(QChar(upperCase ? d.letter : char(std::tolower((unsigned char)d.letter))))
        + QLatin1Char(':');
    if (d.type == DriveType::Removable)
        return letter;
    if (d.type == DriveType::Network && !d.networkPath.isEmpty())
        return letter + QLatin1Char(' ') + applyCase(d.networkPath, upperCase);
    // The case of a volume label follows the letter; a mount point is a path and keeps its case.
    const QString label = d.volumeLabel.isEmpty() ? d.label : applyCase(d.volumeLabel, upperCase);
    return letter + QStringLiteral(" [") + label + QLatin1Char(']');
}

bool Drives::isDriveReady(char letter)
{
    char up = char(std::toupper((unsigned char)letter));
    if (up < 'A' || up > 'Z')
        up = 'C';
    const auto d = find(up);
    if (!d)
        return false;
    struct statvfs vfs;
    return ::statvfs(d->root.c_str(), &vfs) == 0;
}

bool Drives::driveSpace(const std::string &root, double &freeBytes, double &totalBytes)
{
    double usedBytes = 0;
    return driveSpace(root, freeBytes, totalBytes, usedBytes);
}

bool Drives::driveSpace(const std::string &root, double &freeBytes, double &totalBytes, double &usedBytes)
{
    struct statvfs vfs;
    if (::statvfs(root.c_str(), &vfs) != 0) {
        freeBytes = totalBytes = usedBytes = 0;
        return false;
    }
    freeBytes = double(vfs.f_bavail) * double(vfs.f_frsize);
    totalBytes = double(vfs.f_blocks) * double(vfs.f_frsize);
    usedBytes = double(vfs.f_blocks - std::min(vfs.f_bfree, vfs.f_blocks)) * double(vfs.f_frsize);
    return true;
}

int64_t Drives::clusterSize(const std::string &root)
{
    struct statvfs vfs;
    if (::statvfs(root.c_str(), &vfs) != 0)
        return 0;
    return int64_t(vfs.f_frsize);
}

QString Drives::accessTimeOption(unsigned long mountFlags)
{
    if (mountFlags & ST_NOATIME)
        return QStringLiteral("noatime");
    if (mountFlags & ST_RELATIME)
        return QStringLiteral("relatime");
    return QStringLiteral("strictatime");
}

QString Drives::accessTimeOption(const std::string &root)
{
    struct statvfs vfs;
    if (::statvfs(root.c_str(), &vfs) != 0)
        return {};
    return accessTimeOption(vfs.f_flag);
}

void Drives::setMapping(const std::map<char, std::string> &letterToFolder)
{
    State &s = state();
    s.mapping.clear();
    for (auto [letter, folder] : letterToFolder) {
        const char up = char(std::toupper((unsigned char)letter));
        while (folder.size() > 1 && folder.back() == '/')
            folder.pop_back();
        s.mapping[up] = folder;
    }
    s.cacheKey.clear();
    s.cached.clear();
}

void Drives::setDrives(const std::vector<Drive> &drives)
{
    State &s = state();
    s.fixed = drives;
    std::sort(s.fixed.begin(), s.fixed.end(), [](const Drive &a, const Drive &b) { return a.letter < b.letter; });
    s.cacheKey.clear();
    s.cached.clear();
}

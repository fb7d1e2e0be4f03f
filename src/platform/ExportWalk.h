#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

// A walk of one folder for a scan export: every entry below it, depth first,
// each described by lstat (a symbolic link is never followed). A folder on
// another mount (another file system, or a bind mount of the same one) is
// listed but not entered, marked "otherfs" ("kernfs" for a kernel file system
// such as /proc or /sys); a folder that cannot be read is listed, marked as a
// read error. The folders are held open one per level only while the walk is
// below them; nothing of an entry is kept once it was handed on.
namespace ExportWalk {
struct Item {
    std::string_view name; // the root: the path as given
    int64_t asize = 0;     // apparent size (st_size)
    int64_t dsize = 0;     // bytes taken on disk (st_blocks x 512)
    uint64_t dev = 0;      // written when it differs from the folder above (always for a root)
    uint64_t ino = 0;      // written with nlink when the entry has several names
    uint32_t nlink = 1;
    bool folder = false;
    bool notreg = false;    // neither a regular file nor a folder (a link, a device ...)
    bool readError = false; // the folder could not be read (or the entry not looked at)
    // Why a folder's content is missing: "otherfs" (another file system),
    // "kernfs" (a kernel file system), "pattern"; empty when it is not.
    std::string_view excluded;
};
struct Visitor {
    std::function<void(const Item &)> openFolder; // a folder entered (or listed as not entered)
    std::function<void(const Item &)> file;
    std::function<void()> closeFolder;
    std::function<bool()> keepGoing; // asked every few hundred entries; false ends the walk
};
enum class Result { Walked, RootMissing, Aborted };
// errorOut: errno of a root that could not be looked at.
Result walk(const std::string &root, const Visitor &v, int *errorOut = nullptr);
}

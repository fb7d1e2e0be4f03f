#pragma once
#include "common/DosTime.h"

#include <QDate>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// The browser cache folders the cache window clears: the stored list, the
// folders found on this system, which folders may be listed, and the files
// a clear-out collects.
namespace CacheFolders {
// The most days the "not accessed in" field takes (about a century).
constexpr int kMaxDays = 36500;

// The list as stored (section "CacheFiles"), empty entries left out; the
// browsers' cache folders when the list was never stored.
QStringList readFromDisk();
// Stores the list; throws IniWriteError when the settings file cannot be written.
void writeToDisk(const QStringList &folders);
// The cache folders of the browsers found on this system, in their order,
// each by its real path (no symbolic link on the way).
QStringList found();

// A folder as stored and shown, and back to the path as bytes.
QString toText(const std::string &folder);
std::string toPath(const QString &text);

// Why folder may not be a cache folder: a drive's root or any mount point,
// "/" and the folders directly inside it, the home folder itself (every file
// directly inside it would be cleared), or a name the settings file cannot
// hold (a tab, a line break, bytes that are not UTF-8). Nothing when it may.
std::optional<QString> refusal(const std::string &folder);

// Whole days between today and the date of an access stamp, either way;
// nothing for a stamp without a date.
std::optional<int64_t> ageInDays(DosDateTime accessed, const QDate &today);

struct Collected {
    std::vector<std::string> paths; // the folder's real path joined with the name
    int64_t bytes = 0;
};
// The files directly inside each listed folder (sub-folders are not
// entered) whose last access is at least days days away from today. A
// folder listed twice (or reached twice through links) gives its files
// once; empty entries, missing folders and refused folders give nothing.
// Only regular files are taken, hidden ones included.
Collected collect(const QStringList &folders, int days, const QDate &today = QDate::currentDate());
}

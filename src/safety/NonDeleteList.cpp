#include "safety/NonDeleteList.h"

#include "platform/PathInfo.h"
#include "safety/FoldersFile.h"

#include <algorithm>
#include <cstdlib>

void NonDeleteList::Level::clear()
{
    entries.clear();
    listed.clear();
    exact.clear();
    sortedKeys.clear();
}

void NonDeleteList::Level::add(const std::string &folder)
{
    const std::string entry = FoldersFile::withSlash(folder);
    const std::string key = FoldersFile::caseKey(entry);
    if (!listed.insert(key).second)
        return;
    entries.push_back(entry);
    if (exact.insert(key).second)
        sortedKeys.push_back(key);
    // A folder reached through a symbolic link (/bin on a merged /usr, a
    // package's /lib/x86_64-linux-gnu) is protected under its real name too,
    // because the walker reports files by their real folders. A relative
    // entry (a "." in PATH) names no fixed folder and is not resolved.
    const std::string real = entry[0] == '/' ? PathInfo::resolved(entry) : std::string();
    if (!real.empty()) {
        const std::string realKey = FoldersFile::caseKey(FoldersFile::withSlash(real));
        if (exact.insert(realKey).second)
            sortedKeys.push_back(realKey);
    }
}

void NonDeleteList::Level::finish()
{
    FoldersFile::sortNoCase(entries);
    std::sort(sortedKeys.begin(), sortedKeys.end());
}

bool NonDeleteList::Level::holdsWithin(const std::string &key) const
{
    // Keys that begin with key lie together from its lower bound on.
    const auto it = std::lower_bound(sortedKeys.begin(), sortedKeys.end(), key);
    return it != sortedKeys.end() && it->compare(0, key.size(), key) == 0;
}

std::vector<std::string> NonDeleteList::searchPathFolders(const std::string &pathValue)
{
    std::vector<std::string> out;
    std::unordered_set<std::string> seen;
    size_t start = 0;
    while (start <= pathValue.size()) {
        size_t end = pathValue.find(':', start);
        if (end == std::string::npos)
            end = pathValue.size();
        if (end > start) {
            const std::string folder = FoldersFile::withSlash(pathValue.substr(start, end - start));
            if (seen.insert(FoldersFile::caseKey(folder)).second)
                out.push_back(folder);
        }
        start = end + 1;
    }
    return out;
}

std::vector<std::string> NonDeleteList::systemFolders() { return {"/usr/lib/", "/etc/"}; }

void NonDeleteList::load()
{
    std::vector<std::string> listFile;
    const FoldersFile::State state = FoldersFile::load(listFile);
    const char *pathValue = std::getenv("PATH");
    setLists(listFile, searchPathFolders(pathValue ? pathValue : ""), systemFolders(),
             state == FoldersFile::State::Missing);
    unreadable_ = state == FoldersFile::State::Unreadable;
}

void NonDeleteList::setLists(const std::vector<std::string> &listFile, const std::vector<std::string> &searchPath,
                             const std::vector<std::string> &system, bool missing)
{
    windows_.clear();
    search_.clear();
    all_.clear();
    missing_ = missing;
    unreadable_ = false;
    for (const std::string &f : listFile)
        all_.add(f);
    for (const std::string &f : searchPath) {
        all_.add(f);
        search_.add(f);
    }
    for (const std::string &f : system) {
        all_.add(f);
        windows_.add(f);
    }
    windows_.finish();
    search_.finish();
    all_.finish();
    forgetLastFolder();
}

int NonDeleteList::test(const std::string &path, bool isFile)
{
    std::string folder;
    if (isFile) {
        const auto slash = path.find_last_of('/');
        folder = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
    } else {
        folder = FoldersFile::withSlash(path);
    }
    const std::string key = FoldersFile::caseKey(folder);
    // The memory holds the mode too: the same folder can be unprotected as a
    // file's folder and protected as a folder that holds a listed one.
    if (haveLast_ && lastIsFile_ == isFile && key == lastTestedFolder_)
        return lastReason_;

    int reason = 0;
    if (!key.empty()) {
        const Level *levels[] = {&windows_, &search_, &all_};
        for (int i = 0; i < 3 && reason == 0; ++i) {
            if (isFile ? levels[i]->holdsExactly(key) : levels[i]->holdsWithin(key))
                reason = i + 1;
        }
    }
    haveLast_ = true;
    lastIsFile_ = isFile;
    lastTestedFolder_ = key;
    lastReason_ = reason;
    return reason;
}

void NonDeleteList::forgetLastFolder()
{
    haveLast_ = false;
    lastTestedFolder_.clear();
    lastReason_ = 0;
}

NonDeleteList &nonDeleteList()
{
    static NonDeleteList list;
    return list;
}

QString nonDeleteReasonText(int reason)
{
    switch (reason) {
    case 1: return QStringLiteral("in the /usr/lib or /etc system folder");
    case 2: return QStringLiteral("in the search path");
    case 3: return QStringLiteral("referenced in the package lists or desktop entries");
    default: return {};
    }
}

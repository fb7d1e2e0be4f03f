#pragma once
#include <QString>
#include <QStringList>
#include <string>
#include <unordered_set>
#include <vector>

// The folders whose files are not removed without a warning: the folders of
// folders.txt (installed software), the search path, and the system folders
// (/usr/lib, /etc). One program-wide instance, loaded by the main window at
// its first show and after the list window closes.
//
// Paths are native byte paths with "/" as separator; every listed folder ends
// in "/", so /usr/li/ never matches /usr/lib/. Matching ignores case.
class NonDeleteList {
public:
    // GetSearchPath: reload the three lists from folders.txt, PATH and the
    // system folders; sets listMissing() when folders.txt does not exist and
    // listUnreadable() when it cannot be read.
    // Also forgets the remembered last folder.
    void load();
    // The same from given lists (tests, benchmarks): the list file's folders,
    // the search-path folders, the system folders.
    void setLists(const std::vector<std::string> &listFile, const std::vector<std::string> &searchPath,
                  const std::vector<std::string> &system, bool missing = false);
    // True when folders.txt did not exist at the last load.
    bool listMissing() const { return missing_; }
    // True when folders.txt existed but could not be read at the last load;
    // the list is then unavailable, as when it is missing.
    bool listUnreadable() const { return unreadable_; }
    // isOnNonDeleteList: 0 not protected, 1 system folder, 2 search path,
    // 3 referenced by installed software. File mode tests the file's own
    // folder exactly; folder mode protects a folder that is listed or holds a
    // listed folder.
    int test(const std::string &path, bool isFile);
    // Forgets the remembered last folder and its reason.
    void forgetLastFolder();
    // The remembered last folder (its comparison key); empty when none.
    const std::string &lastTestedFolder() const { return lastTestedFolder_; }

    // The lists as loaded, each sorted without regard to case, every entry
    // ending in "/": lb1 (all protected folders), lbSearchPath, lbWindows.
    const std::vector<std::string> &lb1() const { return all_.entries; }
    const std::vector<std::string> &lbSearchPath() const { return search_.entries; }
    const std::vector<std::string> &lbWindows() const { return windows_.entries; }

    // The folders of a search-path value split at ":", empty elements
    // skipped, each ending in "/", no two alike without regard to case.
    static std::vector<std::string> searchPathFolders(const std::string &pathValue);
    // The system folders: /usr/lib/ and /etc/.
    static std::vector<std::string> systemFolders();

private:
    // One list: its entries as found, and the keys of every entry (and of
    // the entry with its links resolved) for exact and contained lookups.
    struct Level {
        std::vector<std::string> entries;
        std::unordered_set<std::string> listed;
        std::unordered_set<std::string> exact;
        std::vector<std::string> sortedKeys;
        void clear();
        void add(const std::string &folder);
        void finish();
        bool holdsExactly(const std::string &key) const { return exact.count(key) != 0; }
        bool holdsWithin(const std::string &key) const;
    };

    bool missing_ = true;
    bool unreadable_ = false;
    Level windows_, search_, all_;
    bool haveLast_ = false;
    bool lastIsFile_ = true;
    std::string lastTestedFolder_;
    int lastReason_ = 0;
};

// The program-wide list.
NonDeleteList &nonDeleteList();
inline int isOnNonDeleteList(const std::string &path, bool isFile) { return nonDeleteList().test(path, isFile); }
// "", "in the /usr/lib or /etc system folder", "in the search path",
// "referenced in the package lists or desktop entries"..
QString nonDeleteReasonText(int reason);

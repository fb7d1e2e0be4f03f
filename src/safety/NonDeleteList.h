#pragma once
#include <QString>
#include <QStringList>
#include <string>

// The folders whose files are not removed without a warning: the folders of
// folders.txt (installed software), the search path, and the system folders
// (/usr/lib, /etc). One program-wide instance, loaded by the main window at
// its first show and after the list window closes.
class NonDeleteList {
public:
    // GetSearchPath: reload the three lists from folders.txt, PATH and the
    // system folders; sets listMissing() when folders.txt does not exist.
    void load();
    // True when folders.txt did not exist at the last load.
    bool listMissing() const { return missing_; }
    // isOnNonDeleteList: 0 not protected, 1 system folder, 2 search path,
    // 3 referenced by installed software. File mode tests the file's own
    // folder exactly; folder mode protects a folder that is listed or holds a
    // listed folder.
    int test(const std::string &path, bool isFile);
    // Forgets the remembered last folder and its reason.
    void forgetLastFolder();

private:
    bool missing_ = true;
    // Implementation state (lists, lookup index, last folder) is the owner's choice.
};

// The program-wide list.
NonDeleteList &nonDeleteList();
inline int isOnNonDeleteList(const std::string &path, bool isFile) { return nonDeleteList().test(path, isFile); }
// "", "in the Windows/System folder", "in the search path", "referenced in the registry".
QString nonDeleteReasonText(int reason);

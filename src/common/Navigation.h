#pragma once
#include <QString>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class QObject;
class FolderMap; // the folder map's tree (src/finders); only handed on here

// The one way from a window to another window that acts on a file or folder
// it shows. Each target window registers a handler once (see
// TNavigationTargets::install); a caller asks isAvailable(target) to enable
// its button or menu entry and calls go() with the path as found.
// A button or entry whose target is not registered is disabled, never
// enabled and silent.
namespace Navigation {

enum class Target {
    BrowseFolder, // the folder browser on a folder, one file selected, a mask
    ViewFile,     // the file viewer
    FileDetails,  // the file details window
    RemoveFolder, // the folder removal window
    ComparePairs, // the duplicate pair comparison; from is the duplicate window
    FolderMap,    // the folder map of the folder totals handed over, or of a folder it walks
    DeleteFiles,  // the deletion window on the files handed over (delete, trash or zip them)
    Count
};

// What the folder removal window did, for a caller that shows the folder.
struct FolderRemovalOutcome {
    bool ran = false;      // a removal ran (completely or in part)
    bool removed = false;  // the folder is gone
    bool recycled = false; // its files went to the trash
};

struct Request {
    // The asking window; a modal target takes it (when a widget) as parent.
    QObject *from = nullptr;
    // As found (bytes): the file for ViewFile and FileDetails, the folder for
    // BrowseFolder and RemoveFolder.
    std::string path;
    // BrowseFolder: the name of the file to select in the folder; empty for none.
    std::string selected;
    // BrowseFolder: the name mask the browser lists; empty for all files.
    QString mask;
    // RemoveFolder: filled in by the target when given.
    FolderRemovalOutcome *outcome = nullptr;
    // FolderMap: the tree of the asking window's all-folders totals; empty:
    // the map walks path (every folder below it) itself.
    std::shared_ptr<::FolderMap> folderMap{};
    // FolderMap: the name of the scan file the map shows (folders of another
    // machine: they are not browsed or removed here); empty for this
    // machine's folders.
    QString foreignScan{};
    // FolderMap: a click on a folder's tile; the asking window selects the
    // folder's row. Empty when it has none.
    std::function<void(const std::string &folder)> selectFolder{};
    // FolderMap: a removal through the map ran on folder; the asking window
    // updates what it shows of it. Empty when it shows nothing of it.
    std::function<void(const std::string &folder, const FolderRemovalOutcome &outcome)> folderRemoved{};
    // DeleteFiles: the files as found (bytes), in the order the window lists
    // them; the tag of the archive a zip run names; the bytes the files hold,
    // shown as what a clean-up may win back.
    std::vector<std::string> files{};
    QString archiveTag{};
    // DeleteFiles: the groups of files the asking finder listed as holding
    // the same bytes (bytes, as found); empty when it listed none.
    std::vector<std::vector<std::string>> sameContents{};
    double potentialSavings = 0;
};

// True when the target acted (RemoveFolder: the folder was removed;
// DeleteFiles: the window was not cancelled).
using Handler = std::function<bool(const Request &)>;

// Registers the target's handler for the program's life (an empty handler
// withdraws it). Returns the handler it replaces.
Handler setHandler(Target target, Handler handler);
bool isAvailable(Target target);
// Runs the target's handler; false when none is registered.
bool go(Target target, const Request &request);

// Shorthands with the path as found.
bool viewFile(QObject *from, const std::string &file);
bool showDetails(QObject *from, const std::string &file);
bool removeFolder(QObject *from, const std::string &folder, FolderRemovalOutcome *outcome = nullptr);
// The browser on a folder, nothing selected.
bool browseFolder(QObject *from, const std::string &folder, const QString &mask);
// The browser on the folder of filePath with that file selected.
bool browseToFile(QObject *from, const std::string &filePath, const QString &mask);
// The folder map of a folder, which the map walks itself.
bool mapFolder(QObject *from, const std::string &folder);

// Registers a handler for a scope (tests, a window that is a target only
// while it lives) and puts back the one it replaced.
class Registration {
public:
    Registration(Target target, Handler handler);
    ~Registration();
    Registration(const Registration &) = delete;
    Registration &operator=(const Registration &) = delete;

private:
    Target target_;
    Handler previous_;
};

} // namespace Navigation

#pragma once
#include "common/DosTime.h"
#include "common/EventPump.h"
#include "platform/DirReader.h"
#include "scan/FoundFile.h"
#include "scan/ParallelWalk.h"
#include "scan/WildMatch.h"

#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

// The drive and folder walker every finder configures. It walks each checked
// drive depth-first: a folder's subfolders completely, then the folder's own
// files, so the files of a drive's root come last. Hidden folders are entered
// only when enterHidden is set, symbolic links are never followed and the walk never
// leaves the mount of the drive's root (another file system or a bind mount
// of the same one below a folder is not entered). It runs on the UI thread and
// lets pending events run at its pump points through an EventPump, and holds
// a Runs::Token while it walks. At most kOpenFolders folders of the path
// being walked are held open (the deepest ones): a shallower one is closed
// and opened again, name by name from the nearest open folder above it and
// checked to be the same folder, when the walk comes back to it; so a tree
// of any depth is walked whole under any limit of open files. A folder
// that is not walked (it cannot be opened, or lies below the depth limit)
// is counted, and skippedText() says so.
class Walker {
public:
    // true: the collection took the file (or did not want it); false: the
    // collection is full, which shows the full-collection warning and ends
    // the walk.
    using Visitor = std::function<bool(const FoundFile &)>;

    // The result count at which keep() refuses, unless a finder sets its own.
    static constexpr int64_t kDefaultCapacity = 2'000'000;
    // Folders deeper than this below a drive's root are not entered.
    static constexpr int kMaxDepth = 4000;
    // Folders of the path being walked held open at once.
    static constexpr int kOpenFolders = 16;

    enum class Keeping {
        Collect, // results are collected and shown after the walk, up to capacity
        Append   // results are shown at once; no capacity, no full-collection warning
    };

    // --- Configuration, set by the finder before a walk -------------------
    // The names of the files visited. May be changed between folders (it is
    // read at the start of each folder's files).
    WildPattern mask;
    // Entries scanfiles returns besides visible regular files: any of
    // FileAttr::Hidden (names beginning with "."), FileAttr::System (links,
    // devices, sockets, FIFOs, never followed) and FileAttr::Folder (a
    // mount point is not one: it is another drive's root).
    unsigned returned = 0;
    // Dot-folders are entered too (the statistics count every byte of a
    // drive; the finders that list files for removal leave them alone).
    bool enterHidden = false;
    // Folders this many levels below the walk's root are listed but not
    // entered (0: the root's own entries only).
    int maxDepth = kMaxDepth;
    Visitor visitor;
    // Where the status text goes (the folder being walked); none when empty.
    std::function<void(const QString &)> status;
    // The walk's EventPump is made of these three: what a pump does
    // (QCoreApplication::processEvents when empty), the least interval
    // between pumps (EventPump::defaultInterval() when unset) and the
    // clock (the monotonic clock when empty; tests inject one).
    EventPump::Action pump;
    std::optional<int> pumpIntervalMs;
    EventPump::Clock clockMs;
    bool pumpBetweenFolders = true; // after each entry of a folder's subfolder loop but the first
    bool pumpAtFolderStart = false; // once at the start of each folder, before the abort test
    bool pumpBetweenFiles = true;   // after each file visited but the first
    bool statusPerFolder = true;    // show each folder when its walk begins
    bool clearStatusAfterFiles = false; // empty the status after a folder's files and on abort returns
    Keeping keeping = Keeping::Collect;
    int64_t capacity = kDefaultCapacity;
    // Reported when a drive's root cannot be opened; the default shows the
    // error "Can't open drive " + the entry's text.
    std::function<void(const QString &entry)> cannotOpen;
    // Called when a drive's walk begins, with the drive's root (folder hogs
    // take the drive's capacity here).
    std::function<void(const std::string &root)> driveStarted;
    // Called after the files of each folder were visited (folder hogs build
    // their line here), with a record whose name, path, folder and
    // folderText are the folder's.
    std::function<void(const FoundFile &folder)> folderDone;
    // Called after each root's walk (also an aborted one), when running()
    // is false again: a finder that walks in parallel merges its workers'
    // results here.
    std::function<void()> rootDone;

    // --- The parallel walk -----------------------------------------------------
    // For scans whose results do not depend on the order in which entries are
    // met. When workers are set, scanFolder walks the root on one thread per
    // worker (ParallelWalk) instead of on this thread, with the same rules
    // (mask, read once per walk; returned; enterHidden; links, mounts, depth).
    // visitor, folderDone, keep() and the pump points are not used then: each
    // worker keeps its own results. This thread waits, lets events run every
    // pump interval, passes the folder a worker began last to status (at
    // most once per interval, whatever statusPerFolder says), and stops
    // every worker at once when scanAborted is set.
    std::vector<WalkWorker *> workers;
    // The pool whose threads run the workers (null: the program's shared
    // pool); benchmarks and tests give one of another size.
    WorkerPool *pool = nullptr;
    // Visits from the pool: when set (and no workers are given), scanFolder
    // walks on ParallelWalk::defaultWorkers() threads, unless that is 0,
    // each keeping the files prefilter passes, and hands them to visitor on
    // this thread after the root's walk, a folder's files together
    // (folderText set). The folders come in no fixed order; folderDone,
    // statusPerFolder and the pump points between files are not used
    // (events run as in a parallel walk). A Collect walk keeps at most the
    // capacity's room of files.
    bool visitInParallel = false;
    // Only the entries prefilter passes (when set) reach visitor, in either
    // walk. It may run on the pool's threads, so it may only read the
    // record and what does not change during the walk.
    std::function<bool(const FoundFile &)> prefilter;

    // --- Running ------------------------------------------------------------
    // ScanAllDrives: every entry given (the checked entries of a drive list,
    // in list order); the first character of each is its drive letter.
    // Clears the abort flag and the kept count first.
    void scanAllDrives(const QStringList &checkedEntries);
    // One drive entry: false when it was skipped (not ready, or its root
    // could not be opened, which is reported).
    bool scanDrive(const QString &entry);
    // scan_dir on any folder (it is treated as a root: its text ends in "/").
    // The walk stays on that folder's mount.
    void scanFolder(const std::string &root);
    bool running() const { return depth_ >= 0; }
    // Levels below the walk's root of the folder being walked (0: the root);
    // -1 when no walk runs. Lets folderDone tell main folders from deeper ones.
    int depth() const { return depth_; }
    // The walker must outlive its walk: a window refuses to close (or turns
    // its close box into Abort) while running() is true.

    // --- Abort and capacity ---------------------------------------------------
    bool scanAborted = false;
    // Clears the abort flag, the kept count and the full-collection warning
    // (scanAllDrives does this itself; call it before walking single drives
    // or folders with scanDrive or scanFolder).
    void reset();
    // btAbortClick: sets the abort flag and shows "LIST INCOMPLETE ...
    // ABORTED BY USER" as a warning (or as a plain box when plainBox is set).
    // The window hides its Abort button.
    void abortByUser(bool plainBox = false);
    // For a visitor about to add one result: true and counted while there is
    // room (always in Append mode); false once capacity results are kept.
    bool keep();
    int64_t keptCount() const { return kept_; }
    // Folders since reset() that were to be walked but could not be opened
    // (denied, no descriptor left, changed while the walk was below them);
    // one that vanished is not counted.
    int64_t foldersNotOpened() const { return notOpened_; }
    // Folders since reset() not entered because they lie deeper than
    // kMaxDepth levels (a walk the finder itself keeps shallower counts none).
    int64_t foldersTooDeep() const { return tooDeep_; }
    // What the two counts mean for the results, as sentences for a status
    // line or a closing message ("3 folders deeper than 4,000 levels were
    // not searched."); empty when every folder was walked.
    QString skippedText() const;
    static QString skippedText(int64_t notOpened, int64_t tooDeep);
    // The collection refused a result: the warning, once per walk, and the abort flag.
    void collectionFull();

    static QString abortText();
    static QString fullText();

private:
    // One listed entry of a folder on the current path; its name lies in
    // names_ at offset (NUL-terminated). kind is the listing's, or the
    // looked-up kind once a look-up was needed. A subfolder that was walked
    // while folders are returned keeps the entry taken when it was opened
    // in stats_[stat], so its record needs no second look-up.
    // stat is kOtherMount for a folder that is another mount's root.
    static constexpr int32_t kOtherMount = -2;
    struct Listed {
        size_t offset;
        uint32_t length;
        int32_t stat;
        uint8_t kind; // DirReader::Kind
    };
    // One folder of the path being walked: its descriptor while it is held
    // open, and how to open it again from its parent (its name in the
    // parent's listing, and its inode to check it is the same folder).
    struct Level {
        std::shared_ptr<DirReader> dir;
        size_t nameOffset = 0;
        uint32_t nameLength = 0;
        uint64_t inode = 0;
    };
    void walkFolder(int depth);
    void walkInParallel(std::shared_ptr<DirReader> root);
    // visitInParallel: the walk by collectors, then their files to visitor.
    void visitFromPool(std::shared_ptr<DirReader> root);
    // The open folder at depth on the path, opened again when it was
    // closed; null when it can no longer be reached as the same folder.
    DirReader *folderAt(int depth);
    // After a level was opened: the shallowest open level below the root
    // is closed while more than kOpenFolders are open.
    void limitOpenLevels();
    // folderShown: the folder's record and status were set at the start of
    // its walk and nothing has changed them since. dir is null when the
    // folder could not be opened again (its files are not visited).
    void scanFiles(DirReader *dir, size_t first, bool folderShown);
    void setStatus(const QString &text);
    void pumpPoint() { pump_.pump(); }
    void beginFolder();

    std::string path_;     // full path of the folder being walked (no trailing "/" but for "/")
    bool atRoot_ = false;
    MountPlace place_;     // the file system and mount being walked
    int depth_ = -1;
    int64_t kept_ = 0;
    int64_t notOpened_ = 0, tooDeep_ = 0;
    bool fullShown_ = false;
    std::vector<Level> levels_; // the path from the root (0) to the folder being walked
    int openLevels_ = 0;
    EventPump pump_;
    FoundFile file_;
    // One converter per stamp: each keeps the local-time offset of the last
    // quarter hour it met, and a folder's files tend to share theirs.
    DosTime::Converter written_, accessed_, created_;
    // The listings of the folders from the walk's root down to the one being
    // walked: each folder is read once, its entries kept here while its
    // subfolders are walked and its files visited, then dropped.
    std::vector<Listed> listed_;
    std::vector<char> names_;
    std::vector<EntryStat> stats_;
};

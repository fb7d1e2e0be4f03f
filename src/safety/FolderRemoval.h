#pragma once
#include "safety/ZipRun.h"

#include <QDateTime>
#include <QString>
#include <cstdint>
#include <functional>
#include <string>

// The removal of one folder with everything below it: every file deleted,
// sent to the trash, or zipped into the "FolderClean" archive of its drive
// (and then deleted when asked), and the emptied folders removed. The walk
// works by descriptors (TreeRemoval): it never follows a symbolic link, never
// enters another mount and never changes the current folder. Questions and
// messages go through dialogs(). Only what was really removed is counted,
// reported and tallied.
class FolderRemoval {
public:
    enum class Mode { Delete, Recycle, Zip };

    // What the window shows. Every member may be left empty.
    struct Hooks {
        // Each file before it is acted on: the running count of files met
        // and the file's full path (the count and name panels). Called for
        // every file: keep it cheap and show the panels at the pump.
        std::function<void(int64_t count, const std::string &path)> fileStarted;
        // Lets pending window events run (before each entry, after each
        // file); true when it ran them. Called for every entry, so it should
        // run events only now and then (EventPump).
        std::function<bool()> pump;
        // Zip mode: each progress report of an add, in percent (100 once
        // the file is in the archive).
        std::function<void(int percent)> zipProgress;
        // The walk is over and the closing message comes next: the panels
        // show the final count.
        std::function<void()> settled;
    };

    struct Outcome {
        bool ran = false;           // the walk ran (false: refused, or nothing to do)
        bool completed = false;     // it ran to its end
        bool folderRemoved = false; // the folder itself is gone
        int64_t met = 0;            // files met by the walk
        int64_t files = 0;          // removed (deleted, recycled, or zipped and deleted)
        int64_t bytes = 0;          // their sizes just before their removal
        int64_t zipped = 0;         // zip mode: files stored in the archive
        int64_t zippedBytes = 0;
    };

    explicit FolderRemoval(std::string folder);

    Mode mode = Mode::Delete;
    // Zip mode: delete the files and folders once they are zipped.
    bool deleteAfterZip = true;
    // Zip mode: the archive's comment and the time in its name.
    QString zipComment;
    QDateTime zipTime = QDateTime::currentDateTime();
    // Zip mode: how many zipped files wait for one sync before they are deleted.
    ZipRun::Batch zipBatch;
    Hooks hooks;
    // Set by a confirmed abort or a No to an attribute question; the walk
    // stops at its next entry.
    bool aborted = false;

    // Why the folder may not be removed at all, or "" when it may: a drive's
    // root, the system's own top-level folders, the home folder and the folders
    // that hold it are refused.
    static QString refusal(const std::string &folder);
    // The kind of refusal refusal() gives.
    enum class Refused { None, NotFullPath, Root, SystemFolder, Home };
    static Refused refusedAs(const std::string &folder);
    // The error a window listing folders (folder hogs, the folder map) shows
    // instead of opening the removal window: for a drive's root, a system
    // folder or the home folder; empty for any other folder.
    static QString listRefusal(const std::string &folder);
    // The non-delete reason of the folder or a folder inside it (0: none).
    int protectedReason() const;
    // Asks the non-delete warning when the folder is protected; false when
    // the user declined (nothing is done then).
    bool confirmProtected() const;

    // Removes the folder in the chosen mode: refuses it first (refusal(), a
    // link or mount point, in zip mode an archive folder inside it, in
    // recycle mode a folder in the trash), then asks the non-delete warning,
    // asks the attribute questions, shows the closing message (which names
    // what was left in place and why) and adds to the tallies. Holds a run
    // token while it works. Recycle mode never enters the trash folder the
    // files go to.
    Outcome run();

    static const QString kAttributeQuestion; // after the path and the phrase
    static QString deletedText(int64_t files, int64_t bytes, bool completed);
    static QString zippedText(int64_t files, bool completed);

private:
    bool refused() const;
    void showUnreachable(int error) const;
    bool askAttributes(const std::string &path, const std::string &name, unsigned mode, bool &asked);
    std::string folder_;
    // "Yes to all" given to the read-only, hidden or system question.
    bool allReadOnly_ = false, allHidden_ = false, allSystem_ = false;
};

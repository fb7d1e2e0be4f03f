#pragma once
#include "common/EventPump.h"
#include "safety/ZipArchive.h"

#include <QDateTime>
#include <QString>
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

// Zipping files into the drive archives and deleting them: the run of the
// deletion window over its panel, and the per-file step that folder removal
// calls during its walk. All archives of one run share the run's time; each
// drive gets its own archive. A file is deleted only after its entry is
// written and synced. Messages go through dialogs().
class ZipRun {
public:
    enum class Outcome {
        ZippedAndDeleted,
        ZippedNotDeleted, // in the archive and still on disk
        NotZipped,        // reported; stays on disk
        Aborted           // the progress answer stopped the add; stays on disk
    };

    struct Result {
        int64_t files = 0;              // zipped and deleted
        int64_t bytes = 0;              // their sizes when they were zipped
        std::vector<std::string> done;  // their paths
        bool aborted = false;           // stopped by abortRequested
        bool archiveFailed = false;     // an archive could not be opened or created (reported)
    };

    // What the window shows and answers. Every member may be left empty.
    struct Hooks {
        // Before each file of run(): its index in the list and its path.
        std::function<void(size_t index, const std::string &path)> fileStarted;
        // Each progress report of an add, in percent.
        std::function<void(int percent)> itemProgress;
        // Tested before each file of run() and at each progress report.
        std::function<bool()> abortRequested;
        // Points in each file's zip-and-delete, with its path: once its data
        // is read and checked (before the entry is complete on disk), once
        // the entry is synced, and just before the file is removed (after
        // this the file's state is compared with what was read).
        std::function<void(const std::string &path)> afterRead, afterSync, beforeUnlink;
    };

    // tag: the archive names' kind of clean-up; comment: the archives'
    // comment; time: the run's time in the archive names.
    ZipRun(QString tag, QString comment, QDateTime time = QDateTime::currentDateTime());

    Hooks hooks;
    // How often an archive's directory is written while the run adds to it
    // (ZipArchive::setDirectoryInterval); it is always written on close.
    int directoryIntervalMs = 2000;
    // Whether each add is synced before its file is deleted (benchmarks
    // only turn this off, to time the rest of the run).
    bool syncEachAdd = true;

    // Zips and deletes every file in order until abortRequested. An archive
    // that cannot be opened or created is reported once and ends the run; the
    // files not yet zipped stay where they are.
    Result run(const std::vector<std::string> &files);
    // After run(): adds the files zipped and deleted to the zip tallies and
    // shows the closing message unless the run was aborted or an archive failed.
    static void finish(const Result &result);

    // Opens (or creates) the archive of a drive for this run and sets its
    // comment; the archive folder (and its parents) is created when missing.
    // Archives that an interrupted run left in the folder are repaired first.
    // False, reported with showError, when that fails.
    bool openArchive(ZipArchive &archive, char driveLetter);

    // Repairs every archive in the archive folder that an interrupted run
    // left without a directory (ZipArchive::repairInterrupted); the names
    // repaired. Zip runs do this before their first archive; a window that
    // lists the archives does it before listing them.
    static std::vector<std::string> repairArchiveFolder();

    // Adds one file to an open archive under the stored-name rule (its path
    // relative to its drive's root), then deletes it when deleteAfter is set.
    // The file is reached without following symbolic links (AnchoredPath) and
    // read through one descriptor; it is deleted only when it is still the
    // same file in the same state (size, modification and change times) as
    // when it was read. Failures are reported with "Couldn't zip up file - "
    // or "Couldn't delete file - " and the path. size gets the bytes zipped.
    Outcome zipAndDelete(ZipArchive &archive, const std::string &path, bool deleteAfter, int64_t *size = nullptr);

    // The archive's progress callback: shows the percentage, lets events run
    // (at most every EventPump interval, and at the end of each add), and
    // answers with abortRequested.
    bool itemProgress(int percent);

private:
    void pumpEvents(bool force);

    QString tag_;
    std::string comment_;
    QDateTime time_;
    EventPump pump_;
    bool abortedAdd_ = false;
    bool repaired_ = false; // the archive folder was swept for interrupted archives
};

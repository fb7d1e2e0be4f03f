#pragma once
#include "common/EventPump.h"
#include "platform/AnchoredPath.h"
#include "platform/UniqueFd.h"
#include "safety/ZipArchive.h"

#include <QDateTime>
#include <QString>
#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

class CopyCheck;

// Zipping files into the drive archives and deleting them: the run of the
// deletion window over its panel, and the per-file step that folder removal
// calls during its walk. All archives of one run share the run's time; each
// drive gets its own archive. A file is deleted only after its entry is
// written and synced. Syncs are batched: the files added since the last sync
// wait, still in place, until the batch is full (by files, bytes or time) or
// the caller flushes it; then their archives are synced once and each file
// is deleted if it is still the file that was read. Messages go through
// dialogs().
class ZipRun {
public:
    enum class Outcome {
        Added,     // in the archive; synced, and deleted when asked, with its batch
        NotZipped, // reported; stays on disk
        Aborted    // the progress answer stopped the add, or the run has failed; stays on disk
    };

    struct Result {
        int64_t files = 0;              // zipped and deleted
        int64_t bytes = 0;              // their sizes when they were zipped
        std::vector<std::string> done;  // their paths
        bool aborted = false;           // stopped by abortRequested
        bool archiveFailed = false;     // an archive could not be opened, created or synced (reported)
    };

    // What the run has done so far, counting only batches that were synced.
    struct Totals {
        int64_t zipped = 0, zippedBytes = 0; // entries synced, and their sizes
        int64_t files = 0, bytes = 0;        // of those, the files deleted
        std::vector<std::string> done;       // the paths deleted
    };

    // How many added files wait for one sync: a batch is synced and deleted
    // once it holds this many files or bytes, or once its first file has
    // waited this long (checked after each add). The run's first batch is a
    // single file and each next one may hold twice as many files, up to
    // files: the first file goes at once, and the files of a short run go as
    // the run goes.
    struct Batch {
        size_t files = 128;
        int64_t bytes = 32 << 20;
        int ms = 1000;
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
        // its batch is synced, and just before the file is removed (after
        // this the file's state is compared with what was read).
        std::function<void(const std::string &path)> afterRead, afterSync, beforeUnlink;
        // After each batch's deletions (folder removal removes the folders
        // it held back until then).
        std::function<void()> batchDone;
    };

    // tag: the archive names' kind of clean-up; comment: the archives'
    // comment; time: the run's time in the archive names.
    ZipRun(QString tag, QString comment, QDateTime time = QDateTime::currentDateTime());

    Hooks hooks;
    Batch batch;
    // How often an archive's directory is written while the run adds to it
    // (ZipArchive::setDirectoryInterval); it is always written on close.
    int directoryIntervalMs = 2000;
    // Whether batches are synced before their files are deleted (benchmarks
    // only turn this off, to time the rest of the run).
    bool syncEachAdd = true;
    // With a check, run() zips a file listed as a copy of others only while
    // the check allows it (CopyCheck); one it refuses is left untouched.
    CopyCheck *copyCheck = nullptr;

    // Zips and deletes every file in order until abortRequested. An archive
    // that cannot be opened, created or synced is reported once and ends the
    // run; the files not yet zipped (or whose batch was not synced) stay
    // where they are.
    Result run(const std::vector<std::string> &files);
    // After run(): adds the files zipped and deleted to the zip tallies and
    // shows the closing message unless the run was aborted or an archive
    // failed. note (what was left and why) ends the closing message, or is
    // shown by itself when there is none.
    static void finish(const Result &result, const QString &note = {});

    // Opens (or creates) the archive of a drive for this run and sets its
    // comment; the archive folder (and its parents) is created when missing.
    // Archives that an interrupted run left in the folder are repaired first.
    // False, reported with showError, when that fails.
    bool openArchive(ZipArchive &archive, char driveLetter);

    // Repairs every archive in the archive folder that an interrupted run
    // left without a directory (ZipArchive::repairInterrupted); what was
    // repaired, and the damaged archives left as they are (no run of this
    // program left them so). Records and notes whose archive is gone are
    // removed.
    static std::vector<ZipRepair> repairArchiveFolder();
    // The same, showing each repair once, as it is made, through dialogs();
    // a damaged archive left alone is reported when it is opened or
    // extracted, not at each start. Zip runs do this before their first
    // archive, the main window at its first show, and a window that lists
    // the archives before listing them.
    static void repairAndReport();

    // Adds one file to an open archive under the stored-name rule (its path
    // relative to its drive's root) and puts it in the batch, which is
    // flushed when full. The file is reached without following symbolic
    // links (AnchoredPath), or in folder, an open descriptor of the folder
    // the walk found it in, and read through one descriptor. Failures to
    // read are reported with "Couldn't zip up file - " and the path.
    Outcome zipAndDelete(ZipArchive &archive, const std::string &path, bool deleteAfter, int folder = -1);
    // Syncs the archives of the batch, then deletes each of its files that
    // was to be deleted and is still the same file in the same state (size,
    // modification and change times) as when it was read; a file that cannot
    // be deleted is reported with "Couldn't delete file - ". When the sync
    // fails nothing is deleted: the batch's entries are dropped from their
    // archives, the failure is reported once and the run has failed (every
    // later add answers Aborted). False when the run has failed.
    bool flush();
    // Whether files wait in the batch.
    bool pending() const { return !pending_.empty(); }
    // True once a batch could not be synced or the archive's disk was full.
    bool failed() const { return failed_ || diskFull_; }
    const Totals &totals() const { return totals_; }
    // Flushes the batch, writes the archive's directory and closes it.
    void closeArchive(ZipArchive &archive);

    // The archive's progress callback: shows the percentage, lets events run
    // (at most every EventPump interval, within an add and between adds), and
    // answers with abortRequested.
    bool itemProgress(int percent);

private:
    // A file whose entry waits for its batch's sync.
    struct Pending {
        ZipArchive *archive;
        std::string path;
        std::shared_ptr<UniqueFd> folder; // where it was found, open until it is deleted
        std::string name;                 // its name there
        FileIdentity read;                // its identity and state when it was read
        int64_t size;
        bool deleteAfter;
    };

    bool batchFull() const;
    // abortRequested answers yes, or the program is ending (Runs::requestQuit).
    bool stopRequested() const { return stopped_ || (hooks.abortRequested && hooks.abortRequested()); }

    QString tag_;
    std::string comment_;
    QDateTime time_;
    EventPump pump_;
    bool abortedAdd_ = false;
    bool stopped_ = false;  // stopped by a request to end the program
    bool repaired_ = false; // the archive folder was swept for interrupted archives
    bool failed_ = false;   // a batch could not be synced
    bool diskFull_ = false; // an add found the archive's disk full
    std::vector<Pending> pending_;
    std::map<ZipArchive *, ZipArchive::Mark> marks_; // each archive of the batch as it was before it
    int64_t pendingBytes_ = 0;
    size_t batchFiles_ = 1; // the current batch's file limit, doubled after each batch
    std::chrono::steady_clock::time_point batchStart_{};
    Totals totals_;
};

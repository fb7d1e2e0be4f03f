#pragma once
#include "scan/LinkLedger.h"
#include "scan/Walker.h"
#include "stats/StatTallies.h"

#include <QString>
#include <functional>
#include <memory>
#include <string>
#include <vector>

// The statistics walk of one drive: the shared walker set up to visit every
// file (hidden and system ones too, dot-folders entered), handing each file
// to the tallies. The status line names the folder being tallied. The walk
// is parallel: each worker counts into its own copy of the tallies (the same
// filter and today), added to tallies when the drive is done; the tallies do
// not depend on the order in which files are met. With no workers the
// walker walks on this thread, with events let run between files. A file
// with several names (hard links) is tallied once, by the name LinkLedger
// chooses, when the drive's walk is done.
class StatScan {
public:
    StatScan();
    ~StatScan();

    // Threads of the walk (0: the walker's own walk on this thread).
    int workers = ParallelWalk::defaultWorkers();

    StatTallies tallies;
    Walker walker;
    // The status-bar sink ("Processing drive ... standby : " + folder).
    std::function<void(const QString &)> status;

    // Walks the drive of an entry (its first character is the letter); false
    // when it was skipped (not ready, or its root could not be opened).
    bool scanDrive(const QString &entry);
    // Walks any folder as a drive's root (benchmarks, tests).
    void scanFolder(const std::string &root, const QString &entry = QStringLiteral("C:"));
    bool aborted() const { return walker.scanAborted; }
    void abort() { walker.scanAborted = true; }

private:
    struct Worker;
    // Files with several names met by a walk: their names, and a copy of
    // each record (slot: its place in files).
    struct Linked {
        LinkLedger ledger;
        std::vector<FoundFile> files;
        void add(const FoundFile &f);
    };
    Linked links_; // the walker's own walk's
    void beginWalk(const QString &entry);
    void endWalk();
    void visit(const FoundFile &f);
    std::vector<std::unique_ptr<Worker>> workers_;
    QString entry_;
    std::string lastFolder_;
};

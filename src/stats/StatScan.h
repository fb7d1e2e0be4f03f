#pragma once
#include "scan/Walker.h"
#include "stats/StatTallies.h"

#include <QString>
#include <functional>
#include <string>

// The statistics walk of one drive: the shared walker set up to visit every
// file (hidden and system ones too, dot-folders entered), with no status per
// folder and events let run between files only, handing each file to the
// tallies. The status line names the folder being tallied.
class StatScan {
public:
    StatScan();

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
    void visit(const FoundFile &f);
    QString entry_;
    std::string lastFolder_;
};

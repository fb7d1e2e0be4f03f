#pragma once
#include "platform/Drives.h"

#include <QString>
#include <QStringList>
#include <vector>

// The drive entries the drive lists show, and which of them a finder checks
// when it opens.
class DriveEntries {
public:
    struct Entry {
        QString text; // "C: [label]", "E:", "X: \\host\share"
        DriveType type = DriveType::Fixed;
    };
    // Every drive of the system in letter order, in upper case (the finders'
    // lists) or lower case (the statistics wizard's).
    static std::vector<Entry> all(bool upperCase = true);
    // The entry text of the current drive, as the list would show it; empty
    // when the current folder is on no drive.
    static QString current(bool upperCase = true);
    // The entry's first character, in upper case, is A or B.
    static bool isFloppyLetter(const QString &entry);
    // The positions to check at first: the entry equal to current when there
    // is one, else every entry whose first character is "c" or "C".
    static std::vector<int> defaultChecks(const QStringList &texts, const QString &current);
};

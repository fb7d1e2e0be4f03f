#pragma once
#include "finders/SizeChoice.h"
#include "scan/GridLayout.h"

#include <QString>
#include <QStringList>

// What the duplicate and file-hog window tells the shared grid, and its
// report title.
namespace DupFinder {
// The grid's layout for a mode: duplicates show name, size, date, time,
// access, folder and type in that column order whatever the criterion's line
// layout; file hogs show size, date, time, access, path and type and sort.
GridLayout gridLayout(bool dupMode, int criterion);
// "Duplicates " or "File Hogs ", the size phrase, " matching ", the pattern,
// " on drive(s) " and each checked drive's letter followed by a blank.
QString printTitle(bool dupMode, const SizeChoice &choice, const QString &pattern, const QStringList &checkedEntries);
// The hint of "&Start" and the window caption for a mode.
QString startHint(bool dupMode);
QString caption(bool dupMode);
// Placement section of a mode ("frmDups" or "frmMods").
QString placementSection(bool dupMode);
}

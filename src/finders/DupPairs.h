#pragma once
#include "common/DosTime.h"

#include <QDateTime>
#include <QRect>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>
#include <string>

class ResultGridModel;

// The logic of the pair comparison: which neighbouring rows of the
// duplicate grid are a pair under the finder's criterion, how Next and
// Previous move through them, and what one side of a pair shows.
namespace DupPairs {

// What a duplicate grid row carries that a criterion may compare: the
// file's name as found (bytes) and the size, date, time and type texts.
struct PairRow {
    std::string name;
    QString size, date, time, type;
};

// The row of a duplicate grid (grid row 1 is the first file; the columns
// are name, size, modified, time, access, folder, type).
PairRow rowOf(const ResultGridModel &grid, int row);

// Whether two rows are duplicates under a criterion (0-6, the finder's
// list): names equal without regard to case (as the finder groups them),
// every other field's text exactly; any other criterion matches always.
bool rowsMatch(int criterion, const PairRow &a, const PairRow &b);
// qPairMatches: rows r and r + 1 of the grid (by contents: rows of one group).
bool pairMatches(const ResultGridModel &grid, int criterion, int row);

// The grid row that holds the file at path (hint is tried first); 0 when
// no row does.
int rowOfPath(const ResultGridModel &grid, const std::string &path, int hint);

using Matches = std::function<bool(int row)>;
// GetNextDupRow: the first row after current whose pair (it and the row
// below it, the last being rowsFilled) matches; -1 when there is none.
int nextDupRow(int current, int rowsFilled, const Matches &matches);
// GetPrevDupRow: the first row above current (down to row 1) whose pair
// matches; -1 when there is none.
int prevDupRow(int current, const Matches &matches);

// One side of the comparison: what its labels and profile list show.
struct Side {
    std::string path; // as found
    bool exists = false;
    QString name, folder;
    QString type, size, created, modified, accessed, attributes;
    QStringList profile; // version lines, or "Extended profile absent"
    // The stamps for the newer-arrows: created and modified as DOS stamps
    // in local time, accessed as its date part; 0 when the stamp is missing.
    DosDateTime createdStamp = 0, modifiedStamp = 0;
    uint32_t accessDay = 0;
};
// The side for a file found at path, looked at now. A file that is no
// longer there gives exists false with only its name and folder.
Side load(const std::string &path, const QDateTime &now);
// "date time  relative" ("???" for a stamp of 0); dateOnly leaves out the time.
QString stampText(DosDateTime stamp, const QDateTime &now, bool dateOnly, bool oddSecond = false);

// Which file of a pair is more recent for one stamp.
enum class Newer { Unknown, Left, Right, Same };
Newer newer(uint32_t left, uint32_t right);

// Whether line i of a profile list is drawn highlighted: both lists hold at
// least two lines and the other list's line i differs.
bool profileLineDiffers(const QStringList &mine, const QStringList &other, int i);

// Where the window goes after its height changed (resizeIt): frameBefore is
// its frame before, frameSize its frame's size now. It keeps its bottom
// edge; a top above the screen becomes 20 below the screen's top, and a
// window that then reaches below the screen is centred vertically. Frame
// coordinates throughout, so a window whose height did not change stays
// exactly where it is.
QPoint placeKeepingBottom(const QRect &frameBefore, const QSize &frameSize, const QRect &screen);

} // namespace DupPairs

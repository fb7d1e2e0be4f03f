#pragma once
#include "stats/StatTallies.h"

#include <QColor>
#include <QString>
#include <QStringList>
#include <array>
#include <vector>

// What the statistics charts show, worked out from drive space and tallies:
// the series values, their labels, colours, titles and units. The window only
// hands these to the charting component.
namespace StatCharts {

// The twelve chart colours, entries 1..12: red, maroon, blue, yellow, green,
// lime, fuchsia, teal, navy, aqua, white, gray. Entries outside 1..12 wrap.
QColor chartColor(int entry);

// One bar or slice: its label, value and colour.
struct Bar {
    QString label;
    double value = 0;
    QColor colour;
};

// --- Space of the drives -------------------------------------------------------------

struct DriveSpace {
    QString label; // the drive letter
    double freeBytes = 0;  // what the user may still write
    double totalBytes = 0;
    double usedBytes = 0;  // as df counts it: total less every free block
};

// The stacked bar chart of the drives' space. Every value is in the one unit
// of the chart: megabytes when the drives' total reaches 10,000 KB, else
// kilobytes.
struct SpaceBars {
    QStringList labels;            // the drive letters, then "Total" when shown
    std::vector<double> free, used; // per bar, in the unit
    bool megabytes = false;
    double freeSum = 0, totalSum = 0, usedSum = 0; // in the unit
    int charted = 0;                  // drives charted

    QString unit() const { return megabytes ? QStringLiteral("MB") : QStringLiteral("KB"); }
    // The total with thousands separators, its fraction cut off.
    QString totalText() const;
    // Free and used space rounded, with thousands separators.
    QString freeText() const;
    QString usedText() const;
};

// The bars of these drives; a "Total" bar follows when cumulativeTotal is set
// and more than one drive is charted.
SpaceBars spaceBars(const std::vector<DriveSpace> &drives, bool cumulativeTotal);

// A pie's title: the root, two spaces, the percent text of the free share and
// "% free" ("/data  45.7% free" for 45.678 %). Only for a total above 0.
QString pieTitle(const QString &root, double freeBytes, double totalBytes);
QString totalPieTitle(double freeBytes, double totalBytes);
// A space pie's slices, labelled " ": the used bytes (as the page's "Used
// Space:" counts them) in blue, the free bytes in fuchsia, and the rest of
// the capacity that neither holds (the blocks reserved for the system), when
// there is any, in grey, so each slice is its share of the capacity.
std::vector<Bar> spaceSlices(double freeBytes, double totalBytes, double usedBytes);

// Bar depth animation: the step and the limit for n charted drives.
struct DepthStep {
    int step;
    int limit;
};
DepthStep barDepthStep(int charted);

// --- Tallies -------------------------------------------------------------------------------

// The slices of the types pie: the first twelve rows (each a list of cell
// texts) by the number in one column, thousands separators dropped; only
// values above 0 give a slice. Labelled with the row's type (column 1),
// coloured by the row's place.
std::vector<Bar> typeSlices(const std::vector<QStringList> &rows, int column);

// The size chart: twelve bars for buckets 1..12 (by bytes in MB or by
// number of files), labelled with the bucket and coloured by its entry.
QString sizeTitle(bool bySize);
std::vector<Bar> sizeBars(const StatTallies &t, bool bySize);

// An age chart: ten bars for buckets 0..9 of one time kind, coloured by
// entries 1..10 (or all in one colour when one is given).
QString ageTitle(int kind, bool bySize);
std::vector<Bar> ageBars(const StatTallies &t, int kind, bool bySize, const QColor &oneColour = {});
// The combined chart's series of a kind: its name and colour.
QString combinedName(int kind);
QColor combinedColour(int kind);

// The overhang chart: the wasted share of the space the files would take at
// each trial cluster size, in percent, 64K first. Empty when nothing counted.
std::vector<double> overhangPercents(const StatTallies &t);

// The attribute charts, in the order archive, system, read-only, hidden: the
// share of the counted files (or of their bytes) that has the attribute, in
// percent. Empty when nothing was counted.
std::vector<double> attributePercents(const StatTallies &t, bool bytes);
// The attributes in that order (StatTallies::Attr values) and their names.
constexpr std::array<int, 4> kAttrChartOrder{StatTallies::Archive, StatTallies::System, StatTallies::ReadOnly,
                                             StatTallies::Hidden};
QString attributeName(int attr);

// The time chart's lines in the order modified, created, accessed.
struct TimeLine {
    int kind;
    QString name;
    QColor colour;
    std::array<double, StatTallies::kSlots> values{};
    bool hasData() const;
};
std::vector<TimeLine> timeLines(const StatTallies &t);
// The start of each half-hour slot in the locale's short time format.
QStringList slotLabels();
}

#include "stats/StatCharts.h"

#include "scan/GridSortKeys.h"
#include "stats/StatText.h"

#include <QLocale>
#include <QTime>
#include <cmath>

namespace {
constexpr double kMB = 1048576.0;

QString percentFree(double freeBytes, double totalBytes)
{
    return StatText::percent(100.0 * freeBytes / totalBytes) + QStringLiteral("% free");
}
}

QColor StatCharts::chartColor(int entry)
{
    static const QRgb colours[12] = {0xFF0000, 0x800000, 0x0000FF, 0xFFFF00, 0x008000, 0x00FF00,
                                     0xFF00FF, 0x008080, 0x000080, 0x00FFFF, 0xFFFFFF, 0x808080};
    const int i = ((entry - 1) % 12 + 12) % 12;
    return QColor(colours[i]);
}

// --- Space ----------------------------------------------------------------------------------

QString StatCharts::SpaceBars::totalText() const
{
    QString s = QLocale().toString(totalSum, 'f', 2);
    const int point = s.lastIndexOf(QLocale().decimalPoint());
    return point < 0 ? s : s.left(point);
}

QString StatCharts::SpaceBars::freeText() const { return StatText::wholeNumber(freeSum); }

QString StatCharts::SpaceBars::usedText() const { return StatText::wholeNumber(usedSum); }

StatCharts::SpaceBars StatCharts::spaceBars(const std::vector<DriveSpace> &drives, bool cumulativeTotal)
{
    SpaceBars b;
    double freeBytes = 0, totalBytes = 0, usedBytes = 0;
    for (const DriveSpace &d : drives) {
        freeBytes += d.freeBytes;
        totalBytes += d.totalBytes;
        usedBytes += d.usedBytes;
    }
    // One unit for the whole chart, chosen by the sum, so a small drive
    // beside a large one is drawn to the same scale.
    b.megabytes = totalBytes / 1024 >= 10000;
    const double unit = b.megabytes ? kMB : 1024.0;
    for (const DriveSpace &d : drives) {
        b.labels << d.label;
        b.free.push_back(d.freeBytes / unit);
        b.used.push_back(d.usedBytes / unit);
    }
    b.charted = int(drives.size());
    b.freeSum = freeBytes / unit;
    b.totalSum = totalBytes / unit;
    b.usedSum = usedBytes / unit;
    if (cumulativeTotal && b.charted > 1) {
        b.labels << QStringLiteral("Total");
        b.free.push_back(b.freeSum);
        b.used.push_back(b.usedSum);
    }
    return b;
}

QString StatCharts::pieTitle(const QString &root, double freeBytes, double totalBytes)
{
    return root + QStringLiteral("  ") + percentFree(freeBytes, totalBytes);
}

QString StatCharts::totalPieTitle(double freeBytes, double totalBytes)
{
    return QStringLiteral("TOTAL ") + percentFree(freeBytes, totalBytes);
}

std::vector<StatCharts::Bar> StatCharts::spaceSlices(double freeBytes, double totalBytes, double usedBytes)
{
    const QString blank = QStringLiteral(" ");
    std::vector<Bar> slices{{blank, usedBytes, QColor(0, 0, 0xFF)}, {blank, freeBytes, QColor(0xFF, 0, 0xFF)}};
    const double reserved = totalBytes - usedBytes - freeBytes;
    if (reserved > 0)
        slices.push_back({blank, reserved, QColor(0xC0, 0xC0, 0xC0)});
    return slices;
}

StatCharts::DepthStep StatCharts::barDepthStep(int charted)
{
    if (charted <= 2)
        return {6, 60};
    if (charted <= 4)
        return {3, 30};
    if (charted <= 6)
        return {2, 20};
    return {2, 10};
}

// --- Tallies -------------------------------------------------------------------------------------

std::vector<StatCharts::Bar> StatCharts::typeSlices(const std::vector<QStringList> &rows, int column)
{
    const QChar point = QLocale().decimalPoint().at(0);
    std::vector<Bar> slices;
    for (size_t r = 0; r < rows.size() && r < 12; ++r) {
        const QStringList &cells = rows[r];
        const double v = column < cells.size() ? GridSortKeys::number(StatTallies::stripCommas(cells[column]), point) : 0;
        if (!(v > 0))
            continue;
        // Labelled by its type as the listing shows it.
        QString label = cells.size() > 1 ? cells[1] : QString();
        if (label.isEmpty())
            label = StatText::typeName(cells.value(0));
        slices.push_back({label, v, chartColor(int(r) + 1)});
    }
    return slices;
}

QString StatCharts::sizeTitle(bool bySize)
{
    return bySize ? QStringLiteral("File Sizes in MB") : QStringLiteral("Number of Files");
}

std::vector<StatCharts::Bar> StatCharts::sizeBars(const StatTallies &t, bool bySize)
{
    std::vector<Bar> bars;
    for (int u = 1; u <= StatTallies::kSizeBuckets; ++u) {
        const double v = bySize ? double(t.sizeBytes[size_t(u)]) / kMB : double(t.sizeCount[size_t(u)]);
        bars.push_back({StatTallies::sizeLabel(u), v, chartColor(u)});
    }
    return bars;
}

QString StatCharts::ageTitle(int kind, bool bySize)
{
    static const char *const titles[3][2] = {{"Access Date (Number of files)", "Access Date (file sizes in MB)"},
                                             {"Created Date (Number of files)", "Created Date (file sizes in MB)"},
                                             {"Modified Date (Number of files)", "Modified Date (file sizes in MB)"}};
    return QLatin1String(titles[kind % 3][bySize ? 1 : 0]);
}

std::vector<StatCharts::Bar> StatCharts::ageBars(const StatTallies &t, int kind, bool bySize, const QColor &oneColour)
{
    std::vector<Bar> bars;
    const size_t k = size_t(kind % 3);
    for (int b = 0; b < StatTallies::kAgeBuckets; ++b) {
        const double v = bySize ? double(t.ageBytes[k][size_t(b)]) / kMB : double(t.ageCount[k][size_t(b)]);
        bars.push_back({StatTallies::ageLabel(b), v, oneColour.isValid() ? oneColour : chartColor(b + 1)});
    }
    return bars;
}

QString StatCharts::combinedName(int kind)
{
    static const char *const names[3] = {"Accessed", "Created", "Modified"};
    return QLatin1String(names[kind % 3]);
}

QColor StatCharts::combinedColour(int kind)
{
    static const QRgb colours[3] = {0x0000FF, 0x00FF00, 0xFF0000}; // blue, lime, red
    return QColor(colours[kind % 3]);
}

std::vector<double> StatCharts::overhangPercents(const StatTallies &t)
{
    double s = 0;
    for (int u = 1; u <= StatTallies::kSizeBuckets; ++u)
        s += double(t.sizeBytes[size_t(u)]);
    std::vector<double> v;
    for (int i = 4; i >= 0; --i) {
        const double w = double(t.overhang[size_t(i)]);
        if (s + w > 0)
            v.push_back(100.0 * w / (s + w));
    }
    return v;
}

std::vector<double> StatCharts::attributePercents(const StatTallies &t, bool bytes)
{
    // Each bar is the share of all counted files (or bytes) with that
    // attribute; a file may carry several, so the bars need not add up to 100.
    double whole = 0;
    if (bytes)
        for (int u = 1; u <= StatTallies::kSizeBuckets; ++u)
            whole += double(t.sizeBytes[size_t(u)]);
    else
        whole = double(t.filesCounted);
    std::vector<double> v;
    if (!(whole > 0))
        return v;
    for (int a : kAttrChartOrder)
        v.push_back(100.0 * double(bytes ? t.attrBytes[size_t(a)] : t.attrCount[size_t(a)]) / whole);
    return v;
}

QString StatCharts::attributeName(int attr)
{
    static const char *const names[4] = {"Read-only", "Hidden", "System", "Archive"};
    return QLatin1String(names[attr & 3]);
}

bool StatCharts::TimeLine::hasData() const
{
    double sum = 0;
    for (double v : values)
        sum += v;
    return sum > 0;
}

std::vector<StatCharts::TimeLine> StatCharts::timeLines(const StatTallies &t)
{
    struct Line {
        int kind;
        const char *name;
        QRgb colour;
    };
    static const Line lines[3] = {{StatTallies::Modified, "Modified time", 0xFF0000},
                                  {StatTallies::Created, "Created time", 0x008000},
                                  {StatTallies::Accessed, "Access Time", 0x0000FF}};
    std::vector<TimeLine> out;
    for (const Line &l : lines) {
        TimeLine line{l.kind, QLatin1String(l.name), QColor(l.colour), {}};
        for (int s = 0; s < StatTallies::kSlots; ++s)
            line.values[size_t(s)] = double(t.timeSlots[size_t(l.kind)][size_t(s)]);
        out.push_back(line);
    }
    return out;
}

QStringList StatCharts::slotLabels()
{
    QStringList labels;
    for (int s = 0; s < StatTallies::kSlots; ++s)
        labels << QLocale().toString(QTime(s / 2, s % 2 ? 30 : 0), QLocale::ShortFormat);
    return labels;
}

#pragma once
#include "stats/StatCharts.h"

#include <QColor>
#include <QList>
#include <QRect>
#include <QString>
#include <QStringList>
#include <array>
#include <functional>
#include <vector>

class QAbstractBarSeries;
class QAbstractSeries;
class QBarCategoryAxis;
class QChart;
class QChartView;
class QFont;
class QFrame;
class QLabel;
class QObject;
class QRadioButton;
class QTableWidget;
class QValueAxis;
class QWidget;

// The controls and chart drawing the pages of the statistics window share.
// Every page is laid out in pixels on a page of kPageW x kPageH; the window
// scales the whole notebook once to its font and screen.
namespace TStatWidgets {
constexpr int kPageW = 624, kPageH = 340;

QLabel *label(QWidget *parent, const QString &text, const QRect &r, const char *name = nullptr,
              Qt::Alignment align = Qt::AlignLeft | Qt::AlignVCenter);
QRadioButton *radio(QWidget *parent, const char *name, const QString &text, const QRect &r);
// A small framed square of one colour, the key of a chart's colour.
QFrame *swatch(QWidget *parent, const char *name, const QColor &c, const QRect &r);
QChartView *chartView(QWidget *parent, const char *name, const QRect &r);

// Chart texts are rich text: a label such as "<= 7 days" is shown as written
// only when escaped.
QString shown(const QString &text);
QFont smallFont(const QFont &f);

// Gives the view a fresh, empty chart that looks like its last one (colour,
// title font, margins). A new chart each time leaves nothing of the last
// drawing behind.
QChart *clearChart(QChartView *view);
QValueAxis *valueAxis(QChart *c, QAbstractSeries *s, Qt::Alignment at, double maxValue, const QString &format);
QBarCategoryAxis *categoryAxis(QChart *c, QAbstractSeries *s, Qt::Alignment at, const QStringList &categories,
                               bool labels);
// Adds horizontal bars to a chart: the categories on the left (named when
// categoryLabels), the values below, the legend on the right listed top to
// bottom like the bars.
void addBarSeries(QChart *c, QAbstractBarSeries *series, double barWidth, const QStringList &categories,
                  bool categoryLabels, double maxValue);
// Horizontal bars, one per entry in its own colour, the first at the
// bottom, listed in a legend that reads top to bottom like the bars.
void fillColouredBars(QChartView *view, const QString &title, const std::vector<StatCharts::Bar> &bars);
// Horizontal bars of one colour with their values written beside them,
// and, when asked, the value axis below them.
void fillPlainBars(QChartView *view, const std::vector<double> &values, const QColor &colour,
                   const QStringList &categories, bool categoryLabels, int decimals, bool valueLabels = false);
// A pie of slices without marks, turned to the view's rotation.
void fillPie(QChartView *view, const QString &title, const std::vector<StatCharts::Bar> &slices);

// The rotation of a pie chart in degrees, kept in the view's "rotation"
// property; setting it turns the pie drawn (its series' start angle).
int rotation(const QChartView *pie);
void setRotation(QChartView *pie, int degrees);
void rotate(QChartView *pie, int degrees);

// A grid's columns as designed and the most room it may take: fitGrid
// widens the columns and sizes the grid within that room.
void designGrid(QTableWidget *g, const QList<int> &widths, const QRect &room);
// Gives every column of a grid room for its whole header and cell texts
// (its designed width at least), so no number is cut, then sizes the grid
// to its columns and rows within its room: a grid wider than the room
// scrolls sideways. With a stretch column (the types listing) the grid
// keeps its whole room and that column takes what the others leave, its
// long texts shortened.
void fitGrid(QTableWidget *g, int stretch = -1);
// The small grids of the sizes and date pages: fixed header, fixed rows, no
// selectable cell, the first column left-aligned and the others right.
QTableWidget *smallGrid(QWidget *parent, const char *name, const QList<int> &widths, int rows, const QRect &r);
// Sets a cell's text; columns from rightFrom on are right-aligned.
void setCell(QTableWidget *g, int row, int column, const QString &text, int rightFrom = 1);
QString cellText(const QTableWidget *g, int row, int column);

// The root folder of a drive entry ("c: [/mnt/x]"), empty when unknown,
// and whether the drive is ready.
QString driveRoot(const QString &entry);
bool driveReady(const QString &entry);

// The three radio buttons under a chart page: by size, by number, listing;
// handler runs when one of them becomes checked. "By size" is checked.
std::array<QRadioButton *, 3> chartChoice(QWidget *page, const QString &bySize, const QString &byNumber,
                                          const QString &listing, QObject *context,
                                          const std::function<void()> &handler);
}

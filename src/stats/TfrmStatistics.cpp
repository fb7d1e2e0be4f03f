#include "stats/TfrmStatistics.h"

#include "settings/IniFile.h"
#include "common/Dialogs.h"
#include "common/Runs.h"
#include "common/TBackdrop.h"
#include "common/TDialogFrame.h"
#include "common/TLongLived.h"
#include "common/TModal.h"
#include "common/TPrintImage.h"
#include "common/Text.h"
#include "platform/Drives.h"
#include "platform/FileTypes.h"
#include "scan/DriveEntries.h"
#include "scan/TDriveIcons.h"
#include "scan/TFontScale.h"
#include "scan/TPrintGrid.h"
#include "stats/StatCharts.h"
#include "stats/StatText.h"
#include "stats/TfrmWhichDrive.h"

#include <QActionGroup>
#include <algorithm>
#include <functional>
#include <QApplication>
#include <QBarCategoryAxis>
#include <QBarSet>
#include <QCategoryAxis>
#include <QChart>
#include <QChartView>
#include <QHorizontalBarSeries>
#include <QHorizontalStackedBarSeries>
#include <QLegendMarker>
#include <QLineSeries>
#include <QPieSeries>
#include <QPieSlice>
#include <QPrinter>
#include <QSignalBlocker>
#include <QStackedBarSeries>
#include <QStyle>
#include <QStyledItemDelegate>
#include <QTimer>
#include <QValueAxis>
#include <QCheckBox>
#include <QCloseEvent>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QScrollBar>
#include <QStatusBar>
#include <QTabWidget>
#include <QTableWidget>
#include <QToolButton>

namespace {
constexpr int kClientW = 632, kClientH = 431;
constexpr int kPageW = 624, kPageH = 340;

QLabel *label(QWidget *parent, const QString &text, const QRect &r, const char *name = nullptr,
              Qt::Alignment align = Qt::AlignLeft | Qt::AlignVCenter)
{
    auto *l = new QLabel(text, parent);
    if (name)
        l->setObjectName(QLatin1String(name));
    l->setGeometry(r);
    l->setAlignment(align);
    return l;
}

QRadioButton *radio(QWidget *parent, const char *name, const QString &text, const QRect &r)
{
    auto *b = new QRadioButton(text, parent);
    b->setObjectName(QLatin1String(name));
    b->setGeometry(r);
    return b;
}

QFrame *swatch(QWidget *parent, const char *name, const QColor &c, const QRect &r)
{
    auto *f = new QFrame(parent);
    f->setObjectName(QLatin1String(name));
    f->setFrameShape(QFrame::Box);
    f->setAutoFillBackground(true);
    QPalette p = f->palette();
    p.setColor(QPalette::Window, c);
    f->setPalette(p);
    f->setGeometry(r);
    return f;
}

QChartView *chartView(QWidget *parent, const char *name, const QRect &r)
{
    auto *chart = new QChart;
    chart->setLocalizeNumbers(true);
    chart->setBackgroundRoundness(0);
    chart->setMargins(QMargins(2, 2, 2, 2));
    chart->legend()->hide();
    auto *v = new QChartView(chart, parent);
    v->setObjectName(QLatin1String(name));
    v->setRenderHint(QPainter::Antialiasing);
    v->setGeometry(r);
    return v;
}

// Chart texts are rich text: a label such as "<= 7 days" is shown as written
// only when escaped.
QString shown(const QString &text)
{
    return text.toHtmlEscaped();
}

QFont smallFont(const QFont &f)
{
    QFont small = f;
    small.setPointSizeF(f.pointSizeF() * 0.85);
    return small;
}

// Gives the view a fresh, empty chart that looks like its last one (colour,
// title font, margins). A new chart each time leaves nothing of the last
// drawing behind.
QChart *clearChart(QChartView *view)
{
    QChart *old = view->chart();
    auto *c = new QChart;
    c->setLocalizeNumbers(true);
    c->setBackgroundRoundness(0);
    c->setMargins(old->margins());
    c->setTitleFont(old->titleFont());
    c->setBackgroundBrush(old->backgroundBrush());
    c->legend()->hide();
    view->setChart(c);
    delete old;
    return c;
}

QValueAxis *valueAxis(QChart *c, QAbstractSeries *s, Qt::Alignment at, double maxValue, const QString &format)
{
    auto *axis = new QValueAxis;
    axis->setRange(0, maxValue > 0 ? maxValue : 1);
    axis->applyNiceNumbers();
    if (!format.isEmpty())
        axis->setLabelFormat(format);
    c->addAxis(axis, at);
    s->attachAxis(axis);
    return axis;
}

QBarCategoryAxis *categoryAxis(QChart *c, QAbstractSeries *s, Qt::Alignment at, const QStringList &categories,
                               bool labels)
{
    auto *axis = new QBarCategoryAxis;
    for (const QString &category : categories)
        axis->append(shown(category));
    axis->setLabelsVisible(labels);
    axis->setLabelsFont(smallFont(axis->labelsFont()));
    axis->setGridLineVisible(false);
    c->addAxis(axis, at);
    s->attachAxis(axis);
    return axis;
}

// Horizontal bars, one per entry in its own colour, the first at the
// bottom, listed in a legend that reads top to bottom like the bars.
void fillColouredBars(QChartView *view, const QString &title, const std::vector<StatCharts::Bar> &bars)
{
    QChart *c = clearChart(view);
    c->setTitle(title);
    auto *series = new QHorizontalStackedBarSeries;
    QStringList categories;
    double maxValue = 0;
    for (size_t i = 0; i < bars.size(); ++i) {
        auto *set = new QBarSet(shown(bars[i].label));
        set->setColor(bars[i].colour);
        set->setBorderColor(QColor(0x40, 0x40, 0x40));
        for (size_t j = 0; j < bars.size(); ++j)
            set->append(j == i ? bars[i].value : 0.0);
        series->append(set);
        categories << bars[i].label;
        maxValue = std::max(maxValue, bars[i].value);
    }
    series->setBarWidth(0.8);
    c->addSeries(series);
    categoryAxis(c, series, Qt::AlignLeft, categories, false);
    valueAxis(c, series, Qt::AlignBottom, maxValue, {});
    c->legend()->setAlignment(Qt::AlignRight);
    c->legend()->setReverseMarkers(true);
    c->legend()->setFont(smallFont(QFont()));
    c->legend()->show();
}

// Horizontal bars of one colour with their values written beside them,
// and, when asked, the value axis below them.
void fillPlainBars(QChartView *view, const std::vector<double> &values, const QColor &colour,
                   const QStringList &categories, bool categoryLabels, int decimals, bool valueLabels = false)
{
    QChart *c = clearChart(view);
    if (values.empty())
        return;
    auto *set = new QBarSet(QString());
    set->setColor(colour);
    set->setBorderColor(colour.darker(150));
    set->setLabelColor(Qt::black);
    const double scale = std::pow(10.0, decimals);
    double maxValue = 0;
    for (double v : values) {
        set->append(std::round(v * scale) / scale);
        maxValue = std::max(maxValue, v);
    }
    auto *series = new QHorizontalBarSeries;
    series->append(set);
    series->setBarWidth(0.7);
    series->setLabelsVisible(true);
    series->setLabelsPosition(QAbstractBarSeries::LabelsOutsideEnd);
    series->setLabelsFormat(QStringLiteral("@value %"));
    series->setLabelsPrecision(12);
    set->setLabelFont(smallFont(set->labelFont()));
    c->addSeries(series);
    categoryAxis(c, series, Qt::AlignLeft, categories, categoryLabels);
    // Room beside the longest bar for its value.
    auto *axis = new QValueAxis;
    axis->setRange(0, maxValue > 0 ? maxValue * 1.8 : 1);
    axis->setLabelsVisible(valueLabels);
    if (valueLabels) {
        axis->setTickCount(3);
        axis->setLabelFormat(QStringLiteral("%.%1f").arg(decimals));
        axis->setLabelsFont(smallFont(axis->labelsFont()));
    }
    c->addAxis(axis, Qt::AlignBottom);
    series->attachAxis(axis);
}

// A pie of slices without marks, turned to the view's rotation.
void fillPie(QChartView *view, const QString &title, const std::vector<StatCharts::Bar> &slices)
{
    QChart *c = clearChart(view);
    c->setTitle(shown(title));
    auto *series = new QPieSeries;
    for (const StatCharts::Bar &b : slices) {
        QPieSlice *slice = series->append(shown(b.label), b.value);
        slice->setColor(b.colour);
        slice->setBorderColor(QColor(0x40, 0x40, 0x40));
        slice->setLabelVisible(false);
    }
    series->setPieSize(0.9);
    const int angle = view->property("rotation").toInt();
    series->setPieStartAngle(angle);
    series->setPieEndAngle(angle + 360);
    c->addSeries(series);
}

// The small grids draw their text 3 pixels in from the cell's side and 2
// below its top.
class SmallGridDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

protected:
    void initStyleOption(QStyleOptionViewItem *option, const QModelIndex &index) const override
    {
        QStyledItemDelegate::initStyleOption(option, index);
        option->rect.adjust(3, 2, -3, 0);
        option->displayAlignment = (index.column() == 0 ? Qt::AlignLeft : Qt::AlignRight) | Qt::AlignTop;
    }
};

// A grid's columns as designed and the most room it may take: fitGrid
// widens the columns and sizes the grid within that room.
void designGrid(QTableWidget *g, const QList<int> &widths, const QRect &room)
{
    QVariantList w;
    for (int c = 0; c < widths.size(); ++c) {
        g->setColumnWidth(c, widths[c]);
        w << widths[c];
    }
    g->setProperty("designedWidths", w);
    g->setProperty("room", room);
    g->setGeometry(room);
    g->setWordWrap(false);
}

// Gives every column of a grid room for its whole header and cell texts
// (its designed width at least), so no number is cut, then sizes the grid
// to its columns and rows within its room: a grid wider than the room
// scrolls sideways. With a stretch column (the types listing) the grid
// keeps its whole room and that column takes what the others leave, its
// long texts shortened.
void fitGrid(QTableWidget *g, int stretch = -1)
{
    const QVariantList designed = g->property("designedWidths").toList();
    const QRect room = g->property("room").toRect();
    const QFontMetrics fm(g->font());
    // The style's text margins, the small grids' own inset, the grid line.
    const int textMargin = g->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, g) + 1;
    const int pad = 2 * textMargin + (g->property("inset").toBool() ? 6 : 0) + 2;
    int total = 0;
    for (int c = 0; c < g->columnCount(); ++c) {
        int w = std::max(designed.value(c).toInt(), g->horizontalHeader()->sectionSizeHint(c));
        if (c != stretch)
            for (int r = 0; r < g->rowCount(); ++r)
                if (const QTableWidgetItem *item = g->item(r, c))
                    w = std::max(w, fm.horizontalAdvance(item->text()) + pad);
        g->setColumnWidth(c, w);
        total += w;
    }
    const int frame = 2 * g->frameWidth();
    const int bar = g->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, g);
    const int height = g->horizontalHeader()->sizeHint().height() + g->verticalHeader()->length() + frame;
    if (stretch >= 0) {
        const bool tall = height > room.height();
        const int others = total - g->columnWidth(stretch);
        const int left = room.width() - frame - (tall ? bar : 0) - others;
        g->setColumnWidth(stretch, std::max(fm.horizontalAdvance(QStringLiteral("0")) * 12, left));
        g->setGeometry(room);
        return;
    }
    bool wide = total + frame > room.width();
    const bool tall = height + (wide ? bar : 0) > room.height();
    wide = wide || (tall && total + frame + bar > room.width());
    g->setGeometry(room.x(), room.y(), std::min(room.width(), total + frame + (tall ? bar : 0)),
                   std::min(room.height(), height + (wide ? bar : 0)));
}

// The small grids of the sizes and date pages: fixed header, fixed rows, no
// selectable cell, the first column left-aligned and the others right.
QTableWidget *smallGrid(QWidget *parent, const char *name, const QList<int> &widths, int rows, const QRect &r)
{
    auto *g = new QTableWidget(rows, int(widths.size()), parent);
    g->setObjectName(QLatin1String(name));
    g->setProperty("inset", true);
    g->verticalHeader()->hide();
    g->setEditTriggers(QAbstractItemView::NoEditTriggers);
    g->setSelectionMode(QAbstractItemView::NoSelection);
    g->setFocusPolicy(Qt::NoFocus);
    g->verticalHeader()->setDefaultSectionSize(20);
    g->setItemDelegate(new SmallGridDelegate(g));
    designGrid(g, widths, r);
    return g;
}

// Sets a cell's text; columns from rightFrom on are right-aligned.
void setCell(QTableWidget *g, int row, int column, const QString &text, int rightFrom = 1)
{
    auto *item = g->item(row, column);
    if (!item) {
        item = new QTableWidgetItem;
        g->setItem(row, column, item);
    }
    item->setText(text);
    item->setTextAlignment(column < rightFrom ? Qt::AlignLeft | Qt::AlignVCenter : Qt::AlignRight | Qt::AlignVCenter);
}

QString cellText(const QTableWidget *g, int row, int column)
{
    const QTableWidgetItem *item = g->item(row, column);
    return item ? item->text() : QString();
}

QString driveRoot(const QString &entry)
{
    if (entry.isEmpty())
        return {};
    const auto d = Drives::find(char(entry.at(0).toUpper().toLatin1()));
    return d ? QString::fromStdString(d->root) : QString();
}

bool driveReady(const QString &entry)
{
    return !entry.isEmpty() && Drives::isDriveReady(char(entry.at(0).toUpper().toLatin1()));
}

// The three radio buttons under a chart page: by size, by number, listing;
// handler runs when one of them becomes checked. "By size" is checked.
std::array<QRadioButton *, 3> chartChoice(QWidget *page, const QString &bySize, const QString &byNumber,
                                          const QString &listing, QObject *context, const std::function<void()> &handler)
{
    std::array<QRadioButton *, 3> b{
        radio(page, nullptr, QStringLiteral("Chart by Size (in MB)"), QRect(10, 306, 190, 22)),
        radio(page, nullptr, QStringLiteral("Chart by Number of Files"), QRect(210, 306, 200, 22)),
        radio(page, nullptr, QStringLiteral("Listing"), QRect(420, 306, 120, 22))};
    b[0]->setObjectName(bySize);
    b[1]->setObjectName(byNumber);
    b[2]->setObjectName(listing);
    b[0]->setChecked(true);
    for (QRadioButton *r : b)
        QObject::connect(r, &QRadioButton::toggled, context, [handler](bool on) {
            if (on)
                handler();
        });
    return b;
}

const char *const kSortCaptions[5] = {"Sort by &Extension", "Sort by &Type", "Sort by &Size",
                                      "Sort by &Number of files", "Sort by &Average File Size"};
const char *const kAgeNames[3] = {"Access", "Create", "Modify"};
const char *const kAgeTitles[3] = {"Accessed Date", "Created Date", "Modified Date"};
}

TfrmStatistics::TfrmStatistics(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmStatistics"));
    setWindowTitle(QStringLiteral("File Statistics Not Yet Collected"));
    setWindowFlags(TDialogFrame::flags);
    setModal(false);
    setFixedSize(kClientW, kClientH);

    OvcNotebook1 = new QTabWidget(this);
    OvcNotebook1->setObjectName(QStringLiteral("OvcNotebook1"));
    OvcNotebook1->setGeometry(0, 0, kClientW, 372);
    OvcNotebook1->tabBar()->setUsesScrollButtons(false);
    OvcNotebook1->tabBar()->setExpanding(false);
    // Eleven tabs in one row across the window: a slightly smaller font.
    QFont tabFont = OvcNotebook1->tabBar()->font();
    tabFont.setPointSizeF(tabFont.pointSizeF() * 0.75);
    OvcNotebook1->tabBar()->setFont(tabFont);
    const char *const pageNames[11] = {"Space",    "Deleted",  "Types",    "Sizes",     "Overhang", "Access",
                                       "Created",  "Modified", "Combined", "Attribute", "Time"};
    QWidget *pages[11];
    for (int i = 0; i < 11; ++i) {
        pages[i] = new QWidget;
        pages[i]->setObjectName(QStringLiteral("Page") + QLatin1String(pageNames[i]));
        OvcNotebook1->addTab(pages[i], QLatin1String(pageNames[i]));
    }
    buildSpacePage(pages[Space]);
    buildDeletedPage(pages[Deleted]);
    buildTypesPage(pages[Types]);
    buildSizesPage(pages[Sizes]);
    buildOverhangPage(pages[Overhang]);
    buildAgePage(pages[Access], StatTallies::Accessed);
    buildAgePage(pages[Created], StatTallies::Created);
    buildAgePage(pages[Modified], StatTallies::Modified);
    buildCombinedPage(pages[Combined]);
    buildAttributePage(pages[Attribute]);
    buildTimePage(pages[Time]);

    btOK = new QPushButton(QStringLiteral("&Collect statistics"), this);
    btOK->setObjectName(QStringLiteral("btOK"));
    btOK->setToolTip(QStringLiteral("Start collecting statistics"));
    btOK->setGeometry(8, 378, 140, 27);
    btOK->setDefault(true);
    btPrint = new QPushButton(QStringLiteral("&Print page"), this);
    btPrint->setObjectName(QStringLiteral("btPrint"));
    btPrint->setToolTip(QStringLiteral("Print this page only"));
    btPrint->setGeometry(156, 378, 110, 27);
    btPrint->setAutoDefault(false);
    btCancel = new QPushButton(QStringLiteral("Close"), this);
    btCancel->setObjectName(QStringLiteral("btCancel"));
    btCancel->setToolTip(QStringLiteral("Cancel operation or close window"));
    btCancel->setGeometry(kClientW - 100, 378, 92, 27);
    btCancel->setAutoDefault(false);

    StatusBar1 = new QStatusBar(this);
    StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
    StatusBar1->setSizeGripEnabled(false);
    StatusBar1->setGeometry(0, kClientH - 22, kClientW, 22);
    StatusText = new QLabel(StatusBar1);
    StatusText->setObjectName(QStringLiteral("StatusText"));
    StatusBar1->addWidget(StatusText, 1);

    pnlNotYet = new QFrame(this);
    pnlNotYet->setObjectName(QStringLiteral("pnlNotYet"));
    pnlNotYet->setFrameShape(QFrame::Panel);
    TBackdrop::applyTile(pnlNotYet);
    lblNotYet = new QLabel(QStringLiteral("Statistics haven't been collected yet!"), pnlNotYet);
    lblNotYet->setObjectName(QStringLiteral("lblNotYet"));
    lblNotYet->setAlignment(Qt::AlignCenter);
    lblNotYet->setWordWrap(true);
    QFont big = lblNotYet->font();
    big.setPointSize(14);
    big.setBold(true);
    lblNotYet->setFont(big);
    lblNotYet->setStyleSheet(QStringLiteral("color: white;"));
    btAbort = new QPushButton(QStringLiteral("Abort"), pnlNotYet);
    btAbort->setObjectName(QStringLiteral("btAbort"));
    btAbort->setAutoDefault(false);
    btAbort->hide();
    placeNotYet();

    connect(btOK, &QPushButton::clicked, this, &TfrmStatistics::btOKClick);
    connect(btCancel, &QPushButton::clicked, this, &TfrmStatistics::btCancelClick);
    connect(btAbort, &QPushButton::clicked, this, &TfrmStatistics::btAbortClick);
    connect(btPrint, &QPushButton::clicked, this, &TfrmStatistics::btPrintClick);

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(50);
    connect(Timer1, &QTimer::timeout, this, &TfrmStatistics::Timer1Timer);
    Timer2 = new QTimer(this);
    Timer2->setObjectName(QStringLiteral("Timer2"));
    Timer2->setInterval(50);
    connect(Timer2, &QTimer::timeout, this, &TfrmStatistics::Timer2Timer);
    clusterSizeOf = [](const QString &entry) { return StatTallies::computeClusterSize(entry); };
    driveSpace = [](const std::string &root, double &freeBytes, double &totalBytes, double &usedBytes) {
        return Drives::driveSpace(root, freeBytes, totalBytes, usedBytes);
    };
    changeBackgroundColor(QApplication::palette().color(QPalette::Button));
    // Charts first on every page; the types page starts in its pie form,
    // its pie at rest until it is drawn.
    rgSizesClick();
    rgAccessClick();
    gridTypes->hide();
    btSort->hide();
    connect(OvcNotebook1, &QTabWidget::currentChanged, this, &TfrmStatistics::OvcNotebook1PageChanged);

    scan_.status = [this](const QString &s) { setStatus(s); };
    scan_.walker.cannotOpen = [](const QString &entry) {
        dialogs().showMessage(QStringLiteral("Can't open drive ") + entry);
    };

    OvcNotebook1->setCurrentIndex(Space);
    scaleToFont();
    if (QScreen *s = QGuiApplication::primaryScreen())
        move(s->availableGeometry().center() - rect().center());
}

TfrmStatistics::~TfrmStatistics() = default;

TfrmStatistics &TfrmStatistics::instance() { return TLongLived<TfrmStatistics>::instance(); }

// --- Building the pages ----------------------------------------------------------------

void TfrmStatistics::buildSpacePage(QWidget *page)
{
    const char *const captions[3] = {"Total Capacity:", "Free Space:", "Used Space:"};
    QLabel **values[3] = {&lblTotal, &lblFree, &lblUsed};
    QLabel **units[3] = {&lblTot, &lblPct, &lblPct2};
    const char *const valueNames[3] = {"lblTotal", "lblFree", "lblUsed"};
    const char *const unitNames[3] = {"lblTot", "lblPct", "lblPct2"};
    for (int i = 0; i < 3; ++i) {
        lblCaptions[i] = label(page, QLatin1String(captions[i]), QRect(10, 8 + 22 * i, 110, 20));
        *values[i] = label(page, {}, QRect(120, 8 + 22 * i, 110, 20), valueNames[i], Qt::AlignRight | Qt::AlignVCenter);
        *units[i] = label(page, {}, QRect(234, 8 + 22 * i, 40, 20), unitNames[i]);
    }
    Panel1 = swatch(page, "Panel1", QColor(0xFF, 0x00, 0xFF), QRect(280, 33, 14, 14));
    Panel2 = swatch(page, "Panel2", QColor(0x00, 0x00, 0xFF), QRect(280, 55, 14, 14));
    chartSpaceBar = chartView(page, "chartSpaceBar", QRect(4, 76, 404, 230));

    pnlDrives = new QWidget(page);
    pnlDrives->setObjectName(QStringLiteral("pnlDrives"));
    pnlDrives->setGeometry(414, 6, 204, 328);
    pckStatDrive = new QListWidget(pnlDrives);
    pckStatDrive->setObjectName(QStringLiteral("pckStatDrive"));
    pckStatDrive->setSelectionMode(QAbstractItemView::MultiSelection);
    pckStatDrive->setGeometry(0, 0, 204, 328);
    {
        QStringList texts;
        for (const DriveEntries::Entry &e : DriveEntries::all(true)) {
            if (DriveEntries::isFloppyLetter(e.text))
                continue;
            pckStatDrive->addItem(new QListWidgetItem(TDriveIcons::icon(e.type), e.text));
            texts << e.text;
        }
        const QString current = DriveEntries::current(true);
        for (int i = 0; i < texts.size(); ++i)
            if (texts[i] == current)
                pckStatDrive->item(i)->setSelected(true);
    }
    pckStatDrive->setContextMenuPolicy(Qt::CustomContextMenu);
    auto *driveMenu = new QMenu(this);
    SelectAll1 = driveMenu->addAction(QStringLiteral("Select All"));
    SelectAll1->setObjectName(QStringLiteral("SelectAll1"));
    DeselectAll1 = driveMenu->addAction(QStringLiteral("Deselect All"));
    DeselectAll1->setObjectName(QStringLiteral("DeselectAll1"));
    connect(SelectAll1, &QAction::triggered, this, &TfrmStatistics::SelectAll1Click);
    connect(DeselectAll1, &QAction::triggered, this, &TfrmStatistics::DeselectAll1Click);
    connect(pckStatDrive, &QWidget::customContextMenuRequested, this,
            [this, driveMenu](const QPoint &at) { driveMenu->exec(pckStatDrive->viewport()->mapToGlobal(at)); });
    connect(pckStatDrive, &QListWidget::itemSelectionChanged, this, &TfrmStatistics::pckStatDriveClick);

    // The choices stay below the pies, so either form can be chosen.
    rgSpace1 = radio(page, "rgSpace1", QStringLiteral("Pie - percent"), QRect(8, 312, 120, 22));
    rgSpace2 = radio(page, "rgSpace2", QStringLiteral("Bar - totals"), QRect(132, 312, 110, 22));
    rgSpace2->setChecked(true);
    cbTotal = new QCheckBox(QStringLiteral("Show Cumulative Total"), page);
    cbTotal->setObjectName(QStringLiteral("cbTotal"));
    cbTotal->setGeometry(246, 312, 166, 22);
    cbTotal->setChecked(true);
    connect(rgSpace1, &QRadioButton::toggled, this, [this](bool on) {
        if (on)
            rgSpaceClick();
    });
    connect(rgSpace2, &QRadioButton::toggled, this, [this](bool on) {
        if (on)
            rgSpaceClick();
    });
    connect(cbTotal, &QCheckBox::clicked, this, &TfrmStatistics::cbTotalClick);

    pnlPie = new QWidget(page);
    pnlPie->setObjectName(QStringLiteral("pnlPie"));
    pnlPie->setGeometry(0, 0, kPageW, 306);
    pnlPie->setAutoFillBackground(true);
    for (int i = 0; i < 12; ++i) {
        QChartView *v = chartView(pnlPie, "", QRect(0, 0, 100, 100));
        v->setObjectName(i < 11 ? QStringLiteral("pie%1").arg(i + 1) : QStringLiteral("pieTotal"));
        v->setProperty("rotation", 60);
        QFont f = v->chart()->titleFont();
        f.setPointSizeF(f.pointSizeF() * 0.85);
        v->chart()->setTitleFont(f);
        v->chart()->setMargins(QMargins(0, 0, 0, 0));
        v->viewport()->installEventFilter(this);
        v->setToolTip(QStringLiteral("Click to start or stop turning the pies"));
        v->hide();
        if (i < 11)
            pie[size_t(i)] = v;
        else
            pieTotal = v;
    }
    Panel3 = swatch(pnlPie, "Panel3", QColor(0xFF, 0x00, 0xFF), QRect(8, 287, 14, 14));
    label(pnlPie, QStringLiteral("Free"), QRect(26, 284, 50, 20));
    Panel5 = swatch(pnlPie, "Panel5", QColor(0x00, 0x00, 0xFF), QRect(80, 287, 14, 14));
    label(pnlPie, QStringLiteral("Used"), QRect(98, 284, 50, 20));
    ScrollBar1 = new QScrollBar(Qt::Horizontal, pnlPie);
    ScrollBar1->setObjectName(QStringLiteral("ScrollBar1"));
    ScrollBar1->setRange(0, 360);
    ScrollBar1->setPageStep(5);
    ScrollBar1->setGeometry(160, 286, kPageW - 168, 16);
    ScrollBar1->setValue(60);
    connect(ScrollBar1, &QScrollBar::valueChanged, this, &TfrmStatistics::ScrollBar1Change);
    pnlPie->hide();
}

void TfrmStatistics::buildDeletedPage(QWidget *page)
{
    auto *title = label(page, QStringLiteral("Files processed by Vantor 98"), QRect(10, 8, 600, 28), "lblTitle");
    QFont f = title->font();
    f.setPointSize(13);
    f.setBold(true);
    title->setFont(f);
    label(page, QStringLiteral("Number of files"), QRect(230, 44, 130, 20));
    label(page, QStringLiteral("Total size"), QRect(370, 44, 200, 20));
    const char *const rows[3] = {"Deleted files", "Files sent to the recycle bin", "Zipped files"};
    QLineEdit **edits[6] = {&edNdelete, &edSzDelete, &edNWaste, &edSzWaste, &edNZip, &edSzZip};
    const char *const names[6] = {"edNdelete", "edSzDelete", "edNWaste", "edSzWaste", "edNZip", "edSzZip"};
    for (int r = 0; r < 3; ++r) {
        label(page, QLatin1String(rows[r]), QRect(10, 70 + 36 * r, 210, 24));
        for (int c = 0; c < 2; ++c) {
            auto *e = new QLineEdit(page);
            e->setObjectName(QLatin1String(names[2 * r + c]));
            e->setReadOnly(true);
            e->setAlignment(Qt::AlignRight);
            e->setGeometry(c == 0 ? 230 : 370, 70 + 36 * r, c == 0 ? 130 : 200, 24);
            *edits[2 * r + c] = e;
        }
    }
    lblSince1 = label(page, {}, QRect(10, 184, 400, 20), "lblSince1");
    lblZipSince = label(page, {}, QRect(10, 206, 400, 20), "lblZipSince");
    Button1 = new QPushButton(QStringLiteral("Reset these numbers"), page);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setAutoDefault(false);
    Button1->setGeometry(10, 240, 180, 27);
    connect(Button1, &QPushButton::clicked, this, &TfrmStatistics::Button1Click);
}

void TfrmStatistics::buildTypesPage(QWidget *page)
{
    gridTypes = new QTableWidget(0, 5, page);
    gridTypes->setObjectName(QStringLiteral("gridTypes"));
    gridTypes->verticalHeader()->hide();
    gridTypes->verticalHeader()->setDefaultSectionSize(20);
    gridTypes->setEditTriggers(QAbstractItemView::NoEditTriggers);
    gridTypes->setSelectionBehavior(QAbstractItemView::SelectRows);
    gridTypes->setSelectionMode(QAbstractItemView::SingleSelection);
    designGrid(gridTypes, {80, 219, 120, 75, 82}, QRect(4, 4, kPageW - 8, 292));
    gridTypes->setContextMenuPolicy(Qt::CustomContextMenu);

    chartPie = chartView(page, "chartPie", QRect(4, 4, kPageW - 28, 292));
    ScrollBar2 = new QScrollBar(Qt::Vertical, page);
    ScrollBar2->setObjectName(QStringLiteral("ScrollBar2"));
    ScrollBar2->setRange(0, 360);
    ScrollBar2->setGeometry(kPageW - 22, 4, 18, 292);
    ScrollBar2->setValue(60);
    chartPie->setProperty("rotation", 60);
    connect(ScrollBar2, &QScrollBar::valueChanged, this, &TfrmStatistics::ScrollBar2Change);

    rgTypes = new QGroupBox(page);
    rgTypes->setObjectName(QStringLiteral("rgTypes"));
    rgTypes->setGeometry(4, 300, 500, 34);
    const char *const captions[4] = {"Listing", "Pie by Size", "Pie by # Files", "Pie by Average Size"};
    const int left[4] = {8, 98, 208, 328}, width[4] = {86, 106, 116, 166};
    for (int i = 0; i < 4; ++i) {
        rgTypesItems[size_t(i)] = radio(rgTypes, nullptr, QLatin1String(captions[i]), QRect(left[i], 6, width[i], 22));
        rgTypesItems[size_t(i)]->setObjectName(QStringLiteral("rgTypes%1").arg(i));
        rgTypesItems[size_t(i)]->setChecked(i == 1);
        connect(rgTypesItems[size_t(i)], &QRadioButton::toggled, this, [this](bool on) {
            if (on)
                rgTypesClick();
        });
    }

    sortMenu = new QMenu(this);
    sortMenu->setObjectName(QStringLiteral("PopupMenu1"));
    auto *group = new QActionGroup(sortMenu);
    for (int i = 0; i < 5; ++i) {
        QAction *a = sortMenu->addAction(QLatin1String(kSortCaptions[i]));
        a->setObjectName(QStringLiteral("Sortby%1").arg(i + 1));
        a->setCheckable(true);
        group->addAction(a);
        sortItems[size_t(i)] = a;
        connect(a, &QAction::triggered, this, [this, i] { SortbyExtensionClick(i); });
    }
    sortItems[0]->setChecked(true);
    btSort = new QPushButton(QStringLiteral("&Sort"), page);
    btSort->setObjectName(QStringLiteral("btSort"));
    btSort->setAutoDefault(false);
    btSort->setGeometry(516, 304, 100, 27);
    btSort->setMenu(sortMenu);
    connect(gridTypes, &QWidget::customContextMenuRequested, this,
            [this](const QPoint &at) { sortMenu->exec(gridTypes->viewport()->mapToGlobal(at)); });
}

void TfrmStatistics::buildSizesPage(QWidget *page)
{
    Chart1 = chartView(page, "Chart1", QRect(4, 4, kPageW - 8, 292));
    gridSizes = smallGrid(page, "gridSizes", {194, 189, 140}, 12, QRect(4, 4, kPageW - 8, 292));
    gridSizes->setHorizontalHeaderLabels({QStringLiteral("File size"), QStringLiteral("Total file size"),
                                          QStringLiteral("Number of files")});
    const auto b = chartChoice(page, QStringLiteral("rgSize1"), QStringLiteral("rgSize2"), QStringLiteral("rgSize0"),
                               this, [this] { rgSizesClick(); });
    rgSize1 = b[0];
    rgSize2 = b[1];
    rgSize0 = b[2];
}

void TfrmStatistics::buildOverhangPage(QWidget *page)
{
    auto *title = label(page, QStringLiteral("Cluster overhang for FAT and FAT32 drives"), QRect(8, 2, 600, 22),
                        "lblOverTitle");
    QFont f = title->font();
    f.setBold(true);
    title->setFont(f);
    label(page, QStringLiteral("FAT Partion size"), QRect(8, 26, 130, 18));
    label(page, QStringLiteral("FAT 32 Size"), QRect(142, 26, 110, 18));
    label(page, QStringLiteral("Cluster size"), QRect(268, 26, 80, 18));
    label(page, QStringLiteral("Wasted space"), QRect(352, 26, 100, 18), nullptr, Qt::AlignRight | Qt::AlignVCenter);
    label(page, QStringLiteral("Percent wasted"), QRect(470, 26, 140, 18));
    const char *const fat[5] = {"255 MB", "256 MB - 511 MB", "512 MB - 1023 MB", "1 GB - 2 GB", "2 GB - 4 GB"};
    const char *const fat32[4] = {"Less than 8GB", "Less than 16GB", "Less than 32GB", "32GB or more"};
    const char *const sizes[5] = {"4K", "8K", "16K", "32K", "64K"};
    for (int i = 0; i < 5; ++i) {
        const int y = 46 + 20 * i;
        label(page, QLatin1String(fat[i]), QRect(8, y, 130, 18));
        if (i < 4)
            label(page, QLatin1String(fat32[i]), QRect(142, y, 120, 18));
        lblCSize[size_t(i)] = label(page, QLatin1String(sizes[i]), QRect(292, y, 50, 18));
        lblCSize[size_t(i)]->setObjectName(QStringLiteral("lblCSize%1").arg(i + 1));
        lblOver[size_t(i)] = label(page, {}, QRect(352, y, 100, 18), nullptr, Qt::AlignRight | Qt::AlignVCenter);
        lblOver[size_t(i)]->setObjectName(QStringLiteral("lblOver%1").arg(i + 1));
    }
    imArrow = label(page, QStringLiteral("\u27A4"), QRect(268, 46, 22, 18), "imArrow");
    imArrow->setStyleSheet(QStringLiteral("color: red; font-weight: bold;"));
    imArrow->hide();
    chartOverhang = chartView(page, "chartOverhang", QRect(462, 40, 158, 112));

    pnlOverhang = new QFrame(page);
    pnlOverhang->setObjectName(QStringLiteral("pnlOverhang"));
    pnlOverhang->setFrameShape(QFrame::Panel);
    pnlOverhang->setFrameShadow(QFrame::Sunken);
    pnlOverhang->setGeometry(8, 152, 300, 72);
    label(pnlOverhang, QStringLiteral("Total file sizes:"), QRect(6, 4, 110, 20));
    lblSize = label(pnlOverhang, {}, QRect(120, 4, 170, 20), "lblSize");
    lblLbl = label(pnlOverhang, QStringLiteral("Actual space used:"), QRect(6, 26, 288, 20), "lblLbl");
    lblNumFiles = label(pnlOverhang, {}, QRect(6, 48, 288, 20), "lblNumFiles");
    pnlOverhang->hide();

    pnlCluster = new QFrame(page);
    pnlCluster->setObjectName(QStringLiteral("pnlCluster"));
    pnlCluster->setFrameShape(QFrame::Panel);
    pnlCluster->setFrameShadow(QFrame::Raised);
    pnlCluster->setGeometry(316, 156, 300, 64);
    auto *na = label(pnlCluster, QStringLiteral("Cluster overhang analysis is not applicable to this drive."),
                     QRect(6, 4, 288, 56), "lblCluster", Qt::AlignCenter);
    na->setWordWrap(true);
    pnlCluster->hide();

    Memo1 = new QPlainTextEdit(page);
    Memo1->setObjectName(QStringLiteral("Memo1"));
    Memo1->setReadOnly(true);
    Memo1->setGeometry(8, 228, kPageW - 16, 108);
    Memo1->setPlainText(
        QStringLiteral("This page is an illustration of the amount of disk space wasted due to 'cluster overhang.'  "
                       "This is the smallest amount of space "
                       "a file will actually use.   The arrow points to your actual cluster size, the other numbers "
                       "are hypothetical.\n"
                       "\n"
                       "Due to the design of both Windows 95/DOS the hard disk is divided into clusters.  Files are "
                       "stored in clusters. A file of one "
                       "byte will take an entire cluster and a file that's one byte larger than a cluster will take "
                       "two clusters.  The larger the partition, the "
                       "more overhang or waste is involved.\n"
                       "\n"
                       "Solutions are to either repartition your hard disk or use disk compression.  Later versions "
                       "of Win95/98 come with FAT32 "
                       "which uses 4K cluster sizes for drives up to 8GB in size and 8K clusters for up to 16GB."));
}

void TfrmStatistics::infoButton(QWidget *page, int n)
{
    QToolButton *b = SpeedButton[size_t(n - 1)] = new QToolButton(page);
    b->setObjectName(QStringLiteral("SpeedButton%1").arg(n));
    b->setText(QStringLiteral("?"));
    b->setToolTip(QStringLiteral("More about this chart"));
    b->setGeometry(kPageW - 32, 4, 28, 28);
    connect(b, &QToolButton::clicked, this, [this, n] { SpeedButtonClick(n); });
}

void TfrmStatistics::buildAgePage(QWidget *page, int kind)
{
    const size_t k = size_t(kind);
    infoButton(page, kind + 1);
    const QString name = QLatin1String(kAgeNames[k]);
    chartAge[k] = chartView(page, "", QRect(4, 4, kPageW - 40, 292));
    chartAge[k]->setObjectName(QStringLiteral("chart") + name);
    gridAge[k] = smallGrid(page, "", {194, 189, 140}, 10, QRect(4, 4, kPageW - 40, 292));
    gridAge[k]->setObjectName(QStringLiteral("grid") + name);
    const auto b = chartChoice(page, QStringLiteral("rg%11").arg(name), QStringLiteral("rg%12").arg(name),
                               QStringLiteral("rg%10").arg(name), this, [this] { rgAccessClick(); });
    rgAge1[k] = b[0];
    rgAge2[k] = b[1];
    rgAge0[k] = b[2];
}

void TfrmStatistics::buildCombinedPage(QWidget *page)
{
    infoButton(page, 4);
    chartCombine = chartView(page, "chartCombine", QRect(4, 4, kPageW - 40, 292));
    // Left of the info button, as the chart is.
    gridCombine = smallGrid(page, "gridCombine", {119, 97, 78, 86, 71, 85, 72}, 10, QRect(4, 4, kPageW - 40, 292));
    gridCombine->setHorizontalHeaderLabels({QStringLiteral("Combined dates"), QStringLiteral("Access Size"),
                                            QStringLiteral("Access # files"), QStringLiteral("Create Size"),
                                            QStringLiteral("Create # files"), QStringLiteral("Modify Size"),
                                            QStringLiteral("Modify # files")});
    const auto b = chartChoice(page, QStringLiteral("rbCombine1"), QStringLiteral("rbCombine2"),
                               QStringLiteral("rgCombine0"), this, [this] { rgAccessClick(); });
    rbCombine1 = b[0];
    rbCombine2 = b[1];
    rgCombine0 = b[2];
}

void TfrmStatistics::buildAttributePage(QWidget *page)
{
    label(page, QStringLiteral("# Files"), QRect(100, 24, 80, 20), nullptr, Qt::AlignRight | Qt::AlignVCenter);
    label(page, QStringLiteral("File Sizes"), QRect(184, 24, 110, 20), nullptr, Qt::AlignRight | Qt::AlignVCenter);
    label(page, QStringLiteral("% of total # files"), QRect(300, 4, 160, 20), nullptr, Qt::AlignCenter);
    label(page, QStringLiteral("% of total size"), QRect(462, 4, 158, 20), nullptr, Qt::AlignCenter);
    const char *const rows[4] = {"Read-only", "Hidden", "System", "Archive"};
    const char *const names[4] = {"ReadOnly", "Hidden", "System", "Archive"};
    for (int a = 0; a < 4; ++a) {
        const int y = 52 + 28 * a;
        label(page, QLatin1String(rows[a]), QRect(10, y, 90, 20));
        lblNAttr[size_t(a)] = label(page, {}, QRect(100, y, 80, 20), nullptr, Qt::AlignRight | Qt::AlignVCenter);
        lblNAttr[size_t(a)]->setObjectName(QStringLiteral("lblN") + QLatin1String(names[a]));
        lblSzAttr[size_t(a)] = label(page, {}, QRect(184, y, 110, 20), nullptr, Qt::AlignRight | Qt::AlignVCenter);
        lblSzAttr[size_t(a)]->setObjectName(QStringLiteral("lblSz") + QLatin1String(names[a]));
    }
    Chart2 = chartView(page, "Chart2", QRect(300, 24, 160, 230));
    Chart3 = chartView(page, "Chart3", QRect(462, 24, 158, 230));
    auto *note = label(page,
                       QStringLiteral("Note it is possible that some files may have more than one attribute set.  "
                                      "For example many system files are also hidden."),
                       QRect(10, 266, 600, 40), "lblNote");
    note->setWordWrap(true);
}

void TfrmStatistics::buildTimePage(QWidget *page)
{
    Chart4 = chartView(page, "Chart4", QRect(4, 4, kPageW - 40, kPageH - 8));
    infoButton(page, 5);
    sbTime = new QScrollBar(Qt::Vertical, page);
    sbTime->setObjectName(QStringLiteral("sbTime"));
    sbTime->setRange(8, 70);
    sbTime->setValue(8);
    sbTime->setGeometry(kPageW - 26, 40, 18, kPageH - 48);
    connect(sbTime, &QScrollBar::valueChanged, this, &TfrmStatistics::sbTimeChange);
    timeLabels_ = StatCharts::slotLabels();
}

void TfrmStatistics::placeNotYet()
{
    const int top = OvcNotebook1->tabBar()->sizeHint().height();
    const int w = OvcNotebook1->width();
    pnlNotYet->setGeometry(0, top, w, OvcNotebook1->height() - top);
    lblNotYet->setGeometry(scaled(20), scaled(60), w - scaled(40), scaled(120));
    btAbort->setGeometry((w - scaled(100)) / 2, scaled(200), scaled(100), scaled(30));
    pnlNotYet->raise();
}

int TfrmStatistics::scaled(int v) const
{
    return TFontScale::scaled(v, scale_);
}

// The window is laid out in pixels for a font whose digits are 6 pixels
// wide at 96 dots per inch. Scaled once to the font and screen in use
// (120 dots per inch included), every tab, caption and grid keeps its text.
void TfrmStatistics::scaleToFont()
{
    scale_ = TFontScale::factor(this);
    TFontScale::scaleChildren(this, scale_);
    for (int i = 0; i < OvcNotebook1->count(); ++i)
        TFontScale::scaleChildren(OvcNotebook1->widget(i), scale_);
    for (QTableWidget *g : findChildren<QTableWidget *>()) {
        QVariantList widths = g->property("designedWidths").toList();
        for (QVariant &w : widths)
            w = scaled(w.toInt());
        g->setProperty("designedWidths", widths);
        g->setProperty("room", TFontScale::scaled(g->property("room").toRect(), scale_));
        for (int c = 0; c < g->columnCount(); ++c)
            g->setColumnWidth(c, scaled(g->columnWidth(c)));
        g->verticalHeader()->setDefaultSectionSize(scaled(20));
    }
    setFixedSize(TFontScale::windowSize(this, QSize(kClientW, kClientH), scale_));
    placeNotYet();
}

void TfrmStatistics::resizeEvent(QResizeEvent *event)
{
    QDialog::resizeEvent(event);
    placeNotYet();
}

// --- Showing and closing ------------------------------------------------------------------

void TfrmStatistics::showEvent(QShowEvent *event)
{
    gridTypes->setHorizontalHeaderLabels({QStringLiteral("Extension"), QStringLiteral("Type"), QStringLiteral("Size"),
                                          QStringLiteral("# Files"), QStringLiteral("Avg File Size")});
    QDialog::showEvent(event);
    if (OvcNotebook1->currentIndex() != Space)
        doDiskSize();
    OvcNotebook1PageChanged(OvcNotebook1->currentIndex());
}

void TfrmStatistics::OvcNotebook1PageChanged(int index)
{
    // The active tab's caption is red.
    for (int i = 0; i < OvcNotebook1->count(); ++i)
        OvcNotebook1->tabBar()->setTabTextColor(i, i == index ? QColor(Qt::red) : QColor());
    if (index == Deleted) {
        showFilesDeleted();
        pnlNotYet->hide();
    } else if (index == Space) {
        barDepth_ = 1;
        doDiskSize();
        pnlNotYet->hide();
        Timer2->start();
    } else {
        pnlNotYet->setVisible(!collected);
    }
}

void TfrmStatistics::closeEvent(QCloseEvent *event)
{
    // The window never goes away under its own walk: the close box aborts it.
    if (scanning) {
        scan_.abort();
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}

void TfrmStatistics::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape) {
        btCancelClick();
        return;
    }
    QDialog::keyPressEvent(event);
}

void TfrmStatistics::btCancelClick()
{
    if (scanning) {
        scan_.abort();
        return;
    }
    hide();
}

void TfrmStatistics::btAbortClick()
{
    if (scanning)
        scan_.abort();
}

// --- The collection run ----------------------------------------------------------------------

double TfrmStatistics::computePickListTotal() const
{
    double total = 0;
    for (const QString &entry : PickList1) {
        if (!driveReady(entry))
            continue;
        double freeBytes = 0, totalBytes = 0, usedBytes = 0;
        if (driveSpace(driveRoot(entry).toStdString(), freeBytes, totalBytes, usedBytes))
            total += totalBytes;
    }
    return total;
}

void TfrmStatistics::clearVariables()
{
    scan_.tallies.clear();
    gridTypes->setRowCount(0);
}

void TfrmStatistics::btOKClick()
{
    if (scanning)
        return;
    if (Runs::anyRunning()) {
        dialogs().showInfo(Runs::busyText());
        return;
    }
    PickList1.clear();
    {
        TfrmWhichDrive wizard(this);
        if (TModal::exec(&wizard) == QDialog::Accepted) {
            PickList1 = wizard.checkedDrives();
            StatTallies &t = scan_.tallies;
            t.allTypes = wizard.allFiles();
            t.includeTypes = !t.allTypes && wizard.include();
            t.excludeTypes = !t.allTypes && wizard.exclude();
            t.setChosenTypes(t.allTypes ? QStringList() : wizard.checkedTypes());
        }
    }
    if (PickList1.isEmpty())
        return;
    driveCapacity = computePickListTotal();
    if (!(driveCapacity > 0)) {
        dialogs().showError(QStringLiteral("Could not compute the total size of the disk drives selected.  "
                                           "Cannot proceed with statistics."));
        return;
    }
    if (PickList1.size() == 1)
        dialogs().showInfo(QStringLiteral("Disk Drive ") + PickList1.first()
                           + QStringLiteral(" will be scanned.  The analysis may take some time.  You may quit at any "
                                            "time by clicking Abort or pressing ESC."));
    else
        dialogs().showInfo(QStringLiteral("Since you selected more than one drive to analyze, the Cluster Overhang tab "
                                          "will be disabled.  You may quit the analysis at any time by clicking "
                                          "CANCEL or by pressing ESC."));
    scan_.walker.scanAborted = false;
    clearVariables();
    const bool oneDrive = PickList1.size() == 1;
    if (oneDrive)
        OvcNotebook1->setTabEnabled(Overhang, true);
    else
        disableOverhang();
    scan_.tallies.countOverhang = oneDrive;

    // The whole collection is one run: no other tool starts inside it.
    const Runs::Token token(QStringLiteral("a statistics collection"));
    QString driveList;
    for (const QString &entry : PickList1) {
        if (scan_.aborted())
            break;
        currentDrive = entry;
        driveList += entry.left(1) + QStringLiteral(": ");
        if (!driveReady(entry))
            continue;
        clusterSize = clusterSizeOf(entry);
        scanning = true;
        lblNotYet->setText(QStringLiteral("Collecting statistics ... standby.  Press Esc or click Abort to stop."));
        btAbort->show();
        // The panel carries Abort, so it stays up for the walk on every page.
        pnlNotYet->show();
        pnlNotYet->raise();
        const bool turning = Timer1->isActive();
        setTimer1(false);
        scan();
        setTimer1(turning);
        collected = true;
        scanning = false;
        btAbort->hide();
        if (scan_.aborted()) {
            setWindowTitle(QStringLiteral("File Statistics for drive(s) incomplete ... aborted."));
            break;
        }
        setWindowTitle(QStringLiteral("Statistics completed for drives ") + driveList.toUpper());
    }
    OvcNotebook1PageChanged(OvcNotebook1->currentIndex());
}

void TfrmStatistics::scan()
{
    setStatus({});
    disenable(false);
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const bool aborted = scan_.aborted();
    scan_.scanDrive(currentDrive);
    // An abort before this drive (between drives) stays an abort.
    if (aborted)
        scan_.abort();
    if (PickList1.size() == 1)
        doOverHang();
    doFileTypes();
    doFileSizes();
    doFileAttrs();
    for (int k = 0; k < 3; ++k)
        fillGridDates(QLatin1String(kAgeTitles[k]), gridAge[size_t(k)], k);
    fillCombinedGridDates();
    doFileTimes();
    doFileAges();
    SortbyExtensionClick(0);

    const StatTallies &t = scan_.tallies;
    QString status = QStringLiteral("Finished - ") + formatThousands(t.filesProcessed) + QStringLiteral(" files processed");
    if (t.filesCounted != t.filesProcessed)
        status += QStringLiteral(" ") + formatThousands(t.filesCounted) + QStringLiteral(" files found");
    if (scan_.aborted())
        status += QStringLiteral(" INCOMPLETE ... ABORTED");
    setStatus(status);
    QApplication::restoreOverrideCursor();
    disenable(true);
}

void TfrmStatistics::disenable(bool enabled)
{
    for (QWidget *w : std::initializer_list<QWidget *>{btPrint, btOK, rbCombine1, rbCombine2, rgSpace1, rgSpace2,
                                                       pckStatDrive, Button1, rgTypes, rgSize0, rgSize1, rgSize2,
                                                       rgCombine0})
        w->setEnabled(enabled);
    for (size_t k = 0; k < 3; ++k)
        for (QRadioButton *b : {rgAge0[k], rgAge1[k], rgAge2[k]})
            b->setEnabled(enabled);
}

void TfrmStatistics::setStatus(const QString &text)
{
    StatusText->setText(text);
}

QString TfrmStatistics::statusText() const
{
    return StatusText->text();
}

void TfrmStatistics::doOverHang()
{
    const StatTallies &t = scan_.tallies;
    double s = 0;
    for (int u = 1; u <= 12; ++u)
        s += double(t.sizeBytes[size_t(u)]);
    if (s == 0) {
        disableOverhang();
        return;
    }
    for (size_t i = 0; i < 5; ++i)
        lblOver[i]->setText(StatText::wholeNumber(double(t.overhang[i])));
    imArrow->hide();
    const int at = StatTallies::trialIndex(clusterSize);
    if (at >= 0) {
        imArrow->move(imArrow->x(), lblCSize[size_t(at)]->y());
        imArrow->show();
    }
    pnlCluster->setVisible(at < 0);
    pnlOverhang->show();
    auto sizeText = [s](double v) {
        return s < 1048576 ? StatText::wholeNumber(v / 1024) + QStringLiteral(" KB")
                           : StatText::wholeNumber(v / 1048576) + QStringLiteral(" MB");
    };
    lblSize->setText(sizeText(s));
    lblNumFiles->setText(QStringLiteral("Number of files scanned: ") + formatThousands(t.filesCounted));
    // Without the arrow no actual space is known: the caption alone, not
    // the figure of an earlier collection.
    lblLbl->setText(at >= 0 ? QStringLiteral("Actual space used ") + sizeText(double(t.overhang[size_t(at)]) + s)
                            : QStringLiteral("Actual space used:"));
    // Whole percents, or as many decimals (four at most) as give the
    // smallest share two digits, on a value axis of their own: shares
    // under 1 % are bars with values too.
    const std::vector<double> shares = StatCharts::overhangPercents(t);
    double smallest = 0;
    for (double v : shares)
        if (v > 0 && (smallest == 0 || v < smallest))
            smallest = v;
    int decimals = 0;
    while (smallest > 0 && decimals < 4 && std::round(smallest * std::pow(10.0, decimals)) < 10)
        ++decimals;
    fillPlainBars(chartOverhang, shares, QColor(0xFF, 0, 0),
                  {QStringLiteral("64K"), QStringLiteral("32K"), QStringLiteral("16K"), QStringLiteral("8K"),
                   QStringLiteral("4K")},
                  false, decimals, true);
}

void TfrmStatistics::disableOverhang()
{
    // A disabled page cannot stay the current one: the next enabled page
    // after it becomes current.
    if (OvcNotebook1->currentIndex() == Overhang)
        for (int step = 1; step < OvcNotebook1->count(); ++step) {
            const int next = (Overhang + step) % OvcNotebook1->count();
            if (OvcNotebook1->isTabEnabled(next)) {
                OvcNotebook1->setCurrentIndex(next);
                break;
            }
        }
    OvcNotebook1->setTabEnabled(Overhang, false);
}

void TfrmStatistics::doFileTimes()
{
    QChart *c = clearChart(Chart4);
    double maxValue = 0;
    std::vector<QLineSeries *> lines;
    for (const StatCharts::TimeLine &l : StatCharts::timeLines(scan_.tallies)) {
        auto *series = new QLineSeries;
        series->setName(l.name);
        series->setColor(l.colour);
        for (int slot = 0; slot < StatTallies::kSlots; ++slot) {
            series->append(slot, l.values[size_t(slot)]);
            maxValue = std::max(maxValue, l.values[size_t(slot)]);
        }
        c->addSeries(series);
        // A file system that keeps no access times gives a flat line of no use.
        if (l.kind == StatTallies::Accessed && !l.hasData())
            series->setVisible(false);
        lines.push_back(series);
    }
    // Every half hour has its point; the axis names every fourth hour.
    auto *x = new QCategoryAxis;
    x->setLabelsPosition(QCategoryAxis::AxisLabelsPositionOnValue);
    x->setStartValue(-1);
    for (int slot = 0; slot < StatTallies::kSlots; slot += 8)
        x->append(timeLabels_[slot], slot);
    x->setRange(0, StatTallies::kSlots - 1);
    x->setTitleText(QStringLiteral("Time of day file was accessed/modified/created"));
    c->addAxis(x, Qt::AlignBottom);
    auto *y = new QValueAxis;
    y->setRange(0, maxValue > 0 ? maxValue : 1);
    y->applyNiceNumbers();
    y->setLabelFormat(QStringLiteral("%.0f"));
    y->setTitleText(QStringLiteral("Numer of files"));
    c->addAxis(y, Qt::AlignLeft);
    for (QLineSeries *series : lines) {
        series->attachAxis(x);
        series->attachAxis(y);
        for (QLegendMarker *m : c->legend()->markers(series))
            m->setVisible(series->isVisible());
    }
    c->legend()->setAlignment(Qt::AlignTop);
    c->legend()->show();
}

// --- Deleted page -----------------------------------------------------------------------------

void TfrmStatistics::showFilesDeleted()
{
    const IniFile ini;
    const QString section = QStringLiteral("Vantor");
    auto value = [&](const char *key) { return ini.readInt(section, QLatin1String(key), -1); };
    lblSince1->setText(StatText::since(value("DelDate")));
    lblZipSince->setText(StatText::since(value("ZipDate")));
    struct Pair {
        QLineEdit *count, *size;
        const char *countKey, *sizeKey;
    };
    const Pair pairs[3] = {{edNdelete, edSzDelete, "Ndelete", "SizeDelete"},
                           {edNWaste, edSzWaste, "NWaste", "SizeWaste"},
                           {edNZip, edSzZip, "NZip", "SizeZip"}};
    for (const Pair &p : pairs) {
        const int64_t n = value(p.countKey);
        if (n > 0) {
            p.count->setText(formatThousands(n) + QStringLiteral(" files"));
            p.size->setText(formatThousands(std::max<int64_t>(0, value(p.sizeKey))) + QStringLiteral(" bytes"));
        } else {
            p.count->setText(QStringLiteral("n/a"));
            p.size->setText(QStringLiteral("n/a"));
        }
    }
}

void TfrmStatistics::Button1Click()
{
    if (!dialogs().askYesNo(QStringLiteral("Reset cumulative totals?")))
        return;
    try {
        IniFile().resetTotals();
    } catch (const IniWriteError &e) {
        dialogs().showError(QString::fromLocal8Bit(e.what()));
        return;
    }
    lblSince1->clear();
    lblZipSince->clear();
    for (QLineEdit *e : {edNdelete, edSzDelete, edNWaste, edSzWaste, edNZip, edSzZip})
        e->setText(QStringLiteral("n/a"));
}

// --- Types page --------------------------------------------------------------------------------

int TfrmStatistics::typeRowCount() const
{
    return std::max(0, gridTypes->rowCount() - 1);
}

void TfrmStatistics::doFileTypes()
{
    StatTallies &t = scan_.tallies;
    if (t.includeTypes)
        for (const QString &entry : t.chosenTypes())
            t.insertType(StatTallies::extractExtension(entry), 0, true);
    const auto rows = t.typeRows();
    gridTypes->setRowCount(int(rows.size()) + 1);
    for (int i = 0; i < int(rows.size()); ++i) {
        const auto &r = rows[size_t(i)];
        setCell(gridTypes, i, 0, r.extension, 2);
        setCell(gridTypes, i, 1, StatText::typeName(r.extension), 2);
        setCell(gridTypes, i, 2, formatThousands(r.bytes), 2);
        setCell(gridTypes, i, 3, formatThousands(r.count), 2);
        setCell(gridTypes, i, 4, r.count == 0 ? QStringLiteral("0") : StatText::wholeNumber(double(r.bytes) / double(r.count)), 2);
    }
    const int last = int(rows.size());
    for (int c = 0; c < 5; ++c)
        setCell(gridTypes, last, c, QString(), 2);
    rgTypesClick();
    fitGrid(gridTypes, 1);
}

void TfrmStatistics::doTotals()
{
    const int last = gridTypes->rowCount() - 1;
    if (last < 0)
        return;
    auto digits = [](const QString &s) {
        int64_t n = 0;
        for (QChar c : s)
            if (c >= QLatin1Char('0') && c <= QLatin1Char('9'))
                n = n * 10 + (c.unicode() - '0');
        return n;
    };
    int64_t bytes = 0, files = 0;
    for (int r = 0; r < last; ++r) {
        bytes += digits(cellText(gridTypes, r, 2));
        files += digits(cellText(gridTypes, r, 3));
    }
    setCell(gridTypes, last, 1, QStringLiteral("Totals"), 2);
    setCell(gridTypes, last, 2, formatThousands(bytes), 2);
    setCell(gridTypes, last, 3, formatThousands(files), 2);
    fitGrid(gridTypes, 1);
}

void TfrmStatistics::rgTypesClick()
{
    const bool listing = rgTypesItems[0]->isChecked();
    gridTypes->setVisible(listing);
    btSort->setVisible(listing);
    chartPie->setVisible(!listing);
    ScrollBar2->setVisible(!listing);
    // The pies turn exactly while a pie form is chosen here.
    setTimer1(!listing);
    if (listing) {
        doTotals();
        return;
    }
    int form = 1;
    for (int i = 1; i < 4; ++i)
        if (rgTypesItems[size_t(i)]->isChecked())
            form = i;
    SortbyExtensionClick(form + 1);
    fillPie(chartPie, {}, StatCharts::typeSlices(typeGridRows(), form + 1));
    chartPie->chart()->legend()->setAlignment(Qt::AlignRight);
    chartPie->chart()->legend()->show();
}

std::vector<QStringList> TfrmStatistics::typeGridRows() const
{
    std::vector<QStringList> rows;
    for (int r = 0; r < typeRowCount(); ++r) {
        QStringList cells;
        for (int c = 0; c < 5; ++c)
            cells << cellText(gridTypes, r, c);
        rows.push_back(cells);
    }
    return rows;
}

void TfrmStatistics::SortbyExtensionClick(int item)
{
    if (item < 0 || item > 4)
        return;
    const int data = typeRowCount();
    if (data < 2)
        return;
    for (QAction *a : sortItems)
        a->setChecked(false);
    QApplication::setOverrideCursor(Qt::WaitCursor);
    std::vector<QStringList> rows = typeGridRows();
    StatText::sortRows(rows, item, item < 2 ? SortKind::Text : SortKind::Number, item >= 2);
    for (int r = 0; r < data; ++r)
        for (int c = 0; c < 5; ++c)
            setCell(gridTypes, r, c, rows[size_t(r)][c], 2);
    sortItems[size_t(item)]->setChecked(true);
    checkedSort_ = item;
    QApplication::restoreOverrideCursor();
}

// --- Sizes and date pages ----------------------------------------------------------------------

void TfrmStatistics::doFileSizes()
{
    fillGridSizes();
    rgSizesClick();
}

void TfrmStatistics::fillGridSizes()
{
    const StatTallies &t = scan_.tallies;
    for (int u = 1; u <= 12; ++u) {
        const int row = 12 - u;
        setCell(gridSizes, row, 0, StatTallies::sizeLabel(u));
        setCell(gridSizes, row, 1, formatThousands(t.sizeBytes[size_t(u)]));
        setCell(gridSizes, row, 2, formatThousands(t.sizeCount[size_t(u)]));
    }
    fitGrid(gridSizes);
}

void TfrmStatistics::rgSizesClick()
{
    const bool listing = rgSize0->isChecked();
    gridSizes->setVisible(listing);
    Chart1->setVisible(!listing);
    if (listing)
        return;
    const bool bySize = rgSize1->isChecked();
    fillColouredBars(Chart1, StatCharts::sizeTitle(bySize), StatCharts::sizeBars(scan_.tallies, bySize));
}

void TfrmStatistics::fillGridDates(const QString &title, QTableWidget *grid, int kind)
{
    const StatTallies &t = scan_.tallies;
    grid->setHorizontalHeaderLabels({title, QStringLiteral("Total file size"), QStringLiteral("Number of files")});
    for (int b = 0; b < 10; ++b) {
        const int row = 9 - b;
        setCell(grid, row, 0, StatTallies::ageLabel(b));
        setCell(grid, row, 1, formatThousands(t.ageBytes[size_t(kind)][size_t(b)]));
        setCell(grid, row, 2, formatThousands(t.ageCount[size_t(kind)][size_t(b)]));
    }
    fitGrid(grid);
}

void TfrmStatistics::fillCombinedGridDates()
{
    const StatTallies &t = scan_.tallies;
    for (int b = 0; b < 10; ++b) {
        const int row = 9 - b;
        setCell(gridCombine, row, 0, cellText(gridAge[StatTallies::Modified], row, 0));
        for (size_t k = 0; k < 3; ++k) {
            setCell(gridCombine, row, int(1 + 2 * k), formatThousands(t.ageBytes[k][size_t(b)]));
            setCell(gridCombine, row, int(2 + 2 * k), formatThousands(t.ageCount[k][size_t(b)]));
        }
    }
    fitGrid(gridCombine);
}

void TfrmStatistics::doFileAges()
{
    const StatTallies &t = scan_.tallies;
    QChart *combined = clearChart(chartCombine);
    combined->setTitle(QStringLiteral("Combination Access/Created/Modified Chart"));
    auto *series = new QHorizontalBarSeries;
    const bool combinedBySize = rbCombine1->isChecked();
    double maxValue = 0;
    QStringList categories;
    for (int b = 0; b < StatTallies::kAgeBuckets; ++b)
        categories << StatTallies::ageLabel(b);
    for (int k = 0; k < 3; ++k) {
        const bool bySize = rgAge1[size_t(k)]->isChecked();
        fillColouredBars(chartAge[size_t(k)], StatCharts::ageTitle(k, bySize), StatCharts::ageBars(t, k, bySize));
    }
    // The series in the order modified, created, accessed.
    for (int k = 2; k >= 0; --k) {
        auto *set = new QBarSet(StatCharts::combinedName(k));
        set->setColor(StatCharts::combinedColour(k));
        set->setBorderColor(StatCharts::combinedColour(k).darker(150));
        for (const StatCharts::Bar &bar : StatCharts::ageBars(t, k, combinedBySize, StatCharts::combinedColour(k))) {
            set->append(bar.value);
            maxValue = std::max(maxValue, bar.value);
        }
        series->append(set);
    }
    series->setBarWidth(0.85);
    combined->addSeries(series);
    categoryAxis(combined, series, Qt::AlignLeft, categories, true);
    valueAxis(combined, series, Qt::AlignBottom, maxValue, {});
    combined->legend()->setAlignment(Qt::AlignRight);
    combined->legend()->setReverseMarkers(true);
    combined->legend()->show();
}

void TfrmStatistics::rgAccessClick()
{
    for (size_t k = 0; k < 3; ++k) {
        gridAge[k]->setVisible(rgAge0[k]->isChecked());
        chartAge[k]->setVisible(!rgAge0[k]->isChecked());
    }
    gridCombine->setVisible(rgCombine0->isChecked());
    chartCombine->setVisible(!rgCombine0->isChecked());
    doFileAges();
}

// --- Attribute page and info buttons ------------------------------------------------------------

void TfrmStatistics::doFileAttrs()
{
    const StatTallies &t = scan_.tallies;
    for (size_t a = 0; a < 4; ++a) {
        lblNAttr[a]->setText(formatThousands(t.attrCount[a]));
        lblSzAttr[a]->setText(formatThousands(t.attrBytes[a]));
    }
    QStringList names;
    for (int a : StatCharts::kAttrChartOrder)
        names << StatCharts::attributeName(a);
    fillPlainBars(Chart2, StatCharts::attributePercents(t, false), QColor(0xFF, 0, 0), names, true, 2);
    // The size chart stands beside the one of files, in the same order.
    fillPlainBars(Chart3, StatCharts::attributePercents(t, true), QColor(0, 0, 0xFF), names, false, 2);
}

QString TfrmStatistics::infoText(int n)
{
    switch (n) {
    case 1:
        return QStringLiteral("Note: prior versions of Windows and DOS did not store the file access date.  Files never "
                              "recorded as being accessed are probably old files that were converted to Windows 95/98.");
    case 2:
        return QStringLiteral("Files never recorded as being created are probably old files that were converted to "
                              "Windows 95/98.  Note: prior versions of Windows and DOS did not store the file creation "
                              "date independent of the last file modification or file write date.");
    case 3:
        return QStringLiteral("Note: prior versions of Windows and DOS treated the file creation date synonomously  "
                              "with the last file modification date.  Therefore all files have a file modification "
                              "date.");
    case 4:
        return QStringLiteral("This chart combines the Accessed, Created and Modified charts");
    case 5:
        return QStringLiteral("Note: Sometimes software vendors use the file modified time to indicate the version "
                              "number of a product. For example, a file with the time of 02:10 am would represent "
                              "version 2.1 of a certain product.  Note that files with a time of 12:00:00 am are "
                              "excluded from this graph.");
    default:
        return {};
    }
}

void TfrmStatistics::SpeedButtonClick(int n)
{
    dialogs().showInfo(infoText(n));
}

// --- Space page -------------------------------------------------------------------------------

void TfrmStatistics::doDiskSize()
{
    if (inDiskSize_)
        return;
    inDiskSize_ = true;
    for (QLabel *l : {lblTotal, lblFree, lblUsed, lblTot, lblPct, lblPct2})
        l->clear();
    std::vector<StatCharts::DriveSpace> drives;
    for (int i = 0; i < pckStatDrive->count(); ++i) {
        const QString entry = pckStatDrive->item(i)->text();
        if (!pckStatDrive->item(i)->isSelected() || !driveReady(entry))
            continue;
        StatCharts::DriveSpace d{entry.left(1).toUpper(), 0, 0, 0};
        driveSpace(driveRoot(entry).toStdString(), d.freeBytes, d.totalBytes, d.usedBytes);
        drives.push_back(d);
    }
    const StatCharts::SpaceBars b = StatCharts::spaceBars(drives, cbTotal->isChecked());
    charted_ = b.charted;

    QChart *c = clearChart(chartSpaceBar);
    auto *used = new QBarSet(QStringLiteral("Used"));
    used->setColor(QColor(0, 0, 0xFF));
    used->setLabelColor(Qt::white);
    auto *free = new QBarSet(QStringLiteral("Free"));
    free->setColor(QColor(0xFF, 0, 0xFF));
    free->setLabelColor(Qt::black);
    double maxValue = 0;
    for (size_t i = 0; i < b.free.size(); ++i) {
        used->append(std::round(b.used[i]));
        free->append(std::round(b.free[i]));
        maxValue = std::max(maxValue, b.used[i] + b.free[i]);
    }
    auto *series = new QStackedBarSeries;
    series->append(used);
    series->append(free);
    series->setBarWidth(0.8);
    used->setLabelFont(smallFont(used->labelFont()));
    free->setLabelFont(smallFont(free->labelFont()));
    series->setLabelsVisible(true);
    series->setLabelsFormat(QStringLiteral("@value ") + b.unit());
    series->setLabelsPrecision(15);
    c->addSeries(series);
    categoryAxis(c, series, Qt::AlignBottom, b.labels, true);
    valueAxis(c, series, Qt::AlignLeft, maxValue, QStringLiteral("%.0f ") + b.unit());

    const bool shown = b.totalSum > 0;
    for (QWidget *w : std::initializer_list<QWidget *>{chartSpaceBar, Panel1, Panel2, lblCaptions[0], lblCaptions[1],
                                                       lblCaptions[2]})
        w->setVisible(shown);
    if (shown) {
        lblTot->setText(b.unit());
        lblTotal->setText(b.totalText());
        lblFree->setText(b.freeText());
        lblUsed->setText(b.usedText());
        lblPct->setText(b.unit() + QStringLiteral(" "));
        lblPct2->setText(b.unit() + QStringLiteral(" "));
    }
    rgSpaceClick();
    inDiskSize_ = false;
}

void TfrmStatistics::rgSpaceClick()
{
    if (rgSpace1->isChecked()) {
        pnlDrives->hide();
        doPieCharts();
        cbTotal->hide();
        chartSpaceBar->hide();
        setTimer1(true);
        pnlPie->show();
        pnlPie->raise();
    } else if (charted_ > 0) {
        pnlDrives->show();
        pnlPie->hide();
        cbTotal->show();
        chartSpaceBar->show();
        barDepth_ = 1;
        Timer2->start();
    } else {
        // No drive charted: the list stays, so a drive can be chosen.
        pnlDrives->show();
        pnlPie->hide();
        cbTotal->show();
    }
}

void TfrmStatistics::doPieCharts()
{
    struct Drawn {
        QChartView *view;
        QString root, share; // the title's two parts
    };
    std::vector<Drawn> drawn;
    double sumFree = 0, sumTotal = 0;
    for (int i = 0; i < pckStatDrive->count() && drawn.size() < pie.size(); ++i) {
        const QString entry = pckStatDrive->item(i)->text();
        if (!driveReady(entry))
            continue;
        const QString root = driveRoot(entry);
        double freeBytes = 0, totalBytes = 0, usedBytes = 0;
        driveSpace(root.toStdString(), freeBytes, totalBytes, usedBytes);
        // A drive without capacity has no share to show.
        if (!(totalBytes > 0))
            continue;
        QChartView *v = pie[drawn.size()];
        v->show();
        sumFree += freeBytes;
        sumTotal += totalBytes;
        const QString title = StatCharts::pieTitle(root, freeBytes, totalBytes);
        drawn.push_back({v, root, title.mid(root.size())});
        fillPie(v, title,
                {{QStringLiteral(" "), totalBytes - freeBytes, QColor(0, 0, 0xFF)},
                 {QStringLiteral(" "), freeBytes, QColor(0xFF, 0, 0xFF)}});
        // The whole title, path and all, where the pie's own may be short.
        v->setToolTip(entry + QLatin1Char('\n') + title);
    }
    for (size_t i = drawn.size(); i < pie.size(); ++i)
        pie[i]->hide();
    pieTotal->setVisible(sumTotal > 0);
    if (sumTotal > 0)
        fillPie(pieTotal, StatCharts::totalPieTitle(sumFree, sumTotal),
                {{QStringLiteral(" "), sumTotal - sumFree, QColor(0, 0, 0xFF)},
                 {QStringLiteral(" "), sumFree, QColor(0xFF, 0, 0xFF)}});
    layoutPies();
    // A long mount path is shortened in its middle to the pie's width; the
    // share and "free" stay whole.
    for (const Drawn &d : drawn) {
        const QFontMetrics fm(d.view->chart()->titleFont());
        // The chart's title keeps a margin of its own on either side.
        const int room = d.view->width() - 2 * d.view->frameWidth() - scaled(24) - fm.horizontalAdvance(d.share);
        d.view->chart()->setTitle(shown(fm.elidedText(d.root, Qt::ElideMiddle, std::max(room, 0)) + d.share));
    }
}

// The shown pies share the panel above the swatches in rows of at most four.
void TfrmStatistics::layoutPies()
{
    std::vector<QChartView *> shown;
    for (QChartView *v : pie)
        if (!v->isHidden())
            shown.push_back(v);
    if (!pieTotal->isHidden())
        shown.push_back(pieTotal);
    if (shown.empty())
        return;
    const int n = int(shown.size());
    const int columns = std::min(n, 4);
    const int rows = (n + columns - 1) / columns;
    const int w = pnlPie->width() / columns, h = scaled(282) / rows;
    for (int i = 0; i < n; ++i)
        shown[size_t(i)]->setGeometry((i % columns) * w, (i / columns) * h, w, h);
}

void TfrmStatistics::pckStatDriveClick() { doDiskSize(); }

void TfrmStatistics::cbTotalClick() { doDiskSize(); }

void TfrmStatistics::SelectAll1Click()
{
    {
        const QSignalBlocker quiet(pckStatDrive);
        pckStatDrive->selectAll();
    }
    doDiskSize();
}

void TfrmStatistics::DeselectAll1Click()
{
    {
        const QSignalBlocker quiet(pckStatDrive);
        pckStatDrive->clearSelection();
    }
    doDiskSize();
}

// --- Animation ----------------------------------------------------------------------------------

int TfrmStatistics::rotation(const QChartView *pie)
{
    return pie->property("rotation").toInt();
}

void TfrmStatistics::setRotation(QChartView *pie, int degrees)
{
    degrees = ((degrees % 360) + 360) % 360;
    pie->setProperty("rotation", degrees);
    if (auto *s = qobject_cast<QPieSeries *>(pie->chart()->series().value(0))) {
        s->setPieStartAngle(degrees);
        s->setPieEndAngle(degrees + 360);
    }
}

void TfrmStatistics::rotate(QChartView *pie, int degrees)
{
    setRotation(pie, rotation(pie) + degrees);
}

void TfrmStatistics::setTimer1(bool on)
{
    if (on)
        Timer1->start();
    else
        Timer1->stop();
    ScrollBar1->setVisible(!on);
}

void TfrmStatistics::Timer1Timer()
{
    if (inTimer1_)
        return;
    inTimer1_ = true;
    const int page = OvcNotebook1->currentIndex();
    if (page == Space && rgSpace1->isChecked()) {
        if (pckStatDrive->count() < 6)
            for (QChartView *v : pie)
                if (!v->isHidden())
                    rotate(v, 6);
        if (!pieTotal->isHidden())
            rotate(pieTotal, 2);
        ScrollBar1->hide();
        const QSignalBlocker quiet(ScrollBar1);
        ScrollBar1->setValue(rotation(pie[0]));
    } else {
        ScrollBar1->show();
    }
    if (page == Types && !rgTypesItems[0]->isChecked()) {
        rotate(chartPie, 1);
        const QSignalBlocker quiet(ScrollBar2);
        ScrollBar2->setValue(rotation(chartPie));
    }
    inTimer1_ = false;
}

void TfrmStatistics::Timer2Timer()
{
    const StatCharts::DepthStep d = StatCharts::barDepthStep(charted_);
    if (OvcNotebook1->currentIndex() == Space && barDepth_ < d.limit)
        barDepth_ += d.step;
    if (OvcNotebook1->currentIndex() != Space || barDepth_ >= d.limit)
        Timer2->stop();
}

void TfrmStatistics::pie1Click() { setTimer1(!Timer1->isActive()); }

void TfrmStatistics::ScrollBar1Change()
{
    for (QChartView *v : pie)
        if (!v->isHidden())
            setRotation(v, ScrollBar1->value());
    if (!pieTotal->isHidden())
        setRotation(pieTotal, ScrollBar1->value());
}

void TfrmStatistics::ScrollBar2Change() { setRotation(chartPie, ScrollBar2->value()); }

void TfrmStatistics::sbTimeChange() { timeDepth_ = sbTime->value(); }

bool TfrmStatistics::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::MouseButtonPress) {
        bool onPie = watched == pieTotal->viewport();
        for (QChartView *v : pie)
            onPie = onPie || watched == v->viewport();
        if (onPie) {
            pie1Click();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

// --- Printing ------------------------------------------------------------------------------------

void TfrmStatistics::btPrintClick()
{
    QPrinter printer;
    if (!dialogs().choosePrinter(printer))
        return;
    if (OvcNotebook1->currentIndex() == Types && rgTypesItems[0]->isChecked()) {
        printGrid(printer, gridTypes, QStringLiteral("File types for drive ") + currentDrive);
        return;
    }
    changeBackgroundColor(Qt::white);
    printWidgetImage(printer, this);
    changeBackgroundColor(QApplication::palette().color(QPalette::Button));
}

void TfrmStatistics::changeBackgroundColor(const QColor &colour)
{
    auto paint = [&colour](QWidget *w, std::initializer_list<QPalette::ColorRole> roles) {
        QPalette p = w->palette();
        for (QPalette::ColorRole r : roles)
            p.setColor(r, colour);
        w->setPalette(p);
    };
    setAutoFillBackground(true);
    paint(this, {QPalette::Window});
    for (int i = 0; i < OvcNotebook1->count(); ++i) {
        OvcNotebook1->widget(i)->setAutoFillBackground(true);
        paint(OvcNotebook1->widget(i), {QPalette::Window});
    }
    paint(pnlPie, {QPalette::Window});
    paint(pckStatDrive, {QPalette::Base});
    for (QChartView *v : findChildren<QChartView *>()) {
        v->chart()->setBackgroundBrush(colour);
        v->setBackgroundBrush(colour);
    }
    for (QTableWidget *g : findChildren<QTableWidget *>()) {
        if (g == gridTypes)
            continue;
        paint(g, {QPalette::Base});
        paint(g->horizontalHeader(), {QPalette::Button, QPalette::Window});
    }
}

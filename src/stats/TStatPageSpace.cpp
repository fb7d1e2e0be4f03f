#include "stats/TStatPageSpace.h"

#include "scan/DriveEntries.h"
#include "scan/TDriveIcons.h"
#include "stats/StatCharts.h"
#include "stats/TStatWidgets.h"

#include <QBarSet>
#include <QChart>
#include <QChartView>
#include <QCheckBox>
#include <QEvent>
#include <QFrame>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QRadioButton>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QStackedBarSeries>
#include <QTimer>
#include <algorithm>
#include <cmath>

using namespace TStatWidgets;

void TStatPageSpace::build(QWidget *page)
{
    page_ = page;
    const char *const captions[3] = {"Total Capacity:", "Free Space:", "Used Space:"};
    QLabel **values[3] = {&lblTotal, &lblFree, &lblUsed};
    QLabel **units[3] = {&lblTot, &lblPct, &lblPct2};
    const char *const valueNames[3] = {"lblTotal", "lblFree", "lblUsed"};
    const char *const unitNames[3] = {"lblTot", "lblPct", "lblPct2"};
    for (int i = 0; i < 3; ++i) {
        lblCaptions[size_t(i)] = label(page, QLatin1String(captions[i]), QRect(10, 8 + 22 * i, 110, 20));
        *values[i] = label(page, {}, QRect(120, 8 + 22 * i, 110, 20), valueNames[i], Qt::AlignRight | Qt::AlignVCenter);
        *units[i] = label(page, {}, QRect(234, 8 + 22 * i, 40, 20), unitNames[i]);
    }
    Panel1 = swatch(page, "Panel1", QColor(0xFF, 0x00, 0xFF), QRect(280, 33, 14, 14));
    Panel2 = swatch(page, "Panel2", QColor(0x00, 0x00, 0xFF), QRect(280, 55, 14, 14));
    chartSpaceBar = chartView(page, "chartSpaceBar", QRect(4, 76, 404, 230));
    buildDriveList(page);

    // The choices stay below the pies, so either form can be chosen.
    rgSpace1 = radio(page, "rgSpace1", QStringLiteral("Pie - percent"), QRect(8, 312, 120, 22));
    rgSpace2 = radio(page, "rgSpace2", QStringLiteral("Bar - totals"), QRect(132, 312, 110, 22));
    rgSpace2->setChecked(true);
    cbTotal = new QCheckBox(QStringLiteral("Show Cumulative Total"), page);
    cbTotal->setObjectName(QStringLiteral("cbTotal"));
    cbTotal->setGeometry(246, 312, 166, 22);
    cbTotal->setChecked(true);
    for (QRadioButton *b : {rgSpace1, rgSpace2})
        connect(b, &QRadioButton::toggled, this, [this](bool on) {
            if (on)
                rgSpaceClick();
        });
    connect(cbTotal, &QCheckBox::clicked, this, &TStatPageSpace::doDiskSize);
    buildPies(page);

    Timer2 = new QTimer(page);
    Timer2->setObjectName(QStringLiteral("Timer2"));
    Timer2->setInterval(50);
    connect(Timer2, &QTimer::timeout, this, &TStatPageSpace::Timer2Timer);
}

void TStatPageSpace::buildDriveList(QWidget *page)
{
    pnlDrives = new QWidget(page);
    pnlDrives->setObjectName(QStringLiteral("pnlDrives"));
    pnlDrives->setGeometry(414, 6, 204, 328);
    pckStatDrive = new QListWidget(pnlDrives);
    pckStatDrive->setObjectName(QStringLiteral("pckStatDrive"));
    pckStatDrive->setSelectionMode(QAbstractItemView::MultiSelection);
    pckStatDrive->setGeometry(0, 0, 204, 328);
    const QString current = DriveEntries::current(true);
    for (const DriveEntries::Entry &e : DriveEntries::all(true)) {
        if (DriveEntries::isFloppyLetter(e.text))
            continue;
        auto *item = new QListWidgetItem(TDriveIcons::icon(e.type), e.text);
        pckStatDrive->addItem(item);
        item->setSelected(e.text == current);
    }
    pckStatDrive->setContextMenuPolicy(Qt::CustomContextMenu);
    auto *driveMenu = new QMenu(page->window());
    SelectAll1 = driveMenu->addAction(QStringLiteral("Select All"));
    SelectAll1->setObjectName(QStringLiteral("SelectAll1"));
    DeselectAll1 = driveMenu->addAction(QStringLiteral("Deselect All"));
    DeselectAll1->setObjectName(QStringLiteral("DeselectAll1"));
    connect(SelectAll1, &QAction::triggered, this, [this] { selectAllDrives(true); });
    connect(DeselectAll1, &QAction::triggered, this, [this] { selectAllDrives(false); });
    connect(pckStatDrive, &QWidget::customContextMenuRequested, this,
            [this, driveMenu](const QPoint &at) { driveMenu->exec(pckStatDrive->viewport()->mapToGlobal(at)); });
    connect(pckStatDrive, &QListWidget::itemSelectionChanged, this, &TStatPageSpace::doDiskSize);
}

void TStatPageSpace::buildPies(QWidget *page)
{
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
    connect(ScrollBar1, &QScrollBar::valueChanged, this, &TStatPageSpace::ScrollBar1Change);
    pnlPie->hide();
}

void TStatPageSpace::doDiskSize()
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
        host.spaceOf(driveRoot(entry).toStdString(), d.freeBytes, d.totalBytes, d.usedBytes);
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

    const bool charted = b.totalSum > 0;
    for (QWidget *w : std::initializer_list<QWidget *>{chartSpaceBar, Panel1, Panel2, lblCaptions[0], lblCaptions[1],
                                                       lblCaptions[2]})
        w->setVisible(charted);
    if (charted) {
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

void TStatPageSpace::rgSpaceClick()
{
    if (rgSpace1->isChecked()) {
        pnlDrives->hide();
        doPieCharts();
        cbTotal->hide();
        chartSpaceBar->hide();
        host.turnPies(true);
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

namespace {
// What a grey slice stands for, where a pie has one.
QString reservedNote(double freeBytes, double totalBytes, double usedBytes)
{
    return totalBytes - usedBytes - freeBytes > 0 ? QStringLiteral("\nGrey: reserved for the system, neither used nor free")
                                                  : QString();
}
}

void TStatPageSpace::doPieCharts()
{
    struct Drawn {
        QChartView *view;
        QString root, share; // the title's two parts
    };
    std::vector<Drawn> drawn;
    double sumFree = 0, sumTotal = 0, sumUsed = 0;
    for (int i = 0; i < pckStatDrive->count() && drawn.size() < pie.size(); ++i) {
        const QString entry = pckStatDrive->item(i)->text();
        if (!driveReady(entry))
            continue;
        const QString root = driveRoot(entry);
        double freeBytes = 0, totalBytes = 0, usedBytes = 0;
        host.spaceOf(root.toStdString(), freeBytes, totalBytes, usedBytes);
        // A drive without capacity has no share to show.
        if (!(totalBytes > 0))
            continue;
        QChartView *v = pie[drawn.size()];
        v->show();
        sumFree += freeBytes;
        sumTotal += totalBytes;
        sumUsed += usedBytes;
        const QString title = StatCharts::pieTitle(root, freeBytes, totalBytes);
        drawn.push_back({v, root, title.mid(root.size())});
        fillPie(v, title, StatCharts::spaceSlices(freeBytes, totalBytes, usedBytes));
        // The whole title, path and all, where the pie's own may be short.
        v->setToolTip(entry + QLatin1Char('\n') + title + reservedNote(freeBytes, totalBytes, usedBytes));
    }
    for (size_t i = drawn.size(); i < pie.size(); ++i)
        pie[i]->hide();
    pieTotal->setVisible(sumTotal > 0);
    if (sumTotal > 0)
        fillPie(pieTotal, StatCharts::totalPieTitle(sumFree, sumTotal),
                StatCharts::spaceSlices(sumFree, sumTotal, sumUsed));
    layoutPies();
    // A long mount path is shortened in its middle to the pie's width; the
    // share and "free" stay whole.
    for (const Drawn &d : drawn) {
        const QFontMetrics fm(d.view->chart()->titleFont());
        // The chart's title keeps a margin of its own on either side.
        const int room =
            d.view->width() - 2 * d.view->frameWidth() - host.scaledLength(24) - fm.horizontalAdvance(d.share);
        d.view->chart()->setTitle(shown(fm.elidedText(d.root, Qt::ElideMiddle, std::max(room, 0)) + d.share));
    }
}

// The shown pies share the panel above the swatches in rows of at most four.
void TStatPageSpace::layoutPies()
{
    std::vector<QChartView *> visible;
    for (QChartView *v : pie)
        if (!v->isHidden())
            visible.push_back(v);
    if (!pieTotal->isHidden())
        visible.push_back(pieTotal);
    if (visible.empty())
        return;
    const int n = int(visible.size());
    const int columns = std::min(n, 4);
    const int rows = (n + columns - 1) / columns;
    const int w = pnlPie->width() / columns, h = host.scaledLength(282) / rows;
    for (int i = 0; i < n; ++i)
        visible[size_t(i)]->setGeometry((i % columns) * w, (i / columns) * h, w, h);
}

void TStatPageSpace::selectAllDrives(bool all)
{
    {
        const QSignalBlocker quiet(pckStatDrive);
        if (all)
            pckStatDrive->selectAll();
        else
            pckStatDrive->clearSelection();
    }
    doDiskSize();
}

void TStatPageSpace::showPage()
{
    barDepth_ = 1;
    doDiskSize();
    Timer2->start();
}

void TStatPageSpace::turnPies()
{
    if (host.isCurrentPage(page_) && rgSpace1->isChecked()) {
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
}

void TStatPageSpace::showPiesTurning(bool on) { ScrollBar1->setVisible(!on); }

void TStatPageSpace::ScrollBar1Change()
{
    for (QChartView *v : pie)
        if (!v->isHidden())
            setRotation(v, ScrollBar1->value());
    if (!pieTotal->isHidden())
        setRotation(pieTotal, ScrollBar1->value());
}

void TStatPageSpace::Timer2Timer()
{
    const bool current = host.isCurrentPage(page_);
    const StatCharts::DepthStep d = StatCharts::barDepthStep(charted_);
    if (current && barDepth_ < d.limit)
        barDepth_ += d.step;
    if (!current || barDepth_ >= d.limit)
        Timer2->stop();
}

bool TStatPageSpace::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::MouseButtonPress) {
        bool onPie = watched == pieTotal->viewport();
        for (QChartView *v : pie)
            onPie = onPie || watched == v->viewport();
        if (onPie) {
            host.turnPies(!host.piesTurning());
            return true;
        }
    }
    return TStatPage::eventFilter(watched, event);
}

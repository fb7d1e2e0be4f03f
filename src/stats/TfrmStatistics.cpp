#include "stats/TfrmStatistics.h"

#include "common/Dialogs.h"
#include "common/Runs.h"
#include "common/TBackdrop.h"
#include "common/TDialogFrame.h"
#include "common/TLongLived.h"
#include "common/TModal.h"
#include "common/TPrintImage.h"
#include "common/Text.h"
#include "platform/Drives.h"
#include "scan/TFixedWindow.h"
#include "scan/TFontScale.h"
#include "scan/TPrintGrid.h"
#include "stats/TStatPageAges.h"
#include "stats/TStatPageAttributes.h"
#include "stats/TStatPageDeleted.h"
#include "stats/TStatPageOverhang.h"
#include "stats/TStatPageSizes.h"
#include "stats/TStatPageSpace.h"
#include "stats/TStatPageTime.h"
#include "stats/TStatPageTypes.h"
#include "stats/TStatWidgets.h"
#include "stats/TfrmWhichDrive.h"

#include <QApplication>
#include <QChart>
#include <QChartView>
#include <QCloseEvent>
#include <QGroupBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QPrinter>
#include <QPushButton>
#include <QRadioButton>
#include <QStatusBar>
#include <QTabBar>
#include <QTabWidget>
#include <QTableWidget>
#include <QTimer>

using TStatWidgets::driveReady;
using TStatWidgets::driveRoot;

namespace {
constexpr int kClientW = 632, kClientH = 431;
}

TfrmStatistics::TfrmStatistics(QWidget *parent)
    : QDialog(parent), space_(std::make_unique<TStatPageSpace>(host(), scan_.tallies)),
      deleted_(std::make_unique<TStatPageDeleted>(host(), scan_.tallies)),
      types_(std::make_unique<TStatPageTypes>(host(), scan_.tallies)),
      sizes_(std::make_unique<TStatPageSizes>(host(), scan_.tallies)),
      overhang_(std::make_unique<TStatPageOverhang>(host(), scan_.tallies)),
      ages_(std::make_unique<TStatPageAges>(host(), scan_.tallies)),
      attributes_(std::make_unique<TStatPageAttributes>(host(), scan_.tallies)),
      time_(std::make_unique<TStatPageTime>(host(), scan_.tallies)),
      // The pages' controls under their names in the layout.
      lblTotal(space_->lblTotal), lblFree(space_->lblFree), lblUsed(space_->lblUsed), lblTot(space_->lblTot),
      lblPct(space_->lblPct), lblPct2(space_->lblPct2), lblCaptions(space_->lblCaptions), Panel1(space_->Panel1),
      Panel2(space_->Panel2), pckStatDrive(space_->pckStatDrive), pnlDrives(space_->pnlDrives),
      rgSpace1(space_->rgSpace1), rgSpace2(space_->rgSpace2), cbTotal(space_->cbTotal),
      chartSpaceBar(space_->chartSpaceBar), pnlPie(space_->pnlPie), pie(space_->pie), pieTotal(space_->pieTotal),
      Panel3(space_->Panel3), Panel5(space_->Panel5), ScrollBar1(space_->ScrollBar1), SelectAll1(space_->SelectAll1),
      DeselectAll1(space_->DeselectAll1), Timer2(space_->Timer2), edNdelete(deleted_->edNdelete),
      edSzDelete(deleted_->edSzDelete), edNWaste(deleted_->edNWaste), edSzWaste(deleted_->edSzWaste),
      edNZip(deleted_->edNZip), edSzZip(deleted_->edSzZip), lblSince1(deleted_->lblSince1),
      lblZipSince(deleted_->lblZipSince), Button1(deleted_->Button1), gridTypes(types_->gridTypes),
      chartPie(types_->chartPie), ScrollBar2(types_->ScrollBar2), rgTypes(types_->rgTypes),
      rgTypesItems(types_->rgTypesItems), btSort(types_->btSort), sortMenu(types_->sortMenu),
      sortItems(types_->sortItems), Chart1(sizes_->Chart1), gridSizes(sizes_->gridSizes), rgSize0(sizes_->rgSize0),
      rgSize1(sizes_->rgSize1), rgSize2(sizes_->rgSize2), lblOver(overhang_->lblOver), lblCSize(overhang_->lblCSize),
      chartOverhang(overhang_->chartOverhang), imArrow(overhang_->imArrow), pnlOverhang(overhang_->pnlOverhang),
      pnlCluster(overhang_->pnlCluster), lblSize(overhang_->lblSize), lblLbl(overhang_->lblLbl),
      lblNumFiles(overhang_->lblNumFiles), Memo1(overhang_->Memo1), chartAge(ages_->chartAge),
      gridAge(ages_->gridAge), rgAge0(ages_->rgAge0), rgAge1(ages_->rgAge1), rgAge2(ages_->rgAge2),
      chartCombine(ages_->chartCombine), gridCombine(ages_->gridCombine), rbCombine1(ages_->rbCombine1),
      rbCombine2(ages_->rbCombine2), rgCombine0(ages_->rgCombine0), lblNAttr(attributes_->lblNAttr),
      lblSzAttr(attributes_->lblSzAttr), Chart2(attributes_->Chart2), Chart3(attributes_->Chart3),
      Chart4(time_->Chart4), sbTime(time_->sbTime)
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
    // The pie timer first: the pages start and stop it.
    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(50);
    connect(Timer1, &QTimer::timeout, this, &TfrmStatistics::Timer1Timer);
    space_->build(pages[Space]);
    deleted_->build(pages[Deleted]);
    types_->build(pages[Types]);
    sizes_->build(pages[Sizes]);
    overhang_->build(pages[Overhang]);
    ages_->build({pages[Access], pages[Created], pages[Modified]}, pages[Combined]);
    attributes_->build(pages[Attribute]);
    time_->build(pages[Time]);
    for (size_t i = 0; i < 4; ++i)
        SpeedButton[i] = ages_->SpeedButton[i];
    SpeedButton[4] = time_->SpeedButton;
    buildButtons();
    buildNotYet();
    connect(btOK, &QPushButton::clicked, this, &TfrmStatistics::btOKClick);
    connect(btCancel, &QPushButton::clicked, this, &TfrmStatistics::btCancelClick);
    connect(btAbort, &QPushButton::clicked, this, &TfrmStatistics::btAbortClick);
    connect(btPrint, &QPushButton::clicked, this, &TfrmStatistics::btPrintClick);

    clusterSizeOf = [](const QString &entry) { return StatTallies::computeClusterSize(entry); };
    driveSpace = [](const std::string &root, double &freeBytes, double &totalBytes, double &usedBytes) {
        return Drives::driveSpace(root, freeBytes, totalBytes, usedBytes);
    };
    changeBackgroundColor(QApplication::palette().color(QPalette::Button));
    // Charts first on every page; the types page starts in its pie form,
    // its pie at rest until it is drawn.
    sizes_->rgSizesClick();
    ages_->rgAccessClick();
    gridTypes->hide();
    btSort->hide();
    connect(OvcNotebook1, &QTabWidget::currentChanged, this, &TfrmStatistics::OvcNotebook1PageChanged);

    scan_.status = [this](const QString &s) { setStatus(s); };
    scan_.walker.cannotOpen = [](const QString &entry) {
        dialogs().showMessage(QStringLiteral("Can't open drive ") + entry);
    };

    OvcNotebook1->setCurrentIndex(Space);
    scaleToFont();
    TFixedWindow::centre(this);
}

// The pages go before the widgets they drive: no page change of the notebook
// being taken down reaches them.
TfrmStatistics::~TfrmStatistics()
{
    disconnect(OvcNotebook1, nullptr, this, nullptr);
}

TfrmStatistics &TfrmStatistics::instance() { return TLongLived<TfrmStatistics>::instance(); }

void TfrmStatistics::buildButtons()
{
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
}

void TfrmStatistics::buildNotYet()
{
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
    types_->setHeaders();
    QDialog::showEvent(event);
    if (OvcNotebook1->currentIndex() != Space)
        space_->doDiskSize();
    OvcNotebook1PageChanged(OvcNotebook1->currentIndex());
}

void TfrmStatistics::OvcNotebook1PageChanged(int index)
{
    // The active tab's caption is red.
    for (int i = 0; i < OvcNotebook1->count(); ++i)
        OvcNotebook1->tabBar()->setTabTextColor(i, i == index ? QColor(Qt::red) : QColor());
    if (index == Deleted) {
        deleted_->showFilesDeleted();
        pnlNotYet->hide();
    } else if (index == Space) {
        space_->showPage();
        pnlNotYet->hide();
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
    const Runs::Token token(QStringLiteral("a statistics collection"), [this] { scan_.abort(); });
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
        turnPies(false);
        scan();
        turnPies(turning);
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
    ages_->fillGrids();
    doFileTimes();
    doFileAges();
    SortbyExtensionClick(0);

    const StatTallies &t = scan_.tallies;
    QString status = QStringLiteral("Finished - ") + formatThousands(t.filesProcessed) + QStringLiteral(" files processed");
    if (t.filesCounted != t.filesProcessed)
        status += QStringLiteral(" ") + formatThousands(t.filesCounted) + QStringLiteral(" files found");
    if (scan_.aborted())
        status += QStringLiteral(" INCOMPLETE ... ABORTED");
    else if (const QString skipped = scan_.walker.skippedText(); !skipped.isEmpty())
        status += QStringLiteral("  ") + skipped; // folders the walk could not enter
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
    if (!overhang_->doOverHang(clusterSize))
        disableOverhang();
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

// --- The pages' drawing, for the run and for tests -------------------------------------

void TfrmStatistics::doFileTypes() { types_->doFileTypes(); }

void TfrmStatistics::SortbyExtensionClick(int item) { types_->SortbyExtensionClick(item); }

void TfrmStatistics::doFileSizes() { sizes_->doFileSizes(); }

void TfrmStatistics::fillGridSizes() { sizes_->fillGridSizes(); }

void TfrmStatistics::fillGridDates(const QString &title, QTableWidget *grid, int kind)
{
    ages_->fillGridDates(title, grid, kind);
}

void TfrmStatistics::fillCombinedGridDates() { ages_->fillCombinedGridDates(); }

void TfrmStatistics::doFileAges() { ages_->doFileAges(); }

void TfrmStatistics::doFileAttrs() { attributes_->doFileAttrs(); }

void TfrmStatistics::doFileTimes() { time_->doFileTimes(); }

int TfrmStatistics::barDepth() const { return space_->barDepth(); }

int TfrmStatistics::timeDepth() const { return time_->timeDepth(); }

const QStringList &TfrmStatistics::timeLabels() const { return time_->timeLabels(); }

// --- Animation ----------------------------------------------------------------------------------

int TfrmStatistics::rotation(const QChartView *pie) { return TStatWidgets::rotation(pie); }

void TfrmStatistics::turnPies(bool on)
{
    if (on)
        Timer1->start();
    else
        Timer1->stop();
    space_->showPiesTurning(on);
}

bool TfrmStatistics::piesTurning() const { return Timer1->isActive(); }

void TfrmStatistics::Timer1Timer()
{
    if (inTimer1_)
        return;
    inTimer1_ = true;
    space_->turnPies();
    types_->turnPie();
    inTimer1_ = false;
}

void TfrmStatistics::Timer2Timer() { space_->Timer2Timer(); }


// --- What the pages ask of the window -------------------------------------------------------------

bool TfrmStatistics::isCurrentPage(const QWidget *page) const { return OvcNotebook1->currentWidget() == page; }

int TfrmStatistics::scaledLength(int v) const { return scaled(v); }

bool TfrmStatistics::spaceOf(const std::string &root, double &freeBytes, double &totalBytes, double &usedBytes) const
{
    return driveSpace(root, freeBytes, totalBytes, usedBytes);
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

#include "scan/TFinderFrame.h"

#include "settings/TWinPlace.h"
#include "common/Dialogs.h"
#include "common/Navigation.h"
#include "common/Text.h"
#include "scan/TDriveCheckList.h"
#include "scan/TFontScale.h"
#include "scan/TPatternBox.h"
#include "scan/TResultGrid.h"

#include <QApplication>
#include <QCloseEvent>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

#include <algorithm>

namespace {
constexpr int kButtonGap = 3;
}

QPushButton *TFinderFrame::newButton(QWidget *parent, const char *name, const QString &caption, const QString &hint)
{
    auto *b = new QPushButton(caption, parent);
    b->setObjectName(QLatin1String(name));
    b->setToolTip(hint);
    b->setAutoDefault(false);
    b->resize(75, 25);
    return b;
}

TFinderFrame::TFinderFrame(const FinderFrameSpec &spec, QWidget *parent) : QDialog(parent), spec_(spec)
{
    setObjectName(spec.objectName);
    setWindowTitle(spec.caption);
    setWindowFlags(spec.flags);
    setSizeGripEnabled(true);

    pnlTop = new QWidget(this);
    pnlTop->setObjectName(QStringLiteral("pnlTop"));
    pnlTop->setGeometry(0, 0, spec.panel.width(), spec.panel.height());
    pnlTop->setFixedHeight(spec.panel.height());
    pnlTop->setMinimumWidth(spec.panel.width());

    pckDrive = new TDriveCheckList(pnlTop);
    pckDrive->setObjectName(QStringLiteral("pckDrive"));
    pckDrive->move(spec.panel.width() - 8 - pckDrive->width(), spec.driveListTop);
    pckDrive->keepAtRight(8);
    addWalkInput(pckDrive);
    if (spec.patternBox) {
        patternBox = new TPatternBox(pnlTop);
        addWalkInput(patternBox);
    }

    btScan = newButton(pnlTop, "btScan", QStringLiteral("&Start"), spec.startHint);
    btClose = newButton(pnlTop, "btClose", QStringLiteral("Close"), QStringLiteral("Close window"));
    btAbort = newButton(pnlTop, "btAbort", QStringLiteral("&Abort"), QStringLiteral("Abort scan"));
    btMark = newButton(pnlTop, "btMark", QStringLiteral("&Mark"),
                       QStringLiteral("Mark file for deletion (double click on grid also works)"));
    btDelete = newButton(pnlTop, "btDelete", QStringLiteral("Clean?"), QStringLiteral("Clean up marked files"));
    btOptions = newButton(pnlTop, "btOptions", QStringLiteral("Options"), QStringLiteral("Right click on grid for same options"));
    btBrowse = newButton(pnlTop, "btBrowse", QStringLiteral("&Browse"), QStringLiteral("Browse this file and folder"));
    btDetails = newButton(pnlTop, "btDetails", QStringLiteral("&Details"), QStringLiteral("View more file details"));

    grid = new TResultGrid(GridLayout{}, this);
    configureGrid(spec.grid);
    grid->setTopPanel(pnlTop);

    pnlSel = new QLabel(this);
    pnlSel->setObjectName(QStringLiteral("pnlSel"));
    pnlSel->setFrameShape(QFrame::StyledPanel);
    pnlSel->setFrameShadow(QFrame::Sunken);
    pnlSel->setMinimumHeight(19);

    auto *box = new QVBoxLayout(this);
    box->setContentsMargins(0, 0, 0, 0);
    box->setSpacing(0);
    box->addWidget(pnlTop);
    box->addWidget(grid, 1);
    box->addWidget(pnlSel);

    connect(btScan, &QPushButton::clicked, this, &TFinderFrame::btScanClick);
    connect(btClose, &QPushButton::clicked, this, &QDialog::close);
    connect(btAbort, &QPushButton::clicked, this, &TFinderFrame::btAbortClick);
    connect(btMark, &QPushButton::clicked, grid, &TResultGrid::DeleteAllFiles);
    connect(btDelete, &QPushButton::clicked, this, &TFinderFrame::btDeleteClick);
    connect(btOptions, &QPushButton::clicked, this,
            [this] { grid->PopupMenu1()->popup(btOptions->mapToGlobal(QPoint(0, btOptions->height()))); });
    connect(btBrowse, &QPushButton::clicked, this, &TFinderFrame::BrowseDirectory1Click);
    connect(btDetails, &QPushButton::clicked, grid, &TResultGrid::Details1Click);
    if (spec.marking)
        connect(grid, &TResultGrid::cleanEnabled, btDelete, &QPushButton::setEnabled);

    walker_.status = [this](const QString &s) { setStatus(s); };

    resize(spec.initialSize);
    if (!spec.placementStore.isEmpty()) {
        place_ = new TWinPlace(this);
        place_->IniFileName = spec.placementStore;
        place_->Identifier = QStringLiteral("frmMods");
        if (!spec.placementSection.isEmpty())
            place_->Section = spec.placementSection;
    }

    pckDrive->fillDriveList();
    pckDrive->setStartButton(btScan);
}

TFinderFrame::~TFinderFrame()
{
    if (hintsOff_)
        qApp->removeEventFilter(this);
    if (place_)
        place_->save();
}

void TFinderFrame::configureGrid(GridLayout layout)
{
    layout.statusSink = [this](const QString &s) { setStatus(s); };
    grid->configure(layout);
    grid->FormResize(width());
}

void TFinderFrame::setStartHint(const QString &hint)
{
    spec_.startHint = hint;
    btScan->setToolTip(hint);
}

void TFinderFrame::addStartButton(QPushButton *b)
{
    addWalkInput(b);
    pckDrive->addStartButton(b);
}

void TFinderFrame::addResultButton(QPushButton *b, bool shownWithResults)
{
    extraButtons_.emplace_back(b, shownWithResults);
}

int TFinderFrame::foundCount() const { return grid->rowsFilled(); }

void TFinderFrame::setStatus(const QString &text) { pnlSel->setText(text); }

QString TFinderFrame::foundStatus(int found) const { return formatThousands(found) + spec_.foundSuffix; }

QString TFinderFrame::browseMask() const { return patternBox ? patternBox->pattern() : QString(); }

void TFinderFrame::showEvent(QShowEvent *e)
{
    // The window manager's own shows (a restore from minimised) keep the
    // results, the marks and a walk's controls as they are.
    if (!e->spontaneous())
        FormShow();
    QDialog::showEvent(e);
}

void TFinderFrame::scaleToFont()
{
    // The panel, its controls, the button row and the window's default and
    // smallest sizes were drawn in fixed pixels for a narrower font: all
    // grow once by the same factor, so every caption fits.
    scale_ = TFontScale::factor(this);
    TFontScale::scaleChildren(pnlTop, scale_);
    spec_.panel = TFontScale::scaled(spec_.panel, scale_);
    spec_.buttonRow = TFontScale::scaled(spec_.buttonRow, scale_);
    pnlTop->setFixedHeight(spec_.panel.height());
    pnlTop->setMinimumWidth(spec_.panel.width());
    pnlTop->resize(std::max(pnlTop->width(), spec_.panel.width()), spec_.panel.height());
    if (!place_ || !place_->hasStored())
        resize(TFontScale::windowSize(this, spec_.initialSize, scale_));
}

void TFinderFrame::FormShow()
{
    if (scale_ == 0)
        scaleToFont();
    openingSteps();
    grid->rememberPanelHeight();
    grid->ClearGrid();
    showResultButtons(false);
    btAbort->hide();
    btMark->hide();
    btDelete->hide();
    btDelete->setEnabled(false);
    walker_.scanAborted = false;
    pnlSel->clear();
    btClose->setEnabled(true);
    pckDrive->pckDriveClick();
    setWindowTitle(spec_.caption);
    btScan->setToolTip(spec_.startHint);
    layoutButtons();
    btScan->setFocus();
    // The smallest window follows from the top panel as designed (the
    // placement component has restored a stored placement before this runs).
    const QRect laidOut = pnlTop->geometry();
    pnlTop->resize(spec_.panel.width(), pnlTop->height());
    setMinimumSize(TResultGrid::minimumWindowSize(pnlTop));
    pnlTop->setGeometry(laidOut);
    if (!place_)
        move(screen()->availableGeometry().center() - rect().center());
    else if (!place_->hasStored())
        place_->centre();
    grid->FormResize(width());
    if (patternBox)
        patternBox->fillPatternList();
}

void TFinderFrame::layoutButtons()
{
    int x = spec_.buttonRow.x();
    const int y = spec_.buttonRow.y();
    // Abort shares its place with "&Mark", or with "Clean?" in a window
    // without marking: only one of the two is ever visible.
    std::vector<QPushButton *> row;
    if (startInRow_)
        row.push_back(btScan);
    row.push_back(btClose);
    if (spec_.marking)
        row.insert(row.end(), {btMark, btDelete, btOptions, btBrowse, btDetails});
    else
        row.insert(row.end(), {btDelete, btOptions, btBrowse});
    for (const auto &[b, shown] : extraButtons_)
        row.push_back(b);
    for (QPushButton *b : row) {
        b->move(x, y);
        if (b == (spec_.marking ? btMark : btDelete))
            btAbort->move(x, y); // only one of the two is ever visible
        x += b->width() + TFontScale::scaled(kButtonGap, scale_);
    }
}

void TFinderFrame::resizeEvent(QResizeEvent *e)
{
    QDialog::resizeEvent(e);
    grid->FormResize(width());
}

void TFinderFrame::showResultButtons(bool on)
{
    btOptions->setVisible(on);
    btBrowse->setVisible(on);
    btDetails->setVisible(on && spec_.marking);
    for (const auto &[b, shown] : extraButtons_)
        b->setVisible(on && shown);
    if (on) {
        btBrowse->setEnabled(Navigation::isAvailable(Navigation::Target::BrowseFolder));
        btDetails->setEnabled(grid->canShowDetails());
    }
}

void TFinderFrame::setWalking(bool on)
{
    btAbort->setVisible(on);
    btScan->setEnabled(!on);
    btClose->setEnabled(!on);
    for (QWidget *w : walkInputs_)
        w->setEnabled(!on);
    if (on) {
        btMark->hide();
        btDelete->hide();
        showResultButtons(false);
        grid->viewport()->setCursor(Qt::WaitCursor);
    } else {
        grid->viewport()->unsetCursor();
        pckDrive->pckDriveClick();
    }
    // Hints stay quiet while the walk runs.
    hintsOff_ = on;
    if (on)
        qApp->installEventFilter(this);
    else
        qApp->removeEventFilter(this);
}

void TFinderFrame::btScanClick()
{
    if (scanning() || !beforeWalk())
        return;
    grid->ClearGrid();
    btDelete->setEnabled(false);
    setWalking(true);
    walker_.scanAllDrives(pckDrive->checkedEntries());
    fillGrid();
    grid->trimRows();
    sortGrid();
    setWalking(false);
    showMarkAndClean();
    const int found = foundCount();
    // Folders the walk could not enter are said after what it found.
    const QString skipped = walker_.skippedText();
    const auto withSkipped = [&](const QString &text) {
        return skipped.isEmpty() ? text : text.isEmpty() ? skipped : text + QStringLiteral("  ") + skipped;
    };
    if (found == 0) {
        if (spec_.clearStatusWhenNoneFound || !skipped.isEmpty())
            setStatus(withSkipped(noneFoundStatus()));
        if (announceNoneFound())
            dialogs().showInfo(skipped.isEmpty() ? QStringLiteral("No files found.")
                                                 : QStringLiteral("No files found.\n\n") + skipped);
        return;
    }
    showResultButtons(true);
    setStatus(withSkipped(foundStatus(found)));
}

void TFinderFrame::showMarkAndClean()
{
    const int found = foundCount();
    btMark->setVisible(found > 0 && spec_.marking);
    btDelete->setVisible(found > 0);
    btDelete->setEnabled(spec_.marking ? grid->markedCount() > 0
                                       : Navigation::isAvailable(Navigation::Target::RemoveFolder));
}

void TFinderFrame::walkAgain(const std::function<void()> &walk)
{
    if (scanning())
        return;
    setWalking(true);
    walk();
    setWalking(false);
    showMarkAndClean();
    showResultButtons(foundCount() > 0);
}

void TFinderFrame::btAbortClick()
{
    if (!scanning() || walker_.scanAborted)
        return;
    btAbort->hide();
    abortWork();
    walker_.abortByUser(spec_.plainAbortBox);
}

void TFinderFrame::btDeleteClick()
{
    if (grid->markedCount() <= 0)
        return;
    // The deletion window; the finder closes once it has acted.
    Navigation::Request r;
    r.from = this;
    r.files = grid->lbDeleted();
    r.archiveTag = spec_.archiveTag;
    r.sameContents = sameContentsGroups();
    r.potentialSavings = double(grid->markedSize());
    if (Navigation::go(Navigation::Target::DeleteFiles, r))
        accept();
}

void TFinderFrame::BrowseDirectory1Click()
{
    const int row = grid->selectedRow();
    if (row >= 1 && row <= grid->rowsFilled())
        Navigation::browseToFile(this, grid->selectedPath(), browseMask());
}

QString TFinderFrame::checkedDrivesTitle(const QString &lead) const
{
    QString title = lead;
    for (const QString &entry : pckDrive->checkedEntries())
        if (!entry.isEmpty())
            title += entry.at(0).toUpper() + QLatin1Char(' ');
    return title;
}

void TFinderFrame::closeEvent(QCloseEvent *e)
{
    if (scanning()) {
        e->ignore();
        btAbortClick();
        return;
    }
    QDialog::closeEvent(e);
}

void TFinderFrame::reject()
{
    if (scanning()) {
        btAbortClick();
        return;
    }
    QDialog::reject();
}

void TFinderFrame::done(int r)
{
    // The walker must outlive its walk: nothing closes the window under it.
    if (scanning())
        return;
    QDialog::done(r);
}

bool TFinderFrame::eventFilter(QObject *watched, QEvent *e)
{
    if (hintsOff_ && e->type() == QEvent::ToolTip && watched->isWidgetType()
        && (watched == this || isAncestorOf(static_cast<QWidget *>(watched))))
        return true;
    return QDialog::eventFilter(watched, e);
}

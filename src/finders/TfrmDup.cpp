#include "finders/TfrmDup.h"

#include "app/AppState.h"
#include "app/TWinPlace.h"
#include "common/Dialogs.h"
#include "common/Navigation.h"
#include "common/TModal.h"
#include "common/Text.h"
#include "finders/DupFinder.h"
#include "finders/DupLine.h"
#include "finders/TfrmDupCompare.h"
#include "safety/TfrmReallyDelete.h"
#include "scan/SortDirections.h"
#include "scan/TDriveCheckList.h"
#include "scan/TPatternBox.h"
#include "scan/TResultGrid.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include <algorithm>

namespace {
constexpr int kPanelHeight = 172;
constexpr int kButtonWidth = 75;
constexpr int kButtonHeight = 25;
constexpr int kButtonGap = 3;

QPushButton *button(QWidget *parent, const char *name, const QString &text, const QString &hint)
{
    auto *b = new QPushButton(text, parent);
    b->setObjectName(QString::fromLatin1(name));
    b->setToolTip(hint);
    b->setAutoDefault(false);
    return b;
}

QSpinBox *numberField(QWidget *parent, const char *name)
{
    auto *n = new QSpinBox(parent);
    n->setObjectName(QString::fromLatin1(name));
    n->setRange(0, 10000);
    n->setSingleStep(1);
    n->setValue(250);
    return n;
}
}

TfrmDup::TfrmDup(QWidget *parent) : QDialog(parent), dupMode_(AppState::dupMode)
{
    setObjectName(QStringLiteral("frmDup"));
    setWindowTitle(DupFinder::caption(dupMode_));
    setWindowFlags(windowFlags() | Qt::WindowMinMaxButtonsHint);
    setSizeGripEnabled(true);
    resize(640, 478);

    pnlTop = new QWidget(this);
    pnlTop->setObjectName(QStringLiteral("pnlTop"));
    pnlTop->setFixedHeight(kPanelHeight);
    pnlTop->setMinimumWidth(620);

    rbLarger = new QRadioButton(QStringLiteral("Larger or equal to"), pnlTop);
    rbLarger->setObjectName(QStringLiteral("rbLarger"));
    rbSmaller = new QRadioButton(QStringLiteral("Smaller or equal to"), pnlTop);
    rbSmaller->setObjectName(QStringLiteral("rbSmaller"));
    rbBetween = new QRadioButton(QStringLiteral("In between"), pnlTop);
    rbBetween->setObjectName(QStringLiteral("rbBetween"));
    rbLarger->setChecked(true);
    rbLarger->setGeometry(8, 8, 140, 20);
    rbSmaller->setGeometry(8, 30, 140, 20);
    rbBetween->setGeometry(8, 52, 140, 20);
    for (QRadioButton *rb : {rbLarger, rbSmaller, rbBetween})
        connect(rb, &QRadioButton::toggled, this, [this](bool on) {
            if (on)
                rbSizeClick();
        });

    num1 = numberField(pnlTop, "num1");
    num1->setGeometry(152, 8, 72, 22);
    cbKB1 = new QComboBox(pnlTop);
    cbKB1->setObjectName(QStringLiteral("cbKB1"));
    cbKB1->addItems({QStringLiteral("bytes"), QStringLiteral("KB")});
    cbKB1->setCurrentIndex(1);
    cbKB1->setGeometry(230, 8, 64, 22);
    lblAnd = new QLabel(QStringLiteral("and"), pnlTop);
    lblAnd->setObjectName(QStringLiteral("lblAnd"));
    lblAnd->setGeometry(152, 32, 40, 18);
    num2 = numberField(pnlTop, "num2");
    num2->setGeometry(152, 52, 72, 22);

    patternBox = new TPatternBox(pnlTop);
    patternBox->setGeometry(8, 80, 400, 26);

    lblDup = new QLabel(QStringLiteral("Duplicates matching on : "), pnlTop);
    lblDup->setObjectName(QStringLiteral("lblDup"));
    lblDup->setGeometry(8, 114, 140, 18);
    cbDup = new QComboBox(pnlTop);
    cbDup->setObjectName(QStringLiteral("cbDup"));
    cbDup->addItems(DupLine::criterionTexts());
    cbDup->setGeometry(152, 112, 256, 22);

    pckDrive = new TDriveCheckList(pnlTop);
    pckDrive->setObjectName(QStringLiteral("pckDrive"));
    pckDrive->move(pnlTop->minimumWidth() - 8 - pckDrive->width(), 6);
    pckDrive->keepAtRight(8);

    btScan = button(pnlTop, "btScan", QStringLiteral("&Start"), DupFinder::startHint(dupMode_));
    btScan->setDefault(true);
    btClose = button(pnlTop, "btClose", QStringLiteral("Close"), QStringLiteral("Close window"));
    btAbort = button(pnlTop, "btAbort", QStringLiteral("&Abort"), QStringLiteral("Abort scan"));
    btMark = button(pnlTop, "btMark", QStringLiteral("&Mark"),
                    QStringLiteral("Mark file for deletion (double click on grid also works)"));
    btDelete = button(pnlTop, "btDelete", QStringLiteral("Clean?"), QStringLiteral("Clean up marked files"));
    btOptions = button(pnlTop, "btOptions", QStringLiteral("Options"), QStringLiteral("Right click on grid for same options"));
    btBrowse = button(pnlTop, "btBrowse", QStringLiteral("&Browse"), QStringLiteral("Browse this file and folder"));
    btDetails = button(pnlTop, "btDetails", QStringLiteral("&Details"), QStringLiteral("View more file details"));
    btCompare = button(pnlTop, "btCompare", QStringLiteral("P&airs"), QStringLiteral("Compare file pairs"));

    GridLayout layout = DupFinder::gridLayout(dupMode_, 0);
    layout.statusSink = [this](const QString &s) { setStatus(s); };
    grid = new TResultGrid(layout, this);
    grid->setObjectName(QStringLiteral("grid"));
    grid->setTopPanel(pnlTop);
    grid->printTitle = [this] { return printTitle(); };
    gridCriterion_ = 0;

    pnlSel = new QLabel(this);
    pnlSel->setObjectName(QStringLiteral("pnlSel"));
    pnlSel->setFrameStyle(QFrame::Panel | QFrame::Sunken);

    auto *box = new QVBoxLayout(this);
    box->setContentsMargins(0, 0, 0, 0);
    box->setSpacing(0);
    box->addWidget(pnlTop);
    box->addWidget(grid, 1);
    box->addWidget(pnlSel);

    connect(btScan, &QPushButton::clicked, this, &TfrmDup::btScanClick);
    connect(btClose, &QPushButton::clicked, this, &TfrmDup::close);
    connect(btAbort, &QPushButton::clicked, this, &TfrmDup::btAbortClick);
    connect(btMark, &QPushButton::clicked, grid, &TResultGrid::DeleteAllFiles);
    connect(btDelete, &QPushButton::clicked, this, &TfrmDup::btDeleteClick);
    connect(btOptions, &QPushButton::clicked, this,
            [this] { grid->PopupMenu1()->popup(btOptions->mapToGlobal(QPoint(0, btOptions->height()))); });
    connect(btBrowse, &QPushButton::clicked, this, &TfrmDup::BrowseDirectory1Click);
    connect(btDetails, &QPushButton::clicked, grid, &TResultGrid::Details1Click);
    connect(btCompare, &QPushButton::clicked, this, &TfrmDup::btCompareClick);
    connect(grid, &TResultGrid::cleanEnabled, btDelete, &QPushButton::setEnabled);

    walker_.visitor = [this](const FoundFile &f) { return visit(f); };
    walker_.status = [this](const QString &s) { setStatus(s); };

    place_ = new TWinPlace(this);
    place_->IniFileName = QStringLiteral("vantor.ini");
    place_->Identifier = QStringLiteral("frmMods");
    place_->Section = DupFinder::placementSection(dupMode_);
    place_->Delimiter = QStringLiteral(" ");

    pckDrive->fillDriveList();
    pckDrive->setStartButton(btScan);
    qApp->installEventFilter(this);
}

TfrmDup::~TfrmDup()
{
    qApp->removeEventFilter(this);
    place_->save();
}

void TfrmDup::showEvent(QShowEvent *e)
{
    // 1. Unit, panel height, grid, numbers.
    cbKB1->setCurrentIndex(1);
    grid->rememberPanelHeight();
    grid->ClearGrid();
    num1->setValue(250);
    num2->setValue(250);
    // 2. Buttons and lists as before a first scan.
    btOptions->hide();
    btBrowse->hide();
    btDetails->hide();
    btCompare->hide();
    lbList.reset(dupMode_, criterion_);
    walker_.scanAborted = false;
    btAbort->hide();
    pnlSel->clear();
    btMark->hide();
    btDelete->hide();
    btScan->setEnabled(true);
    btClose->setEnabled(true);
    pckDrive->pckDriveClick();
    // 3. The mode's controls, caption and hint.
    lblDup->setVisible(dupMode_);
    cbDup->setVisible(dupMode_);
    setWindowTitle(DupFinder::caption(dupMode_));
    btScan->setToolTip(DupFinder::startHint(dupMode_));
    rbSizeClick();
    layoutButtons();
    btScan->setFocus();
    // 4. Size limits, position, columns, patterns (the placement component
    // has restored a stored placement before this handler runs).
    // The panel stretches with the window; its designed width is what the
    // window may not get narrower than.
    const QSize least = TResultGrid::minimumWindowSize(pnlTop);
    const double scale = logicalDpiX() / 96.0;
    setMinimumSize(std::min(least.width(), int((pnlTop->minimumWidth() + 3) * scale)), least.height());
    if (!place_->hasStored())
        place_->centre();
    grid->FormResize(width());
    patternBox->fillPatternList();
    QDialog::showEvent(e);
}

void TfrmDup::resizeEvent(QResizeEvent *e)
{
    QDialog::resizeEvent(e);
    grid->FormResize(width());
}

void TfrmDup::layoutButtons()
{
    const int y = kPanelHeight - kButtonHeight - 4;
    int x = 8;
    auto place = [&](std::initializer_list<QPushButton *> at) {
        for (QPushButton *b : at)
            b->setGeometry(x, y, kButtonWidth, kButtonHeight);
        x += kButtonWidth + kButtonGap;
    };
    place({btScan});
    place({btClose});
    place({btAbort, btMark});
    place({btDelete});
    place({btOptions});
    place({btBrowse});
    place({btDetails});
    place({btCompare});
}

void TfrmDup::rbSizeClick()
{
    const bool between = rbBetween->isChecked();
    num2->setVisible(between);
    lblAnd->setVisible(between);
}

SizeChoice TfrmDup::sizeChoice() const
{
    SizeChoice c;
    c.kind = rbBetween->isChecked() ? SizeChoice::Between
                                    : (rbSmaller->isChecked() ? SizeChoice::Smaller : SizeChoice::Larger);
    c.num1 = num1->value();
    c.num2 = num2->value();
    c.kilobytes = cbKB1->currentIndex() == 1;
    return c;
}

QString TfrmDup::printTitle() const
{
    return DupFinder::printTitle(dupMode_, sizeChoice(), patternBox->pattern(), pckDrive->checkedEntries());
}

void TfrmDup::setStatus(const QString &text) { pnlSel->setText(text); }

void TfrmDup::btScanClick()
{
    if (walker_.running())
        return;
    const SizeChoice c = sizeChoice();
    if (!c.valid()) {
        dialogs().showError(QStringLiteral("The second number must be larger or equal than the first number"));
        return;
    }
    if (dupMode_)
        criterion_ = cbDup->currentIndex();
    hintsOn_ = false;
    if (dupMode_ && criterion_ != gridCriterion_) {
        GridLayout layout = DupFinder::gridLayout(true, criterion_);
        layout.statusSink = [this](const QString &s) { setStatus(s); };
        grid->configure(layout);
        grid->FormResize(width());
        gridCriterion_ = criterion_;
    }
    grid->ClearGrid();
    scan();
    hintsOn_ = true;
}

void TfrmDup::setInputsEnabled(bool on)
{
    btScan->setEnabled(on);
    btClose->setEnabled(on);
    pckDrive->setEnabled(on);
    for (QWidget *w : std::initializer_list<QWidget *>{num1, num2, cbKB1, patternBox, rbLarger, rbSmaller, rbBetween, cbDup})
        w->setEnabled(on);
    if (on)
        pckDrive->pckDriveClick();
}

void TfrmDup::setResultButtons(bool any)
{
    btOptions->setVisible(any);
    btBrowse->setVisible(any);
    btBrowse->setEnabled(Navigation::isAvailable(Navigation::Target::BrowseFolder));
    btDetails->setVisible(any);
    btDetails->setEnabled(grid->canShowDetails());
    btCompare->setVisible(any && dupMode_);
}

bool TfrmDup::visit(const FoundFile &f)
{
    if (!choice_.keeps(f.size))
        return true;
    if (!walker_.keep())
        return false;
    return lbList.add(f.folder, f.name, f.size, f.written, f.accessed);
}

void TfrmDup::scan()
{
    // 1, 2. Empty lists; the thresholds.
    lbList.reset(dupMode_, criterion_);
    choice_ = sizeChoice();
    // 3. The controls of a running scan.
    walker_.scanAborted = false;
    btAbort->show();
    btMark->hide();
    btDelete->hide();
    setInputsEnabled(false);
    setResultButtons(false);
    grid->viewport()->setCursor(Qt::WaitCursor);
    // 4. The walk.
    walker_.mask = WildPattern(patternBox->pattern());
    walker_.scanAllDrives(pckDrive->checkedEntries());
    // 5, 6. Grouping or the reversed list into the grid.
    const std::vector<uint32_t> rows = dupMode_ ? lbList.addDups() : lbList.reSort();
    grid->gridModel()->reserve(int(rows.size()));
    for (uint32_t id : rows)
        grid->addToGrid(lbList.line(id), lbList.path(id));
    lbList.clear();
    grid->trimRows();
    // 7. File hogs: largest first, which leaves the next "&Size" ascending.
    if (!dupMode_ && grid->rowsFilled() > 0) {
        SortDirections::setDescending(QStringLiteral("FileHogs/Size"), true);
        grid->Sortbysize1Click(0);
    }
    // 8, 9. Cursor, buttons and inputs back.
    grid->viewport()->unsetCursor();
    btAbort->hide();
    const bool any = grid->rowsFilled() > 0;
    btMark->setVisible(any);
    btDelete->setVisible(any);
    btDelete->setEnabled(grid->markedCount() > 0);
    setInputsEnabled(true);
    // 10. The outcome.
    if (!any) {
        setStatus(QString());
        dialogs().showInfo(QStringLiteral("No files found."));
        return;
    }
    setResultButtons(true);
    setStatus(formatThousands(grid->rowsFilled())
              + (dupMode_ ? QStringLiteral(" duplicates found") : QStringLiteral(" file hogs found")));
}

void TfrmDup::btAbortClick()
{
    btAbort->hide();
    walker_.abortByUser();
}

void TfrmDup::MarkThisFile(int row) { grid->MarkThisFile(row); }

void TfrmDup::btDeleteClick()
{
    if (grid->markedCount() <= 0)
        return;
    TfrmReallyDelete dlg(this);
    dlg.setFiles(grid->lbDeleted());
    dlg.archiveTag = QStringLiteral("Duplicates");
    dlg.potentialSavings = double(grid->markedSize());
    if (TModal::exec(&dlg) == QDialog::Accepted)
        accept();
}

void TfrmDup::btCompareClick()
{
    TfrmDupCompare &pairs = TfrmDupCompare::instance();
    pairs.setFinder(this);
    pairs.show();
    pairs.raise();
}

void TfrmDup::BrowseDirectory1Click()
{
    const int row = grid->selectedRow();
    if (row >= 1 && row <= grid->rowsFilled())
        Navigation::browseToFile(this, grid->selectedPath(), patternBox->pattern());
}

void TfrmDup::closeEvent(QCloseEvent *e)
{
    if (walker_.running()) {
        e->ignore();
        btAbortClick();
        return;
    }
    QDialog::closeEvent(e);
}

void TfrmDup::reject()
{
    if (walker_.running()) {
        btAbortClick();
        return;
    }
    QDialog::reject();
}

void TfrmDup::done(int r)
{
    if (walker_.running())
        return;
    TfrmDupCompare::instance().hide();
    QDialog::done(r);
}

bool TfrmDup::eventFilter(QObject *watched, QEvent *e)
{
    if (!hintsOn_ && e->type() == QEvent::ToolTip && watched->isWidgetType()
        && (watched == this || isAncestorOf(static_cast<QWidget *>(watched))))
        return true;
    return QDialog::eventFilter(watched, e);
}

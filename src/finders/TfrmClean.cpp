#include "finders/TfrmClean.h"

#include "app/TWinPlace.h"
#include "common/Dialogs.h"
#include "common/Navigation.h"
#include "common/DosTime.h"
#include "common/TModal.h"
#include "common/Text.h"
#include "finders/TempPatterns.h"
#include "finders/TfrmTempFiles.h"
#include "platform/DirReader.h"
#include "platform/FileTypes.h"
#include "safety/TfrmReallyDelete.h"
#include "scan/TDriveCheckList.h"
#include "scan/TResultGrid.h"

#include <QApplication>
#include <QCloseEvent>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QVBoxLayout>

namespace {
constexpr int kPanelWidth = 632;  // the top panel as designed; the window's minimum follows from it
constexpr int kPanelHeight = 170;
constexpr int kButtonRow = 140;

QPushButton *button(QWidget *parent, const char *name, const QString &caption, const QString &hint)
{
    auto *b = new QPushButton(caption, parent);
    b->setObjectName(QLatin1String(name));
    b->setToolTip(hint);
    b->resize(75, 25);
    return b;
}
}

GridLayout TfrmClean::gridLayout()
{
    GridLayout l;
    l.columns = {{QStringLiteral("Size"), 1, 64},     {QStringLiteral("Modified"), 2, 64},
                 {QStringLiteral("Time"), 3, 64},     {QStringLiteral("Access"), 4, 64},
                 {QStringLiteral("FileName"), 5, 296}, {QStringLiteral("Type"), 6, 0}};
    l.markColumn = 4;
    l.sizeColumn = 0;
    l.lastColumnLess = 577;
    l.hint = QStringLiteral("Double click to mark for deletion");
    l.sortEntries = {
        {QStringLiteral("&Size"), 0, SortKind::Number, QStringLiteral("TempClean/Size"), true},
        {QStringLiteral("&Date"), 1, SortKind::Date, QStringLiteral("TempClean/Date"), true},
        {QStringLiteral("&Access date"), 3, SortKind::Date, QStringLiteral("TempClean/Access"), true},
        {QStringLiteral("&Name"), 4, SortKind::Text, QStringLiteral("TempClean/Name"), false},
        {QStringLiteral("&Type"), 5, SortKind::Text, QStringLiteral("TempClean/Type"), false},
    };
    l.openCaption = QStringLiteral("Run");
    l.unmarkAllCaption = QStringLiteral("Unmark All");
    return l;
}

TfrmClean::TfrmClean(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("TfrmClean"));
    setWindowTitle(QStringLiteral("Find and delete temporary files"));
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMaximizeButtonHint
                   | Qt::WindowCloseButtonHint);
    setSizeGripEnabled(true);

    Panel1 = new QWidget(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setGeometry(0, 0, kPanelWidth, kPanelHeight);

    Label1 = new QLabel(QStringLiteral("Temporary file types to search and clean."), Panel1);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setGeometry(8, 4, 260, 18);

    PickList1 = new QListWidget(Panel1);
    PickList1->setObjectName(QStringLiteral("PickList1"));
    PickList1->setToolTip(QStringLiteral("File extensions/types of temporary files"));
    PickList1->setSelectionMode(QAbstractItemView::MultiSelection);
    PickList1->setGeometry(8, 22, 250, 112);
    PickList1->setContextMenuPolicy(Qt::CustomContextMenu);
    PickMenu = new QMenu(PickList1);
    PickMenu->setObjectName(QStringLiteral("PopupMenu2"));
    QAction *all = PickMenu->addAction(QStringLiteral("Select All"), this, &TfrmClean::SelectAll2Click);
    all->setObjectName(QStringLiteral("SelectAll2"));
    QAction *none = PickMenu->addAction(QStringLiteral("Deselect All"), this, &TfrmClean::DeselectAll2Click);
    none->setObjectName(QStringLiteral("DeselectAll2"));
    connect(PickList1, &QWidget::customContextMenuRequested, this,
            [this](const QPoint &p) { PickMenu->popup(PickList1->viewport()->mapToGlobal(p)); });
    connect(PickList1, &QListWidget::itemSelectionChanged, this, [this]() {
        QStringList rows;
        for (int i = 0; i < PickList1->count(); ++i)
            if (PickList1->item(i)->isSelected())
                rows << PickList1->item(i)->text();
        matcher_ = TempMatcher(rows);
    });

    btEdit = button(Panel1, "btEdit", QStringLiteral("Add/Delete"), QStringLiteral("Add, delete temporary file extensions"));
    btEdit->setGeometry(266, 22, 90, 25);

    pckDrive = new TDriveCheckList(Panel1);
    pckDrive->setObjectName(QStringLiteral("pckDrive"));
    pckDrive->move(kPanelWidth - 8 - pckDrive->width(), 4);

    btScan = button(Panel1, "btScan", QStringLiteral("&Start"), QStringLiteral("Start scanning for temporary files"));
    btClose = button(Panel1, "btClose", QStringLiteral("Close"), QStringLiteral("Close window"));
    btAbort = button(Panel1, "btAbort", QStringLiteral("&Abort"), QStringLiteral("Abort scan"));
    btMark = button(Panel1, "btMark", QStringLiteral("&Mark"),
                    QStringLiteral("Mark file for deletion (double click on grid also works)"));
    btDelete = button(Panel1, "btDelete", QStringLiteral("Clean?"), QStringLiteral("Clean up marked files"));
    btOptions = button(Panel1, "btOptions", QStringLiteral("Options"), QStringLiteral("Right click on grid for same options"));
    btBrowse = button(Panel1, "btBrowse", QStringLiteral("&Browse"), QStringLiteral("Browse this file and folder"));
    btDetails = button(Panel1, "btDetails", QStringLiteral("&Details"), QStringLiteral("View more file details"));
    btScan->setDefault(false);
    btScan->setAutoDefault(false);

    grid = new TResultGrid(gridLayout(), this);
    grid->setTopPanel(Panel1);
    grid->printTitle = [this]() { return printTitle(); };

    pnlSel = new QLabel(this);
    pnlSel->setObjectName(QStringLiteral("pnlSel"));
    pnlSel->setFrameShape(QFrame::StyledPanel);
    pnlSel->setFrameShadow(QFrame::Sunken);
    pnlSel->setMinimumHeight(19);
    grid->gridModel()->layout().statusSink = [this](const QString &t) { pnlSel->setText(t); };

    auto *box = new QVBoxLayout(this);
    box->setContentsMargins(0, 0, 0, 0);
    box->setSpacing(0);
    box->addWidget(Panel1);
    box->addWidget(grid, 1);
    box->addWidget(pnlSel);
    Panel1->setFixedHeight(kPanelHeight);
    pckDrive->keepAtRight(8);
    pckDrive->setStartButton(btScan);

    connect(btScan, &QPushButton::clicked, this, &TfrmClean::btScanClick);
    connect(btClose, &QPushButton::clicked, this, &QDialog::close);
    connect(btAbort, &QPushButton::clicked, this, &TfrmClean::btAbortClick);
    connect(btMark, &QPushButton::clicked, grid, &TResultGrid::DeleteAllFiles);
    connect(btDelete, &QPushButton::clicked, this, &TfrmClean::btDeleteClick);
    connect(btOptions, &QPushButton::clicked, this,
            [this]() { grid->PopupMenu1()->popup(btOptions->mapToGlobal(QPoint(0, btOptions->height()))); });
    connect(btBrowse, &QPushButton::clicked, this, &TfrmClean::BrowseDirectory1Click);
    connect(btDetails, &QPushButton::clicked, grid, &TResultGrid::Details1Click);
    connect(btEdit, &QPushButton::clicked, this, &TfrmClean::btEditClick);
    connect(grid, &TResultGrid::cleanEnabled, btDelete, &QWidget::setEnabled);

    // The walk: every folder of each checked drive; hidden files are
    // returned as well, each temporary one listed at once.
    walker_.mask = WildPattern(QStringLiteral("*.*"));
    walker_.returned = FileAttr::Hidden;
    walker_.keeping = Walker::Keeping::Append;
    walker_.status = [this](const QString &t) { pnlSel->setText(t); };
    walker_.visitor = [this](const FoundFile &f) {
        if (!isThisFileTemporary(f.name))
            return true;
        const QString name = displayName(f.path);
        const QString line = formatThousands(f.size) + QLatin1Char('\t') + dosDateText(f.written) + QLatin1Char('\t')
            + dosTimeText(f.written) + QLatin1Char('\t') + dosDateText(f.accessed) + QLatin1Char('\t') + name
            + QLatin1Char('\t') + fileTypeName(TempPatterns::extensionOf(displayName(f.name)));
        grid->addToGrid(line, f.path);
        return true;
    };

    // FormCreate: the drive list, and the centre of the screen unless a
    // placement is stored.
    pckDrive->fillDriveList();
    resize(640, 406);
    place_ = new TWinPlace(this);
    place_->IniFileName = QStringLiteral("vantor.ini");
    place_->Identifier = QStringLiteral("frmMods");
    if (!place_->hasStored())
        place_->centre();
}

TfrmClean::~TfrmClean()
{
    place_->save();
}

int TfrmClean::foundCount() const
{
    return grid->rowsFilled();
}

void TfrmClean::showEvent(QShowEvent *e)
{
    ReadInFromDisk();
    selectAllExtensions();
    designPanelHeight_ = Panel1->height();
    grid->rememberPanelHeight();
    ClearGrid();
    for (QWidget *w : {static_cast<QWidget *>(btOptions), static_cast<QWidget *>(btBrowse),
                       static_cast<QWidget *>(btDetails), static_cast<QWidget *>(btAbort),
                       static_cast<QWidget *>(btMark), static_cast<QWidget *>(btDelete)})
        w->hide();
    walker_.scanAborted = false;
    pnlSel->clear();
    btScan->setEnabled(pckDrive->checkedCount() > 0);
    btClose->setEnabled(true);
    setWindowTitle(QStringLiteral("Find and delete temporary files"));
    btScan->setToolTip(QStringLiteral("Start scanning for temporary files"));
    layButtons();
    btScan->setFocus();
    // The minimum follows from the top panel as designed.
    const QRect designed = Panel1->geometry();
    Panel1->resize(kPanelWidth, Panel1->height());
    setMinimumSize(TResultGrid::minimumWindowSize(Panel1));
    Panel1->setGeometry(designed);
    grid->FormResize(width());
    QDialog::showEvent(e);
}

void TfrmClean::layButtons()
{
    int x = 3;
    for (QPushButton *b : {btScan, btClose, btMark, btDelete, btOptions, btBrowse, btDetails}) {
        b->move(x, kButtonRow);
        if (b == btMark)
            btAbort->move(x, kButtonRow);
        x += b->width() + 3;
    }
}

void TfrmClean::resizeEvent(QResizeEvent *e)
{
    QDialog::resizeEvent(e);
    grid->FormResize(width());
}

void TfrmClean::ReadInFromDisk()
{
    PickList1->clear();
    PickList1->addItems(TempPatterns::readFromDisk(TempPatterns::cleanFallback()));
}

void TfrmClean::selectAllExtensions()
{
    PickList1->selectAll();
}

void TfrmClean::SelectAll2Click()
{
    PickList1->selectAll();
}

void TfrmClean::DeselectAll2Click()
{
    PickList1->clearSelection();
}

bool TfrmClean::isThisFileTemporary(const std::string &name) const
{
    return matcher_.isTemporary(std::string_view(name));
}

void TfrmClean::ClearGrid()
{
    grid->ClearGrid();
    btDelete->setEnabled(false);
}

void TfrmClean::setScanning(bool on)
{
    btAbort->setVisible(on);
    btScan->setEnabled(!on && pckDrive->checkedCount() > 0);
    btClose->setEnabled(!on);
    pckDrive->setEnabled(!on);
    // Only Abort acts during a walk: the patterns cannot change under it.
    PickList1->setEnabled(!on);
    btEdit->setEnabled(!on);
    if (on) {
        btMark->hide();
        btDelete->hide();
        btOptions->hide();
        btBrowse->hide();
        btDetails->hide();
        grid->setCursor(Qt::WaitCursor);
    } else {
        grid->unsetCursor();
    }
}

void TfrmClean::scan()
{
    walker_.scanAborted = false;
    setScanning(true);
    walker_.scanAllDrives(pckDrive->checkedEntries());
    grid->trimRows();
    setScanning(false);
    const int found = foundCount();
    btMark->setVisible(found > 0);
    btDelete->setVisible(found > 0);
    if (found == 0) {
        dialogs().showInfo(QStringLiteral("No files found."));
        return;
    }
    btOptions->show();
    btBrowse->show();
    btBrowse->setEnabled(Navigation::isAvailable(Navigation::Target::BrowseFolder));
    btDetails->show();
    btDetails->setEnabled(grid->canShowDetails());
    pnlSel->setText(formatThousands(found) + QStringLiteral(" tempfiles found"));
}

void TfrmClean::btScanClick()
{
    if (scanning())
        return;
    if (PickList1->selectedItems().isEmpty()) {
        dialogs().showError(QStringLiteral("Select at least one file extension"));
        return;
    }
    hintsOff_ = true;
    qApp->installEventFilter(this);
    ClearGrid();
    scan();
    qApp->removeEventFilter(this);
    hintsOff_ = false;
    // The size sort uses the direction of its last use in this run of the
    // program and then reverses it.
    grid->Sortbysize1Click(0);
}

void TfrmClean::btAbortClick()
{
    btAbort->hide();
    walker_.abortByUser();
}

bool TfrmClean::eventFilter(QObject *watched, QEvent *e)
{
    if (hintsOff_ && e->type() == QEvent::ToolTip)
        return true;
    return QDialog::eventFilter(watched, e);
}

void TfrmClean::btDeleteClick()
{
    if (grid->markedCount() < 1)
        return;
    TfrmReallyDelete dlg(this);
    dlg.setFiles(grid->lbDeleted());
    dlg.potentialSavings = double(grid->markedSize());
    dlg.archiveTag = QStringLiteral("TempClean");
    if (TModal::exec(&dlg) == QDialog::Rejected)
        return;
    accept();
}

void TfrmClean::btEditClick()
{
    {
        TfrmTempFiles editor(this);
        TModal::exec(&editor);
    }
    ReadInFromDisk();
    PickList1->clearSelection();
}

void TfrmClean::BrowseDirectory1Click()
{
    const int row = grid->selectedRow();
    if (row >= 1 && row <= grid->rowsFilled())
        Navigation::browseToFile(this, grid->selectedPath(), QString());
}

QString TfrmClean::printTitle() const
{
    QString title = QStringLiteral("Temporary files on drive(s) ");
    for (const QString &entry : pckDrive->checkedEntries())
        if (!entry.isEmpty())
            title += entry.at(0).toUpper() + QLatin1Char(' ');
    return title;
}

void TfrmClean::reject()
{
    if (scanning())
        return;
    QDialog::reject();
}

void TfrmClean::closeEvent(QCloseEvent *e)
{
    if (scanning()) {
        e->ignore();
        return;
    }
    QDialog::closeEvent(e);
}

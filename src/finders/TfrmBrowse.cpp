#include "finders/TfrmBrowse.h"

#include "settings/TWinPlace.h"
#include "common/Dialogs.h"
#include "common/EventPump.h"
#include "common/Navigation.h"
#include "common/Runs.h"
#include "common/TModal.h"
#include "common/TPathLabel.h"
#include "common/Text.h"
#include "finders/BrowseList.h"
#include "platform/DirReader.h"
#include "platform/Drives.h"
#include "platform/PathInfo.h"
#include "platform/Paths.h"
#include "safety/FolderRemoval.h"
#include "safety/TfrmReallyDelete.h"
#include "scan/TDriveBox.h"
#include "scan/TFinderFrame.h"
#include "scan/TFolderTree.h"
#include "scan/TResultGrid.h"
#include "scan/TfrmWildCard.h"
#include "scan/WildMatch.h"

#include <QAction>
#include <QApplication>
#include <QEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <QShowEvent>
#include <QSplitter>
#include <QVBoxLayout>

const QString TfrmBrowse::rootRefusal =
    QStringLiteral("Cannot delete the root folder! To delete a folder including all files and sub-folders double "
                   "click on the desired folder shown in the left panel.");
const QString TfrmBrowse::systemRefusal = QStringLiteral(
    "You cannot delete a system folder or your home folder using Vantor 95");

namespace {
// The hourglass for the length of a scope.
struct WaitCursor {
    WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QApplication::restoreOverrideCursor(); }
};

// A finder's push button; in the browser's row it grows with its caption.
QPushButton *button(QWidget *parent, const char *name, const QString &caption, const QString &hint)
{
    QPushButton *b = TFinderFrame::newButton(parent, name, caption, hint);
    b->setMinimumWidth(75);
    return b;
}

QLabel *statusPanel(QWidget *parent, const char *name)
{
    auto *l = new QLabel(parent);
    l->setObjectName(QLatin1String(name));
    l->setFrameShape(QFrame::StyledPanel);
    l->setFrameShadow(QFrame::Sunken);
    l->setMinimumHeight(19);
    return l;
}

std::string parentOf(const std::string &folder)
{
    const size_t slash = folder.rfind('/');
    if (slash == std::string::npos || slash == 0)
        return "/";
    return folder.substr(0, slash);
}

bool isFolder(const std::string &path) { return DirReader(path).isOpen(); }
}

TfrmBrowse::TfrmBrowse(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmBrowse"));
    setWindowTitle(QStringLiteral("Browse through folders"));
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMaximizeButtonHint
                   | Qt::WindowCloseButtonHint);
    setSizeGripEnabled(true);

    split_ = new QSplitter(Qt::Horizontal, this);
    split_->setObjectName(QStringLiteral("Splitter1"));
    split_->setChildrenCollapsible(false);

    auto *left = new QWidget(split_);
    left->setObjectName(QStringLiteral("pnlLeft"));
    auto *leftBox = new QVBoxLayout(left);
    leftBox->setContentsMargins(3, 3, 0, 0);
    DriveComboBox1 = new TDriveBox(left);
    DirectoryListBox1 = new TFolderTree(left);
    DirectoryListBox1->setToolTip(QStringLiteral("Double click to select"));
    DirectoryListBox1->attachDriveBox(DriveComboBox1);
    leftBox->addWidget(DriveComboBox1);
    leftBox->addWidget(DirectoryListBox1, 1);

    auto *right = new QWidget(split_);
    right->setObjectName(QStringLiteral("pnlRight"));
    auto *rightBox = new QVBoxLayout(right);
    rightBox->setContentsMargins(0, 3, 3, 0);
    auto *strip = new QHBoxLayout;
    lblFolder = new TPathLabel(right);
    lblFolder->setObjectName(QStringLiteral("lblFolder"));
    lblFolder->setFrameShape(QFrame::StyledPanel);
    lblFolder->setFrameShadow(QFrame::Sunken);
    btOptions = button(right, "btOptions", QStringLiteral("Options"), QStringLiteral("Right click on grid for same options"));
    strip->addWidget(lblFolder, 1);
    strip->addWidget(btOptions);
    rightBox->addLayout(strip);

    GridLayout layout = BrowseList::gridLayout();
    layout.statusSink = [this](const QString &s) { pnlScan->setText(s); };
    grid = new TResultGrid(layout, right);
    grid->verticalHeader()->setDefaultSectionSize(17);
    // What a folder's listing has no use for: the top panel and the reports.
    for (const char *name : {"Resize1Item", "Print1", "Clipboard1"})
        if (QAction *a = grid->action(QLatin1String(name)))
            a->setVisible(false);
    rightBox->addWidget(grid, 1);
    split_->addWidget(left);
    split_->addWidget(right);
    split_->setStretchFactor(1, 1);
    split_->setSizes({210, 550});

    auto *bottom = new QWidget(this);
    bottom->setObjectName(QStringLiteral("pnlButtons"));
    auto *row = new QHBoxLayout(bottom);
    row->setContentsMargins(10, 5, 12, 5);
    row->setSpacing(5);
    btDeleteDirectory = button(bottom, "btDeleteDirectory", QStringLiteral("Delete &Folder"),
                               QStringLiteral("Delete folder and all files/folders below"));
    btMap = button(bottom, "btMap", QStringLiteral("Ma&p"), QStringLiteral("A map of the folders below this one"));
    btDetails = button(bottom, "btDetails", QStringLiteral("&Details"), QStringLiteral("View more file details"));
    btLaunch = button(bottom, "btLaunch", QStringLiteral("&Open"), QStringLiteral("Run/launch associated application"));
    btView = button(bottom, "btView", QStringLiteral("&View"), QStringLiteral("View file"));
    btMark = button(bottom, "btMark", QStringLiteral("&Mark"), QStringLiteral("Mark/unmark files for deletion"));
    btDeleteFiles = button(bottom, "btDeleteFiles", QStringLiteral("&Clean marked files"),
                           QStringLiteral("Clean up marked files"));
    btDeleteFiles->setEnabled(false);
    btClose = button(bottom, "btClose", QStringLiteral("Close"), QStringLiteral("Close window"));
    row->addWidget(btDeleteDirectory);
    row->addWidget(btMap);
    row->addStretch(1);
    for (QPushButton *b : {btDetails, btLaunch, btView, btMark, btDeleteFiles, btClose})
        row->addWidget(b);

    auto *status = new QHBoxLayout;
    status->setSpacing(2);
    pnlScan = statusPanel(this, "pnlScan");
    pnlSize = statusPanel(this, "pnlSize");
    pnlWild = statusPanel(this, "pnlWild");
    pnlWild->setToolTip(QStringLiteral("Click to change the wildcard pattern"));
    pnlWild->setCursor(Qt::PointingHandCursor);
    pnlWild->installEventFilter(this);
    status->addWidget(pnlScan, 3);
    status->addWidget(pnlSize, 2);
    status->addWidget(pnlWild, 2);

    auto *box = new QVBoxLayout(this);
    box->setContentsMargins(0, 0, 0, 0);
    box->setSpacing(0);
    box->addWidget(split_, 1);
    box->addWidget(bottom);
    box->addLayout(status);

    grid->installEventFilter(this);
    connect(DirectoryListBox1, &TFolderTree::folderChanged, this, [this](const QByteArray &path) {
        const std::string folder = path.toStdString();
        if (!driveReady(folder) && !folder_.empty()) {
            // The grid keeps what it showed; the drive box and the tree go
            // back to the folder it shows.
            const QSignalBlocker quiet(DirectoryListBox1);
            DirectoryListBox1->setFolder(folder_);
            return;
        }
        folder_ = folder;
        DirectoryListBox1Change();
    });
    connect(grid, &TResultGrid::cleanEnabled, btDeleteFiles, &QPushButton::setEnabled);
    connect(btOptions, &QPushButton::clicked, this,
            [this] { grid->PopupMenu1()->popup(btOptions->mapToGlobal(QPoint(0, btOptions->height()))); });
    connect(btMark, &QPushButton::clicked, this, &TfrmBrowse::btMarkClick);
    connect(btDeleteFiles, &QPushButton::clicked, this, &TfrmBrowse::btDeleteFilesClick);
    connect(btDeleteDirectory, &QPushButton::clicked, this, &TfrmBrowse::btDeleteDirectoryClick);
    connect(btMap, &QPushButton::clicked, this, &TfrmBrowse::btMapClick);
    connect(btLaunch, &QPushButton::clicked, this, &TfrmBrowse::btLaunchClick);
    connect(btView, &QPushButton::clicked, this, &TfrmBrowse::btViewClick);
    connect(btDetails, &QPushButton::clicked, this, &TfrmBrowse::Details1Click);
    connect(btClose, &QPushButton::clicked, this, &QDialog::close);

    resize(760, 480);
    place_ = new TWinPlace(this);
    place_->IniFileName = QStringLiteral("vantor.ini");
    place_->Identifier = QStringLiteral("frmBrowse");

    DriveComboBox1->fillDriveList();
}

TfrmBrowse::~TfrmBrowse() { place_->save(); }

void TfrmBrowse::setStart(const std::string &folder, const std::string &selected, const QString &mask)
{
    folder_ = folder;
    selectFirst_ = selected;
    mask_ = mask.trimmed().isEmpty() ? QStringLiteral("*.*") : mask.trimmed();
}

void TfrmBrowse::showEvent(QShowEvent *e)
{
    if (!e->spontaneous() && !shown_) {
        shown_ = true;
        closing_ = false;
        pnlWild->setText(QStringLiteral("Wildcard : ") + mask_);
        if (folder_.empty() || !isFolder(folder_)) {
            // The home folder by its real path, as the walker would find it:
            // files listed through a link could not be removed.
            const std::string home = Paths::homeFolder();
            const std::string real = PathInfo::resolved(home);
            folder_ = real.empty() ? home : real;
        }
        {
            const QSignalBlocker quiet(DirectoryListBox1);
            DirectoryListBox1->setFolder(folder_);
        }
        DirectoryListBox1Change();
        if (!place_->hasStored())
            place_->centre();
    }
    QDialog::showEvent(e);
}

void TfrmBrowse::showFolder(const std::string &folder)
{
    {
        const QSignalBlocker quiet(DirectoryListBox1);
        DirectoryListBox1->setFolder(folder);
    }
    folder_ = DirectoryListBox1->selectedFolder();
    DirectoryListBox1Change();
}

void TfrmBrowse::DirectoryListBox1Change()
{
    // A folder chosen while another one is being listed: that listing
    // stops and the new folder is listed after it.
    if (filling_) {
        refill_ = true;
        return;
    }
    filling_ = true;
    do {
        refill_ = false;
        fillGrid();
    } while (refill_ && !closing_);
    filling_ = false;
}

bool TfrmBrowse::driveReady(const std::string &folder)
{
    const auto d = Drives::driveOfPath(folder);
    return !d || Drives::isDriveReady(d->letter);
}

void TfrmBrowse::fillGrid()
{
    if (!driveReady(folder_))
        return; // the grid keeps what it showed
    const std::string folder = folder_;
    ResultGridModel *model = grid->gridModel();
    // A folder change keeps the order last chosen.
    const int entry = std::max(model->checkedSortEntry(), 0);
    btDeleteFiles->setEnabled(false);
    model->ClearGrid();
    fileTotal_ = 0;
    fileCount_ = 0;
    lblFolder->setPath(displayName(folder));
    setButtonsEnabled(false);
    {
        WaitCursor wait;
        const Runs::Token token(QStringLiteral("a folder listing"), [this] { closing_ = true; });
        EventPump pump;
        const BrowseList::Filled filled = BrowseList::fill(*model, folder, WildPattern(mask_), [&] {
            pump.pump();
            return !refill_ && !closing_;
        });
        fileTotal_ = filled.bytes;
        fileCount_ = filled.files;
        grid->trimRows();
        model->sortBy(entry, false);
    }
    setButtonsEnabled(true);
    int row = 1;
    if (!selectFirst_.empty()) {
        const std::string wanted = joinPath(folder, selectFirst_);
        for (int r = 1; r <= model->rowsFilled(); ++r)
            if (model->path(r) == wanted) {
                row = r;
                break;
            }
        selectFirst_.clear();
    }
    grid->setSelectedRow(row);
    grid->scrollTo(grid->currentIndex());
    pnlScan->setText(QStringLiteral("Number of files : ") + formatThousands(fileCount_));
    pnlSize->setText(QStringLiteral("Total size : ") + formatThousands(fileTotal_));
}

void TfrmBrowse::setButtonsEnabled(bool on)
{
    for (QPushButton *b : {btLaunch, btMark})
        b->setEnabled(on);
    btDeleteDirectory->setEnabled(on && Navigation::isAvailable(Navigation::Target::RemoveFolder));
    btMap->setEnabled(on && Navigation::isAvailable(Navigation::Target::FolderMap));
    btView->setEnabled(on && grid->canView());
    btDetails->setEnabled(on && grid->canShowDetails());
    btDeleteFiles->setEnabled(on && grid->markedCount() > 0);
}

void TfrmBrowse::btMarkClick() { grid->DeleteAllFiles(); }

void TfrmBrowse::btDeleteFilesClick()
{
    if (filling_ || grid->markedCount() <= 0)
        return;
    TfrmReallyDelete dlg(this);
    dlg.setFiles(grid->lbDeleted());
    dlg.archiveTag = QString();
    dlg.potentialSavings = double(grid->markedSize());
    TModal::exec(&dlg);
    // Whatever was done, the folder is read again.
    DirectoryListBox1Change();
}

void TfrmBrowse::btDeleteDirectoryClick()
{
    if (filling_)
        return;
    const std::string folder = folder_;
    switch (FolderRemoval::refusedAs(folder)) {
    case FolderRemoval::Refused::NotFullPath:
        return;
    case FolderRemoval::Refused::Root:
        dialogs().showError(rootRefusal);
        return;
    case FolderRemoval::Refused::SystemFolder:
    case FolderRemoval::Refused::Home:
        dialogs().showError(systemRefusal);
        return;
    case FolderRemoval::Refused::None:
        break;
    }
    // The browser stands in the parent while the folder is removed.
    showFolder(parentOf(folder));
    Navigation::FolderRemovalOutcome outcome;
    Navigation::removeFolder(this, folder, &outcome);
    {
        const QSignalBlocker quiet(DirectoryListBox1);
        DirectoryListBox1->refresh();
        // Cancelled: back into the folder.
        if (!outcome.ran && isFolder(folder))
            DirectoryListBox1->setFolder(folder);
    }
    folder_ = DirectoryListBox1->selectedFolder();
    DirectoryListBox1Change();
}

void TfrmBrowse::btMapClick()
{
    if (filling_)
        return;
    std::string folder = folder_;
    Navigation::mapFolder(this, folder);
    // Folders removed through the map leave the tree; the browser stays in
    // the folder, or in what is left above it.
    {
        const QSignalBlocker quiet(DirectoryListBox1);
        DirectoryListBox1->refresh();
        while (!isFolder(folder) && folder != "/")
            folder = parentOf(folder);
        DirectoryListBox1->setFolder(folder);
    }
    folder_ = DirectoryListBox1->selectedFolder();
    DirectoryListBox1Change();
}

void TfrmBrowse::btLaunchClick() { grid->Run1Click(); }

void TfrmBrowse::btViewClick() { grid->View1Click(); }

void TfrmBrowse::Details1Click() { grid->Details1Click(); }

void TfrmBrowse::pnlScanClick()
{
    if (filling_)
        return;
    TfrmWildCard w(this);
    w.setPattern(mask_);
    if (TModal::exec(&w) != QDialog::Accepted)
        return;
    const QString pattern = w.pattern().trimmed();
    mask_ = pattern.isEmpty() ? QStringLiteral("*.*") : pattern;
    pnlWild->setText(QStringLiteral("Wildcard : ") + mask_);
    DirectoryListBox1Change();
}

bool TfrmBrowse::FormCloseQuery()
{
    if (grid->markedCount() <= 0)
        return true;
    return dialogs().askYesNo(QStringLiteral("You have ") + QString::number(grid->markedCount())
                              + QStringLiteral(" files marked for deletion. ")
                              + QStringLiteral("Do you really wish to exit without deleting?"));
}

void TfrmBrowse::done(int result)
{
    if (!FormCloseQuery())
        return;
    // A listing under way stops at its next file.
    closing_ = true;
    QDialog::done(result);
}

bool TfrmBrowse::eventFilter(QObject *watched, QEvent *e)
{
    if (watched == pnlWild && e->type() == QEvent::MouseButtonRelease
        && static_cast<QMouseEvent *>(e)->button() == Qt::LeftButton) {
        pnlScanClick();
        return true;
    }
    if (watched == grid && e->type() == QEvent::Resize)
        grid->FormResize(grid->width());
    return QDialog::eventFilter(watched, e);
}

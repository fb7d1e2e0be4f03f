#include "safety/TfrmUnZipIt.h"

#include "settings/AppState.h"
#include "common/Dialogs.h"
#include "common/EventPump.h"
#include "common/Runs.h"
#include "common/TModal.h"
#include "common/TPathLabel.h"
#include "common/Text.h"
#include "platform/PathInfo.h"
#include "safety/ArchiveFolder.h"
#include "safety/TfrmPassword.h"
#include "safety/TfrmZipDirectory.h"
#include "safety/ZipExtract.h"
#include "safety/ZipOutline.h"
#include "safety/ZipRun.h"
#include "scan/TDriveBox.h"
#include "scan/TFolderTree.h"
#include "scan/TFixedWindow.h"

#include <QApplication>
#include <QCloseEvent>
#include <QLabel>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QStyle>
#include <QTimer>
#include <QTreeWidget>

const QString TfrmUnZipIt::noArchivesMessage =
    QStringLiteral("It appears that there are no archive zip files in this folder for Vantor to unzip.  ") + "\n\n"
    + QStringLiteral("Note that Vantor can only unzip those files that have been originally zipped by Vantor.  It "
                     "should not be used to unzip other non Vantor zip files.");

namespace {
// The hourglass while it lives; set aside while a box or window is up.
class BusyCursor {
public:
    BusyCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~BusyCursor() { QApplication::restoreOverrideCursor(); }
    template <typename F> static auto without(F f)
    {
        QApplication::setOverrideCursor(Qt::ArrowCursor);
        struct Restore {
            ~Restore() { QApplication::restoreOverrideCursor(); }
        } restore;
        return f();
    }
};

// Failures listed in the closing report's details; the rest are counted.
constexpr qsizetype kFailuresShown = 1000;

std::string fileNameOf(const std::string &path)
{
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}
}

TfrmUnZipIt::TfrmUnZipIt(QWidget *parent) : QDialog(parent)
{
    const QSize designed(648, 440);
    TFixedWindow::begin(this, "TfrmUnZipIt", QStringLiteral("Unzip Vantor Archive Zip Files"), designed);

    Label1 = TFixedWindow::placed<QLabel>(this, "Label1", QRect(8, 8, 316, 18),
                                          QStringLiteral("Contents of the Vantor archive zip file:"));
    lblZip = TFixedWindow::placed<TPathLabel>(this, "lblZip", QRect(8, 26, 316, 18));
    lblZip->setStyleSheet(QStringLiteral("font-weight: bold"));
    Outline = TFixedWindow::placed<QTreeWidget>(this, "Outline", QRect(8, 46, 316, 282));
    Outline->setHeaderHidden(true);
    Outline->setUniformRowHeights(true);
    QPalette grey = Outline->palette();
    grey.setColor(QPalette::Base, grey.color(QPalette::Window));
    Outline->setPalette(grey);
    lblCount = TFixedWindow::placed<QLabel>(this, "lblCount", QRect(8, 332, 316, 18), QStringLiteral("0 files"));
    pnlComment = TFixedWindow::placed<QLabel>(this, "pnlComment", QRect(8, 352, 316, 40),
                                              QStringLiteral("Archive zip file comments"));
    pnlComment->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    pnlComment->setAlignment(Qt::AlignCenter);
    pnlComment->setWordWrap(true);

    Label2 = TFixedWindow::placed<QLabel>(this, "Label2", QRect(336, 8, 304, 18),
                                          QStringLiteral("Archive files (double click to view)"));
    DriveComboBox1 = new TDriveBox(this);
    DriveComboBox1->setGeometry(336, 28, 304, 24);
    DirectoryListBox1 = new TFolderTree(this);
    DirectoryListBox1->setGeometry(336, 56, 304, 160);
    DirectoryListBox1->attachDriveBox(DriveComboBox1);
    Label3 = TFixedWindow::placed<QLabel>(this, "Label3", QRect(336, 220, 304, 18),
                                          QStringLiteral("File mask: Drive*.zip"));
    FileListBox1 = TFixedWindow::placed<QListWidget>(this, "FileListBox1", QRect(336, 240, 304, 152));

    btExtract = TFixedWindow::placed<QPushButton>(this, "btExtract", QRect(8, 402, 156, 28),
                                                  QStringLiteral("&Extract files from ZIP"));
    btExtract->setToolTip(QStringLiteral("Extract Files..."));
    btView = TFixedWindow::placed<QPushButton>(this, "btView", QRect(170, 402, 154, 28),
                                               QStringLiteral("&View files inside ZIP"));
    btView->setToolTip(QStringLiteral("Extract Files..."));
    Gauge1 = TFixedWindow::placed<QProgressBar>(this, "Gauge1", QRect(336, 406, 206, 20));
    Gauge1->setRange(0, 100);
    Gauge1->setStyleSheet(QStringLiteral("QProgressBar { border: 1px solid grey; background: white; text-align: center; }"
                                         "QProgressBar::chunk { background: red; }"));
    Gauge1->hide();
    btClose = TFixedWindow::placed<QPushButton>(this, "btClose", QRect(556, 402, 84, 28), QStringLiteral("Close"));
    btClose->setToolTip(QStringLiteral("Close window"));

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setSingleShot(true);
    Timer1->setInterval(600);
    connect(Timer1, &QTimer::timeout, this, &TfrmUnZipIt::Timer1Timer);

    connect(DirectoryListBox1, &TFolderTree::folderChanged, this, [this](const QByteArray &) { fillArchiveList(); });
    connect(DirectoryListBox1, &TFolderTree::folderActivated, this, [this](const QByteArray &) { BtExtractEnable(); });
    connect(FileListBox1, &QListWidget::currentRowChanged, this, [this](int) { BtExtractEnable(); });
    connect(FileListBox1, &QListWidget::itemClicked, this, [this](QListWidgetItem *) { BtExtractEnable(); });
    connect(FileListBox1, &QListWidget::itemDoubleClicked, this,
            [this](QListWidgetItem *) { FileListBox1DblClick(); });
    connect(btView, &QPushButton::clicked, this, &TfrmUnZipIt::FileListBox1DblClick);
    connect(btExtract, &QPushButton::clicked, this, &TfrmUnZipIt::ExtractFiles1Click);
    connect(btClose, &QPushButton::clicked, this, &TfrmUnZipIt::btCloseClick);
    BtExtractEnable();

    TFixedWindow::finish(this, designed);
}

TfrmUnZipIt::~TfrmUnZipIt() { zip_.close(); }

void TfrmUnZipIt::showEvent(QShowEvent *e)
{
    QDialog::showEvent(e);
    if (!e->spontaneous())
        FormShow();
}

void TfrmUnZipIt::FormShow()
{
    // The archive folder, or the nearest folder above it that exists (no
    // archive has been written yet when it is missing).
    std::string folder = AppState::zipFolder();
    while (folder.size() > 1 && !PathInfo::isFolder(folder)) {
        const size_t slash = folder.rfind('/');
        folder = slash == 0 || slash == std::string::npos ? std::string("/") : folder.substr(0, slash);
    }
    // An archive a killed zip run left without its directory is made whole
    // again before it is listed, so that other zip programs read it too;
    // the repair is reported.
    ZipRun::repairAndReport();
    DriveComboBox1->fillDriveList();
    DirectoryListBox1->setFolder(folder);
    fillArchiveList();
    if (FileListBox1->count() == 0)
        Timer1->start();
}

void TfrmUnZipIt::Timer1Timer()
{
    Timer1->stop();
    dialogs().showInfo(noArchivesMessage);
}

std::string TfrmUnZipIt::archiveFolder() const { return DirectoryListBox1->selectedFolder(); }

void TfrmUnZipIt::fillArchiveList()
{
    const QString was = FileListBox1->currentItem() ? FileListBox1->currentItem()->text() : QString();
    const QSignalBlocker quiet(FileListBox1);
    FileListBox1->clear();
    for (const std::string &name : ArchiveFolder::archivesIn(archiveFolder())) {
        auto *item = new QListWidgetItem(displayName(name), FileListBox1);
        item->setData(Qt::UserRole, QByteArray::fromStdString(name));
        if (!was.isEmpty() && item->text() == was)
            FileListBox1->setCurrentItem(item);
    }
    BtExtractEnable();
}

void TfrmUnZipIt::BtExtractEnable()
{
    const bool selected = !running_ && FileListBox1->currentItem() && FileListBox1->currentItem()->isSelected();
    btExtract->setEnabled(selected);
    btView->setEnabled(btExtract->isEnabled());
}

bool TfrmUnZipIt::openSelected()
{
    const QListWidgetItem *item = FileListBox1->currentItem();
    if (!item)
        return false;
    const std::string path = joinPath(archiveFolder(), item->data(Qt::UserRole).toByteArray().toStdString());
    BusyCursor busy;
    ZipArchive next;
    // Listing an archive without a directory reads it through: events run
    // meanwhile and Close stops it.
    EventPump pump;
    abortRequested_ = false;
    opening_ = true;
    next.setScanHook([&] {
        pump.pump();
        return abortRequested_;
    });
    try {
        const Runs::Token token(QStringLiteral("an archive listing"), [this] { abortRequested_ = true; });
        next.openRead(path);
        opening_ = false;
    } catch (const ZipError &e) {
        opening_ = false;
        showArchive();
        if (abortRequested_)
            return false;
        BusyCursor::without([&] {
            dialogs().showError(QStringLiteral("Cannot open ") + displayName(path) + QStringLiteral(": ")
                                + QString::fromLocal8Bit(e.what()));
        });
        return false;
    }
    zip_ = std::move(next);
    OutlineLoad();
    showArchive();
    return true;
}

void TfrmUnZipIt::OutlineLoad()
{
    Outline->clear();
    Outline->setPalette(QPalette());
    const QIcon folderIcon = style()->standardIcon(QStyle::SP_DirIcon);
    const QIcon fileIcon = style()->standardIcon(QStyle::SP_FileIcon);
    std::vector<std::string> names;
    names.reserve(zip_.entries().size());
    for (const ZipEntry &e : zip_.entries())
        names.push_back(e.name);
    // Bounded depth: the tree view lays out expanded items recursively.
    std::vector<QTreeWidgetItem *> items;
    for (const ZipOutline::Node &n : ZipOutline::build(names)) {
        auto *item = n.parent >= 0 ? new QTreeWidgetItem(items[size_t(n.parent)]) : new QTreeWidgetItem(Outline);
        item->setText(0, displayName(n.text));
        item->setIcon(0, n.folder ? folderIcon : fileIcon);
        items.push_back(item);
    }
    Outline->expandAll();
}

void TfrmUnZipIt::showArchive()
{
    if (!zip_.isOpen())
        return;
    lblZip->setPath(displayName(zip_.path()));
    lblCount->setText(formatThousands(int64_t(zip_.entries().size())) + QStringLiteral(" files"));
    pnlComment->setText(displayName(zip_.comment()));
}

void TfrmUnZipIt::FileListBox1DblClick()
{
    if (running_ || opening_)
        return;
    openSelected();
}

void TfrmUnZipIt::setInputsEnabled(bool on)
{
    for (QWidget *w : std::initializer_list<QWidget *>{DriveComboBox1, DirectoryListBox1, FileListBox1, Outline})
        w->setEnabled(on);
    BtExtractEnable();
}

void TfrmUnZipIt::ExtractFiles1Click()
{
    if (running_ || opening_)
        return;
    // The archive extracted is always the one selected: when it cannot be
    // read, nothing is extracted (not the one open before).
    if (!openSelected())
        return;
    std::string destination;
    {
        TfrmZipDirectory dlg(this);
        dlg.setArchive(zip_.path());
        if (!dlg.prepare() || TModal::exec(&dlg) != QDialog::Accepted)
            return;
        destination = dlg.destination();
    }

    const QString archiveName = displayName(fileNameOf(zip_.path()));
    running_ = true;
    abortRequested_ = false;
    setInputsEnabled(false);
    Gauge1->setValue(0);
    Gauge1->show();
    EventPump pump;
    ZipExtract::Result result;
    QStringList failures;
    {
        const Runs::Token token(QStringLiteral("an extraction"), [this] { abortRequested_ = true; });
        BusyCursor busy;
        ZipExtract::Hooks hooks;
        hooks.progress = [&](int percent) {
            Gauge1->setValue(percent);
            pump.pump();
            return abortRequested_;
        };
        hooks.needPassword = [&](const ZipEntry &) -> std::optional<std::string> {
            return BusyCursor::without([&]() -> std::optional<std::string> {
                TfrmPassword pw(this);
                if (TModal::exec(&pw) != QDialog::Accepted)
                    return std::nullopt;
                return pw.password().toUtf8().toStdString();
            });
        };
        // Failures are gathered for one report at the end: an archive
        // whose files all exist (a second try) would otherwise ask for two
        // clicks per file.
        hooks.itemFailed = [&](const ZipEntry &e, const std::string &reason) {
            if (failures.size() < kFailuresShown)
                failures << QStringLiteral("Cannot extract ") + displayName(e.name) + QStringLiteral(" from ")
                                + archiveName + QStringLiteral("\n") + displayName(reason);
        };
        result = ZipExtract::extractAll(zip_, destination, hooks);
    }
    Gauge1->hide();
    running_ = false;
    setInputsEnabled(true);
    fillArchiveList();
    if (!result.destinationError.empty()) {
        dialogs().showError(displayName(result.destinationError));
        return;
    }
    // The message stays short; the list of files goes to the box's details,
    // so the box keeps within the screen however many files failed.
    QString details = failures.join(QStringLiteral("\n\n"));
    const size_t notShown = result.failed + result.foldersFailed - size_t(failures.size());
    if (!failures.isEmpty() && notShown > 0)
        details += QStringLiteral("\n\n... and %1 more.").arg(formatThousands(int64_t(notShown)));
    Dialogs::Kind kind = Dialogs::Kind::Plain;
    if (ZipExtract::onlyExisting(result))
        kind = Dialogs::Kind::Info;
    else if (result.failed || result.foldersFailed || !result.missing.empty() || !result.repairNote.empty())
        kind = Dialogs::Kind::Warning;
    dialogs().showDetails(kind, ZipExtract::closingMessage(result), details);
}

void TfrmUnZipIt::btCloseClick()
{
    if (running_ || opening_) {
        abortRequested_ = true;
        return;
    }
    reject();
}

void TfrmUnZipIt::reject()
{
    if (running_ || opening_) {
        abortRequested_ = true;
        return;
    }
    QDialog::reject();
}

void TfrmUnZipIt::closeEvent(QCloseEvent *e)
{
    if (running_ || opening_) {
        abortRequested_ = true;
        e->ignore();
        return;
    }
    QDialog::closeEvent(e);
}

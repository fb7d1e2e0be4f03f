#include "safety/TfrmZipDirectory.h"

#include "common/Dialogs.h"
#include "common/TPathLabel.h"
#include "common/Text.h"
#include "platform/Drives.h"
#include "platform/ExtractTarget.h"
#include "safety/ArchiveFolder.h"
#include "safety/ZipExtract.h"
#include "scan/TDriveBox.h"
#include "scan/TFixedWindow.h"
#include "scan/TFolderTree.h"

#include <QFrame>
#include <QLabel>
#include <QPushButton>

const QString TfrmZipDirectory::notOriginalRootQuestion = QStringLiteral(
    "You are not restoring into the original root folder.  The files will not be restored to their original "
    "locations. Is this OK?");

namespace {
QLabel *label(QWidget *parent, const char *name, const QString &text, const QRect &r, bool wrap = false)
{
    auto *l = TFixedWindow::placed<QLabel>(parent, name, r, text);
    l->setWordWrap(wrap);
    return l;
}

TPathLabel *pathLabel(QWidget *parent, const char *name, const QRect &r)
{
    auto *l = TFixedWindow::placed<TPathLabel>(parent, name, r);
    l->setStyleSheet(QStringLiteral("font-weight: bold"));
    return l;
}

std::string withoutTrailingSlash(std::string p)
{
    while (p.size() > 1 && p.back() == '/')
        p.pop_back();
    return p;
}
}

TfrmZipDirectory::TfrmZipDirectory(QWidget *parent) : QDialog(parent)
{
    const QSize designed(560, 360);
    TFixedWindow::begin(this, "TfrmZipDirectory", QStringLiteral("Destination folder"), designed);

    DriveComboBox1 = new TDriveBox(this);
    DriveComboBox1->setGeometry(8, 8, 240, 24);
    DirectoryListBox1 = new TFolderTree(this);
    DirectoryListBox1->setGeometry(8, 38, 240, 274);
    DirectoryListBox1->attachDriveBox(DriveComboBox1);

    Label1 = label(this, "Label1", QStringLiteral("All files within the selected archive zip file "),
                   QRect(260, 8, 292, 18));
    lblArchive = pathLabel(this, "lblArchive", QRect(260, 28, 292, 18));
    Label2 = label(this, "Label2", QStringLiteral("Will be restored into the following folder:"),
                   QRect(260, 68, 292, 18));
    lblFolder = pathLabel(this, "lblFolder", QRect(260, 88, 292, 18));

    Panel1 = TFixedWindow::placed<QFrame>(this, "Panel1", QRect(260, 132, 292, 140));
    Panel1->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    Label3 = label(Panel1, "Label3",
                   QStringLiteral("All files contained in the selected zip file will be extracted into the folder "
                                  "that you pick on the left. "),
                   QRect(8, 6, 276, 54), true);
    Label4 = label(Panel1, "Label4",
                   QStringLiteral("It is recommended that you select the ROOT folder of the drive that matches the "
                                  "name of the archive to restore the files into their original places."),
                   QRect(8, 62, 276, 72), true);

    Button3 = TFixedWindow::placed<QPushButton>(this, "Button3", QRect(8, 322, 150, 28),
                                                QStringLiteral("&Create sub-folder..."));
    Button1 = TFixedWindow::placed<QPushButton>(this, "Button1", QRect(378, 322, 84, 28), QStringLiteral("OK"));
    Button1->setDefault(true);
    Button2 = TFixedWindow::placed<QPushButton>(this, "Button2", QRect(468, 322, 84, 28), QStringLiteral("Cancel"));

    connect(DirectoryListBox1, &TFolderTree::folderChanged, this, [this](const QByteArray &) { showFolder(); });
    connect(Button1, &QPushButton::clicked, this, &TfrmZipDirectory::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &QDialog::reject);
    connect(Button3, &QPushButton::clicked, this, &TfrmZipDirectory::Button3Click);

    TFixedWindow::finish(this, designed);
}

void TfrmZipDirectory::setArchive(const std::string &archivePath)
{
    archive_ = archivePath;
    lblArchive->setPath(displayName(archivePath));
}

bool TfrmZipDirectory::prepare()
{
    letter_ = ArchiveFolder::driveLetter(archive_);
    if (letter_) {
        const auto d = Drives::find(*letter_);
        if (!d) {
            dialogs().showError(QStringLiteral("Drive %1: named by the archive does not exist.").arg(QChar(*letter_)));
            return false;
        }
        originalRoot_ = withoutTrailingSlash(d->root);
    } else {
        const auto d = Drives::currentDrive();
        originalRoot_ = d ? withoutTrailingSlash(d->root) : std::string("/");
    }
    DriveComboBox1->fillDriveList();
    DirectoryListBox1->setFolder(originalRoot_);
    showFolder();
    return true;
}

std::string TfrmZipDirectory::destination() const { return DirectoryListBox1->selectedFolder(); }

void TfrmZipDirectory::showFolder() { lblFolder->setPath(displayName(destination())); }

void TfrmZipDirectory::Button1Click()
{
    if (letter_ && destination() == originalRoot_) {
        accept();
        return;
    }
    if (dialogs().askYesNo(notOriginalRootQuestion))
        accept();
}

void TfrmZipDirectory::Button3Click()
{
    const auto name = dialogs().inputText(QStringLiteral("Create Sub-folder"), QStringLiteral("New folder name"));
    if (!name || name->isEmpty())
        return;
    const std::string typed = name->toStdString();
    const std::string base = destination();
    std::vector<std::string> parts;
    std::string why;
    if (!ZipExtract::splitStoredName(typed, parts, why)) {
        dialogs().showError(QStringLiteral("Cannot create the folder ") + *name + QStringLiteral(": ")
                            + QString::fromStdString(why));
        return;
    }
    ExtractTarget target(base);
    if (target.folder(parts, true) < 0) {
        dialogs().showError(QStringLiteral("Cannot create the folder ")
                            + displayName(joinPath(base, typed)) + QStringLiteral(": ")
                            + QString::fromLocal8Bit(target.error()));
        return;
    }
    std::string made = base;
    for (const std::string &p : parts)
        made = joinPath(made, p);
    DirectoryListBox1->refresh();
    DirectoryListBox1->setFolder(made);
}

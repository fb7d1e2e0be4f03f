#include "safety/TfrmDelDirectory.h"

#include "common/Dialogs.h"
#include "common/EventPump.h"
#include "common/Navigation.h"
#include "common/TDialogFrame.h"
#include "common/TGaugeFeed.h"
#include "common/TPathLabel.h"
#include "common/TModal.h"
#include "common/TShadowLabel.h"
#include "common/Text.h"
#include "safety/Deletion.h"
#include "safety/FolderRemoval.h"
#include "safety/NonDeleteList.h"
#include "safety/TfrmZipOptions.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QCloseEvent>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

namespace {
const QString kTopText = QStringLiteral("Folder to clean: ");

QFrame *row(QWidget *parent, QPushButton *button, const QString &text, QWidget *extra = nullptr)
{
    auto *frame = new QFrame(parent);
    frame->setFrameShape(QFrame::StyledPanel);
    auto *lay = new QHBoxLayout(frame);
    button->setFixedWidth(190);
    lay->addWidget(button, 0, Qt::AlignTop);
    auto *col = new QVBoxLayout;
    auto *label = new QLabel(text, frame);
    label->setWordWrap(true);
    col->addWidget(label);
    if (extra)
        col->addWidget(extra);
    lay->addLayout(col, 1);
    return frame;
}
}

bool TfrmDelDirectory::navigate(const Navigation::Request &r)
{
    TfrmDelDirectory w(qobject_cast<QWidget *>(r.from));
    w.setFolder(r.path);
    // An aborted removal closes with Cancel, but what it removed is gone.
    const bool ran = TModal::exec(&w) == QDialog::Accepted || w.removalAborted;
    if (r.outcome)
        *r.outcome = {ran, w.folderRemoved, ran && w.recycleMode};
    return w.folderRemoved;
}

TfrmDelDirectory::TfrmDelDirectory(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmDelDirectory"));
    setWindowTitle(QStringLiteral("Clean directory, sub-directories and all files"));
    setWindowFlags(TDialogFrame::flags);
    auto *lay = new QVBoxLayout(this);

    lblTop = new QLabel(kTopText, this);
    lblTop->setAlignment(Qt::AlignHCenter);
    lay->addWidget(lblTop);
    lblDirectory = new TShadowLabel(QString(), QStringLiteral("Arial"), 22, this);
    lblDirectory->setAlignment(Qt::AlignHCenter | Qt::AlignVCenter);
    lay->addWidget(lblDirectory);

    btDelete = new QPushButton(QStringLiteral("&Delete folder"), this);
    btDelete->setToolTip(QStringLiteral("Delete the files shown above.  Cannot be undeleted."));
    lay->addWidget(row(this, btDelete,
                       QStringLiteral("All files and sub-folders are deleted.  Files cannot be recovered.  Hard disk "
                                      "space immediately freed up.")));
    btRecycle = new QPushButton(QStringLiteral("&Send files to recycle bin"), this);
    btRecycle->setToolTip(
        QStringLiteral("Send to recycle bin.  Recycle bin can be emptied later.  Files can be recovered."));
    lay->addWidget(row(this, btRecycle,
                       QStringLiteral("All files sent to the recycle bin which can be emptied later. Files may be "
                                      "recovered.  Hard disk space is not freed up until recycle bin is emptied.")));
    btZip = new QPushButton(QStringLiteral("&Zip up folder"), this);
    btZip->setToolTip(QStringLiteral("Compress files into a ZIP file"));
    cbDelete = new QCheckBox(QStringLiteral("Delete files after zipping them up"), this);
    cbDelete->setChecked(true);
    lay->addWidget(row(this, btZip,
                       QStringLiteral("All files and sub-folders are zipped up (compressed).  Files can be recovered "
                                      "using the UnZip option on the main menu or by using any zip utility."),
                       cbDelete));
    BitBtn3 = new QPushButton(QStringLiteral("Cancel"), this);
    BitBtn3->setToolTip(QStringLiteral("Cancel. Do not delete."));
    lay->addWidget(row(this, BitBtn3, QStringLiteral("Cancel operation.")));

    auto *bottom = new QFrame(this);
    bottom->setFrameShape(QFrame::StyledPanel);
    auto *bl = new QHBoxLayout(bottom);
    Gauge1 = new QProgressBar(bottom);
    Gauge1->setObjectName(QStringLiteral("Gauge1"));
    Gauge1->setRange(0, 100);
    Gauge1->setFixedWidth(80);
    Gauge1->setStyleSheet(QStringLiteral("QProgressBar::chunk { background: red; }"));
    Gauge1->hide();
    pnlCount = new QLabel(QStringLiteral("Count"), bottom);
    pnlCount->setMinimumWidth(70);
    pnlCount->setFrameShape(QFrame::Panel);
    pnlCount->setFrameShadow(QFrame::Sunken);
    pnlName = new TPathLabel(bottom);
    pnlName->setPath(QStringLiteral("Filename"));
    pnlName->setFrameShape(QFrame::Panel);
    pnlName->setFrameShadow(QFrame::Sunken);
    pnlName->setMinimumWidth(360);
    // A long file name is shortened in the middle (whole in the tooltip); it
    // never widens the fixed window.
    pnlName->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    bl->addWidget(Gauge1);
    bl->addWidget(pnlCount);
    bl->addWidget(pnlName, 1);
    lay->addWidget(bottom);

    // Enter never starts a removal: Cancel is the default button, and the
    // removal buttons do not take the default over when they get the focus
    // (after a click, or when a message box closes), so Enter reaches Cancel
    // from anywhere in the window. The window opens with the focus on Cancel.
    for (QPushButton *b : {btDelete, btRecycle, btZip})
        b->setAutoDefault(false);
    BitBtn3->setDefault(true);

    connect(btDelete, &QPushButton::clicked, this, &TfrmDelDirectory::btDeleteClick);
    connect(btRecycle, &QPushButton::clicked, this, &TfrmDelDirectory::btRecycleClick);
    connect(btZip, &QPushButton::clicked, this, &TfrmDelDirectory::btZipClick);
    connect(BitBtn3, &QPushButton::clicked, this, &TfrmDelDirectory::BitBtn3Click);
}

void TfrmDelDirectory::setFolder(const std::string &folder)
{
    folder_ = folder;
    while (folder_.size() > 1 && folder_.back() == '/')
        folder_.pop_back();
    lblDirectory->setText(displayName(folder_));
}

void TfrmDelDirectory::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (!event->spontaneous())
        FormShow();
}

void TfrmDelDirectory::FormShow()
{
    recycleMode = removalRunning = removalAborted = false;
    BitBtn3->setFocus();
    const int reason = FolderRemoval(folder_).protectedReason();
    if (reason != 0) {
        lblTop->setText(QStringLiteral("This folder should not be deleted since it is ") + nonDeleteReasonText(reason));
        lblTop->setStyleSheet(QStringLiteral("color: red;"));
    } else {
        lblTop->setText(kTopText);
        lblTop->setStyleSheet(QString());
    }
}

bool TfrmDelDirectory::StartTheDeletionProcess(const QString &zipComment)
{
    FolderRemoval removal(folder_);
    removal.mode = zipMode ? FolderRemoval::Mode::Zip
                           : recycleMode ? FolderRemoval::Mode::Recycle : FolderRemoval::Mode::Delete;
    removal.deleteAfterZip = cbDelete->isChecked();
    removal.zipComment = zipComment;
    // Events run every pump interval, so that Abort answers at once; the
    // count and name panels show the latest file only every sixth interval
    // (about ten times a second), not at every file: drawing names nobody
    // can read would otherwise take a good part of a removal's own time.
    // The first file shows at once, a long add of zip mode updates them at
    // its progress reports, and the final count is shown before the closing
    // message.
    int64_t count = 0, shownCount = 0;
    std::string path;
    QElapsedTimer sinceShown;
    sinceShown.start();
    const int showEveryMs = 6 * EventPump::defaultInterval();
    auto showPanels = [&](bool now) {
        if (count != shownCount && (now || shownCount == 0 || sinceShown.elapsed() >= showEveryMs)) {
            shownCount = count;
            sinceShown.start();
            pnlCount->setText(formatThousands(count));
            pnlName->setPath(displayName(path));
        }
    };
    EventPump pump(EventPump::defaultInterval(), {}, [&] {
        showPanels(false);
        QCoreApplication::processEvents();
    });
    removal.hooks.pump = [&] {
        const bool ran = pump.pump();
        if (removalAborted)
            removal.aborted = true;
        return ran;
    };
    removal.hooks.fileStarted = [&](int64_t n, const std::string &p) {
        count = n;
        path = p;
    };
    TGaugeFeed gauge(Gauge1);
    removal.hooks.settled = [&] {
        showPanels(true);
        gauge.flush();
    };
    removal.hooks.zipProgress = [&](int percent) {
        Gauge1->show();
        gauge.set(percent);
        showPanels(false);
    };
    btDelete->setEnabled(false);
    btRecycle->setEnabled(false);
    btZip->setEnabled(false);
    const FolderRemoval::Outcome out = removal.run();
    removalAborted = removalAborted || removal.aborted;
    folderRemoved = out.folderRemoved;
    Gauge1->hide();
    pnlCount->setText(QStringLiteral("Count"));
    pnlName->setPath(QStringLiteral("Filename"));
    btDelete->setEnabled(true);
    btRecycle->setEnabled(true);
    btZip->setEnabled(true);
    return out.ran;
}

// Closes with OK once a removal ran; with Cancel when the user aborted it.
void TfrmDelDirectory::finishRun(bool ran)
{
    removalRunning = false;
    if (!ran)
        return;
    if (removalAborted)
        QDialog::done(QDialog::Rejected);
    else
        accept();
}

void TfrmDelDirectory::btDeleteClick()
{
    recycleMode = zipMode = false;
    removalRunning = true;
    finishRun(StartTheDeletionProcess());
}

void TfrmDelDirectory::btRecycleClick()
{
    if (!dialogs().askYesNo(Deletion::kRecycleQuestion)) {
        recycleMode = zipMode = false;
        return;
    }
    recycleMode = true;
    zipMode = false;
    removalRunning = true;
    finishRun(StartTheDeletionProcess());
}

void TfrmDelDirectory::btZipClick()
{
    zipMode = true;
    recycleMode = false;
    TfrmZipOptions options(this);
    if (TModal::exec(&options) != QDialog::Accepted) {
        zipMode = false;
        return;
    }
    removalRunning = true;
    finishRun(StartTheDeletionProcess(options.zipComment));
}

void TfrmDelDirectory::BitBtn3Click()
{
    if (!removalRunning) {
        QDialog::done(QDialog::Rejected);
        return;
    }
    if (dialogs().askYesNo(Deletion::kReallyAbort))
        removalAborted = true;
}

void TfrmDelDirectory::reject() { BitBtn3Click(); }

void TfrmDelDirectory::closeEvent(QCloseEvent *event)
{
    if (removalRunning) {
        event->ignore();
        BitBtn3Click();
        return;
    }
    QDialog::closeEvent(event);
}

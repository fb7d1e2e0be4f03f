#include "safety/TfrmReallyDelete.h"

#include "safety/TfrmStandBy.h"
#include "common/Dialogs.h"
#include "common/TDialogFrame.h"
#include "common/TGaugeFeed.h"
#include "common/EventPump.h"
#include "common/Runs.h"
#include "common/TModal.h"
#include "common/Text.h"
#include "safety/CopyCheck.h"
#include "safety/Deletion.h"
#include "platform/Removal.h"
#include "safety/NonDeleteList.h"
#include "safety/TfrmZipOptions.h"
#include "safety/ZipRun.h"

#include <QApplication>
#include <QCloseEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QTabWidget>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>

namespace {
const QString kListHint = QStringLiteral("To select multiple files, drag the mouse cursor over the list");

QLabel *wrapped(const char *name, const QString &text, QWidget *parent)
{
    auto *l = new QLabel(text, parent);
    l->setObjectName(QLatin1String(name));
    l->setWordWrap(true);
    return l;
}

QPushButton *button(const char *name, const QString &text, const QString &hint, QWidget *parent)
{
    auto *b = new QPushButton(text, parent);
    b->setObjectName(QLatin1String(name));
    b->setToolTip(hint);
    return b;
}

QListWidget *panel(const char *name, QWidget *parent)
{
    auto *l = new QListWidget(parent);
    l->setObjectName(QLatin1String(name));
    l->setSelectionMode(QAbstractItemView::ExtendedSelection);
    l->setToolTip(kListHint);
    l->setUniformItemSizes(true);
    return l;
}

// A notebook page: its texts, its panel, and its buttons on the right below.
void layPage(QWidget *page, std::initializer_list<QLabel *> texts, QListWidget *list,
             std::initializer_list<QPushButton *> buttons)
{
    auto *lay = new QVBoxLayout(page);
    for (QLabel *l : texts)
        lay->addWidget(l);
    lay->addWidget(list, 1);
    auto *row = new QHBoxLayout;
    row->addStretch(1);
    for (QPushButton *b : buttons)
        row->addWidget(b);
    lay->addLayout(row);
}

std::string pathOf(const QListWidgetItem *item)
{
    return item->data(Qt::UserRole).toByteArray().toStdString();
}

std::vector<std::string> pathsOf(const QListWidget *l)
{
    std::vector<std::string> out;
    out.reserve(size_t(l->count()));
    for (int i = 0; i < l->count(); ++i)
        out.push_back(pathOf(l->item(i)));
    return out;
}

// An entry shows the path as text and keeps its bytes.
QListWidgetItem *entry(const std::string &path)
{
    auto *item = new QListWidgetItem(displayName(path));
    item->setData(Qt::UserRole, QByteArray::fromStdString(path));
    return item;
}

// Replaces a panel's entries by paths, in panel order.
void fill(QListWidget *l, std::vector<std::string> paths)
{
    Deletion::sortPanel(paths);
    l->setUpdatesEnabled(false);
    l->clear();
    for (const std::string &p : paths)
        l->addItem(entry(p));
    l->setUpdatesEnabled(true);
}
}

bool TfrmReallyDelete::navigate(const Navigation::Request &r)
{
    TfrmReallyDelete dlg(qobject_cast<QWidget *>(r.from));
    dlg.setFiles(r.files);
    dlg.archiveTag = r.archiveTag;
    dlg.sameContents = r.sameContents;
    dlg.potentialSavings = r.potentialSavings;
    return TModal::exec(&dlg) != QDialog::Rejected;
}

TfrmReallyDelete::TfrmReallyDelete(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmReallyDelete"));
    setWindowTitle(QStringLiteral("Clean up the following files"));
    setWindowFlags(TDialogFrame::flags);

    lblDelete = new QLabel(QStringLiteral("The following files will be deleted:"), this);
    lblDelete->setObjectName(QStringLiteral("lblDelete"));
    Label3 = new QLabel(QStringLiteral("Potential savings of "), this);
    Label3->setObjectName(QStringLiteral("Label3"));
    lblSavings = new QLabel(this);
    lblSavings->setObjectName(QStringLiteral("lblSavings"));

    TabbedNotebook1 = new QTabWidget(this);
    TabbedNotebook1->setObjectName(QStringLiteral("TabbedNotebook1"));

    auto *page1 = new QWidget;
    Label1 = wrapped("Label1",
                     QStringLiteral("These files are not in the package lists or desktop entries or in the search "
                                    "path therefore it is safer to delete these files.  However, these files may "
                                    "still belong to working "
                                    "applications therefore they may be needed for proper operation of other "
                                    "applications."),
                     page1);
    Label5 = wrapped("Label5",
                     QStringLiteral("To move these files off of the list of files to be deleted drag the mouse cursor "
                                    "over the file list to select the desired files then click on the Move button."),
                     page1);
    lblLeft = new QLabel(page1);
    lblLeft->setObjectName(QStringLiteral("lblLeft"));
    lb1 = panel("lb1", page1);
    btToAgainst = button("btToAgainst", QStringLiteral("Move files OFF of the deletion panel"),
                         QStringLiteral("Move selected files off of the deletion list"), page1);
    btToAgainst->setEnabled(false);
    layPage(page1, {Label1, Label5, lblLeft}, lb1, {btToAgainst});
    TabbedNotebook1->addTab(page1, QStringLiteral("Files to be deleted"));

    auto *page2 = new QWidget;
    Label2 = wrapped("Label2",
                     QStringLiteral("It is not recommended that you delete these files without uninstalling their "
                                    "associated applications.  They are either located in the system directories "
                                    "/usr/lib and /etc or the search path or are in the package lists or desktop "
                                    "entries.  These files will not be deleted."),
                     page2);
    Label4 = wrapped("Label4",
                     QStringLiteral("To delete these files move them to the deletion panel.  You may select multiple "
                                    "files by dragging the mouse over the list of files above then clicking on the "
                                    "Move files button."),
                     page2);
    lblRight = new QLabel(page2);
    lblRight->setObjectName(QStringLiteral("lblRight"));
    lb2 = panel("lb2", page2);
    btMoveLeft = button("btMoveLeft", QStringLiteral("Move files to the deletion panel"),
                        QStringLiteral("Move files on to the list of files to be deleted"), page2);
    btReason = button("btReason", QStringLiteral("Reason that file is on this list"),
                      QStringLiteral("Why the file is on the list of non-deleted files"), page2);
    btMoveLeft->setEnabled(false);
    btReason->setEnabled(false);
    layPage(page2, {Label2, Label4, lblRight}, lb2, {btMoveLeft, btReason});
    TabbedNotebook1->addTab(page2, QStringLiteral("Do not delete these files"));

    pnlButtons = new QWidget(this);
    pnlButtons->setObjectName(QStringLiteral("pnlButtons"));
    btZip = button("btZip", QStringLiteral("&Archive files into a zip file"),
                   QStringLiteral("Compress files into a ZIP file"), pnlButtons);
    btDelete = button("btDelete", QStringLiteral("&Delete all files"),
                      QStringLiteral("Delete the files shown above permanently.  Cannot be undeleted."), pnlButtons);
    btRecycle = button("btRecycle", QStringLiteral("&Send to recycle bin"),
                       QStringLiteral("Send to recycle bin.  Recycle bin can be emptied later."), pnlButtons);
    {
        auto *lay = new QHBoxLayout(pnlButtons);
        lay->setContentsMargins(0, 0, 0, 0);
        lay->addWidget(btZip);
        lay->addWidget(btDelete);
        lay->addWidget(btRecycle);
        lay->addStretch(1);
    }

    pnlProgress = new QWidget(this);
    pnlProgress->setObjectName(QStringLiteral("pnlProgress"));
    lblName = new QLabel(pnlProgress);
    lblName->setObjectName(QStringLiteral("lblName"));
    lblName->setTextFormat(Qt::PlainText);
    lblName->setMinimumWidth(80);
    lblName->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    bar = new QProgressBar(pnlProgress);
    bar->setObjectName(QStringLiteral("bar"));
    bar->setToolTip(QStringLiteral("Progress bar"));
    bar->setTextVisible(false);
    bar->hide();
    Gauge1 = new QProgressBar(pnlProgress);
    Gauge1->setObjectName(QStringLiteral("Gauge1"));
    Gauge1->setRange(0, 100);
    Gauge1->setStyleSheet(QStringLiteral("QProgressBar::chunk { background: red; }"));
    Gauge1->hide();
    {
        auto *lay = new QVBoxLayout(pnlProgress);
        lay->setContentsMargins(0, 0, 0, 0);
        lay->addWidget(lblName);
        lay->addWidget(bar);
        lay->addWidget(Gauge1);
    }
    pnlProgress->hide();

    btClose = button("btClose", QStringLiteral("Close"),
                     QStringLiteral("Cancel and close.  May cancel an operation in progress."), this);
    // Enter never starts a removal: Close is the default button, and the
    // three action buttons do not take the default over when they get the
    // focus (after a click, or when a message box closes).
    btClose->setDefault(true);
    for (QPushButton *b : {btZip, btDelete, btRecycle})
        b->setAutoDefault(false);

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setSingleShot(true);
    Timer1->setInterval(500);

    auto *top = new QHBoxLayout;
    top->addWidget(lblDelete, 1);
    top->addWidget(Label3);
    top->addWidget(lblSavings);
    auto *bottom = new QGridLayout;
    bottom->addWidget(pnlButtons, 0, 0);
    bottom->addWidget(pnlProgress, 0, 0);
    bottom->addWidget(btClose, 0, 1, Qt::AlignRight | Qt::AlignBottom);
    bottom->setColumnStretch(0, 1);
    auto *lay = new QVBoxLayout(this);
    lay->addLayout(top);
    lay->addWidget(TabbedNotebook1, 1);
    lay->addLayout(bottom);
    resize(640, 470);

    connect(Timer1, &QTimer::timeout, this, &TfrmReallyDelete::Timer1Timer);
    connect(btDelete, &QPushButton::clicked, this, &TfrmReallyDelete::btDeleteAllClick);
    connect(btRecycle, &QPushButton::clicked, this, &TfrmReallyDelete::btRecycleClick);
    connect(btZip, &QPushButton::clicked, this, &TfrmReallyDelete::btZipClick);
    connect(btClose, &QPushButton::clicked, this, &TfrmReallyDelete::btCloseClick);
    connect(btMoveLeft, &QPushButton::clicked, this, &TfrmReallyDelete::btMoveLeftClick);
    connect(btToAgainst, &QPushButton::clicked, this, &TfrmReallyDelete::btToAgainstClick);
    connect(btReason, &QPushButton::clicked, this, &TfrmReallyDelete::btReasonClick);
    connect(lb1, &QListWidget::itemSelectionChanged, this, &TfrmReallyDelete::lb1Click);
    connect(lb2, &QListWidget::itemSelectionChanged, this, &TfrmReallyDelete::lb2Click);
}

TfrmReallyDelete::~TfrmReallyDelete() = default;

void TfrmReallyDelete::addFile(const std::string &path)
{
    int lo = 0, hi = lb1->count();
    while (lo < hi) {
        const int mid = (lo + hi) / 2;
        if (Deletion::panelLess(pathOf(lb1->item(mid)), path))
            lo = mid + 1;
        else
            hi = mid;
    }
    if (lo < lb1->count() && pathOf(lb1->item(lo)) == path)
        return;
    lb1->insertItem(lo, entry(path));
}

void TfrmReallyDelete::setFiles(std::vector<std::string> paths) { fill(lb1, std::move(paths)); }

std::vector<std::string> TfrmReallyDelete::deletionPanel() const { return pathsOf(lb1); }
std::vector<std::string> TfrmReallyDelete::nonDeletePanel() const { return pathsOf(lb2); }

void TfrmReallyDelete::showEvent(QShowEvent *e)
{
    QDialog::showEvent(e);
    if (!shown_ && !e->spontaneous()) {
        shown_ = true;
        FormShow();
    }
}

void TfrmReallyDelete::FormShow()
{
    abortRequested = false;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    // A name of a file that keeps another name frees nothing: the finder's
    // figure counts each name, so those bytes come off.
    lblSavings->setText(
        Deletion::savingsText(std::max(0.0, potentialSavings - double(Removal::unfreedBytes(deletionPanel())))));
    UpdateHeaders();
    lblName->clear();
    MoveFiles();
    QApplication::restoreOverrideCursor();
    // The texts changed after the window was laid out for showing.
    layout()->activate();
    if (lb1->count() == 0)
        Timer1->start();
}

void TfrmReallyDelete::MoveFiles()
{
    // Inputs stay disabled while events are pumped, so nothing can act on the
    // deletion panel before every protected file has left it.
    busy_ = true;
    TabbedNotebook1->setEnabled(false);
    pnlButtons->setEnabled(false);
    btClose->setEnabled(false);

    const std::vector<std::string> all = pathsOf(lb1);
    TfrmStandBy &standBy = TfrmStandBy::instance();
    standBy.bar->setRange(0, std::max<int>(1, int(all.size()) - 1));
    standBy.bar->setValue(0);
    standBy.show();
    standBy.repaint();

    std::vector<std::string> keep, protectedFiles = pathsOf(lb2);
    EventPump pump;
    int step = 0;
    for (size_t i = all.size(); i-- > 0;) {
        standBy.bar->setValue(step++);
        pump.pump();
        if (isOnNonDeleteList(all[i], true) > 0)
            protectedFiles.push_back(all[i]);
        else
            keep.push_back(all[i]);
    }
    fill(lb1, std::move(keep));
    fill(lb2, std::move(protectedFiles));
    standBy.hide();

    TabbedNotebook1->setEnabled(true);
    pnlButtons->setEnabled(true);
    btClose->setEnabled(true);
    busy_ = false;
    updateLeftRight();
}

void TfrmReallyDelete::Timer1Timer()
{
    Timer1->stop();
    ShowWarning();
}

void TfrmReallyDelete::ShowWarning()
{
    dialogs().showInfo(Deletion::kAllProtected);
    TabbedNotebook1->setCurrentIndex(1);
}

void TfrmReallyDelete::UpdateHeaders() { lblDelete->setText(Deletion::countHeader(lb1->count(), lb2->count())); }

void TfrmReallyDelete::updateLeftRight()
{
    lblLeft->setText(QStringLiteral("Deletion Panel - files to be deleted: %1").arg(lb1->count()));
    lblRight->setText(QStringLiteral("Files that will NOT be deleted: %1").arg(lb2->count()));
    btMoveLeft->setEnabled(!lb2->selectedItems().isEmpty());
    btToAgainst->setEnabled(!lb1->selectedItems().isEmpty());
    btReason->setEnabled(btMoveLeft->isEnabled());
    UpdateHeaders();
}

void TfrmReallyDelete::lb1Click() { btToAgainst->setEnabled(!lb1->selectedItems().isEmpty()); }

void TfrmReallyDelete::lb2Click()
{
    const bool any = !lb2->selectedItems().isEmpty();
    btMoveLeft->setEnabled(any);
    btReason->setEnabled(any);
}

void TfrmReallyDelete::moveSelected(QListWidget *from, QListWidget *to, int pageWhenEmpty)
{
    if (busy_)
        return;
    std::vector<std::string> stay, moved = pathsOf(to);
    for (int i = 0; i < from->count(); ++i)
        (from->item(i)->isSelected() ? moved : stay).push_back(pathOf(from->item(i)));
    fill(from, std::move(stay));
    fill(to, std::move(moved));
    updateLeftRight();
    if (from->count() == 0)
        TabbedNotebook1->setCurrentIndex(pageWhenEmpty);
}

void TfrmReallyDelete::btToAgainstClick() { moveSelected(lb1, lb2, 1); }
void TfrmReallyDelete::btMoveLeftClick() { moveSelected(lb2, lb1, 0); }

void TfrmReallyDelete::btReasonClick()
{
    const QListWidgetItem *item = lb2->currentItem();
    if (!item)
        return;
    const std::string path = pathOf(item);
    dialogs().showInfo(Deletion::reasonText(path, isOnNonDeleteList(path, true)));
}

bool TfrmReallyDelete::NoFilesToDelete()
{
    if (lb1->count() > 0)
        return false;
    dialogs().showInfo(Deletion::kNoFiles);
    return true;
}

void TfrmReallyDelete::actionFrame(void (TfrmReallyDelete::*action)())
{
    if (busy_ || NoFilesToDelete())
        return;
    pnlButtons->hide();
    pnlProgress->show();
    (this->*action)();
    pnlButtons->show();
    pnlProgress->hide();
}

void TfrmReallyDelete::btDeleteAllClick() { actionFrame(&TfrmReallyDelete::DeleteAllClick); }
void TfrmReallyDelete::btRecycleClick() { actionFrame(&TfrmReallyDelete::RecycleClick); }
void TfrmReallyDelete::btZipClick() { actionFrame(&TfrmReallyDelete::ZipItClick); }

void TfrmReallyDelete::ZipItClick()
{
    // Empty folders and broken links hold nothing to archive: a zip run
    // leaves them where they are and says so.
    const std::vector<std::string> panel = deletionPanel();
    const std::vector<std::string> files = Deletion::zipPaths(panel, lint);
    const int64_t left = int64_t(panel.size() - files.size());
    if (files.empty()) {
        dialogs().showInfo(Deletion::zipLeftText(left));
        return;
    }
    TfrmZipOptions options(this);
    if (TModal::exec(&options) != QDialog::Accepted)
        return;
    ZipRun run(archiveTag, options.zipComment);
    CopyCheck check(sameContents);
    run.copyCheck = &check;
    run.hooks.fileStarted = [this](size_t i, const std::string &p) { stepTo(i, p); };
    TGaugeFeed gauge(Gauge1);
    run.hooks.itemProgress = [&](int percent) { gauge.set(percent); };
    run.hooks.abortRequested = [this] { return abortRequested; };
    ZipRun::Result result;
    Gauge1->setValue(0);
    Gauge1->show();
    runWithProgress(files.size(), true, [&] { result = run.run(files); });
    Gauge1->hide();
    ZipRun::finish(result, check.leftText());
    if (left > 0)
        dialogs().showInfo(Deletion::zipLeftText(left));
    // An archive that could not be made before anything was zipped leaves
    // the window idle.
    if (result.archiveFailed && result.files == 0)
        return;
    closeAfterAction();
}

void TfrmReallyDelete::DeleteAllClick() { removeAll(Deletion::kReallyDelete, false); }
void TfrmReallyDelete::RecycleClick() { removeAll(Deletion::kRecycleQuestion, true); }

void TfrmReallyDelete::removeAll(const QString &question, bool recycle)
{
    if (!dialogs().askYesNo(question)) {
        dialogs().showInfo(Deletion::kNotDeleted);
        return;
    }
    const std::vector<std::string> files = deletionPanel();
    const auto step = [this](size_t i, const std::string &p) { return stepTo(i, p); };
    Deletion::Tally done;
    CopyCheck check(sameContents);
    runWithProgress(files.size(), false, [&] {
        done = recycle ? Deletion::recycleFiles(files, step, lint, &check) : Deletion::deleteFiles(files, step, lint, &check);
    });
    const QString left = check.leftText();
    if (recycle) {
        Deletion::recordDeletionTally(0, 0, done.files, done.bytes);
        // Nothing was freed: say where the files went and what the bin took.
        const bool completed = done.files + check.left() == int64_t(files.size());
        dialogs().showInfo(Deletion::recycledText(done.files, done.bytes, completed)
                           + (left.isEmpty() ? QString() : QStringLiteral("\n\n") + left));
    } else {
        Deletion::recordDeletionTally(done.files, done.bytes, 0, 0);
        if (!left.isEmpty())
            dialogs().showInfo(left);
    }
    closeAfterAction();
}

void TfrmReallyDelete::runWithProgress(size_t files, bool abortable, const std::function<void()> &body)
{
    struct Restore {
        TfrmReallyDelete *w;
        ~Restore()
        {
            w->btClose->setEnabled(true);
            w->bar->hide();
            w->TabbedNotebook1->setEnabled(true);
            QApplication::restoreOverrideCursor();
            w->pump_.reset();
            w->busy_ = false;
            w->abortable_ = false;
        }
    };
    const Runs::Token token(abortable ? QStringLiteral("a zip run") : QStringLiteral("a deletion"),
                           [this] { abortRequested = true; });
    busy_ = true;
    abortable_ = abortable;
    pump_ = std::make_unique<EventPump>();
    QApplication::setOverrideCursor(Qt::WaitCursor);
    TabbedNotebook1->setEnabled(false);
    btClose->setEnabled(abortable);
    bar->setRange(0, std::max<int>(1, int(files) - 1));
    bar->setValue(0);
    bar->show();
    Restore restore{this};
    body();
}

bool TfrmReallyDelete::stepTo(size_t index, const std::string &path)
{
    lblName->setText(displayName(path));
    bar->setValue(int(index));
    if (pump_)
        pump_->pump();
    return !abortRequested;
}

void TfrmReallyDelete::closeAfterAction()
{
    lb1->clear();
    UpdateHeaders();
    done(QDialog::Accepted);
}

void TfrmReallyDelete::askAbort()
{
    if (!abortRequested && dialogs().askYesNo(Deletion::kReallyAbort))
        abortRequested = true;
}

void TfrmReallyDelete::btCloseClick()
{
    if (!busy_) {
        Timer1->stop();
        done(QDialog::Rejected);
    }
    else if (abortable_)
        askAbort();
}

// Escape and the close box close the window only while nothing runs; under
// an abortable run they ask to abort it, under any other run nothing happens.
void TfrmReallyDelete::reject() { btCloseClick(); }

void TfrmReallyDelete::closeEvent(QCloseEvent *e)
{
    if (busy_) {
        e->ignore();
        if (abortable_)
            askAbort();
        return;
    }
    QDialog::closeEvent(e);
}

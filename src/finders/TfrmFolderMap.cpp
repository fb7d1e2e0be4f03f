#include "finders/TfrmFolderMap.h"

#include "common/Dialogs.h"
#include "common/PathsMime.h"
#include "common/TModal.h"
#include "common/TPathLabel.h"
#include "common/TPrintImage.h"
#include "common/Text.h"
#include "finders/FolderMap.h"
#include "finders/TFolderMapView.h"
#include "platform/Drives.h"
#include "platform/PathInfo.h"
#include "safety/FolderRemoval.h"
#include "scan/TFinderFrame.h"
#include "settings/TWinPlace.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QPrinter>
#include <QPushButton>
#include <QShowEvent>
#include <QVBoxLayout>

namespace {
QLabel *statusPanel(QWidget *parent, const char *name)
{
    auto *l = new QLabel(parent);
    l->setObjectName(QLatin1String(name));
    l->setFrameShape(QFrame::StyledPanel);
    l->setFrameShadow(QFrame::Sunken);
    l->setMinimumHeight(19);
    l->setTextFormat(Qt::PlainText);
    l->setMinimumWidth(1); // a long path never widens the window
    return l;
}

QAction *menuEntry(QMenu *menu, const char *name, const QString &text)
{
    QAction *a = menu->addAction(text);
    a->setObjectName(QLatin1String(name));
    return a;
}

const QString kAllDrives = QStringLiteral("All drives");
}

TfrmFolderMap::TfrmFolderMap(QWidget *parent) : QDialog(parent), scan_(walker_)
{
    setObjectName(QStringLiteral("frmFolderMap"));
    setWindowTitle(QStringLiteral("Folder map"));
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMaximizeButtonHint
                   | Qt::WindowCloseButtonHint);
    setSizeGripEnabled(true);

    auto *top = new QHBoxLayout;
    top->setContentsMargins(6, 6, 6, 4);
    top->setSpacing(5);
    lblZoom = new TPathLabel(this);
    lblZoom->setObjectName(QStringLiteral("lblZoom"));
    lblZoom->setFrameShape(QFrame::StyledPanel);
    lblZoom->setFrameShadow(QFrame::Sunken);
    btZoomOut = TFinderFrame::newButton(this, "btZoomOut", QStringLiteral("Zoom &out"),
                                        QStringLiteral("Show the folder above (Backspace)"));
    btPrint = TFinderFrame::newButton(this, "btPrint", QStringLiteral("&Print"), QStringLiteral("Print the map"));
    btAbort = TFinderFrame::newButton(this, "btAbort", QStringLiteral("&Abort"), QStringLiteral("Abort scan"));
    btClose = TFinderFrame::newButton(this, "btClose", QStringLiteral("Close"), QStringLiteral("Close window"));
    btAbort->hide();
    top->addWidget(lblZoom, 1);
    for (QPushButton *b : {btZoomOut, btPrint, btAbort, btClose}) {
        b->setMinimumWidth(75);
        top->addWidget(b);
    }

    view = new TFolderMapView(this);
    view->setToolTip(QString()); // the view shows each tile's own tooltip

    auto *status = new QHBoxLayout;
    status->setSpacing(2);
    pnlPath = statusPanel(this, "pnlPath");
    pnlTotal = statusPanel(this, "pnlTotal");
    status->addWidget(pnlPath, 3);
    status->addWidget(pnlTotal, 2);

    auto *box = new QVBoxLayout(this);
    box->setContentsMargins(0, 0, 0, 0);
    box->setSpacing(0);
    box->addLayout(top);
    box->addWidget(view, 1);
    box->addLayout(status);

    menu = new QMenu(this);
    menu->setObjectName(QStringLiteral("PopupMenu1"));
    actZoomIn = menuEntry(menu, "ZoomIn1", QStringLiteral("Zoom &in"));
    actZoomOut = menuEntry(menu, "ZoomOut1", QStringLiteral("Zoom &out"));
    menu->addSeparator();
    actBrowse = menuEntry(menu, "Browse1", QStringLiteral("&Browse"));
    actClean = menuEntry(menu, "Clean1", QStringLiteral("Clean?"));
    actCopyPath = menuEntry(menu, "CopyPath1", QStringLiteral("&Copy path"));

    connect(view, &TFolderMapView::hovered, this, &TfrmFolderMap::tileHovered);
    connect(view, &TFolderMapView::clicked, this, &TfrmFolderMap::tileClicked);
    connect(view, &TFolderMapView::doubleClicked, this, &TfrmFolderMap::tileDoubleClicked);
    connect(view, &TFolderMapView::menuRequested, this, &TfrmFolderMap::showMenu);
    connect(view, &TFolderMapView::zoomOutKey, this, &TfrmFolderMap::zoomOut);
    connect(view, &TFolderMapView::zoomInKey, this, [this] { zoomIn(selectedNode()); });
    connect(btZoomOut, &QPushButton::clicked, this, &TfrmFolderMap::zoomOut);
    connect(btPrint, &QPushButton::clicked, this, &TfrmFolderMap::btPrintClick);
    connect(btAbort, &QPushButton::clicked, this, &TfrmFolderMap::btAbortClick);
    connect(btClose, &QPushButton::clicked, this, &QDialog::close);
    connect(actZoomIn, &QAction::triggered, this, [this] { zoomIn(selectedNode()); });
    connect(actZoomOut, &QAction::triggered, this, &TfrmFolderMap::zoomOut);
    connect(actBrowse, &QAction::triggered, this, &TfrmFolderMap::browseClick);
    connect(actClean, &QAction::triggered, this, &TfrmFolderMap::cleanClick);
    connect(actCopyPath, &QAction::triggered, this, &TfrmFolderMap::copyPathClick);

    resize(900, 620);
    place_ = new TWinPlace(this);
    place_->IniFileName = QStringLiteral("vantor.ini");
    place_->Identifier = QStringLiteral("frmFolderMap");
    showZoom();
}

TfrmFolderMap::~TfrmFolderMap() { place_->save(); }

bool TfrmFolderMap::navigate(const Navigation::Request &r)
{
    TfrmFolderMap w(qobject_cast<QWidget *>(r.from));
    w.hooks_ = r;
    w.hooks_.folderMap.reset();
    if (!r.foreignScan.isEmpty()) {
        // Folders of another machine: shown, never browsed or removed here.
        w.setWindowTitle(QStringLiteral("Folder map - ") + r.foreignScan);
        const QString why = QStringLiteral("The scan file lists folders of the machine it was made on, not of this one");
        w.actBrowse->setToolTip(why);
        w.actClean->setToolTip(why);
        w.menu->setToolTipsVisible(true);
        w.view->setShareOfScan(true);
    }
    if (r.folderMap) {
        w.view->setMap(r.folderMap);
        w.showZoom();
    } else {
        if (r.path.empty())
            return false;
        // The walk runs in the window, which nothing else takes input from.
        w.setWindowModality(Qt::ApplicationModal);
        w.show();
        w.walkFolder(r.path);
    }
    TModal::exec(&w);
    return true;
}

FolderMap *TfrmFolderMap::map() const { return view->map(); }

int TfrmFolderMap::zoom() const { return view->zoom(); }

int TfrmFolderMap::selectedNode() const { return view->selected(); }

std::string TfrmFolderMap::pathOf(int node) const
{
    const FolderMap *m = map();
    return m ? m->path(node) : std::string();
}

void TfrmFolderMap::showEvent(QShowEvent *e)
{
    QDialog::showEvent(e);
    if (!e->spontaneous()) {
        if (!place_->hasStored())
            place_->centre();
        view->setFocus();
    }
}

void TfrmFolderMap::walkFolder(const std::string &folder)
{
    if (walking())
        return;
    double capacity = 0, freeBytes = 0;
    if (const auto drive = Drives::driveOfPath(folder); !drive || !Drives::driveSpace(drive->root, freeBytes, capacity))
        capacity = 0;
    scan_.begin(DirHogScan::Mode::AllFolders, ParallelWalk::defaultWorkers());
    scan_.capacity = capacity;
    walker_.reset();
    walker_.status = [this](const QString &s) { pnlPath->setText(s); };
    setWalking(true);
    walker_.scanFolder(folder);
    const std::vector<DirHogScan::Line> lines = scan_.finish();
    std::vector<DirHogScan::MapFolder> folders;
    folders.reserve(lines.size());
    for (const DirHogScan::Line &l : lines)
        folders.push_back({l.folder, l.bytes, l.files});
    auto built = std::make_shared<FolderMap>();
    built->build(scan_.mapTree(folders), capacity);
    const bool aborted = walker_.scanAborted;
    setWalking(false);
    view->setMap(std::move(built));
    showZoom();
    // After a whole walk: the folders it could not enter, if any.
    pnlPath->setText(aborted ? QStringLiteral("Scan aborted: the map shows the folders found until then")
                             : walker_.skippedText());
}

void TfrmFolderMap::setWalking(bool on)
{
    btAbort->setVisible(on);
    for (QWidget *w : {static_cast<QWidget *>(btZoomOut), static_cast<QWidget *>(btPrint),
                       static_cast<QWidget *>(btClose), static_cast<QWidget *>(view)})
        w->setEnabled(!on);
    if (on) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
    } else {
        QApplication::restoreOverrideCursor();
        showZoom();
    }
}

void TfrmFolderMap::btAbortClick()
{
    if (!walking() || walker_.scanAborted)
        return;
    btAbort->hide();
    walker_.abortByUser();
}

void TfrmFolderMap::reject()
{
    if (walking()) {
        btAbortClick();
        return;
    }
    QDialog::reject();
}

void TfrmFolderMap::done(int r)
{
    // The walker must outlive its walk.
    if (walking())
        return;
    QDialog::done(r);
}

void TfrmFolderMap::closeEvent(QCloseEvent *e)
{
    if (walking()) {
        e->ignore();
        btAbortClick();
        return;
    }
    QDialog::closeEvent(e);
}

void TfrmFolderMap::showZoom()
{
    const FolderMap *m = map();
    const int z = zoom();
    if (!m || z < 0) {
        lblZoom->setPath(QString());
        btZoomOut->setEnabled(false);
        pnlTotal->clear();
        return;
    }
    const FolderMap::Node &n = m->nodes()[size_t(z)];
    lblZoom->setPath(m->isTop(z) ? kAllDrives : displayName(m->path(z)));
    btZoomOut->setEnabled(n.parent >= 0 && !walking());
    const QString share = view->shareText(n.bytes);
    pnlTotal->setText(sizeWithUnit(n.bytes) + QStringLiteral(" in ") + TFolderMapView::filesText(n.files)
                      + (share.isEmpty() ? QString() : QStringLiteral(", ") + share));
}

void TfrmFolderMap::zoomTo(int node)
{
    const FolderMap *m = map();
    if (!m || node < 0 || node >= int(m->nodes().size()))
        return;
    view->setZoom(node);
    showZoom();
}

void TfrmFolderMap::zoomIn(int node)
{
    const FolderMap *m = map();
    if (!m || node < 0 || node >= int(m->nodes().size()) || node == zoom()
        || m->nodes()[size_t(node)].children.empty())
        return;
    zoomTo(node);
}

void TfrmFolderMap::zoomOut()
{
    const FolderMap *m = map();
    if (!m || zoom() < 0)
        return;
    const int from = zoom();
    const int parent = m->nodes()[size_t(from)].parent;
    if (parent < 0)
        return;
    zoomTo(parent);
    // The folder just left stays chosen, so Enter goes back into it.
    selectNode(from);
}

void TfrmFolderMap::selectNode(int node)
{
    view->setSelected(node);
    const std::string path = pathOf(node);
    if (!path.empty() && hooks_.selectFolder)
        hooks_.selectFolder(path);
}

void TfrmFolderMap::tileHovered(int tile)
{
    if (tile < 0) {
        pnlPath->clear();
        showZoom();
        return;
    }
    const FolderMap::Tile &t = view->tiles()[size_t(tile)];
    const std::string path = pathOf(t.node);
    const QString shown = path.empty() ? kAllDrives : displayName(path);
    switch (t.kind) {
    case FolderMap::Kind::Folder:
        pnlPath->setText(shown);
        break;
    case FolderMap::Kind::OwnFiles:
        pnlPath->setText(QStringLiteral("Files lying in ") + shown);
        break;
    case FolderMap::Kind::Other:
        pnlPath->setText(QString::number(t.merged) + QStringLiteral(" smaller items in ") + shown);
        break;
    }
    const QString share = view->shareText(t.bytes);
    pnlTotal->setText(sizeWithUnit(t.bytes) + (share.isEmpty() ? QString() : QStringLiteral(", ") + share));
}

void TfrmFolderMap::tileClicked(int tile)
{
    if (tile < 0)
        return;
    // A tile of files or of merged items stands for the folder they lie in.
    selectNode(view->tiles()[size_t(tile)].node);
}

void TfrmFolderMap::tileDoubleClicked(int tile)
{
    if (tile >= 0)
        zoomIn(view->tiles()[size_t(tile)].node);
}

void TfrmFolderMap::showMenu(int tile, const QPoint &globalPos)
{
    if (tile < 0 || walking())
        return;
    const int node = view->tiles()[size_t(tile)].node;
    selectNode(node);
    const bool hasPath = !pathOf(node).empty();
    actZoomIn->setEnabled(node != zoom() && !map()->nodes()[size_t(node)].children.empty());
    actZoomOut->setEnabled(btZoomOut->isEnabled());
    const bool here = hooks_.foreignScan.isEmpty();
    actBrowse->setEnabled(here && hasPath && Navigation::isAvailable(Navigation::Target::BrowseFolder));
    actClean->setEnabled(here && hasPath && Navigation::isAvailable(Navigation::Target::RemoveFolder));
    actCopyPath->setEnabled(hasPath);
    menu->popup(globalPos);
}

void TfrmFolderMap::browseClick()
{
    if (!hooks_.foreignScan.isEmpty())
        return;
    const std::string path = pathOf(selectedNode());
    if (!path.empty())
        Navigation::browseFolder(this, path, QStringLiteral("*.*"));
}

void TfrmFolderMap::copyPathClick()
{
    const std::string path = pathOf(selectedNode());
    if (!path.empty())
        QGuiApplication::clipboard()->setMimeData(PathsMime::mimeData({path}, false));
}

void TfrmFolderMap::cleanClick()
{
    const int node = selectedNode();
    const std::string folder = pathOf(node);
    if (folder.empty() || walking() || !hooks_.foreignScan.isEmpty())
        return;
    if (const QString refused = FolderRemoval::listRefusal(folder); !refused.isEmpty()) {
        dialogs().showError(refused);
        return;
    }
    if (!PathInfo::isFolder(folder)) {
        dialogs().showError(QStringLiteral("This folder no longer exists: ") + displayName(folder));
        return;
    }
    Navigation::FolderRemovalOutcome outcome;
    Navigation::removeFolder(this, folder, &outcome);
    if (!outcome.removed && !outcome.ran)
        return;
    FolderMap *m = map();
    // The removal says whether the folder went (nothing is looked up again
    // by its path).
    const bool gone = outcome.removed;
    if (gone) {
        const int parent = m->nodes()[size_t(node)].parent;
        m->removed(node, true);
        if (zoom() == node)
            view->setZoom(parent >= 0 ? parent : m->top());
        view->setSelected(-1);
    } else {
        // What the removal left: the folder's whole tree totalled again.
        setWalking(true);
        const DirHogScan::Totals left = DirHogScan::folderTotals(folder, DirHogScan::Mode::MainFolders, walker_);
        const bool aborted = walker_.scanAborted;
        setWalking(false);
        if (!aborted)
            m->removed(node, false, left.bytes, left.files);
    }
    view->mapChanged();
    // The status named the folder (or showed the walk of what is left):
    // the map has changed under the mouse.
    pnlPath->clear();
    showZoom();
    if (hooks_.folderRemoved)
        hooks_.folderRemoved(folder, outcome);
}

void TfrmFolderMap::btPrintClick()
{
    QPrinter printer;
    if (!dialogs().choosePrinter(printer))
        return;
    printWidgetImage(printer, this);
}

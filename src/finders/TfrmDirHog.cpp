#include "finders/TfrmDirHog.h"

#include "common/Dialogs.h"
#include "common/DosTime.h"
#include "common/EventPump.h"
#include "common/Navigation.h"
#include "common/Text.h"
#include "platform/Drives.h"
#include "platform/PathInfo.h"
#include "safety/FolderRemoval.h"
#include "scan/SortDirections.h"
#include "finders/ScanFile.h"
#include "scan/TResultGrid.h"

#include <QCheckBox>
#include <QDateTime>
#include <QLabel>
#include <QPushButton>
#include <unordered_map>
#include <unordered_set>

namespace {
FinderFrameSpec frameSpec()
{
    FinderFrameSpec s;
    s.objectName = QStringLiteral("TfrmDirHog");
    s.caption = QStringLiteral("Folder Hogs");
    s.startHint = QStringLiteral("Only topmost folders. Does not display sub-folders.");
    s.initialSize = {638, 414};
    s.panel = {632, 146};
    s.buttonRow = {8, 114};
    s.placementStore.clear(); // no stored placement: centred at each show
    s.marking = false;
    s.grid = DirHogScan::gridLayout();
    return s;
}

QLabel *panelLabel(QWidget *panel, const char *name, const QString &text, const QRect &at, bool bold)
{
    auto *l = new QLabel(text, panel);
    l->setObjectName(QLatin1String(name));
    l->setGeometry(at);
    l->setWordWrap(!bold);
    l->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    if (bold) {
        QFont f = l->font();
        f.setBold(true);
        l->setFont(f);
    }
    return l;
}

const QString kDeleted = QStringLiteral("DELETED");
const QString kRecycled = QStringLiteral("RECYCLED");
const QString kNotHere = QStringLiteral("The scan file lists folders of the machine it was made on, not of this one");
}

TfrmDirHog::TfrmDirHog(QWidget *parent) : TFinderFrame(frameSpec(), parent), scan_(walker())
{
    // "&Start" of the frame is the main-folders scan; "&All Folders" beside it.
    btTop = btScan;
    btTop->setObjectName(QStringLiteral("btTop"));
    btTop->setText(QStringLiteral("&Main folders"));
    btTop->resize(80, 25);
    btTop->move(8, 10);
    placeStartButtonMyself();
    disconnect(btTop, &QPushButton::clicked, this, nullptr);
    connect(btTop, &QPushButton::clicked, this, &TfrmDirHog::btTopClick);
    btAll = newButton(pnlTop, "btAll", QStringLiteral("&All Folders"),
                      QStringLiteral("ALL folders including sub-folders are displayed"));
    btAll->resize(80, 25);
    btAll->move(8, 54);
    addStartButton(btAll);
    connect(btAll, &QPushButton::clicked, this, &TfrmDirHog::btAllClick);

    lblMain = panelLabel(pnlTop, "lblMain", QStringLiteral("Main -"), QRect(96, 14, 44, 18), true);
    lblMainText = panelLabel(pnlTop, "lblMainText",
                             QStringLiteral("only main folders are displayed (those folders directly under the main folder)"),
                             QRect(140, 14, 262, 34), false);
    lblAll = panelLabel(pnlTop, "lblAll", QStringLiteral("All -"), QRect(96, 58, 44, 18), true);
    lblAllText = panelLabel(pnlTop, "lblAllText",
                            QStringLiteral("all folders including sub-folders are individually displayed"),
                            QRect(140, 58, 262, 34), false);

    btDelete->setToolTip(QStringLiteral("Clean the folder"));
    btBrowse->setToolTip(QStringLiteral("Browse the files and folder"));
    pnlSel->setObjectName(QStringLiteral("pnlScan"));

    grid->printTitle = [this] { return printTitle(); };
    grid->clipboardText = [this] { return clipboardText(); };
    connect(grid, &QAbstractItemView::doubleClicked, this, [this] { btDeleteClick(); });

    btMap = newButton(pnlTop, "btMap", QStringLiteral("Ma&p"),
                      QStringLiteral("See the folders as a map (after All Folders)"));
    connect(btMap, &QPushButton::clicked, this, &TfrmDirHog::btMapClick);
    addResultButton(btMap, true);
    btMap->setEnabled(false);
    // The drives walked, for the map's top and its shares of the drives.
    walker().driveStarted = [this, started = walker().driveStarted](const std::string &root) {
        started(root);
        mapCapacity_ += scan_.capacity;
    };
    // The rows keep their folders as the scan's numbers: the path and the
    // name shown are made from the scan's names when asked for.
    ResultGridModel::KeyedPaths keyed;
    keyed.path = [this](uint32_t key) {
        return scan_.folders().reachesRoot(key) ? scan_.folders().path(key) : std::string();
    };
    keyed.shown = [this](uint32_t key) {
        return scan_.folders().reachesRoot(key) ? trimSpaces(scan_.folders().shown(key)).toString() : QString();
    };
    keyed.column = 5;
    grid->gridModel()->setKeyedPaths(std::move(keyed));

    btOpenScan = newButton(pnlTop, "btOpenScan", QStringLiteral("Scan &file..."),
                           QStringLiteral("Open a scan exported by a disk-usage tool (JSON, plain or gzip)"));
    btOpenScan->resize(80, 25);
    btOpenScan->move(8, 84);
    addWalkInput(btOpenScan);
    connect(btOpenScan, &QPushButton::clicked, this, &TfrmDirHog::btOpenScanClick);
    chkDiskSize = new QCheckBox(QStringLiteral("Sizes on &disk"), pnlTop);
    chkDiskSize->setObjectName(QStringLiteral("chkDiskSize"));
    chkDiskSize->setToolTip(QStringLiteral("Show the bytes the files take on disk instead of their apparent sizes"));
    chkDiskSize->setGeometry(96, 88, 160, 20);
    chkDiskSize->hide();
    addWalkInput(chkDiskSize);
    connect(chkDiskSize, &QCheckBox::toggled, this, [this] {
        if (loaded_ && !scanning())
            walkAgain([this] { showLoaded(); });
        if (loaded_) {
            refuseLocalActions();
            setStatus(loadedStatus());
        }
    });
    btSaveScan = newButton(pnlTop, "btSaveScan", QStringLiteral("Sa&ve scan..."),
                           QStringLiteral("Save the scanned folder as a JSON export file"));
    connect(btSaveScan, &QPushButton::clicked, this, &TfrmDirHog::btSaveScanClick);
    addResultButton(btSaveScan, true);
    btSaveScan->setEnabled(false);
}

void TfrmDirHog::btTopClick()
{
    nextMode_ = DirHogScan::Mode::MainFolders;
    btScanClick();
}

void TfrmDirHog::btAllClick()
{
    nextMode_ = DirHogScan::Mode::AllFolders;
    btScanClick();
}

bool TfrmDirHog::beforeWalk()
{
    if (loaded_) {
        // A walk of this machine's drives replaces the scan file.
        loaded_.reset();
        loadedName_.clear();
        chkDiskSize->hide();
        setWindowTitle(QStringLiteral("Folder Hogs"));
        btDelete->setToolTip(QStringLiteral("Clean the folder"));
        btBrowse->setToolTip(QStringLiteral("Browse the files and folder"));
    }
    savable_.clear();
    btSaveScan->setEnabled(false);
    lines_.clear(); // before the scan lets go of what they show
    scan_.begin(nextMode_, ParallelWalk::defaultWorkers(), true);
    rowsMarked_ = false;
    abortLeads_ = false;
    mapFolders_.clear();
    mapTaken_ = false;
    mapCapacity_ = 0;
    btMap->setEnabled(false);
    return true;
}

void TfrmDirHog::fillGrid()
{
    lines_ = scan_.finish();
    // An abort by the user leads the clipboard's copy; a full list does not.
    abortLeads_ = walker().scanAborted && !scan_.limitReached;
    btMap->setEnabled(scan_.mode() == DirHogScan::Mode::AllFolders && !lines_.empty()
                      && Navigation::isAvailable(Navigation::Target::FolderMap));
    // A whole all-folders walk of one folder can be saved as an export.
    const FolderNames &names = scan_.folders();
    uint32_t roots = 0, root = FolderNames::kNone;
    for (uint32_t n = 0; n < names.size() && roots < 2; ++n)
        if (names.known(n) && names.parent(n) == FolderNames::kNone) {
            ++roots;
            root = n;
        }
    savable_ = !loaded_ && !walker().scanAborted && scan_.mode() == DirHogScan::Mode::AllFolders && roots == 1
                   ? names.path(root)
                   : std::string();
    btSaveScan->setEnabled(!savable_.empty());
    // The grid gets the rows ranked as its size sort would rank them: those
    // the walk's threads made, or else made here from the lines.
    const std::vector<uint32_t> ranked = DirHogScan::bySize(lines_);
    std::vector<GridLines> made = scan_.gridRows();
    if (!made.empty() && std::all_of(lines_.begin(), lines_.end(), [](const auto &l) { return l.batch != DirHogScan::kNoRow; })) {
        std::vector<ResultGridModel::BatchRow> order;
        order.reserve(ranked.size());
        for (const uint32_t i : ranked)
            order.push_back({lines_[i].batch, lines_[i].row});
        grid->gridModel()->addBatches(made, order);
        return;
    }
    std::vector<GridLines> rows;
    rows.emplace_back(DirHogScan::gridLayout());
    std::vector<ResultGridModel::BatchRow> order;
    order.reserve(ranked.size());
    QStringView fields[GridLines::MaxFields];
    for (const uint32_t i : ranked) {
        const int n = GridLines::splitFields(lines_[i].head, fields);
        order.push_back({0, rows[0].addKeyed(fields, std::min(n, 5), lines_[i].folder)});
    }
    grid->gridModel()->addBatches(rows, order);
}

QStringList TfrmDirHog::lb() const
{
    QStringList out;
    out.reserve(qsizetype(lines_.size()) + 1);
    if (abortLeads_)
        out << Walker::abortText();
    for (const DirHogScan::Line &l : lines_)
        out << scan_.text(l);
    return out;
}

std::vector<DirHogScan::MapFolder> &TfrmDirHog::mapFolders()
{
    if (!mapTaken_ && scan_.mode() == DirHogScan::Mode::AllFolders) {
        mapFolders_.reserve(lines_.size());
        for (const DirHogScan::Line &l : lines_)
            mapFolders_.push_back({l.folder, l.bytes, l.files});
        mapTaken_ = true;
    }
    return mapFolders_;
}

void TfrmDirHog::btMapClick()
{
    if (scanning() || mapFolders().empty())
        return;
    auto map = std::make_shared<FolderMap>();
    map->build(scan_.mapTree(mapFolders_), mapCapacity_);
    Navigation::Request r{this, {}, {}, {}};
    r.folderMap = std::move(map);
    if (loaded_)
        r.foreignScan = loadedName_;
    r.selectFolder = [this](const std::string &folder) { selectFolderRow(folder); };
    r.folderRemoved = [this](const std::string &folder, const Navigation::FolderRemovalOutcome &outcome) {
        if (outcome.removed || outcome.ran)
            afterRemoval(folder, outcome.recycled ? kRecycled : kDeleted);
    };
    Navigation::go(Navigation::Target::FolderMap, r);
}

void TfrmDirHog::selectFolderRow(const std::string &folder)
{
    ResultGridModel *m = grid->gridModel();
    for (int r = 1; r <= foundCount(); ++r)
        if (m->path(r) == folder) {
            grid->setSelectedRow(r);
            grid->scrollTo(grid->currentIndex());
            return;
        }
}

void TfrmDirHog::sortGrid()
{
    // Every scan ends ranked largest first, whatever sort came before; the
    // rows came in that order.
    SortDirections::setDescending(DirHogScan::gridLayout().sortEntries[0].directionKey, true);
    grid->gridModel()->sortedBy(0);
    if (foundCount() == 0)
        setStatus(foundStatus(0));
}


QString TfrmDirHog::clipboardText() const
{
    QString out;
    for (const QString &l : lb())
        out += l + QLatin1Char('\n');
    return out;
}

QString TfrmDirHog::printTitle() const
{
    if (loaded_)
        return QStringLiteral("Folder hogs in scan file ") + loadedName_;
    return checkedDrivesTitle(QStringLiteral("Folder hogs on drive(s) "));
}

void TfrmDirHog::btDeleteClick()
{
    const int row = grid->selectedRow();
    // Only a row the user chose: a click on the header (a sort) or below
    // the last row leaves none.
    const int clicked = grid->lastClickRow();
    if (loaded_ || scanning() || (clicked != TResultGrid::kNoClick && clicked < 1) || row < 1 || row > foundCount())
        return;
    ResultGridModel *m = grid->gridModel();
    const QString size = m->cell(row, 0);
    if (size.isEmpty())
        return;
    if (isRemoved(row)) {
        dialogs().showError(QStringLiteral("Folder already deleted/recycled"));
        return;
    }
    const std::string folder = m->path(row);
    if (const QString refused = FolderRemoval::listRefusal(folder); !refused.isEmpty()) {
        dialogs().showError(refused);
        return;
    }
    // Removed since the scan, by this window or another program: the
    // removal window would only fail on it.
    if (!PathInfo::isFolder(folder)) {
        dialogs().showError(QStringLiteral("This folder no longer exists: ") + m->cell(row, 5));
        return;
    }
    Navigation::FolderRemovalOutcome outcome;
    Navigation::removeFolder(this, folder, &outcome);
    if (outcome.removed || outcome.ran)
        afterRemoval(folder, outcome.recycled ? kRecycled : kDeleted);
}

bool TfrmDirHog::isRemoved(int row) const
{
    const QString size = grid->gridModel()->cell(row, 0);
    return size == kDeleted || size == kRecycled;
}

void TfrmDirHog::afterRemoval(const std::string &folder, const QString &mark)
{
    // Every row at or below the folder shows what became of its own folder:
    // gone, or what is left of it. In all-folders mode the row of the
    // folder's parent loses a sub-folder when the folder went.
    ResultGridModel *m = grid->gridModel();
    const std::string below = folder.back() == '/' ? folder : folder + '/';
    const std::string parent = folder.substr(0, folder.find_last_of('/') + 1);
    std::vector<int> left;
    std::unordered_set<std::string> gone;
    for (int r = 1; r <= foundCount(); ++r) {
        if (isRemoved(r))
            continue;
        const std::string &path = m->path(r);
        if (path == folder || path.starts_with(below)) {
            if (PathInfo::isFolder(path)) {
                left.push_back(r);
            } else {
                // A folder that went holds nothing: only the mark is left.
                m->setCell(r, 0, mark);
                for (int c : {1, 2, 3, 4})
                    m->setCell(r, c, QString());
                rowsMarked_ = true;
                gone.insert(path);
            }
        } else if (mode() == DirHogScan::Mode::AllFolders && !PathInfo::isFolder(folder)
                   && (path == parent || path + '/' == parent)) {
            left.push_back(r);
        }
    }
    std::unordered_map<std::string, DirHogScan::Totals> totalled;
    walkAgain([&] {
        for (int r : left) {
            if (walker().scanAborted)
                break;
            if (const auto t = updateRow(r))
                totalled.emplace(m->path(r), *t);
        }
    });
    setStatus(foundStatus(foundCount()));
    // The map's totals follow the rows.
    std::erase_if(mapFolders(), [&](DirHogScan::MapFolder &f) {
        const std::string path = scan_.folders().path(f.folder);
        if (const auto t = totalled.find(path); t != totalled.end()) {
            f.bytes = t->second.bytes;
            f.files = t->second.files;
        }
        return gone.contains(path);
    });
}

QString TfrmDirHog::foundStatus(int found) const
{
    if (loaded_)
        return loadedStatus();
    // The folders listed that still exist.
    int removed = 0;
    for (int r = 1; rowsMarked_ && r <= found; ++r) // no row reads removed before a removal
        removed += isRemoved(r);
    return QStringLiteral("Folders : ") + QString::number(found - removed);
}

std::optional<DirHogScan::Totals> TfrmDirHog::updateRow(int row)
{
    // Part of the folder went: the row shows what is left of it. An aborted
    // walk leaves totals that are not known.
    ResultGridModel *m = grid->gridModel();
    const std::string folder = m->path(row);
    const DirHogScan::Totals t = DirHogScan::folderTotals(folder, scan_.mode(), walker());
    if (walker().scanAborted) {
        const QString unknown = QStringLiteral("???");
        for (int c : {0, 1, 2, 3})
            m->setCell(row, c, unknown);
        m->setCell(row, 4, QString());
        return std::nullopt;
    }
    double capacity = 0, freeBytes = 0;
    if (const auto drive = Drives::driveOfPath(folder); !drive || !Drives::driveSpace(drive->root, freeBytes, capacity))
        capacity = 0;
    m->setCell(row, 0, formatThousands(t.bytes));
    m->setCell(row, 1, DirHogScan::percentText(t.bytes, capacity));
    m->setCell(row, 2, QString::number(t.files));
    m->setCell(row, 3, QString::number(t.folders));
    m->setCell(row, 4, dosDateText(t.latestAccess));
    return t;
}

void TfrmDirHog::BrowseDirectory1Click()
{
    const int row = grid->selectedRow();
    if (!loaded_ && row >= 1 && row <= foundCount())
        Navigation::browseFolder(this, grid->gridModel()->path(row), QStringLiteral("*.*"));
}

void TfrmDirHog::btOpenScanClick()
{
    if (scanning())
        return;
    const auto chosen = dialogs().chooseOpenFile(QStringLiteral("Open a scan file"),
                                                 QStringLiteral("Scan files (*.json *.json.gz *.gz *.ncdu);;All Files (*)"));
    if (chosen)
        openScanFile(*chosen);
}

void TfrmDirHog::openScanFile(const std::string &path)
{
    if (scanning())
        return;
    // The file is read into a fresh store: what is shown changes only once
    // it was read whole.
    auto fresh = std::make_unique<ScanFile::Loaded>();
    QString error;
    ScanFile::Outcome outcome = ScanFile::Outcome::Failed;
    walker().scanAborted = false;
    EventPump pump;
    walkAgain([&] {
        setStatus(QStringLiteral("Reading ") + displayName(path));
        outcome = ScanFile::read(path, *fresh, error, [&](uint64_t) {
            pump.pump();
            return !walker().scanAborted;
        });
    });
    if (outcome != ScanFile::Outcome::Done) {
        // What was shown stays as it was.
        if (loaded_)
            refuseLocalActions();
        btSaveScan->setEnabled(!savable_.empty());
        setStatus(loaded_ ? loadedStatus() : foundCount() > 0 ? foundStatus(foundCount()) : QString());
        if (outcome == ScanFile::Outcome::Failed)
            dialogs().showError(error);
        return;
    }
    loaded_ = std::move(fresh);
    namesGiven_ = false;
    const QString name = displayName(path);
    loadedName_ = name.mid(name.lastIndexOf(QLatin1Char('/')) + 1);
    savable_.clear();
    chkDiskSize->show();
    walkAgain([this] { showLoaded(); });
    refuseLocalActions();
    QString title = QStringLiteral("Folder Hogs - ") + loadedName_;
    if (loaded_->timestamp > 0)
        title += QStringLiteral(", scanned ")
               + QDateTime::fromSecsSinceEpoch(loaded_->timestamp).toString(QStringLiteral("yyyy-MM-dd hh:mm"));
    setWindowTitle(title);
    setStatus(loadedStatus());
}

void TfrmDirHog::refuseLocalActions()
{
    // Nothing of a scan file lies on this machine: no removal, no browsing,
    // even where a folder of the same path exists here.
    btDelete->setEnabled(false);
    btDelete->setToolTip(kNotHere);
    btBrowse->setEnabled(false);
    btBrowse->setToolTip(kNotHere);
    btSaveScan->setEnabled(false);
}

void TfrmDirHog::showLoaded()
{
    // The rows of an all-folders walk, made from the file's totals in the
    // size chosen; the percent is of the scan's total (its drive is not here).
    const bool disk = chkDiskSize->isChecked();
    std::vector<DirHogScan::Totals> own(loaded_->own.size());
    DosTime::Converter stamps;
    for (size_t i = 0; i < own.size(); ++i) {
        const ScanFile::Own &o = loaded_->own[i];
        own[i].bytes = disk ? o.dsize : o.asize;
        own[i].files = o.files;
        own[i].folders = o.folders;
        own[i].latestAccess = o.latestMtime > 0 ? stamps(o.latestMtime) : 0;
    }
    const double total = double(disk ? loaded_->totalDsize : loaded_->totalAsize);
    lines_.clear();
    grid->ClearGrid();
    rowsMarked_ = false;
    abortLeads_ = false;
    mapFolders_.clear();
    mapTaken_ = false;
    // The file's folder names go to the scan once; a change of size keeps them.
    scan_.takeFolders(namesGiven_ ? nullptr : &loaded_->names, own, total);
    namesGiven_ = true;
    mapCapacity_ = total;
    fillGrid();
    grid->trimRows();
    sortGrid();
}

QString TfrmDirHog::loadedStatus() const
{
    if (!loaded_)
        return {};
    const ScanFile::Loaded &l = *loaded_;
    QString s = QStringLiteral("Folders : ") + QString::number(foundCount()) + QStringLiteral("  Sizes: ")
              + (chkDiskSize->isChecked() ? QStringLiteral("on disk") : QStringLiteral("apparent"));
    const auto add = [&](uint64_t n, const QString &what) {
        if (n > 0)
            s += QStringLiteral("  ") + QString::number(n) + QLatin1Char(' ') + what;
    };
    add(l.excluded, QStringLiteral("excluded"));
    add(l.otherFs, QStringLiteral("on other file systems"));
    add(l.kernFs, QStringLiteral("on kernel file systems"));
    add(l.readErrors, QStringLiteral("not read (read errors)"));
    return s;
}

void TfrmDirHog::btSaveScanClick()
{
    if (scanning() || savable_.empty())
        return;
    const auto chosen = dialogs().chooseSaveFile(QStringLiteral("Save scan"), QStringLiteral("Scan files (*.json)"),
                                                 "scan.json");
    if (chosen)
        saveScanFile(*chosen);
}

void TfrmDirHog::saveScanFile(const std::string &path)
{
    if (scanning() || savable_.empty())
        return;
    QString error;
    ScanFile::Outcome outcome = ScanFile::Outcome::Failed;
    walker().scanAborted = false;
    EventPump pump;
    const QString shown = foundStatus(foundCount());
    walkAgain([&] {
        setStatus(QStringLiteral("Saving ") + displayName(savable_));
        outcome = ScanFile::save(savable_, path, error, [&] {
            pump.pump();
            return !walker().scanAborted;
        });
    });
    setStatus(shown);
    if (outcome == ScanFile::Outcome::Failed)
        dialogs().showError(error);
}

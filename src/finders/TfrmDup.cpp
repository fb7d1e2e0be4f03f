#include "finders/TfrmDup.h"

#include "settings/AppState.h"
#include "common/Dialogs.h"
#include "common/Runs.h"
#include "common/Text.h"
#include "common/WorkerPool.h"
#include "finders/ContentSearch.h"
#include "finders/DupFinder.h"
#include "finders/DupLine.h"
#include "finders/PictureSearch.h"
#include "finders/RememberedHashes.h"
#include "common/Navigation.h"
#include "finders/TfrmDupCompare.h"
#include "platform/DirReader.h"
#include "scan/SortDirections.h"
#include "scan/TDriveCheckList.h"
#include "scan/TPatternBox.h"
#include "scan/TResultGrid.h"

#include "scan/ResultGridModel.h"

#include <QComboBox>
#include <QEventLoop>
#include <QTimer>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>

#include <latch>
#include <map>
#include <thread>

namespace {
FinderFrameSpec frameSpec(bool dupMode)
{
    FinderFrameSpec s;
    s.objectName = QStringLiteral("frmDup");
    s.caption = DupFinder::caption(dupMode);
    s.startHint = DupFinder::startHint(dupMode);
    s.foundSuffix = dupMode ? QStringLiteral(" duplicates found") : QStringLiteral(" file hogs found");
    s.archiveTag = QStringLiteral("Duplicates");
    s.flags = Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint
        | Qt::WindowMinMaxButtonsHint;
    s.panel = {620, 172};
    s.buttonRow = {8, 172 - 25 - 4};
    s.driveListTop = 6;
    s.placementSection = DupFinder::placementSection(dupMode);
    s.patternBox = true;
    s.clearStatusWhenNoneFound = true;
    s.grid = DupFinder::gridLayout(dupMode, 0);
    return s;
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

TfrmDup::TfrmDup(QWidget *parent) : TFinderFrame(frameSpec(AppState::dupMode), parent), dupMode_(AppState::dupMode)
{
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

    patternBox->setGeometry(8, 80, 400, 26);

    lblDup = new QLabel(QStringLiteral("Duplicates matching on : "), pnlTop);
    lblDup->setObjectName(QStringLiteral("lblDup"));
    lblDup->setGeometry(8, 114, 140, 18);
    cbDup = new QComboBox(pnlTop);
    cbDup->setObjectName(QStringLiteral("cbDup"));
    cbDup->addItems(DupLine::criterionTexts());
    cbDup->setGeometry(152, 112, 256, 22);

    // Beside the criterion it serves ("Same contents").
    btForget = new QPushButton(QStringLiteral("Forget remembered hashes"), pnlTop);
    btForget->setObjectName(QStringLiteral("btForget"));
    btForget->setToolTip(QStringLiteral("Forget the hashes kept from earlier searches by contents"));
    btForget->setGeometry(416, 111, 180, 24);
    connect(btForget, &QPushButton::clicked, this, &TfrmDup::btForgetClick);

    // In the forget button's place while "Similar pictures" is chosen.
    cbSimilar = new QComboBox(pnlTop);
    cbSimilar->setObjectName(QStringLiteral("cbSimilar"));
    cbSimilar->addItems(PictureHash::levelTexts());
    cbSimilar->setCurrentIndex(PictureHash::VerySimilar);
    cbSimilar->setToolTip(QStringLiteral("How alike two pictures must be to be listed together"));
    cbSimilar->setGeometry(416, 112, 180, 22);
    cbSimilar->hide();
    connect(cbDup, &QComboBox::currentIndexChanged, this, &TfrmDup::criterionChanged);

    for (QWidget *w : std::initializer_list<QWidget *>{num1, num2, cbKB1, rbLarger, rbSmaller, rbBetween, cbDup,
                                                      btForget, cbSimilar})
        addWalkInput(w);

    btScan->setDefault(true);
    btCompare = newButton(pnlTop, "btCompare", QStringLiteral("P&airs"), QStringLiteral("Compare file pairs"));
    connect(btCompare, &QPushButton::clicked, this, &TfrmDup::btCompareClick);
    addResultButton(btCompare, dupMode_);
    // Enabled only while the pair comparison is a registered target.
    btCompare->setEnabled(Navigation::isAvailable(Navigation::Target::ComparePairs));

    grid->printTitle = [this] { return printTitle(); };
    walker().visitor = [this](const FoundFile &f) { return visit(f); };
    // The walk runs on the worker pool; what it keeps is the size choice's
    // and the criterion's, both fixed before it starts.
    walker().visitInParallel = true;
    walker().prefilter = [this](const FoundFile &f) { return wanted(f); };
}

void TfrmDup::openingSteps()
{
    cbKB1->setCurrentIndex(1);
    num1->setValue(250);
    num2->setValue(250);
    lbList.reset(dupMode_, criterion_);
    lblDup->setVisible(dupMode_);
    cbDup->setVisible(dupMode_);
    criterionChanged();
    rbSizeClick();
}

void TfrmDup::criterionChanged()
{
    const bool pictures = dupMode_ && cbDup->currentIndex() == DupLine::SimilarPictures;
    cbSimilar->setVisible(pictures);
    btForget->setVisible(dupMode_ && !pictures);
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

bool TfrmDup::beforeWalk()
{
    const SizeChoice c = sizeChoice();
    if (!c.valid()) {
        dialogs().showError(QStringLiteral("The second number must be larger or equal than the first number"));
        return false;
    }
    if (dupMode_) {
        criterion_ = cbDup->currentIndex();
        threshold_ = PictureHash::kThresholds[std::clamp(cbSimilar->currentIndex(), 0, 2)];
    }
    if (dupMode_ && criterion_ != gridCriterion_) {
        configureGrid(DupFinder::gridLayout(true, criterion_));
        gridCriterion_ = criterion_;
    }
    lbList.reset(dupMode_, criterion_);
    inodes_.clear();
    devices_.clear();
    written_.clear();
    times_.clear();
    aborted_ = false;
    skipped_ = 0;
    unreadable_ = 0;
    leftOut_ = 0;
    listedByContents_ = false;
    storeNote_.clear();
    choice_ = c;
    walker().mask = WildPattern(patternBox->pattern());
    PictureHash::candidateSuffixes(); // the image formats are looked up here, not on a pool thread
    return true;
}

bool TfrmDup::wanted(const FoundFile &f) const
{
    if (!choice_.keeps(f.size))
        return false;
    // Similar pictures: files named as a picture the image plugins read,
    // large enough to be a photo or screenshot.
    return !byPictures() || (f.size >= PictureHash::kMinBytes && PictureHash::isCandidateName(f.name));
}

bool TfrmDup::visit(const FoundFile &f)
{
    // The walk gives only what wanted() passes.
    if (!walker().keep())
        return false;
    if (!lbList.add(f.folder, f.name, f.size, f.written, f.accessed, f.writtenOdd))
        return false;
    if (byContents() || byPictures()) {
        inodes_.push_back(f.inode);
        devices_.push_back(f.device);
        const bool regular = (f.attributes & FileAttr::Archive) != 0;
        times_.emplace_back(regular ? f.modifiedNs : 0, regular ? f.changedNs : 0);
    }
    if (byPictures())
        written_.push_back(f.written);
    return true;
}

void TfrmDup::fillGrid()
{
    // Grouping, or the reversed list, into the grid.
    if (byContents())
        fillByContents();
    else if (byPictures())
        fillByPictures();
    else
        lbList.fillGrid(dupMode_ ? lbList.addDups() : lbList.reSort(), *grid->gridModel());
    lbList.clear();
    inodes_ = {};
    devices_ = {};
    written_ = {};
    times_ = {};
}

template <class Search>
bool TfrmDup::runSearch(Search &search, Search *&running, const std::function<void(Search &)> &starting)
{
    QEventLoop loop;
    search.onFinished = [&loop] {
        QMetaObject::invokeMethod(&loop, [&loop] { loop.quit(); }, Qt::QueuedConnection);
    };
    QTimer tick;
    tick.setInterval(100);
    connect(&tick, &QTimer::timeout, this, [&] { setStatus(Search::progressText(search.progress())); });
    Runs::Token token(QStringLiteral("a duplicate search"), [this] { abortWork(); });
    running = &search;
    searchLoop_ = &loop;
    setWorking(true);
    if (starting)
        starting(search);
    search.start();
    setStatus(Search::progressText(search.progress()));
    tick.start();
    loop.exec();
    search.wait();
    tick.stop();
    setWorking(false);
    running = nullptr;
    searchLoop_ = nullptr;
    if (!search.cancelled())
        return true;
    setStatus(QString());
    return false;
}

void TfrmDup::fillByPictures()
{
    if (aborted_)
        return;
    // The candidates in "Size only" order; the groups are listed in the
    // order of their earliest files.
    const std::vector<uint32_t> order = lbList.sorted();
    std::vector<PictureSearch::File> files;
    files.reserve(order.size());
    for (uint32_t id : order) {
        const std::string_view name = lbList.name(id);
        files.push_back({lbList.folderIndex(id), uint32_t(name.size()), name.data(), lbList.size(id), inodes_[id],
                         devices_[id], written_[id]});
    }
    inodes_ = {};
    devices_ = {};
    written_ = {};
    std::vector<std::vector<uint32_t>> groups;
    std::vector<PictureHash::Picture> pictures(order.size());
    {
        PictureSearch search(lbList.folders(), std::move(files), threshold_);
        if (!runSearch(search, pictureSearch_, pictureSearchStarting))
            return;
        unreadable_ = search.unreadable();
        leftOut_ = search.leftOut();
        skipped_ = search.skipped();
        groups = search.takeGroups();
        for (const auto &g : groups)
            for (uint32_t k : g)
                pictures[k] = search.picture(k);
    }
    // Each row's type column tells its pixel size.
    std::vector<uint32_t> positionOf(order.size());
    for (uint32_t k = 0; k < order.size(); ++k)
        positionOf[order[k]] = k;
    for (auto &g : groups)
        for (uint32_t &k : g)
            k = order[k];
    lbList.fillGroups(groups, *grid->gridModel(), [&](uint32_t id, const QString &type) {
        const PictureHash::Picture &p = pictures[positionOf[id]];
        const QString pixels = QStringLiteral("%1 \u00d7 %2").arg(p.width).arg(p.height);
        return type.isEmpty() ? pixels : type + QStringLiteral(", ") + pixels;
    });
}

void TfrmDup::fillByContents()
{
    // An abort during the walk ends the search with nothing listed.
    if (aborted_)
        return;
    // The files whose size another file shares, as "Size only" orders them;
    // the groups are listed in that order. Which files those are is known
    // without the order: their remembered hashes are looked up on the pool
    // while this thread orders them, and the search waits for that look-up
    // on its own thread, so this one goes on running events. Before the
    // look-up, that thread gathers each of those files' records for the
    // search in line order (the lines' fields lie in several tables); this
    // thread then only copies them into list order.
    RememberedHashes memory;
    std::vector<ContentSearch::File, LargeBlockAllocator<ContentSearch::File>> byId(lbList.count());
    std::latch gathered(1);
    const auto record = [this](uint32_t id) {
        const std::string_view name = lbList.name(id);
        return ContentSearch::File{lbList.folderIndex(id), uint32_t(name.size()), name.data(), lbList.size(id),
                                   inodes_[id], devices_[id], times_[id].first, times_[id].second};
    };
    WorkerPool::Group lookUp; // waits for its task before what the task uses goes
    lookUp.submit([this, &memory, &byId, &gathered, &record, shared = lbList.sharingSize()](std::stop_token) {
        std::vector<RememberedHashes::Candidate> candidates;
        candidates.reserve(shared.size());
        for (uint32_t id : shared) {
            byId[id] = record(id);
            if (lbList.size(id) > 0)
                candidates.push_back({id, devices_[id], inodes_[id]});
        }
        gathered.count_down();
        memory.begin(candidates);
    });
    const std::vector<uint32_t> order = lbList.sorted();
    std::vector<ContentSearch::File> files(order.size());
    gathered.wait();
    for (size_t k = 0; k < order.size(); ++k) {
        const uint32_t id = order[k];
        files[k] = byId[id].name ? byId[id] : record(id); // one not gathered is made here
    }
    byId = {};
    times_ = {};
    std::vector<std::vector<uint32_t>> groups;
    {
        ContentSearch search(lbList.folders(), std::move(files));
        search.memory = &memory;
        search.beforeSearch = [&] {
            lookUp.wait();
            memory.renumber(order);
        };
        if (!runSearch(search, search_, searchStarting))
            return;
        unreadable_ = search.unreadable();
        leftOut_ = search.leftOut();
        storeNote_ = memory.note();
        groups = search.takeGroups();
    }
    for (auto &g : groups)
        for (uint32_t &k : g)
            k = order[k];
    lbList.fillGroups(groups, *grid->gridModel());
    listedByContents_ = true;
}

std::vector<std::vector<std::string>> TfrmDup::sameContentsGroups() const
{
    if (!listedByContents_)
        return {};
    // A row's key is the number of its group.
    const ResultGridModel &m = *grid->gridModel();
    std::map<uint32_t, std::pair<bool, std::vector<std::string>>> byKey;
    for (int row = 1; row <= m.rowsFilled(); ++row) {
        auto &[marked, paths] = byKey[m.fileKey(row)];
        marked = marked || m.isMarked(row);
        paths.push_back(m.path(row));
    }
    std::vector<std::vector<std::string>> groups;
    for (auto &[key, g] : byKey)
        if (g.first)
            groups.push_back(std::move(g.second));
    return groups;
}

void TfrmDup::abortWork()
{
    aborted_ = true;
    if (search_)
        search_->cancel();
    if (pictureSearch_)
        pictureSearch_->cancel();
    if (searchLoop_)
        searchLoop_->quit();
}

QString TfrmDup::unreadableText() const
{
    QStringList parts;
    if (skipped_ > 0)
        parts << formatThousands(skipped_)
                + (skipped_ == 1 ? QStringLiteral(" file was skipped: not a picture that can be read, or damaged")
                                 : QStringLiteral(" files were skipped: not pictures that can be read, or damaged"));
    if (unreadable_ > 0)
        parts << formatThousands(unreadable_)
                + (unreadable_ == 1 ? QStringLiteral(" file could not be read")
                                    : QStringLiteral(" files could not be read"));
    if (leftOut_ > 0)
        parts << formatThousands(leftOut_)
                + (leftOut_ == 1 ? QStringLiteral(" file was left out: it changed or went away while compared")
                                 : QStringLiteral(" files were left out: they changed or went away while compared"));
    return parts.join(QStringLiteral(", "));
}

QString TfrmDup::searchNotes() const
{
    const QString unread = unreadableText();
    return unread.isEmpty() || storeNote_.isEmpty() ? unread + storeNote_ : unread + QStringLiteral(", ") + storeNote_;
}

QString TfrmDup::foundStatus(int found) const
{
    const QString base = TFinderFrame::foundStatus(found);
    const QString notes = searchNotes();
    return notes.isEmpty() ? base : base + QStringLiteral(", ") + notes;
}

QString TfrmDup::noneFoundStatus() const { return searchNotes(); }

bool TfrmDup::announceNoneFound() const { return !((byContents() || byPictures()) && aborted_); }

void TfrmDup::sortGrid()
{
    // File hogs: largest first, which leaves the next "&Size" ascending.
    if (!dupMode_ && grid->rowsFilled() > 0) {
        SortDirections::setDescending(QStringLiteral("FileHogs/Size"), true);
        grid->Sortbysize1Click(0);
    }
}

void TfrmDup::MarkThisFile(int row) { grid->MarkThisFile(row); }

void TfrmDup::btForgetClick()
{
    if (scanning())
        return;
    HashStore::Problem problem = HashStore::Problem::None;
    QEventLoop loop;
    btForget->setEnabled(false);
    std::thread work([&] {
        problem = RememberedHashes::forget();
        QMetaObject::invokeMethod(&loop, [&loop] { loop.quit(); }, Qt::QueuedConnection);
    });
    loop.exec();
    work.join();
    btForget->setEnabled(true);
    if (problem == HashStore::Problem::None)
        setStatus(QStringLiteral("Remembered hashes forgotten"));
    else if (problem == HashStore::Problem::Locked)
        dialogs().showError(QStringLiteral("The remembered hashes could not be forgotten: another program is using "
                                           "them. Try again when its search has finished."));
    else
        dialogs().showError(QStringLiteral("The remembered hashes could not be forgotten: %1 cannot be written.")
                                .arg(QString::fromLocal8Bit(HashStore::defaultPath())));
}

void TfrmDup::btCompareClick() { Navigation::go(Navigation::Target::ComparePairs, {this, {}, {}, {}}); }

void TfrmDup::done(int r)
{
    if (scanning())
        return;
    TfrmDupCompare::instance().hide();
    TFinderFrame::done(r);
}

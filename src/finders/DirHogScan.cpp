#include "finders/DirHogScan.h"

#include "common/Dialogs.h"
#include "common/DosTime.h"
#include "common/SizeSum.h"
#include "common/Text.h"
#include "platform/DirReader.h"
#include "platform/Drives.h"

#include <QLocale>
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>

void DirHogScan::Totals::add(const FoundFile &f)
{
    if (f.attributes & FileAttr::Folder) {
        ++folders;
        return;
    }
    files += (f.attributes & FileAttr::Archive) != 0; // a regular file (a link or special file is none)
    addSize(bytes, f.size);
    latestAccess = std::max(latestAccess, f.accessed);
}

void DirHogScan::Totals::add(const LinkLedger::Name &n)
{
    files += (n.attributes & FileAttr::Archive) != 0;
    addSize(bytes, n.size);
    latestAccess = std::max(latestAccess, n.accessed);
}

namespace {
// A name of a file that has others: the ledger decides where it counts.
bool linked(const FoundFile &f) { return f.links > 1 && !(f.attributes & FileAttr::Folder); }
}

// One thread's part of a parallel folder hogs walk. A worker handles one
// folder at a time (its files, then its folderDone), as the walker's own walk
// does, so the folder's own totals need no lock. In all-folders mode it also
// makes the folders' lines (the drive's capacity is set before the walk).
struct DirHogScan::Worker : WalkWorker {
    Worker(const DirHogScan &scan, Mode m, std::atomic<int64_t> &lines, const int64_t &room)
        : scan(scan), mode(m), lines(lines), room(room)
    {
        fullRecords = false; // sums of sizes and the latest access only
    }

    bool visit(const FoundFile &f, const WalkPlace &at) override
    {
        if (mode == Mode::AllFolders && at.folder != metFolder) {
            // The folder is kept at its first entry already: a stop may
            // cut it short before its folderDone, and the lines of the
            // folders below it need it all the same. Its entries lie in
            // f.folder (a root's with a "/" added).
            std::string_view path = f.folder;
            if (at.depth == 0 && path.size() > 1 && path.back() == '/')
                path.remove_suffix(1);
            keepFolder(at.depth == 0 ? path : path.substr(path.rfind('/') + 1), at);
        }
        if (linked(f)) {
            // All folders: the folder's slot is given at its folderDone.
            links.add(f, f.folder, f.name, mode == Mode::MainFolders && at.depth > 0 ? uint32_t(at.top) : kNoSlot);
            return true;
        }
        if (mode == Mode::AllFolders)
            own.add(f);
        else if (at.depth > 0)
            topTotals(at.top).add(f);
        return true;
    }
    bool folderDone(const FoundFile &folder, const WalkPlace &at) override
    {
        if (mode == Mode::MainFolders) {
            if (at.depth >= 2)
                ++topTotals(at.top).folders;
            else if (at.depth == 1)
                mains.emplace_back(at.top, folder.path);
            return true;
        }
        const Totals t = own;
        own = {};
        // The folder is kept by its parent and name (a root by its path),
        // whether or not it gets a line: the folders below it need it.
        if (at.folder != metFolder)
            keepFolder(at.depth == 0 ? std::string_view(folder.path) : std::string_view(folder.name), at);
        const uint32_t node = scan.driveBase_ + at.folder;
        const bool hasLinked = links.size() > linkFrom;
        if (at.depth == 0 && t.files == 0 && t.folders == 0 && t.bytes == 0 && !hasLinked)
            return true; // a drive's root holding nothing at all makes no line
        if (lines.fetch_add(1) >= room)
            return false; // the line list is full
        if (hasLinked) {
            // The line waits until the drive's linked names are settled.
            links.setSlots(linkFrom, uint32_t(pending.size()));
            linkFrom = links.size();
            pending.push_back({t, node});
            return true;
        }
        QStringView fields[5];
        QString head = days.line(*store, t, scan.capacity, rows ? fields : nullptr);
        const uint64_t lead = leadKey(head);
        // The grid's row is made while the text is at hand; its batch is
        // numbered when the drive's lines are collected.
        const uint32_t row = rows ? rows->addKeyed(fields, 5, node) : 0;
        made.push_back({std::move(head), node, t.bytes, t.files, lead, kNoRow, row});
        return true;
    }
    void keepFolder(std::string_view name, const WalkPlace &at)
    {
        met.push_back({at.folder, at.parent, store->names.append(name.data(), name.size()), uint32_t(name.size())});
        metFolder = at.folder;
    }
    void walkEnded() override
    {
        // The worker's own lines are sorted on its thread (by their heads:
        // the calling thread orders lines alike in head and merges the runs).
        sortHeads(made);
    }
    Totals &topTotals(int top)
    {
        if (size_t(top) >= tops.size())
            tops.resize(size_t(top) + 1);
        return tops[size_t(top)];
    }

    const DirHogScan &scan;
    const Mode mode;
    std::atomic<int64_t> &lines;
    const int64_t &room;
    Totals own;                                  // all folders: the folder being walked
    std::vector<Line> made;                      // all folders: the lines
    std::unique_ptr<Store> store = std::make_unique<Store>(); // their texts and the folders' names
    std::unique_ptr<GridLines> rows;             // all folders, when asked for: their grid rows
    LineWriter days;
    std::vector<Totals> tops;                    // main folders: by the main folder's number
    std::vector<std::pair<int, std::string>> mains; // main folders walked: number, path
    LinkLedger links;             // the names met of files with several (slot: main folder, or pending line)
    size_t linkFrom = 0;          // all folders: the first name of the folder being walked
    std::vector<Pending> pending; // all folders: lines waiting for the linked names
    std::vector<Met> met;         // all folders: the folders walked
    uint32_t metFolder = WalkPlace::kNoFolder; // the last one kept (walk numbers start again per drive)
};

DirHogScan::~DirHogScan() = default;

DirHogScan::DirHogScan(Walker &walker) : walker_(walker)
{
    walker_.enterHidden = true;
    walker_.driveStarted = [this](const std::string &root) {
        driveBase_ = uint32_t(folders_.size());
        double freeBytes = 0, total = 0;
        capacity = Drives::driveSpace(root, freeBytes, total) ? total : 0;
        // The lines the earlier drives of this scan left room for.
        lines_ = 0;
        room_ = walker_.capacity - walker_.keptCount();
        if (!workers_.empty()) {
            // The walk's root is its folder 0, kept here: a stop may cut
            // the root's own entries short before a worker keeps it, and
            // every line needs it. Its path is the walk's (no "/" at the end).
            std::string_view path = root;
            while (path.size() > 1 && path.back() == '/')
                path.remove_suffix(1);
            folders_.resize(size_t(driveBase_) + 1);
            folders_.set(driveBase_, FolderNames::kNone, path, true);
        }
    };
    walker_.visitor = [this](const FoundFile &f) {
        if (linked(f)) {
            // Its slot is given when its folder (all folders) or main folder is done.
            links_.add(f, f.folder, f.name, kNoSlot);
            return true;
        }
        // Main folders: the files lying in the root belong to no row.
        if (mode_ == Mode::AllFolders || walker_.depth() > 0)
            totals_.add(f);
        return true;
    };
    walker_.folderDone = [this](const FoundFile &folder) { folderDone(folder); };
    walker_.rootDone = [this] { collect(); };
}

void DirHogScan::begin(Mode mode, int workers, bool gridRows)
{
    mode_ = mode;
    lb2.clear();
    runs_.clear();
    batches_.clear();
    stores_.clear(); // no line is left that lies in them
    store_ = std::make_unique<Store>();
    gridRows_ = gridRows && mode == Mode::AllFolders;
    limitReached = false;
    totals_ = {};
    links_.clear();
    linkFrom_ = 0;
    pending_.clear();
    waiting_.clear();
    folders_.clear();
    driveBase_ = 0;
    counted_.clear();
    keepDays();
    days_ = {};
    days_.known = &knownDays_;
    walker_.mask = WildPattern(QStringLiteral("*.*"));
    walker_.returned = FileAttr::Hidden | FileAttr::System | (mode == Mode::AllFolders ? unsigned(FileAttr::Folder) : 0u);
    // Events run between a folder's files; the folder loop goes on without.
    walker_.pumpBetweenFolders = false;
    walker_.pumpBetweenFiles = true;
    walker_.clearStatusAfterFiles = false;
    walker_.workers.clear();
    workers_.clear();
    lines_ = 0;
    room_ = walker_.capacity;
    for (int i = 0; i < workers; ++i) {
        workers_.push_back(std::make_unique<Worker>(*this, mode, lines_, room_));
        workers_.back()->days.known = &knownDays_;
        if (gridRows_)
            workers_.back()->rows = std::make_unique<GridLines>(gridLayout());
        walker_.workers.push_back(workers_.back().get());
    }
}

void DirHogScan::keepDays()
{
    // The date texts the last scan's writers made are kept for the next
    // scans, as long as the dates are written alike.
    const QString dates = QLocale().name() + QLatin1Char('\n') + shortDateFormat();
    if (dates != knownDaysFor_) {
        knownDays_.clear();
        knownDaysFor_ = dates;
        return; // the last scan's texts are another locale's
    }
    knownDays_.insert(days_.dayTexts.begin(), days_.dayTexts.end());
    for (const auto &w : workers_)
        knownDays_.insert(w->days.dayTexts.begin(), w->days.dayTexts.end());
}

std::vector<GridLines> DirHogScan::gridRows()
{
    std::vector<GridLines> out = std::move(batches_);
    batches_.clear();
    return out;
}

void DirHogScan::collect()
{
    if (workers_.empty()) {
        settleOwnWalk();
        return;
    }
    const bool full = lines_.load() > room_;
    // The folders the workers walked, by their walk's numbers.
    uint32_t count = 0;
    for (const auto &w : workers_)
        for (const Met &m : w->met)
            count = std::max(count, m.folder + 1);
    folders_.resize(size_t(driveBase_) + std::max<uint32_t>(count, 1));
    for (const auto &w : workers_)
        for (const Met &m : w->met)
            folders_.set(driveBase_ + m.folder, m.parent == WalkPlace::kNoFolder ? FolderNames::kNone : driveBase_ + m.parent,
                         {w->store->names.at(m.nameAt), m.nameLen}, m.parent == WalkPlace::kNoFolder);
    // Each file with several names counts where the ledger says.
    std::vector<const LinkLedger *> ledgers;
    for (const auto &w : workers_)
        ledgers.push_back(&w->links);
    const std::vector<LinkLedger::Owner> owners = LinkLedger::owners(ledgers, counted_);
    if (mode_ == Mode::MainFolders) {
        for (const LinkLedger::Owner &o : owners) {
            const LinkLedger::Name &n = (*ledgers[o.ledger])[o.index];
            if (n.slot != kNoSlot)
                workers_[o.ledger]->topTotals(int(n.slot)).add(n);
        }
        std::vector<Totals> tops;
        std::vector<std::pair<int, std::string>> mains;
        for (const auto &w : workers_) {
            if (tops.size() < w->tops.size())
                tops.resize(w->tops.size());
            for (size_t i = 0; i < w->tops.size(); ++i) {
                Totals &t = tops[i];
                const Totals &o = w->tops[i];
                addSize(t.bytes, o.bytes);
                t.files += o.files;
                t.folders += o.folders;
                t.latestAccess = std::max(t.latestAccess, o.latestAccess);
            }
            mains.insert(mains.end(), w->mains.begin(), w->mains.end());
        }
        std::sort(mains.begin(), mains.end());
        for (const auto &[top, path] : mains)
            if (!addLine(size_t(top) < tops.size() ? tops[size_t(top)] : Totals{}, folders_.add(FolderNames::kNone, path)))
                break;
    } else {
        for (const LinkLedger::Owner &o : owners) {
            const LinkLedger::Name &n = (*ledgers[o.ledger])[o.index];
            if (n.slot != kNoSlot)
                workers_[o.ledger]->pending[n.slot].totals.add(n);
        }
        // The lines that waited are made here, one more sorted run.
        std::vector<Line> waited;
        std::unique_ptr<GridLines> rows = gridRows_ ? std::make_unique<GridLines>(gridLayout()) : nullptr;
        const auto batch = uint32_t(batches_.size());
        for (const auto &w : workers_) {
            for (const Pending &p : w->pending) {
                if (!folders_.reachesRoot(p.folder))
                    continue; // a folder above it was cut short by a stop: its path is not known
                if (!walker_.keep()) {
                    limitHit();
                    break;
                }
                QStringView fields[5];
                QString head = days_.line(*store_, p.totals, capacity, rows ? fields : nullptr);
                const uint64_t lead = leadKey(head);
                const uint32_t row = rows ? rows->addKeyed(fields, 5, p.folder) : 0;
                waited.push_back({std::move(head), p.folder, p.totals.bytes, p.totals.files, lead,
                                  rows ? batch : kNoRow, row});
            }
            if (limitReached)
                break;
        }
        if (!waited.empty()) {
            sortHeads(waited);
            runs_.push_back(std::move(waited));
            if (rows)
                batches_.push_back(std::move(*rows));
        }
        for (const auto &w : workers_) {
            if (limitReached)
                break;
            // A folder above the line's may have been cut short by a stop.
            std::erase_if(w->made, [this](const Line &l) { return !folders_.reachesRoot(l.folder); });
            size_t kept = 0;
            while (kept < w->made.size() && walker_.keep())
                ++kept;
            if (kept < w->made.size()) {
                w->made.resize(kept); // what is left stays sorted
                limitHit();
            }
            if (w->rows) {
                const auto batch = uint32_t(batches_.size());
                for (Line &l : w->made)
                    l.batch = batch;
                batches_.push_back(std::move(*w->rows));
                w->rows = std::make_unique<GridLines>(gridLayout());
            }
            if (!w->made.empty())
                runs_.push_back(std::move(w->made));
            if (limitReached)
                break;
        }
    }
    if (full)
        limitHit();
    // The next drive starts afresh.
    for (auto &w : workers_) {
        w->own = {};
        stores_.push_back(std::move(w->store)); // the lines collected lie there
        w->store = std::make_unique<Store>();
        if (w->rows && w->rows->size() != 0)
            w->rows = std::make_unique<GridLines>(gridLayout());
        w->made.clear();
        w->tops.clear();
        w->mains.clear();
        w->links.clear();
        w->linkFrom = 0;
        w->metFolder = WalkPlace::kNoFolder;
        w->pending.clear();
        w->met.clear();
    }
    lines_ = 0;
    room_ = walker_.capacity - walker_.keptCount();
}

void DirHogScan::limitHit()
{
    if (!limitReached) {
        limitReached = true;
        dialogs().showWarning(limitText());
    }
    walker_.scanAborted = true;
}

void DirHogScan::folderDone(const FoundFile &folder)
{
    const int depth = walker_.depth();
    uint32_t node = FolderNames::kNone;
    if (mode_ == Mode::MainFolders) {
        if (depth >= 2) {
            ++totals_.folders;
            return;
        }
        if (depth == 0)
            return; // the root's own linked names keep no slot: they count in no line
        node = folders_.add(FolderNames::kNone, folder.path);
    } else {
        // The folders below ended before this one: they wait for it as their
        // parent. One whose parent never ends (a stop) is not known.
        node = folders_.add(depth == 0 ? FolderNames::kNone : FolderNames::kPending,
                            depth == 0 ? std::string_view(folder.path) : std::string_view(folder.name), depth == 0);
        if (waiting_.size() < size_t(depth) + 2)
            waiting_.resize(size_t(depth) + 2);
        for (const uint32_t below : waiting_[size_t(depth) + 1])
            folders_.setParent(below, node);
        waiting_[size_t(depth) + 1].clear();
        if (depth > 0)
            waiting_[size_t(depth)].push_back(node);
        lastDone_.assign(folder.path);
        lastDoneDepth_ = depth;
        if (depth == 0 && totals_.files == 0 && totals_.folders == 0 && totals_.bytes == 0
            && links_.size() == linkFrom_)
            return; // a drive's root holding nothing at all makes no line
    }
    const Totals t = totals_;
    totals_ = {};
    if (links_.size() > linkFrom_) {
        // The line waits for the root's end, when the linked names are settled.
        links_.setSlots(linkFrom_, uint32_t(pending_.size()));
        linkFrom_ = links_.size();
        pending_.push_back({t, node});
        return;
    }
    addLine(t, node);
}

void DirHogScan::settleOwnWalk()
{
    for (const LinkLedger::Owner &o : LinkLedger::owners({&links_}, counted_)) {
        const LinkLedger::Name &n = links_[o.index];
        if (n.slot != kNoSlot)
            pending_[n.slot].totals.add(n);
    }
    for (const Pending &p : pending_)
        if (!limitReached && !addLine(p.totals, p.folder))
            break;
    pending_.clear();
    adoptWaiting();
    // A folder above a line's that a stop cut short leaves its path unknown.
    std::erase_if(lb2, [this](const Line &l) { return !folders_.reachesRoot(l.folder); });
    links_.clear();
    linkFrom_ = 0;
}

void DirHogScan::adoptWaiting()
{
    // A stop leaves the folders above the last one ended unended: they are
    // the parents of the folders still waiting, and their paths are the
    // last one's path less its last names.
    const bool any = std::any_of(waiting_.begin(), waiting_.end(), [](const auto &w) { return !w.empty(); });
    if (any && lastDoneDepth_ > 0) {
        std::vector<std::string_view> names(static_cast<size_t>(lastDoneDepth_));
        std::string_view p = lastDone_;
        for (int d = lastDoneDepth_; d > 0; --d) {
            const size_t slash = p.rfind('/');
            if (slash == std::string_view::npos)
                break;
            names[size_t(d - 1)] = p.substr(slash + 1);
            p = p.substr(0, slash == 0 ? 1 : slash);
        }
        std::vector<uint32_t> above(static_cast<size_t>(lastDoneDepth_));
        above[0] = folders_.add(FolderNames::kNone, p, true);
        for (int d = 1; d < lastDoneDepth_; ++d)
            above[size_t(d)] = folders_.add(above[size_t(d - 1)], names[size_t(d - 1)]);
        for (int d = 1; d <= lastDoneDepth_ && size_t(d) < waiting_.size(); ++d)
            for (const uint32_t below : waiting_[size_t(d)])
                folders_.setParent(below, above[size_t(d - 1)]);
    }
    waiting_.clear();
    lastDone_.clear();
    lastDoneDepth_ = 0;
}

bool DirHogScan::addLine(const Totals &t, uint32_t folder)
{
    if (!walker_.keep()) {
        limitHit();
        return false;
    }
    QString head = days_.line(*store_, t, capacity);
    const uint64_t lead = leadKey(head);
    lb2.push_back({std::move(head), folder, t.bytes, t.files, lead});
    return true;
}

std::vector<DirHogScan::Line> DirHogScan::finish()
{
    folders_.settle();
    std::vector<Line> out = std::move(lb2);
    lb2.clear();
    sortLines(out);
    // The runs sorted by their heads are put in order, then merged two at a
    // time, the shortest first.
    std::vector<std::vector<Line>> runs = std::move(runs_);
    runs_.clear();
    for (std::vector<Line> &run : runs)
        settleRun(run);
    runs.push_back(std::move(out));
    while (runs.size() > 1) {
        std::sort(runs.begin(), runs.end(), [](const auto &a, const auto &b) { return a.size() > b.size(); });
        std::vector<Line> a = std::move(runs.back());
        runs.pop_back();
        std::vector<Line> &b = runs.back();
        std::vector<Line> merged;
        merged.reserve(a.size() + b.size());
        std::merge(std::make_move_iterator(a.begin()), std::make_move_iterator(a.end()),
                   std::make_move_iterator(b.begin()), std::make_move_iterator(b.end()), std::back_inserter(merged),
                   [this](const Line &x, const Line &y) { return textBefore(x, y); });
        b = std::move(merged);
    }
    return std::move(runs.front());
}

std::vector<FolderMap::TreeFolder> DirHogScan::mapTree(const std::vector<MapFolder> &folders) const
{
    const FolderNames &names = folders_;
    std::vector<uint32_t> slot(names.size(), FolderNames::kNone); // node -> place in the list
    std::vector<uint32_t> wanted;
    std::vector<char> in(names.size(), 0);
    const auto want = [&](uint32_t n) {
        // The folder and those above it not yet wanted.
        for (; n < names.size() && !in[n] && names.known(n); n = names.parent(n)) {
            in[n] = 1;
            wanted.push_back(n);
        }
    };
    for (uint32_t n = 0; n < names.size(); ++n)
        if (names.known(n) && names.parent(n) == FolderNames::kNone)
            want(n);
    for (const MapFolder &f : folders)
        if (names.reachesRoot(f.folder))
            want(f.folder);
    std::stable_sort(wanted.begin(), wanted.end(),
                     [&](uint32_t a, uint32_t b) { return names.depth(a) < names.depth(b); });
    std::vector<FolderMap::TreeFolder> out;
    out.reserve(wanted.size());
    for (const uint32_t n : wanted) {
        if (names.parent(n) != FolderNames::kNone && slot[names.parent(n)] == FolderNames::kNone)
            continue; // below a folder whose parent is not known
        slot[n] = uint32_t(out.size());
        out.push_back({names.parent(n) == FolderNames::kNone ? FolderMap::kNoParent : slot[names.parent(n)],
                       names.name(n), 0, 0});
    }
    for (const MapFolder &f : folders)
        if (f.folder < slot.size() && slot[f.folder] != FolderNames::kNone) {
            FolderMap::TreeFolder &t = out[slot[f.folder]];
            addSize(t.ownBytes, f.bytes);
            t.ownFiles += f.files;
        }
    return out;
}

std::vector<uint32_t> DirHogScan::bySize(const std::vector<Line> &lines)
{
    // The grid reads a size from its text as a number; bytes are never
    // negative. The keys are sorted side by side with the lines' numbers.
    std::vector<std::pair<double, uint32_t>> keys(lines.size());
    for (uint32_t i = 0; i < keys.size(); ++i)
        keys[i] = {double(std::max<int64_t>(lines[i].bytes, 0)), i};
    std::stable_sort(keys.begin(), keys.end(), [](const auto &a, const auto &b) { return a.first > b.first; });
    std::vector<uint32_t> order(keys.size());
    for (size_t i = 0; i < keys.size(); ++i)
        order[i] = keys[i].second;
    return order;
}

DirHogScan::Totals DirHogScan::folderTotals(const std::string &folder, Mode mode)
{
    Walker w;
    w.statusPerFolder = false;
    return folderTotals(folder, mode, w);
}

DirHogScan::Totals DirHogScan::folderTotals(const std::string &folder, Mode mode, Walker &w)
{
    // The walker keeps serving its scan afterwards: every setting changed
    // here goes back when the walk ends.
    struct Saved {
        Walker &w;
        Walker::Visitor visitor = w.visitor;
        std::function<void(const FoundFile &)> folderDone = w.folderDone;
        WildPattern mask = w.mask;
        unsigned returned = w.returned;
        bool enterHidden = w.enterHidden, pumpAtFolderStart = w.pumpAtFolderStart,
             pumpBetweenFiles = w.pumpBetweenFiles;
        int maxDepth = w.maxDepth;
        std::vector<WalkWorker *> workers = w.workers;
        std::function<void()> rootDone = w.rootDone;
        ~Saved()
        {
            w.workers = std::move(workers);
            w.rootDone = std::move(rootDone);
            w.visitor = std::move(visitor);
            w.folderDone = std::move(folderDone);
            w.mask = std::move(mask);
            w.returned = returned;
            w.enterHidden = enterHidden;
            w.pumpAtFolderStart = pumpAtFolderStart;
            w.pumpBetweenFiles = pumpBetweenFiles;
            w.maxDepth = maxDepth;
        }
    } saved{w};

    Totals t;
    // One folder's totals come from the walker's own walk.
    w.workers.clear();
    w.rootDone = nullptr;
    w.mask = WildPattern(QStringLiteral("*.*"));
    w.returned = FileAttr::Hidden | FileAttr::System | (mode == Mode::AllFolders ? unsigned(FileAttr::Folder) : 0u);
    w.enterHidden = true;
    w.pumpAtFolderStart = true;
    w.pumpBetweenFiles = true;
    w.maxDepth = mode == Mode::AllFolders ? 0 : Walker::kMaxDepth;
    LinkLedger links;
    w.visitor = [&](const FoundFile &f) {
        if (linked(f))
            links.add(f, f.folder, f.name, 0); // counted once below, whichever of its names the walk met
        else
            t.add(f);
        return true;
    };
    w.folderDone = [&](const FoundFile &) {
        if (mode == Mode::MainFolders && w.depth() > 0)
            ++t.folders;
    };
    w.reset();
    w.scanFolder(folder);
    std::vector<std::pair<uint64_t, uint64_t>> counted;
    for (const LinkLedger::Owner &o : LinkLedger::owners({&links}, counted))
        t.add(links[o.index]);
    return t;
}

GridLayout DirHogScan::gridLayout()
{
    GridLayout l;
    l.columns = {{QStringLiteral("Size"), 1, 80},
                 {QStringLiteral("% Used"), 2, 40, CellKind::None, true},
                 {QStringLiteral("# Files"), 3, 40, CellKind::None, true},
                 {QStringLiteral("# Sub-folders"), 4, 70, CellKind::None, true},
                 {QStringLiteral("Latest File Access"), 5, 90},
                 {QStringLiteral("Name"), 6, 0}};
    l.markColumn = -1;
    l.sizeColumn = 0;
    l.lastColumnLess = -1; // the client width less the other widths and 25
    l.hint = QStringLiteral("Double click to clean the folder, right click for options");
    l.sortEntries = {{QStringLiteral("Sort by &Size"), 0, SortKind::Number, QStringLiteral("DirHogs/Size"), true},
                     {QStringLiteral("Sort by # &Files"), 2, SortKind::Number, QStringLiteral("DirHogs/Files"), true},
                     {QStringLiteral("Sort by # Sub-f&olders"), 3, SortKind::Number,
                      QStringLiteral("DirHogs/SubFolders"), true},
                     {QStringLiteral("Sort by &Access Date"), 4, SortKind::Date, QStringLiteral("DirHogs/Access"), true},
                     {QStringLiteral("Sort by &Name"), 5, SortKind::Text, QStringLiteral("DirHogs/Name"), false}};
    l.sortSubmenu = false;
    l.fileEntries = false;
    l.markEntries = false;
    l.resizeSubmenu = false;
    return l;
}

QString DirHogScan::limitText() { return QStringLiteral("Resource limit reached ... cannot process any more files."); }

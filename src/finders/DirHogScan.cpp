#include "finders/DirHogScan.h"

#include "common/Dialogs.h"
#include "common/DosTime.h"
#include "common/Text.h"
#include "platform/DirReader.h"
#include "platform/Drives.h"

#include <QLocale>
#include <algorithm>

void DirHogScan::Totals::add(const FoundFile &f)
{
    if (f.attributes & FileAttr::Folder) {
        ++folders;
        return;
    }
    ++files;
    bytes += f.size;
    latestAccess = std::max(latestAccess, f.accessed);
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
        if (at.depth == 0 && t.files == 0 && t.folders == 0)
            return true; // a drive's root holding nothing at all makes no line
        if (lines.fetch_add(1) >= room)
            return false; // the line list is full
        made.push_back({scan.lineText(t, displayName(at.depth == 0 ? folder.folder : folder.path), days), folder.path, t.bytes, t.files});
        return true;
    }
    void walkEnded() override
    {
        // The worker's own lines are sorted on its thread; the calling
        // thread merges the sorted runs.
        std::sort(made.begin(), made.end(), textBefore);
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
    DayText days;
    std::vector<Totals> tops;                    // main folders: by the main folder's number
    std::vector<std::pair<int, std::string>> mains; // main folders walked: number, path
};

DirHogScan::~DirHogScan() = default;

DirHogScan::DirHogScan(Walker &walker) : walker_(walker)
{
    walker_.enterHidden = true;
    walker_.driveStarted = [this](const std::string &root) {
        double freeBytes = 0, total = 0;
        capacity = Drives::driveSpace(root, freeBytes, total) ? total : 0;
        // The lines the earlier drives of this scan left room for.
        lines_ = 0;
        room_ = walker_.capacity - walker_.keptCount();
    };
    walker_.visitor = [this](const FoundFile &f) {
        // Main folders: the files lying in the root belong to no row.
        if (mode_ == Mode::AllFolders || walker_.depth() > 0)
            totals_.add(f);
        return true;
    };
    walker_.folderDone = [this](const FoundFile &folder) { folderDone(folder); };
    walker_.rootDone = [this] { collect(); };
}

void DirHogScan::begin(Mode mode, int workers)
{
    mode_ = mode;
    lb2.clear();
    runs_.clear();
    limitReached = false;
    totals_ = {};
    days_ = {};
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
        walker_.workers.push_back(workers_.back().get());
    }
}

void DirHogScan::collect()
{
    if (workers_.empty())
        return;
    const bool full = lines_.load() > room_;
    if (mode_ == Mode::MainFolders) {
        std::vector<Totals> tops;
        std::vector<std::pair<int, std::string>> mains;
        for (const auto &w : workers_) {
            if (tops.size() < w->tops.size())
                tops.resize(w->tops.size());
            for (size_t i = 0; i < w->tops.size(); ++i) {
                Totals &t = tops[i];
                const Totals &o = w->tops[i];
                t.bytes += o.bytes;
                t.files += o.files;
                t.folders += o.folders;
                t.latestAccess = std::max(t.latestAccess, o.latestAccess);
            }
            mains.insert(mains.end(), w->mains.begin(), w->mains.end());
        }
        std::sort(mains.begin(), mains.end());
        for (const auto &[top, path] : mains)
            if (!addLine(size_t(top) < tops.size() ? tops[size_t(top)] : Totals{}, path, displayName(path)))
                break;
    } else {
        for (const auto &w : workers_) {
            size_t kept = 0;
            while (kept < w->made.size() && walker_.keep())
                ++kept;
            if (kept < w->made.size()) {
                w->made.resize(kept); // what is left stays sorted
                limitHit();
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
        w->made.clear();
        w->tops.clear();
        w->mains.clear();
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
    if (mode_ == Mode::MainFolders) {
        if (depth >= 2) {
            ++totals_.folders;
            return;
        }
        if (depth == 0)
            return;
    } else if (depth == 0 && totals_.files == 0 && totals_.folders == 0) {
        return; // a drive's root holding nothing at all makes no line
    }
    const Totals t = totals_;
    totals_ = {};
    addLine(t, folder.path, depth == 0 ? folder.folderText : displayName(folder.path));
}

bool DirHogScan::addLine(const Totals &t, const std::string &path, const QString &folderText)
{
    if (!walker_.keep()) {
        limitHit();
        return false;
    }
    lb2.push_back({lineText(t, folderText, days_), path, t.bytes, t.files});
    return true;
}

QString DirHogScan::DayText::of(uint32_t stamp)
{
    if (stamp == 0)
        return {};
    if (const uint32_t d = stamp >> 16; d != day) { // a DOS stamp's date half
        day = d;
        text = dosDateText(stamp);
    }
    return text;
}

QString DirHogScan::lineText(const Totals &t, const QString &folderText, DayText &days) const
{
    return line(t, capacity, days.of(t.latestAccess), folderText, days.locale);
}

bool DirHogScan::textBefore(const Line &a, const Line &b)
{
    const int c = QString::compare(a.text, b.text, Qt::CaseInsensitive);
    if (c != 0)
        return c > 0;
    // Lines alike in text (folders whose names show alike) keep one order.
    return a.text != b.text ? a.text > b.text : a.path > b.path;
}

std::vector<DirHogScan::Line> DirHogScan::finish()
{
    std::vector<Line> out = std::move(lb2);
    lb2.clear();
    std::sort(out.begin(), out.end(), textBefore);
    // The sorted runs are merged two at a time, the shortest first.
    std::vector<std::vector<Line>> runs = std::move(runs_);
    runs_.clear();
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
                   textBefore);
        b = std::move(merged);
    }
    return std::move(runs.front());
}

std::vector<uint32_t> DirHogScan::bySize(const std::vector<Line> &lines)
{
    // The grid reads a size from its text as a number; bytes are never
    // negative.
    std::vector<uint32_t> order(lines.size());
    for (uint32_t i = 0; i < order.size(); ++i)
        order[i] = i;
    std::stable_sort(order.begin(), order.end(), [&lines](uint32_t a, uint32_t b) {
        return double(std::max<int64_t>(lines[a].bytes, 0)) > double(std::max<int64_t>(lines[b].bytes, 0));
    });
    return order;
}

QString DirHogScan::percentText(int64_t bytes, double capacity, const QLocale &locale)
{
    if (!(double(bytes) < capacity))
        return QStringLiteral("???");
    return locale.toString(100.0 * double(bytes) / capacity, 'f', 2);
}

QString DirHogScan::line(const Totals &t, double capacity, const QString &folderText)
{
    return line(t, capacity, dosDateText(t.latestAccess), folderText, QLocale());
}

QString DirHogScan::line(const Totals &t, double capacity, const QString &dateText, const QString &folderText,
                         const QLocale &locale)
{
    // The size as formatThousands writes it, in a locale made once.
    const QChar tab(QLatin1Char('\t'));
    return locale.toString(qlonglong(t.bytes)) + tab + percentText(t.bytes, capacity, locale) + tab + QString::number(t.files) + tab
        + QString::number(t.folders) + tab + dateText + tab + folderText;
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
    w.visitor = [&](const FoundFile &f) {
        t.add(f);
        return true;
    };
    w.folderDone = [&](const FoundFile &) {
        if (mode == Mode::MainFolders && w.depth() > 0)
            ++t.folders;
    };
    w.reset();
    w.scanFolder(folder);
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

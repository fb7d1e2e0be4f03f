#include "finders/DirHogScan.h"

#include "common/Dialogs.h"
#include "common/DosTime.h"
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
    bytes += f.size;
    latestAccess = std::max(latestAccess, f.accessed);
}

void DirHogScan::Totals::add(const LinkLedger::Name &n)
{
    files += (n.attributes & FileAttr::Archive) != 0;
    bytes += n.size;
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
        const bool hasLinked = links.size() > linkFrom;
        if (at.depth == 0 && t.files == 0 && t.folders == 0 && t.bytes == 0 && !hasLinked)
            return true; // a drive's root holding nothing at all makes no line
        if (lines.fetch_add(1) >= room)
            return false; // the line list is full
        if (hasLinked) {
            // The line waits until the drive's linked names are settled.
            links.setSlots(linkFrom, uint32_t(pending.size()));
            linkFrom = links.size();
            const std::string_view path = store->keep(folder.path);
            pending.push_back({t, path, at.depth == 0 ? store->keep(folder.folder) : path});
            return true;
        }
        QStringView fields[6];
        QString text =
            days.line(*store, t, scan.capacity, at.depth == 0 ? folder.folder : folder.path, rows ? fields : nullptr);
        const uint64_t lead = leadKey(text);
        // The grid's row is made while the text is at hand; its batch is
        // numbered when the drive's lines are collected.
        const uint32_t row = rows ? rows->addFields(fields, 6, folder.path) : 0;
        made.push_back({std::move(text), store->keep(folder.path), t.bytes, t.files, lead, kNoRow, row});
        return true;
    }
    void walkEnded() override
    {
        // The worker's own lines are sorted on its thread; the calling
        // thread merges the sorted runs.
        sortLines(made);
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
    std::unique_ptr<Store> store = std::make_unique<Store>(); // their texts and paths
    std::unique_ptr<GridLines> rows;             // all folders, when asked for: their grid rows
    LineWriter days;
    std::vector<Totals> tops;                    // main folders: by the main folder's number
    std::vector<std::pair<int, std::string>> mains; // main folders walked: number, path
    LinkLedger links;             // the names met of files with several (slot: main folder, or pending line)
    size_t linkFrom = 0;          // all folders: the first name of the folder being walked
    std::vector<Pending> pending; // all folders: lines waiting for the linked names
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
                t.bytes += o.bytes;
                t.files += o.files;
                t.folders += o.folders;
                t.latestAccess = std::max(t.latestAccess, o.latestAccess);
            }
            mains.insert(mains.end(), w->mains.begin(), w->mains.end());
        }
        std::sort(mains.begin(), mains.end());
        for (const auto &[top, path] : mains)
            if (!addLine(size_t(top) < tops.size() ? tops[size_t(top)] : Totals{}, path, path))
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
                if (!walker_.keep()) {
                    limitHit();
                    break;
                }
                QStringView fields[6];
                QString text = days_.line(*store_, p.totals, capacity, p.shown, rows ? fields : nullptr);
                const uint64_t lead = leadKey(text);
                const uint32_t row = rows ? rows->addFields(fields, 6, p.path) : 0;
                waited.push_back({std::move(text), p.path, p.totals.bytes, p.totals.files, lead,
                                  rows ? batch : kNoRow, row});
            }
            if (limitReached)
                break;
        }
        if (!waited.empty()) {
            sortLines(waited);
            runs_.push_back(std::move(waited));
            if (rows)
                batches_.push_back(std::move(*rows));
        }
        for (const auto &w : workers_) {
            if (limitReached)
                break;
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
        w->pending.clear();
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
            return; // the root's own linked names keep no slot: they count in no line
    } else if (depth == 0 && totals_.files == 0 && totals_.folders == 0 && totals_.bytes == 0
               && links_.size() == linkFrom_) {
        return; // a drive's root holding nothing at all makes no line
    }
    const Totals t = totals_;
    totals_ = {};
    if (links_.size() > linkFrom_) {
        // The line waits for the root's end, when the linked names are settled.
        links_.setSlots(linkFrom_, uint32_t(pending_.size()));
        linkFrom_ = links_.size();
        const std::string_view path = store_->keep(folder.path);
        pending_.push_back({t, path, depth == 0 ? store_->keep(folder.folder) : path});
        return;
    }
    addLine(t, folder.path, depth == 0 ? folder.folder : folder.path);
}

void DirHogScan::settleOwnWalk()
{
    for (const LinkLedger::Owner &o : LinkLedger::owners({&links_}, counted_)) {
        const LinkLedger::Name &n = links_[o.index];
        if (n.slot != kNoSlot)
            pending_[n.slot].totals.add(n);
    }
    for (const Pending &p : pending_)
        if (!limitReached && !addLine(p.totals, std::string(p.path), p.shown))
            break;
    pending_.clear();
    links_.clear();
    linkFrom_ = 0;
}

bool DirHogScan::addLine(const Totals &t, const std::string &path, std::string_view shown)
{
    if (!walker_.keep()) {
        limitHit();
        return false;
    }
    QString text = days_.line(*store_, t, capacity, shown);
    const uint64_t lead = leadKey(text);
    lb2.push_back({std::move(text), store_->keep(path), t.bytes, t.files, lead});
    return true;
}

std::string_view DirHogScan::Store::keep(std::string_view path)
{
    return {paths.at(paths.append(path.data(), path.size())), path.size()};
}

namespace {
// Writes v's digits before end, in groups of three parted by group (none
// when group is 0); gives the first character written.
char16_t *digitsBefore(char16_t *end, uint64_t v, char16_t group)
{
    int n = 0;
    do {
        if (group != 0 && n != 0 && n % 3 == 0)
            *--end = group;
        *--end = char16_t(u'0' + v % 10);
        v /= 10;
        ++n;
    } while (v != 0);
    return end;
}

// Appends a whole number's digits (grouped by group, if set) at out.
char16_t *putNumber(char16_t *out, int64_t v, char16_t group)
{
    char16_t buf[32];
    char16_t *const end = buf + 32;
    const uint64_t u = v < 0 ? 0 - uint64_t(v) : uint64_t(v);
    char16_t *first = digitsBefore(end, u, group);
    if (v < 0)
        *--first = u'-';
    return std::copy(first, end, out);
}

// Appends the percent of percentText with two decimals: rounded to the
// nearest, an exact half away from zero as the locale rounds it.
char16_t *putPercent(char16_t *out, int64_t bytes, double capacity, char16_t point)
{
    if (!(double(bytes) < capacity)) {
        for (const char16_t c : u"???")
            if (c != 0)
                *out++ = c;
        return out;
    }
    const double v = 100.0 * double(bytes) / capacity;
    if (v >= 0 && v < 0.004) {
        // Far below the first hundredth, as most folders of a drive are.
        for (const char16_t c : {u'0', point, u'0', u'0'})
            *out++ = c;
        return out;
    }
    // Only a multiple of 1/8 ends exactly on a half of a hundredth (in
    // binary, 5/1000 needs a factor 1/125 no double has): an odd number of
    // eighths.
    const double eighths = v * 8;
    if (std::isfinite(v) && eighths == std::floor(eighths) && std::fmod(std::fabs(eighths), 2.0) == 1.0) {
        const long long h = std::llround(v * 100); // exact: v * 100 is a whole number and a half
        const uint64_t u = uint64_t(h < 0 ? -h : h);
        if (h < 0)
            *out++ = u'-';
        char16_t buf[32];
        out = std::copy(digitsBefore(buf + 32, u / 100, 0), buf + 32, out);
        *out++ = point;
        *out++ = char16_t(u'0' + u / 10 % 10);
        *out++ = char16_t(u'0' + u % 10);
        return out;
    }
    char buf[400];
    const std::to_chars_result r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, 2);
    for (const char *c = buf; c != r.ptr; ++c)
        *out++ = *c == '.' ? point : char16_t(*c);
    return out;
}
}

DirHogScan::LineWriter::LineWriter()
{
    const QString g = locale.groupSeparator(), p = locale.decimalPoint();
    if (g.size() != 1 || p.size() != 1)
        return;
    group = g.front().unicode();
    point = p.front().unicode();
    // The locale's own texts of a few numbers decide whether they can be
    // written here.
    char16_t buf[64];
    for (const int64_t n : {int64_t(0), int64_t(7), int64_t(999), int64_t(1000), int64_t(12345), int64_t(-1234567),
                            int64_t(1234567890123456789)})
        if (locale.toString(qlonglong(n)) != QStringView(buf, putNumber(buf, n, group) - buf))
            return;
    for (const auto &[bytes, capacity] : {std::pair<int64_t, double>{0, 10}, {1, 800}, {5, 800}, {1234, 10000},
                                          {12345, 100000}, {99995, 100000}, {1, 3}, {2, 3}})
        if (locale.toString(100.0 * double(bytes) / capacity, 'f', 2)
            != QStringView(buf, putPercent(buf, bytes, capacity, point) - buf))
            return;
    direct = true;
}

const QString &DirHogScan::LineWriter::dateOf(uint32_t stamp)
{
    static const QString none;
    if (stamp == 0)
        return none;
    const uint32_t d = stamp >> 16; // a DOS stamp's date half
    Recent &r = recent[d % recent.size()];
    if (r.text && r.day == d)
        return *r.text;
    if (known) {
        if (const auto k = known->find(d); k != known->end()) {
            r = {d, &k->second};
            return k->second;
        }
    }
    auto found = dayTexts.find(d);
    if (found == dayTexts.end())
        found = dayTexts.emplace(d, dosDateText(stamp, locale, dateFormat)).first;
    r = {d, &found->second}; // the map's entries stay where they are
    return found->second;
}

QString DirHogScan::LineWriter::line(Store &store, const Totals &t, double capacity, std::string_view folder,
                                     QStringView *fields)
{
    const QString &date = dateOf(t.latestAccess);
    QString made; // where the locale writes the numbers
    if (!direct)
        made = DirHogScan::line(t, capacity, date, displayName(std::string(folder)), locale);
    const qsizetype room = direct ? headRoom + date.size() + qsizetype(folder.size()) : made.size();
    uint64_t handle;
    QChar *const start = store.texts.allocate(size_t(room), handle);
    QChar *end;
    qsizetype tabs[5];
    if (direct)
        end = displayNameInto(head(start, t, capacity, date, tabs), folder); // the bytes decoded in place
    else
        end = std::copy(made.constData(), made.constData() + made.size(), start);
    store.texts.unuse(size_t(room - (end - start)));
    const QString text = QString::fromRawData(start, end - start);
    if (!fields)
        return text;
    if (direct) {
        qsizetype from = 0;
        for (int f = 0; f < 5; ++f) {
            fields[f] = QStringView(start + from, tabs[f] - from);
            from = tabs[f] + 1;
        }
        fields[5] = QStringView(start + from, end);
    } else {
        QStringView all[GridLines::MaxFields];
        const int n = GridLines::splitFields(text, all);
        std::copy(all, all + std::min(n, 6), fields);
        std::fill(fields + std::min(n, 6), fields + 6, QStringView());
    }
    return text;
}

QChar *DirHogScan::LineWriter::head(QChar *out, const Totals &t, double capacity, const QString &date, qsizetype *tabs)
{
    // The four numbers and their tabs, then the date and its tab.
    char16_t *const first = reinterpret_cast<char16_t *>(out);
    char16_t *at = putNumber(first, t.bytes, group);
    qsizetype tab[5];
    tab[0] = at - first;
    *at++ = u'\t';
    at = putPercent(at, t.bytes, capacity, point);
    tab[1] = at - first;
    *at++ = u'\t';
    at = putNumber(at, t.files, 0);
    tab[2] = at - first;
    *at++ = u'\t';
    at = putNumber(at, t.folders, 0);
    tab[3] = at - first;
    *at++ = u'\t';
    at = std::copy(date.utf16(), date.utf16() + date.size(), at);
    tab[4] = at - first;
    *at++ = u'\t';
    if (tabs)
        std::copy(tab, tab + 5, tabs);
    return reinterpret_cast<QChar *>(at);
}

namespace {
// An ASCII character that a comparison without regard to case compares as it is.
bool caseless(char16_t c) { return c < 0x80 && !((c | 0x20) >= u'a' && (c | 0x20) <= u'z'); }
}

uint64_t DirHogScan::leadKey(const QString &text)
{
    if (text.size() < 8)
        return 0;
    uint64_t key = 0;
    for (qsizetype i = 0; i < 8; ++i) {
        const char16_t c = text.at(i).unicode();
        if (!caseless(c))
            return 0;
        key = key << 8 | c;
    }
    return key;
}

bool DirHogScan::textBefore(const Line &a, const Line &b)
{
    // Keys set on both that differ part at a character that case leaves alone.
    if (a.lead != b.lead && a.lead != 0 && b.lead != 0)
        return a.lead > b.lead;
    // Most lines part within their first characters (the size's digits).
    // Where they first differ by two characters that case does not touch,
    // those decide, as the comparison without regard to case would;
    // otherwise the texts are compared from there (the same characters
    // before compare alike either way; a character of two units is compared
    // whole).
    const QStringView x(a.text), y(b.text);
    const char16_t *p = x.utf16(), *q = y.utf16();
    const qsizetype n = std::min(x.size(), y.size());
    qsizetype i = 0;
    // Four characters at a time through the part they share (long where
    // folders share their parents).
    for (uint64_t a, b; i + 4 <= n; i += 4) {
        std::memcpy(&a, p + i, sizeof a);
        std::memcpy(&b, q + i, sizeof b);
        if (a != b)
            break;
    }
    while (i < n && p[i] == q[i])
        ++i;
    if (i == x.size() && i == y.size())
        return a.path > b.path; // alike in text: one order by path
    if (i < n) {
        if (caseless(p[i]) && caseless(q[i]))
            return p[i] > q[i];
    }
    if (i > 0 && QChar::isHighSurrogate(p[i - 1]))
        --i;
    const int c = QtPrivate::compareStrings(x.mid(i), y.mid(i), Qt::CaseInsensitive);
    if (c != 0)
        return c > 0;
    // Lines alike but for case (folders whose names show alike) keep one
    // order: by their texts as they are.
    return x.mid(i) > y.mid(i);
}

void DirHogScan::sortLines(std::vector<Line> &lines)
{
    // Small keys are sorted, each with its line's number (most comparisons
    // end at the keys), and the lines are moved once into their places.
    struct Key {
        uint64_t lead;
        uint32_t line;
    };
    std::vector<Key> keys(lines.size());
    for (uint32_t i = 0; i < keys.size(); ++i)
        keys[i] = {lines[i].lead, i};
    std::sort(keys.begin(), keys.end(), [&lines](const Key &a, const Key &b) {
        if (a.lead != b.lead && a.lead != 0 && b.lead != 0)
            return a.lead > b.lead;
        return textBefore(lines[a.line], lines[b.line]);
    });
    std::vector<Line> sorted;
    sorted.reserve(lines.size());
    for (const Key &k : keys)
        sorted.push_back(std::move(lines[k.line]));
    lines = std::move(sorted);
}

std::vector<DirHogScan::Line> DirHogScan::finish()
{
    std::vector<Line> out = std::move(lb2);
    lb2.clear();
    sortLines(out);
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

QString DirHogScan::percentText(int64_t bytes, double capacity, const QLocale &locale)
{
    if (!(double(bytes) < capacity))
        return QStringLiteral("???");
    return locale.toString(100.0 * double(bytes) / capacity, 'f', 2);
}

QString DirHogScan::line(const Totals &t, double capacity, std::string_view folder)
{
    Store store;
    const QString text = LineWriter().line(store, t, capacity, folder);
    return QString(text.constData(), text.size()); // a copy: the store goes
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

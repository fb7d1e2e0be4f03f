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

DirHogScan::DirHogScan(Walker &walker) : walker_(walker)
{
    walker_.enterHidden = true;
    walker_.driveStarted = [this](const std::string &root) {
        double freeBytes = 0, total = 0;
        capacity = Drives::driveSpace(root, freeBytes, total) ? total : 0;
    };
    walker_.visitor = [this](const FoundFile &f) {
        // Main folders: the files lying in the root belong to no row.
        if (mode_ == Mode::AllFolders || walker_.depth() > 0)
            totals_.add(f);
        return true;
    };
    walker_.folderDone = [this](const FoundFile &folder) { folderDone(folder); };
}

void DirHogScan::begin(Mode mode)
{
    mode_ = mode;
    lb2.clear();
    limitReached = false;
    totals_ = {};
    lastDay_ = kNoDay;
    lastDayText_.clear();
    walker_.mask = WildPattern(QStringLiteral("*.*"));
    walker_.returned = FileAttr::Hidden | FileAttr::System | (mode == Mode::AllFolders ? unsigned(FileAttr::Folder) : 0u);
    // Events run between a folder's files; the folder loop goes on without.
    walker_.pumpBetweenFolders = false;
    walker_.pumpBetweenFiles = true;
    walker_.clearStatusAfterFiles = false;
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
    if (!walker_.keep()) {
        if (!limitReached) {
            limitReached = true;
            dialogs().showWarning(limitText());
        }
        walker_.scanAborted = true;
        return;
    }
    const uint32_t day = t.latestAccess >> 16; // a DOS stamp's date half
    if (t.latestAccess != 0 && day != lastDay_) {
        lastDay_ = day;
        lastDayText_ = dosDateText(t.latestAccess);
    }
    lb2.push_back({line(t, capacity, t.latestAccess != 0 ? lastDayText_ : QString(),
                        depth == 0 ? folder.folderText : displayName(folder.path)),
                   folder.path});
}

std::vector<DirHogScan::Line> DirHogScan::finish()
{
    std::vector<Line> out = std::move(lb2);
    lb2.clear();
    std::sort(out.begin(), out.end(), [](const Line &a, const Line &b) {
        const int c = QString::compare(a.text, b.text, Qt::CaseInsensitive);
        return c != 0 ? c > 0 : a.text > b.text;
    });
    return out;
}

QString DirHogScan::percentText(int64_t bytes, double capacity)
{
    if (!(double(bytes) < capacity))
        return QStringLiteral("???");
    return QLocale().toString(100.0 * double(bytes) / capacity, 'f', 2);
}

QString DirHogScan::line(const Totals &t, double capacity, const QString &folderText)
{
    return line(t, capacity, dosDateText(t.latestAccess), folderText);
}

QString DirHogScan::line(const Totals &t, double capacity, const QString &dateText, const QString &folderText)
{
    const QChar tab(QLatin1Char('\t'));
    return formatThousands(t.bytes) + tab + percentText(t.bytes, capacity) + tab + QString::number(t.files) + tab
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
        ~Saved()
        {
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

#pragma once
#include "common/DosTime.h"
#include "finders/FolderMap.h"
#include "finders/FolderNames.h"
#include "scan/ChunkPool.h"
#include "scan/GridLayout.h"
#include "scan/GridLines.h"
#include "scan/LinkLedger.h"
#include "scan/Walker.h"

#include <QLocale>
#include <QString>
#include <QStringList>
#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

// The folder hogs walk: sets up a walker to total the bytes, files,
// sub-folders and latest access of folders, and collects one six-field line
// per folder (size, percent of the drive's capacity, files, sub-folders,
// latest access date, folder).
//
//  - Main folders: one line per folder directly under a drive's root with
//    the totals of its whole tree (the sub-folders are every folder walked
//    below it); the files lying in the root itself make no line.
//  - All folders: one line per folder walked, the root included, with its
//    own files only (the sub-folders are the folders directly in it).
//
// Every file's bytes count, dot-files, links and special files included (a
// link by its own size, as du -b counts it), and dot-folders are walked; the
// files counted are regular files only (a link or special file is no file).
// A file with several names (hard links) counts once per scan, in the folder
// of the name that comes first in LinkLedger's order; the lines of folders
// holding such names are made once the drive's walk is done. A mount point
// below a folder is another drive: it adds nothing to it and is no
// sub-folder of it. Lines show the folder as found, in its own case. A line
// keeps its folder as a number in the scan's FolderNames (its parent and its
// name), not its path: the text and path are made when asked for (text,
// path), so a scan's memory grows with its folders, not with their depth.
//
// The walk may be parallel (the lines do not depend on the order in which
// folders are met): each worker keeps the lines of the folders it walked
// (all folders) or its share of each main folder's totals (main folders),
// and the lines are made from them after each drive.
class DirHogScan {
public:
    enum class Mode { MainFolders, AllFolders };

    struct Totals {
        int64_t bytes = 0;
        int64_t files = 0;
        int64_t folders = 0;
        uint32_t latestAccess = 0; // DOS stamp, 0: no file counted
        void add(const FoundFile &f);
        // The file of a name that LinkLedger chose to count it.
        void add(const LinkLedger::Name &n);
    };
    // A line's numbers and date lie in the scan's store (head is a QString
    // over it, not a copy): they are valid until the scan's next begin, and a
    // text kept longer is copied. The folder is a number in folders().
    struct Line {
        QString head; // size, percent, files, sub-folders, date: each followed by a tab
        uint32_t folder = FolderNames::kNone;
        int64_t bytes = 0; // the line's totals as numbers (the folder map)
        int64_t files = 0;
        uint64_t lead = 0; // leadKey(head): textBefore's first step without reading the text
        // Where a worker made the line's grid row (see gridRows); batch
        // kNoRow: none was made.
        uint32_t batch = kNoRow;
        uint32_t row = 0;
    };
    static constexpr uint32_t kNoRow = ~0u;

    // Points the walker's visitor, folder and drive hooks at this scan.
    explicit DirHogScan(Walker &walker);

    // Sets the walker up for a mode and forgets the last scan's lines; with
    // workers, the walk runs on that many threads. With gridRows, a parallel
    // all-folders walk's threads also make the lines' rows of the window's
    // grid (gridLayout) as they make the lines.
    void begin(Mode mode, int workers = 0, bool gridRows = false);
    ~DirHogScan();
    Mode mode() const { return mode_; }
    // An all-folders scan read from a file instead of walked: its folders
    // and each one's own totals (by folder number), a percent being of
    // total. finish then gives its lines. names null: the folders of the
    // last scan taken stay (the same file shown in other sizes).
    void takeFolders(FolderNames *names, const std::vector<Totals> &own, double total);
    // The lines in descending text order (letters compared without regard
    // to case; lines alike in text by path), so that a stable sort by size
    // ranks equal sizes alike every time. A parallel walk's workers sorted
    // their own lines when they ended; here the sorted runs are merged.
    std::vector<Line> finish();
    // A line's whole text (its head and its folder as shown) and its folder's path.
    QString text(const Line &l) const { return l.head + folders_.shown(l.folder); }
    std::string path(const Line &l) const { return folders_.path(l.folder); }
    // The folders of the lines (and their parents), until the next begin.
    const FolderNames &folders() const { return folders_; }
    // A folder's own totals for the map.
    struct MapFolder {
        uint32_t folder; // in folders()
        int64_t bytes = 0;
        int64_t files = 0;
    };
    // The map's folders: those given with their totals, the roots and the
    // folders above them with nothing of their own, parents first. Their
    // names lie in folders().
    std::vector<FolderMap::TreeFolder> mapTree(const std::vector<MapFolder> &folders) const;
    // The order of lines (as finish gives them) that the grid's sort by
    // size, largest first, gives them: by bytes, equal sizes in the order
    // they have.
    static std::vector<uint32_t> bySize(const std::vector<Line> &lines);
    // The grid rows the threads made (after finish): batch b of a line is
    // element b. Taken once; the next scan starts without.
    std::vector<GridLines> gridRows();
    // finish's order (descending text): true when a comes before b.
    bool textBefore(const Line &a, const Line &b) const;
    // The first eight characters of a line packed a byte each, when all are
    // ASCII that case leaves alone (digits, separators, tabs: a line's size
    // and percent); 0 otherwise. Lines whose keys are both set and differ
    // are ordered by them as by their texts.
    static uint64_t leadKey(const QString &text);
    // Puts lines in finish's order.
    void sortLines(std::vector<Line> &lines) const;

    // The line of one folder (its bytes, shown as displayName shows them).
    static QString line(const Totals &t, double capacity, std::string_view folder);
    // 100 x bytes / capacity with two decimals; "???" unless bytes is below it.
    static QString percentText(int64_t bytes, double capacity, const QLocale &locale = QLocale());
    // The totals of one folder as its row in mode shows them (a row after a
    // removal that left the folder behind). The walk uses its own walker.
    static Totals folderTotals(const std::string &folder, Mode mode);
    // The same walked by w, with w's pump, clock, status and abort flag (a
    // window's walker, so that the window stays alive and Abort stops it);
    // w's configuration is put back afterwards. All folders: only the
    // folder's own entries are read. An abort leaves w.scanAborted set.
    static Totals folderTotals(const std::string &folder, Mode mode, Walker &w);

    // The grid of the window: six columns, sort entries, no marking.
    static GridLayout gridLayout();
    static QString limitText();

    std::vector<Line> lb2;     // the lines collected by the walker's own walk (and main folders)
    double capacity = 0;       // the capacity of the drive being walked
    bool limitReached = false; // the line list was full

private:
    struct Worker;
    // A folder whose line waits for its linked names to be settled.
    struct Pending {
        Totals totals;
        uint32_t folder; // a worker's: the walk's folder number
    };
    // Heads alike without regard to case: 0 (their folders decide), else
    // below zero when a comes first.
    static int headOrder(const Line &a, const Line &b);
    // A worker's lines, ordered by their heads only (its folders are not
    // yet in the scan's names).
    static void sortHeads(std::vector<Line> &lines);
    // Lines of a run sorted by sortHeads put in finish's order.
    void settleRun(std::vector<Line> &run) const;
    // A folder walked by a worker: its walk's number, its parent's and its name (in the worker's store).
    struct Met {
        uint32_t folder, parent;
        uint64_t nameAt;
        uint32_t nameLen;
    };
    static constexpr uint32_t kNoSlot = ~0u; // a linked name that counts in no line (main folders: the root's files)
    void folderDone(const FoundFile &folder);
    // The linked names of the walker's own walk settled: the pending lines made.
    void settleOwnWalk();
    // One line for the grid; false when the line list is full (the walk ends).
    // shown: the folder as the line shows it (bytes, as displayName shows them).
    bool addLine(const Totals &t, uint32_t folder);
    void limitHit();
    // After each drive of a parallel walk: the workers' lines.
    void collect();
    std::vector<std::unique_ptr<Worker>> workers_;
    // Where lines keep their texts and paths: each worker has its own, and
    // the scan takes them over when a drive's lines are collected.
    struct Store {
        static constexpr size_t kBlockBytes = 64 * 1024;
        ChunkPool<QChar> texts{kBlockBytes};
        ChunkPool<char> names{kBlockBytes};
    };
    std::unique_ptr<Store> store_;               // the scan's own lines' (lb2)
    std::vector<std::unique_ptr<Store>> stores_; // the workers' lines', taken over
    std::vector<std::vector<Line>> runs_; // all folders in parallel: each worker's lines of each drive, sorted
    std::vector<GridLines> batches_;      // their grid rows, by Line::batch
    bool gridRows_ = false;
    std::atomic<int64_t> lines_{0}; // lines the workers made on this drive
    int64_t room_ = 0;              // lines the limit leaves for this drive
    static QString line(const Totals &t, double capacity, const QString &dateText, const QString &folderText,
                        const QLocale &locale);
    Walker &walker_;
    Mode mode_ = Mode::AllFolders;
    Totals totals_;
    // The walker's own walk: its linked names, the first not yet given a
    // line's slot, and the lines waiting for them.
    LinkLedger links_;
    size_t linkFrom_ = 0;
    std::vector<Pending> pending_;
    // The walker's own walk ends folders below before their parents: the
    // folders at each depth whose parent is not ended yet.
    std::vector<std::vector<uint32_t>> waiting_;
    std::string lastDone_; // the path of the folder ended last, and its depth
    int lastDoneDepth_ = 0;
    void adoptWaiting();
    FolderNames folders_;
    uint32_t driveBase_ = 0; // this drive's folder numbers begin here (a parallel walk)
    // The files with several names counted by this scan's earlier drives.
    std::vector<std::pair<uint64_t, uint64_t>> counted_;
    // Writes the lines' texts. It keeps the date text of each day met (a
    // drive's folders share a few hundred days at most) and the locale the numbers are written in (made once, not for every
    // line). Where that locale writes whole numbers as digits in groups of
    // three and the percent with a one-character decimal point (checked
    // once against the locale), the numbers are written straight into the
    // line; otherwise the locale writes them.
    struct LineWriter {
        LineWriter();
        LineWriter(const LineWriter &) = delete; // recent points into its own dayTexts
        LineWriter &operator=(const LineWriter &) = delete;
        LineWriter(LineWriter &&) = default; // the map's entries move with it
        LineWriter &operator=(LineWriter &&) = default;
        // The date text of a DOS stamp (empty for 0).
        const QString &dateOf(uint32_t stamp);
        // A folder's line but for the folder: its head, written in store
        // (the text lies there); fields, when given, gets its five fields.
        QString line(Store &store, const Totals &t, double capacity, QStringView *fields = nullptr);
        // Writes the four numbers, the date and their tabs at out (room for
        // headRoom plus the date); gives the end. tabs, when given, gets
        // where the five tabs are.
        static constexpr qsizetype headRoom = 160;
        QChar *head(QChar *out, const Totals &t, double capacity, const QString &date, qsizetype *tabs = nullptr);

        std::unordered_map<uint32_t, QString> dayTexts; // by a DOS stamp's date half
        struct Recent {
            uint32_t day = 0;
            const QString *text = nullptr; // in dayTexts
        };
        std::array<Recent, 64> recent{}; // days asked for lately, by day modulo 64
        // Texts of earlier scans in the same locale (read only while the writer works).
        const std::unordered_map<uint32_t, QString> *known = nullptr;
        QLocale locale;
        QString dateFormat = shortDateFormat();
        char16_t group = u',', point = u'.';
        bool direct = false;
    };
    LineWriter days_;
    // The date texts of earlier scans, for the writers of the next, and the
    // locale and format they are written in.
    std::unordered_map<uint32_t, QString> knownDays_;
    QString knownDaysFor_;
    void keepDays();

};

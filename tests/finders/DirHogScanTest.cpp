#include "finders/DirHogScan.h"
#include "scan/ResultGridModel.h"
#include "common/DosTime.h"
#include "common/Text.h"
#include "platform/Drives.h"
#include "support/MixedTree.h"
#include "support/MountSandbox.h"
#include "support/ScriptedDialogs.h"
#include "support/TempTree.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <limits>
#include <map>
#include <sys/stat.h>
#include <unistd.h>

QT_BEGIN_NAMESPACE
// Readable failures: a list of texts prints as its texts.
inline void PrintTo(const QStringList &l, std::ostream *os) { *os << l.join(QLatin1Char('|')).toStdString(); }
QT_END_NAMESPACE

namespace {
// Drive D: a hand-made tree with a dot-folder, two folders whose names
// differ only in case, an empty folder, a link and a file in the root.
struct DirHogScanTest : ::testing::Test {
    TempTree t{"hogs"};
    std::string d = t.dir("D");
    ScriptedDialogs dialogs;
    Walker walker;
    DirHogScan scan{walker};

    DirHogScanTest()
    {
        Drives::setMapping({{'D', d}});
        t.sized("D/data/a", 100);
        t.sized("D/data/b", 100);
        t.sized("D/data/c", 100);
        t.sized("D/data/.h", 7);
        t.sized("D/data/old/x", 50);
        t.sized("D/data/old/y", 50);
        t.sized("D/.cache/blob", 200);
        t.sized("D/Data/z", 10);
        t.dir("D/empty");
        t.sized("D/top.txt", 5);
        EXPECT_EQ(symlink("data", t.path("D/ln").c_str()), 0); // 4 bytes, never followed
        // Access dates: the latest in data's own files is in 2020, the
        // latest below it in 2021.
        TempTree::setTimes(t.path("D/data/a"), 1583280000, 1583280000);  // 2020-03-04
        TempTree::setTimes(t.path("D/data/old/x"), 1620259200, 1620259200); // 2021-05-06
        for (const char *f : {"D/data/b", "D/data/c", "D/data/.h", "D/data/old/y"})
            TempTree::setTimes(t.path(f), 1262304000, 1262304000); // 2010-01-01
    }
    ~DirHogScanTest() override { Drives::setMapping({}); }

    // Fields 1 and 3 to 6 of each line (the percent depends on the drive),
    // by the path each line keeps.
    std::map<std::string, QStringList> run(DirHogScan::Mode mode, int workers = 0)
    {
        scan.begin(mode, workers);
        walker.scanAllDrives({QStringLiteral("D:")});
        std::map<std::string, QStringList> out;
        for (const DirHogScan::Line &l : scan.finish()) {
            QStringList f = scan.text(l).split(QLatin1Char('\t'));
            EXPECT_EQ(f.size(), 6) << scan.text(l).toStdString();
            f.removeAt(1);
            out[scan.path(l)] = f;
        }
        return out;
    }
};
}

TEST_F(DirHogScanTest, MainFoldersTotalWholeTreesAndLeaveTheRootsFilesOut)
{
    const auto rows = run(DirHogScan::Mode::MainFolders);
    const std::map<std::string, QStringList> expected = {
        {t.path("D/data"), {"407", "6", "1", "5/6/2021", QString::fromStdString(t.path("D/data"))}},
        {t.path("D/.cache"), {"200", "1", "0", rows.at(t.path("D/.cache"))[3], QString::fromStdString(t.path("D/.cache"))}},
        {t.path("D/Data"), {"10", "1", "0", rows.at(t.path("D/Data"))[3], QString::fromStdString(t.path("D/Data"))}},
        {t.path("D/empty"), {"0", "0", "0", "", QString::fromStdString(t.path("D/empty"))}},
    };
    EXPECT_EQ(rows, expected);
    EXPECT_FALSE(walker.scanAborted);
}

TEST_F(DirHogScanTest, AllFoldersGiveEachFolderItsOwnFilesAndTheRootAsDFolder)
{
    const auto rows = run(DirHogScan::Mode::AllFolders);
    ASSERT_EQ(rows.size(), 6u);
    EXPECT_EQ(rows.at(t.path("D/data")).mid(0, 4), (QStringList{"307", "4", "1", "3/4/2020"}));
    EXPECT_EQ(rows.at(t.path("D/data/old")).mid(0, 4), (QStringList{"100", "2", "0", "5/6/2021"}));
    EXPECT_EQ(rows.at(t.path("D/.cache")).mid(0, 3), (QStringList{"200", "1", "0"}));
    EXPECT_EQ(rows.at(t.path("D/Data")).mid(0, 3), (QStringList{"10", "1", "0"}));
    EXPECT_EQ(rows.at(t.path("D/empty")), (QStringList{"0", "0", "0", "", QString::fromStdString(t.path("D/empty"))}));
    // The root: its file and its link (by the link's own size, as du -b
    // counts it, but no file); data, .cache, Data and empty as sub-folders.
    // It reads as the drive's root.
    EXPECT_EQ(rows.at(d), (QStringList{"9", "1", "4", rows.at(d)[3], QString::fromStdString(d + "/")}));
}

// Date texts are kept from scan to scan only while the locale stays.
TEST_F(DirHogScanTest, DatesFollowTheLocaleFromScanToScan)
{
    const QLocale saved;
    for (const QLocale &l : {QLocale(QLocale::English, QLocale::UnitedStates), QLocale(QLocale::German, QLocale::Germany),
                             QLocale(QLocale::English, QLocale::UnitedStates)})
        for (const int workers : {0, 2, 2}) {
            QLocale::setDefault(l);
            scan.begin(DirHogScan::Mode::AllFolders, workers);
            walker.scanAllDrives({QStringLiteral("D:")});
            QString date;
            for (const DirHogScan::Line &line : scan.finish())
                if (scan.path(line) == t.path("D/data"))
                    date = scan.text(line).section('\t', 4, 4);
            EXPECT_EQ(date, shortDateText(QDate(2020, 3, 4))) << l.name().toStdString() << " " << workers;
        }
    QLocale::setDefault(saved);
}

TEST_F(DirHogScanTest, LinesComeInDescendingTextOrderAndPercentOfTheCapacity)
{
    scan.begin(DirHogScan::Mode::AllFolders);
    walker.scanAllDrives({QStringLiteral("D:")});
    EXPECT_GT(scan.capacity, 0);
    const std::vector<DirHogScan::Line> lines = scan.finish();
    for (size_t i = 1; i < lines.size(); ++i)
        EXPECT_GE(QString::compare(scan.text(lines[i - 1]), scan.text(lines[i]), Qt::CaseInsensitive), 0);
    EXPECT_TRUE(scan.text(lines.front()).startsWith("9\t")); // "9" is the largest text
    EXPECT_EQ(scan.text(lines.front()).section('\t', 1, 1), DirHogScan::percentText(9, scan.capacity));

    EXPECT_EQ(DirHogScan::percentText(1, 400), "0.25");
    EXPECT_EQ(DirHogScan::percentText(1234, 10000), "12.34");
    EXPECT_EQ(DirHogScan::percentText(0, 10), "0.00");
    EXPECT_EQ(DirHogScan::percentText(400, 400), "???");
    EXPECT_EQ(DirHogScan::percentText(5, 0), "???"); // the capacity could not be read
    EXPECT_EQ(DirHogScan::percentText(int64_t(6) << 40, double(int64_t(8) << 40)), "75.00"); // past 32 bits
    DirHogScan::Totals big;
    big.bytes = int64_t(5) << 30;
    big.files = 3;
    EXPECT_EQ(DirHogScan::line(big, 0, "x"), "5,368,709,120\t???\t3\t0\t\tx");
}

TEST_F(DirHogScanTest, AFullLineListWarnsOnceAndEndsTheWalkWithWhatWasCollected)
{
    // The walker's own walk, then a parallel one.
    for (const int workers : {0, 2}) {
        dialogs.boxes.clear();
        walker.capacity = 2;
        scan.begin(DirHogScan::Mode::AllFolders, workers);
        walker.scanAllDrives({QStringLiteral("D:")});
        EXPECT_TRUE(scan.limitReached);
        EXPECT_TRUE(walker.scanAborted);
        EXPECT_EQ(dialogs.texts(), (std::vector<QString>{"Resource limit reached ... cannot process any more files."}));
        EXPECT_EQ(scan.finish().size(), 2u);
        // The next scan starts afresh: the lines the last one kept leave it
        // its whole room (six lines in all).
        walker.capacity = 6;
        scan.begin(DirHogScan::Mode::AllFolders, workers);
        walker.scanAllDrives({QStringLiteral("D:")});
        EXPECT_FALSE(scan.limitReached) << workers << " workers";
        EXPECT_EQ(scan.finish().size(), 6u);
        walker.capacity = Walker::kDefaultCapacity;
        scan.begin(DirHogScan::Mode::MainFolders, workers);
        walker.scanAllDrives({QStringLiteral("D:")});
        EXPECT_FALSE(scan.limitReached);
        EXPECT_EQ(scan.finish().size(), 4u);
    }
}

TEST_F(DirHogScanTest, OneFoldersTotalsInEitherMode)
{
    const DirHogScan::Totals all = DirHogScan::folderTotals(t.path("D/data"), DirHogScan::Mode::AllFolders);
    EXPECT_EQ(all.bytes, 307);
    EXPECT_EQ(all.files, 4);
    EXPECT_EQ(all.folders, 1);
    const DirHogScan::Totals main = DirHogScan::folderTotals(t.path("D/data"), DirHogScan::Mode::MainFolders);
    EXPECT_EQ(main.bytes, 407);
    EXPECT_EQ(main.files, 6);
    EXPECT_EQ(main.folders, 1);
    EXPECT_EQ(main.latestAccess > all.latestAccess, true);
}

// A file system mounted below a folder is another drive: it adds nothing to
// the folder's totals and nothing on it gets a row, in either mode. One
// mount lies inside a main folder, one is a main folder itself.
TEST_F(DirHogScanTest, AFileSystemMountedBelowAFolderAddsNothingToIt)
{
    const std::string inner = t.dir("D/data/mnt");
    const std::string outer = t.dir("D/ext");
    const auto text = [](const std::map<std::string, QStringList> &rows) {
        std::string s;
        for (const auto &[path, fields] : rows)
            s += path + ": " + fields.mid(0, 3).join(QLatin1Char(' ')).toStdString() + "\n";
        return s;
    };
    const MountSandbox::Outcome o = MountSandbox::run({inner, outer}, [&] {
        t.sized("D/data/mnt/big", 5000);
        t.sized("D/data/mnt/sub/deep", 70);
        t.sized("D/ext/huge", 9000);
        t.sized("D/ext/folder/x", 30);
        std::string failures;
        const auto expect = [&](const char *what, const std::string &got, const std::string &want) {
            if (got != want)
                failures += std::string(what) + ":\n got:\n" + got + " want:\n" + want;
        };
        struct stat drive {}, mounted {};
        if (::stat(d.c_str(), &drive) != 0 || ::stat(inner.c_str(), &mounted) != 0 || drive.st_dev == mounted.st_dev)
            return std::string("the mount point is not another file system");
        // Size, files and sub-folders of each row, by the walker's own walk
        // and by threads.
        for (const int workers : {0, 2}) {
            const std::string by = workers == 0 ? " (own walk)" : " (threads)";
            expect(("main folders" + by).c_str(), text(run(DirHogScan::Mode::MainFolders, workers)),
                   t.path("D/.cache") + ": 200 1 0\n" + t.path("D/Data") + ": 10 1 0\n" + t.path("D/data")
                       + ": 407 6 1\n" + t.path("D/empty") + ": 0 0 0\n");
            // A mount point is no sub-folder of the folder it lies in (it has
            // no row either), in all-folders mode as in main folders.
            expect(("all folders" + by).c_str(), text(run(DirHogScan::Mode::AllFolders, workers)),
                   d + ": 9 1 4\n" + t.path("D/.cache") + ": 200 1 0\n" + t.path("D/Data") + ": 10 1 0\n"
                       + t.path("D/data") + ": 307 4 1\n" + t.path("D/data/old") + ": 100 2 0\n"
                       + t.path("D/empty") + ": 0 0 0\n");
        }
        const auto totals = [](const DirHogScan::Totals &x) {
            return std::to_string(x.bytes) + " " + std::to_string(x.files) + " " + std::to_string(x.folders);
        };
        expect("one main folder", totals(DirHogScan::folderTotals(t.path("D/data"), DirHogScan::Mode::MainFolders)),
               "407 6 1");
        expect("one folder", totals(DirHogScan::folderTotals(t.path("D/data"), DirHogScan::Mode::AllFolders)),
               "307 4 1");
        return failures;
    });
    if (!o.mounted)
        GTEST_SKIP() << MountSandbox::kCannotMount;
    EXPECT_EQ(o.failure, "");
    // The mounts ended with the sandbox: the mount points are empty folders here.
    EXPECT_FALSE(TempTree::exists(inner + "/big"));
    EXPECT_FALSE(TempTree::exists(outer + "/huge"));
}

// A bind mount of the same file system below a folder is another mount all
// the same: its files add nothing to the folder, in the rows or in the totals
// a row is given again after a removal.
TEST_F(DirHogScanTest, ABindMountOfTheSameFileSystemAddsNothingToTheFolder)
{
    const std::string mnt = t.dir("D/data/mnt");
    t.sized("bound/one", 3);
    t.sized("bound/two", 3);
    const MountSandbox::Outcome o = MountSandbox::runWithBinds({{t.path("bound"), mnt}}, [&] {
        std::string failures;
        const auto fields = [](const QStringList &f) { return f.mid(0, 3).join(QLatin1Char(' ')).toStdString(); };
        const auto totals = [](const DirHogScan::Totals &x) {
            return std::to_string(x.bytes) + " " + std::to_string(x.files) + " " + std::to_string(x.folders);
        };
        const auto expect = [&](const char *what, const std::string &got, const std::string &want) {
            if (got != want)
                failures += std::string(what) + ": got " + got + ", want " + want + "\n";
        };
        expect("main folders", fields(run(DirHogScan::Mode::MainFolders).at(t.path("D/data"))), "407 6 1");
        for (const int workers : {0, 2}) {
            const auto all = run(DirHogScan::Mode::AllFolders, workers);
            expect("all folders", fields(all.at(t.path("D/data"))), "307 4 1");
            expect("a row for the mount", std::to_string(all.count(mnt)), "0");
        }
        expect("one main folder", totals(DirHogScan::folderTotals(t.path("D/data"), DirHogScan::Mode::MainFolders)),
               "407 6 1");
        return failures;
    });
    if (!o.mounted)
        GTEST_SKIP() << MountSandbox::kCannotMount;
    EXPECT_EQ(o.failure, "");
}

// The parallel walk gives the same lines, text and path, in the same order
// as the walker's own walk, in both modes and whatever the number of workers.
TEST(DirHogScanParallel, LinesEqualTheWalkersForAnyNumberOfWorkers)
{
    ScriptedDialogs dialogs;
    TempTree t("hogs");
    const std::string root = makeMixedTree(t, "D", 35);
    Drives::setMapping({{'D', root}});
    for (const auto mode : {DirHogScan::Mode::MainFolders, DirHogScan::Mode::AllFolders}) {
        const auto lines = [&](int workers) {
            Walker w;
            w.pumpIntervalMs = -1;
            DirHogScan scan(w);
            scan.begin(mode, workers);
            w.scanAllDrives({QStringLiteral("D:")});
            EXPECT_FALSE(w.scanAborted);
            std::vector<std::string> out;
            for (const DirHogScan::Line &l : scan.finish())
                out.push_back(scan.text(l).toStdString() + " | " + scan.path(l));
            return out;
        };
        const std::vector<std::string> expected = lines(0);
        ASSERT_GT(expected.size(), mode == DirHogScan::Mode::MainFolders ? 5u : 20u);
        for (const int n : {1, 2, 8})
            EXPECT_EQ(lines(n), expected) << n << " workers";
    }
    Drives::setMapping({});
    EXPECT_TRUE(dialogs.boxes.empty());
}

// The grid rows the walk's threads make read as the lines added to a grid
// one by one, where the numbers are written directly and where the locale
// writes them.
TEST(DirHogScanParallel, GridRowsReadAsTheirLinesInAnyLocale)
{
    ScriptedDialogs dialogs;
    TempTree t("hogs");
    const std::string root = makeMixedTree(t, "D", 35);
    Drives::setMapping({{'D', root}});
    const QLocale saved;
    for (const QLocale &l : {QLocale(QLocale::English, QLocale::UnitedStates), QLocale(QLocale::Arabic, QLocale::Egypt)}) {
        QLocale::setDefault(l);
        Walker w;
        w.pumpIntervalMs = -1;
        DirHogScan scan(w);
        scan.begin(DirHogScan::Mode::AllFolders, 2, true);
        w.scanAllDrives({QStringLiteral("D:")});
        const std::vector<DirHogScan::Line> lines = scan.finish();
        std::vector<GridLines> made = scan.gridRows();
        ResultGridModel byBatch(DirHogScan::gridLayout()), byLine(DirHogScan::gridLayout());
        std::vector<ResultGridModel::BatchRow> order;
        for (const DirHogScan::Line &line : lines) {
            ASSERT_LT(line.batch, made.size());
            order.push_back({line.batch, line.row});
            byLine.addToGrid(scan.text(line), scan.path(line));
        }
        ResultGridModel::KeyedPaths keyed;
        keyed.path = [&scan](uint32_t key) { return scan.folders().path(key); };
        keyed.shown = [&scan](uint32_t key) { return scan.folders().shown(key); };
        keyed.column = 5;
        byBatch.setKeyedPaths(keyed);
        byBatch.addBatches(made, order);
        ASSERT_EQ(byBatch.rowsFilled(), int(lines.size()));
        ASSERT_GT(lines.size(), 20u);
        for (int r = 1; r <= byLine.rowsFilled(); ++r) {
            EXPECT_EQ(byBatch.path(r), byLine.path(r));
            for (int c = 0; c < byLine.columnCount(); ++c)
                EXPECT_EQ(byBatch.cell(r, c), byLine.cell(r, c)) << l.name().toStdString() << " row " << r;
        }
    }
    QLocale::setDefault(saved);
    Drives::setMapping({});
}

// The line's numbers are written without the locale where it allows; they
// must read as the locale writes them, exact halves of a hundredth included.
TEST(DirHogScanLine, NumbersReadAsTheLocaleWritesThemInAnyLocale)
{
    const QLocale saved;
    for (const QLocale &l : {QLocale(QLocale::English, QLocale::UnitedStates), QLocale(QLocale::German, QLocale::Germany),
                             QLocale(QLocale::French, QLocale::France), QLocale(QLocale::Arabic, QLocale::Egypt)}) {
        QLocale::setDefault(l);
        for (const double capacity : {800.0, 1000.0, 3.0, double(int64_t(250) << 30), double(int64_t(7) << 40), 0.0})
            for (const int64_t bytes : {int64_t(0), int64_t(1), int64_t(5), int64_t(7), int64_t(999), int64_t(1000),
                                        int64_t(123456), int64_t(5) << 30, int64_t(6) << 40, int64_t(7) << 40}) {
                DirHogScan::Totals t;
                t.bytes = bytes;
                t.files = bytes % 100000;
                t.folders = 12345;
                const QString expected = l.toString(qlonglong(bytes)) + '\t' + DirHogScan::percentText(bytes, capacity, l)
                    + '\t' + QString::number(t.files) + "\t12345\t\tname";
                EXPECT_EQ(DirHogScan::line(t, capacity, "name"), expected) << l.name().toStdString() << " " << bytes;
            }
        // Exact halves of a hundredth (an odd number of eighths) round up.
        EXPECT_EQ(DirHogScan::line({1, 0, 0, 0}, 800, "x").section('\t', 1, 1), l.toString(0.125, 'f', 2));
        EXPECT_EQ(DirHogScan::line({5, 0, 0, 0}, 800, "x").section('\t', 1, 1), l.toString(0.625, 'f', 2));
        EXPECT_EQ(DirHogScan::line({99, 0, 0, 0}, 800, "x").section('\t', 1, 1), l.toString(12.375, 'f', 2));
    }
    QLocale::setDefault(saved);
    EXPECT_EQ(DirHogScan::line({1, 0, 0, 0}, 800, "x").section('\t', 1, 1), "0.13");
}

// Lines are ordered as their texts compare without regard to case, then by
// text and path, whatever characters their folders part on (the folders are
// kept by parent and name, and compared so).
TEST(DirHogScanLine, OrderIsTheCaselessTextsThenTextAndPath)
{
    ScriptedDialogs dialogs;
    TempTree t("order");
    const std::vector<std::string> names = {"b", "B", "a", "_", "[", "\xC3\x84", "\xC3\xA4", "\xE2\x84\xAA", "k", "K",
                                            "1", "@", "`", "{", "ab", "aB", "Ab", "\xF0\x90\x90\x80",
                                            "\xF0\x90\x90\xA8", "\xF0\x90\x90\x81", "a b", "ab c", "\xFF\xFE"};
    for (const std::string &n : names) {
        t.dir("D/" + n);
        for (const char *below : {"x", "X", "ab", "a"})
            t.dir("D/" + n + "/" + below);
    }
    t.dir("D/ab/x/deeper/still");
    Drives::setMapping({{'D', t.path("D")}});
    for (const int workers : {0, 2}) {
        Walker w;
        w.pumpIntervalMs = -1;
        DirHogScan scan(w);
        scan.begin(DirHogScan::Mode::AllFolders, workers);
        w.scanAllDrives({QStringLiteral("D:")});
        const std::vector<DirHogScan::Line> lines = scan.finish();
        ASSERT_EQ(lines.size(), names.size() * 5 + 3);
        for (size_t i = 1; i < lines.size(); ++i) {
            const QString a = scan.text(lines[i - 1]), b = scan.text(lines[i]);
            const int c = QString::compare(a, b, Qt::CaseInsensitive);
            const bool before = c != 0 ? c > 0 : (a != b ? a > b : scan.path(lines[i - 1]) > scan.path(lines[i]));
            EXPECT_TRUE(before) << workers << ": " << a.toStdString() << " / " << b.toStdString();
            if (scan.path(lines[i]) != t.path("D")) { // the drive's root shows with its closing "/"
                EXPECT_EQ(scan.text(lines[i]).section('\t', 5), displayName(scan.path(lines[i])));
            }
        }
    }
    Drives::setMapping({});
}

namespace {
// The bytes du -b counts below each of paths (given to du in that order, so
// a file with several names counts under the first that holds one), less
// the folders' own sizes: the bytes of the files alone.
std::map<std::string, int64_t> duFileBytes(const std::vector<std::string> &paths)
{
    std::string cmd = "du -s -b -x";
    for (const std::string &p : paths)
        cmd += " '" + p + "'";
    std::map<std::string, int64_t> out;
    FILE *f = ::popen(cmd.c_str(), "r");
    if (!f)
        return out;
    char buf[4096];
    while (std::fgets(buf, sizeof buf, f)) {
        std::string line(buf);
        const size_t tab = line.find('\t');
        if (tab == std::string::npos)
            continue;
        std::string path = line.substr(tab + 1);
        if (!path.empty() && path.back() == '\n')
            path.pop_back();
        int64_t bytes = std::stoll(line.substr(0, tab));
        // The folders' own sizes are no file's bytes.
        std::error_code ec;
        for (auto it = std::filesystem::recursive_directory_iterator(path, ec);
             !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec))
            if (it->is_directory(ec) && !it->is_symlink(ec)) {
                struct stat st {};
                if (::lstat(it->path().c_str(), &st) == 0)
                    bytes -= st.st_size;
            }
        struct stat st {};
        if (::lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode))
            bytes -= st.st_size;
        out[path] = bytes;
    }
    ::pclose(f);
    return out;
}

// A tree whose files have second and third names in other folders: a file
// and its second name below it (x/a, x/sub/a2), one in two main folders
// (y/c, z/c2), one in the root and a main folder (top, x/sub/t2), three
// names of one file (y/m, y/deep/m2, x/m3) and two names side by side (z/p, z/q).
struct HardLinkTree {
    TempTree t{"links"};
    std::string d = t.dir("D");
    HardLinkTree()
    {
        t.sized("D/x/a", 100000);
        t.sized("D/x/b", 10);
        t.dir("D/x/sub");
        t.sized("D/y/c", 500);
        t.dir("D/z");
        t.sized("D/top", 300);
        t.sized("D/y/m", 7);
        t.dir("D/y/deep");
        t.sized("D/z/p", 40);
        for (const auto &[from, to] : std::vector<std::pair<const char *, const char *>>{
                 {"D/x/a", "D/x/sub/a2"}, {"D/y/c", "D/z/c2"}, {"D/top", "D/x/sub/t2"}, {"D/y/m", "D/y/deep/m2"},
                 {"D/y/m", "D/x/m3"}, {"D/z/p", "D/z/q"}})
            EXPECT_EQ(::link(t.path(from).c_str(), t.path(to).c_str()), 0) << to;
        Drives::setMapping({{'D', d}});
    }
    ~HardLinkTree() { Drives::setMapping({}); }
    // Size, files and sub-folders of each line, by path.
    std::map<std::string, std::string> run(DirHogScan::Mode mode, int workers)
    {
        ScriptedDialogs dialogs;
        Walker w;
        w.pumpIntervalMs = -1;
        DirHogScan scan(w);
        scan.begin(mode, workers, workers > 0);
        w.scanAllDrives({QStringLiteral("D:")});
        std::map<std::string, std::string> out;
        const std::vector<DirHogScan::Line> lines = scan.finish();
        for (const DirHogScan::Line &l : lines) {
            const QStringList f = scan.text(l).split(QLatin1Char('\t'));
            out[scan.path(l)] = (f[0] + " " + f[2] + " " + f[3]).toStdString();
            EXPECT_EQ(l.bytes, QLocale().toLongLong(f[0])) << scan.text(l).toStdString();
        }
        // The threads made a grid row for every line, those that waited too.
        if (workers > 0 && mode == DirHogScan::Mode::AllFolders) {
            const std::vector<GridLines> batches = scan.gridRows();
            size_t rows = 0;
            for (const GridLines &b : batches)
                rows += b.size();
            EXPECT_EQ(rows, lines.size());
            for (const DirHogScan::Line &l : lines)
                EXPECT_TRUE(l.batch < batches.size() && l.row < batches[l.batch].size()) << scan.text(l).toStdString();
        }
        return out;
    }
};
}

// A file with several names counts once per scan, in the folder of the name
// that comes first when every folder's entries are read in name order, in
// both modes, by the walker's own walk and by any number of threads.
TEST(DirHogScanLinks, AFileWithSeveralNamesCountsOnceWhereItsFirstNameLies)
{
    HardLinkTree h;
    const std::string d = h.d;
    const std::map<std::string, std::string> main = {
        {d + "/x", "100,017 3 1"}, // a (a2 below it), b, m3 (before y/m); t2 counts in the root's top
        {d + "/y", "500 1 1"},     // c; m and m2 count in x
        {d + "/z", "40 1 0"},      // p and q are one file; c2 counts in y
    };
    const std::map<std::string, std::string> all = {
        {d, "300 1 3"},             // top
        {d + "/x", "100,017 3 1"},  // a, b, m3
        {d + "/x/sub", "0 0 0"},    // a2 and t2 count elsewhere
        {d + "/y", "500 1 1"},      // c
        {d + "/y/deep", "0 0 0"},   // m2
        {d + "/z", "40 1 0"},       // p (q is the same file), c2 counts in y
    };
    for (const int workers : {0, 1, 2, 8}) {
        EXPECT_EQ(h.run(DirHogScan::Mode::MainFolders, workers), main) << workers << " workers";
        EXPECT_EQ(h.run(DirHogScan::Mode::AllFolders, workers), all) << workers << " workers";
    }
    // du, given the main folders in that order, counts each file where the
    // main folders do; the whole drive's bytes are the lines' sum.
    const auto du = duFileBytes({d + "/top", d + "/x", d + "/y", d + "/z"});
    EXPECT_EQ(du.at(d + "/x"), 100017);
    EXPECT_EQ(du.at(d + "/y"), 500);
    EXPECT_EQ(du.at(d + "/z"), 40);
    EXPECT_EQ(duFileBytes({d}).at(d), 300 + 100017 + 500 + 40);
    // One folder's totals again (after a removal): each file once.
    EXPECT_EQ(DirHogScan::folderTotals(d + "/x", DirHogScan::Mode::MainFolders).bytes, 100000 + 10 + 300 + 7);
    EXPECT_EQ(DirHogScan::folderTotals(d + "/z", DirHogScan::Mode::AllFolders).bytes, 40 + 500);
}

// The linked names are settled per drive, so a full line list still ends
// the walk with a warning, lines with linked names included.
TEST(DirHogScanLinks, LinesThatWaitedForTheirLinksCountAgainstTheLimit)
{
    HardLinkTree h;
    for (const int workers : {0, 2}) {
        ScriptedDialogs dialogs;
        Walker w;
        w.pumpIntervalMs = -1;
        w.capacity = 3;
        DirHogScan scan(w);
        scan.begin(DirHogScan::Mode::AllFolders, workers);
        w.scanAllDrives({QStringLiteral("D:")});
        EXPECT_LE(scan.finish().size(), 3u) << workers;
        EXPECT_TRUE(scan.limitReached) << workers;
    }
}

// Sizes add without wrapping: two files claiming 2^63 - 1 bytes each leave
// a folder at the largest size, never at a negative one. Real sparse files
// where the test folder's file system takes them (tmpfs), else the records.
TEST_F(DirHogScanTest, HugeFilesHoldTheTotalsAtTheLimit)
{
    constexpr int64_t kMax = std::numeric_limits<int64_t>::max();
    FoundFile f;
    f.size = kMax;
    f.attributes = FileAttr::Archive;
    DirHogScan::Totals own;
    own.add(f);
    own.add(f);
    EXPECT_EQ(own.bytes, kMax);

    t.dir("D/huge");
    if (::truncate(t.file("D/huge/a").c_str(), kMax) != 0 || ::truncate(t.file("D/huge/b").c_str(), kMax) != 0)
        GTEST_SKIP() << "the test folder's file system takes no file of 2^63 - 1 bytes";
    const QString limit = QStringLiteral("9,223,372,036,854,775,807");
    for (const int workers : {0, 2}) {
        const auto all = run(DirHogScan::Mode::AllFolders, workers);
        EXPECT_EQ(all.at(t.path("D/huge"))[0], limit) << workers;
        const auto main = run(DirHogScan::Mode::MainFolders, workers);
        EXPECT_EQ(main.at(t.path("D/huge"))[0], limit) << workers;
    }
}

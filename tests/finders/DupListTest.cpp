#include "common/DosTime.h"
#include "common/FoldCompare.h"
#include "common/Text.h"
#include "finders/DupLine.h"
#include "finders/DupFinder.h"
#include "finders/DupList.h"
#include "platform/FileTypes.h"
#include "scan/ResultGridModel.h"

#include <QDateTime>
#include <gtest/gtest.h>

#include <algorithm>
#include <random>

namespace {
DosDateTime stamp(int y, int mo, int d, int h = 10, int mi = 0)
{
    return DosTime::pack(QDateTime(QDate(y, mo, d), QTime(h, mi, 0)));
}

struct Types {
    Types() { FileTypes::setTableForTests({{".txt", "Plain text document"}, {".jpg", "JPEG image"}, {".doc", "Word document"}}); }
    ~Types() { FileTypes::setTableForTests({}); }
};

QStringList linesOf(DupList &list, const std::vector<uint32_t> &ids)
{
    QStringList out;
    for (uint32_t id : ids)
        out << list.line(id);
    return out;
}

QStringList namesOf(DupList &list, const std::vector<uint32_t> &ids)
{
    QStringList out;
    for (uint32_t id : ids)
        out << QString::fromStdString(std::string(list.name(id)));
    return out;
}

// The grouping as the window's lines describe it: lines sorted by the whole
// line without regard to case, then runs of neighbours whose keys agree in
// upper case.
QStringList referenceGroups(QStringList lines, int criterion)
{
    std::stable_sort(lines.begin(), lines.end(), [](const QString &a, const QString &b) {
        return foldCompare(a.toStdString(), b.toStdString()) < 0;
    });
    QStringList out;
    int i = 0;
    while (i < lines.size() - 1) {
        const QString key = DupLine::stripPath(lines[i], criterion).toUpper();
        int j = i + 1;
        for (; j < lines.size(); ++j) {
            if (DupLine::stripPath(lines[j], criterion).toUpper() != key)
                break;
            if (j == i + 1)
                out << lines[i];
            out << lines[j];
        }
        i = j;
    }
    return out;
}
}

TEST(DupLine, LayoutsPerCriterionAndHogs)
{
    DupLine::Fields f{"a.txt", "1,234", "1/2/2020", "10:00:00 AM", "1/3/2020", "/data/x", "Plain text document"};
    EXPECT_EQ(DupLine::formatDupLine(0, f), "a.txt\t1,234\t1/2/2020\t10:00:00 AM\t1/3/2020\t/data/x\tPlain text document");
    EXPECT_EQ(DupLine::formatDupLine(4, f), "1,234\ta.txt\t1/2/2020\t10:00:00 AM\t1/3/2020\t/data/x\tPlain text document");
    EXPECT_EQ(DupLine::formatDupLine(6, f), "Plain text document\t1/2/2020\t10:00:00 AM\ta.txt\t1,234\t1/3/2020\t/data/x");
    EXPECT_EQ(DupLine::formatHogLine(f, "/data/x/a.txt"),
              "1,234\t1/2/2020\t10:00:00 AM\t1/3/2020\t/data/x/a.txt\tPlain text document");
    // Every criterion's line carries each field where position() says.
    for (int c = 0; c <= 6; ++c) {
        const QString line = DupLine::formatDupLine(c, f);
        for (int x = 0; x < DupLine::FieldCount; ++x)
            EXPECT_EQ(tabField(line, DupLine::position(c, DupLine::Field(x))), f[DupLine::Field(x)]) << c << " " << x;
    }
    EXPECT_EQ(DupLine::criterionTexts().size(), 9);
    EXPECT_EQ(DupLine::criterionTexts()[3], "Size only");
    EXPECT_EQ(DupLine::criterionTexts()[7], "Same contents");
    EXPECT_EQ(DupLine::criterionTexts()[8], "Similar pictures");
}

TEST(DupLine, StripPathTakesTheCriterionsFieldsApart)
{
    DupLine::Fields f{"a.txt", "1,234", "1/2/2020", "10:00:00 AM", "1/3/2020", "/data/x", "Plain text document"};
    EXPECT_EQ(DupLine::stripPath(DupLine::formatDupLine(0, f), 0), "a.txt");
    EXPECT_EQ(DupLine::stripPath(DupLine::formatDupLine(2, f), 2), "a.txt\t1,234\t1/2/2020\t10:00:00 AM");
    EXPECT_EQ(DupLine::stripPath(DupLine::formatDupLine(3, f), 3), "1,234");
    EXPECT_EQ(DupLine::stripPath(DupLine::formatDupLine(4, f), 4), "1,234\t1/2/2020\t10:00:00 AM");
    EXPECT_EQ(DupLine::stripPath(DupLine::formatDupLine(5, f), 5), "1,234\tPlain text document");
    EXPECT_EQ(DupLine::stripPath(DupLine::formatDupLine(6, f), 6), "Plain text document\t1/2/2020\t10:00:00 AM");
    // "ab" of 12 bytes is not "ab1" of 2 bytes.
    DupLine::Fields g = f, h = f;
    g.name = "ab";
    g.size = "12";
    h.name = "ab1";
    h.size = "2";
    EXPECT_NE(DupLine::stripPath(DupLine::formatDupLine(1, g), 1), DupLine::stripPath(DupLine::formatDupLine(1, h), 1));
}

TEST(DupList, FilenameOnlyGroupsNamesWithoutRegardToCase)
{
    Types types;
    DupList list;
    list.reset(true, DupLine::FilenameOnly);
    const DosDateTime t = stamp(2020, 5, 1);
    list.add("/d/one", "README.TXT", 10, t, t);
    list.add("/d/two", "readme.txt", 99, t, t);
    list.add("/d/two", "other.txt", 10, t, t);
    list.add("/d/three", "lonely", 10, t, t);
    const auto ids = list.addDups();
    ASSERT_EQ(ids.size(), 2u);
    EXPECT_EQ(namesOf(list, ids), QStringList({"README.TXT", "readme.txt"}));
    EXPECT_EQ(list.path(ids[0]), "/d/one/README.TXT");
    EXPECT_EQ(list.path(ids[1]), "/d/two/readme.txt");
    EXPECT_EQ(tabField(list.line(ids[1]), 6), "/d/two");
    EXPECT_EQ(tabField(list.line(ids[1]), 7), "Plain text document");
}

TEST(DupList, SizeOnlyMakesOneRunInLineOrder)
{
    Types types;
    DupList list;
    list.reset(true, DupLine::SizeOnly);
    const DosDateTime t = stamp(2021, 1, 1);
    list.add("/x", "c.doc", 500, t, t);
    list.add("/x", "single", 501, t, t);
    list.add("/y", "A.jpg", 500, t, t);
    list.add("/z", "b", 500, t, t);
    list.add("/z", "big", 1000, t, t);
    list.add("/z", "big2", 1000, t, t);
    const auto ids = list.addDups();
    // "1,000" sorts before "500" as text; within a run the names decide.
    EXPECT_EQ(namesOf(list, ids), QStringList({"big", "big2", "A.jpg", "b", "c.doc"}));
    EXPECT_EQ(tabField(list.line(ids[0]), 1), "1,000");
    EXPECT_EQ(list.size(ids[2]), 500);
}

TEST(DupList, SplitRunsOfCriteriaFourAndFiveAreMended)
{
    Types types;
    // By whole lines "100 A d1", "100 B d2", "100 C d1": B stands between the
    // two files of equal size and date.
    const DosDateTime d1 = stamp(2020, 1, 1), d2 = stamp(2020, 2, 2);
    DupList list;
    list.reset(true, DupLine::SizeAndDate);
    list.add("/f", "A", 100, d1, d1);
    list.add("/f", "B", 100, d2, d2);
    list.add("/f", "C", 100, d1, d1);
    EXPECT_EQ(namesOf(list, list.addDups()), QStringList({"A", "C"}));

    list.reset(true, DupLine::SizeAndType);
    list.add("/f", "a.txt", 100, d1, d1);
    list.add("/f", "b.jpg", 100, d1, d1);
    list.add("/f", "c.txt", 100, d1, d1);
    list.add("/f", "d.TXT", 100, d2, d2);
    EXPECT_EQ(namesOf(list, list.addDups()), QStringList({"a.txt", "c.txt", "d.TXT"}));
}

// Files a second apart have different times: shown, sorted and grouped as
// the file system holds them, though their stamps keep seconds / 2.
TEST(DupList, TimesAreTheSecondTheFileSystemHolds)
{
    Types types;
    const DosDateTime t = stamp(2020, 1, 1, 10, 0);
    DupList list;
    list.reset(true, DupLine::SizeAndDate);
    list.add("/f", "even", 100, t, t, false);
    list.add("/f", "odd", 100, t, t, true);
    list.add("/f", "odd2", 100, t, t, true);
    const std::vector<uint32_t> ids = list.addDups();
    EXPECT_EQ(namesOf(list, ids), QStringList({"odd", "odd2"}));
    ASSERT_FALSE(ids.empty());
    EXPECT_EQ(list.fields(ids[0]).time, "10:00:01 AM");
    ResultGridModel grid(DupFinder::gridLayout(true, DupLine::SizeAndDate));
    grid.ClearGrid();
    list.fillGrid(ids, grid);
    QStringList cells;
    for (int c = 0; c < grid.columnCount(); ++c)
        cells << grid.cell(1, c);
    EXPECT_TRUE(cells.contains("10:00:01 AM")) << cells.join('|').toStdString();
}

TEST(DupList, KeyFieldsAreNotRunTogether)
{
    Types types;
    DupList list;
    list.reset(true, DupLine::FilenameAndSize);
    const DosDateTime t = stamp(2020, 1, 1);
    list.add("/f", "file", 123, t, t);
    list.add("/f", "file1", 23, t, t);
    EXPECT_TRUE(list.addDups().empty());
}

TEST(DupList, MatchesTheLineGroupingForLeadingKeysAndCompletesTheOthers)
{
    Types types;
    std::mt19937 rng(11);
    // Long names alike in their first twenty characters and more, and
    // letters whose upper case is ASCII, as well as short ones.
    const std::vector<std::string> names = {"a.txt", "A.TXT", "b.jpg", "B.doc", "c", "readme", "README", "x.txt",
                                            "holiday photos from 2024 one.jpg", "HOLIDAY PHOTOS FROM 2024 ONE.JPG",
                                            "holiday photos from 2024 two.jpg", "holiday photos from 2024 \xc3\xa9.jpg",
                                            "\xc4\xb1ndex", "Index", "index~"};
    const std::vector<int64_t> sizes = {5, 5, 12, 999, 1000, 1234567};
    const std::vector<DosDateTime> dates = {stamp(2020, 1, 2), stamp(2020, 12, 31, 15), stamp(2019, 6, 6), 0};
    for (int round = 0; round < 15; ++round) {
        for (int c = 0; c <= 6; ++c) {
            DupList list;
            list.reset(true, c);
            QStringList lines;
            const int n = 2 + int(rng() % 25);
            for (int i = 0; i < n; ++i) {
                const std::string folder = "/r/" + std::to_string(rng() % 3);
                const std::string &name = names[rng() % names.size()];
                list.add(folder, name, sizes[rng() % sizes.size()], dates[rng() % dates.size()],
                         dates[rng() % dates.size()]);
            }
            const auto ids = list.addDups();
            std::vector<uint32_t> sharing; // what a search by contents compares
            for (uint32_t i = 0; i < list.count(); ++i)
                for (uint32_t j = 0; j < list.count(); ++j)
                    if (i != j && list.size(i) == list.size(j)) {
                        sharing.push_back(i);
                        break;
                    }
            ASSERT_EQ(list.sharingSize(), sharing);
            std::vector<uint32_t> all(list.count());
            for (uint32_t i = 0; i < all.size(); ++i)
                lines << list.line(i);
            const QStringList got = linesOf(list, ids);
            if (c != 4 && c != 5) {
                ASSERT_EQ(got, referenceGroups(lines, c)) << "criterion " << c;
                continue;
            }
            // Every line whose key another line shares is listed, runs stand together.
            QStringList keys;
            for (const QString &l : lines)
                keys << DupLine::stripPath(l, c).toUpper();
            int expected = 0;
            for (const QString &k : keys)
                expected += keys.count(k) > 1;
            ASSERT_EQ(got.size(), expected);
            QStringList seen;
            for (int i = 0; i < got.size(); ++i) {
                const QString k = DupLine::stripPath(got[i], c).toUpper();
                if (i == 0 || DupLine::stripPath(got[i - 1], c).toUpper() != k) {
                    ASSERT_FALSE(seen.contains(k)) << "run split under criterion " << c;
                    seen << k;
                }
            }
        }
    }
}

TEST(DupList, FileHogsComeLastFirstWithPathsAsFound)
{
    Types types;
    DupList list;
    list.reset(false, 0);
    const DosDateTime t = stamp(2020, 1, 1);
    list.add("/C/Data", "Big.BIN", 3000, t, t);
    list.add("/C/Data", "Other.TXT", 2000, t, t);
    list.add("/C/", "root.txt", 1000, t, 0);
    const auto ids = list.reSort();
    ASSERT_EQ(ids.size(), 3u);
    // Sorted by the size texts ("1,000" < "2,000" < "3,000"), then reversed.
    EXPECT_EQ(tabField(list.line(ids[0]), 5), "/C/Data/Big.BIN");
    EXPECT_EQ(tabField(list.line(ids[1]), 5), "/C/Data/Other.TXT");
    EXPECT_EQ(list.line(ids[2]), "1,000\t1/1/2020\t10:00:00 AM\t\t/C/root.txt\tPlain text document");
    EXPECT_EQ(list.path(ids[2]), "/C/root.txt");
}

TEST(DupList, PathsKeepTheirBytesAndLinesShowThemSafely)
{
    Types types;
    DupList list;
    list.reset(false, 0);
    const std::string odd = std::string("tab\there\xff.txt");
    list.add("/m", odd, 7, 0, 0);
    const auto ids = list.reSort();
    ASSERT_EQ(ids.size(), 1u);
    EXPECT_EQ(list.path(ids[0]), "/m/" + odd);
    const QString line = list.line(ids[0]);
    EXPECT_EQ(line.count('\t'), 5); // the name's tab does not split the line
    EXPECT_EQ(tabField(line, 2), ""); // no stamp, no date
}

TEST(DupList, GridRowsShowWhatTheLinesShowedInEveryLayout)
{
    // A name with a tab, a leading blank and a byte that is not UTF-8, a
    // 5 GB size: the grid's typed rows must show, hand over and copy exactly
    // what rows filled from the lines did.
    Types types;
    const std::string name = " a\tb\xff.TXT";
    const int64_t size = int64_t(5) << 30;
    const DosDateTime written = stamp(2003, 4, 5, 13, 7), accessed = stamp(2004, 1, 2);
    for (int mode = 0; mode <= 7; ++mode) {
        const bool dupMode = mode < 7;
        const int criterion = dupMode ? mode : 0;
        DupList list;
        list.reset(dupMode, criterion);
        list.add("/data/", name, size, written, accessed);
        list.add("/data/sub\x01", name, size, written, accessed);
        list.add("/data/other", "x.doc", 7, 0, 0);
        const std::vector<uint32_t> ids = dupMode ? list.addDups() : list.reSort();
        ASSERT_GE(ids.size(), 2u) << mode;
        ResultGridModel typed(DupFinder::gridLayout(dupMode, criterion)), lines(typed.layout());
        typed.ClearGrid();
        lines.ClearGrid();
        for (uint32_t id : ids)
            lines.addToGrid(list.line(id), list.path(id));
        list.fillGrid(ids, typed);
        ASSERT_EQ(typed.rowsFilled(), lines.rowsFilled());
        for (int r = 1; r <= typed.rowsFilled(); ++r) {
            EXPECT_EQ(typed.path(r), lines.path(r)) << mode;
            for (int c = 0; c < typed.columnCount(); ++c)
                EXPECT_EQ(typed.cell(r, c), lines.cell(r, c)) << "mode " << mode << " row " << r << " column " << c;
        }
        EXPECT_EQ(typed.clipboardText(), lines.clipboardText());
        const int row = dupMode ? 1 : 2; // file hogs: "7" comes after "5,368,709,120", reversed
        EXPECT_TRUE(typed.path(row).ends_with("/" + name));
        EXPECT_EQ(typed.fileSize(row), size);
        EXPECT_EQ(typed.cell(row, typed.layout().sizeColumn), "5,368,709,120");
        EXPECT_TRUE(typed.cell(row, typed.layout().markColumn).endsWith(QString::fromUtf8("a\u2409b\uFFFD.TXT")))
            << mode;
        if (dupMode) {
            EXPECT_EQ(typed.fileKey(1), typed.fileKey(2)); // one run of equal keys
        }
    }
}

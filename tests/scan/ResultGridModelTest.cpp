#include "GridTestLayout.h"
#include "common/DosTime.h"
#include "common/Text.h"
#include "scan/FileLine.h"
#include "scan/GridSortKeys.h"
#include "scan/ResultGridModel.h"
#include "scan/SortDirections.h"
#include "support/TempTree.h"

#include <QDate>
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <thread>
#include <unistd.h>

namespace {
std::vector<QString> column(const ResultGridModel &m, int c)
{
    std::vector<QString> out;
    for (int r = 1; r <= m.rowsFilled(); ++r)
        out.push_back(m.cell(r, c));
    return out;
}

// A grid of files of 10, 200 and 3,000 bytes.
struct Filled {
    TempTree tree;
    QString status;
    ResultGridModel grid{hogLayout(&status)};
    std::string a, b, c;
    Filled()
    {
        a = tree.sized("a.txt", 10);
        b = tree.sized("b.txt", 200);
        c = tree.sized("c.txt", 3000);
        grid.ClearGrid();
        grid.addToGrid(hogLine("10", a), a);
        grid.addToGrid(hogLine("200", b), b);
        grid.addToGrid(hogLine("3,000", c), c);
        grid.trimRows();
    }
};
}

TEST(ResultGridModel, FillsFieldsIntoColumnsFiftyRowsAtATimeThenTrims)
{
    ResultGridModel grid(hogLayout());
    grid.ClearGrid();
    EXPECT_EQ(grid.gridRowCount(), 2);
    grid.addToGrid(" 1,234 \tdate\ttime\tacc\t/x/y\ttype\textra", "/x/y");
    EXPECT_EQ(grid.cell(1, 0), "1,234");
    EXPECT_EQ(grid.cell(1, 4), "/x/y");
    EXPECT_EQ(grid.cell(1, 5), "type");
    EXPECT_EQ(grid.gridRowCount(), 2);
    grid.trimRows(); // one row: the grid keeps its 2
    EXPECT_EQ(grid.gridRowCount(), 2);

    grid.ClearGrid();
    grid.addToGrid("short\tline", "/p"); // missing fields are empty
    EXPECT_EQ(grid.cell(1, 1), "line");
    EXPECT_EQ(grid.cell(1, 5), "");
    grid.addToGrid("1", "/p");
    EXPECT_EQ(grid.gridRowCount(), 52); // 50 rows added when the second needs room
    for (int i = 0; i < 50; ++i)
        grid.addToGrid("1", "/p");
    EXPECT_EQ(grid.gridRowCount(), 102);
    grid.trimRows();
    EXPECT_EQ(grid.gridRowCount(), 53);
    EXPECT_EQ(grid.rowCount(), 52);
    EXPECT_EQ(grid.cell(53, 0), ""); // beyond the rows filled
}

TEST(ResultGridModel, MarkingTwiceRestoresTotalsAndList)
{
    Filled f;
    f.grid.deleteOneFile(2);
    EXPECT_TRUE(f.grid.isMarked(2));
    EXPECT_EQ(f.grid.markedCount(), 1);
    EXPECT_EQ(f.grid.markedSize(), 200);
    EXPECT_EQ(f.status, "1 files 200 bytes");
    f.grid.deleteOneFile(3);
    EXPECT_EQ(f.status, "2 files 3,200 bytes");
    EXPECT_EQ(f.grid.lbDeleted(), (std::vector<std::string>{f.b, f.c}));

    // The file grows between marking and unmarking: what was counted comes off.
    f.tree.sized("b.txt", 5000);
    f.grid.deleteOneFile(2);
    EXPECT_FALSE(f.grid.isMarked(2));
    EXPECT_EQ(f.grid.markedCount(), 1);
    EXPECT_EQ(f.grid.markedSize(), 3000);
    EXPECT_EQ(f.grid.lbDeleted(), std::vector<std::string>{f.c});
    f.grid.deleteOneFile(3);
    EXPECT_EQ(f.grid.markedCount(), 0);
    EXPECT_EQ(f.grid.markedSize(), 0);
    EXPECT_TRUE(f.grid.lbDeleted().empty());
    EXPECT_EQ(f.status, "0 files 0 bytes");

    // Rows beyond the filled ones and the header do nothing.
    f.grid.deleteOneFile(0);
    f.grid.deleteOneFile(4);
    EXPECT_TRUE(f.grid.lbDeleted().empty());
}

TEST(ResultGridModel, VanishedFileIsMarkedWithoutCounting)
{
    Filled f;
    ASSERT_EQ(::unlink(f.a.c_str()), 0);
    f.grid.deleteOneFile(1);
    EXPECT_TRUE(f.grid.isMarked(1));
    EXPECT_EQ(f.grid.markedCount(), 0);
    EXPECT_EQ(f.grid.markedSize(), 0);
    EXPECT_EQ(f.grid.lbDeleted(), std::vector<std::string>{f.a});
    EXPECT_EQ(f.status, "0 files 0 bytes");
    // A file created again meanwhile does not drive the totals below zero.
    f.tree.sized("a.txt", 77);
    f.grid.deleteOneFile(1);
    EXPECT_EQ(f.grid.markedCount(), 0);
    EXPECT_EQ(f.grid.markedSize(), 0);
    // A folder in its place is not a file.
    ::unlink(f.a.c_str());
    f.tree.dir("a.txt");
    f.grid.deleteOneFile(1);
    EXPECT_EQ(f.grid.markedCount(), 0);
}

TEST(ResultGridModel, UnmarkingRemovesOnlyTheExactPath)
{
    // Two files whose names differ in case only: unmarking one must not
    // take the other out of the list handed to deletion.
    TempTree tree;
    const std::string upper = tree.sized("A.TMP", 5), lower = tree.sized("a.tmp", 7);
    ResultGridModel grid(hogLayout());
    grid.ClearGrid();
    grid.addToGrid(hogLine("5", upper), upper);
    grid.addToGrid(hogLine("7", lower), lower);
    grid.deleteOneFile(2);
    grid.deleteOneFile(1);
    grid.deleteOneFile(1);
    EXPECT_EQ(grid.lbDeleted(), std::vector<std::string>{lower});
}

TEST(ResultGridModel, MarkAllAndUnmarkAll)
{
    Filled f;
    f.grid.deleteOneFile(1);
    f.grid.markAll();
    EXPECT_EQ(f.grid.lbDeleted(), (std::vector<std::string>{f.a, f.b, f.c}));
    EXPECT_EQ(f.grid.markedCount(), 3);
    EXPECT_EQ(f.status, "3 files 3,210 bytes");
    f.grid.unmarkAll();
    EXPECT_EQ(f.status, "0 files 0 bytes");
    EXPECT_FALSE(f.grid.isMarked(1));
    EXPECT_TRUE(f.grid.lbDeleted().empty());

    // Rows whose files all vanished: every row marked, totals 0.
    for (const std::string &p : {f.a, f.b, f.c})
        ::unlink(p.c_str());
    f.grid.markAll();
    EXPECT_TRUE(f.grid.isMarked(3));
    EXPECT_EQ(f.grid.markedCount(), 0);
    EXPECT_EQ(f.grid.markedSize(), 0);
    EXPECT_EQ(f.grid.lbDeleted().size(), 3u);
}

TEST(ResultGridModel, SizeSortsFlipAndAreProgramWide)
{
    SortDirections::resetForTests();
    Filled f;
    // As a file-hog scan ends: descending, then sorted once.
    SortDirections::setDescending("test/size", true);
    f.grid.deleteOneFile(1); // the 10-byte row's mark travels with it
    ASSERT_TRUE(f.grid.sortBy(0));
    EXPECT_EQ(column(f.grid, 0), (std::vector<QString>{"3,000", "200", "10"}));
    EXPECT_TRUE(f.grid.isMarked(3));
    EXPECT_EQ(f.grid.path(3), f.a);
    f.grid.sortBy(0);
    EXPECT_EQ(column(f.grid, 0), (std::vector<QString>{"10", "200", "3,000"}));
    f.grid.sortBy(0);
    EXPECT_EQ(column(f.grid, 0), (std::vector<QString>{"3,000", "200", "10"}));
    f.grid.sortBy(0);
    EXPECT_EQ(column(f.grid, 0), (std::vector<QString>{"10", "200", "3,000"}));
    EXPECT_EQ(f.grid.checkedSortEntry(), 0);

    // A new grid (a reopened window) continues with the stored direction.
    ResultGridModel again(hogLayout());
    again.ClearGrid();
    for (const char *s : {"5", "50", "500"})
        again.addToGrid(QString(s), "/p");
    again.sortBy(0);
    EXPECT_EQ(column(again, 0), (std::vector<QString>{"500", "50", "5"}));
    again.sortBy(3); // "&Name" starts ascending
    EXPECT_EQ(again.checkedSortEntry(), 3);
    again.ClearGrid();
    EXPECT_EQ(again.checkedSortEntry(), 0);
}

TEST(ResultGridModel, NumberAndDateKeys)
{
    SortDirections::resetForTests();
    ResultGridModel grid(hogLayout());
    grid.ClearGrid();
    const QStringList sizes = {"999,999", "1,234,567", "DELETED", "12"};
    const QStringList dates = {"2/1/2001", "", "12/31/2000", "1/1/1980"};
    for (int i = 0; i < 4; ++i)
        grid.addToGrid(sizes[i] + '\t' + dates[i], "/p");
    grid.sortRows(0, SortKind::Number, false);
    EXPECT_EQ(column(grid, 0), (std::vector<QString>{"DELETED", "12", "999,999", "1,234,567"}));
    grid.sortRows(1, SortKind::Date, false);
    EXPECT_EQ(column(grid, 1), (std::vector<QString>{"", "1/1/1980", "12/31/2000", "2/1/2001"}));

    const QChar dot('.');
    EXPECT_EQ(GridSortKeys::number(u"1,234,567", dot), 1234567);
    EXPECT_EQ(GridSortKeys::number(u"12.5 KB", dot), 12.5);
    EXPECT_EQ(GridSortKeys::number(u"1.2.3", dot), 0);
    EXPECT_EQ(GridSortKeys::number(u"", dot), 0);
    const GridSortKeys::DateReader us("M/d/yyyy");
    const qint64 y1900 = QDate(1900, 1, 1).toJulianDay();
    EXPECT_EQ(us.day(u""), y1900);
    EXPECT_EQ(us.day(u"13/1/2000"), y1900);
    EXPECT_EQ(us.day(u"1/2/2000x"), y1900);
    EXPECT_EQ(us.day(u"1/2/2000"), QDate(2000, 1, 2).toJulianDay());
    const GridSortKeys::DateReader de("dd.MM.yyyy");
    EXPECT_EQ(de.day(u"03.04.2005"), QDate(2005, 4, 3).toJulianDay());
}

TEST(ResultGridModel, TextSortMatchesAReferenceOrder)
{
    // Case folded for a to z only, then character codes; equal texts keep
    // their order. Enough rows and shared prefixes to exercise every path.
    std::mt19937 rng(7);
    const char alphabet[] = "aAbB_zZ~/0";
    std::vector<QString> texts;
    for (int i = 0; i < 3000; ++i) {
        QString s = (i % 3 == 0) ? QStringLiteral("/home/user/shared/prefix/") : QString();
        const int len = int(rng() % 9);
        for (int k = 0; k < len; ++k)
            s += QChar(alphabet[rng() % 10]);
        if (i % 50 == 0)
            s += QChar(0x00e9);
        texts.push_back(s);
    }
    for (bool descending : {false, true}) {
        ResultGridModel grid(hogLayout());
        grid.ClearGrid();
        for (size_t i = 0; i < texts.size(); ++i)
            grid.addToGrid(QString("\t\t\t\t%1\t%2").arg(texts[i]).arg(i), "/p");
        grid.sortRows(4, SortKind::Text, descending);
        std::vector<size_t> ref(texts.size());
        for (size_t i = 0; i < ref.size(); ++i)
            ref[i] = i;
        std::stable_sort(ref.begin(), ref.end(), [&](size_t a, size_t b) {
            const int c = GridSortKeys::compareText(texts[a], texts[b]);
            return descending ? c > 0 : c < 0;
        });
        for (size_t i = 0; i < ref.size(); ++i)
            ASSERT_EQ(grid.cell(int(i) + 1, 5), QString::number(ref[i])) << "row " << i << " desc " << descending;
    }
    EXPECT_LT(GridSortKeys::compareText(u"abc", u"ABD"), 0);
    EXPECT_EQ(GridSortKeys::compareText(u"abc", u"ABC"), 0);
    EXPECT_LT(GridSortKeys::compareText(u"Z", u"_"), 0); // 'Z' 90 before '_' 95
    EXPECT_GT(GridSortKeys::compareText(u"_", u"a"), 0); // 'a' counts as 'A' (65), before '_' (95)
}

TEST(ResultGridModel, PartialRangeAndSetCell)
{
    ResultGridModel grid(hogLayout());
    grid.ClearGrid();
    for (const char *s : {"9", "1", "5", "3", "0"})
        grid.addToGrid(QString(s), "/p");
    grid.sortRows(0, SortKind::Number, false, 1, 4); // the last row stays
    EXPECT_EQ(column(grid, 0), (std::vector<QString>{"1", "3", "5", "9", "0"}));
    grid.setCell(2, 0, "DELETED");
    EXPECT_EQ(grid.cell(2, 0), "DELETED");
    EXPECT_EQ(grid.cell(2, 1), "");
    EXPECT_EQ(grid.cell(3, 0), "5");
}

TEST(ResultGridModel, SortingOffDoesNothing)
{
    GridLayout l = hogLayout();
    l.sortingEnabled = false;
    ResultGridModel grid(l);
    grid.ClearGrid();
    grid.addToGrid("1", "/p");
    grid.addToGrid("2", "/p");
    EXPECT_FALSE(grid.sortBy(0));
    EXPECT_EQ(grid.cell(1, 0), "1");
}

TEST(ResultGridModel, ClipboardTextIsOnePathPerRowWithLf)
{
    Filled f;
    f.grid.deleteOneFile(2);
    EXPECT_EQ(f.grid.clipboardText(), QString::fromStdString(f.a + "\n" + f.b + "\n" + f.c + "\n"));
}

TEST(ResultGridModel, TypedRowsSortByEachKindLikeTheirTexts)
{
    // Rows handed over as typed fields sort as their cell texts would:
    // numbers, dates and texts in both directions, stably, with a row from
    // a line and a row whose cell was set in among them. Folders nest (one
    // folder's path is the start of another's), names hold blanks, capitals
    // and bytes that are not ASCII.
    SortDirections::resetForTests();
    std::mt19937 rng(11);
    const char *folders[] = {"/a", "/a/b", "/A", "/a b", "/a/", "/\xc3\xa4", "/x\xff", "/a-b"};
    const char *parts[] = {"b", "B", "a", " ", "\xc3\xa9", "_", "1", "~"};
    ResultGridModel grid(FileLine::gridLayout("test", "&Access Date"));
    grid.ClearGrid();
    const uint32_t typeIds[] = {0, grid.typeId("Text document"), grid.typeId("TEXT document"), grid.typeId("Zip")};
    for (uint32_t i = 1; i <= 600; ++i) {
        std::string name;
        for (int k = 0, n = 1 + int(rng() % 4); k < n; ++k)
            name += parts[rng() % 8];
        GridFile f;
        f.folder = folders[rng() % 8];
        f.name = name;
        f.size = (rng() % 3 == 0) ? int64_t(rng() % 5) << 32 : int64_t(rng() % 40);
        f.written = (rng() % 5 == 0) ? 0 : DosTime::fromUnix(600000000 + int64_t(rng() % 4) * 86400 * 400);
        f.accessed = DosTime::fromUnix(600000000 + int64_t(rng() % 6) * 86400);
        f.type = typeIds[rng() % 4];
        f.key = i;
        grid.addFile(f);
    }
    grid.addToGrid(hogLine("12", "/line/row", "", "1/3/1999", "zip"), "/line/row"); // key 0
    grid.setCell(5, 0, "DELETED");
    grid.setCell(6, 4, "/z/set");

    const QChar point('.');
    const GridSortKeys::DateReader dates(shortDateFormat());
    for (int column : {0, 1, 3, 4, 5}) {
        const SortKind kind = column == 0 ? SortKind::Number : (column <= 3 ? SortKind::Date : SortKind::Text);
        for (bool descending : {false, true, false}) {
            std::vector<std::pair<QString, uint32_t>> before;
            for (int r = 1; r <= grid.rowsFilled(); ++r)
                before.emplace_back(grid.cell(r, column), grid.fileKey(r));
            std::stable_sort(before.begin(), before.end(), [&](const auto &a, const auto &b) {
                int c = 0;
                if (kind == SortKind::Number) {
                    const double x = GridSortKeys::number(a.first, point), y = GridSortKeys::number(b.first, point);
                    c = x < y ? -1 : (x > y ? 1 : 0);
                } else if (kind == SortKind::Date) {
                    const qint64 x = dates.day(a.first), y = dates.day(b.first);
                    c = x < y ? -1 : (x > y ? 1 : 0);
                } else {
                    c = GridSortKeys::compareText(a.first, b.first);
                }
                return descending ? c > 0 : c < 0;
            });
            grid.sortRows(column, kind, descending);
            for (int r = 1; r <= grid.rowsFilled(); ++r)
                ASSERT_EQ(grid.fileKey(r), before[size_t(r - 1)].second)
                    << "column " << column << " descending " << descending << " row " << r;
        }
    }
}

namespace {
// Sorts grid rows first..last by a text column and checks the new order
// against a stable sort of the cell texts (rows told apart by their keys).
void expectTextSortLikeCells(ResultGridModel &grid, int column, bool descending, int first, int last)
{
    std::vector<std::pair<QString, uint32_t>> want;
    for (int r = first; r <= last; ++r)
        want.emplace_back(grid.cell(r, column), grid.fileKey(r));
    std::stable_sort(want.begin(), want.end(), [&](const auto &a, const auto &b) {
        const int c = GridSortKeys::compareText(a.first, b.first);
        return descending ? c > 0 : c < 0;
    });
    grid.sortRows(column, SortKind::Text, descending, first, last);
    for (int r = first; r <= last; ++r)
        ASSERT_EQ(grid.fileKey(r), want[size_t(r - first)].second)
            << "column " << column << " descending " << descending << " row " << r << " "
            << grid.cell(r, column).toStdString() << " / " << want[size_t(r - first)].first.toStdString();
}
}

TEST(ResultGridModel, PathsFoldersNamesAndTypesSortLikeTheirTexts)
{
    // Only typed rows: paths sort by their folders' order and their names.
    // Folders nest and start one another ("/a/b" and "/a/b c", "/a/b.d",
    // "/a/b0"), so files of "/a" fall before, between and after the files
    // below "/a/b" as their names compare with "b/"; folders differ only in
    // case; names end in blanks, are empty, are capitals, are not ASCII.
    // Once with ASCII names only and once with other names among them.
    const char *folders[] = {"/a",    "/a/b", "/a/b/c", "/a/bc", "/a/b c", "/a/b.d", "/A/B",   "/a/",
                             "/",     "/a/B/c", "/a/b0", "/x\xff", "/\xc3\xa4", "/a-b", "/a/b/c/d"};
    const char *asciiParts[] = {"b", "B", "b.", "b0", "c", " ", "_", "~", "a", "bc", "b c"};
    const char *otherParts[] = {"\xc3\xa9", "\x01", "\xff"};
    GridLayout l;
    l.columns = {{"Name", 1, 64, CellKind::Name},
                 {"Folder", 2, 64, CellKind::Folder},
                 {"Path", 3, 64, CellKind::Path},
                 {"Type", 4, 64, CellKind::Type}};
    for (bool ascii : {true, false}) {
        std::mt19937 rng(ascii ? 5 : 6);
        ResultGridModel grid(l);
        grid.ClearGrid();
        const uint32_t typeIds[] = {0, grid.typeId("Text document"), grid.typeId("TEXT document"),
                                    grid.typeId("Zip"), grid.typeId("\xc3\xa9t\xc3\xa9")};
        for (uint32_t i = 1; i <= 3000; ++i) {
            std::string name;
            for (int k = 0, n = int(rng() % 4); k < n; ++k)
                name += (!ascii && rng() % 6 == 0) ? otherParts[rng() % 3] : asciiParts[rng() % 11];
            GridFile f;
            f.folder = folders[rng() % 15];
            f.name = name;
            f.type = typeIds[rng() % 5];
            f.key = i;
            grid.addFile(f);
        }
        for (int column = 0; column < 4; ++column) {
            for (bool descending : {false, true, false})
                expectTextSortLikeCells(grid, column, descending, 1, grid.rowsFilled());
            expectTextSortLikeCells(grid, column, true, 7, grid.rowsFilled() - 9); // part of the grid
        }
    }
}

TEST(ResultGridModel, MarkAllOverManyFoldersCountsWhatMarkingOneByOneCounts)
{
    // Enough rows for the look-ups to be shared out; files that exist, a
    // vanished one, a folder where a file was, a folder that is gone, and a
    // link (counted as itself).
    TempTree tree;
    const std::string a = tree.sized("a.txt", 10), c = tree.sized("sub/c.txt", 3000);
    tree.dir("sub/d");
    ASSERT_EQ(::symlink(a.c_str(), tree.path("sub/link").c_str()), 0);
    const std::string sub = tree.path("sub"), gone = tree.path("gone");
    const std::string names[] = {"c.txt", "missing", "d", "link"};
    ResultGridModel all(hogLayout()), one(hogLayout());
    for (ResultGridModel *g : {&all, &one}) {
        g->ClearGrid();
        for (int i = 0; i < 25000; ++i) {
            GridFile f;
            f.folder = i % 7 == 0 ? std::string_view(gone) : (i % 5 == 0 ? std::string_view(tree.root()) : sub);
            f.name = i % 5 == 0 && i % 7 != 0 ? std::string_view("a.txt") : std::string_view(names[i % 4]);
            g->addFile(f);
        }
    }
    one.clearAllMarks();
    for (int r = 1; r <= one.rowsFilled(); ++r)
        one.deleteOneFile(r);
    all.deleteOneFile(3); // cleared first by Mark all
    all.markAll();
    EXPECT_GT(all.markedCount(), 0);
    EXPECT_EQ(all.markedCount(), one.markedCount());
    EXPECT_EQ(all.markedSize(), one.markedSize());
    EXPECT_EQ(all.lbDeleted(), one.lbDeleted());
    EXPECT_EQ(all.lbDeleted().front(), all.path(1));
    EXPECT_EQ(all.lbDeleted().back(), all.path(25000));
}

// Rows made in batches on other threads and taken over read as rows added
// line by line in the same order: every cell, every path, the sorts; rows
// left out of the order are not there, and lines added afterwards still
// read right.
TEST(ResultGridModel, BatchesMadeOnOtherThreadsReadAsLinesAddedOneByOne)
{
    GridLayout layout = hogLayout();
    layout.markColumn = -1;
    const auto line = [](int i) {
        const std::string path = "/d" + std::to_string(i % 7) + "/f " + std::to_string(i) + (i % 5 ? "" : " \xc3\xa9");
        return std::pair{hogLine(QString::number(i * 37 % 1000) + (i % 3 ? "" : "  "), path,
                                 "1/" + QString::number(1 + i % 28) + "/1999"),
                         path};
    };
    std::vector<GridLines> batches;
    batches.reserve(2);
    batches.emplace_back(layout);
    batches.emplace_back(layout);
    std::vector<ResultGridModel::BatchRow> order;
    {
        std::thread a([&] {
            for (int i = 0; i < 3000; i += 2)
                batches[0].add(line(i).first, line(i).second);
        });
        std::thread b([&] {
            for (int i = 1; i < 3000; i += 2)
                batches[1].add(line(i).first, line(i).second);
        });
        a.join();
        b.join();
    }
    ResultGridModel byLine(layout), byBatch(layout);
    byLine.ClearGrid();
    byBatch.ClearGrid();
    for (int i = 2999; i >= 0; --i)
        if (i != 1500) { // left out
            order.push_back({uint32_t(i % 2), uint32_t(i / 2)});
            byLine.addToGrid(line(i).first, line(i).second);
        }
    byBatch.addBatches(batches, order);
    for (ResultGridModel *m : {&byLine, &byBatch})
        m->addToGrid(line(5000).first, line(5000).second);
    const auto rows = [](const ResultGridModel &m) {
        std::vector<std::string> out;
        for (int r = 1; r <= m.rowsFilled(); ++r) {
            std::string s = m.path(r);
            for (int c = 0; c < m.columnCount(); ++c)
                s += '\t' + m.cell(r, c).toStdString();
            out.push_back(s);
        }
        return out;
    };
    ASSERT_EQ(byBatch.rowsFilled(), 3000);
    EXPECT_EQ(rows(byBatch), rows(byLine));
    EXPECT_EQ(byBatch.longestCell(0), byLine.longestCell(0));
    for (const auto &[column, kind] : {std::pair{0, SortKind::Number}, {1, SortKind::Date}, {4, SortKind::Text}}) {
        byLine.sortRows(column, kind, true);
        byBatch.sortRows(column, kind, true);
        EXPECT_EQ(rows(byBatch), rows(byLine)) << column;
    }
}

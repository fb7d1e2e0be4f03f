#include "finders/DupFinder.h"
#include "finders/DupLine.h"
#include "finders/DupPairs.h"
#include "scan/ResultGridModel.h"
#include "support/TempTree.h"

#include <gtest/gtest.h>

using DupPairs::PairRow;

TEST(DupPairs, RowsMatchPerCriterion)
{
    const PairRow a{"Read Me.TXT", "1,024", "01/02/2024", "10:00:00 AM", "Text"};
    struct Case {
        PairRow b;
        std::array<bool, 7> matches; // criteria 0..6
    };
    const Case cases[] = {
        // Same name in another case, every other field equal: all match.
        {{"read me.txt", "1,024", "01/02/2024", "10:00:00 AM", "Text"}, {true, true, true, true, true, true, true}},
        // Another name only.
        {{"other.txt", "1,024", "01/02/2024", "10:00:00 AM", "Text"}, {false, false, false, true, true, true, true}},
        // Another size only.
        {{"Read Me.TXT", "1,025", "01/02/2024", "10:00:00 AM", "Text"}, {true, false, false, false, false, false, true}},
        // Another time only.
        {{"Read Me.TXT", "1,024", "01/02/2024", "10:00:02 AM", "Text"}, {true, true, false, true, false, true, false}},
        // Another type only (texts compare exactly, case included).
        {{"Read Me.TXT", "1,024", "01/02/2024", "10:00:00 AM", "text"}, {true, true, true, true, true, false, false}},
    };
    for (const Case &c : cases)
        for (int crit = 0; crit < 7; ++crit)
            EXPECT_EQ(DupPairs::rowsMatch(crit, a, c.b), c.matches[size_t(crit)]) << c.b.name << " " << crit;
    EXPECT_TRUE(DupPairs::rowsMatch(7, a, PairRow{}));
    EXPECT_TRUE(DupPairs::rowsMatch(-1, a, PairRow{}));
    // Names are bytes: two different invalid names are not one name.
    EXPECT_FALSE(DupPairs::rowsMatch(0, PairRow{"\xff", "", "", "", ""}, PairRow{"\xfe", "", "", "", ""}));
}

TEST(DupPairs, NextAndPreviousStepOnlyToMatchingPairs)
{
    // Rows 1..7; pairs (r, r+1) that match: 1, 3, 5, 6.
    const std::vector<bool> m = {false, true, false, true, false, true, true, false};
    const auto matches = [&](int r) { return m[size_t(r)]; };
    EXPECT_EQ(DupPairs::nextDupRow(1, 7, matches), 3);
    EXPECT_EQ(DupPairs::nextDupRow(3, 7, matches), 5);
    EXPECT_EQ(DupPairs::nextDupRow(5, 7, matches), 6);
    EXPECT_EQ(DupPairs::nextDupRow(6, 7, matches), -1);
    EXPECT_EQ(DupPairs::prevDupRow(6, matches), 5);
    EXPECT_EQ(DupPairs::prevDupRow(5, matches), 3);
    EXPECT_EQ(DupPairs::prevDupRow(3, matches), 1);
    EXPECT_EQ(DupPairs::prevDupRow(1, matches), -1);
    // Nothing matching further on: no move, in either direction.
    const auto none = [](int) { return false; };
    EXPECT_EQ(DupPairs::nextDupRow(1, 7, none), -1);
    EXPECT_EQ(DupPairs::prevDupRow(7, none), -1);
}

TEST(DupPairs, GridRowsAndPaths)
{
    ResultGridModel grid(DupFinder::gridLayout(true, 3));
    grid.ClearGrid();
    const uint32_t text = grid.typeId(QStringLiteral("Text"));
    GridFile f;
    f.folder = "/d/a";
    f.name = "x.TXT";
    f.size = 5;
    f.type = text;
    grid.addFile(f);
    f.folder = "/d/b";
    f.name = "x.txt";
    grid.addFile(f);
    f.name = "y.txt";
    f.size = 6;
    grid.addFile(f);
    grid.trimRows();
    const PairRow r1 = DupPairs::rowOf(grid, 1);
    EXPECT_EQ(r1.name, "x.TXT");
    EXPECT_EQ(r1.size, "5");
    EXPECT_EQ(r1.type, "Text");
    EXPECT_TRUE(DupPairs::pairMatches(grid, 0, 1));
    EXPECT_TRUE(DupPairs::pairMatches(grid, 3, 1));
    EXPECT_FALSE(DupPairs::pairMatches(grid, 3, 2));
    EXPECT_TRUE(DupPairs::pairMatches(grid, 6, 2));
    EXPECT_FALSE(DupPairs::pairMatches(grid, 6, 3)); // no row below the last

    EXPECT_EQ(DupPairs::rowOfPath(grid, "/d/b/y.txt", 1), 3);
    EXPECT_EQ(DupPairs::rowOfPath(grid, "/d/b/x.txt", 2), 2);
    EXPECT_EQ(DupPairs::rowOfPath(grid, "/d/b/gone.txt", 2), 0);
    EXPECT_EQ(DupPairs::rowOfPath(grid, "", 2), 0);
}

TEST(DupPairs, OneSide)
{
    TempTree t;
    const std::string p = t.file("f/data.bin", std::string(1234, 'x'));
    const QDateTime now(QDate(2024, 3, 15), QTime(12, 0, 0));
    TempTree::setTimes(p, QDateTime(QDate(2024, 3, 14), QTime(9, 30, 0)).toSecsSinceEpoch(),
                       QDateTime(QDate(2024, 3, 15), QTime(8, 0, 0)).toSecsSinceEpoch());
    const DupPairs::Side s = DupPairs::load(p, now);
    EXPECT_TRUE(s.exists);
    EXPECT_EQ(s.name, "data.bin");
    EXPECT_EQ(s.folder, QString::fromStdString(t.path("f")));
    EXPECT_EQ(s.size, "1,234 bytes");
    EXPECT_EQ(s.modified, "3/14/2024 9:30:00 AM  Yesterday");
    EXPECT_EQ(s.accessed, "3/15/2024  Today");
    EXPECT_EQ(s.attributes, " Archive");
    EXPECT_EQ(s.profile, QStringList{"Extended profile absent"});
    EXPECT_EQ(s.modifiedStamp, DosTime::pack(QDateTime(QDate(2024, 3, 14), QTime(9, 30, 0))));
    EXPECT_EQ(s.accessDay, DosTime::pack(QDateTime(QDate(2024, 3, 15), QTime(0, 0, 0))) >> 16);
    EXPECT_EQ(DupPairs::stampText(0, now, false), "???");

    const DupPairs::Side gone = DupPairs::load(t.path("f/gone.bin"), now);
    EXPECT_FALSE(gone.exists);
    EXPECT_EQ(gone.name, "gone.bin");
    EXPECT_TRUE(gone.size.isEmpty() && gone.profile.isEmpty() && gone.modifiedStamp == 0);
}

TEST(DupPairs, NewerAndProfileHighlight)
{
    using DupPairs::Newer;
    EXPECT_EQ(DupPairs::newer(5, 3), Newer::Left);
    EXPECT_EQ(DupPairs::newer(3, 5), Newer::Right);
    EXPECT_EQ(DupPairs::newer(4, 4), Newer::Same);
    EXPECT_EQ(DupPairs::newer(0, 4), Newer::Unknown);

    const QStringList a = {"Company: A", "File version: 1"}, b = {"Company: A", "File version: 2", "x"};
    EXPECT_FALSE(DupPairs::profileLineDiffers(a, b, 0));
    EXPECT_TRUE(DupPairs::profileLineDiffers(a, b, 1));
    EXPECT_TRUE(DupPairs::profileLineDiffers(b, a, 2));
    // One file without version lines: nothing is highlighted on either side.
    const QStringList absent = {"Extended profile absent"};
    EXPECT_FALSE(DupPairs::profileLineDiffers(a, absent, 1));
    EXPECT_FALSE(DupPairs::profileLineDiffers(absent, a, 0));
}

TEST(DupPairs, SameContentsPairsRowsOfOneGroupOnly)
{
    // Two groups of one size: only the rows of one group are a pair.
    ResultGridModel grid(DupFinder::gridLayout(true, DupLine::SameContents));
    grid.ClearGrid();
    GridFile f;
    f.folder = "/d";
    f.size = 5;
    const std::pair<const char *, uint32_t> rows[] = {{"a", 0}, {"b", 0}, {"c", 1}, {"d", 1}};
    for (const auto &[name, key] : rows) {
        f.name = name;
        f.key = key;
        grid.addFile(f);
    }
    grid.trimRows();
    EXPECT_TRUE(DupPairs::pairMatches(grid, DupLine::SameContents, 1));
    EXPECT_FALSE(DupPairs::pairMatches(grid, DupLine::SameContents, 2));
    EXPECT_TRUE(DupPairs::pairMatches(grid, DupLine::SameContents, 3));
}

TEST(DupPairs, AWindowKeepsItsPlaceUnlessItsHeightChangesOrItLeavesTheScreen)
{
    // Frames measured with their title bar: the same height keeps the place.
    const QRect screen(0, 0, 1280, 1000);
    const QRect frame(300, 398, 660, 420);
    EXPECT_EQ(DupPairs::placeKeepingBottom(frame, frame.size(), screen), frame.topLeft());
    // Taller by 100: the bottom edge stays, the top goes up.
    EXPECT_EQ(DupPairs::placeKeepingBottom(frame, QSize(660, 520), screen), QPoint(300, 298));
    // Above the screen: 20 below its top; taller than the screen: centred.
    EXPECT_EQ(DupPairs::placeKeepingBottom(QRect(300, 10, 660, 200), QSize(660, 400), screen), QPoint(300, 20));
    EXPECT_EQ(DupPairs::placeKeepingBottom(QRect(300, 10, 660, 200), QSize(660, 1100), screen), QPoint(300, -50));
}

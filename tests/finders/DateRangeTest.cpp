#include "common/Text.h"
#include "finders/DateRange.h"
#include "scan/FoundFile.h"

#include <QDateTime>
#include <gtest/gtest.h>

namespace {
DosDateTime at(int y, int m, int d, int h = 12, int min = 0, int s = 0)
{
    return DosTime::pack(QDateTime(QDate(y, m, d), QTime(h, min, s)));
}

// Which of the stamps a range takes, as a string of '1' and '0'.
std::string taken(const DateRange &r, const std::vector<DosDateTime> &stamps)
{
    std::string out;
    for (DosDateTime s : stamps)
        out += r.inRange(s) ? '1' : '0';
    return out;
}
}

TEST(DateRange, EachRangeIsInclusiveByCalendarDayAndNoStampCountsOnlyAsBefore)
{
    const std::vector<DosDateTime> stamps = {
        at(2023, 12, 31),            // a year before: the numbers order across years
        at(2024, 3, 9, 23, 59, 58),  // the evening before the first day
        at(2024, 3, 10, 0, 0, 0),    // the first day, at midnight
        at(2024, 3, 15),
        at(2024, 3, 20, 23, 59, 58), // the last day, late
        at(2024, 3, 21, 0, 0, 0),    // the day after
        at(2024, 10, 1),             // a later month with a smaller day number
        0,                           // no stamp of that kind
    };
    DateRange r;
    r.start = QDate(2024, 3, 10);
    r.end = QDate(2024, 3, 20);
    r.when = DateRange::When::OnOrBefore;
    EXPECT_EQ(taken(r, stamps), "11100001");
    r.when = DateRange::When::Between;
    EXPECT_EQ(taken(r, stamps), "00111000");
    r.when = DateRange::When::OnOrAfter;
    EXPECT_EQ(taken(r, stamps), "00111110");

    // Both dates one day: that day whatever the time, for every range.
    r.start = r.end = QDate(2024, 3, 15);
    for (auto when : {DateRange::When::OnOrBefore, DateRange::When::Between, DateRange::When::OnOrAfter}) {
        r.when = when;
        EXPECT_TRUE(r.inRange(at(2024, 3, 15, 0, 0, 0)));
        EXPECT_TRUE(r.inRange(at(2024, 3, 15, 23, 59, 58)));
    }
    // The ends of what the date fields offer.
    r.when = DateRange::When::Between;
    r.start = DateRange::minimumDate();
    r.end = DateRange::maximumDate();
    EXPECT_TRUE(r.inRange(at(1980, 1, 1, 0, 0, 0)));
    EXPECT_TRUE(r.inRange(at(2107, 12, 31, 23, 59, 58)));
}

TEST(DateRange, StampChoiceTitleAndLine)
{
    FoundFile f;
    f.name = "Report.txt";
    f.size = 1234567;
    f.accessed = at(2024, 5, 1);
    f.created = 0;
    f.written = at(2023, 1, 31);
    f.folder = "/data/docs";
    f.folderText = "/data/docs";
    DateRange r;
    r.when = DateRange::When::OnOrAfter;
    r.start = QDate(2024, 1, 1);
    EXPECT_TRUE(r.inRange(f));
    r.stamp = DateRange::Stamp::Created;
    EXPECT_FALSE(r.inRange(f));
    r.stamp = DateRange::Stamp::Modified;
    EXPECT_FALSE(r.inRange(f));

    r.start = QDate(1998, 1, 1);
    EXPECT_EQ(r.printTitle(), "Files Modified after 1/1/1998");
    r.stamp = DateRange::Stamp::Accessed;
    r.when = DateRange::When::OnOrBefore;
    r.start = QDate(1998, 1, 31);
    EXPECT_EQ(r.printTitle(), "Files Last accessed before 1/31/1998");
    r.stamp = DateRange::Stamp::Created;
    r.when = DateRange::When::Between;
    r.end = QDate(1999, 2, 1);
    EXPECT_EQ(r.printTitle(), "Files Created between 1/31/1998 and 2/1/1999");

    const QString line = DateRange::line(f);
    EXPECT_EQ(tabField(line, 1), "Report.txt");
    EXPECT_EQ(tabField(line, 2), "5/1/2024");
    EXPECT_EQ(tabField(line, 3), "");
    EXPECT_EQ(tabField(line, 4), "1/31/2023");
    EXPECT_EQ(tabField(line, 5), "1,234,567");
    EXPECT_EQ(tabField(line, 6), "/data/docs");
    EXPECT_FALSE(tabField(line, 7).isEmpty());
}

// On 3 September 2023 summer time in America/Santiago began at midnight, so
// that day had no local 00:00 (the date tests run in that zone too). The
// day keeps its number: a search on it, from it or up to it finds its files.
TEST(DateRange, ADayWithoutALocalMidnightIsStillADay)
{
    const QDate day(2023, 9, 3);
    EXPECT_EQ(DateRange::dayNumber(day), DateRange::dayNumber(at(2023, 9, 3, 12)));
    const std::vector<DosDateTime> stamps = {at(2023, 9, 2, 23, 58), at(2023, 9, 3, 1), at(2023, 9, 3, 23, 58),
                                             at(2023, 9, 4, 0, 30), at(2020, 1, 1)};
    DateRange r;
    r.start = r.end = day;
    r.when = DateRange::When::Between; // the default search on that day
    EXPECT_EQ(taken(r, stamps), "01100");
    r.when = DateRange::When::OnOrAfter;
    EXPECT_EQ(taken(r, stamps), "01110");
    r.when = DateRange::When::OnOrBefore;
    EXPECT_EQ(taken(r, stamps), "11101");
    r.start = QDate(2023, 9, 1);
    r.when = DateRange::When::Between; // ending that day
    EXPECT_EQ(taken(r, stamps), "11100");
    EXPECT_EQ(DateRange::dayNumber(QDate(1979, 12, 31)), 0u);
}

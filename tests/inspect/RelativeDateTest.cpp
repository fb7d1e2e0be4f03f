#include "inspect/RelativeDate.h"

#include <gtest/gtest.h>

namespace {
QString rel(const char *d, const char *now)
{
    return relativeDateText(QDateTime(QDate::fromString(d, Qt::ISODate), QTime(10, 0)),
                            QDateTime(QDate::fromString(now, Qt::ISODate), QTime(9, 0)));
}
}

// "now" is Tuesday 8 December 2026 throughout, weekday 3 counted from Sunday.
TEST(RelativeDate, Table)
{
    const char *now = "2026-12-08";
    struct Row {
        const char *date;
        const char *text;
    } rows[] = {
        {"2026-12-08", "Today"},          {"2026-12-07", "Yesterday"},
        {"2026-12-09", "Tomorrow"},       {"2026-12-06", "This week"},   // Sunday of this week
        {"2026-12-05", "Last week"},      {"2026-11-29", "Last week"},   // Saturday, Sunday before
        {"2026-11-28", "2 wks ago"},      {"2026-11-17", "3 wks ago"},
        {"2026-07-08", "5 mons ago"},     {"2026-11-08", "4 wks ago"},   // one month: weeks still
        {"2026-09-01", "3 mons ago"},     {"2025-11-08", "13 mons ago"}, // within two years: months
        {"2024-01-08", "35 mons ago"},    // two calendar years apart: still months
        {"2023-08-08", "3 yrs 4 mons ago"}, {"2023-12-08", "3 yrs ago"},
        {"2023-11-08", "3 yrs 1 mon ago"},
        {"2026-12-12", "This week"},      {"2026-12-13", "Next week"},   // Saturday, then Sunday
        {"2026-12-19", "Next week"},      {"2026-12-20", "2 wks"},
        {"2027-01-20", "6 wks"},          {"2027-04-08", "4 mons"},
        {"2030-01-08", "3 yrs 1 mon"},    {"2029-12-08", "3 yrs"},
        {"2028-12-08", "24 mons"},
    };
    for (const Row &r : rows)
        EXPECT_EQ(rel(r.date, now), QString::fromLatin1(r.text)) << r.date;
}

TEST(RelativeDate, InvalidDateGivesNothing)
{
    EXPECT_EQ(relativeDateText(QDateTime(), QDateTime::currentDateTime()), QString());
    EXPECT_EQ(rel("0000-05-01", "2026-12-08"), QString());
}

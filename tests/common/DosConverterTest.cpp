#include "common/DosTime.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace {
// Sets TZ for one test and restores UTC afterwards.
struct Zone {
    explicit Zone(const char *tz)
    {
        setenv("TZ", tz, 1);
        tzset();
    }
    ~Zone()
    {
        setenv("TZ", "UTC", 1);
        tzset();
    }
};

void expectSameAsFromUnix(int64_t from, int64_t to, int64_t step)
{
    DosTime::Converter conv;
    for (int64_t t = from; t <= to; t += step)
        ASSERT_EQ(conv(t), DosTime::fromUnix(t)) << "at " << t;
}
}

TEST(DosConverter, AgreesWithFromUnixAcrossDaylightSavingChanges)
{
    Zone z("Europe/Berlin");
    // Around the spring and autumn changes of 2021, second by second.
    expectSameAsFromUnix(1616893200 - 4000, 1616893200 + 4000, 1);
    expectSameAsFromUnix(1635642000 - 4000, 1635642000 + 4000, 1);
    // Forty years in odd steps, so both the cache and its misses are used.
    expectSameAsFromUnix(315532800, 1700000000, 86413);
    // Stamps that jump between quarter hours remembered side by side, some
    // sharing a place in the table, across the autumn change.
    DosTime::Converter conv;
    const int64_t autumn = 1635642000, apart = 1024 * 900;
    for (int64_t t = autumn - 3600; t <= autumn + 3600; t += 97)
        for (const int64_t u : {t, t + apart, t - apart, autumn + (autumn - t), t + 7 * 86400})
            ASSERT_EQ(conv(u), DosTime::fromUnix(u)) << "at " << u;
}

TEST(DosConverter, HalfHourZoneAndRangeEnds)
{
    Zone z("Australia/Adelaide");
    expectSameAsFromUnix(1617467400 - 7200, 1617467400 + 7200, 7);
    Zone u("UTC");
    DosTime::Converter conv;
    EXPECT_EQ(conv(315532799), 0u);              // 1979-12-31 23:59:59
    EXPECT_NE(conv(315532800), 0u);              // 1980-01-01 00:00:00
    EXPECT_EQ(conv(0), 0u);
    EXPECT_EQ(conv(-1), 0u);
    EXPECT_EQ(conv(int64_t(1) << 40), 0u);
    EXPECT_EQ(conv(4354000000LL), DosTime::fromUnix(4354000000LL));
}

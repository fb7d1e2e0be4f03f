#include "finders/SizeChoice.h"

#include <gtest/gtest.h>

TEST(SizeChoice, ThresholdsAreKilobytesOrBytesAndInclusive)
{
    SizeChoice c; // larger or equal to 250 KB
    EXPECT_TRUE(c.keeps(256000));
    EXPECT_FALSE(c.keeps(255999));
    EXPECT_EQ(c.phrase(), "larger or equal to 250 KB");

    c.kind = SizeChoice::Smaller;
    EXPECT_TRUE(c.keeps(256000));
    EXPECT_FALSE(c.keeps(256001));
    EXPECT_TRUE(c.keeps(0));

    c = SizeChoice{SizeChoice::Between, 10, 10, false};
    EXPECT_TRUE(c.valid());
    EXPECT_FALSE(c.keeps(9));
    EXPECT_TRUE(c.keeps(10));
    EXPECT_FALSE(c.keeps(11));
    EXPECT_EQ(c.phrase(), "in between 10 bytes and 10 bytes");

    c.num2 = 9;
    EXPECT_FALSE(c.valid());
    c.kind = SizeChoice::Larger; // the second number only counts for "In between"
    EXPECT_TRUE(c.valid());
    // Sizes beyond 32 bits compare as they are.
    EXPECT_TRUE(c.keeps(int64_t(5) << 30));
}

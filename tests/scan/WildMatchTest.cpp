#include "scan/WildMatch.h"

#include <gtest/gtest.h>

TEST(WildMatch, StarQuestionAndCase)
{
    EXPECT_TRUE(wildMatch("*.*", "README"));
    EXPECT_TRUE(wildMatch("*.*", ".hidden"));
    EXPECT_TRUE(wildMatch("*.txt", "notes.TXT"));
    EXPECT_TRUE(wildMatch("*.TXT", "notes.txt"));
    EXPECT_FALSE(wildMatch("*.txt", "notes.txt.bak"));
    EXPECT_TRUE(wildMatch("a*.txt", "a.txt"));
    EXPECT_TRUE(wildMatch("a*.txt", "abc.txt"));
    EXPECT_FALSE(wildMatch("a*.txt", "ba.txt"));
    EXPECT_TRUE(wildMatch("?.c", "x.c"));
    EXPECT_FALSE(wildMatch("?.c", "xy.c"));
    EXPECT_TRUE(wildMatch("*~", "page.htm~"));
    EXPECT_TRUE(wildMatch("*", ""));
    EXPECT_FALSE(wildMatch("?", ""));
    EXPECT_TRUE(wildMatch("*a*b*c*", "xxaxxbxxcxx"));
    EXPECT_FALSE(wildMatch("*a*b*c*", "xxaxxcxxbxx"));
}

TEST(WildMatch, BytesNamesIncludingNonAscii)
{
    const WildPattern p("*.TMP");
    EXPECT_TRUE(p.matches(std::string_view("~WRL0003.tmp")));
    EXPECT_FALSE(p.matches(std::string_view("x.~tmp")));
    EXPECT_TRUE(WildPattern("ÄB*").matches(std::string_view("äbc")));
    EXPECT_TRUE(WildPattern("*.txt").matches(std::string_view("caf\xc3\xa9.TXT")));
    EXPECT_TRUE(WildPattern("*.txt").matches(std::string_view("bad\xff.txt")));
    EXPECT_TRUE(WildPattern("*.*").matchesAll());
}

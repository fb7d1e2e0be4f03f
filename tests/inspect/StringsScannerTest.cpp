#include "inspect/StringsScanner.h"
#include "support/TempTree.h"
#include "support/TestEnv.h"

#include <gtest/gtest.h>

#include <random>

namespace {
std::string scan(const std::string &data, size_t piece = 2048)
{
    StringsScanner s;
    std::string out;
    for (size_t i = 0; i < data.size(); i += piece)
        s.feed(data.substr(i, piece), out);
    return out;
}
}

TEST(StringsScanner, RunLengthsEndingsAndRepeats)
{
    EXPECT_EQ(scan(std::string("abcde\0", 6)), "");
    EXPECT_EQ(scan("abcde!"), "");
    EXPECT_EQ(scan(std::string("abcdef\0", 7)), "abcdef\n");
    EXPECT_EQ(scan(std::string("Two words\0Two words\0", 20)), "Two words\n");
    // Not a repeat of the line just written: written again.
    EXPECT_EQ(scan("alpha1!bravo2!alpha1!"), "alpha1\nbravo2\nalpha1\n");
    EXPECT_EQ(scan(std::string(101, 'q') + "."), std::string(101, 'q') + "\n");
    EXPECT_EQ(scan(std::string(102, 'q') + "."), "");
    EXPECT_EQ(scan(std::string(150, 'q') + ".abcdefg."), "abcdefg\n");
    // A run still open at the end is not written.
    EXPECT_EQ(scan("abcdefgh"), "");
    // Tabs and line feeds end runs; blanks belong to them.
    EXPECT_EQ(scan("  six  \tseven77\n"), "  six  \nseven77\n");
}

TEST(StringsScanner, RunsAcrossPiecesAreFound)
{
    // A run across the 2048-byte boundary.
    std::string data(2045, '\x01');
    data += "boundary run\x02";
    EXPECT_EQ(scan(data), "boundary run\n");
    EXPECT_EQ(scan(data, 1), "boundary run\n");
    // An overlong run split over pieces stays overlong.
    std::string longRun(100, '\x01');
    longRun += std::string(120, 'z') + "\x01";
    EXPECT_EQ(scan(longRun, 7), "");
}

// A crafted binary against an independent reference of the same rule.
TEST(StringsScanner, MatchesReference)
{
    std::mt19937 rng(6);
    std::string data;
    const char *alphabet = "abcXYZ09 ";
    for (int i = 0; i < 20000; ++i) {
        const int kind = int(rng() % 10);
        if (kind < 4) {
            // A run of 1 to 160 accepted characters.
            const int len = 1 + int(rng() % 160);
            for (int k = 0; k < len; ++k)
                data += alphabet[rng() % 9];
        } else if (kind < 6) {
            data += "Repeated6";
        } else {
            data += char(rng() % 256);
        }
    }
    TempTree t;
    const std::string bin = t.file("crafted.bin", data);
    const std::string script = t.file("ref.py",
        "import re, sys\n"
        "data = open(sys.argv[1], 'rb').read()\n"
        "out = []\n"
        "last = None\n"
        "for m in re.finditer(rb'[A-Za-z0-9 ]+', data):\n"
        "    s = m.group()\n"
        "    if m.end() < len(data) and 6 <= len(s) <= 101 and s != last:\n"
        "        out.append(s)\n"
        "        last = s\n"
        "sys.stdout.buffer.write(b''.join(x + b'\\n' for x in out))\n");
    const std::string reference = TestEnv::commandOutput("python3 " + script + " " + bin);
    ASSERT_FALSE(reference.empty());
    EXPECT_EQ(scan(data), reference);
    EXPECT_EQ(scan(data, 1000003), reference);
    EXPECT_EQ(scan(data, 3), reference);
}

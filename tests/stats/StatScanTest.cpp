#include "stats/StatScan.h"

#include "support/MixedTree.h"
#include "support/ScriptedDialogs.h"
#include "support/TempTree.h"

#include <gtest/gtest.h>

#include <sstream>

namespace {
// Every tally as text, so a difference shows where it is.
std::string tallyText(const StatTallies &t)
{
    std::ostringstream o;
    o << "processed " << t.filesProcessed << " counted " << t.filesCounted << "\n";
    const auto row = [&o](const char *what, const auto &a) {
        o << what;
        for (const int64_t v : a)
            o << " " << v;
        o << "\n";
    };
    row("size count", t.sizeCount);
    row("size bytes", t.sizeBytes);
    for (int k = 0; k < 3; ++k) {
        row("age count", t.ageCount[size_t(k)]);
        row("age bytes", t.ageBytes[size_t(k)]);
        row("time slots", t.timeSlots[size_t(k)]);
    }
    row("attr count", t.attrCount);
    row("attr bytes", t.attrBytes);
    row("overhang", t.overhang);
    for (const StatTallies::TypeRow &r : t.typeRows())
        o << "type " << r.extension.toStdString() << " " << r.count << " " << r.bytes << "\n";
    return o.str();
}

std::string collect(const std::string &root, int workers, bool onlyText)
{
    StatScan s;
    s.workers = workers;
    s.walker.pumpIntervalMs = -1;
    s.tallies.countOverhang = true;
    s.tallies.clock = [] { return QDate(2026, 12, 8); };
    if (onlyText) {
        s.tallies.allTypes = false;
        s.tallies.includeTypes = true;
        s.tallies.setChosenTypes({QStringLiteral("*.txt\tText"), QStringLiteral("*.c\tC source")});
    }
    s.scanFolder(root);
    EXPECT_FALSE(s.aborted());
    return tallyText(s.tallies);
}
}

// The parallel collection gives every tally and type row exactly as the
// walker's own walk does, whatever the number of workers, with every type
// counted and with a chosen few.
TEST(StatScan, ParallelTalliesEqualTheWalkersForAnyNumberOfWorkers)
{
    ScriptedDialogs dlg;
    TempTree t("stats");
    const std::string root = makeMixedTree(t, "D", 35);
    for (const bool onlyText : {false, true}) {
        const std::string expected = collect(root, 0, onlyText);
        ASSERT_EQ(expected.find("processed 0 "), std::string::npos);
        for (const int n : {1, 2, 8})
            EXPECT_EQ(collect(root, n, onlyText), expected) << n << " workers, chosen types " << onlyText;
    }
    EXPECT_TRUE(dlg.boxes.empty());
}

#include "stats/StatScan.h"

#include "support/MixedTree.h"
#include "support/ScriptedDialogs.h"
#include "support/TempTree.h"

#include <gtest/gtest.h>

#include <set>
#include <sstream>
#include <unistd.h>

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

// A file with several names is tallied once, by the name that comes first
// when each folder's entries are read in name order (its type is that
// name's), whatever the number of workers; its other names are processed
// but counted nowhere.
TEST(StatScan, AFileWithSeveralNamesIsTalliedOnce)
{
    ScriptedDialogs dialogs;
    TempTree t("statlinks");
    t.sized("R/b/notes.txt", 3000);
    t.sized("R/a.dat", 10);
    t.dir("R/c");
    ASSERT_EQ(::link(t.path("R/b/notes.txt").c_str(), t.path("R/c/copy.c").c_str()), 0);
    ASSERT_EQ(::link(t.path("R/b/notes.txt").c_str(), t.path("R/b/same.txt").c_str()), 0);
    for (const int workers : {0, 1, 2}) {
        StatScan s;
        s.workers = workers;
        s.walker.pumpIntervalMs = -1;
        s.scanFolder(t.path("R"));
        EXPECT_EQ(s.tallies.filesProcessed, 4) << workers;
        EXPECT_EQ(s.tallies.filesCounted, 2) << workers;
        int64_t bytes = 0;
        for (const int64_t b : s.tallies.sizeBytes)
            bytes += b;
        EXPECT_EQ(bytes, 3010) << workers;
        std::set<std::string> types;
        for (const StatTallies::TypeRow &r : s.tallies.typeRows())
            if (r.count > 0)
                types.insert(r.extension.toStdString() + " " + std::to_string(r.count) + " " + std::to_string(r.bytes));
        EXPECT_EQ(types, (std::set<std::string>{".DAT 1 10", ".TXT 1 3000"})) << workers;
    }
}

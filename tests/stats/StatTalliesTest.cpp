#include "stats/StatScan.h"
#include "stats/StatTallies.h"
#include "stats/StatTypeLists.h"

#include "settings/IniFile.h"
#include "platform/DirReader.h"
#include "platform/FileTypes.h"
#include "support/TempTree.h"
#include "support/TestEnv.h"

#include <QDateTime>
#include <QTimeZone>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <fstream>
#include <limits>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

namespace {
// Seconds since the epoch of a UTC date and time (the tests run in UTC).
int64_t at(int y, int mo, int d, int h = 12, int mi = 0, int s = 0)
{
    return QDateTime(QDate(y, mo, d), QTime(h, mi, s), QTimeZone::utc()).toSecsSinceEpoch();
}

// A sparse file of a size, with both stamps set.
void makeFile(const TempTree &t, const std::string &rel, int64_t size, int64_t modified, int64_t accessed)
{
    const std::string p = t.file(rel);
    ASSERT_EQ(::truncate(p.c_str(), size), 0) << p;
    const timespec ts[2] = {{time_t(accessed), 0}, {time_t(modified), 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, p.c_str(), ts, AT_SYMLINK_NOFOLLOW), 0) << p;
}

// Every tally as text lines, the form the reference script prints.
std::string dump(const StatTallies &t)
{
    std::ostringstream o;
    o << "processed " << t.filesProcessed << "\ncounted " << t.filesCounted << "\n";
    for (int u = 1; u <= 12; ++u)
        o << "size " << u << " " << t.sizeCount[u] << " " << t.sizeBytes[u] << "\n";
    for (int k = 0; k < 3; ++k)
        for (int b = 0; b < 10; ++b)
            o << "age " << k << " " << b << " " << t.ageCount[k][b] << " " << t.ageBytes[k][b] << "\n";
    for (int k = 0; k < 3; ++k)
        for (int s = 0; s < 48; ++s)
            if (t.timeSlots[k][s])
                o << "slot " << k << " " << s << " " << t.timeSlots[k][s] << "\n";
    for (int a = 0; a < 4; ++a)
        o << "attr " << a << " " << t.attrCount[a] << " " << t.attrBytes[a] << "\n";
    for (int c = 0; c < 5; ++c)
        o << "over " << c << " " << t.overhang[c] << "\n";
    for (const auto &r : t.typeRows())
        o << "type [" << r.extension.toStdString() << "] " << r.count << " " << r.bytes << "\n";
    return o.str();
}

// An independent reference of the same tallies over a tree, computed by a
// Python script from lstat and the file system's birth times.
const char *const kReference = R"PY(
import os, stat, sys, time, datetime, subprocess
root = sys.argv[1]
today = datetime.date.today()
tops = [16384 << i for i in range(11)]
def bucket(n):
    for i, t in enumerate(tops):
        if n <= t: return i + 1
    return 12
def dos(secs):
    if secs is None: return None
    lt = time.localtime(secs)
    if lt.tm_year < 1980 or lt.tm_year > 2107: return None
    return (datetime.date(lt.tm_year, lt.tm_mon, lt.tm_mday), lt.tm_hour, lt.tm_min, lt.tm_sec // 2 * 2)
def age(d):
    if d is None: return 0
    days = abs((today - d[0]).days)
    for i, t in enumerate([7, 30, 60, 120, 365, 730, 1095, 1460]):
        if days <= t: return i + 1
    return 9
size = {u: [0, 0] for u in range(1, 13)}
ages = {(k, b): [0, 0] for k in range(3) for b in range(10)}
slots = {}
attrs = {a: [0, 0] for a in range(4)}
over = [0] * 5
types = {}
n = 0
for folder, dirs, files in os.walk(root):
    names = files + [d for d in dirs if os.path.islink(os.path.join(folder, d))]
    for name in names:
        p = os.path.join(folder, name)
        st = os.lstat(p)
        n += 1
        sz = st.st_size
        reg = stat.S_ISREG(st.st_mode)
        bits = [not (st.st_mode & stat.S_IWUSR), name.startswith('.'), not reg, reg]
        for a in range(4):
            if bits[a]:
                attrs[a][0] += 1; attrs[a][1] += sz
        w = subprocess.run(['stat', '-c', '%W', p], capture_output=True, text=True).stdout.strip()
        born = int(w) if w.isdigit() and int(w) > 0 else None
        for k, secs in enumerate([st.st_atime, born, st.st_mtime]):
            d = dos(int(secs) if secs is not None else None)
            b = age(d)
            ages[(k, b)][0] += 1; ages[(k, b)][1] += sz
            if d is not None and (d[1], d[2], d[3]) != (0, 0, 0):
                s = 2 * d[1] + (1 if d[2] >= 30 else 0)
                slots[(k, s)] = slots.get((k, s), 0) + 1
        dot = name.rfind('.')
        ext = name[dot:].upper() if dot >= 0 else ''
        if len(ext) <= 5:
            t = types.setdefault(ext, [0, 0]); t[0] += 1; t[1] += sz
        u = bucket(sz); size[u][0] += 1; size[u][1] += sz
        for i, c in enumerate([4096, 8192, 16384, 32768, 65536]):
            if sz % c: over[i] += c - sz % c
print("processed %d\ncounted %d" % (n, n))
for u in range(1, 13): print("size %d %d %d" % (u, size[u][0], size[u][1]))
for k in range(3):
    for b in range(10): print("age %d %d %d %d" % (k, b, ages[(k, b)][0], ages[(k, b)][1]))
for k in range(3):
    for s in range(48):
        if slots.get((k, s)): print("slot %d %d %d" % (k, s, slots[(k, s)]))
for a in range(4): print("attr %d %d %d" % (a, attrs[a][0], attrs[a][1]))
for c in range(5): print("over %d %d" % (c, over[c]))
for e in sorted(types, key=lambda e: (e.lower(), e)): print("type [%s] %d %d" % (e, types[e][0], types[e][1]))
)PY";
}

TEST(StatTallies, CollectionOverATreeEqualsAnIndependentReference)
{
    TempTree t("stats");
    const int64_t now = QDateTime::currentSecsSinceEpoch();
    const int64_t day = 86400;
    makeFile(t, "a/exact16k.dat", 16384, now - 7 * day, now - 8 * day);
    makeFile(t, "a/over16k.dat", 16385, now - 30 * day, now - 31 * day);
    makeFile(t, "a/block.bin", 4096, now - 400 * day, now - 800 * day);
    makeFile(t, "a/empty.txt", 0, now, now);
    makeFile(t, "a/b/Report.TXT", 70000, at(2020, 3, 4, 0, 0, 0), at(2020, 3, 4, 0, 0, 1));
    makeFile(t, "a/b/notes.txt", 1500000, at(2021, 5, 6, 0, 15), at(2021, 5, 6, 0, 30));
    makeFile(t, "a/b/late.Txt", 3000000, at(2022, 7, 8, 23, 59, 59), at(2019, 1, 1, 0, 29, 59));
    makeFile(t, "a/b/README", 123, at(1975, 1, 1), at(2010, 2, 3));
    makeFile(t, "a/b/archive.tar.gzip", 9000000, now - 1100 * day, now - 1461 * day);
    makeFile(t, "a/b/movie.mpeg", 20000000, now + 3 * day, now - 121 * day);
    makeFile(t, "a/b/c/d/deep.jpeg", 600000, now - 60 * day, now - 61 * day);
    makeFile(t, "a/b/c/d/big.iso", 40000000, now - 2000 * day, now - 365 * day);
    makeFile(t, ".config/app/.hidden", 5000, now - 10 * day, now - 10 * day);
    makeFile(t, ".config/settings.ini", 300000, now - 200 * day, now - 5 * day);
    makeFile(t, "ro.doc", 33000, at(2023, 1, 1, 6, 45), at(2023, 1, 1, 13, 10));
    ASSERT_EQ(::chmod(t.path("ro.doc").c_str(), 0444), 0);
    makeFile(t, "x.", 7, now, now);
    ASSERT_EQ(::symlink("ro.doc", t.path("a/link.doc").c_str()), 0);

    StatScan scan;
    scan.tallies.countOverhang = true;
    scan.tallies.clear();
    scan.scanFolder(t.root());

    const std::string script = TestEnv::home() + "/reference.py";
    std::ofstream(script) << kReference;
    const std::string expected = TestEnv::commandOutput("python3 " + script + " " + t.root());
    EXPECT_EQ(dump(scan.tallies), expected);
    EXPECT_EQ(scan.tallies.filesProcessed, 17);
    ::chmod(t.path("ro.doc").c_str(), 0644);
}

TEST(StatTallies, SizeBucketsAgesAndSlotsAtTheirBounds)
{
    using T = StatTallies;
    EXPECT_EQ(T::sizeBucket(0), 1);
    EXPECT_EQ(T::sizeBucket(16384), 1);
    EXPECT_EQ(T::sizeBucket(16385), 2);
    EXPECT_EQ(T::sizeBucket(16777216), 11);
    EXPECT_EQ(T::sizeBucket(16777217), 12);
    EXPECT_EQ(T::sizeBucket(int64_t(5) << 30), 12); // a 5 GiB file
    EXPECT_EQ(T::sizeLabel(1), "0 - 16K");
    EXPECT_EQ(T::sizeLabel(12), "Over 16MB");

    const int expected[][2] = {{-1, 0}, {0, 1},   {7, 1},   {8, 2},    {30, 2},   {31, 3}, {60, 3},
                               {61, 4}, {121, 5}, {365, 5}, {366, 6},  {730, 6},  {731, 7}, {1095, 7},
                               {1096, 8}, {1460, 8}, {1461, 9}};
    for (const auto &e : expected)
        EXPECT_EQ(T::ageToIndex(e[0]), e[1]) << e[0];
    EXPECT_EQ(T::ageLabel(0), "Not recorded");
    EXPECT_EQ(T::ageLabel(9), "Over 4 years");

    const QDate today(2024, 3, 10);
    auto stamp = [](int y, int mo, int d, int h, int mi, int s) {
        return DosTime::pack(QDateTime(QDate(y, mo, d), QTime(h, mi, s)));
    };
    EXPECT_EQ(T::fileAgeDays(0, today), -1);
    EXPECT_EQ(T::fileAgeDays(stamp(2024, 3, 3, 23, 59, 58), today), 7);
    EXPECT_EQ(T::fileAgeDays(stamp(2024, 3, 2, 0, 0, 0), today), 8);
    EXPECT_EQ(T::fileAgeDays(stamp(2024, 3, 15, 1, 0, 0), today), 5); // the future counts by distance
    // A stamp that is no date (31 February) counts as 1 January 1980.
    const DosDateTime feb31 = (DosDateTime(44) << 25) | (2u << 21) | (31u << 16);
    EXPECT_EQ(T::fileAgeDays(feb31, today), QDate(1980, 1, 1).daysTo(today));

    EXPECT_EQ(T::halfHourSlot(0), -1);
    EXPECT_EQ(T::halfHourSlot(stamp(2020, 1, 1, 0, 0, 0)), -1); // a date without a time of day
    EXPECT_EQ(T::halfHourSlot(stamp(2020, 1, 1, 0, 0, 2)), 0);
    EXPECT_EQ(T::halfHourSlot(stamp(2020, 1, 1, 0, 15, 0)), 0);
    EXPECT_EQ(T::halfHourSlot(stamp(2020, 1, 1, 0, 30, 0)), 1);
    EXPECT_EQ(T::halfHourSlot(stamp(2020, 1, 1, 12, 29, 58)), 24);
    EXPECT_EQ(T::halfHourSlot(stamp(2020, 1, 1, 23, 59, 58)), 47);
}

// The window lives as long as the program: a collection a day later counts
// ages from its own day.
TEST(StatTallies, EachCollectionMeasuresAgesFromItsOwnDay)
{
    QDate day(2024, 3, 10);
    StatTallies t;
    t.clock = [&day] { return day; };
    FoundFile f;
    f.name = "a.txt";
    f.accessed = f.created = f.written = DosTime::pack(QDateTime(QDate(2024, 3, 3), QTime(12, 0)));
    t.clear();
    t.crunchNumbers(f);
    EXPECT_EQ(t.ageCount[StatTallies::Modified][1], 1); // 7 days
    day = day.addDays(1);
    t.clear();
    t.crunchNumbers(f);
    EXPECT_EQ(t.ageCount[StatTallies::Modified][1], 0);
    EXPECT_EQ(t.ageCount[StatTallies::Modified][2], 1); // 8 days
}

TEST(StatTallies, TypeTableKeepsOneRowPerExtensionWithoutRegardToCase)
{
    StatTallies t;
    t.insertType(".txt", 10, false);
    t.insertType(".TXT", 5, false);
    t.insertType(".Txt", 99, true); // a seed adds no file and no bytes to an existing row
    t.insertType(".doc", 0, true);  // a seed of a new type: a row of zeros
    t.insertType("", 3, false);     // no extension: its own row
    t.insertType(".jpeg", 1, false);
    t.insertType(".mpeg4", 1, false); // longer than five characters: no row
    const auto rows = t.typeRows();
    ASSERT_EQ(rows.size(), 4u);
    EXPECT_EQ(rows[0].extension, "");
    EXPECT_EQ(rows[0].count, 1);
    EXPECT_EQ(rows[1].extension, ".DOC");
    EXPECT_EQ(rows[1].count, 0);
    EXPECT_EQ(rows[1].bytes, 0);
    EXPECT_EQ(rows[2].extension, ".JPEG");
    EXPECT_EQ(rows[3].extension, ".TXT");
    EXPECT_EQ(rows[3].count, 2);
    EXPECT_EQ(rows[3].bytes, 15);
    t.clear();
    EXPECT_EQ(t.typeCount(), 0);
}

TEST(StatTallies, TypeFilterIncludesOrExcludesTheChosenExtensions)
{
    FoundFile f;
    f.size = 4096;
    f.attributes = FileAttr::Archive | FileAttr::ReadOnly;
    StatTallies t;
    const QStringList chosen{"*.txt\tText", "*.DOC\tDocument"};
    EXPECT_EQ(StatTallies::extractExtension(chosen[1]), ".doc");
    EXPECT_EQ(StatTallies::extractExtension("*.doc"), "");

    auto run = [&](bool all, bool include, bool exclude, const QStringList &list, const char *name) {
        t.allTypes = all;
        t.includeTypes = include;
        t.excludeTypes = exclude;
        t.setChosenTypes(list);
        f.name = name;
        return t.isThisSelected(f.name);
    };
    EXPECT_TRUE(run(true, false, false, chosen, "a.bin"));
    EXPECT_TRUE(run(false, true, false, chosen, "A.TXT"));
    EXPECT_TRUE(run(false, true, false, chosen, "b.Doc"));
    EXPECT_FALSE(run(false, true, false, chosen, "c.bin"));
    EXPECT_FALSE(run(false, true, false, chosen, "txt"));
    EXPECT_FALSE(run(false, false, true, chosen, "a.txt"));
    EXPECT_TRUE(run(false, false, true, chosen, "c.bin"));
    EXPECT_FALSE(run(false, true, false, {}, "a.txt")); // include with nothing chosen counts nothing
    EXPECT_TRUE(run(false, false, true, {}, "a.txt"));  // exclude with nothing chosen counts everything

    // A file that is not selected is processed but not counted.
    t.clear();
    t.countOverhang = true;
    run(false, true, false, chosen, "skip.bin");
    EXPECT_FALSE(t.crunchNumbers(f));
    run(false, true, false, chosen, "keep.txt");
    EXPECT_TRUE(t.crunchNumbers(f));
    EXPECT_EQ(t.filesProcessed, 2);
    EXPECT_EQ(t.filesCounted, 1);
    EXPECT_EQ(t.attrCount[StatTallies::ReadOnly], 1);
    EXPECT_EQ(t.attrCount[StatTallies::Archive], 1);
    EXPECT_EQ(t.attrCount[StatTallies::Hidden], 0);
    // A 4,096-byte file wastes nothing at 4K and the rest of the cluster above.
    EXPECT_EQ(t.overhang, (std::array<int64_t, 5>{0, 4096, 12288, 28672, 61440}));
    // Stamps of 0: age bucket 0 for all three kinds, no time slot.
    for (int k = 0; k < 3; ++k) {
        EXPECT_EQ(t.ageCount[k][0], 1);
        for (int s = 0; s < 48; ++s)
            EXPECT_EQ(t.timeSlots[k][s], 0);
    }
}

TEST(StatTallies, NumberTextHelpers)
{
    EXPECT_EQ(StatTallies::zerofill(0), "0000000000");
    EXPECT_EQ(StatTallies::zerofill(1234), "0000001234");
    EXPECT_EQ(StatTallies::zerofill(1234567890), "1234567890");
    EXPECT_EQ(StatTallies::zerofill(12345678901), "12345678901");
    EXPECT_EQ(StatTallies::stripCommas("1,234,567"), "1234567");
    EXPECT_EQ(StatTallies::trialIndex(16384), 2);
    EXPECT_EQ(StatTallies::trialIndex(1024), -1);
}

TEST(StatTypeLists, DefaultStoredAndEmptiedLists)
{
    FileTypes::setTableForTests({{".doc", "Document"}, {".txt", "Text"}});
    EXPECT_EQ(StatTypeLists::read("Include"),
              (QStringList{"*.doc\tDocument", "*.odt\tODT File", "*.so\tSO File"}));
    StatTypeLists::write({"*.txt\tOld description", "*.zz"}, "Include");
    EXPECT_EQ(IniFile().readString("Include", "File1", {}), "*.txt");
    EXPECT_EQ(StatTypeLists::read("Include"), (QStringList{"*.txt\tText", "*.zz\tZZ File"}));
    EXPECT_EQ(StatTypeLists::read("Exclude").size(), 3); // the other section is untouched
    StatTypeLists::write({}, "Include");
    EXPECT_TRUE(StatTypeLists::read("Include").isEmpty()); // emptied, not defaulted
    FileTypes::setTableForTests({});
}

// Byte tallies of files claiming 2^63 - 1 bytes (sparse files) stay at the
// limit, in one collection and when collections are merged.
TEST(StatTallies, HugeFilesHoldTheByteTalliesAtTheLimit)
{
    constexpr int64_t kMax = std::numeric_limits<int64_t>::max();
    StatTallies t;
    t.clock = [] { return QDate(2024, 3, 10); };
    t.clear();
    FoundFile f;
    f.name = "a.img";
    f.size = kMax;
    f.attributes = FileAttr::Archive;
    f.accessed = f.created = f.written = DosTime::pack(QDateTime(QDate(2024, 3, 3), QTime(12, 0)));
    t.crunchNumbers(f);
    t.crunchNumbers(f);
    StatTallies merged = t;
    merged.add(t);
    for (const StatTallies *s : {&t, &merged}) {
        EXPECT_EQ(s->sizeBytes[size_t(StatTallies::sizeBucket(kMax))], kMax);
        EXPECT_EQ(s->attrBytes[3], kMax);
        EXPECT_EQ(s->ageBytes[StatTallies::Modified][1], kMax);
        ASSERT_EQ(s->typeRows().size(), 1u);
        EXPECT_EQ(s->typeRows()[0].bytes, kMax);
    }
}

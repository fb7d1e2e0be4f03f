#pragma once
#include "common/DosTime.h"
#include "finders/TempMatcher.h"
#include "scan/FoundFile.h"

#include <QDate>
#include <QString>
#include <QStringList>
#include <array>
#include <functional>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

// The tallies of a statistics collection: every counted file by size, by the
// age and the time of day of each of its three stamps, by attribute, by type
// (extension) and by the space its last cluster would waste under five trial
// cluster sizes. Counts and byte totals are 64-bit. The work per file is
// constant apart from one hash lookup of its extension, and memory grows only
// with the number of distinct extensions.
class StatTallies {
public:
    // Time kinds, in the order they are listed everywhere.
    enum Kind { Accessed = 0, Created = 1, Modified = 2 };
    // Attributes, in the order the tallies keep them.
    enum Attr { ReadOnly = 0, Hidden = 1, System = 2, Archive = 3 };
    static constexpr int kSizeBuckets = 12; // 1..12
    static constexpr int kAgeBuckets = 10;  // 0..9
    static constexpr int kSlots = 48;
    static constexpr std::array<int64_t, 5> kTrialSizes{4096, 8192, 16384, 32768, 65536};

    struct TypeRow {
        QString extension; // with its dot, upper case; empty for names without one
        int64_t count = 0;
        int64_t bytes = 0;
    };

    // --- The type filter -----------------------------------------------------
    // Every file counts (true), or only those whose extension is (include) or
    // is not (exclude) on the chosen entries ("*.doc", a tab, a description).
    bool allTypes = true;
    bool includeTypes = false;
    bool excludeTypes = false;
    void setChosenTypes(const QStringList &entries);
    const QStringList &chosenTypes() const { return chosen_; }

    // Overhang is summed only while this is set (a one-drive collection).
    bool countOverhang = false;

    // --- Tallies -----------------------------------------------------------------
    int64_t filesProcessed = 0; // every file met, before the type filter
    int64_t filesCounted = 0;   // files that passed the filter and were tallied
    std::array<int64_t, kSizeBuckets + 1> sizeCount{}; // index 1..12
    std::array<int64_t, kSizeBuckets + 1> sizeBytes{};
    std::array<std::array<int64_t, kAgeBuckets>, 3> ageCount{};
    std::array<std::array<int64_t, kAgeBuckets>, 3> ageBytes{};
    std::array<std::array<int64_t, kSlots>, 3> timeSlots{};
    std::array<int64_t, 4> attrCount{};
    std::array<int64_t, 4> attrBytes{};
    std::array<int64_t, 5> overhang{}; // per trial size, 4K first

    // clearVariables: zeroes every tally and empties the type table.
    void clear();
    // crunchNumbers: tallies one file met by the walk; true when it was
    // counted (passed the type filter). filesProcessed grows either way.
    bool crunchNumbers(const FoundFile &f);
    // The day ages are measured from: the clock's date when a collection
    // starts (its first file after clear()), so a long-lived window's next
    // collection counts from its own day.
    std::function<QDate()> clock = [] { return QDate::currentDate(); };

    // For a parallel collection: a tally with this one's type filter,
    // overhang switch and today (this collection's, else the clock's), and
    // nothing counted, for one worker to count into.
    StatTallies emptyCopy() const;
    // Adds the counts of another tally (a worker's) to these.
    void add(const StatTallies &o);

    // insertType: adds one file of value bytes to the row of an extension
    // (or, with seed, makes sure the row exists without counting a file).
    // Extensions longer than five characters, dot included, get no row.
    void insertType(const QString &extension, int64_t value, bool seed);
    // The type table sorted by extension without regard to case.
    std::vector<TypeRow> typeRows() const;
    int typeCount() const { return int(types_.size()); }

    // True when a file name passes the type filter.
    bool isThisSelected(std::string_view name) const;

    // --- Pure helpers --------------------------------------------------------------
    // The entry's text from its second character up to its first tab, in lower
    // case ("*.doc\tWord" gives ".doc"); empty when it has no tab.
    static QString extractExtension(const QString &entry);
    // 1..12 by the size table (upper bounds inclusive).
    static int sizeBucket(int64_t size);
    static QString sizeLabel(int bucket);
    // Whole days between today and the stamp's date, either way; -1 for 0.
    // A stamp that is no valid date counts as 1 January 1980.
    static int fileAgeDays(DosDateTime s, const QDate &today);
    static int ageToIndex(int days);
    static QString ageLabel(int bucket);
    // The half hour of the day a stamp falls in (0..47), or -1 when it
    // carries no time of day: no stamp, or a time of exactly 00:00:00.
    static int halfHourSlot(DosDateTime s);
    // n in decimal padded with "0" on the left to ten characters.
    static QString zerofill(int64_t n);
    // The text without the locale's thousands separators.
    static QString stripCommas(const QString &text);
    // The cluster size used for the overhang arrow: the block size of the
    // drive's file system, 0 when unknown or not ready.
    static int64_t computeClusterSize(const QString &driveEntry);
    // A trial size's index (0..4), or -1 when it is none of them.
    static int trialIndex(int64_t clusterSize);

private:
    void addType(const std::string &key, int64_t value, bool seed);
    std::string typeKey(std::string_view name, bool &ok) const;

    QStringList chosen_;
    TempMatcher matcher_;
    QDate today_;
    struct Row {
        int64_t count = 0;
        int64_t bytes = 0;
    };
    // Keyed by the upper-case extension (UTF-8), so one extension has one row.
    std::unordered_map<std::string, Row> types_;
};

#pragma once
#include "common/DosTime.h"

#include <QDate>
#include <QString>
#include <cstdint>

struct FoundFile;

// What the dates window looks for: which stamp of a file, which range and
// the two dates. A scan takes one DateRange when it starts and tests every
// file against it, so the whole list answers one question.
struct DateRange {
    enum class Stamp { Accessed, Created, Modified }; // rgWhat
    enum class When { OnOrBefore, Between, OnOrAfter }; // rgWhen

    Stamp stamp = Stamp::Accessed;
    When when = When::Between;
    QDate start; // dtStart
    QDate end;   // dtEnd; used only for Between

    // The first and last days a date field offers: those a DOS date/time holds.
    static QDate minimumDate() { return {1980, 1, 1}; }
    static QDate maximumDate() { return {2107, 12, 31}; }

    // The file's stamp of the chosen kind (0 when it has none).
    DosDateTime stampOf(const FoundFile &f) const;
    // QinDateRange on a stamp: the stamp's calendar day against the dates,
    // both ends inclusive, the time of day ignored. A stamp of 0 (no such
    // stamp) is in range only for OnOrBefore.
    bool inRange(DosDateTime stamp) const;
    bool inRange(const FoundFile &f) const { return inRange(stampOf(f)); }

    // The report title, e.g. "Files Last accessed before 1/31/1998",
    // "Files Created between 1/1/2024 and 1/31/2024", "Files Modified after 1/1/1998".
    QString printTitle() const;

    // The grid line of a file: name, the three dates, size, folder, type.
    static QString line(const FoundFile &f);
    // The type text of a file in the grid (its extension's type name).
    static QString typeText(const FoundFile &f);

    // The date of a DOS stamp as one number that orders as the days do
    // (its upper 16 bits); 0 for no date. A calendar date gets the same
    // number from its year, month and day (0 outside 1980-2107).
    static uint32_t dayNumber(DosDateTime s) { return s >> 16; }
    static uint32_t dayNumber(const QDate &d);
};

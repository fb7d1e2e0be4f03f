#pragma once
#include <QDate>
#include <QDateTime>
#include <QLocale>
#include <QString>
#include <cstdint>
#include <ctime>
#include <memory>

// The packed DOS date/time stamp: bits 25-31 years since 1980, 21-24 month,
// 16-20 day, 11-15 hours, 5-10 minutes, 0-4 seconds / 2. 0 means no time.
using DosDateTime = uint32_t;

namespace DosTime {
// Packs a local date and time; 0 when it is invalid or outside 1980-2107.
DosDateTime pack(const QDateTime &local);
// Packs seconds since the epoch, converted to local time.
DosDateTime fromUnix(int64_t secs);
// The date and time fields as stored (no validity check).
int year(DosDateTime s);
int month(DosDateTime s);
int day(DosDateTime s);
int hour(DosDateTime s);
int minute(DosDateTime s);
int second(DosDateTime s);
// The date part; invalid QDate when the fields do not form a date.
QDate date(DosDateTime s);
// The time part; invalid QTime when the fields do not form a time.
QTime time(DosDateTime s);
// Both, as local time; invalid when either part is.
QDateTime unpack(DosDateTime s);
bool isValid(DosDateTime s);

// Converts many stamps as fromUnix does, faster: it remembers the local
// time's offset from UTC for the quarter hours it converted (a table of
// recent ones, by the quarter hour's number), so a walk asks the time-zone
// database about once per quarter hour of stamps met rather than once per
// stamp, even where the stamps of neighbouring files jump between a few
// times. Keep one for a run; a time-zone change during its life is not seen.
class Converter {
public:
    DosDateTime operator()(int64_t secs);

private:
    DosDateTime convert(int64_t secs);
    int64_t lastSecs_ = INT64_MIN; // the stamp last converted, and what it gave
    DosDateTime lastStamp_ = 0;
    struct Span {
        int64_t number = INT64_MIN; // the quarter hour (seconds / 900) whose offset is known
        int32_t offset = 0;
        bool uniform = false; // the offset holds for the whole quarter hour
    };
    static constexpr size_t kSpans = 4096;
    std::unique_ptr<Span[]> spans_; // by number modulo kSpans; made at the first stamp
    int64_t day_ = INT64_MIN;       // the local day (since 1970) last converted
    uint32_t date_ = 0;             // its date half; 0 outside 1980-2107
};
}

// The locale's short date format with a four-digit year, and its long time
// format without a time-zone part.
QString shortDateFormat();
QString longTimeFormat();
QString shortDateText(const QDate &d);
QString longTimeText(const QTime &t);

// Empty for 0; the short date; an invalid date gives the text of 1 January 1980.
QString dosDateText(DosDateTime s);
// The same in locale with format (shortDateFormat made once for many dates).
QString dosDateText(DosDateTime s, const QLocale &locale, const QString &format);
// Empty for 0; the long time; an invalid time gives "12:00:00".
QString dosTimeText(DosDateTime s);
// The same one second later when oddSecond: a stamp holds the seconds / 2,
// and where the file system's own time was read its odd second is kept
// beside the stamp, so the time shown is the second the file system holds.
QString dosTimeText(DosDateTime s, bool oddSecond);

// Whole days since 30 December 1899 (1 January 1998 is 35796).
int dateSerial(const QDate &d);

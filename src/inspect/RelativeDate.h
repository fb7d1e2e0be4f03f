#pragma once
#include <QDateTime>
#include <QString>

// How far a date lies from now in words: "Today", "Yesterday", "Tomorrow",
// "This week", "Last week", "Next week", "3 wks ago", "5 mons ago",
// "3 yrs 4 mons ago", "2 wks", "4 mons", "3 yrs 1 mon". Only the date parts
// count. Empty when d has no valid date.
QString relativeDateText(const QDateTime &d, const QDateTime &now);

#pragma once
#include "scan/GridLayout.h"

#include <QString>
#include <QStringList>
#include <cstdint>
#include <vector>

// Number and date texts of the statistics pages, and the row sort of their
// type listing.
namespace StatText {
// A value rounded to a whole number, with the locale's thousands separators.
QString wholeNumber(double value);
// The value with thousands separators and two decimals, less its last
// character, so one decimal remains (12.34 gives "12.3").
QString percent(double value);
// "Since " and the short date of a day number (days since 30 December 1899;
// a value that is no date shows 1 January 1980); empty when the number is
// below 0.
QString since(int64_t daySerial);
// The type of a row of the type table. A row holds every spelling of its
// extension (".c" and ".C"), so the lower-case spelling is looked up first
// (".C" alone names C++ source in the registry); a row without extension
// reads "No extension", and a name ending in "." reads "File".
QString typeName(const QString &extension);
// Sorts rows (each a list of cell texts) by one column: numbers read with
// the thousands separators dropped (unreadable is 0), or text without regard
// to a-z case. Equal keys keep their order.
void sortRows(std::vector<QStringList> &rows, int column, SortKind kind, bool descending);
}

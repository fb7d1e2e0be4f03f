#pragma once
#include <QString>

// The sort directions of the grids' sort entries, program-wide and kept for
// the whole run: closing and reopening a window does not reset them.
namespace SortDirections {
// The next direction of key; initial when the key has not been used yet.
bool descending(const QString &key, bool initial);
void setDescending(const QString &key, bool descending);
// Tests: forget every direction.
void resetForTests();
}

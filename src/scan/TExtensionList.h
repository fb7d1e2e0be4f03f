#pragma once
#include <QString>
#include <functional>

class QListWidget;
class QWidget;

// The Add, Delete and Clear all buttons shared by the editors of extension
// lists (temporary-file patterns, statistics file types).
namespace TExtensionList {
// Shows the extension picker; on OK hands each line to add: the one pattern
// with its type name (never an empty pattern or "*.*"), or each of several
// picked lines.
void addFromPicker(QWidget *parent, const std::function<void(const QString &line)> &add);
// Deletes the selected lines, asking "Really delete n extensions?" first
// when more than one is selected.
void deleteSelected(QListWidget *list);
// Empties the list after "Really clear out all extensions?".
void clearAll(QListWidget *list);
}

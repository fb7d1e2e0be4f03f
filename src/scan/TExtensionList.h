#pragma once
#include <QString>
#include <QStringList>
#include <functional>
#include <initializer_list>
#include <vector>

class QDialog;
class QLabel;
class QListWidget;
class QPushButton;
class QWidget;

// The editors of extension lists (temporary-file patterns, statistics file
// types): their shared controls and the Add, Delete and Clear all buttons.
namespace TExtensionList {
// A button of the column at the right of the list.
struct Button {
    const char *name;
    QString caption;
    QString tip;
    int y;
};
// The controls every such editor has, placed in its window as designed.
struct Editor {
    QLabel *title;
    QListWidget *list;
    QPushButton *add, *del, *clear, *close;
    std::vector<QPushButton *> more; // the window's own buttons, in order
};
// The bold title lblTitle above the list PickList1 (listHeight high,
// several lines may be selected), the buttons btAdd, btDelete and btClear
// at its right, then the window's own buttons (more) in that order, and
// btClose level with the list's foot. autoDefault: whether Enter presses
// the button that has the focus.
Editor placeEditor(QDialog *window, const QString &title, int listHeight, bool autoDefault,
                   std::initializer_list<Button> more = {});
// The lines of the list, in list order.
QStringList lines(const QListWidget *list);

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

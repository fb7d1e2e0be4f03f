#include "scan/TExtensionList.h"

#include "common/Dialogs.h"
#include "common/TModal.h"
#include "scan/TFixedWindow.h"
#include "scan/TfrmSelectExtension.h"

#include <QDialog>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>

namespace {
QPushButton *columnButton(QDialog *window, const TExtensionList::Button &b, bool autoDefault)
{
    auto *button = TFixedWindow::placed<QPushButton>(window, b.name, QRect(276, b.y, 87, 27), b.caption);
    button->setToolTip(b.tip);
    if (!autoDefault)
        button->setAutoDefault(false);
    return button;
}
}

TExtensionList::Editor TExtensionList::placeEditor(QDialog *window, const QString &title, int listHeight,
                                                   bool autoDefault, std::initializer_list<Button> more)
{
    Editor e;
    e.title = TFixedWindow::placed<QLabel>(window, "lblTitle", QRect(8, 6, 260, 20), title);
    QFont f = e.title->font();
    f.setBold(true);
    e.title->setFont(f);

    e.list = TFixedWindow::placed<QListWidget>(window, "PickList1", QRect(8, 28, 260, listHeight));
    e.list->setToolTip(QStringLiteral("List of temporary file extensions and types"));
    e.list->setSelectionMode(QAbstractItemView::ExtendedSelection);

    const auto button = [&](const Button &b) { return columnButton(window, b, autoDefault); };
    e.add = button({"btAdd", QStringLiteral("&Add"), QStringLiteral("Add a file extension to this list"), 28});
    e.del = button({"btDelete", QStringLiteral("&Delete"), QStringLiteral("Delete a file extension"), 60});
    e.clear = button({"btClear", QStringLiteral("&Clear all"), QStringLiteral("Clear all extensions"), 92});
    for (const Button &b : more)
        e.more.push_back(button(b));
    // Close's foot is level with the list's.
    e.close = button({"btClose", QStringLiteral("Close"), QStringLiteral("Close window"), 28 + listHeight - 27});
    return e;
}

QStringList TExtensionList::lines(const QListWidget *list)
{
    QStringList out;
    for (int i = 0; i < list->count(); ++i)
        out << list->item(i)->text();
    return out;
}

void TExtensionList::addFromPicker(QWidget *parent, const std::function<void(const QString &)> &add)
{
    TfrmSelectExtension picker(parent);
    if (TModal::exec(&picker) != QDialog::Accepted)
        return;
    if (picker.isSeveral()) {
        for (const QString &line : picker.selectedLines())
            add(line);
        return;
    }
    const QString pattern = picker.pattern();
    if (!pattern.isEmpty() && pattern != QLatin1String("*.*"))
        add(pattern + QLatin1Char('\t') + picker.typeName());
}

void TExtensionList::deleteSelected(QListWidget *list)
{
    const int count = int(list->selectedItems().size());
    if (count == 0)
        return;
    if (count > 1
        && dialogs().askYesNoCancel(QStringLiteral("Really delete %1 extensions?").arg(count)) != Dialogs::Answer::Yes)
        return;
    for (int i = list->count() - 1; i >= 0; --i)
        if (list->item(i)->isSelected())
            delete list->takeItem(i);
}

void TExtensionList::clearAll(QListWidget *list)
{
    if (dialogs().askYesNoCancel(QStringLiteral("Really clear out all extensions?")) == Dialogs::Answer::Yes)
        list->clear();
}

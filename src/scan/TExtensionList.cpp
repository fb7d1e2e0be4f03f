#include "scan/TExtensionList.h"

#include "common/Dialogs.h"
#include "common/TModal.h"
#include "scan/TfrmSelectExtension.h"

#include <QListWidget>

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

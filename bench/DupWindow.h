// The duplicate window set up for a benchmark: the tree mapped as drive D and
// the only drive checked, every size ("Larger or equal to 0 bytes"), and the
// given criterion chosen.
#pragma once

#include "settings/AppState.h"
#include "finders/TfrmDup.h"
#include "platform/Drives.h"
#include "scan/TDriveCheckList.h"

#include <QComboBox>
#include <QListWidget>
#include <QRadioButton>
#include <QSpinBox>
#include <memory>
#include <string>

namespace bench {

inline std::unique_ptr<TfrmDup> dupWindow(const std::string &root, int criterion)
{
    Drives::setMapping({{'D', root}});
    AppState::dupMode = true;
    auto w = std::make_unique<TfrmDup>();
    w->show();
    for (int i = 0; i < w->pckDrive->count(); ++i) {
        QListWidgetItem *it = w->pckDrive->item(i);
        it->setCheckState(it->text().startsWith('D') ? Qt::Checked : Qt::Unchecked);
    }
    w->pckDrive->pckDriveClick();
    w->rbLarger->setChecked(true);
    w->cbKB1->setCurrentIndex(0);
    w->num1->setValue(0);
    w->cbDup->setCurrentIndex(criterion);
    return w;
}

} // namespace bench

#include "settings/AppState.h"
#include "common/TModal.h"
#include "finders/TfrmClean.h"
#include "finders/TfrmDup.h"
#include "inspect/TfrmDetails.h"
#include "inspect/TViewer.h"
#include "inspect/TfrmView.h"
#include "common/Text.h"
#include "platform/Drives.h"
#include "platform/FileTypes.h"
#include "scan/ResultGridModel.h"
#include "scan/TDriveCheckList.h"
#include "scan/TResultGrid.h"
#include "support/InstalledTargets.h"
#include "support/ScriptedDialogs.h"
#include "support/TempTree.h"

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTest>
#include <gtest/gtest.h>

namespace {
// View and Details of every row of a grid open the viewer and the details
// window on that row's path as found.
void checkRows(TResultGrid &grid, QPushButton *details, const std::set<std::string> &expected)
{
    std::set<std::string> viewed, described;
    for (int r = 1; r <= grid.rowsFilled(); ++r) {
        grid.setSelectedRow(r);
        const std::string path = grid.gridModel()->path(r);
        TModal::push([&](QDialog *d) {
            auto *v = qobject_cast<TfrmView *>(d);
            ASSERT_TRUE(v);
            EXPECT_EQ(v->Viewer1->isOpen(), true) << path;
            viewed.insert(v->path());
            d->reject();
        });
        emit grid.PopupMenu1()->aboutToShow();
        ASSERT_TRUE(grid.action("View1")->isEnabled());
        grid.action("View1")->trigger();
        TModal::push([&](QDialog *d) {
            auto *w = qobject_cast<TfrmDetails *>(d);
            ASSERT_TRUE(w);
            EXPECT_EQ(w->lblFileName->text(), displayName(path));
            described.insert(w->path());
            d->reject();
        });
        ASSERT_TRUE(details->isEnabled());
        details->click();
    }
    EXPECT_EQ(TModal::pending(), 0u);
    EXPECT_EQ(viewed, expected);
    EXPECT_EQ(described, expected);
}
}

TEST(NavigationTargets, ViewAndDetailsFromQuickCleanAndDuplicates)
{
    ScriptedDialogs dlg;
    const InstalledTargets targets;
    FileTypes::setTableForTests({{".tmp", "Temporary file"}});
    TempTree t("drive");
    Drives::setMapping({{'C', t.root()}});
    const std::string tab = t.file("with\ttab.tmp", "tab name!\n");
    const std::string odd = t.file("caf\xe9.tmp", "not UTF-8\n");
    {
        TfrmClean w;
        w.show();
        w.btScan->click();
        ASSERT_EQ(w.grid->rowsFilled(), 2);
        checkRows(*w.grid, w.btDetails, {tab, odd});
    }
    {
        AppState::dupMode = true;
        TfrmDup w;
        w.show();
        for (int i = 0; i < w.pckDrive->count(); ++i)
            w.pckDrive->item(i)->setCheckState(w.pckDrive->item(i)->text().startsWith('C') ? Qt::Checked
                                                                                           : Qt::Unchecked);
        w.pckDrive->pckDriveClick();
        w.rbLarger->setChecked(true);
        w.cbKB1->setCurrentIndex(0);
        w.num1->setValue(0);
        w.cbDup->setCurrentIndex(3); // size only: the two 10-byte files
        w.btScan->click();
        ASSERT_EQ(w.grid->rowsFilled(), 2);
        checkRows(*w.grid, w.btDetails, {tab, odd});
        w.close();
    }
    Drives::setMapping({});
    FileTypes::setTableForTests({});
}

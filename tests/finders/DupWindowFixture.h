#pragma once
// The duplicate finder opened from the main window over a tree mapped as
// drive D:, shared by the finder's and the pair comparison's tests.
#include "settings/AppState.h"
#include "app/TfrmMain.h"
#include "common/TModal.h"
#include "finders/TfrmDup.h"
#include "common/Navigation.h"
#include "platform/Drives.h"
#include "platform/FileTypes.h"
#include "safety/FoldersFile.h"
#include "safety/TfrmReallyDelete.h"
#include "scan/TDriveCheckList.h"
#include "scan/TPatternBox.h"
#include "scan/TResultGrid.h"
#include "support/ScriptedDialogs.h"
#include "support/TempTree.h"
#include "support/TestEnv.h"

#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTest>
#include <gtest/gtest.h>

#include <functional>

namespace {
// A tree mapped as drive D:, a non-delete list file (so the main
// window's guard lets the finders open) and the main window.
class DupWindow : public testing::Test {
protected:
    // The finders reach the deletion window through the navigation service.
    Navigation::Registration deletion{Navigation::Target::DeleteFiles, &TfrmReallyDelete::navigate};
    ScriptedDialogs dialogs;
    TempTree t{"drive"};
    std::string d = t.dir("D");
    std::unique_ptr<TfrmMain> main;

    void SetUp() override
    {
        Drives::setMapping({{'D', d}});
        FileTypes::setTableForTests({{".txt", "Plain text document"}, {".bin", "Binary file"}});
        ASSERT_TRUE(FoldersFile::write({t.dir("protected") + "/"}));
        main = std::make_unique<TfrmMain>();
        main->show();
    }
    void TearDown() override
    {
        main.reset();
        TModal::clear();
        FileTypes::setTableForTests({});
        Drives::setMapping({});
    }

    // Opens the finder from the main window's button and runs body in it;
    // the window is closed afterwards unless body closed it. Returns the
    // window's modal result.
    int open(bool dupMode, const std::function<void(TfrmDup &)> &body)
    {
        int result = -1;
        bool ran = false;
        TModal::push([&](QDialog *dlg) {
            auto *w = qobject_cast<TfrmDup *>(dlg);
            ran = true;
            if (!w) {
                ADD_FAILURE() << "not the duplicate window";
                dlg->reject();
                return;
            }
            checkDriveD(*w);
            body(*w);
            if (w->isVisible())
                w->close();
        });
        if (dupMode)
            main->btDuplicateClick();
        else
            main->btFileHogClick();
        EXPECT_TRUE(ran);
        result = ran ? 0 : -1;
        return result;
    }

    static void checkDriveD(TfrmDup &w)
    {
        for (int i = 0; i < w.pckDrive->count(); ++i) {
            QListWidgetItem *it = w.pckDrive->item(i);
            it->setCheckState(it->text().startsWith('D') ? Qt::Checked : Qt::Unchecked);
        }
        w.pckDrive->pckDriveClick();
    }

    // The size choice in bytes.
    static void bytes(TfrmDup &w, QRadioButton *rb, int n1, int n2 = 0)
    {
        rb->setChecked(true);
        w.cbKB1->setCurrentIndex(0);
        w.num1->setValue(n1);
        w.num2->setValue(n2);
    }

    static QString cell(TfrmDup &w, int row, int col) { return w.grid->gridModel()->cell(row, col); }
    static QStringList column(TfrmDup &w, int col)
    {
        QStringList out;
        for (int r = 1; r <= w.grid->rowsFilled(); ++r)
            out << cell(w, r, col);
        return out;
    }
};
}

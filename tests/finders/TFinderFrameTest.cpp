#include "settings/AppState.h"
#include "common/Navigation.h"
#include "finders/TfrmClean.h"
#include "finders/TfrmDup.h"
#include "platform/Drives.h"
#include "scan/ParallelWalk.h"
#include "scan/SortDirections.h"
#include "scan/TDriveCheckList.h"
#include "scan/TResultGrid.h"
#include "support/ScriptedDialogs.h"
#include "support/SpontaneousShow.h"
#include "support/TempTree.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTest>
#include <gtest/gtest.h>

#include <functional>
#include <memory>

// The shared finder frame, seen through the two finders built on it.
namespace {
class FinderFrame : public testing::TestWithParam<bool> {
protected:
    ScriptedDialogs dlg;
    TempTree tree{"drive"};

    FinderFrame()
    {
        // Five files of one name: five duplicates, five temporary files.
        for (int i = 0; i < 5; ++i)
            tree.file("d" + std::to_string(i) + "/x.tmp", std::string(size_t(i + 1), 'x'));
        Drives::setMapping({{'C', tree.root()}});
        SortDirections::resetForTests();
    }
    ~FinderFrame() override { Drives::setMapping({}); }

    // The duplicate window (finding every size) or quick clean, shown.
    std::unique_ptr<TFinderFrame> open()
    {
        std::unique_ptr<TFinderFrame> w;
        if (GetParam()) {
            AppState::dupMode = true;
            auto *d = new TfrmDup;
            d->show();
            d->rbLarger->setChecked(true);
            d->cbKB1->setCurrentIndex(0);
            d->num1->setValue(0);
            w.reset(d);
        } else {
            w.reset(new TfrmClean);
            w->show();
        }
        return w;
    }

    // Runs a scan whose first pump point (inside the walk) runs during().
    // The walk runs on this thread, where its pump points lie between files.
    static void scanWith(TFinderFrame &w, const std::function<void()> &during)
    {
        ParallelWalk::setDefaultWorkers(0);
        struct Restore {
            ~Restore() { ParallelWalk::setDefaultWorkers(-1); }
        } restore;
        int64_t now = 0;
        int pumps = 0;
        w.walker().clockMs = [&now] { return now += 100; };
        w.walker().pump = [&] {
            if (++pumps == 1)
                during();
        };
        w.btScan->click();
        w.walker().pump = {};
        w.walker().clockMs = {};
    }
};
}

TEST_P(FinderFrame, CloseAndEscapeDuringAWalkAbortItAndCloseOnlyAfterwards)
{
    for (const char *how : {"close box", "Escape", "Close button"}) {
        auto w = open();
        bool stayed = false, closeOff = false;
        scanWith(*w, [&] {
            closeOff = !w->btClose->isEnabled() && w->btAbort->isVisible() && !w->pckDrive->isEnabled();
            if (std::string(how) == "Escape")
                QTest::keyClick(w.get(), Qt::Key_Escape);
            else if (std::string(how) == "close box")
                w->close();
            else
                w->btClose->click(); // disabled: nothing
            w->reject();             // Escape again (or at last): one abort, one warning
            stayed = w->isVisible();
        });
        EXPECT_TRUE(closeOff) << how;
        EXPECT_TRUE(stayed) << how;
        EXPECT_TRUE(w->isVisible()) << how;
        EXPECT_TRUE(w->walker().scanAborted) << how;
        EXPECT_LT(w->foundCount(), 5) << how;
        EXPECT_EQ(dlg.count("LIST INCOMPLETE ... ABORTED BY USER"), 1) << how;
        EXPECT_TRUE(w->btClose->isEnabled() && w->btScan->isEnabled() && w->pckDrive->isEnabled()) << how;
        QTest::keyClick(w.get(), Qt::Key_Escape);
        EXPECT_FALSE(w->isVisible()) << how;
        dlg.boxes.clear();
    }
}

TEST_P(FinderFrame, ASpontaneousShowKeepsResultsMarksAndAWalksControls)
{
    auto w = open();
    bool closeStayedOff = false;
    scanWith(*w, [&] {
        sendSpontaneousShow(w.get());
        closeStayedOff = !w->btClose->isEnabled() && w->btAbort->isVisible();
    });
    EXPECT_TRUE(closeStayedOff);
    ASSERT_EQ(w->foundCount(), 5);
    w->grid->MarkThisFile(2);
    w->grid->MarkThisFile(4);
    const QString status = w->pnlSel->text();

    sendSpontaneousShow(w.get());
    EXPECT_EQ(w->foundCount(), 5);
    EXPECT_EQ(w->grid->markedCount(), 2);
    EXPECT_TRUE(w->btDelete->isVisible() && w->btDelete->isEnabled());
    EXPECT_TRUE(w->btMark->isVisible());
    EXPECT_EQ(w->pnlSel->text(), status);

    // A show by the program is a new opening.
    w->hide();
    w->show();
    EXPECT_EQ(w->foundCount(), 0);
    EXPECT_EQ(w->grid->markedCount(), 0);
    EXPECT_FALSE(w->btDelete->isVisible());
}

TEST_P(FinderFrame, BrowseAndDetailsReachOnlyRegisteredWindows)
{
    auto w = open();
    w->btScan->click();
    ASSERT_EQ(w->foundCount(), 5);
    EXPECT_TRUE(w->btBrowse->isVisible() && w->btDetails->isVisible());
    EXPECT_FALSE(w->btBrowse->isEnabled());
    EXPECT_FALSE(w->btDetails->isEnabled());

    std::vector<Navigation::Request> browsed, detailed;
    Navigation::Registration browser(Navigation::Target::BrowseFolder, [&](const Navigation::Request &r) {
        browsed.push_back(r);
        return true;
    });
    Navigation::Registration details(Navigation::Target::FileDetails, [&](const Navigation::Request &r) {
        detailed.push_back(r);
        return true;
    });
    w->btScan->click();
    EXPECT_TRUE(w->btBrowse->isEnabled());
    EXPECT_TRUE(w->btDetails->isEnabled());
    w->grid->setSelectedRow(3);
    const std::string path = w->grid->selectedPath();
    w->btBrowse->click();
    w->btDetails->click();
    ASSERT_EQ(browsed.size(), 1u);
    EXPECT_EQ(browsed[0].path + "/" + browsed[0].selected, path);
    EXPECT_EQ(browsed[0].mask, GetParam() ? "*.*" : "");
    EXPECT_EQ(browsed[0].from, w.get());
    ASSERT_EQ(detailed.size(), 1u);
    EXPECT_EQ(detailed[0].path, path);
}

INSTANTIATE_TEST_SUITE_P(Finders, FinderFrame, testing::Values(true, false),
                         [](const testing::TestParamInfo<bool> &i) { return i.param ? "Duplicates" : "QuickClean"; });

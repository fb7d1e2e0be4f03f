#include "app/TfrmMain.h"
#include "common/Runs.h"
#include "common/TModal.h"
#include "platform/Drives.h"
#include "safety/FoldersFile.h"
#include "safety/NonDeleteList.h"
#include "scan/Walker.h"
#include "support/ScriptedDialogs.h"
#include "support/TempTree.h"

#include <QPushButton>
#include <gtest/gtest.h>

// A walk in one window lets the main window's events run; a tool started
// from there would run nested inside the walk. The main window refuses.
TEST(RunGuard, MainWindowStartsNoToolWhileAWalkRuns)
{
    ScriptedDialogs d;
    ASSERT_TRUE(FoldersFile::write({"/opt/protected/"}));
    nonDeleteList().load();
    TempTree t("drive");
    for (int i = 0; i < 3; ++i)
        t.file("f" + std::to_string(i));
    Drives::setMapping({{'D', t.root()}});
    TfrmMain main;
    main.show();

    TModal::push([](QDialog *dlg) { dlg->reject(); }); // must stay unused during the walk
    Walker w;
    int clicks = 0;
    w.visitor = [&](const FoundFile &) {
        if (clicks++ == 0)
            for (const char *name : {"btDuplicate", "btFileHog", "btClean", "btBuild", "btReach"})
                main.findChild<QPushButton *>(name)->click();
        return true;
    };
    w.scanAllDrives({QStringLiteral("D:")});
    EXPECT_EQ(clicks, 3);
    EXPECT_EQ(TModal::pending(), 1u);
    EXPECT_EQ(d.count("Please wait: a drive scan is still running. Let it finish or abort it, then try again."), 5);
    EXPECT_FALSE(Runs::anyRunning());

    // After the walk the same button opens its tool.
    main.findChild<QPushButton *>("btClean")->click();
    EXPECT_EQ(TModal::pending(), 0u);
    Drives::setMapping({});
}

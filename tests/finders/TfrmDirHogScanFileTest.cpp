#include "common/Navigation.h"
#include "common/TModal.h"
#include "finders/TfrmDirHog.h"
#include "finders/TfrmFolderMap.h"
#include "finders/TFolderMapView.h"
#include "platform/Drives.h"
#include "safety/TfrmDelDirectory.h"
#include "scan/ResultGridModel.h"
#include "scan/SortDirections.h"
#include "scan/TResultGrid.h"
#include "support/ScriptedDialogs.h"
#include "support/TempTree.h"

#include <QAction>
#include <QCheckBox>
#include <QCoreApplication>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

#include <fstream>

namespace {
// A scan file whose root names a folder that exists here (the test's tree):
// the window must still treat its folders as another machine's.
class DirHogScanFile : public testing::Test {
protected:
    DirHogScanFile()
        : tree("here"), removal(Navigation::Target::RemoveFolder, &TfrmDelDirectory::navigate),
          mapTarget(Navigation::Target::FolderMap, &TfrmFolderMap::navigate)
    {
        SortDirections::resetForTests();
        tree.sized("data/logs/l", 10);
        file = tree.path("scan.json");
        std::ofstream(file) << R"([1,2,{"progname":"ncdu","progver":"1.18","timestamp":1700000000},
[{"name":")" << tree.root() << R"(","asize":4096,"dev":1},
 {"name":"a","asize":300,"dsize":4096,"mtime":1690000000},
 [{"name":"data","asize":4096},
  [{"name":"logs","asize":4096},
   {"name":"l","asize":700,"dsize":8192}]],
 [{"name":"mnt","excluded":"othfs"}],
 [{"name":"empty","read_error":true}]]])";
    }
    ~DirHogScanFile() override { TModal::clear(); }

    static QStringList column(TfrmDirHog &w, int c)
    {
        QStringList out;
        for (int r = 1; r <= w.foundCount(); ++r)
            out << w.grid->gridModel()->cell(r, c);
        return out;
    }

    ScriptedDialogs dlg;
    TempTree tree;
    std::string file;
    Navigation::Registration removal, mapTarget;
};
}

TEST_F(DirHogScanFile, ShownAsAnAllFoldersScanWithoutActionsOnItsFolders)
{
    TfrmDirHog w;
    w.show();
    dlg.files.push_back(file);
    w.btOpenScan->click();
    ASSERT_TRUE(w.showsScanFile()) << (dlg.last() ? dlg.last()->text.toStdString() : "");
    // Rows of every folder with its own files, ranked by size; percents of
    // the scan's 1000 bytes; the date is the latest file's.
    EXPECT_EQ(column(w, 5), QStringList({QString::fromStdString(tree.path("data/logs")),
                                         QString::fromStdString(tree.root()),
                                         QString::fromStdString(tree.path("data")),
                                         QString::fromStdString(tree.path("empty"))}));
    EXPECT_EQ(column(w, 0), QStringList({"700", "300", "0", "0"}));
    EXPECT_EQ(column(w, 1), QStringList({"70.00", "30.00", "0.00", "0.00"}));
    EXPECT_EQ(column(w, 3), QStringList({"0", "2", "1", "0"})); // the mount is no sub-folder
    EXPECT_FALSE(w.grid->gridModel()->cell(2, 4).isEmpty());
    EXPECT_TRUE(w.windowTitle().contains("scan.json")) << w.windowTitle().toStdString();
    EXPECT_TRUE(w.windowTitle().contains("2023")) << w.windowTitle().toStdString();
    EXPECT_TRUE(w.pnlSel->text().contains("apparent")) << w.pnlSel->text().toStdString();
    EXPECT_TRUE(w.pnlSel->text().contains("1 on other file systems")) << w.pnlSel->text().toStdString();
    EXPECT_TRUE(w.pnlSel->text().contains("1 not read")) << w.pnlSel->text().toStdString();

    // Nothing acts on the folders: they are another machine's, even where a
    // folder of the same path exists here.
    for (QPushButton *b : {w.btDelete, w.btBrowse, w.btSaveScan})
        EXPECT_FALSE(b->isEnabled()) << b->objectName().toStdString();
    EXPECT_TRUE(w.btDelete->toolTip().contains("not of this one"));
    TModal::push([](QDialog *) { ADD_FAILURE() << "a window opened for a scan file's folder"; });
    w.grid->setSelectedRow(1);
    w.btDeleteClick();
    w.BrowseDirectory1Click();
    EXPECT_EQ(TModal::pending(), 1u);
    TModal::clear();

    bool mapped = false;
    TModal::push([&](QDialog *d) {
        auto *m = qobject_cast<TfrmFolderMap *>(d);
        ASSERT_TRUE(m);
        mapped = true;
        EXPECT_TRUE(m->windowTitle().contains("scan.json"));
        EXPECT_EQ(m->map()->nodes()[size_t(m->map()->top())].bytes, 1000);
        // Shares are of the scan, its top all of it.
        EXPECT_EQ(m->view->shareText(1000), "100.00 % of the scan");
        EXPECT_EQ(m->view->shareText(700), "70.00 % of the scan");
        const int data = m->map()->find(tree.path("data"));
        ASSERT_GE(data, 0);
        m->selectNode(data);
        TModal::push([](QDialog *) { ADD_FAILURE() << "the map opened a window for a scan file's folder"; });
        m->actClean->trigger();
        m->actBrowse->trigger();
        EXPECT_EQ(TModal::pending(), 1u);
        TModal::clear();
        m->close();
    });
    ASSERT_TRUE(w.btMap->isEnabled());
    w.btMap->click();
    EXPECT_TRUE(mapped);
    EXPECT_TRUE(TempTree::exists(tree.path("data/logs/l")));

    // The other size: the bytes on disk.
    w.chkDiskSize->setChecked(true);
    EXPECT_EQ(column(w, 0), QStringList({"8,192", "4,096", "0", "0"}));
    EXPECT_TRUE(w.pnlSel->text().contains("on disk"));
}

TEST_F(DirHogScanFile, AFolderHoldingTheWholeScanHasAllOfIt)
{
    std::ofstream(file) << R"([1,2,{"progname":"ncdu","progver":"1.18","timestamp":1700000000},
[{"name":"/srv/flat","asize":4096,"dev":1},{"name":"a","asize":300},{"name":"b","asize":700}]])";
    TfrmDirHog w;
    w.show();
    dlg.files.push_back(file);
    w.btOpenScan->click();
    ASSERT_TRUE(w.showsScanFile());
    EXPECT_EQ(column(w, 1), QStringList({"100.00"}));
}

TEST_F(DirHogScanFile, ABadFileChangesNothingShown)
{
    TfrmDirHog w;
    w.show();
    w.openScanFile(file);
    ASSERT_TRUE(w.showsScanFile());
    const QString title = w.windowTitle();
    const QStringList rows = column(w, 5);
    const std::string bad = tree.path("bad.json");
    std::ofstream(bad) << R"([1,2,{},[{"name":"/x"},{"name":"f","asize":1},)";
    w.openScanFile(bad);
    ASSERT_TRUE(dlg.last());
    EXPECT_TRUE(dlg.last()->text.contains("bad.json")) << dlg.last()->text.toStdString();
    EXPECT_TRUE(dlg.last()->text.contains("cut short")) << dlg.last()->text.toStdString();
    EXPECT_EQ(column(w, 5), rows);
    EXPECT_EQ(w.windowTitle(), title);
    EXPECT_FALSE(w.btDelete->isEnabled());
}

// Pictures of a scan file in folder hogs and the map, made when asked for
// (VANTOR_SHOTS: where to put them; VANTOR_SHOT_SCAN: the file to show).
TEST_F(DirHogScanFile, Pictures)
{
    const char *shots = std::getenv("VANTOR_SHOTS");
    const char *scan = std::getenv("VANTOR_SHOT_SCAN");
    if (!shots || !scan)
        GTEST_SKIP() << "VANTOR_SHOTS and VANTOR_SHOT_SCAN not set";
    TfrmDirHog w;
    w.show();
    w.resize(900, 600);
    w.openScanFile(scan);
    QCoreApplication::processEvents();
    w.grab().save(QString::fromLocal8Bit(shots) + QStringLiteral("/scanfile-dirhogs.png"));
    TModal::push([&](QDialog *d) {
        auto *m = qobject_cast<TfrmFolderMap *>(d);
        ASSERT_TRUE(m);
        m->resize(1100, 760);
        QCoreApplication::processEvents();
        m->grab().save(QString::fromLocal8Bit(shots) + QStringLiteral("/scanfile-map.png"));
        m->close();
    });
    w.btMap->click();
}

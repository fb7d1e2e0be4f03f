#include "common/Navigation.h"
#include "common/TModal.h"
#include "common/TPathLabel.h"
#include "common/Text.h"
#include "finders/FolderMap.h"
#include "finders/TFolderMapView.h"
#include "finders/TfrmBrowse.h"
#include "finders/TfrmDirHog.h"
#include "finders/TfrmFolderMap.h"
#include "platform/Drives.h"
#include "safety/TfrmDelDirectory.h"
#include "scan/SortDirections.h"
#include "scan/TResultGrid.h"
#include "support/ScriptedDialogs.h"
#include "support/TempTree.h"

#include <QMimeData>
#include <QUrl>
#include <QAction>
#include <QClipboard>
#include <QFileInfo>
#include <QGuiApplication>
#include <QCoreApplication>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>

namespace {
// Drive C: a small tree; folder hogs, the folder map and the folder removal
// window as the program registers them.
class FolderMapWindow : public testing::Test {
protected:
    FolderMapWindow()
        : tree("drive"), removal(Navigation::Target::RemoveFolder, &TfrmDelDirectory::navigate),
          mapTarget(Navigation::Target::FolderMap, &TfrmFolderMap::navigate)
    {
        Drives::setMapping({{'C', tree.root()}});
        SortDirections::resetForTests();
        tree.sized("data/a", 1000);
        tree.sized("data/b", 1000);
        tree.sized("data/old/x", 500);
        tree.sized("data/old/y", 500);
        tree.sized("media/big", 4000);
        tree.sized("top.txt", 50);
    }
    ~FolderMapWindow() override
    {
        Drives::setMapping({});
        TModal::clear();
    }

    int rowOf(TfrmDirHog &w, const std::string &rel) const
    {
        for (int r = 1; r <= w.foundCount(); ++r)
            if (w.grid->gridModel()->path(r) == tree.path(rel))
                return r;
        return 0;
    }
    int nodeOf(TfrmFolderMap &m, const std::string &rel) const { return m.map()->find(tree.path(rel)); }
    // The middle of a folder's tile in the map shown.
    static QPoint centreOf(TfrmFolderMap &m, int node)
    {
        const int t = m.view->tileOf(node);
        EXPECT_GE(t, 0) << "no tile for node " << node;
        return t < 0 ? QPoint() : m.view->tiles()[size_t(t)].rect.center().toPoint();
    }
    // A point on a folder's own tile rather than on a child's: its top left corner.
    static QPoint cornerOf(TfrmFolderMap &m, int node)
    {
        const int t = m.view->tileOf(node);
        EXPECT_GE(t, 0) << "no tile for node " << node;
        return t < 0 ? QPoint() : m.view->tiles()[size_t(t)].rect.topLeft().toPoint() + QPoint(4, 4);
    }
    // Opens the map from folder hogs and runs drive in it.
    static void openMap(TfrmDirHog &w, const std::function<void(TfrmFolderMap &)> &drive)
    {
        bool ran = false;
        TModal::push([&](QDialog *d) {
            auto *m = qobject_cast<TfrmFolderMap *>(d);
            ASSERT_TRUE(m);
            ran = true;
            drive(*m);
            m->close();
        });
        w.btMap->click();
        EXPECT_TRUE(ran) << "the map did not open";
    }

    ScriptedDialogs dlg;
    TempTree tree;
    Navigation::Registration removal, mapTarget;
};
}

TEST_F(FolderMapWindow, MapButtonNeedsAnAllFoldersScanWithRows)
{
    TfrmDirHog w;
    w.show();
    EXPECT_EQ(w.btMap->text(), "Ma&p");
    EXPECT_FALSE(w.btMap->isVisible());
    w.btTop->click();
    EXPECT_TRUE(w.btMap->isVisible());
    EXPECT_FALSE(w.btMap->isEnabled()); // main folders carry no folder tree
    w.btAll->click();
    EXPECT_TRUE(w.btMap->isEnabled());
    w.btTop->click();
    EXPECT_FALSE(w.btMap->isEnabled());
    TModal::push([](QDialog *) { ADD_FAILURE() << "no map without all folders"; });
    w.btMap->click();
    EXPECT_EQ(TModal::pending(), 1u);
    TModal::clear();

    // An all-folders scan that finds nothing.
    Drives::setMapping({{'C', tree.dir("empty")}});
    w.btAll->click();
    EXPECT_EQ(w.foundCount(), 0);
    EXPECT_FALSE(w.btMap->isEnabled());
}

TEST_F(FolderMapWindow, AClickSelectsTheRowAndDoubleClickAndBackspaceZoom)
{
    TfrmDirHog w;
    w.show();
    w.btAll->click();
    w.grid->setSelectedRow(rowOf(w, "media"));
    openMap(w, [&](TfrmFolderMap &m) {
        EXPECT_EQ(m.windowTitle(), "Folder map");
        const FolderMap::Node &top = m.map()->nodes()[size_t(m.zoom())];
        EXPECT_EQ(m.map()->path(m.zoom()), tree.root());
        EXPECT_EQ(top.bytes, 7050);
        EXPECT_FALSE(m.btZoomOut->isEnabled());

        const int old = nodeOf(m, "data/old");
        // Hovering names the folder; its tip has the whole path, bytes, files and share.
        QTest::mouseMove(m.view, centreOf(m, old));
        EXPECT_TRUE(m.pnlPath->text().endsWith(QString::fromStdString(tree.path("data/old")))) // its files' tile
            << m.pnlPath->text().toStdString();
        const QStringList tip = m.view->tileToolTip(m.view->tiles()[size_t(m.view->tileOf(old))]).split('\n');
        ASSERT_EQ(tip.size(), 4);
        EXPECT_EQ(tip[0].toStdString(), tree.path("data/old"));
        EXPECT_EQ(tip[1], "1,000 bytes (1,000 bytes)");
        EXPECT_EQ(tip[2], "2 files");
        EXPECT_TRUE(tip[3].endsWith(" % of the drive")) << tip[3].toStdString();
        QTest::mouseClick(m.view, Qt::LeftButton, {}, centreOf(m, old));
        EXPECT_EQ(m.selectedNode(), old);
        EXPECT_EQ(w.grid->selectedRow(), rowOf(w, "data/old"));

        // A double click on data shows data alone; its path heads the map.
        const int data = nodeOf(m, "data");
        QTest::mouseDClick(m.view, Qt::LeftButton, {}, cornerOf(m, data));
        EXPECT_EQ(m.zoom(), data);
        EXPECT_EQ(m.lblZoom->path().toStdString(), tree.path("data"));
        EXPECT_TRUE(m.btZoomOut->isEnabled());
        EXPECT_EQ(m.view->tiles()[0].bytes, 3000);
        EXPECT_EQ(m.view->tileOf(nodeOf(m, "media")), -1);

        // A folder without sub-folders is not zoomed into, by Enter either.
        m.selectNode(old);
        QTest::keyClick(m.view, Qt::Key_Return);
        EXPECT_EQ(m.zoom(), data);

        QTest::keyClick(m.view, Qt::Key_Backspace);
        EXPECT_EQ(m.zoom(), m.map()->top());
        EXPECT_EQ(m.selectedNode(), data); // the folder left stays chosen
        EXPECT_EQ(w.grid->selectedRow(), rowOf(w, "data"));
        QTest::keyClick(m.view, Qt::Key_Enter);
        EXPECT_EQ(m.zoom(), data);
        m.btZoomOut->click();
        EXPECT_EQ(m.zoom(), m.map()->top());

        m.actCopyPath->trigger();
        EXPECT_EQ(QGuiApplication::clipboard()->text().toStdString(), tree.path("data"));
        ASSERT_TRUE(QGuiApplication::clipboard()->mimeData());
        EXPECT_EQ(QGuiApplication::clipboard()->mimeData()->urls(), QList<QUrl>{QUrl::fromLocalFile(QString::fromStdString(tree.path("data")))});
    });
    EXPECT_TRUE(dlg.boxes.empty());
}

TEST_F(FolderMapWindow, CleanThroughTheMapRemovesTheFolderAndUpdatesMapAndGrid)
{
    TfrmDirHog w;
    w.show();
    w.btAll->click();
    const int oldRow = rowOf(w, "data/old");
    const int dataRow = rowOf(w, "data");
    openMap(w, [&](TfrmFolderMap &m) {
        // The drive's root is refused without opening anything.
        TModal::push([](QDialog *) { ADD_FAILURE() << "the root went to the removal window"; });
        m.selectNode(m.map()->top());
        m.actClean->trigger();
        EXPECT_EQ(dlg.last()->text, "You cannot delete the root folder using Vantor 95");
        TModal::clear();

        const int old = nodeOf(m, "data/old");
        QTest::mouseClick(m.view, Qt::LeftButton, {}, centreOf(m, old));
        ASSERT_EQ(m.selectedNode(), old);
        // Enter starts no removal.
        TModal::push([](QDialog *) { ADD_FAILURE() << "Enter opened a window"; });
        QTest::keyClick(m.view, Qt::Key_Return);
        QTest::keyClick(&m, Qt::Key_Return);
        EXPECT_EQ(TModal::pending(), 1u);
        TModal::clear();
        ASSERT_TRUE(TempTree::exists(tree.path("data/old")));

        TModal::push([](QDialog *d) {
            auto *r = qobject_cast<TfrmDelDirectory *>(d);
            ASSERT_TRUE(r);
            QTest::mouseClick(r->btDelete, Qt::LeftButton);
        });
        ASSERT_TRUE(m.actClean->isEnabled());
        m.actClean->trigger();
        EXPECT_EQ(TModal::pending(), 0u);
        EXPECT_FALSE(TempTree::exists(tree.path("data/old")));
        EXPECT_EQ(m.map()->find(tree.path("data/old")), -1);
        EXPECT_EQ(m.view->tileOf(old), -1);
        EXPECT_EQ(m.map()->nodes()[size_t(nodeOf(m, "data"))].bytes, 2000);
        EXPECT_EQ(m.map()->nodes()[size_t(m.map()->top())].bytes, 6050);
        EXPECT_EQ(m.selectedNode(), -1);
        // The status no longer names the folder that went.
        EXPECT_FALSE(m.pnlPath->text().contains(QString::fromStdString(tree.path("data/old"))))
            << m.pnlPath->text().toStdString();
    });
    for (const char *kept : {"data/a", "data/b", "media/big", "top.txt"})
        EXPECT_TRUE(TempTree::exists(tree.path(kept))) << kept;
    EXPECT_EQ(w.grid->gridModel()->cell(oldRow, 0), "DELETED");
    // A folder that went holds no files and no sub-folders any more.
    for (int c : {1, 2, 3, 4})
        EXPECT_EQ(w.grid->gridModel()->cell(oldRow, c), "") << c;
    EXPECT_EQ(w.grid->gridModel()->cell(dataRow, 3), "0"); // data lost its sub-folder
    EXPECT_EQ(w.findChild<QLabel *>("pnlScan")->text(), "Folders : 3");

    // Opened again, the map leaves the removed folder out.
    openMap(w, [&](TfrmFolderMap &m) {
        EXPECT_EQ(nodeOf(m, "data/old"), -1);
        EXPECT_EQ(m.map()->nodes()[size_t(m.map()->top())].bytes, 6050);
    });
}

TEST_F(FolderMapWindow, APartRemovalLeavesTheFolderWithWhatIsLeftInMapAndGrid)
{
    // Every file is read-only: Yes to the first question, No to the second
    // (the removal stops there), whatever the order.
    const std::vector<std::pair<const char *, int64_t>> files{
        {"data/a", 1000}, {"data/b", 1000}, {"data/old/x", 500}, {"data/old/y", 500}};
    for (const auto &f : files)
        ::chmod(tree.path(f.first).c_str(), 0444);
    TfrmDirHog w;
    w.show();
    w.btAll->click();
    int64_t left = 0, count = 0, ownLeft = 0;
    openMap(w, [&](TfrmFolderMap &m) {
        const int data = nodeOf(m, "data");
        QTest::mouseClick(m.view, Qt::LeftButton, {}, cornerOf(m, data));
        ASSERT_EQ(m.selectedNode(), data);
        dlg.answer(Dialogs::Answer::Yes);
        dlg.answer(Dialogs::Answer::No);
        TModal::push([](QDialog *d) {
            auto *r = qobject_cast<TfrmDelDirectory *>(d);
            ASSERT_TRUE(r);
            QTest::mouseClick(r->btDelete, Qt::LeftButton);
        });
        m.actClean->trigger();
        ASSERT_TRUE(TempTree::exists(tree.path("data")));
        for (const auto &[f, size] : files)
            if (TempTree::exists(tree.path(f))) {
                left += size;
                ++count;
                ownLeft += f[5] == 'o' ? 0 : size;
            }
        ASSERT_EQ(count, 3);
        const FolderMap::Node &n = m.map()->nodes()[size_t(data)];
        EXPECT_EQ(n.bytes, left);
        EXPECT_EQ(n.files, 3);
        EXPECT_TRUE(n.children.empty());
        EXPECT_EQ(m.map()->nodes()[size_t(m.map()->top())].bytes, left + 4050);
    });
    EXPECT_EQ(w.grid->gridModel()->cell(rowOf(w, "data"), 0), formatThousands(ownLeft));
}

// The map counts a file with two names once and a symbolic link as no file
// (its own bytes count, as du -b counts them), and writes sizes in binary
// multiples with their binary names.
TEST_F(FolderMapWindow, TheMapCountsAFileOnceAndNoLinkAsAFile)
{
    tree.sized("hl/a", 100000);
    tree.dir("hl/sub");
    ASSERT_EQ(::link(tree.path("hl/a").c_str(), tree.path("hl/sub/a2").c_str()), 0);
    ASSERT_EQ(::symlink("0123456789a", tree.path("hl/ln").c_str()), 0); // 11 bytes
    TfrmBrowse b;
    b.setStart(tree.path("hl"));
    b.show();
    bool ran = false;
    TModal::push([&](QDialog *d) {
        auto *m = qobject_cast<TfrmFolderMap *>(d);
        ASSERT_TRUE(m);
        ran = true;
        const FolderMap::Node &top = m->map()->nodes()[size_t(m->zoom())];
        EXPECT_EQ(top.bytes, 100011);
        EXPECT_EQ(top.files, 1);
        const QStringList tip = m->view->tileToolTip(m->view->tiles()[0]).split('\n');
        ASSERT_GE(tip.size(), 3);
        EXPECT_EQ(tip[1], "100,011 bytes (97.7 KiB)");
        EXPECT_EQ(tip[2], "1 file");
        EXPECT_TRUE(m->pnlTotal->text().startsWith("97.7 KiB in 1 file")) << m->pnlTotal->text().toStdString();
        if (const char *shots = std::getenv("VANTOR_SHOTS")) {
            m->resize(700, 480);
            QCoreApplication::processEvents();
            QTest::mouseMove(m->view, m->view->tiles()[0].rect.center().toPoint());
            m->grab().save(QString::fromLocal8Bit(shots) + QStringLiteral("/foldermap-links.png"));
        }
        m->close();
    });
    b.btMap->click();
    EXPECT_TRUE(ran);
}

TEST_F(FolderMapWindow, TheBrowserMapsTheFolderItShowsByWalkingIt)
{
    TfrmBrowse b;
    b.setStart(tree.path("data"));
    b.show();
    ASSERT_TRUE(b.btMap->isEnabled());
    bool ran = false;
    TModal::push([&](QDialog *d) {
        auto *m = qobject_cast<TfrmFolderMap *>(d);
        ASSERT_TRUE(m);
        ran = true;
        EXPECT_FALSE(m->walking());
        const FolderMap::Node &top = m->map()->nodes()[size_t(m->zoom())];
        EXPECT_EQ(m->map()->path(m->zoom()), tree.path("data"));
        EXPECT_EQ(top.bytes, 3000);
        EXPECT_EQ(top.files, 4);
        EXPECT_GE(m->map()->find(tree.path("data/old")), 0);
        EXPECT_EQ(m->map()->find(tree.path("media")), -1);
        dlg.printPdf = QString::fromStdString(tree.path("map.pdf"));
        m->btPrint->click();
        m->close();
    });
    b.btMap->click();
    EXPECT_TRUE(ran);
    EXPECT_EQ(b.currentFolder(), tree.path("data"));
    EXPECT_GT(QFileInfo(QString::fromStdString(tree.path("map.pdf"))).size(), 1000);
}

// VANTOR_SHOTS=<folder> (and VANTOR_SHOT_ROOT, else /usr): pictures of the
// map of a real tree opened from folder hogs, for a person to look at.
TEST_F(FolderMapWindow, Pictures)
{
    const char *shots = std::getenv("VANTOR_SHOTS");
    if (!shots)
        GTEST_SKIP() << "VANTOR_SHOTS not set";
    const char *root = std::getenv("VANTOR_SHOT_ROOT");
    Drives::setMapping({{'C', root ? root : "/usr"}});
    TfrmDirHog w;
    w.show();
    w.btAll->click();
    w.grab().save(QString::fromLocal8Bit(shots) + QStringLiteral("/dirhogs.png"));
    openMap(w, [&](TfrmFolderMap &m) {
        m.resize(1100, 760);
        QCoreApplication::processEvents();
        m.grab().save(QString::fromLocal8Bit(shots) + QStringLiteral("/foldermap.png"));
        const int first = m.view->tiles().size() > 1 ? m.view->tiles()[1].node : -1;
        m.zoomIn(first);
        if (m.view->tiles().size() > 1)
            m.selectNode(m.view->tiles()[1].node);
        m.grab().save(QString::fromLocal8Bit(shots) + QStringLiteral("/foldermap-zoomed.png"));
    });
}

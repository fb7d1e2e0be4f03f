#include "platform/Drives.h"
#include "scan/SubFolders.h"
#include "scan/TDriveBox.h"
#include "scan/TFolderTree.h"
#include "support/TempTree.h"

#include <QSignalSpy>
#include <gtest/gtest.h>

#include <unistd.h>

namespace {
std::vector<QString> childTexts(const QTreeWidgetItem *item)
{
    std::vector<QString> v;
    for (int i = 0; i < item->childCount(); ++i)
        v.push_back(item->child(i)->text(0));
    return v;
}
}

TEST(TFolderTree, ShowsRealVisibleFoldersOnlyAndReadsThemWhenOpened)
{
    TempTree t("tree");
    t.dir("D/beta/inner/deepest");
    t.dir("D/Alpha");
    t.dir("D/.hidden/below");
    t.file("D/file.txt", "not a folder");
    ASSERT_EQ(symlink(t.dir("elsewhere").c_str(), t.path("D/link").c_str()), 0);
    EXPECT_EQ(SubFolders::list(t.path("D")), (std::vector<std::string>{"Alpha", "beta"}));

    Drives::setMapping({{'D', t.path("D")}, {'E', t.dir("E")}});
    TDriveBox box;
    box.fillDriveList();
    TFolderTree tree;
    tree.attachDriveBox(&box);
    tree.setFolder(t.path("D/beta/inner"));
    EXPECT_EQ(box.drive()->letter, 'D');
    EXPECT_EQ(tree.root(), t.path("D"));
    EXPECT_EQ(tree.selectedFolder(), t.path("D/beta/inner"));
    const QTreeWidgetItem *top = tree.topLevelItem(0);
    EXPECT_EQ(childTexts(top), (std::vector<QString>{"Alpha", "beta"}));
    // Alpha has not been read yet; beta was read on the way down.
    EXPECT_EQ(top->child(0)->childCount(), 0);
    EXPECT_EQ(childTexts(top->child(1)), std::vector<QString>{"inner"});

    // A hidden folder the caller names is shown all the same.
    tree.setFolder(t.path("D/.hidden/below"));
    EXPECT_EQ(tree.selectedFolder(), t.path("D/.hidden/below"));

    // A folder made meanwhile appears on refresh; the selection stays.
    t.dir("D/beta/inner/new");
    tree.setFolder(t.path("D/beta/inner"));
    tree.refresh();
    EXPECT_EQ(tree.selectedFolder(), t.path("D/beta/inner"));
    EXPECT_EQ(childTexts(tree.currentItem()), (std::vector<QString>{"deepest", "new"}));

    // Choosing a drive in the box shows its tree.
    QSignalSpy changed(&tree, &TFolderTree::folderChanged);
    box.setCurrentIndex(box.findText("e:", Qt::MatchStartsWith));
    emit box.activated(box.currentIndex());
    EXPECT_EQ(tree.root(), t.path("E"));
    ASSERT_FALSE(changed.isEmpty());
    EXPECT_EQ(changed.last().at(0).toByteArray().toStdString(), t.path("E"));
    Drives::setMapping({});
}

#include "scan/TDriveCheckList.h"
#include "scan/TDriveIcons.h"

#include "platform/Drives.h"
#include "support/TempTree.h"

#include <QPushButton>
#include <QWidget>
#include <gtest/gtest.h>

#include <unistd.h>

namespace {
Drive drive(char letter, const std::string &root, DriveType type, const QString &label = {})
{
    Drive d;
    d.letter = letter;
    d.root = root;
    d.type = type;
    d.volumeLabel = label;
    d.label = label.isEmpty() ? QString::fromStdString(root) : label;
    if (type == DriveType::Network)
        d.networkPath = "\\\\nas\\photos";
    return d;
}

struct FixedDrives {
    explicit FixedDrives(const std::vector<Drive> &d) { Drives::setDrives(d); }
    ~FixedDrives()
    {
        Drives::setDrives({});
        (void)::chdir("/");
    }
};

QStringList texts(const TDriveCheckList &l)
{
    QStringList out;
    for (int i = 0; i < l.count(); ++i)
        out << l.item(i)->text();
    return out;
}
}

TEST(TDriveCheckList, ListsEveryDriveAndChecksTheCurrentOne)
{
    TempTree c("c"), e("e");
    FixedDrives f({drive('C', c.root(), DriveType::Fixed, "System"), drive('D', "/media/stick", DriveType::Removable),
                   drive('E', e.root(), DriveType::Fixed), drive('X', "/mnt/nas", DriveType::Network)});
    ASSERT_EQ(::chdir(e.root().c_str()), 0);
    QWidget panel;
    QPushButton start("&Start", &panel);
    TDriveCheckList list(&panel);
    list.setStartButton(&start);
    list.fillDriveList();
    EXPECT_EQ(list.objectName(), "pckDrive");
    EXPECT_EQ(list.size(), QSize(209, 132));
    EXPECT_EQ(list.visualItemRect(list.item(0)).height(), 16);
    EXPECT_EQ(texts(list), QStringList({"C: [SYSTEM]", "D:", "E: [" + QString::fromStdString(e.root()) + "]",
                                        "X: \\\\NAS\\PHOTOS"}));
    EXPECT_EQ(list.checkedEntries(), QStringList({texts(list)[2]}));
    EXPECT_FALSE(list.item(0)->icon().isNull());
    EXPECT_TRUE(start.isEnabled());

    // The wizard's list is in lower case.
    TDriveCheckList lower(&panel, false);
    lower.fillDriveList();
    EXPECT_EQ(texts(lower)[0], "c: [system]");
    EXPECT_EQ(texts(lower)[1], "d:");
}

TEST(TDriveCheckList, WithoutTheCurrentDriveEveryCEntryIsChecked)
{
    FixedDrives f({drive('C', "/nowhere/c", DriveType::Fixed), drive('D', "/nowhere/d", DriveType::Fixed)});
    ASSERT_EQ(::chdir("/"), 0);
    QPushButton start("&Start");
    TDriveCheckList list;
    list.setStartButton(&start);
    list.fillDriveList();
    EXPECT_EQ(list.checkedEntries(), QStringList({"C: [/nowhere/c]"}));

    FixedDrives g({drive('D', "/nowhere/d", DriveType::Fixed)});
    list.fillDriveList();
    EXPECT_TRUE(list.checkedEntries().isEmpty());
    EXPECT_FALSE(start.isEnabled()); // nothing checked: no scan can start
}

TEST(TDriveCheckList, StartFollowsTheChecksAndTheListKeepsToTheRightEdge)
{
    FixedDrives f({drive('C', "/a", DriveType::Fixed), drive('D', "/b", DriveType::Fixed),
                   drive('E', "/c", DriveType::Fixed)});
    QWidget window;
    window.resize(640, 478);
    QPushButton start("&Start", &window);
    TDriveCheckList list(&window);
    list.move(100, 20);
    list.keepAtRight();
    list.setStartButton(&start);
    list.fillDriveList();
    window.show();
    EXPECT_EQ(list.x(), 640 - 209 - 8);
    window.resize(800, 478);
    EXPECT_EQ(list.x(), 800 - 209 - 8);
    EXPECT_EQ(list.y(), 20);

    ASSERT_TRUE(start.isEnabled()); // C checked at first
    list.item(1)->setCheckState(Qt::Checked);
    list.item(2)->setCheckState(Qt::Checked);
    EXPECT_TRUE(start.isEnabled());
    for (int i = 0; i < 3; ++i)
        list.item(i)->setCheckState(Qt::Unchecked);
    EXPECT_FALSE(start.isEnabled());
    list.item(1)->setCheckState(Qt::Checked);
    EXPECT_TRUE(start.isEnabled());
    EXPECT_EQ(list.checkedEntries(), QStringList({"D: [/b]"}));
}

TEST(TDriveCheckList, EveryDriveTypeHasAnIcon)
{
    for (DriveType t : {DriveType::Fixed, DriveType::Removable, DriveType::Network, DriveType::CdRom, DriveType::RamDisk})
        EXPECT_FALSE(TDriveIcons::icon(t).isNull()) << int(t);
}

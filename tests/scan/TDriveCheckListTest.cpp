#include "scan/TDriveCheckList.h"
#include "scan/TDriveIcons.h"

#include "platform/Drives.h"
#include "support/TempTree.h"

#include <QImage>
#include <QPushButton>
#include <QWidget>
#include <gtest/gtest.h>

#include <cmath>
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

// The frame keeps all four sides in pictures at 1.25 (120 dots per inch),
// wherever the list lies: its contents then lie at fractional device pixels
// and are filled out over the frame. At 1 it is drawn all round as before.
TEST(TDriveCheckList, TheFrameKeepsItsFourSidesAtAFractionalScale)
{
    FixedDrives f({drive('C', "/a", DriveType::Fixed), drive('D', "/b", DriveType::Fixed)});
    QWidget window;
    window.resize(300, 200);
    TDriveCheckList list(&window);
    list.fillDriveList();
    window.show();
    auto picture = [&window](qreal ratio) {
        QImage image((QSizeF(window.size()) * ratio).toSize(), QImage::Format_ARGB32_Premultiplied);
        image.setDevicePixelRatio(ratio);
        image.fill(Qt::magenta);
        window.render(&image);
        return image;
    };
    list.move(8, 8);
    const QImage whole = picture(1);
    const QRgb frame = whole.pixel(8, 8 + 66);
    for (const QPoint p : {QPoint(8 + 208, 8 + 66), QPoint(8 + 104, 8), QPoint(8 + 104, 8 + 131)})
        ASSERT_EQ(whole.pixel(p), frame) << p.x() << "," << p.y();
    ASSERT_NE(whole.pixel(8 + 104, 8 + 66), frame);

    // Each side: one of its two outermost device pixels, at its middle, is
    // the frame's; the list at each fractional phase of 1.25.
    constexpr qreal r = 1.25;
    for (int phase = 0; phase < 4; ++phase) {
        list.move(8 + phase, 8 + phase);
        const QImage scaled = picture(r);
        const int left = int(std::floor(list.x() * r)), right = int(std::ceil((list.x() + 209) * r)) - 1;
        const int top = int(std::floor(list.y() * r)), bottom = int(std::ceil((list.y() + 132) * r)) - 1;
        const int midX = (left + right) / 2, midY = (top + bottom) / 2;
        auto side = [&](QPoint outer, QPoint inward) {
            return scaled.pixel(outer) == frame || scaled.pixel(outer + inward) == frame;
        };
        EXPECT_TRUE(side({left, midY}, {1, 0})) << "left, phase " << phase;
        EXPECT_TRUE(side({right, midY}, {-1, 0})) << "right, phase " << phase;
        EXPECT_TRUE(side({midX, top}, {0, 1})) << "top, phase " << phase;
        EXPECT_TRUE(side({midX, bottom}, {0, -1})) << "bottom, phase " << phase;
    }
}

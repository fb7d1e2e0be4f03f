#include "inspect/FileDetails.h"
#include "platform/DirReader.h"
#include "platform/FileTypes.h"
#include "support/TempTree.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

TEST(FileDetails, ClusterFigures)
{
    EXPECT_EQ(FileDetails::wastedClusterSpace(0, 4096), "Cluster size: 4,096  Clusters used : 0");
    EXPECT_EQ(FileDetails::wastedClusterSpace(1, 4096), "Cluster size: 4,096  Clusters used : 1");
    EXPECT_EQ(FileDetails::wastedClusterSpace(4096, 4096), "Cluster size: 4,096  Clusters used : 1");
    EXPECT_EQ(FileDetails::wastedClusterSpace(4097, 4096), "Cluster size: 4,096  Clusters used : 2");
    EXPECT_EQ(FileDetails::wastedClusterSpace(5000000000, 512), "Cluster size: 512  Clusters used : 9,765,625");
    EXPECT_EQ(FileDetails::wastedClusterSpace(100, 0), "Cluster size: unknown");
}

TEST(FileDetails, AttributesAndDates)
{
    EXPECT_EQ(FileDetails::attributeText(FileAttr::ReadOnly | FileAttr::Hidden | FileAttr::Archive),
              " ReadOnly Hidden Archive");
    EXPECT_EQ(FileDetails::attributeText(0xFF), " ReadOnly Hidden System VolumeID Directory Archive");
    const QDateTime now(QDate(2026, 12, 8), QTime(12, 0));
    EXPECT_EQ(FileDetails::dateText(0, now), "???");
    EXPECT_EQ(FileDetails::dateText(DosTime::pack(QDateTime(QDate(2026, 12, 8), QTime(1, 2, 4))), now),
              shortDateText(QDate(2026, 12, 8)) + "  Today");
}

TEST(FileDetails, DescribesFilesFoldersAndLinksThemselves)
{
    FileTypes::setTableForTests({{".txt", "Plain text document"}});
    TempTree t;
    const std::string file = t.sized("notes.txt", 10000);
    const QDate fortyMonths = QDate::currentDate().addMonths(-40);
    TempTree::setTimes(file, QDateTime(fortyMonths, QTime(9, 0)).toSecsSinceEpoch(),
                       QDateTime::currentSecsSinceEpoch());
    const QDateTime now = QDateTime::currentDateTime();
    const auto d = FileDetails::describe(file, now);
    ASSERT_TRUE(d);
    EXPECT_EQ(d->fileName, QString::fromStdString(file));
    EXPECT_EQ(d->fileType, "Plain text document");
    EXPECT_EQ(d->sizeBytes, "10,000 bytes");
    EXPECT_TRUE(d->sizeClusters.startsWith("Cluster size: ")) << d->sizeClusters.toStdString();
    EXPECT_EQ(d->modified, shortDateText(fortyMonths) + "  3 yrs 4 mons ago");
    EXPECT_TRUE(d->accessed.endsWith("  Today")) << d->accessed.toStdString();
    EXPECT_EQ(d->attributes, " Archive");

    const auto folder = FileDetails::describe(t.dir("sub.d"), now);
    ASSERT_TRUE(folder);
    EXPECT_TRUE(folder->folder);
    EXPECT_EQ(folder->attributes, " Directory");
    EXPECT_EQ(folder->sizeBytes, "0 bytes");

    const std::string link = t.path(".link");
    ASSERT_EQ(::symlink("notes.txt", link.c_str()), 0);
    const auto l = FileDetails::describe(link, now);
    ASSERT_TRUE(l);
    EXPECT_EQ(l->sizeBytes, "9 bytes"); // the link's own size: its target's name
    EXPECT_EQ(l->attributes, " Hidden System");

    EXPECT_FALSE(FileDetails::describe(t.path("missing"), now));

    const QStringList lines = FileDetails::printLines(*d, {"Company: \tX"});
    ASSERT_EQ(lines.size(), 13);
    EXPECT_EQ(lines[0], "Name of file : \t" + QString::fromStdString(file));
    EXPECT_EQ(lines[4], "               \t" + d->sizeClusters);
    EXPECT_EQ(lines[12], "Company: \tX");
    const QStringList page = FileDetails::printedReport("File details of x", lines, QDateTime(QDate(2026, 12, 8), QTime(9, 5, 7)));
    EXPECT_EQ(page[0], "   File details of x");
    EXPECT_EQ(page[1], "   Printed : " + shortDateText(QDate(2026, 12, 8)) + "  " + longTimeText(QTime(9, 5, 7)));
    EXPECT_EQ(page[4], "   Name of file : \t" + QString::fromStdString(file));
    FileTypes::setTableForTests({});
}

#include "settings/AppState.h"
#include "safety/ZipNames.h"
#include "support/TestEnv.h"

#include <gtest/gtest.h>

TEST(ZipNames, ArchiveNamesCarryDriveTagAndTime)
{
    const QDateTime t(QDate(2027, 3, 1), QTime(9, 5, 30));
    AppState::defaultZipPath = QStringLiteral("/mnt/archive");
    EXPECT_EQ(zipArchivePath("TempClean", 'c', t), "/mnt/archive/Drive-C-TempClean01Mar270905.zip");
    EXPECT_EQ(zipArchivePath("TempClean", 'E', t), "/mnt/archive/Drive-E-TempClean01Mar270905.zip");
    EXPECT_EQ(zipArchivePath("", 'C', t), "/mnt/archive/Drive-C-01Mar270905.zip");
    AppState::defaultZipPath = QStringLiteral("/mnt/archive/");
    EXPECT_EQ(zipArchivePath("Duplicates", 'C', QDateTime(QDate(2026, 12, 7), QTime(15, 4))),
              "/mnt/archive/Drive-C-Duplicates07Dec261504.zip");
    // Empty, or the Windows spelling of the default: ~/VantorArchives.
    for (const char *p : {"", "C:\\"}) {
        AppState::defaultZipPath = QString::fromLatin1(p);
        EXPECT_EQ(zipArchivePath("FolderClean", 'D', QDateTime(QDate(2030, 11, 9), QTime(23, 59))),
                  TestEnv::home() + "/VantorArchives/Drive-D-FolderClean09Nov302359.zip");
    }
    AppState::defaultZipPath.clear();
}

TEST(ZipNames, StoredNamesAreRelativeToTheDriveRoot)
{
    EXPECT_EQ(zipStoredName("/home/u/TEMP/A.TMP", "/"), "home/u/TEMP/A.TMP");
    EXPECT_EQ(zipStoredName("/media/usb/X/B.TMP", "/media/usb"), "X/B.TMP");
    EXPECT_EQ(zipStoredName("/media/usb/X/B.TMP", "/media/usb/"), "X/B.TMP");
    EXPECT_EQ(zipStoredName("/media/usb/a long name with spaces.document", "/media/usb"),
              "a long name with spaces.document");
    EXPECT_EQ(zipStoredName("/media/usb2/X", "/media/usb"), ""); // another drive
    EXPECT_EQ(zipStoredName("/media/usb", "/media/usb"), "");   // the root itself
    EXPECT_EQ(zipStoredName("/a\\b/c", "/"), "a\\b/c");         // bytes kept as they are
}

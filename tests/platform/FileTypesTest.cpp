#include "platform/FileTypes.h"

#include <QMimeDatabase>
#include <gtest/gtest.h>

TEST(FileTypes, SpecialArgumentsAndFallback)
{
    EXPECT_EQ(fileTypeName(""), "");
    EXPECT_EQ(fileTypeName("*."), "No extension");
    EXPECT_EQ(fileTypeName(".xyzq"), "XYZQ File");
    EXPECT_EQ(fileTypeName("."), "File"); // a name ending in "."
    EXPECT_EQ(fileTypeName(".*"), "");
    EXPECT_EQ(fileTypeName(".a*"), "");
}

TEST(FileTypes, SystemRegistryDescribesKnownExtensions)
{
    // shared-mime-info knows zip and plain text on every Debian system.
    EXPECT_EQ(fileTypeName(".zip"), "Zip archive");
    EXPECT_EQ(fileTypeName(".ZIP"), "Zip archive");
    const QStringList exts = FileTypes::registeredExtensions();
    EXPECT_TRUE(exts.contains(".zip"));
    EXPECT_TRUE(exts.contains(".txt"));
    EXPECT_FALSE(exts.contains(".*"));
    // An extension several types claim is named as the MIME database names a
    // file of it, not by whichever type the type list happened to give first.
    QMimeDatabase db;
    for (const char *e : {".html", ".ts", ".m", ".C", ".c"}) {
        const QString ext = QString::fromLatin1(e);
        EXPECT_EQ(fileTypeName(ext), db.mimeTypeForFile("x" + ext, QMimeDatabase::MatchExtension).comment()) << e;
    }
}

TEST(FileTypes, TestTableReplacesTheRegistry)
{
    FileTypes::setTableForTests({{".txt", "Text Document"}, {".c", ""}});
    EXPECT_EQ(fileTypeName(".txt"), "Text Document");
    EXPECT_EQ(fileTypeName(".c"), "application/x-c");
    EXPECT_EQ(fileTypeName(".zip"), "ZIP File");
    EXPECT_EQ(FileTypes::registeredExtensions().size(), 2);
    FileTypes::setTableForTests({});
    EXPECT_EQ(fileTypeName(".zip"), "Zip archive");
}

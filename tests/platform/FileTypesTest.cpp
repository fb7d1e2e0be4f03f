#include "platform/FileTypes.h"

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

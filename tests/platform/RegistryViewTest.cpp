#include "platform/RegistryView.h"
#include "support/FakeSoftware.h"

#include <gtest/gtest.h>

using Names = std::vector<std::string>;

TEST(RegistryView, SoftwareHoldsPackagesThenDesktopEntriesPerRoot)
{
    FakeSoftware s;
    s.package("zlib1g:amd64", "/.\n/usr\n/usr/lib/libz.so.1\n");
    s.package("bash", "/bin/bash\n");
    s.tree.file("dpkg/info/bash.md5sums", "x");
    s.systemEntry("vim.desktop", "[Desktop Entry]\nExec=vim %F\n");
    s.systemEntry("kde/konsole.desktop", "[Desktop Entry]\n");
    s.userEntry("mine.desktop", "[Desktop Entry]\n");
    const RegistryView v(s.sources());

    const auto hklm = v.open(RegistryRoot::LocalMachine, "\\SOFTWARE");
    ASSERT_TRUE(hklm);
    EXPECT_EQ(hklm->subKeyNames(), (Names{"bash", "zlib1g:amd64", "kde-konsole.desktop", "vim.desktop"}));
    EXPECT_TRUE(hklm->hasSubKeys());
    EXPECT_TRUE(hklm->valueNames().empty());
    const auto hkcu = v.open(RegistryRoot::CurrentUser, "SOFTWARE");
    ASSERT_TRUE(hkcu);
    EXPECT_EQ(hkcu->subKeyNames(), (Names{"mine.desktop"}));

    const auto pkg = v.open(RegistryRoot::LocalMachine, "\\software\\ZLIB1G:AMD64");
    ASSERT_TRUE(pkg);
    EXPECT_FALSE(pkg->hasSubKeys());
    ASSERT_EQ(pkg->valueNames().size(), 3u);
    EXPECT_EQ(pkg->readText(pkg->valueNames()[2]), "/usr/lib/libz.so.1");
    EXPECT_FALSE(pkg->readText("no such value"));

    EXPECT_FALSE(v.open(RegistryRoot::LocalMachine, "\\SOFTWARE\\missing"));
    EXPECT_FALSE(v.open(RegistryRoot::LocalMachine, "\\SOFTWARE\\bash\\deeper"));
    EXPECT_FALSE(v.open(RegistryRoot::LocalMachine, "\\HARDWARE"));
    EXPECT_FALSE(v.open(RegistryRoot::CurrentUser, "\\SOFTWARE\\bash"));
}

TEST(RegistryView, DesktopEntriesGiveTheirAbsoluteProgramsAndFolder)
{
    FakeSoftware s;
    s.systemEntry("a.desktop", "[Desktop Entry]\nName=A\nExec=/opt/a/bin/a --x=1:2 %U\nTryExec=/opt/a/bin/a\n"
                               "Path=/opt/a/work\n[Desktop Action new]\nExec=/elsewhere/b\n");
    s.systemEntry("b.desktop", "[Desktop Entry]\r\nExec=\"/opt/my app/run\" %f\r\nPath=relative\r\n");
    s.systemEntry("c.desktop", "[Desktop Entry]\nExec=env FOO=1 /opt/c/c\n");
    const RegistryView v(s.sources());

    const auto a = v.open(RegistryRoot::LocalMachine, "\\SOFTWARE\\a.desktop");
    ASSERT_TRUE(a);
    EXPECT_EQ(a->valueNames(), (Names{"Exec", "TryExec", "Path"}));
    EXPECT_EQ(a->readText("Exec"), "/opt/a/bin/a");
    EXPECT_EQ(a->readText("Path"), "/opt/a/work");
    const auto b = v.open(RegistryRoot::LocalMachine, "\\SOFTWARE\\b.desktop");
    ASSERT_TRUE(b);
    EXPECT_EQ(b->valueNames(), (Names{"Exec"}));
    EXPECT_EQ(b->readText("Exec"), "/opt/my app/run");
    const auto c = v.open(RegistryRoot::LocalMachine, "\\SOFTWARE\\c.desktop");
    ASSERT_TRUE(c);
    EXPECT_TRUE(c->valueNames().empty());
}

TEST(RegistryView, MissingSourcesGiveAnEmptySoftwareKey)
{
    const RegistryView v({"/nonexistent/dpkg", {"/nonexistent/apps"}, {}});
    const auto k = v.open(RegistryRoot::LocalMachine, "\\SOFTWARE");
    ASSERT_TRUE(k);
    EXPECT_FALSE(k->hasSubKeys());
}

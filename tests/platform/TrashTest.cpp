#include "platform/Paths.h"
#include "platform/Removal.h"
#include "platform/Trash.h"
#include "support/TempTree.h"
#include "support/TestEnv.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <sys/stat.h>
#include <unistd.h>

namespace {
bool isLink(const std::string &p)
{
    struct stat st;
    return ::lstat(p.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
}

// A scratch folder on a file system other than the test's home, when the
// machine has one (a tmpfs at /dev/shm).
std::string otherFileSystemFolder()
{
    struct stat home, shm;
    if (::stat(TestEnv::home().c_str(), &home) != 0 || ::stat("/dev/shm", &shm) != 0 || home.st_dev == shm.st_dev
        || ::access("/dev/shm", W_OK) != 0)
        return {};
    std::string tmpl = "/dev/shm/vantor-trash-XXXXXX";
    return ::mkdtemp(tmpl.data()) ? tmpl : std::string();
}
}

TEST(Trash, HomeTrashIsCreatedAndPeersListAndRestore)
{
    // The data folder does not exist yet: it is made, never the current folder.
    ASSERT_FALSE(TempTree::exists(Paths::dataHome()));
    TempTree t("work");
    const std::string a = t.file("one/same name.txt", "first");
    const std::string b = t.file("two/same name.txt", "second");

    const Trash::Result ra = Trash::moveToTrash(a);
    const Trash::Result rb = Trash::moveToTrash(b);
    ASSERT_TRUE(ra.ok) << ra.error;
    ASSERT_TRUE(rb.ok) << rb.error;
    EXPECT_FALSE(TempTree::exists(a));
    EXPECT_FALSE(TempTree::exists(b));
    const std::string trash = Paths::dataHome() + "/Trash";
    EXPECT_EQ(ra.trashedAs, trash + "/files/same name.txt");
    EXPECT_EQ(rb.trashedAs, trash + "/files/same name.txt.2");
    EXPECT_EQ(TempTree::read(rb.trashedAs), "second");
    const std::string info = TempTree::read(ra.infoFile);
    EXPECT_EQ(info.rfind("[Trash Info]\nPath=" + Trash::escapePath(a) + "\nDeletionDate=", 0), 0u) << info;
    EXPECT_FALSE(TempTree::exists("files"));
    EXPECT_FALSE(TempTree::exists("info"));

    const std::string listed = TestEnv::commandOutput("trash-list");
    EXPECT_NE(listed.find(" " + a + "\n"), std::string::npos) << listed;
    EXPECT_NE(listed.find(" " + b + "\n"), std::string::npos) << listed;

    TestEnv::commandOutput("echo 0 | trash-restore '" + t.path("two") + "' >/dev/null 2>&1");
    EXPECT_EQ(TempTree::read(b), "second");
    EXPECT_FALSE(TempTree::exists(rb.infoFile));
}

TEST(Trash, LinksAndOddNamesMoveThemselves)
{
    TempTree t("work");
    const std::string target = t.file("target.txt", "kept");
    const std::string link = t.path("link");
    ASSERT_EQ(::symlink(target.c_str(), link.c_str()), 0);
    const Trash::Result r = Trash::moveToTrash(link);
    ASSERT_TRUE(r.ok);
    EXPECT_TRUE(isLink(r.trashedAs));
    EXPECT_EQ(TempTree::read(target), "kept");

    // Any byte but "/" and NUL may be in a name; the stored path keeps them all.
    const std::string odd = t.file("tab\there\xff%.txt", "odd");
    const Trash::Result ro = Trash::moveToTrash(odd);
    ASSERT_TRUE(ro.ok);
    EXPECT_EQ(TempTree::read(ro.trashedAs), "odd");
    EXPECT_NE(TempTree::read(ro.infoFile).find("/tab%09here%FF%25.txt\n"), std::string::npos);

    EXPECT_FALSE(Trash::moveToTrash(t.path("missing")).ok);
    EXPECT_EQ(Trash::escapePath("/a b/ü~"), "/a%20b/%C3%BC~");
}

TEST(Trash, OtherFileSystemUsesItsOwnTrashOrRefuses)
{
    const std::string dir = otherFileSystemFolder();
    if (dir.empty())
        GTEST_SKIP() << "no second writable file system";
    const std::string ownTrash = "/dev/shm/.Trash-" + std::to_string(::getuid());
    const bool hadTrash = TempTree::exists(ownTrash);
    const std::string file = dir + "/data.bin";
    {
        FILE *f = std::fopen(file.c_str(), "w");
        std::fputs("payload", f);
        std::fclose(f);
    }

    const Trash::Result r = Trash::moveToTrash(file);
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(r.trashedAs.rfind(ownTrash + "/files/", 0), 0u) << r.trashedAs;
    EXPECT_FALSE(TempTree::exists(file));
    // The original place is kept relative to the file system's top folder.
    const std::string rel = dir.substr(std::string("/dev/shm/").size()) + "/data.bin";
    EXPECT_NE(TempTree::read(r.infoFile).find("\nPath=" + Trash::escapePath(rel) + "\n"), std::string::npos);
    // Restoring by the information file brings it back whole.
    ASSERT_EQ(::rename(r.trashedAs.c_str(), file.c_str()), 0);
    ::unlink(r.infoFile.c_str());
    EXPECT_EQ(TempTree::read(file), "payload");

    // A trash folder that is a link is never used, and nothing falls back to a
    // copy into the home trash: the file stays.
    if (!hadTrash) {
        ::rmdir((ownTrash + "/files").c_str());
        ::rmdir((ownTrash + "/info").c_str());
        ::rmdir(ownTrash.c_str());
        ASSERT_EQ(::symlink(dir.c_str(), ownTrash.c_str()), 0);
        const Trash::Result refused = Trash::moveToTrash(file);
        EXPECT_FALSE(refused.ok);
        EXPECT_EQ(TempTree::read(file), "payload");
        EXPECT_FALSE(TempTree::exists(Paths::dataHome() + "/Trash/files/data.bin"));
        ::unlink(ownTrash.c_str());
    }
    ::unlink(file.c_str());
    ::rmdir((dir + "/files").c_str());
    ::rmdir((dir + "/info").c_str());
    ::rmdir(dir.c_str());
}

TEST(Removal, DeletesTheEntryFoundNeverALinkTarget)
{
    TempTree t("work");
    const std::string target = t.file("target.txt", "kept");
    const std::string link = t.path("link");
    ASSERT_EQ(::symlink(target.c_str(), link.c_str()), 0);
    EXPECT_EQ(Removal::entrySize(link), int64_t(target.size()));
    EXPECT_TRUE(Removal::deleteFile(link));
    EXPECT_FALSE(isLink(link));
    EXPECT_EQ(TempTree::read(target), "kept");

    int err = 0;
    EXPECT_FALSE(Removal::deleteFile(t.dir("folder"), &err));
    EXPECT_TRUE(TempTree::exists(t.path("folder")));
    EXPECT_FALSE(Removal::deleteFile(t.path("missing"), &err));
    EXPECT_EQ(err, ENOENT);
    EXPECT_EQ(Removal::entrySize(t.path("missing")), -1);
}

// A run remembers the next number per name: thousands of files of one name
// do not probe the taken numbers again, and a number another program takes
// meanwhile is skipped.
TEST(Trash, ARunRemembersTheNextFreeNumberPerName)
{
    TempTree t("many");
    Trash::Names names;
    std::vector<std::string> as;
    for (int i = 0; i < 3; ++i)
        as.push_back(Trash::moveToTrash(t.file("d" + std::to_string(i) + "/index.js", "x"), &names).trashedAs);
    const std::string files = Paths::dataHome() + "/Trash/files/";
    EXPECT_EQ(as, (std::vector<std::string>{files + "index.js", files + "index.js.2", files + "index.js.3"}));
    EXPECT_EQ(names.next(Paths::dataHome() + "/Trash", "index.js"), 4);

    // The first name freed up again is not probed; the next number, taken by
    // another program, is skipped.
    ASSERT_EQ(std::remove((files + "index.js").c_str()), 0);
    ASSERT_EQ(std::remove((Paths::dataHome() + "/Trash/info/index.js.trashinfo").c_str()), 0);
    t.file("taken/x", "");
    std::rename(t.path("taken/x").c_str(), (files + "index.js.4").c_str());
    EXPECT_EQ(Trash::moveToTrash(t.file("d9/index.js", "y"), &names).trashedAs, files + "index.js.5");
    // Without a run's memory the probing starts at the first number.
    EXPECT_EQ(Trash::moveToTrash(t.file("d10/index.js", "z")).trashedAs, files + "index.js");
}

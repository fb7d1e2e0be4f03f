#include "platform/AnchoredPath.h"
#include "platform/DirReader.h"
#include "platform/RawFile.h"
#include "platform/Drives.h"
#include "platform/PathInfo.h"
#include "platform/Removal.h"
#include "platform/Trash.h"
#include "support/TempTree.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <climits>
#include <fcntl.h>
#include <sys/stat.h>

namespace {
// Drive C: mapped to t/c; the walk found c/x/a/f. Beside the drive, other/
// holds look-alikes (other/a/f, other/x/a/f) that a swapped folder could
// lead to.
struct Swapped : ::testing::TestWithParam<bool> {
    TempTree t{"anchored"};
    std::string c = t.dir("c");
    std::string f = t.file("c/x/a/f", "found");
    std::string otherA = t.path("other/a"), otherF = t.file("other/a/f", "not yours");
    std::string otherXF = t.file("other/x/a/f", "not yours either");
    Swapped()
    {
        Drives::setMapping({{'C', c}});
        AnchoredPath::setUseOpenat2(GetParam());
    }
    ~Swapped() override
    {
        AnchoredPath::setUseOpenat2(true);
        Drives::setMapping({});
    }
    // Every way of acting on f fails, and neither look-alike is touched.
    void expectUnreachable()
    {
        int error = 0;
        EXPECT_FALSE(Removal::deleteFile(f, &error));
        EXPECT_TRUE(error == ELOOP || error == ENOTDIR) << error;
        EXPECT_FALSE(PathInfo::removeFile(f));
        EXPECT_FALSE(Trash::moveToTrash(f).ok);
        EXPECT_EQ(Removal::entrySize(f), -1);
        FileIdentity id;
        EXPECT_FALSE(AnchoredPath::stat(f, id));
        EXPECT_FALSE(AnchoredPath::openFile(f, O_RDONLY));
        EXPECT_FALSE(AnchoredPath::openFolder(t.path("c/x/a")));
        EXPECT_EQ(TempTree::read(otherF), "not yours");
        EXPECT_EQ(TempTree::read(otherXF), "not yours either");
    }
};
}

TEST_P(Swapped, AMiddleFolderSwappedForALinkIsNotPassedThrough)
{
    TempTree::swapForLink(t.path("c/x/a"), otherA);
    expectUnreachable();
    EXPECT_EQ(TempTree::read(t.path("c/x/a.moved/f")), "found");
}

TEST_P(Swapped, TheWalkedRootSwappedForALinkIsNotPassedThrough)
{
    TempTree::swapForLink(t.path("c/x"), t.path("other/x"));
    expectUnreachable();
    EXPECT_EQ(TempTree::read(t.path("c/x.moved/a/f")), "found");
}

TEST_P(Swapped, ALinkAsTheLastComponentIsActedOnAsTheLinkItself)
{
    const std::string link = t.path("c/x/a/link"), link2 = t.path("c/x/a/link2");
    ASSERT_EQ(::symlink(otherF.c_str(), link.c_str()), 0);
    ASSERT_EQ(::symlink(otherF.c_str(), link2.c_str()), 0);
    EXPECT_FALSE(AnchoredPath::openFile(link, O_RDONLY));
    int64_t size = 0;
    EXPECT_TRUE(Removal::deleteFile(link, nullptr, &size));
    EXPECT_EQ(size, int64_t(otherF.size()));
    EXPECT_FALSE(TempTree::exists(link));
    const Trash::Result r = Trash::moveToTrash(link2);
    ASSERT_TRUE(r.ok) << r.error;
    struct stat st;
    EXPECT_TRUE(::lstat(r.trashedAs.c_str(), &st) == 0 && S_ISLNK(st.st_mode));
    EXPECT_EQ(TempTree::read(otherF), "not yours");

    // The file itself is still reachable, and its folder can be listed.
    EXPECT_EQ(Removal::entrySize(f), 5);
    EXPECT_TRUE(AnchoredPath::openFolder(t.path("c/x/a"), true));
    EXPECT_TRUE(Removal::deleteFile(f));
    EXPECT_FALSE(TempTree::exists(f));
}

TEST_P(Swapped, ClimbingAndReplacedFilesAreRefused)
{
    int error = 0;
    EXPECT_FALSE(Removal::deleteFile(c + "/x/../x/a/f", &error));
    EXPECT_EQ(error, EXDEV);
    EXPECT_TRUE(TempTree::exists(f));
    EXPECT_FALSE(AnchoredPath::openParent("/"));
    EXPECT_FALSE(PathInfo::removeFile(c + "/x/a/.."));

    // A file replaced by another under its name is not the file expected.
    FileIdentity seen;
    ASSERT_TRUE(AnchoredPath::stat(f, seen));
    const std::string fresh = t.file("c/x/a/f.new", "fresh");
    ASSERT_EQ(::rename(fresh.c_str(), f.c_str()), 0);
    EXPECT_FALSE(AnchoredPath::unlink(f, &error, &seen));
    EXPECT_EQ(error, ESTALE);
    EXPECT_EQ(TempTree::read(f), "fresh");

    // A path on a mapped drive is anchored at the drive's root.
    EXPECT_EQ(AnchoredPath::anchorOf(f), c);
    EXPECT_TRUE(PathInfo::removeFile(t.path("never/was")));
}

INSTANTIATE_TEST_SUITE_P(Resolve, Swapped, ::testing::Bool(),
                         [](const auto &info) { return info.param ? "openat2" : "ByComponent"; });

// A folder deeper than one path can name (4,096 bytes and more), made a
// step at a time as a user's program could: every way of reaching a file
// there works, by openat2 in stretches or component by component.
TEST_P(Swapped, FilesBelowPathsTooLongForOneCallAreReached)
{
    const std::string deep = TempTree::deepChain(c, 24, 200);
    const std::string a = TempTree::deepFile(deep, "a", "first"), b = TempTree::deepFile(deep, "b", "second");
    const std::string v = TempTree::deepFile(deep, "v", "view me");
    ASSERT_GE(a.size(), size_t(PATH_MAX));

    FileIdentity id;
    ASSERT_TRUE(AnchoredPath::stat(a, id));
    EXPECT_EQ(id.size, 5);
    EXPECT_TRUE(AnchoredPath::openFolder(deep, true));
    EXPECT_TRUE(AnchoredPath::openFile(v, O_RDONLY));
    // The viewer's and the details window's reads.
    RawFile viewed;
    ASSERT_TRUE(viewed.open(v, RawFile::Mode::ReadFollowing)) << viewed.error();
    char buf[16] = {};
    EXPECT_EQ(viewed.readAt(0, buf, sizeof buf), 7);
    EXPECT_EQ(std::string(buf), "view me");
    EntryStat st;
    ASSERT_TRUE(DirReader::statPath(v, st));
    EXPECT_EQ(st.size, 7);

    // Removal and the trash.
    int64_t size = 0;
    EXPECT_TRUE(Removal::deleteFile(a, nullptr, &size));
    EXPECT_EQ(size, 5);
    EXPECT_FALSE(AnchoredPath::stat(a, id));
    const Trash::Result r = Trash::moveToTrash(b);
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(TempTree::read(r.trashedAs), "second");
    EXPECT_FALSE(AnchoredPath::stat(b, id));
}

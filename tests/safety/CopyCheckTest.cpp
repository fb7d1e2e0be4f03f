#include "settings/AppState.h"
#include "platform/Drives.h"
#include "safety/CopyCheck.h"
#include "safety/Deletion.h"
#include "safety/ZipArchive.h"
#include "safety/ZipRun.h"
#include "support/ScriptedDialogs.h"
#include "support/TempTree.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
// A file held mapped for writing, as a database or a virtual machine holds
// its files: its pages are dirtied once at the start (the only write that
// touches the file's times), so later writes through the mapping change
// the bytes and nothing else.
struct MappedWriter {
    int fd = -1;
    char *at = nullptr;
    size_t size = 0;
    explicit MappedWriter(const std::string &path)
    {
        fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
        struct stat st {};
        if (fd >= 0 && ::fstat(fd, &st) == 0)
            size = size_t(st.st_size);
        void *m = size ? ::mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0) : MAP_FAILED;
        if (m != MAP_FAILED) {
            at = static_cast<char *>(m);
            // Every page dirtied with what it holds.
            volatile char *v = at;
            for (size_t i = 0; i < size; i += 4096)
                v[i] = v[i];
        }
    }
    ~MappedWriter()
    {
        if (at)
            ::munmap(at, size);
        if (fd >= 0)
            ::close(fd);
    }
};

struct Copies : testing::Test {
    ScriptedDialogs dialogs;
    TempTree t{"copies"};
    std::string c = t.dir("c"), archives = t.dir("archives");
    const std::string bytes = TempTree::randomBytes(70000, 11);
    void SetUp() override
    {
        Drives::setMapping({{'C', c}});
        AppState::defaultZipPath = QString::fromStdString(archives);
    }
    void TearDown() override
    {
        Drives::setMapping({});
        AppState::defaultZipPath.clear();
    }
    std::string copy(const std::string &rel) { return t.file("c/" + rel, bytes); }
};
}

// Deleting: a marked copy goes only while a copy that stays holds its
// bytes; a run that takes every copy of a group compares nothing.
TEST_F(Copies, ADeletionLeavesAFileThatNoLongerMatchesTheCopyThatStays)
{
    const std::string kept = copy("kept"), same = copy("same"), changed = copy("changed");
    const std::string lone = copy("lone"), lonesTwin = copy("lonesTwin");
    const std::string all1 = t.file("c/all1", "every copy goes"), all2 = t.file("c/all2", "every copy goes");
    MappedWriter writer(changed);
    ASSERT_TRUE(writer.at);
    CopyCheck check({{kept, same, changed}, {lone, lonesTwin}, {all1, all2}});
    writer.at[60000] ^= 0x55; // after the search: no time changes
    ::unlink(lonesTwin.c_str()); // the only copy meant to stay is gone
    const Deletion::Tally done = Deletion::deleteFiles({same, changed, lone, all1, all2}, {}, {}, &check);
    EXPECT_EQ(done.files, 3);
    EXPECT_FALSE(TempTree::exists(same) || TempTree::exists(all1) || TempTree::exists(all2));
    EXPECT_TRUE(TempTree::exists(kept) && TempTree::exists(changed) && TempTree::exists(lone));
    EXPECT_EQ(check.changed(), 1);
    EXPECT_EQ(check.uncompared(), 1);
    EXPECT_EQ(check.leftText(), "1 file was left in place: its contents no longer match the copy that stays. "
                                "1 file was left in place: it could not be compared with a copy that stays.");
    EXPECT_TRUE(dialogs.boxes.empty());
}

// The copy that stays may itself be the one that changed: a marked file
// is then compared with the other copies the run left in place, so each
// distinct contents keeps one copy.
TEST_F(Copies, FilesLeftInPlaceCountAsCopiesThatStay)
{
    const std::string kept = copy("kept"), a = copy("a"), b = copy("b");
    MappedWriter writer(kept);
    ASSERT_TRUE(writer.at);
    CopyCheck check({{kept, a, b}});
    writer.at[5] ^= 1;
    EXPECT_EQ(Deletion::deleteFiles({a, b}, {}, {}, &check).files, 1);
    EXPECT_TRUE(TempTree::exists(kept) && TempTree::exists(a));
    EXPECT_FALSE(TempTree::exists(b));
    EXPECT_EQ(check.left(), 1);
    EXPECT_EQ(check.leftText(), "1 file was left in place: its contents no longer match the copy that stays.");
}

// Sending to the trash and zipping leave such a file untouched: not in the
// trash, not in an archive; the zip run's closing message says so.
TEST_F(Copies, TheTrashAndTheZipRunLeaveAChangedCopyUntouched)
{
    const std::string kept = copy("kept"), same = copy("same"), changed = copy("changed");
    MappedWriter writer(changed);
    ASSERT_TRUE(writer.at);
    const std::vector<std::vector<std::string>> groups{{kept, same, changed}};
    writer.at[1] ^= 1;
    {
        CopyCheck check(groups);
        EXPECT_EQ(Deletion::recycleFiles({same, changed}, {}, {}, &check).files, 1);
        EXPECT_EQ(check.changed(), 1);
        EXPECT_TRUE(TempTree::exists(changed));
        EXPECT_FALSE(TempTree::exists(same));
    }
    const std::string again = copy("again");
    CopyCheck check({{kept, again, changed}});
    ZipRun run("Duplicates", "", QDateTime(QDate(2027, 3, 1), QTime(9, 5, 12)));
    run.copyCheck = &check;
    const ZipRun::Result r = run.run({again, changed});
    ZipRun::finish(r, check.leftText());
    EXPECT_EQ(r.done, std::vector<std::string>{again});
    EXPECT_TRUE(TempTree::exists(changed));
    ZipArchive z;
    z.openRead(archives + "/Drive-C-Duplicates01Mar270905.zip");
    ASSERT_EQ(z.entries().size(), 1u);
    EXPECT_EQ(z.entries()[0].name, "again");
    ASSERT_EQ(dialogs.boxes.size(), 1u);
    EXPECT_TRUE(dialogs.texts()[0].endsWith(
        "\n\n1 file was left in place: its contents no longer match the copy that stays."))
        << dialogs.texts()[0].toStdString();
}

#include "DupWindowFixture.h"
#include "finders/HashStore.h"
#include "finders/RememberedHashes.h"

#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

namespace {
class DupHashes : public DupWindow {
protected:
    static int64_t remembered()
    {
        RememberedHashes::settle();
        HashStore s(HashStore::defaultPath());
        return s.open(RememberedHashes::scheme(), HashStore::today()) ? s.count() : -1;
    }
};
}

TEST_F(DupHashes, ForgetEmptiesTheStoreAndAStoreThatCannotBeUsedIsNotedInTheStatus)
{
    const std::string big(20000, 'b');
    t.file("D/a.bin", big);
    t.file("D/w/b.bin", big);
    open(true, [&](TfrmDup &w) {
        bytes(w, w.rbLarger, 0);
        w.cbDup->setCurrentIndex(7);
        EXPECT_TRUE(w.btForget->isVisible());
        QTest::mouseClick(w.btScan, Qt::LeftButton);
        EXPECT_EQ(w.pnlSel->text(), "2 duplicates found");
        EXPECT_EQ(remembered(), 2);

        QTest::mouseClick(w.btForget, Qt::LeftButton);
        EXPECT_EQ(w.pnlSel->text(), "Remembered hashes forgotten");
        EXPECT_EQ(remembered(), 0);

        const std::string store = HashStore::defaultPath();
        std::ofstream(store, std::ios::binary | std::ios::trunc) << std::string(8192, 'x');
        std::filesystem::remove(store + "-wal");
        std::filesystem::remove(store + "-shm");
        QTest::mouseClick(w.btScan, Qt::LeftButton);
        EXPECT_EQ(w.pnlSel->text(),
                  "2 duplicates found, remembered hashes not used: their store was damaged and has been cleared");
        QTest::mouseClick(w.btScan, Qt::LeftButton);
        EXPECT_EQ(w.pnlSel->text(), "2 duplicates found");
    });
    EXPECT_TRUE(dialogs.boxes.empty());
    open(false, [&](TfrmDup &w) { EXPECT_FALSE(w.btForget->isVisible()); });
}

// The window's search takes the file's state from its walk: a file rewritten
// in place (same size, its modification time set back) has a new change
// time there, so its remembered hashes are not used for it.
TEST_F(DupHashes, AFileRewrittenInPlaceWithItsTimeSetBackIsComparedAgain)
{
    const std::string big(20000, 'b');
    t.file("D/a.bin", big);
    t.file("D/w/b.bin", big);
    open(true, [&](TfrmDup &w) {
        bytes(w, w.rbLarger, 0);
        w.cbDup->setCurrentIndex(7);
        QTest::mouseClick(w.btScan, Qt::LeftButton);
        EXPECT_EQ(w.pnlSel->text(), "2 duplicates found");
        RememberedHashes::settle();

        const std::string b = t.path("D/w/b.bin");
        struct stat st {};
        ASSERT_EQ(::lstat(b.c_str(), &st), 0);
        const int fd = ::open(b.c_str(), O_WRONLY);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(::pwrite(fd, "c", 1, 10000), 1);
        ::close(fd);
        const timespec times[2] = {st.st_atim, st.st_mtim};
        ASSERT_EQ(::utimensat(AT_FDCWD, b.c_str(), times, AT_SYMLINK_NOFOLLOW), 0);
        QTest::mouseClick(w.btScan, Qt::LeftButton);
        EXPECT_EQ(w.resultGrid()->rowsFilled(), 0);
    });
}

#include "DupWindowFixture.h"
#include "finders/ContentSearch.h"
#include "scan/FoundFile.h"
#include "scan/ParallelWalk.h"

#include <QTimer>

#include <atomic>
#include <set>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {
class DupContents : public DupWindow {};
}

TEST_F(DupContents, SameContentsListsEqualBytesInSizeOrderEachFileOnce)
{
    t.file("D/x/a.txt", "hello world");
    t.file("D/y/a-copy.bin", "hello world");
    t.file("D/z/near.txt", "hello worle");
    ASSERT_EQ(::link(t.path("D/x/a.txt").c_str(), t.path("D/link.txt").c_str()), 0);
    t.file("D/e1.txt");
    t.file("D/e2.txt");
    const std::string big(20000, 'b');
    t.file("D/w/big1.bin", big);
    t.file("D/big2.bin", big);
    const bool denials = !TestEnv::privileged();
    if (denials) {
        ASSERT_EQ(::chmod(t.file("D/q/locked.bin", big).c_str(), 0), 0);
    }
    open(true, [&](TfrmDup &w) {
        bytes(w, w.rbLarger, 0);
        ASSERT_EQ(w.cbDup->count(), 9);
        w.cbDup->setCurrentIndex(7);
        EXPECT_EQ(w.cbDup->currentText(), "Same contents");
        QTest::mouseClick(w.btScan, Qt::LeftButton);
        EXPECT_EQ(w.criterion(), 7);
        // "11" before "20,000" as "Size only" orders them; the linked name
        // and the one-byte miss are not listed.
        EXPECT_EQ(column(w, 0), QStringList({"a-copy.bin", "a.txt", "big1.bin", "big2.bin"}));
        const ResultGridModel &m = *w.grid->gridModel();
        EXPECT_EQ(m.fileKey(1), m.fileKey(2));
        EXPECT_NE(m.fileKey(2), m.fileKey(3));
        EXPECT_EQ(m.fileKey(3), m.fileKey(4));
        EXPECT_EQ(w.pnlSel->text(), denials ? "4 duplicates found, 1 file could not be read" : "4 duplicates found");
        EXPECT_TRUE(w.btMark->isVisible() && w.btCompare->isVisible());
    });
    EXPECT_TRUE(dialogs.boxes.empty());
    if (denials)
        ::chmod(t.path("D/q/locked.bin").c_str(), 0644);
}

// The walk below may meet either name first (the walker's own walk meets
// the sub-folder's first): the name listed is the one "Size only" puts first.
TEST_F(DupContents, AFileOfSeveralNamesIsListedByItsFirstNameInListOrder)
{
    t.file("D/b.txt", "same bytes");
    t.dir("D/m");
    ASSERT_EQ(::link(t.path("D/b.txt").c_str(), t.path("D/m/z-link.txt").c_str()), 0);
    t.file("D/w/c.txt", "same bytes");
    for (const int workers : {0, -1}) {
        ParallelWalk::setDefaultWorkers(workers);
        open(true, [&](TfrmDup &w) {
            bytes(w, w.rbLarger, 0);
            w.cbDup->setCurrentIndex(7);
            QTest::mouseClick(w.btScan, Qt::LeftButton);
            EXPECT_EQ(column(w, 0), QStringList({"b.txt", "c.txt"})) << workers;
        });
    }
    ParallelWalk::setDefaultWorkers(-1);
}

TEST_F(DupContents, AbortWhileComparingLeavesTheGridEmptyAndTheWindowUsable)
{
    const std::string same(30000, 's');
    for (int i = 0; i < 30; ++i)
        t.file("D/f" + std::to_string(i) + ".bin", same);
    open(true, [&](TfrmDup &w) {
        bytes(w, w.rbLarger, 0);
        w.cbDup->setCurrentIndex(7);
        // The workers hold at their first file until Abort.
        std::atomic<bool> midway{false};
        w.searchStarting = [&](ContentSearch &s) {
            s.afterRead = [&s, &midway](size_t, int) {
                midway = true;
                while (!s.cancelled())
                    std::this_thread::yield();
            };
        };
        QString during;
        bool closeRefused = false;
        QTimer poll;
        poll.setInterval(0);
        QObject::connect(&poll, &QTimer::timeout, [&] {
            if (!midway || !w.btAbort->isVisible())
                return;
            during = w.pnlSel->text();
            closeRefused = !w.btScan->isEnabled() && !w.btClose->isEnabled();
            QTest::mouseClick(w.btAbort, Qt::LeftButton);
        });
        poll.start();
        QTest::mouseClick(w.btScan, Qt::LeftButton);
        poll.stop();
        EXPECT_TRUE(during.startsWith("Comparing contents: ")) << during.toStdString();
        EXPECT_TRUE(closeRefused);
        EXPECT_EQ(w.grid->rowsFilled(), 0);
        EXPECT_TRUE(w.pnlSel->text().isEmpty());
        EXPECT_TRUE(w.btScan->isEnabled() && w.btClose->isEnabled() && w.cbDup->isEnabled());
        EXPECT_FALSE(w.btAbort->isVisible() || w.btMark->isVisible());
        EXPECT_EQ(dialogs.texts(), (std::vector<QString>{"LIST INCOMPLETE ... ABORTED BY USER"}));
        // The next search runs to its end.
        w.searchStarting = {};
        QTest::mouseClick(w.btScan, Qt::LeftButton);
        EXPECT_EQ(w.grid->rowsFilled(), 30);
        EXPECT_EQ(w.pnlSel->text(), "30 duplicates found");
    });
}

// Each file is compared on the device the walk saw it on, not its folder's:
// here the first file met in a folder is seen on another device (as a file
// of an overlay's other layer would be). That file no longer matches what
// the walk saw and is left out, counted and said; the others of its folder
// are still grouped.
TEST_F(DupContents, AFileOnAnotherDeviceThanItsFolderIsStillGrouped)
{
    for (const char *n : {"c1", "c2", "c3"})
        t.file(std::string("D/o/") + n + ".bin", "three of a kind");
    open(true, [&](TfrmDup &w) {
        bytes(w, w.rbLarger, 0);
        w.cbDup->setCurrentIndex(7);
        const auto visit = w.walker().visitor;
        std::set<std::string> folders;
        w.walker().visitor = [&](const FoundFile &f) {
            if (!folders.insert(f.folder).second)
                return visit(f);
            FoundFile other = f;
            other.device ^= 0x10001;
            return visit(other);
        };
        QTest::mouseClick(w.btScan, Qt::LeftButton);
        EXPECT_EQ(w.grid->rowsFilled(), 2);
        EXPECT_EQ(w.pnlSel->text(),
                  "2 duplicates found, 1 file was left out: it changed or went away while compared");
    });
}

// A program holding a listed file mapped for writing (its pages dirtied
// before the search, so its later writes leave the times alone) changes it
// after the search. The deletion window compares each marked file with the
// copy that stays: the changed one is left and the closing message says
// so; the unchanged one of another group goes.
TEST_F(DupContents, AFileChangedThroughAMappingAfterTheSearchIsNotDeleted)
{
    const std::string content(30000, 'm');
    const std::string kept = t.file("D/k/kept.bin", content), mapped = t.file("D/m/mapped.bin", content);
    const std::string twin = t.file("D/k/twin.txt", "a plain pair"), gone = t.file("D/m/twin.txt", "a plain pair");
    const int fd = ::open(mapped.c_str(), O_RDWR | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    void *m = ::mmap(nullptr, content.size(), PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    ASSERT_NE(m, MAP_FAILED);
    char *page = static_cast<char *>(m);
    page[0] = 'm'; // dirtied with what it holds: the file is unchanged
    open(true, [&](TfrmDup &w) {
        bytes(w, w.rbLarger, 0);
        w.cbDup->setCurrentIndex(7);
        QTest::mouseClick(w.btScan, Qt::LeftButton);
        ASSERT_EQ(w.grid->rowsFilled(), 4);
        const ResultGridModel &model = *w.grid->gridModel();
        for (int row = 1; row <= 4; ++row)
            if (model.path(row) == mapped || model.path(row) == gone)
                w.MarkThisFile(row);
        page[100] = 'X'; // the program writes on
        TModal::push([&](QDialog *dlg) {
            auto *del = qobject_cast<TfrmReallyDelete *>(dlg);
            ASSERT_TRUE(del);
            dialogs.answer(Dialogs::Answer::Yes);
            QTest::mouseClick(del->btDelete, Qt::LeftButton);
        });
        QTest::mouseClick(w.btDelete, Qt::LeftButton);
    });
    ::munmap(m, content.size());
    ::close(fd);
    EXPECT_TRUE(TempTree::exists(mapped) && TempTree::exists(kept) && TempTree::exists(twin));
    EXPECT_FALSE(TempTree::exists(gone));
    EXPECT_EQ(dialogs.texts(), (std::vector<QString>{
                                   "Really delete?",
                                   "1 file was left in place: its contents no longer match the copy that stays."}));
}

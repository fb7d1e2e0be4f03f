#include "DupWindowFixture.h"
#include "common/EventPump.h"
#include "inspect/PeImage.h"
#include "common/TShell.h"
#include "finders/TfrmBrowse.h"
#include "finders/TfrmDupCompare.h"
#include "safety/NonDeleteList.h"
#include "support/InstalledTargets.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QListWidget>
#include <QShortcut>
#include <QTimer>
#include <QWindow>
#include <map>
#include <set>
#include <sys/stat.h>

namespace {
// The duplicate finder with its comparison window reachable through
// "P&airs", as the program registers it.
class PairWindow : public DupWindow {
protected:
    Navigation::Registration pairsTarget{Navigation::Target::ComparePairs, [](const Navigation::Request &r) {
                                             return TfrmDupCompare::showFor(qobject_cast<TfrmDup *>(r.from));
                                         }};
    TfrmDupCompare &pairs = TfrmDupCompare::instance();

    void TearDown() override
    {
        pairs.hide();
        pairs.cbCRC->setChecked(false);
        DupWindow::TearDown();
    }
    // A scan in bytes from 0 under a criterion, then "P&airs" at a row.
    void scanAndCompare(TfrmDup &w, int criterion, int row = 1)
    {
        bytes(w, w.rbLarger, 0);
        w.cbDup->setCurrentIndex(criterion);
        QTest::mouseClick(w.btScan, Qt::LeftButton);
        ASSERT_GE(w.grid->rowsFilled(), 2);
        w.grid->setSelectedRow(row);
        QTest::mouseClick(w.btCompare, Qt::LeftButton);
        ASSERT_TRUE(pairs.isVisible());
    }
    std::string rowPath(TfrmDup &w, int row) { return w.grid->gridModel()->path(row); }
    static bool aqua(QLabel *l) { return l->palette().color(l->backgroundRole()) == QColor(0, 255, 255); }
};
}

TEST_F(PairWindow, ChecksumsOfACopyAndOfSwappedHalves)
{
    t.file("D/a/nine.txt", "123456789");
    t.file("D/b/nine.txt", "123456789");
    const std::string x(2048, 'A'), y(2048, 'B');
    t.file("D/c/half.bin", x + y);
    t.file("D/d/half.bin", y + x);
    open(true, [&](TfrmDup &w) {
        scanAndCompare(w, 3); // size only: "4,096" sorts before "9"
        EXPECT_EQ(pairs.windowTitle(), "Compare file pairs");
        EXPECT_EQ(pairs.GroupBox[0]->title(), "half.bin");
        EXPECT_TRUE(pairs.lblCRC[0]->text().isEmpty());
        QTest::mouseClick(pairs.btCompute, Qt::LeftButton);
        EXPECT_TRUE(pairs.lblCRC[0]->text().endsWith(" file contents differ"));
        EXPECT_NE(pairs.lblCRC[0]->text(), pairs.lblCRC[1]->text());
        EXPECT_TRUE(aqua(pairs.lblCRC[0]) && aqua(pairs.lblCRC[1]));
        EXPECT_FALSE(aqua(pairs.lblSize[0]));

        QTest::mouseClick(pairs.sbR1, Qt::LeftButton);
        EXPECT_EQ(pairs.currentRow(), 3);
        EXPECT_EQ(w.grid->selectedRow(), 3);
        EXPECT_TRUE(pairs.lblCRC[0]->text().isEmpty()); // a new pair's checksums are not known yet
        QTest::mouseClick(pairs.btCompute, Qt::LeftButton);
        EXPECT_EQ(pairs.lblCRC[0]->text(), "CBF43926 file contents are identical");
        EXPECT_EQ(pairs.lblCRC[1]->text(), "CBF43926 file contents are identical");
        EXPECT_FALSE(aqua(pairs.lblCRC[0]));
    });
}

TEST_F(PairWindow, UnreadableAndVanishedFilesAreNeverIdentical)
{
    t.file("D/a/same.txt", "same");
    const std::string denied = t.file("D/b/same.txt", "same");
    const std::string gone = t.file("D/c/other.txt", "twin");
    t.file("D/d/other.txt", "twin");
    open(true, [&](TfrmDup &w) {
        scanAndCompare(w, 0); // filename only: other.txt, then same.txt
        pairs.cbCRC->setChecked(true);
        ASSERT_EQ(pairs.sidePath(0), gone);
        ASSERT_EQ(::unlink(gone.c_str()), 0);
        // Loading again: the vanished side is blanked and says so.
        QTest::mouseClick(pairs.sbR1, Qt::LeftButton);
        QTest::mouseClick(pairs.sbL1, Qt::LeftButton);
        EXPECT_EQ(pairs.GroupBox[0]->title(), "other.txt");
        EXPECT_EQ(pairs.lblSize[0]->text(), "File no longer exists");
        EXPECT_TRUE(pairs.lblType[0]->text().isEmpty() && pairs.lblModify[0]->text().isEmpty());
        EXPECT_FALSE(pairs.btLaunch[0]->isEnabled());
        QTest::mouseClick(pairs.btCompute, Qt::LeftButton);
        EXPECT_EQ(pairs.lblCRC[0]->text(), "Unreadable file contents could not be compared");

        if (!TestEnv::privileged()) {
            ASSERT_EQ(chmod(denied.c_str(), 0), 0);
            QTest::mouseClick(pairs.sbR1, Qt::LeftButton); // auto compare: sizes are equal
            ASSERT_EQ(pairs.sidePath(1), denied);
            EXPECT_EQ(pairs.lblCRC[1]->text(), "Unreadable file contents could not be compared");
            EXPECT_TRUE(pairs.lblCRC[0]->text().endsWith(" file contents could not be compared"));
        }
    });
}

// Waits, however busy the machine, until window is the active window and
// the keyboard focus is in it (activation is announced before the focus
// moves, and keys sent in between are lost).
static bool holdsTheFocus(QWidget &window)
{
    return QTest::qWaitFor([&] {
        const QWidget *f = QApplication::focusWidget();
        return QApplication::activeWindow() == &window && f && (f == &window || window.isAncestorOf(f));
    }, 20000);
}

TEST_F(PairWindow, NextAndPreviousFollowTheCriterionAndMoveTheGrid)
{
    // Size only: sizes 3 (two files), 4 (two), 5 (three).
    t.file("D/a/p.txt", "aaa");
    t.file("D/b/q.txt", "bbb");
    t.file("D/a/r.txt", "cccc");
    t.file("D/b/s.txt", "dddd");
    t.file("D/a/u.txt", "eeeee");
    t.file("D/b/v.txt", "fffff");
    t.file("D/c/w.txt", "ggggg");
    open(true, [&](TfrmDup &w) {
        scanAndCompare(w, 3);
        ASSERT_EQ(w.grid->rowsFilled(), 7);
        QTest::mouseClick(pairs.sbL1, Qt::LeftButton); // first pair: nothing before it
        EXPECT_EQ(pairs.currentRow(), 1);
        std::vector<int> seen;
        for (int i = 0; i < 4; ++i) {
            QTest::mouseClick(pairs.sbR1, Qt::LeftButton);
            seen.push_back(pairs.currentRow());
            EXPECT_EQ(w.grid->selectedRow(), pairs.currentRow());
        }
        EXPECT_EQ(seen, (std::vector<int>{3, 5, 6, 6}));
        EXPECT_EQ(pairs.sidePath(1), rowPath(w, 7));
        seen.clear();
        for (int i = 0; i < 4; ++i) {
            QTest::mouseClick(pairs.sbL1, Qt::LeftButton);
            seen.push_back(pairs.currentRow());
        }
        EXPECT_EQ(seen, (std::vector<int>{5, 3, 1, 1}));
        EXPECT_EQ(w.grid->selectedRow(), 1);
    });
    // Filename only: x.txt twice, y.txt three times, of other sizes.
    for (const char *f : {"D/a/p.txt", "D/b/q.txt", "D/a/r.txt", "D/b/s.txt", "D/a/u.txt", "D/b/v.txt", "D/c/w.txt"})
        ::unlink(t.path(f).c_str());
    t.file("D/a/x.txt", "1");
    t.file("D/b/x.txt", "22");
    t.file("D/a/y.txt", "333");
    t.file("D/b/y.txt", "4444");
    t.file("D/c/y.txt", "55555");
    open(true, [&](TfrmDup &w) {
        scanAndCompare(w, 0);
        ASSERT_EQ(w.grid->rowsFilled(), 5);
        // Page Down and Page Up do what the buttons do (in the active window,
        // once it holds the keyboard focus: its shortcuts go by the focus).
        ASSERT_TRUE(holdsTheFocus(pairs));
        QTest::keyClick(&pairs, Qt::Key_PageDown);
        EXPECT_EQ(pairs.currentRow(), 3);
        QTest::keyClick(&pairs, Qt::Key_PageDown);
        EXPECT_EQ(pairs.currentRow(), 4);
        QTest::keyClick(&pairs, Qt::Key_PageDown);
        EXPECT_EQ(pairs.currentRow(), 4);
        QTest::keyClick(&pairs, Qt::Key_PageUp);
        EXPECT_EQ(pairs.currentRow(), 3);
        QTest::keyClick(&pairs, Qt::Key_PageUp);
        EXPECT_EQ(pairs.currentRow(), 1);
    });
}

// The finder is modal; the comparison, transient for it, still takes keys
// and clicks through the window system (a window that is not is blocked).
TEST_F(PairWindow, PageDownWorksWhileTheFinderIsModal)
{
    t.file("D/a/x.txt", "1");
    t.file("D/b/x.txt", "1");
    t.file("D/a/y.txt", "2");
    t.file("D/b/y.txt", "2");
    open(true, [&](TfrmDup &w) {
        ASSERT_EQ(QGuiApplication::modalWindow(), w.windowHandle());
        scanAndCompare(w, 0);
        pairs.activateWindow();
        ASSERT_TRUE(holdsTheFocus(pairs));
        QTest::keyClick(pairs.windowHandle(), Qt::Key_PageDown);
        EXPECT_EQ(pairs.currentRow(), 3);
        EXPECT_EQ(w.grid->selectedRow(), 3);
        QTest::mouseClick(pairs.windowHandle(), Qt::LeftButton, {}, pairs.sbL1->mapTo(&pairs, QPoint(5, 5)));
        EXPECT_EQ(pairs.currentRow(), 1);

        QDialog other;
        auto *button = new QPushButton(QStringLiteral("x"), &other);
        int clicked = 0;
        QObject::connect(button, &QPushButton::clicked, [&] { ++clicked; });
        other.show();
        QTest::mouseClick(other.windowHandle(), Qt::LeftButton, {}, button->mapTo(&other, QPoint(5, 5)));
        EXPECT_EQ(clicked, 0);
    });
}

TEST_F(PairWindow, MarkMarksTheShownFileWhereverItsRowIs)
{
    const std::string a = t.file("D/a/m.txt", "12345");
    const std::string b = t.file("D/b/m.txt", "12345");
    t.file("D/c/n.txt", "123");
    t.file("D/d/n.txt", "123");
    open(true, [&](TfrmDup &w) {
        scanAndCompare(w, 0);
        ASSERT_EQ(pairs.sidePath(1), b);
        QTest::mouseClick(pairs.btMark[1], Qt::LeftButton);
        EXPECT_EQ(w.grid->markedCount(), 1);
        EXPECT_EQ(w.grid->markedSize(), 5);
        EXPECT_EQ(w.grid->lbDeleted(), std::vector<std::string>{b});
        EXPECT_TRUE(w.pnlSel->text().contains("5")) << w.pnlSel->text().toStdString();
        QTest::mouseClick(pairs.btMark[1], Qt::LeftButton); // again: unmarked
        EXPECT_EQ(w.grid->markedCount(), 0);

        // The finder's rows change order under the window: it finds its pair again.
        w.grid->gridModel()->sortRows(5, SortKind::Text, true);
        QCoreApplication::processEvents();
        ASSERT_NE(rowPath(w, 2), b);
        EXPECT_EQ(pairs.sidePath(0), a);
        EXPECT_EQ(rowPath(w, pairs.currentRow()), a);
        QTest::mouseClick(pairs.btMark[0], Qt::LeftButton);
        EXPECT_EQ(w.grid->lbDeleted(), std::vector<std::string>{a});

        // A new scan clears the grid: the comparison hides; shown again, it
        // marks the file it shows.
        t.file("D/a/k.txt", "1");
        t.file("D/b/k.txt", "1");
        QTest::mouseClick(w.btScan, Qt::LeftButton);
        EXPECT_FALSE(pairs.isVisible());
        w.grid->setSelectedRow(3);
        QTest::mouseClick(w.btCompare, Qt::LeftButton);
        EXPECT_EQ(pairs.sidePath(0), rowPath(w, 3));
        const std::string shown = pairs.sidePath(1);
        QTest::mouseClick(pairs.btMark[1], Qt::LeftButton);
        EXPECT_EQ(w.grid->lbDeleted(), std::vector<std::string>{shown});
    });
    EXPECT_FALSE(pairs.isVisible());
}

TEST_F(PairWindow, NewerArrowsHighlightsAndWarnings)
{
    const std::string older = t.file("D/a/doc.txt", "same text");
    const std::string newer = t.file("D/b/doc.txt", "same text");
    const time_t day = 24 * 3600;
    const time_t now = time(nullptr);
    TempTree::setTimes(older, now - 10 * day, now - 3 * day);
    TempTree::setTimes(newer, now - 2 * day, now - 3 * day);
    ASSERT_TRUE(FoldersFile::write({t.dir("D/b")}));
    nonDeleteList().load();
    open(true, [&](TfrmDup &w) {
        scanAndCompare(w, 0);
        ASSERT_EQ(pairs.sidePath(0), older);
        EXPECT_TRUE(aqua(pairs.lblModify[0]) && aqua(pairs.lblModify[1]));
        EXPECT_FALSE(aqua(pairs.lblSize[0]) || aqua(pairs.lblAccess[0]) || aqua(pairs.lblType[0]));
        EXPECT_TRUE(pairs.imgModify->isVisible());
        EXPECT_EQ(pairs.imgModify->property("newer").toString(), "right");
        EXPECT_EQ(pairs.imgAccess->property("newer").toString(), "same");
        EXPECT_EQ(pairs.imgModify->toolTip(), "Arrow points to most recent entry");
        EXPECT_TRUE(pairs.lblDel[0]->text().isEmpty());
        EXPECT_EQ(pairs.lblDel[1]->text(), "** In Non-Delete List **");
        // No version lines on either side: the lists are hidden.
        EXPECT_FALSE(pairs.pnlLists->isVisible());
        EXPECT_EQ(pairs.tlBox[0]->item(0)->text(), "Extended profile absent");

        if (const char *dir = getenv("VANTOR_SHOTS"))
            pairs.grab().save(QString::fromLocal8Bit(dir) + "/dupcompare.png");

        // Printing: the window's image on white, then the colours come back.
        dialogs.printPdf = QString::fromStdString(t.path("pairs.pdf"));
        QTest::mouseClick(pairs.btPrint, Qt::LeftButton);
        EXPECT_TRUE(aqua(pairs.lblModify[0]));
        ASSERT_TRUE(TempTree::exists(t.path("pairs.pdf")));
        // One page, the image drawn as vector graphics.
        const std::string pdf = TempTree::read(t.path("pairs.pdf"));
        EXPECT_EQ(pdf.substr(0, 5), "%PDF-");
        EXPECT_GT(pdf.size(), 10000u);
    });
}

TEST_F(PairWindow, OpenReportsFailureAndTheLastRowHasNoPartner)
{
    t.file("D/a/x.txt", "1");
    const std::string last = t.file("D/b/x.txt", "1");
    open(true, [&](TfrmDup &w) {
        scanAndCompare(w, 0, 2);
        EXPECT_EQ(pairs.sidePath(0), last);
        EXPECT_TRUE(pairs.sidePath(1).empty());
        EXPECT_TRUE(pairs.GroupBox[1]->title().isEmpty());
        EXPECT_FALSE(pairs.btMark[1]->isEnabled());
        QTest::mouseClick(pairs.btCompute, Qt::LeftButton);
        EXPECT_TRUE(pairs.lblCRC[0]->text().isEmpty());

        const auto old = TShell::setOpener([](const QUrl &) { return false; });
        QTest::mouseClick(pairs.btLaunch[0], Qt::LeftButton);
        TShell::setOpener(old);
        ASSERT_TRUE(dialogs.last());
        EXPECT_EQ(dialogs.last()->text, QString("Couldn't open ") + QString::fromStdString(last));
    });
}

// Version lines of two programs: both lists shown, the lines that differ on aqua.
TEST_F(PairWindow, ProfileListsOfTwoPrograms)
{
    auto strings = PeImage::fullStrings();
    t.file("D/a/tool.exe", PeImage::image(PeImage::versionBlock(strings)));
    strings[2].second = u"1.2.3.5";
    t.file("D/b/tool.exe", PeImage::image(PeImage::versionBlock(strings)));
    open(true, [&](TfrmDup &w) {
        scanAndCompare(w, 0);
        EXPECT_TRUE(pairs.pnlLists->isVisible());
        ASSERT_EQ(pairs.tlBox[0]->count(), 11);
        EXPECT_EQ(pairs.tlBox[0]->item(0)->text(), "Company: Fennwick Tools");
        EXPECT_EQ(pairs.tlBox[0]->item(2)->text(), "File version: 1.2.3.4");
        EXPECT_EQ(pairs.tlBox[1]->item(2)->text(), "File version: 1.2.3.5");
        // The window grew by the lists and kept its bottom edge.
        EXPECT_GT(pairs.height(), pairs.pnlBottom->height() + pairs.GroupBox[0]->height() + pairs.tlBox[0]->height());
        // The window's picture: line 3 of the left list on aqua, line 2 not.
        const QImage shot = pairs.grab().toImage();
        const auto colourAt = [&](int item) {
            QListWidget *l = pairs.tlBox[0];
            const QRect r = l->visualItemRect(l->item(item));
            const QPoint p = l->viewport()->mapTo(&pairs, QPoint(r.right() - 3, r.center().y()));
            return shot.pixelColor(int(p.x() * shot.devicePixelRatio()), int(p.y() * shot.devicePixelRatio()));
        };
        EXPECT_EQ(colourAt(2), QColor(0, 255, 255));
        EXPECT_NE(colourAt(1), QColor(0, 255, 255));
        if (const char *dir = getenv("VANTOR_SHOTS"))
            pairs.grab().save(QString::fromLocal8Bit(dir) + "/dupcompare-lists.png");
    });
}

// A long checksum run keeps the window alive: Close during it stops the run
// and nothing is claimed about the files.
TEST_F(PairWindow, CloseDuringAChecksumRunStopsIt)
{
    const std::string big(3 << 20, 'z');
    t.file("D/a/big.bin", big);
    t.file("D/b/big.bin", big);
    const int interval = EventPump::defaultInterval();
    EventPump::setDefaultInterval(0);
    open(true, [&](TfrmDup &w) {
        scanAndCompare(w, 0);
        bool wasBusy = false;
        QTimer::singleShot(0, &pairs, [&] {
            wasBusy = pairs.busy() && !pairs.btCompute->isEnabled() && !pairs.btMark[0]->isEnabled();
            QTest::mouseClick(pairs.btClose, Qt::LeftButton);
        });
        QTest::mouseClick(pairs.btCompute, Qt::LeftButton);
        EXPECT_TRUE(wasBusy);
        EXPECT_FALSE(pairs.isVisible());
        EXPECT_FALSE(pairs.busy());
        EXPECT_TRUE(pairs.lblCRC[0]->text().isEmpty());
        EXPECT_TRUE(pairs.btCompute->isEnabled());
    });
    EventPump::setDefaultInterval(interval);
}

// Next (or Page Down) during a long checksum run stops it and moves on;
// Escape stops it and the window stays.
TEST_F(PairWindow, NextOrEscapeDuringAChecksumRunStopsItAndMovesOn)
{
    const std::string big(3 << 20, 'z');
    t.file("D/a/big.bin", big);
    t.file("D/b/big.bin", big);
    t.file("D/c/x.txt", "x");
    t.file("D/d/x.txt", "x");
    const int interval = EventPump::defaultInterval();
    EventPump::setDefaultInterval(0);
    open(true, [&](TfrmDup &w) {
        scanAndCompare(w, 0); // filename only: big.bin, then x.txt
        ASSERT_EQ(pairs.GroupBox[0]->title(), "big.bin");
        bool nextLive = false;
        QTimer::singleShot(0, &pairs, [&] {
            nextLive = pairs.busy() && pairs.sbR1->isEnabled() && pairs.sbL1->isEnabled();
            QTest::mouseClick(pairs.sbR1, Qt::LeftButton);
        });
        QTest::mouseClick(pairs.btCompute, Qt::LeftButton);
        EXPECT_TRUE(nextLive);
        EXPECT_FALSE(pairs.busy());
        QCoreApplication::processEvents();
        EXPECT_EQ(pairs.currentRow(), 3);
        EXPECT_EQ(pairs.GroupBox[0]->title(), "x.txt");
        EXPECT_EQ(w.grid->selectedRow(), 3);

        QTest::mouseClick(pairs.sbL1, Qt::LeftButton);
        ASSERT_EQ(pairs.currentRow(), 1);
        QTimer::singleShot(0, &pairs, [&] { QTest::keyClick(&pairs, Qt::Key_Escape); });
        QTest::mouseClick(pairs.btCompute, Qt::LeftButton);
        QCoreApplication::processEvents();
        EXPECT_TRUE(pairs.isVisible());
        EXPECT_FALSE(pairs.busy());
        EXPECT_EQ(pairs.currentRow(), 1);
        EXPECT_TRUE(pairs.lblCRC[0]->text().isEmpty()); // nothing claimed about the files
    });
    EventPump::setDefaultInterval(interval);
}

// No two controls share an accelerator (Alt+N is "&Next pair"), and a "&"
// in a file name is shown in its box's title rather than taken for one.
TEST_F(PairWindow, EveryControlHasItsOwnAccelerator)
{
    t.file("D/a/R&D.txt", "1");
    t.file("D/b/R&D.txt", "1");
    open(true, [&](TfrmDup &w) {
        scanAndCompare(w, 0);
        const auto accelerator = [](const QString &text) -> QChar {
            for (qsizetype i = 0; i + 1 < text.size(); ++i) {
                if (text[i] != QLatin1Char('&'))
                    continue;
                if (text[i + 1] != QLatin1Char('&'))
                    return text[i + 1].toUpper();
                ++i; // "&&" is a shown "&"
            }
            return {};
        };
        std::map<QChar, QString> seen;
        QStringList clashes;
        QList<QWidget *> controls;
        for (QAbstractButton *b : pairs.findChildren<QAbstractButton *>())
            controls << b;
        for (QGroupBox *g : pairs.findChildren<QGroupBox *>())
            controls << g;
        for (QWidget *c : controls) {
            const auto *b = qobject_cast<QAbstractButton *>(c);
            const QString text = b ? b->text() : static_cast<QGroupBox *>(c)->title();
            const QChar key = accelerator(text);
            if (key.isNull())
                continue;
            if (!seen.emplace(key, text).second)
                clashes << seen[key] + " / " + text;
        }
        EXPECT_TRUE(clashes.isEmpty()) << clashes.join(", ").toStdString();
        EXPECT_EQ(seen[QLatin1Char('N')], "&Next pair");
        EXPECT_EQ(pairs.GroupBox[0]->title(), "R&&D.txt");
    });
}

TEST_F(PairWindow, BrowseGoesToTheSidesFolderWithItsFileSelected)
{
    t.file("D/a/x.txt", "1");
    const std::string right = t.file("D/b/x.txt", "1");
    std::vector<Navigation::Request> asked;
    Navigation::Registration browser(Navigation::Target::BrowseFolder, [&](const Navigation::Request &r) {
        asked.push_back(r);
        return true;
    });
    open(true, [&](TfrmDup &w) {
        scanAndCompare(w, 0);
        ASSERT_TRUE(pairs.btBrowse[1]->isEnabled());
        QTest::mouseClick(pairs.btBrowse[1], Qt::LeftButton);
        ASSERT_EQ(asked.size(), 1u);
        EXPECT_EQ(asked[0].path, t.path("D/b"));
        EXPECT_EQ(asked[0].selected, "x.txt");
        EXPECT_EQ(asked[0].mask, "*.*");
        EXPECT_EQ(asked[0].from, &pairs);
    });
}

// The real folder browser opens on each side's folder.
TEST_F(PairWindow, BrowseOpensTheFolderBrowserOnEachSidesFileWithAllFiles)
{
    const std::string a = t.file("D/a/m.txt", "12345");
    const std::string b = t.file("D/b/m.txt", "12345");
    t.file("D/b/other.bin", "x");
    const InstalledTargets targets; // the real folder browser
    EventPump::setDefaultInterval(-1);
    open(true, [&](TfrmDup &w) {
        scanAndCompare(w, 0);
        for (int s = 0; s < 2; ++s) {
            const std::string file = pairs.sidePath(s);
            std::string folder;
            QString selected, mask;
            TModal::push([&](QDialog *dlg) {
                auto *br = qobject_cast<TfrmBrowse *>(dlg);
                ASSERT_TRUE(br);
                folder = br->currentFolder();
                mask = br->mask();
                selected = br->grid->gridModel()->cell(br->grid->selectedRow(), 4);
                br->done(QDialog::Rejected);
            });
            ASSERT_TRUE(pairs.btBrowse[s]->isEnabled());
            QTest::mouseClick(pairs.btBrowse[s], Qt::LeftButton);
            EXPECT_EQ(folder, file.substr(0, file.rfind('/')));
            EXPECT_EQ(selected, "m.txt");
            EXPECT_EQ(mask, "*.*");
        }
        EXPECT_EQ(std::set<std::string>({pairs.sidePath(0), pairs.sidePath(1)}), std::set<std::string>({a, b}));
    });
    EventPump::setDefaultInterval(15);
}

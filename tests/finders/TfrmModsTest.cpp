#include "settings/TWinPlace.h"
#include "app/TfrmMain.h"
#include "common/Text.h"
#include "finders/DateRange.h"
#include "common/TModal.h"
#include "finders/TfrmMods.h"
#include "platform/Drives.h"
#include "safety/FoldersFile.h"
#include "safety/NonDeleteList.h"
#include "common/Navigation.h"
#include "safety/TfrmReallyDelete.h"
#include "scan/SortDirections.h"
#include "scan/TDriveCheckList.h"
#include "scan/TPatternBox.h"
#include "scan/TResultGrid.h"
#include "PatternTestSupport.h"
#include "support/ScriptedDialogs.h"
#include "support/TempTree.h"

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QDateEdit>
#include <QDateTime>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <set>
#include <sys/stat.h>

namespace {
const QDate S(2020, 3, 10); // the first date of the searches below
const QDate E(2020, 3, 20); // the second

timespec at(const QDate &d, int h, int m, int s)
{
    return {time_t(QDateTime(d, QTime(h, m, s)).toSecsSinceEpoch()), 0};
}

// Sets a file's access and modification stamps.
void stamp(const std::string &path, timespec accessed, timespec modified)
{
    const timespec t[2] = {accessed, modified};
    ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), t, AT_SYMLINK_NOFOLLOW), 0) << path;
}

// A fresh run of the program on a temporary tree mapped as drive C.
class ModsTest : public testing::Test {
protected:
    // The finders reach the deletion window through the navigation service.
    Navigation::Registration deletion{Navigation::Target::DeleteFiles, &TfrmReallyDelete::navigate};
    ModsTest() : tree("drive")
    {
        Drives::setMapping({{'C', tree.root()}});
        SortDirections::resetForTests();
    }
    ~ModsTest() override
    {
        Drives::setMapping({});
        TModal::clear();
    }

    // The file names listed, as a set.
    static std::set<std::string> listed(TfrmMods &w)
    {
        std::set<std::string> out;
        for (int r = 1; r <= w.foundCount(); ++r) {
            const std::string p = w.grid->gridModel()->path(r);
            out.insert(p.substr(p.rfind('/') + 1));
        }
        return out;
    }

    static void search(TfrmMods &w, QRadioButton *what, QRadioButton *when, const QDate &start, const QDate &end)
    {
        what->setChecked(true);
        when->click();
        w.dtStart->setDate(start);
        w.dtEnd->setDate(end);
        w.btScan->click();
    }

    ScriptedDialogs dlg;
    FixedFileTypes types;
    TempTree tree;
};
}

TEST_F(ModsTest, EachRangeWithEachStampListsExactlyTheFilesInIt)
{
    // Access and modification stamps mirror each other, so a search on the
    // wrong stamp gives a different list.
    const QDate mid = S.addDays(5);
    stamp(tree.file("before"), at(S.addDays(-1), 23, 59, 59), at(E.addDays(1), 0, 0, 0));
    stamp(tree.file("first"), at(S, 0, 0, 0), at(E, 23, 59, 59));
    stamp(tree.file("sub/mid"), at(mid, 12, 0, 0), at(mid, 12, 0, 0));
    stamp(tree.file("last"), at(E, 23, 59, 59), at(S, 0, 0, 0));
    stamp(tree.file("after"), at(E.addDays(1), 0, 0, 0), at(S.addDays(-1), 23, 59, 59));
    stamp(tree.file("nobirth"), at(mid, 1, 0, 0), at(mid, 1, 0, 0));
    tree.file(".hidden"); // never returned

    TfrmMods w;
    w.show();
    // This file system keeps birth times (today, the test's own); "nobirth"
    // stands for a file on one that keeps none.
    const Walker::Visitor inner = w.walker().visitor;
    w.walker().visitor = [&](const FoundFile &f) {
        FoundFile g = f;
        if (g.name == "nobirth")
            g.created = 0;
        return inner(g);
    };

    using Names = std::set<std::string>;
    struct Case {
        QRadioButton *what, *when;
        Names expected;
    };
    const Case cases[] = {
        {w.rbAccessed, w.rbBefore, {"before", "first"}},
        {w.rbAccessed, w.rbBetween, {"first", "mid", "last", "nobirth"}},
        {w.rbAccessed, w.rbAfter, {"first", "mid", "last", "after", "nobirth"}},
        {w.rbModified, w.rbBefore, {"after", "last"}},
        {w.rbModified, w.rbBetween, {"last", "mid", "first", "nobirth"}},
        {w.rbModified, w.rbAfter, {"last", "mid", "first", "before", "nobirth"}},
        // Every file here was created today; a file without a birth time
        // counts as on or before any date, never as between or after.
        {w.rbCreated, w.rbBefore, {"nobirth"}},
        {w.rbCreated, w.rbBetween, {}},
        {w.rbCreated, w.rbAfter, {"before", "first", "mid", "last", "after"}},
    };
    for (const Case &c : cases) {
        dlg.boxes.clear();
        search(w, c.what, c.when, S, E);
        const std::string label = (c.what->text() + " " + c.when->text()).toStdString();
        EXPECT_EQ(listed(w), c.expected) << label;
        if (c.expected.empty()) {
            ASSERT_EQ(dlg.boxes.size(), 1u) << label;
            EXPECT_EQ(dlg.boxes[0].text, "No files found.");
            EXPECT_EQ(w.grid->gridModel()->rowCount(), 1); // one empty row
        } else {
            EXPECT_TRUE(dlg.boxes.empty()) << label;
            EXPECT_EQ(w.pnlSel->text(), QStringLiteral("Found : %1").arg(c.expected.size())) << label;
        }
    }

    // Today, whatever the time of day, for every range.
    const QDate today = QDate::currentDate();
    for (QRadioButton *when : {w.rbBefore, w.rbBetween, w.rbAfter}) {
        search(w, w.rbCreated, when, today, today);
        EXPECT_EQ(listed(w).size(), when == w.rbBefore ? 6u : 5u) << when->text().toStdString();
    }
}

TEST_F(ModsTest, TheSearchIsTakenOnceWhenTheScanStarts)
{
    for (int i = 0; i < 6; ++i) {
        const std::string f = tree.file("d" + std::to_string(i) + "/f" + std::to_string(i) + ".txt");
        stamp(f, at(S, 10, 0, 0), at(E.addDays(30), 10, 0, 0));
    }
    tree.file("d0/skip.doc");
    TfrmMods w;
    w.show();
    w.walker().pumpIntervalMs = 0; // events run at every pump point
    bool changed = false;
    w.walker().pump = [&]() {
        if (changed)
            return;
        changed = true;
        // Changes made while the walk runs apply to the next scan only.
        w.rbModified->setChecked(true);
        w.rbAfter->click();
        w.patternBox->setPattern("*.doc");
        QApplication::processEvents();
    };
    search(w, w.rbAccessed, w.rbBetween, S, S);
    EXPECT_TRUE(changed);
    EXPECT_EQ(w.foundCount(), 6);
    EXPECT_EQ(listed(w).count("skip.doc"), 0u);
    EXPECT_EQ(w.grid->printTitle(), "Files Last accessed between 3/10/2020 and 3/10/2020");
    EXPECT_EQ(w.criteria().printTitle(), "Files Modified after 3/10/2020");
}

TEST_F(ModsTest, MarkingTwoFilesAndDeletingRemovesThoseTwoOnly)
{
    std::vector<std::string> files;
    for (const char *n : {"a.txt", "b.txt", "c.txt", "x/d.txt"}) {
        files.push_back(tree.file(n, "data"));
        stamp(files.back(), at(S, 9, 0, 0), at(S, 9, 0, 0));
    }
    TfrmMods w;
    TModal::push([&](QDialog *d) {
        auto *m = static_cast<TfrmMods *>(d);
        search(*m, m->rbAccessed, m->rbBefore, S, S);
        ASSERT_EQ(m->foundCount(), 4);
        EXPECT_FALSE(m->btDelete->isEnabled());
        for (int r = 1; r <= 4; ++r) {
            const std::string p = m->grid->gridModel()->path(r);
            if (p == files[1] || p == files[3])
                m->grid->MarkThisFile(r);
        }
        EXPECT_EQ(m->pnlSel->text(), "2 files 8 bytes");
        EXPECT_TRUE(m->btDelete->isEnabled());
        TModal::push([&](QDialog *rd) {
            auto *del = qobject_cast<TfrmReallyDelete *>(rd);
            ASSERT_TRUE(del);
            EXPECT_EQ(del->archiveTag, "FileDates");
            EXPECT_EQ(del->potentialSavings, 8.0);
            dlg.answer(Dialogs::Answer::Yes);
            rd->findChild<QPushButton *>("btDelete")->click();
        });
        m->btDelete->click();
        if (m->isVisible())
            m->done(100);
    });
    EXPECT_EQ(TModal::exec(&w), QDialog::Accepted);
    EXPECT_TRUE(TempTree::exists(files[0]));
    EXPECT_FALSE(TempTree::exists(files[1]));
    EXPECT_TRUE(TempTree::exists(files[2]));
    EXPECT_FALSE(TempTree::exists(files[3]));
}

TEST_F(ModsTest, TitleClipboardAndANewScanWithoutMarks)
{
    stamp(tree.file("root.txt", "12345"), at(S, 9, 0, 0), at(QDate(1998, 1, 1), 9, 0, 0));
    stamp(tree.file("in/deeper.txt"), at(S, 9, 0, 0), at(QDate(1999, 6, 1), 9, 0, 0));
    TfrmMods w;
    w.show();
    search(w, w.rbModified, w.rbAfter, QDate(1998, 1, 1), QDate(1998, 1, 1));
    ASSERT_EQ(w.foundCount(), 2);
    EXPECT_EQ(w.grid->printTitle(), "Files Modified after 1/1/1998");

    // Every row, marked or not: the folder and the name with one "/".
    w.grid->btClipClick();
    QStringList lines = QApplication::clipboard()->text().split('\n', Qt::SkipEmptyParts);
    lines.sort();
    EXPECT_EQ(lines, QStringList({QString::fromStdString(tree.path("in/deeper.txt")),
                                  QString::fromStdString(tree.path("root.txt"))}));

    // The row's cells, the root folder ending in "/".
    const int row = w.grid->gridModel()->path(1) == tree.path("root.txt") ? 1 : 2;
    const auto cell = [&](int c) { return w.grid->gridModel()->cell(row, c); };
    EXPECT_EQ(cell(0), "root.txt");
    EXPECT_EQ(cell(1), "3/10/2020");
    EXPECT_EQ(cell(3), "1/1/1998");
    EXPECT_EQ(cell(4), "5");
    EXPECT_EQ(cell(5), QString::fromStdString(tree.root() + "/"));
    EXPECT_EQ(cell(6), "TXT File");

    w.grid->Markall1Click();
    EXPECT_TRUE(w.btDelete->isEnabled());
    w.btScan->click();
    EXPECT_EQ(w.grid->markedCount(), 0);
    EXPECT_EQ(w.grid->markedSize(), 0);
    EXPECT_FALSE(w.btDelete->isEnabled());
    EXPECT_EQ(w.foundCount(), 2);
}

TEST_F(ModsTest, DateFieldsKeepTheirOrderAndTheSecondShowsOnlyInBetween)
{
    TfrmMods w;
    w.show();
    EXPECT_EQ(w.dtStart->date(), QDate::currentDate());
    EXPECT_EQ(w.dtEnd->date(), QDate::currentDate());
    EXPECT_TRUE(w.rbBetween->isChecked());
    EXPECT_TRUE(w.rbAccessed->isChecked());
    EXPECT_TRUE(w.dtEnd->isVisible());
    EXPECT_TRUE(w.lblAnd->isVisible());
    EXPECT_EQ(w.dtStart->minimumDate(), QDate(1980, 1, 1));
    EXPECT_EQ(w.dtStart->maximumDate(), QDate(2107, 12, 31));
    EXPECT_TRUE(w.dtStart->calendarPopup());

    w.dtStart->setDate(E);
    w.dtEnd->setDate(S); // earlier than the first: the first follows
    EXPECT_EQ(w.dtStart->date(), S);
    w.dtStart->setDate(E); // later than the second: the second follows
    EXPECT_EQ(w.dtEnd->date(), E);
    w.dtStart->setDate(S);
    EXPECT_EQ(w.dtEnd->date(), E); // no need to move

    w.rbBefore->click();
    EXPECT_FALSE(w.dtEnd->isVisible());
    EXPECT_FALSE(w.lblAnd->isVisible());
    w.rbAfter->click();
    EXPECT_FALSE(w.dtEnd->isVisible());
    w.rbBetween->click();
    EXPECT_TRUE(w.dtEnd->isVisible());
}

// Typing into a date field moves the other field only when the typed date
// is finished: "1" on the way to "11" is no date to act on.
TEST_F(ModsTest, TypedDatesKeepTheOrderOnlyWhenTheEditIsFinished)
{
    TfrmMods w;
    w.show();
    const QDate oct8(2026, 10, 8);
    w.dtStart->setDate(oct8);
    w.dtEnd->setDate(oct8);
    auto typeMonth = [](QDateEdit *field, const char *keys) {
        field->setFocus();
        field->setSelectedSection(QDateTimeEdit::MonthSection);
        QTest::keyClicks(field, keys);
    };
    typeMonth(w.dtEnd, "11");
    EXPECT_EQ(w.dtEnd->date(), QDate(2026, 11, 8));
    EXPECT_EQ(w.dtStart->date(), oct8); // not dragged to January on the way
    QTest::keyClick(w.dtEnd, Qt::Key_Return);
    EXPECT_EQ(w.dtStart->date(), oct8);

    // A typed second date earlier than the first moves the first once it is
    // finished, here by Enter.
    typeMonth(w.dtEnd, "9");
    EXPECT_EQ(w.dtStart->date(), oct8);
    QTest::keyClick(w.dtEnd, Qt::Key_Return);
    EXPECT_EQ(w.dtEnd->date(), QDate(2026, 9, 8));
    EXPECT_EQ(w.dtStart->date(), QDate(2026, 9, 8));

    // A whole date typed over the selected text; the order is kept when the
    // field's edit ends.
    w.dtStart->setFocus();
    QTest::keyClick(w.dtStart, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(w.dtStart, "12/25/2026");
    EXPECT_EQ(w.dtStart->text(), "12/25/2026");
    EXPECT_EQ(w.dtEnd->date(), QDate(2026, 9, 8));
    QTest::keyClick(w.dtStart, Qt::Key_Enter);
    EXPECT_EQ(w.dtStart->date(), QDate(2026, 12, 25));
    EXPECT_EQ(w.dtEnd->date(), QDate(2026, 12, 25));
    // Text that is no date gives the last date back.
    QTest::keyClick(w.dtStart, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(w.dtStart, "13/45");
    QTest::keyClick(w.dtStart, Qt::Key_Enter);
    EXPECT_EQ(w.dtStart->date(), QDate(2026, 12, 25));
    EXPECT_EQ(w.dtStart->text(), "12/25/2026");

    // A step applies at once.
    w.dtStart->setSelectedSection(QDateTimeEdit::DaySection);
    QTest::keyClick(w.dtStart, Qt::Key_Up);
    EXPECT_EQ(w.dtStart->date(), QDate(2026, 12, 26));
    EXPECT_EQ(w.dtEnd->date(), QDate(2026, 12, 26));
}

TEST_F(ModsTest, CaptionsHintsMenuAndAbortDuringAScan)
{
    for (int i = 0; i < 5; ++i)
        tree.file("f" + std::to_string(i) + "/x.txt");
    TfrmMods w;
    w.show();
    EXPECT_EQ(w.windowTitle(), "Files in a range of dates");
    EXPECT_EQ(w.rgWhat->title(), "Search for files that were");
    EXPECT_EQ(w.patternBox->caption()->text(), "Wildcard match");
    EXPECT_EQ(w.patternBox->lblWild()->text(), "All files");
    EXPECT_EQ(w.btScan->toolTip(), "Start scanning for files");
    EXPECT_EQ(w.btMark->toolTip(), "Mark files for deletion");
    EXPECT_EQ(w.btBrowse->toolTip(), "Browse through files");
    QStringList sorts;
    for (int i = 1; i <= 7; ++i)
        sorts << w.grid->action(QStringLiteral("Sortby%1").arg(i))->text();
    EXPECT_EQ(sorts, QStringList({"&Name", "Access &Date", "&Creation Date", "&Modification Date", "&Size",
                                  "&Folder", "&Type"}));
    for (QPushButton *b : {w.btOptions, w.btBrowse, w.btDetails, w.btAbort, w.btMark, w.btDelete})
        EXPECT_FALSE(b->isVisible()) << b->objectName().toStdString();

    // While the walk runs the date fields are disabled; Abort shows a
    // plain box and keeps what was found.
    int64_t now = 0;
    w.walker().clockMs = [&now]() { return now += 100; };
    bool fieldsOff = false;
    int pumps = 0;
    w.walker().pump = [&]() {
        if (++pumps != 2)
            return;
        fieldsOff = !w.dtStart->isEnabled() && !w.dtEnd->isEnabled() && !w.btScan->isEnabled();
        w.btAbort->click();
    };
    search(w, w.rbModified, w.rbBefore, QDate::currentDate(), QDate::currentDate());
    EXPECT_TRUE(fieldsOff);
    ASSERT_FALSE(dlg.boxes.empty());
    EXPECT_EQ(dlg.boxes[0].text, Walker::abortText());
    EXPECT_EQ(dlg.boxes[0].kind, Dialogs::Kind::Plain);
    EXPECT_LT(w.foundCount(), 5);
    EXPECT_TRUE(w.dtStart->isEnabled());
}

TEST_F(ModsTest, MainWindowOpensItBehindTheGuardAndItsPlacementIsKept)
{
    ASSERT_TRUE(FoldersFile::write({"/opt/protected/"}));
    nonDeleteList().load();
    TfrmMain main;
    main.show();
    QPushButton *files = main.findChild<QPushButton *>("btFiles");
    ASSERT_TRUE(files->isEnabled());
    QString title;
    TModal::push([&](QDialog *d) {
        auto *m = qobject_cast<TfrmMods *>(d);
        ASSERT_TRUE(m);
        title = m->windowTitle();
        m->move(60, 70);
        m->btClose->click();
    });
    files->click();
    EXPECT_EQ(title, "Files in a range of dates");
    EXPECT_EQ(TModal::pending(), 0u);

    QWidget probe;
    TWinPlace place(&probe);
    place.IniFileName = "vantor95";
    place.Identifier = "frmMods";
    EXPECT_TRUE(place.hasStored());
    TfrmMods again;
    again.show();
    EXPECT_EQ(again.pos(), QPoint(60, 70));
    EXPECT_TRUE(dlg.boxes.empty());
    FoldersFile::write({});
    nonDeleteList().load();
}

TEST(TfrmMods, TypedRowsShowWhatTheLinesShowed)
{
    // The window hands each file in range to the grid as a typed row. Its
    // cells, path and clipboard text must be those of the file's line: a
    // name with a leading blank, a tab and a byte that is not UTF-8, 5 GB
    // in size, in a folder with a control character; a file at a root.
    FoundFile a;
    a.name = " a\tb\xff.txt";
    a.folder = "/data/x\x01y";
    a.size = int64_t(5) << 30;
    a.written = DosTime::fromUnix(1600000000);
    a.accessed = DosTime::fromUnix(1700000000);
    FoundFile b;
    b.name = "r.TXT";
    b.folder = "/";
    b.size = 7;
    b.created = DosTime::fromUnix(1500000000);
    ResultGridModel typed(TfrmMods::gridLayout()), lines(TfrmMods::gridLayout());
    typed.ClearGrid();
    lines.ClearGrid();
    for (FoundFile *f : {&a, &b}) {
        f->path = joinPath(f->folder, f->name);
        f->folderText = displayName(f->folder);
        typed.addFile(*f, typed.typeId(DateRange::typeText(*f)));
        lines.addToGrid(DateRange::line(*f), f->path);
    }
    for (int r = 1; r <= 2; ++r) {
        for (int c = 0; c < typed.columnCount(); ++c)
            EXPECT_EQ(typed.cell(r, c), lines.cell(r, c)) << "row " << r << " column " << c;
        EXPECT_EQ(typed.path(r), lines.path(r));
    }
    EXPECT_EQ(typed.cell(1, 0), QString::fromUtf8(" a\u2409b\ufffd.txt").trimmed());
    EXPECT_EQ(typed.cell(1, 4), "5,368,709,120");
    EXPECT_EQ(typed.cell(2, 5), "/");
    EXPECT_EQ(typed.clipboardText(), lines.clipboardText());
}

// The statistics window: the wizard, the collection run and the pages that
// are grids and labels.
#include "settings/IniFile.h"
#include "common/TModal.h"
#include "platform/Drives.h"
#include "platform/FileTypes.h"
#include "safety/NonDeleteList.h"
#include "safety/TfrmReallyDelete.h"
#include "scan/TDriveCheckList.h"
#include "stats/StatTypeLists.h"
#include "stats/TfrmStatList.h"
#include "stats/TfrmStatistics.h"
#include "stats/TfrmWhichDrive.h"
#include "support/ScriptedDialogs.h"
#include "support/TempTree.h"

#include <QChartView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTableWidget>
#include <QTreeWidget>
#include <QFontMetrics>
#include <gtest/gtest.h>

#include <unistd.h>

namespace {
class StatsWindow : public testing::Test {
protected:
    ScriptedDialogs dlg;
    TempTree t{"drives"};
    std::string c = t.dir("C"), d = t.dir("D"), e = t.dir("E");

    StatsWindow()
    {
        Drives::setMapping({{'C', c}, {'D', d}, {'E', e}});
        FileTypes::setTableForTests({{".txt", "Text"}, {".doc", "Document"}});
    }
    ~StatsWindow() override
    {
        Drives::setMapping({});
        FileTypes::setTableForTests({});
        TModal::clear();
    }

    // Answers the wizard: checks the drives of these letters, picks a type
    // choice (0 all, 1 include, 2 exclude) and checks the type lines whose
    // pattern is listed. before runs just before the wizard's last click.
    static void answer(const std::string &letters, int choice, const QStringList &types = {},
                       const std::function<void()> &before = {})
    {
        TModal::push([=](QDialog *dlg) {
            auto *w = static_cast<TfrmWhichDrive *>(dlg);
            for (int i = 0; i < w->pckDrive->count(); ++i) {
                const char l = char(w->pckDrive->item(i)->text().at(0).toLower().toLatin1());
                w->pckDrive->item(i)->setCheckState(letters.find(l) != std::string::npos ? Qt::Checked
                                                                                        : Qt::Unchecked);
            }
            w->btNext1->click();
            (choice == 0 ? w->rbAll : choice == 1 ? w->rbInclude : w->rbExclude)->setChecked(true);
            if (choice == 0) {
                if (before)
                    before();
                w->btNext2->click();
                return;
            }
            w->btNext2->click();
            for (int i = 0; i < w->PickList1->topLevelItemCount(); ++i)
                if (types.contains(w->PickList1->topLevelItem(i)->text(0)))
                    w->PickList1->topLevelItem(i)->setCheckState(0, Qt::Checked);
            if (before)
                before();
            w->btOK->click();
        });
    }

    static QString cell(QTableWidget *g, int row, int column)
    {
        return g->item(row, column) ? g->item(row, column)->text() : QString();
    }
};
}

TEST_F(StatsWindow, WizardPagesChoicesAndCancel)
{
    StatTypeLists::write({"*.txt", "*.doc"}, "Include");
    TfrmWhichDrive w;
    w.show();
    EXPECT_EQ(w.windowTitle(), "Which drives and file types?");
    // Wide enough for its title beside the window manager's buttons, the page in the middle.
    QFont bold = w.font();
    bold.setBold(true);
    EXPECT_GE(w.width(), QFontMetrics(bold).horizontalAdvance(w.windowTitle()) + 120);
    EXPECT_EQ(w.height(), 315);
    EXPECT_EQ(w.findChild<QWidget *>("Panel1")->geometry(), QRect((w.width() - 281) / 2, 1, 281, 313));
    EXPECT_EQ(w.currentPage(), 0);
    // Upper-case letters as in every other drive list; A and B are never listed.
    ASSERT_EQ(w.pckDrive->count(), 3);
    EXPECT_TRUE(w.pckDrive->item(0)->text().startsWith("C:"));
    w.setAllDrives(false);
    EXPECT_FALSE(w.btNext1->isEnabled());
    w.pckDrive->item(0)->setCheckState(Qt::Checked);
    EXPECT_TRUE(w.btNext1->isEnabled());
    w.btNext1->click();
    EXPECT_EQ(w.currentPage(), 1);
    w.rbInclude->setChecked(true);
    w.btNext2->click();
    EXPECT_EQ(w.currentPage(), 2);
    EXPECT_EQ(w.typeLines(), (QStringList{"*.txt\tText", "*.doc\tDocument"}));
    EXPECT_EQ(w.lblCounter->text(), "0/2");
    EXPECT_FALSE(w.btOK->isEnabled());
    w.setAllTypes(true);
    EXPECT_EQ(w.lblCounter->text(), "2/2");
    EXPECT_TRUE(w.btOK->isEnabled());
    // No drive checked: OK stays disabled whatever types are checked.
    w.setAllDrives(false);
    w.setAllTypes(true);
    EXPECT_FALSE(w.btOK->isEnabled());

    // The editor opened from page 3 stores its list; the page shows it, unchecked.
    TModal::push([](QDialog *dlg) {
        auto *ed = static_cast<TfrmStatList *>(dlg);
        ed->PickList1->item(0)->setSelected(true); // "*.doc" sorts first
        ed->btDelete->click();
        ed->btClose->click();
    });
    w.btEditClick();
    EXPECT_EQ(w.typeLines(), QStringList{"*.txt\tText"});
    EXPECT_EQ(w.lblCounter->text(), "0/1");
    EXPECT_TRUE(dlg.boxes.empty());

    // "All files" ends the wizard from page 2.
    TfrmWhichDrive all;
    all.show();
    all.btNext1->click();
    all.btNext2->click();
    EXPECT_EQ(all.result(), QDialog::Accepted);
    EXPECT_TRUE(all.allFiles());
}

TEST_F(StatsWindow, IncludeOnlyTxtCountsOnlyTxtAndCancelChangesNothing)
{
    t.sized("C/a.txt", 10);
    t.sized("C/sub/b.TXT", 20);
    t.sized("C/sub/c.doc", 30);
    t.sized("C/.hidden/d.bin", 40);
    StatTypeLists::write({"*.txt", "*.log"}, "Include");
    TfrmStatistics w;
    w.show();
    answer("c", 1, {"*.txt", "*.log"});
    w.btOKClick();
    EXPECT_EQ(TModal::pending(), 0u);
    const StatTallies &tl = w.tallies();
    EXPECT_EQ(tl.filesProcessed, 4);
    EXPECT_EQ(tl.filesCounted, 2);
    EXPECT_EQ(w.statusText(), "Finished - 4 files processed 2 files found");
    EXPECT_TRUE(w.windowTitle().startsWith("Statistics completed for drives C: "));
    ASSERT_EQ(dlg.boxes.size(), 1u);
    EXPECT_TRUE(dlg.boxes[0].text.startsWith("Disk Drive C: "));
    EXPECT_TRUE(w.OvcNotebook1->isTabEnabled(TfrmStatistics::Overhang));
    // A chosen type without files has a row of zeros; totals in the last row.
    ASSERT_EQ(w.gridTypes->rowCount(), 3);
    EXPECT_EQ(cell(w.gridTypes, 0, 0), ".LOG");
    EXPECT_EQ(cell(w.gridTypes, 0, 4), "0");
    EXPECT_EQ(cell(w.gridTypes, 1, 0), ".TXT");
    EXPECT_EQ(cell(w.gridTypes, 1, 1), "Text");
    EXPECT_EQ(cell(w.gridTypes, 1, 2), "30");
    EXPECT_EQ(cell(w.gridTypes, 1, 3), "2");
    EXPECT_EQ(cell(w.gridTypes, 1, 4), "15");

    // Cancel: nothing changes, no box.
    const std::string before = w.statusText().toStdString();
    TModal::push([](QDialog *dlg) { dlg->reject(); });
    w.btOKClick();
    EXPECT_EQ(w.statusText().toStdString(), before);
    EXPECT_EQ(w.tallies().filesCounted, 2);
    EXPECT_EQ(dlg.boxes.size(), 1u);

    // Exclude with a type no file has counts everything, dot-folders included.
    StatTypeLists::write({"*.xyz"}, "Exclude");
    answer("c", 2, {"*.xyz"});
    w.btOKClick();
    EXPECT_EQ(w.tallies().filesCounted, 4);
    EXPECT_EQ(w.statusText(), "Finished - 4 files processed");
}

TEST_F(StatsWindow, GridsAndOverhangOfAOneDriveCollection)
{
    t.sized("C/exact.dat", 16384);
    t.sized("C/over.dat", 16385);
    t.sized("C/block.doc", 4096);
    const std::string ro = t.sized("C/ro.txt", 100);
    ::chmod(ro.c_str(), 0444);
    TfrmStatistics w;
    w.show();
    answer("c", 0);
    w.btOKClick();
    // Sizes: largest bucket first.
    EXPECT_EQ(cell(w.gridSizes, 0, 0), "Over 16MB");
    EXPECT_EQ(cell(w.gridSizes, 11, 0), "0 - 16K");
    EXPECT_EQ(cell(w.gridSizes, 11, 1), "20,580");
    EXPECT_EQ(cell(w.gridSizes, 11, 2), "3");
    EXPECT_EQ(cell(w.gridSizes, 10, 1), "16,385");
    EXPECT_EQ(w.gridSizes->item(11, 1)->textAlignment() & Qt::AlignRight, Qt::AlignRight);
    // Dates: oldest first, "Not recorded" last; the combined grid repeats them.
    EXPECT_EQ(cell(w.gridAge[StatTallies::Modified], 0, 0), "Over 4 years");
    EXPECT_EQ(cell(w.gridAge[StatTallies::Modified], 8, 0), "<= 7 days");
    EXPECT_EQ(cell(w.gridAge[StatTallies::Modified], 8, 2), "4");
    EXPECT_EQ(w.gridAge[StatTallies::Accessed]->horizontalHeaderItem(0)->text(), "Accessed Date");
    EXPECT_EQ(cell(w.gridCombine, 8, 0), "<= 7 days");
    EXPECT_EQ(cell(w.gridCombine, 8, 6), "4");
    EXPECT_EQ(cell(w.gridCombine, 8, 5), "36,965");
    // Attributes.
    EXPECT_EQ(w.lblNAttr[StatTallies::ReadOnly]->text(), "1");
    EXPECT_EQ(w.lblSzAttr[StatTallies::Archive]->text(), "36,965");
    EXPECT_EQ(w.lblNAttr[StatTallies::Hidden]->text(), "0");
    // Overhang: every figure, and the arrow at the file system's block size.
    EXPECT_EQ(w.lblOver[0]->text(), "8,091"); // 4,095 for 16,385 bytes and 3,996 for 100
    EXPECT_EQ(w.lblOver[4]->text(), "225,179");
    EXPECT_EQ(w.lblNumFiles->text(), "Number of files scanned: 4");
    EXPECT_EQ(w.lblSize->text(), "36 KB");
    const int64_t cluster = Drives::clusterSize(c);
    const int at = StatTallies::trialIndex(cluster);
    EXPECT_EQ(!w.imArrow->isHidden(), at >= 0);
    EXPECT_EQ(!w.pnlCluster->isHidden(), at < 0);
    if (at >= 0) {
        EXPECT_EQ(w.imArrow->y(), w.lblCSize[size_t(at)]->y());
        EXPECT_TRUE(w.lblLbl->text().startsWith("Actual space used "));
    }

    // Types grid: sorted by extension after the walk; the sort menu keeps
    // the totals row last.
    ASSERT_EQ(w.gridTypes->rowCount(), 4);
    w.rgTypesItems[0]->setChecked(true);
    EXPECT_EQ(cell(w.gridTypes, 3, 1), "Totals");
    EXPECT_EQ(cell(w.gridTypes, 3, 2), "36,965");
    EXPECT_EQ(cell(w.gridTypes, 3, 3), "4");
    w.SortbyExtensionClick(2);
    EXPECT_EQ(cell(w.gridTypes, 0, 0), ".DAT");
    EXPECT_EQ(cell(w.gridTypes, 1, 0), ".DOC");
    EXPECT_EQ(cell(w.gridTypes, 2, 0), ".TXT");
    EXPECT_EQ(cell(w.gridTypes, 3, 1), "Totals");
    EXPECT_TRUE(w.sortItems[2]->isChecked());
    EXPECT_FALSE(w.sortItems[0]->isChecked());
    ::chmod(ro.c_str(), 0644);
}

TEST_F(StatsWindow, TwoDrivesSumAndSkipADriveThatIsNotReady)
{
    t.sized("C/one.txt", 1000);
    t.sized("E/two.txt", 3000);
    t.sized("E/x/three.txt", 5000);
    TfrmStatistics w;
    w.show();
    w.OvcNotebook1->setCurrentIndex(TfrmStatistics::Overhang);
    // D is listed in the wizard, then its folder goes away: not ready.
    answer("cde", 0, {}, [&] { ASSERT_EQ(::rmdir(d.c_str()), 0); });
    w.btOKClick();
    ASSERT_EQ(dlg.boxes.size(), 1u); // the drive that is not ready adds no box
    EXPECT_TRUE(dlg.boxes[0].text.startsWith("Since you selected more than one drive"));
    EXPECT_EQ(w.tallies().filesCounted, 3);
    EXPECT_EQ(w.tallies().sizeBytes[1], 9000);
    EXPECT_EQ(w.windowTitle(), "Statistics completed for drives C: D: E: ");
    EXPECT_FALSE(w.OvcNotebook1->isTabEnabled(TfrmStatistics::Overhang));
    EXPECT_NE(w.OvcNotebook1->currentIndex(), int(TfrmStatistics::Overhang));
    EXPECT_EQ(w.tallies().overhang[0], 0); // not accumulated for several drives
}

TEST_F(StatsWindow, AbortLeavesTheAbortedCaptionAndStatus)
{
    for (int i = 0; i < 20; ++i)
        t.sized("C/f" + std::to_string(i) + ".txt", i);
    t.sized("E/later.txt", 1);
    TfrmStatistics w;
    w.show();
    // The walker's own walk: the abort lands between two files.
    w.statScan().workers = 0;
    Walker &walker = w.statScan().walker;
    walker.pumpIntervalMs = 0;
    int pumps = 0;
    walker.pump = [&] {
        EXPECT_TRUE(w.btAbort->isVisible());
        EXPECT_FALSE(w.btOK->isEnabled());
        if (++pumps == 3)
            w.btAbort->click();
    };
    answer("ce", 0);
    w.btOKClick();
    EXPECT_EQ(w.windowTitle(), "File Statistics for drive(s) incomplete ... aborted.");
    EXPECT_TRUE(w.statusText().endsWith(" INCOMPLETE ... ABORTED")) << w.statusText().toStdString();
    EXPECT_LT(w.tallies().filesProcessed, 20);
    EXPECT_GT(w.tallies().filesProcessed, 0);
    EXPECT_FALSE(w.btAbort->isVisible());
    EXPECT_TRUE(w.btOK->isEnabled());
    EXPECT_TRUE(w.isCollected());
}

TEST_F(StatsWindow, NoCapacityStopsWithAMessageAndKeepsTheTallies)
{
    TfrmStatistics w;
    w.show();
    answer("d", 0, {}, [&] { ASSERT_EQ(::rmdir(d.c_str()), 0); }); // only a drive that is not ready
    w.btOKClick();
    ASSERT_EQ(dlg.boxes.size(), 1u);
    EXPECT_EQ(dlg.boxes[0].text,
              "Could not compute the total size of the disk drives selected.  Cannot proceed with statistics.");
    EXPECT_EQ(w.windowTitle(), "File Statistics Not Yet Collected");
    w.OvcNotebook1->setCurrentIndex(TfrmStatistics::Sizes);
    EXPECT_TRUE(w.pnlNotYet->isVisible());
    EXPECT_EQ(w.lblNotYet->text(), "Statistics haven't been collected yet!");
}

TEST_F(StatsWindow, DeletedPageShowsTheRunningTotalsAndResets)
{
    nonDeleteList().setLists({}, {}, {});
    IniFile().writeString("ZipFile", "Path", QString::fromStdString(t.dir("archives")));
    const std::string gone = t.sized("C/gone.tmp", 1234), zipped = t.sized("C/zipped.tmp", 5678);
    {
        TfrmReallyDelete del;
        del.setFiles({gone});
        dlg.answer(Dialogs::Answer::Yes);
        TModal::push([&](QDialog *) { del.btDelete->click(); });
        TModal::exec(&del);
    }
    {
        TfrmReallyDelete zip;
        zip.setFiles({zipped});
        zip.archiveTag = QStringLiteral("Stats");
        TModal::push([&](QDialog *) {
            TModal::push([](QDialog *opt) { opt->findChild<QPushButton *>("btOK")->click(); });
            zip.btZip->click();
        });
        TModal::exec(&zip);
    }
    ASSERT_FALSE(TempTree::exists(gone) || TempTree::exists(zipped));

    TfrmStatistics w;
    w.show();
    w.OvcNotebook1->setCurrentIndex(TfrmStatistics::Deleted);
    EXPECT_FALSE(w.pnlNotYet->isVisible());
    EXPECT_EQ(w.edNdelete->text(), "1 files");
    EXPECT_EQ(w.edSzDelete->text(), "1,234 bytes");
    EXPECT_EQ(w.edNZip->text(), "1 files");
    EXPECT_EQ(w.edSzZip->text(), "5,678 bytes");
    EXPECT_EQ(w.edNWaste->text(), "n/a");
    const QString since = QStringLiteral("Since ") + shortDateText(QDate::currentDate());
    EXPECT_EQ(w.lblSince1->text(), since);
    EXPECT_EQ(w.lblZipSince->text(), since);

    dlg.answer(Dialogs::Answer::No);
    w.Button1->click();
    EXPECT_EQ(w.edNdelete->text(), "1 files");
    dlg.answer(Dialogs::Answer::Yes);
    w.Button1->click();
    EXPECT_EQ(dlg.last()->text, "Reset cumulative totals?");
    for (QLineEdit *e : {w.edNdelete, w.edSzDelete, w.edNWaste, w.edSzWaste, w.edNZip, w.edSzZip})
        EXPECT_EQ(e->text(), "n/a");
    EXPECT_TRUE(w.lblSince1->text().isEmpty());
    // And on a later visit.
    w.OvcNotebook1->setCurrentIndex(TfrmStatistics::Space);
    w.OvcNotebook1->setCurrentIndex(TfrmStatistics::Deleted);
    EXPECT_EQ(w.edNZip->text(), "n/a");
    EXPECT_TRUE(w.lblZipSince->text().isEmpty());
}

TEST_F(StatsWindow, TypeListEditorCountsWithThousandsSeparators)
{
    QStringList lines;
    for (int i = 0; i < 1200; ++i)
        lines << QStringLiteral("*.x%1").arg(i);
    StatTypeLists::write(lines, "Include");
    QString count;
    TModal::push([&count](QDialog *dlgW) {
        count = static_cast<TfrmStatList *>(dlgW)->lblCount->text();
        dlgW->reject();
    });
    TfrmStatList ed("Include");
    TModal::exec(&ed);
    EXPECT_EQ(count, "1,200 available");
}

TEST_F(StatsWindow, TypeListEditorAddsDeletesAndStoresOnlyOnClose)
{
    auto pick = [](const QString &text) {
        TModal::push([text](QDialog *p) {
            p->findChild<QLineEdit *>("Edit1")->setText(text);
            p->findChild<QPushButton *>("BitBtn1")->click();
        });
    };
    TModal::push([&](QDialog *dlgW) {
        auto *ed = static_cast<TfrmStatList *>(dlgW);
        EXPECT_EQ(ed->lblCount->text(), "3 available");
        pick("*.txt");
        ed->btAddClick();
        pick("*.txt"); // the same line again: nothing added
        ed->btAddClick();
        pick("*.*");
        ed->btAddClick();
        EXPECT_EQ(ed->lines(), (QStringList{"*.doc\tDocument", "*.odt\tODT File", "*.so\tSO File", "*.txt\tText"}));
        EXPECT_EQ(ed->lblCount->text(), "4 available");
        ed->PickList1->item(0)->setSelected(true);
        ed->PickList1->item(1)->setSelected(true);
        dlg.answer(Dialogs::Answer::No);
        ed->btDeleteClick();
        EXPECT_EQ(dlg.last()->text, "Really delete 2 extensions?");
        EXPECT_EQ(ed->PickList1->count(), 4);
        ed->PickList1->clearSelection();
        ed->PickList1->item(0)->setSelected(true);
        ed->btDeleteClick(); // one line: no question
        EXPECT_EQ(dlg.boxes.size(), 1u);
        ed->btClose->click();
    });
    TfrmStatList ed("Exclude");
    EXPECT_EQ(TModal::exec(&ed), QDialog::Accepted);
    EXPECT_EQ(StatTypeLists::read("Exclude"), (QStringList{"*.odt\tODT File", "*.so\tSO File", "*.txt\tText"}));

    // The close box stores nothing.
    TModal::push([](QDialog *dlgW) {
        auto *ed2 = static_cast<TfrmStatList *>(dlgW);
        ed2->PickList1->clear();
        ed2->close();
    });
    TfrmStatList again("Exclude");
    EXPECT_EQ(TModal::exec(&again), QDialog::Rejected);
    EXPECT_EQ(StatTypeLists::read("Exclude").size(), 3);
}

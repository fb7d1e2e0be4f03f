// The extraction window, its destination and password windows, end to end.
#include "settings/AppState.h"
#include "settings/IniFile.h"
#include "app/TfrmMain.h"
#include "common/TInteractiveDialogs.h"
#include "common/TModal.h"
#include "common/TPathLabel.h"
#include "platform/Drives.h"
#include "safety/NonDeleteList.h"
#include "safety/TfrmDelDirectory.h"
#include "safety/TfrmPassword.h"
#include "safety/TfrmReallyDelete.h"
#include "safety/TfrmUnZipIt.h"
#include "safety/TfrmZipDirectory.h"
#include "safety/ZipArchive.h"
#include "scan/TFolderTree.h"
#include "support/ScriptedDialogs.h"
#include "support/TempTree.h"
#include "support/TestEnv.h"
#include "ZipTestData.h"

#include <QApplication>
#include <QCheckBox>
#include <QMessageBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <memory>
#include <sys/stat.h>

namespace {
class UnZipIt : public testing::Test {
protected:
    ScriptedDialogs dialogs;
    TempTree t{"drives"};
    std::string d = t.dir("D"), archives = t.dir("archives");

    void SetUp() override
    {
        Drives::setMapping({{'D', d}});
        nonDeleteList().setLists({}, {}, {});
        IniFile().writeString("ZipFile", "Path", QString::fromStdString(archives));
        AppState::defaultZipPath = QString::fromStdString(archives);
    }
    void TearDown() override
    {
        Drives::setMapping({});
        AppState::defaultZipPath.clear();
        TModal::clear();
    }
    // Opens the extraction window and runs body inside it, then closes it.
    void inWindow(const std::function<void(TfrmUnZipIt &)> &body)
    {
        TfrmUnZipIt w;
        TModal::push([&](QDialog *) {
            body(w);
            w.btCloseClick();
        });
        TModal::exec(&w);
    }
    static void select(TfrmUnZipIt &w, const QString &name)
    {
        auto *list = w.findChild<QListWidget *>("FileListBox1");
        const auto found = list->findItems(name, Qt::MatchExactly);
        ASSERT_EQ(found.size(), 1) << name.toStdString();
        list->setCurrentItem(found[0]);
    }
    // Presses Extract; the destination window is answered by dest.
    void extract(TfrmUnZipIt &w, const std::function<void(TfrmZipDirectory &)> &dest)
    {
        TModal::push([&](QDialog *dlg) {
            auto *z = qobject_cast<TfrmZipDirectory *>(dlg);
            ASSERT_TRUE(z);
            dest(*z);
            if (z->isVisible())
                z->reject();
        });
        QTest::mouseClick(w.findChild<QPushButton *>("btExtract"), Qt::LeftButton);
    }
    static void ok(TfrmZipDirectory &z) { z.findChild<QPushButton *>("Button1")->click(); }
    // A password window answered with text (nothing: Cancel).
    static void password(const std::optional<QString> &text)
    {
        TModal::push([text](QDialog *dlg) {
            auto *p = qobject_cast<TfrmPassword *>(dlg);
            ASSERT_TRUE(p);
            if (!text) {
                p->reject();
                return;
            }
            QTest::keyClicks(p->passwordEdit(), *text);
            QTest::keyClicks(p->verifyEdit(), *text);
            p->okButton()->click();
        });
    }
    std::string archiveNamed(const std::string &name, const std::vector<std::pair<std::string, std::string>> &items,
                             const std::string &comment = {})
    {
        const std::string path = archives + "/" + name;
        ZipArchive z;
        z.open(path);
        z.setComment(comment);
        for (const auto &[stored, data] : items)
            z.addFile(t.file("made/" + stored, data), stored);
        return path;
    }
};
}

TEST_F(UnZipIt, FilesZippedByTheDeletionWindowComeBackToTheirPlaces)
{
    const std::vector<std::pair<std::string, std::string>> files = {
        {"docs/a.txt", "alpha text"}, {"b.bin", randomBytes(300000, 2)}, {"x/y/z.txt", std::string(80000, 'z')}};
    std::vector<std::string> paths;
    for (const auto &[rel, data] : files) {
        paths.push_back(t.file("D/" + rel, data));
        TempTree::setTimes(paths.back(), 1700000000, 1700000000);
    }
    {
        TfrmReallyDelete del;
        del.setFiles(paths);
        del.archiveTag = QStringLiteral("Duplicates");
        TModal::push([&](QDialog *) {
            TModal::push([](QDialog *o) { o->findChild<QPushButton *>("btOK")->click(); });
            QTest::mouseClick(del.btZip, Qt::LeftButton);
        });
        ASSERT_EQ(TModal::exec(&del), QDialog::Accepted);
    }
    for (const std::string &p : paths)
        ASSERT_FALSE(TempTree::exists(p));
    dialogs.boxes.clear();

    inWindow([&](TfrmUnZipIt &w) {
        auto *list = w.findChild<QListWidget *>("FileListBox1");
        ASSERT_EQ(list->count(), 1);
        const QString name = list->item(0)->text();
        EXPECT_TRUE(name.startsWith("Drive-D-Duplicates"));
        EXPECT_FALSE(w.findChild<QTimer *>("Timer1")->isActive());
        select(w, name);
        extract(w, [&](TfrmZipDirectory &z) {
            EXPECT_EQ(z.originalRoot(), d);
            EXPECT_EQ(z.destination(), d);
            EXPECT_EQ(z.findChild<TPathLabel *>("lblFolder")->path().toStdString(), d);
            ok(z);
        });
        EXPECT_EQ(dialogs.texts(), std::vector<QString>{"Files were unzipped"});
        EXPECT_EQ(dialogs.last()->kind, Dialogs::Kind::Plain);
        EXPECT_TRUE(w.findChild<QProgressBar *>("Gauge1")->isHidden());
        for (size_t i = 0; i < files.size(); ++i) {
            EXPECT_TRUE(TempTree::read(paths[i]) == files[i].second) << paths[i];
            struct stat st;
            ASSERT_EQ(stat(paths[i].c_str(), &st), 0);
            EXPECT_EQ(st.st_mtime, 1700000000);
        }

        // Again over them: every item exists, nothing changes.
        TempTree::setTimes(paths[0], 1600000000, 1600000000);
        dialogs.boxes.clear();
        extract(w, ok);
        // One report, not two boxes per file: first that the files are
        // there, untouched; the list in the box's details.
        const std::vector<QString> texts = dialogs.texts();
        ASSERT_EQ(texts.size(), 1u);
        EXPECT_EQ(texts[0], "The files of this archive are already there: all 3 exist in the destination folder and "
                            "were left untouched, so nothing was unzipped.");
        EXPECT_EQ(dialogs.last()->kind, Dialogs::Kind::Info);
        EXPECT_TRUE(dialogs.last()->details.startsWith("Cannot extract b.bin from " + name + "\nCannot write "
                                                       + QString::fromStdString(d)
                                                       + "/b.bin: a file of that name exists\n\n"))
            << dialogs.last()->details.toStdString();
        struct stat st;
        ASSERT_EQ(stat(paths[0].c_str(), &st), 0);
        EXPECT_EQ(st.st_mtime, 1600000000);
    });
}

TEST_F(UnZipIt, ViewingShowsItemsCountAndCommentAndKeepsTheOpenArchiveOverABadOne)
{
    const std::string good = archiveNamed("Drive-D-TempClean01Mar270905.zip",
                                          {{"TEMP/A.TMP", "a"}, {"TEMP/sub/B.TMP", "b"}, {"C.TMP", "c"}},
                                          "before the upgrade");
    t.file("archives/Drive-D-Bad.zip", "this is not an archive");
    t.file("archives/other.zip", "not listed");
    inWindow([&](TfrmUnZipIt &w) {
        auto *list = w.findChild<QListWidget *>("FileListBox1");
        ASSERT_EQ(list->count(), 2);
        auto *btExtract = w.findChild<QPushButton *>("btExtract");
        auto *btView = w.findChild<QPushButton *>("btView");
        EXPECT_FALSE(btExtract->isEnabled() || btView->isEnabled());
        EXPECT_EQ(w.findChild<QLabel *>("lblCount")->text(), "0 files");
        EXPECT_EQ(w.findChild<QLabel *>("pnlComment")->text(), "Archive zip file comments");
        select(w, "Drive-D-TempClean01Mar270905.zip");
        EXPECT_TRUE(btExtract->isEnabled() && btView->isEnabled());
        QTest::mouseClick(btView, Qt::LeftButton);
        EXPECT_EQ(w.findChild<TPathLabel *>("lblZip")->path().toStdString(), good);
        EXPECT_EQ(w.findChild<QLabel *>("lblCount")->text(), "3 files");
        EXPECT_EQ(w.findChild<QLabel *>("pnlComment")->text(), "before the upgrade");
        auto *outline = w.findChild<QTreeWidget *>("Outline");
        ASSERT_EQ(outline->topLevelItemCount(), 2);
        EXPECT_EQ(outline->topLevelItem(0)->text(0), "TEMP");
        EXPECT_EQ(outline->topLevelItem(0)->childCount(), 2);
        EXPECT_EQ(outline->topLevelItem(1)->text(0), "C.TMP");

        // A file that is not an archive is reported; the open one stays, and
        // Extract on it extracts nothing (not the archive open before).
        select(w, "Drive-D-Bad.zip");
        w.FileListBox1DblClick();
        ASSERT_EQ(dialogs.boxes.size(), 1u);
        EXPECT_TRUE(dialogs.boxes[0].text.startsWith("Cannot open " + QString::fromStdString(archives)
                                                     + "/Drive-D-Bad.zip: "));
        EXPECT_EQ(w.archive().path(), good);
        EXPECT_EQ(w.findChild<QLabel *>("lblCount")->text(), "3 files");
        TModal::push([](QDialog *dlg) { dlg->reject(); }); // must stay unused
        w.ExtractFiles1Click();
        EXPECT_EQ(TModal::pending(), 1u);
        TModal::clear();
        EXPECT_FALSE(TempTree::exists(d + "/C.TMP"));
    });
}

TEST_F(UnZipIt, TheOutlineOfADeepNameStaysShallow)
{
    // One file 30,000 levels deep with folder entries along its chain, and an
    // empty folder 40 levels deep: each deep chain ends in one joined item.
    const std::string path = archives + "/Drive-D-Deep01Mar270905.zip";
    const char *script = "import sys, zipfile\n"
                         "with zipfile.ZipFile(sys.argv[1], 'w') as z:\n"
                         "    z.writestr('a/' * 29999 + 'f.txt', 'deep')\n"
                         "    for k in range(1, 41): z.writestr('a/' * k, '')\n"
                         "    z.writestr('b/' * 40, '')\n"
                         "    z.writestr('top.txt', 'x')\n";
    TestEnv::commandOutput("python3 -c \"" + std::string(script) + "\" '" + path + "'");
    inWindow([&](TfrmUnZipIt &w) {
        select(w, "Drive-D-Deep01Mar270905.zip");
        w.FileListBox1DblClick();
        ASSERT_EQ(w.archive().entries().size(), 43u);
        auto *outline = w.findChild<QTreeWidget *>("Outline");
        w.grab(); // lays the expanded tree out
        ASSERT_EQ(outline->topLevelItemCount(), 3);
        const auto deepest = [](QTreeWidgetItem *item) {
            int depth = 1;
            while (item->childCount() > 0) {
                item = item->child(0);
                ++depth;
            }
            return std::make_pair(depth, item->text(0));
        };
        const auto [aDepth, aLeaf] = deepest(outline->topLevelItem(0));
        EXPECT_EQ(aDepth, 32);
        EXPECT_EQ(aLeaf.size(), 2 * (29999 - 31) + 5);
        EXPECT_TRUE(aLeaf.startsWith("a/a/") && aLeaf.endsWith("a/f.txt"));
        const auto [bDepth, bLeaf] = deepest(outline->topLevelItem(1));
        EXPECT_EQ(bDepth, 32);
        EXPECT_EQ(bLeaf, "b/b/b/b/b/b/b/b/b");
        EXPECT_EQ(outline->topLevelItem(2)->text(0), "top.txt");
    });
    EXPECT_TRUE(dialogs.boxes.empty());
}

TEST_F(UnZipIt, AFolderWithoutArchivesSaysSoOnceAfterTheTimer)
{
    inWindow([&](TfrmUnZipIt &w) {
        auto *timer = w.findChild<QTimer *>("Timer1");
        ASSERT_TRUE(timer->isActive());
        EXPECT_TRUE(timer->isSingleShot());
        EXPECT_EQ(timer->interval(), 600);
        EXPECT_TRUE(dialogs.boxes.empty());
        w.Timer1Timer();
        EXPECT_FALSE(timer->isActive());
    });
    ASSERT_EQ(dialogs.boxes.size(), 1u);
    EXPECT_EQ(dialogs.boxes[0].kind, Dialogs::Kind::Info);
    EXPECT_EQ(dialogs.boxes[0].text,
              "It appears that there are no archive zip files in this folder for Vantor to unzip.  \n\nNote that "
              "Vantor can only unzip those files that have been originally zipped by Vantor.  It should not be used "
              "to unzip other non Vantor zip files.");
}

TEST_F(UnZipIt, AnArchiveCutShortByAKilledRunIsRepairedWhenTheWindowListsIt)
{
    // Entries written, directory not: what a run killed between directory
    // writes leaves. Other zip programs refuse it until it is repaired.
    const std::string name = archives + "/Drive-D-Cut01Mar270905.zip";
    const std::string file = t.file("D/kept.txt", std::string(3000, 'k'));
    {
        ZipArchive z;
        z.open(name);
        z.setDirectoryInterval(-1);
        z.addFile(file, "kept.txt");
        std::filesystem::copy_file(name, archives + "/cut.tmp");
    }
    std::filesystem::remove(name);
    std::filesystem::rename(archives + "/cut.tmp", name);
    ASSERT_TRUE(ZipArchive::recordUnfinished(name)); // as the killed run left it
    ASSERT_NE(std::system(("unzip -tqq '" + name + "' >/dev/null 2>&1").c_str()), 0);

    inWindow([&](TfrmUnZipIt &w) {
        EXPECT_EQ(w.findChild<QListWidget *>("FileListBox1")->count(), 1);
    });
    ASSERT_EQ(dialogs.boxes.size(), 1u);
    EXPECT_TRUE(dialogs.boxes[0].text.contains("was repaired: it holds 1 file.")) << dialogs.boxes[0].text.toStdString();
    EXPECT_EQ(std::system(("unzip -tqq '" + name + "' >/dev/null 2>&1").c_str()), 0);
    ZipArchive r;
    r.openRead(name);
    ASSERT_EQ(r.entries().size(), 1u);
    EXPECT_FALSE(r.repaired());
}

TEST_F(UnZipIt, DestinationWindowProposesTheDriveRootAndAsksForAnyOtherFolder)
{
    const std::string named = archiveNamed("Drive-D-Duplicates07Dec261504.zip", {{"a.txt", "a"}});
    t.dir("D/RESTORE");
    TfrmZipDirectory z;
    z.setArchive(named);
    ASSERT_TRUE(z.prepare());
    EXPECT_EQ(z.originalRoot(), d);
    EXPECT_EQ(z.originalLetter(), 'D');
    EXPECT_EQ(z.destination(), d);
    z.Button1Click();
    EXPECT_EQ(z.result(), QDialog::Accepted);
    EXPECT_TRUE(dialogs.boxes.empty());

    // Another folder asks; No keeps the window, Yes takes the folder.
    z.setResult(0);
    z.folderTree()->setFolder(d + "/RESTORE");
    z.Button1Click();
    ASSERT_EQ(dialogs.boxes.size(), 1u);
    EXPECT_EQ(dialogs.boxes[0].text, "You are not restoring into the original root folder.  The files will not be "
                                     "restored to their original locations. Is this OK?");
    EXPECT_EQ(dialogs.boxes[0].buttons, Dialogs::Buttons::YesNo);
    EXPECT_EQ(z.result(), 0);
    dialogs.answer(Dialogs::Answer::Yes);
    z.Button1Click();
    EXPECT_EQ(z.result(), QDialog::Accepted);
    EXPECT_EQ(z.destination(), d + "/RESTORE");

    // "Create Sub-folder" makes nested folders below the selected one and selects the last.
    dialogs.inputs.push_back(QStringLiteral("new/deeper"));
    z.Button3Click();
    EXPECT_EQ(dialogs.pickers.back(), "input:Create Sub-folder");
    EXPECT_TRUE(std::filesystem::is_directory(d + "/RESTORE/new/deeper"));
    EXPECT_EQ(z.destination(), d + "/RESTORE/new/deeper");
    dialogs.inputs.push_back(QStringLiteral("../up"));
    z.Button3Click();
    EXPECT_TRUE(dialogs.last()->text.startsWith("Cannot create the folder ../up: "));
    EXPECT_FALSE(TempTree::exists(d + "/RESTORE/new/up"));

    // Without "Drive-" in its name the current drive's root is proposed and
    // the question is always asked; a drive that does not exist stops here.
    dialogs.boxes.clear();
    TfrmZipDirectory plain;
    plain.setArchive(archiveNamed("backup.zip", {{"a.txt", "a"}}));
    ASSERT_TRUE(plain.prepare());
    EXPECT_FALSE(plain.originalLetter());
    plain.folderTree()->setFolder(plain.originalRoot());
    plain.Button1Click();
    EXPECT_EQ(dialogs.boxes.size(), 1u);
    EXPECT_NE(plain.result(), QDialog::Accepted);
    TfrmZipDirectory missing;
    missing.setArchive(archives + "/Drive-Q-Duplicates07Dec261504.zip");
    EXPECT_FALSE(missing.prepare());
    EXPECT_EQ(dialogs.last()->text, "Drive Q: named by the archive does not exist.");
    EXPECT_EQ(dialogs.last()->kind, Dialogs::Kind::Error);
}

TEST_F(UnZipIt, PasswordWindowEnablesOkOnlyWhileBothFieldsMatch)
{
    TfrmPassword p;
    EXPECT_EQ(p.windowTitle(), "Enter Password");
    EXPECT_EQ(p.passwordEdit()->echoMode(), QLineEdit::Password);
    QTest::keyClicks(p.passwordEdit(), "Secret");
    EXPECT_FALSE(p.okButton()->isEnabled());
    QTest::keyClicks(p.verifyEdit(), "secret");
    EXPECT_FALSE(p.okButton()->isEnabled());
    p.verifyEdit()->clear();
    QTest::keyClicks(p.verifyEdit(), "Secret");
    EXPECT_TRUE(p.okButton()->isEnabled());
    QTest::keyClicks(p.passwordEdit(), "!");
    EXPECT_TRUE(p.verifyEdit()->text().isEmpty());
    EXPECT_FALSE(p.okButton()->isEnabled());
    EXPECT_EQ(p.password(), "Secret!");
}

TEST_F(UnZipIt, EncryptedItemsAreExtractedWithTheTypedPassword)
{
    t.file("in/one.txt", "first secret\n");
    t.file("in/two.bin", randomBytes(90000, 7));
    const std::string name = "Drive-D-Secret01Jan260000.zip";
    ASSERT_EQ(TestEnv::commandOutput("cd '" + t.path("in") + "' && zip -q -P secret '" + archives + "/" + name
                                     + "' one.txt two.bin 2>&1"),
              "");
    inWindow([&](TfrmUnZipIt &w) {
        select(w, QString::fromStdString(name));
        // A wrong password, then Cancel: both items fail, no file is made.
        extract(w, [](TfrmZipDirectory &z) {
            password(QStringLiteral("wrong"));
            password(std::nullopt);
            ok(z);
        });
        EXPECT_EQ(dialogs.texts(), (std::vector<QString>{"0 of 2 files were unzipped; 2 could not be extracted."}));
        EXPECT_EQ(dialogs.last()->kind, Dialogs::Kind::Warning);
        EXPECT_EQ(dialogs.last()->details, "Cannot extract one.txt from " + QString::fromStdString(name)
                                               + "\nThe password for one.txt is wrong\n\n"
                                                 "Cannot extract two.bin from " + QString::fromStdString(name)
                                               + "\nNo password was given for two.bin");
        EXPECT_FALSE(TempTree::exists(d + "/one.txt") || TempTree::exists(d + "/two.bin"));

        dialogs.boxes.clear();
        extract(w, [](TfrmZipDirectory &z) {
            password(QStringLiteral("secret"));
            ok(z);
        });
        EXPECT_EQ(dialogs.texts(), std::vector<QString>{"Files were unzipped"});
        EXPECT_EQ(TempTree::read(d + "/one.txt"), "first secret\n");
        EXPECT_TRUE(TempTree::read(d + "/two.bin") == randomBytes(90000, 7));
        EXPECT_EQ(TModal::pending(), 0u);
    });
}

TEST_F(UnZipIt, MainWindowOpensItWithoutTheNonDeleteList)
{
    TfrmMain m;
    nonDeleteList().setLists({}, {}, {}, true);
    bool opened = false;
    TModal::push([&](QDialog *dlg) {
        opened = qobject_cast<TfrmUnZipIt *>(dlg) != nullptr;
        dlg->reject();
    });
    m.btZipClick();
    EXPECT_TRUE(opened);
    EXPECT_TRUE(dialogs.boxes.empty());
}

TEST_F(UnZipIt, AFolderZippedByFolderRemovalComesBackWhole)
{
    // Nested folders, a name that is not ASCII, an empty file.
    const std::map<std::string, std::string> files = {{"proj/readme.txt", "read me"},
                                                      {"proj/src/deep/er/b.bin", randomBytes(200000, 7)},
                                                      {"proj/src/Grüße — naïve.txt", "ünïcødé"},
                                                      {"proj/empty.dat", ""}};
    for (const auto &[rel, data] : files)
        TempTree::setTimes(t.file("D/" + rel, data), 1700000000, 1700000000);
    const std::string folder = d + "/proj";
    {
        TfrmDelDirectory del;
        del.setFolder(folder);
        TModal::push([&](QDialog *) {
            TModal::push([](QDialog *o) { o->findChild<QPushButton *>("btOK")->click(); });
            ASSERT_TRUE(del.cbDelete->isChecked());
            QTest::mouseClick(del.btZip, Qt::LeftButton);
            if (del.isVisible())
                del.reject();
        });
        TModal::exec(&del);
        EXPECT_TRUE(del.folderRemoved);
    }
    ASSERT_FALSE(TempTree::exists(folder));
    EXPECT_EQ(dialogs.texts(), std::vector<QString>{"Zipped up 4 files"});
    dialogs.boxes.clear();

    inWindow([&](TfrmUnZipIt &w) {
        auto *list = w.findChild<QListWidget *>("FileListBox1");
        ASSERT_EQ(list->count(), 1);
        const QString name = list->item(0)->text();
        EXPECT_TRUE(name.startsWith("Drive-D-FolderClean")) << name.toStdString();
        select(w, name);
        extract(w, [&](TfrmZipDirectory &z) {
            EXPECT_EQ(z.destination(), d);
            ok(z);
        });
    });
    EXPECT_EQ(dialogs.texts(), std::vector<QString>{"Files were unzipped"});

    // The same names, bytes and times, and nothing more.
    std::map<std::string, std::string> back;
    for (const auto &e : std::filesystem::recursive_directory_iterator(d)) {
        if (!e.is_regular_file())
            continue;
        const std::string rel = std::filesystem::relative(e.path(), d).string();
        back[rel] = TempTree::read(e.path().string());
        struct stat st;
        ASSERT_EQ(stat(e.path().c_str(), &st), 0);
        EXPECT_EQ(st.st_mtime, 1700000000) << rel;
    }
    EXPECT_TRUE(back == files);
    EXPECT_EQ(back.size(), files.size());
}

TEST_F(UnZipIt, TheMainWindowRepairsWhatAKilledRunLeftWhenTheProgramStarts)
{
    // Entries written, directory not, as a run killed between directory writes leaves it.
    const std::string name = archives + "/Drive-D-Cut01Mar270905.zip";
    {
        ZipArchive z;
        z.open(name);
        z.setDirectoryInterval(-1);
        z.addFile(t.file("D/kept.txt", std::string(3000, 'k')), "kept.txt");
        std::filesystem::copy_file(name, archives + "/cut.tmp");
    }
    std::filesystem::rename(archives + "/cut.tmp", name);
    ASSERT_TRUE(ZipArchive::recordUnfinished(name)); // as the killed run left it
    ASSERT_NE(std::system(("unzip -tqq '" + name + "' >/dev/null 2>&1").c_str()), 0);
    TfrmMain m;
    m.show();
    EXPECT_EQ(std::system(("unzip -tqq '" + name + "' >/dev/null 2>&1").c_str()), 0);
    ASSERT_EQ(dialogs.boxes.size(), 1u);
    EXPECT_TRUE(dialogs.boxes[0].text.contains("was repaired: it holds 1 file.")) << dialogs.boxes[0].text.toStdString();
}

TEST_F(UnZipIt, TheCountOfItemsHasThousandsSeparators)
{
    const std::string many = archives + "/Drive-D-Many01Mar270905.zip";
    ASSERT_EQ(TestEnv::commandOutput("python3 -c 'import sys, zipfile\nwith zipfile.ZipFile(sys.argv[1], \"w\") as z:\n"
                                     "    [z.writestr(\"f%d\" % i, \"\") for i in range(1200)]' '" + many + "' 2>&1"),
              "");
    inWindow([&](TfrmUnZipIt &w) {
        select(w, "Drive-D-Many01Mar270905.zip");
        w.FileListBox1DblClick();
        EXPECT_EQ(w.findChild<QLabel *>("lblCount")->text(), "1,200 files");
    });
}

TEST_F(UnZipIt, UnzippingTwiceSaysTheFilesAreThereInABoxThatKeepsWithinTheScreen)
{
    std::vector<std::pair<std::string, std::string>> items;
    for (int i = 0; i < 50; ++i)
        items.push_back({"folder/file" + std::to_string(i) + ".txt", "content " + std::to_string(i)});
    const std::string name = "Drive-D-Twice01Mar270905.zip";
    archiveNamed(name, items);
    inWindow([&](TfrmUnZipIt &w) {
        select(w, QString::fromStdString(name));
        extract(w, ok);
        EXPECT_EQ(dialogs.texts(), std::vector<QString>{"Files were unzipped"});
        dialogs.boxes.clear();
        extract(w, ok);
    });
    ASSERT_EQ(dialogs.boxes.size(), 1u);
    const ScriptedDialogs::Box box = dialogs.boxes[0];
    EXPECT_EQ(box.kind, Dialogs::Kind::Info);
    EXPECT_EQ(box.text, "The files of this archive are already there: all 50 exist in the destination folder and were "
                        "left untouched, so nothing was unzipped.");
    EXPECT_EQ(box.details.count("a file of that name exists"), 50);

    // The box as the program shows it: the list waits in its details area.
    std::unique_ptr<QMessageBox> shown(TInteractiveDialogs::detailsBox(box.kind, box.text, box.details, nullptr));
    shown->show();
    QApplication::processEvents();
    EXPECT_EQ(shown->icon(), QMessageBox::Information);
    EXPECT_EQ(shown->detailedText(), box.details);
    EXPECT_LT(shown->height(), 300);
    if (const char *dir = std::getenv("VANTOR_GRAB_DIR"))
        shown->grab().save(QString::fromLocal8Bit(dir) + "/unzip-twice.png");
}

// The deletion window's zip-and-delete button: options first, then the run.
#include "settings/AppState.h"
#include "settings/IniFile.h"
#include "common/EventPump.h"
#include "common/TModal.h"
#include "platform/Drives.h"
#include "platform/Paths.h"
#include "safety/NonDeleteList.h"
#include "safety/TfrmReallyDelete.h"
#include "safety/ZipArchive.h"
#include "support/ScriptedDialogs.h"
#include "support/TempTree.h"
#include "support/TestEnv.h"

#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

namespace {
class ReallyDeleteZip : public testing::Test {
protected:
    ScriptedDialogs dialogs;
    TempTree t{"drives"};
    std::string d = t.dir("D"), e = t.dir("E"), archives = t.dir("archives");

    void SetUp() override
    {
        Drives::setMapping({{'D', d}, {'E', e}});
        nonDeleteList().setLists({}, {}, {});
        IniFile().writeString("ZipFile", "Path", QString::fromStdString(archives));
    }
    void TearDown() override
    {
        Drives::setMapping({});
        AppState::defaultZipPath.clear();
    }
    // Opens the window on files and presses the zip button; options answers
    // the options window.
    int zip(TfrmReallyDelete &w, const std::vector<std::string> &files, const std::function<void(QDialog *)> &options)
    {
        w.setFiles(files);
        w.archiveTag = QStringLiteral("TempClean");
        TModal::push([&](QDialog *) {
            TModal::push(options);
            QTest::mouseClick(w.btZip, Qt::LeftButton);
            if (w.isVisible())
                w.done(100); // still open: leave with a result of our own
        });
        return TModal::exec(&w);
    }
    std::vector<std::string> stored(const std::string &zipName) const
    {
        ZipArchive z;
        z.openRead(archives + "/" + zipName);
        std::vector<std::string> v;
        for (const auto &en : z.entries())
            v.push_back(en.name);
        return v;
    }
};

void okWithComment(QDialog *opt, const QString &comment, bool ok = true)
{
    opt->findChild<QLineEdit *>("Edit2")->setText(comment);
    opt->findChild<QPushButton *>(ok ? "btOK" : "btCancel")->click();
}
}

TEST_F(ReallyDeleteZip, CancelledOptionsSaveTheCommentAndZipNothing)
{
    const std::string a = t.file("D/a.txt", "a");
    TfrmReallyDelete w;
    EXPECT_EQ(zip(w, {a}, [](QDialog *o) { okWithComment(o, "edited", false); }), 100);
    EXPECT_EQ(IniFile().readString("ZipFile", "Comment", "<none>"), "edited");
    EXPECT_TRUE(TempTree::exists(a));
    EXPECT_EQ(w.lb1->count(), 1);
    EXPECT_TRUE(dialogs.boxes.empty());
    EXPECT_TRUE(w.pnlProgress->isHidden());
    EXPECT_EQ(TModal::pending(), 0u);
}

TEST_F(ReallyDeleteZip, ZipsEachDriveIntoItsArchiveThenCloses)
{
    const std::string a = t.file("D/TEMP/A.TMP", "alpha"), b = t.file("E/X/B.TMP", "beta!");
    TfrmReallyDelete w;
    EXPECT_EQ(zip(w, {a, b}, [](QDialog *o) { okWithComment(o, "before the upgrade"); }), QDialog::Accepted);
    EXPECT_FALSE(TempTree::exists(a) || TempTree::exists(b));
    // One archive per drive, both named for the run's one time.
    std::vector<std::string> names;
    for (const auto &entry : std::filesystem::directory_iterator(archives))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    ASSERT_EQ(names.size(), 2u);
    EXPECT_EQ(names[0].substr(0, 17), "Drive-D-TempClean");
    EXPECT_EQ(names[1], "Drive-E-TempClean" + names[0].substr(17));
    EXPECT_EQ(stored(names[0]), std::vector<std::string>{"TEMP/A.TMP"});
    EXPECT_EQ(stored(names[1]), std::vector<std::string>{"X/B.TMP"});
    ZipArchive z;
    z.openRead(archives + "/" + names[1]);
    EXPECT_EQ(z.comment(), "before the upgrade");
    EXPECT_EQ(w.lb1->count(), 0);
    EXPECT_TRUE(w.Gauge1->isHidden());
    ASSERT_EQ(dialogs.boxes.size(), 1u);
    EXPECT_EQ(dialogs.boxes[0].text,
              QString::fromStdString("Files deleted and stored in archive zip files in the folder \"" + archives + "\""));
    EXPECT_EQ(IniFile().readInt("Vantor", "NZip", -1), 2);
    EXPECT_EQ(IniFile().readInt("Vantor", "SizeZip", -1), 10);
}

TEST_F(ReallyDeleteZip, CloseDuringTheRunAsksAndStopsBeforeTheNextFile)
{
    const std::string a = t.file("D/a.txt", "a"), b = t.file("D/b.txt", "b"), c = t.file("D/c.txt", "c");
    TfrmReallyDelete w;
    dialogs.answer(Dialogs::Answer::Yes);
    // Once the run starts, events run before every file; Close is clicked at
    // the first of those after the first file is zipped and deleted, however
    // long that took.
    const int interval = EventPump::defaultInterval();
    QTimer watch;
    watch.setInterval(0);
    QObject::connect(&watch, &QTimer::timeout, &w, [&] {
        if (!TempTree::exists(a)) {
            watch.stop();
            QTest::mouseClick(w.btClose, Qt::LeftButton);
        }
    });
    EXPECT_EQ(zip(w, {a, b, c}, [&](QDialog *o) {
                  EventPump::setDefaultInterval(0);
                  watch.start();
                  okWithComment(o, "");
              }),
              QDialog::Accepted);
    EventPump::setDefaultInterval(interval);
    EXPECT_EQ(dialogs.texts(), std::vector<QString>{"Really abort?  Folders may be partially deleted!"});
    EXPECT_FALSE(TempTree::exists(a));
    EXPECT_TRUE(TempTree::exists(b) && TempTree::exists(c));
    EXPECT_EQ(IniFile().readInt("Vantor", "NZip", -1), 1);
}

TEST_F(ReallyDeleteZip, AnArchiveThatCannotBeMadeLeavesTheWindowIdle)
{
    // A folder that cannot be made: its parent is a plain file.
    IniFile().writeString("ZipFile", "Path", QString::fromStdString(t.file("plain", "x") + "/folder"));
    const std::string a = t.file("D/a.txt", "a");
    TfrmReallyDelete w;
    EXPECT_EQ(zip(w, {a}, [](QDialog *o) { okWithComment(o, ""); }), 100);
    ASSERT_EQ(dialogs.boxes.size(), 1u);
    EXPECT_TRUE(dialogs.boxes[0].text.startsWith("Couldn't create archive zip file - "));
    EXPECT_TRUE(TempTree::exists(a));
    EXPECT_EQ(w.lb1->count(), 1);
    EXPECT_FALSE(w.pnlButtons->isHidden());
    EXPECT_TRUE(w.btClose->isEnabled());
}

TEST_F(ReallyDeleteZip, AFreshInstallMakesTheDefaultArchiveFolderOnEveryRun)
{
    // Nothing in the settings folder, as after installing. The first run
    // stores the default folder; the second finds it stored but removed.
    std::filesystem::remove_all(Paths::settingsFolder());
    const std::string folder = TestEnv::home() + "/VantorArchives";
    for (int run = 0; run < 2; ++run) {
        const std::string name = "fresh" + std::to_string(run) + ".txt";
        const std::string a = t.file("D/" + name, "fresh");
        TfrmReallyDelete w;
        EXPECT_EQ(zip(w, {a}, [](QDialog *o) { okWithComment(o, ""); }), QDialog::Accepted) << run;
        EXPECT_FALSE(TempTree::exists(a)) << run;
        EXPECT_EQ(IniFile().readString("ZipFile", "Path", "<none>"), QString::fromStdString(folder));
        std::vector<std::string> made;
        for (const auto &entry : std::filesystem::directory_iterator(folder))
            made.push_back(entry.path().string());
        ASSERT_EQ(made.size(), 1u) << run;
        ZipArchive z;
        z.openRead(made[0]);
        ASSERT_EQ(z.entries().size(), 1u);
        EXPECT_EQ(z.entries()[0].name, name);
        EXPECT_EQ(dialogs.boxes.back().text,
                  QString::fromStdString("Files deleted and stored in archive zip files in the folder \"" + folder + "\""));
        std::filesystem::remove_all(folder);
    }
}

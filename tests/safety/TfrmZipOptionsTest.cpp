#include "settings/AppState.h"
#include "settings/IniFile.h"
#include "common/TModal.h"
#include "safety/TfrmZipOptions.h"
#include "support/ScriptedDialogs.h"
#include "support/SpontaneousShow.h"
#include "support/TestEnv.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QToolButton>
#include <gtest/gtest.h>

namespace {
QString stored(const char *key) { return IniFile().readString("ZipFile", key, "<none>"); }

int runWith(TfrmZipOptions &w, const std::function<void(QDialog *)> &handler)
{
    TModal::push(handler);
    return TModal::exec(&w);
}
}

TEST(TfrmZipOptions, ShowsTheStoredFolderAndCommentAndItsTexts)
{
    ScriptedDialogs dlg;
    IniFile().writeString("ZipFile", "Path", "/srv/archives");
    IniFile().writeString("ZipFile", "Comment", "spring clean");
    TfrmZipOptions w;
    EXPECT_EQ(w.windowTitle(), "Archive Zip File Options");
    runWith(w, [](QDialog *d) {
        auto *e1 = d->findChild<QLineEdit *>("Edit1");
        auto *e2 = d->findChild<QLineEdit *>("Edit2");
        EXPECT_EQ(e1->text(), "/srv/archives");
        EXPECT_TRUE(e1->isReadOnly());
        EXPECT_EQ(e1->toolTip(), "Click on the button on the right to change");
        EXPECT_EQ(e2->text(), "spring clean");
        EXPECT_EQ(e2->maxLength(), 80);
        EXPECT_EQ(d->focusWidget(), e2);
        EXPECT_EQ(d->findChild<QLabel *>("Label1")->text(), "Store Zip Archive Files in this folder:");
        EXPECT_EQ(d->findChild<QLabel *>("Label3")->text(), "Comment to be inserted into Archive Zip file:");
        EXPECT_TRUE(d->findChild<QPushButton *>("btOK")->isDefault());
        EXPECT_EQ(d->findChild<QPushButton *>("btCancel")->text(), "Cancel");
        d->findChild<QPushButton *>("btOK")->click();
    });
    EXPECT_EQ(w.result(), QDialog::Accepted);
    EXPECT_EQ(AppState::defaultZipPath, "/srv/archives");
    EXPECT_EQ(w.zipComment, "spring clean");

    // With nothing stored, the default folder is shown.
    IniFile().writeString("ZipFile", "Path", "");
    TfrmZipOptions w2;
    runWith(w2, [](QDialog *d) {
        EXPECT_EQ(d->findChild<QLineEdit *>("Edit1")->text(),
                  QString::fromStdString(TestEnv::home() + "/VantorArchives"));
        d->reject();
    });
    AppState::defaultZipPath.clear();
}

TEST(TfrmZipOptions, CancelStillKeepsTheEditedFolderAndComment)
{
    ScriptedDialogs dlg;
    dlg.folders.push_back(std::string("/mnt/backup/zips/"));
    dlg.folders.push_back(std::nullopt); // the second pick is cancelled
    TfrmZipOptions w;
    const int rc = runWith(w, [](QDialog *d) {
        d->findChild<QToolButton *>("SpeedButton1")->click();
        EXPECT_EQ(d->findChild<QLineEdit *>("Edit1")->text(), "/mnt/backup/zips");
        d->findChild<QToolButton *>("SpeedButton1")->click();
        EXPECT_EQ(d->findChild<QLineEdit *>("Edit1")->text(), "/mnt/backup/zips");
        d->findChild<QLineEdit *>("Edit2")->setText("old photos");
        d->findChild<QPushButton *>("btCancel")->click();
    });
    EXPECT_EQ(rc, QDialog::Rejected);
    EXPECT_EQ(dlg.pickers, (std::vector<QString>{"folder:Location of archive zip files",
                                                  "folder:Location of archive zip files"}));
    EXPECT_EQ(stored("Path"), "/mnt/backup/zips");
    EXPECT_EQ(stored("Comment"), "old photos");
    EXPECT_EQ(AppState::defaultZipPath, "/mnt/backup/zips");
    EXPECT_EQ(w.zipComment, "old photos");
    AppState::defaultZipPath.clear();
}

TEST(TfrmZipOptions, ARestoreFromMinimisedKeepsWhatWasTyped)
{
    ScriptedDialogs dlg;
    IniFile().writeString("ZipFile", "Comment", "stored");
    TfrmZipOptions w;
    runWith(w, [](QDialog *d) {
        auto *comment = d->findChild<QLineEdit *>("Edit2");
        comment->setText("typed, not yet saved");
        sendSpontaneousShow(d);
        EXPECT_EQ(comment->text(), "typed, not yet saved");
        d->findChild<QPushButton *>("btOK")->click();
    });
    EXPECT_EQ(stored("Comment"), "typed, not yet saved");
    AppState::defaultZipPath.clear();
}

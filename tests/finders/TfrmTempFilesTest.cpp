#include "settings/IniFile.h"
#include "common/TModal.h"
#include "finders/TempPatterns.h"
#include "finders/TfrmTempFiles.h"
#include "scan/TFontScale.h"
#include "PatternTestSupport.h"
#include "support/ScriptedDialogs.h"
#include "support/SpontaneousShow.h"

#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <gtest/gtest.h>

namespace {
QStringList stored()
{
    return IniFile().readList("TempFiles", {"<none>"});
}

void click(QDialog *d, const char *name)
{
    d->findChild<QPushButton *>(name)->click();
}

void select(QDialog *d, const QStringList &patterns)
{
    auto *list = d->findChild<QListWidget *>("PickList1");
    list->clearSelection();
    for (int i = 0; i < list->count(); ++i)
        if (patterns.contains(TempPatterns::patternOf(list->item(i)->text())))
            list->item(i)->setSelected(true);
}
}

TEST(TfrmTempFiles, LayoutTextsAndFixedSize)
{
    TfrmTempFiles w;
    EXPECT_EQ(w.windowTitle(), "Temporary file extensions");
    // The pixel layout grows with the font, and the window stays fixed.
    EXPECT_EQ(w.size(), TFontScale::scaled(QSize(371, 394), TFontScale::factor(&w)));
    EXPECT_EQ(w.minimumSize(), w.maximumSize());
    struct B { const char *name, *caption, *hint; };
    for (const B &b : {B{"btAdd", "&Add", "Add a file extension to this list"},
                       B{"btDelete", "&Delete", "Delete a file extension"},
                       B{"btClear", "&Clear all", "Clear all extensions"},
                       B{"btDefaults", "D&efaults", "Inserts some default temporary file extensions"},
                       B{"btClose", "Close", "Close window"}}) {
        auto *btn = w.findChild<QPushButton *>(b.name);
        ASSERT_TRUE(btn) << b.name;
        EXPECT_EQ(btn->text(), b.caption);
        EXPECT_EQ(btn->toolTip(), b.hint);
    }
    auto *list = w.findChild<QListWidget *>("PickList1");
    ASSERT_TRUE(list);
    EXPECT_EQ(list->toolTip(), "List of temporary file extensions and types");
    EXPECT_EQ(list->selectionMode(), QAbstractItemView::ExtendedSelection);
}

TEST(TfrmTempFiles, FreshOpenAndCloseStoresTheThreeFallbackPatterns)
{
    FixedFileTypes types;
    ScriptedDialogs dlg;
    QStringList seen;
    TModal::push([&](QDialog *d) {
        seen = static_cast<TfrmTempFiles *>(d)->rows();
        d->close(); // the close box stores the list too
    });
    TfrmTempFiles w;
    TModal::exec(&w);
    EXPECT_EQ(patternsOf(seen), QStringList({"*.$$$", "*.bak", "*.tmp"}));
    EXPECT_EQ(seen[1], "*.bak\tBackup file");
    EXPECT_EQ(stored(), QStringList({"*.$$$", "*.bak", "*.tmp"}));
    EXPECT_TRUE(dlg.boxes.empty());
}

TEST(TfrmTempFiles, DeleteAsksOnlyForSeveralRows)
{
    FixedFileTypes types;
    ScriptedDialogs dlg;
    TModal::push([&](QDialog *d) {
        select(d, {"*.bak"});
        click(d, "btDelete"); // one row: no question
        EXPECT_TRUE(dlg.boxes.empty());
        select(d, {"*.$$$", "*.tmp"});
        dlg.answer(Dialogs::Answer::No);
        click(d, "btDelete");
        dlg.answer(Dialogs::Answer::Cancel);
        click(d, "btDelete");
        EXPECT_EQ(static_cast<TfrmTempFiles *>(d)->rows().size(), 2);
        dlg.answer(Dialogs::Answer::Yes);
        click(d, "btDelete");
        d->findChild<QListWidget *>("PickList1")->clearSelection();
        click(d, "btDelete"); // nothing selected: nothing happens
        click(d, "btClose");
    });
    TfrmTempFiles w;
    TModal::exec(&w);
    ASSERT_EQ(dlg.boxes.size(), 3u);
    EXPECT_EQ(dlg.boxes[0].text, "Really delete 2 extensions?");
    EXPECT_EQ(dlg.boxes[0].buttons, Dialogs::Buttons::YesNoCancel);
    EXPECT_EQ(stored(), QStringList());
}

TEST(TfrmTempFiles, ClearAllAsksAndDefaultsAddElevenOnce)
{
    FixedFileTypes types;
    ScriptedDialogs dlg;
    QStringList afterDefaults, afterAgain;
    TModal::push([&](QDialog *d) {
        auto *w = static_cast<TfrmTempFiles *>(d);
        dlg.answer(Dialogs::Answer::No);
        click(d, "btClear");
        EXPECT_EQ(w->rows().size(), 3);
        dlg.answer(Dialogs::Answer::Yes);
        click(d, "btClear");
        EXPECT_TRUE(w->rows().isEmpty());
        click(d, "btDefaults");
        afterDefaults = w->rows();
        click(d, "btDefaults");
        afterAgain = w->rows();
        click(d, "btClose");
    });
    TfrmTempFiles w;
    TModal::exec(&w);
    EXPECT_EQ(dlg.count("Really clear out all extensions?"), 2);
    EXPECT_EQ(dlg.boxes[0].buttons, Dialogs::Buttons::YesNoCancel);
    EXPECT_EQ(afterDefaults.size(), 11);
    EXPECT_EQ(afterAgain, afterDefaults);
    QStringList sorted = afterDefaults;
    TempPatterns::sort(sorted);
    EXPECT_EQ(afterDefaults, sorted);
    EXPECT_EQ(stored().size(), 11);
    EXPECT_EQ(stored(), patternsOf(afterDefaults));
}

TEST(TfrmTempFiles, AStoredListIsShownAndAShorterOneLeavesOldKeys)
{
    FixedFileTypes types;
    ScriptedDialogs dlg;
    IniFile().writeList("TempFiles", {"*.e", "*.d", "*.c", "*.xyz", "*.a"});
    TModal::push([&](QDialog *d) {
        auto *w = static_cast<TfrmTempFiles *>(d);
        EXPECT_EQ(patternsOf(w->rows()), QStringList({"*.a", "*.c", "*.d", "*.e", "*.xyz"}));
        EXPECT_EQ(w->rows()[4], "*.xyz\tXYZ File");
        select(d, {"*.a", "*.d"});
        dlg.answer(Dialogs::Answer::Yes);
        click(d, "btDelete");
        click(d, "btClose");
    });
    TfrmTempFiles w;
    TModal::exec(&w);
    EXPECT_EQ(stored(), QStringList({"*.c", "*.e", "*.xyz"}));
    EXPECT_EQ(IniFile().readString("TempFiles", "File5", ""), "*.a");
}

TEST(TfrmTempFiles, AddTakesATypedPatternOrSeveralLinesWithoutDuplicates)
{
    FixedFileTypes types;
    FileTypes::setTableForTests({{".tmp", "Temporary file"}, {".bak", "Backup file"}, {".zip", "Zip archive"}});
    ScriptedDialogs dlg;
    const auto pick = [](std::function<void(QDialog *)> drive) {
        TModal::push([drive](QDialog *p) {
            drive(p);
            if (p->isVisible())
                p->findChild<QPushButton *>("BitBtn1")->click();
        });
    };
    QStringList rows;
    TModal::push([&](QDialog *d) {
        auto *w = static_cast<TfrmTempFiles *>(d);
        pick([](QDialog *p) { p->findChild<QLineEdit *>("Edit1")->setText("log"); });
        click(d, "btAdd");
        pick([](QDialog *p) { p->findChild<QLineEdit *>("Edit1")->setText("*.LOG"); }); // same text, other case
        click(d, "btAdd");
        pick([](QDialog *p) { p->findChild<QLineEdit *>("Edit1")->setText("*.*"); });
        click(d, "btAdd");
        // Several lines of the picker's list are added as they are; "*.tmp" is there already.
        pick([](QDialog *p) {
            auto *box = p->findChild<QListWidget *>("lBox");
            for (int i = 0; i < box->count(); ++i)
                box->item(i)->setSelected(true);
        });
        click(d, "btAdd");
        TModal::push([](QDialog *p) { p->reject(); }); // a cancelled picker adds nothing
        click(d, "btAdd");
        rows = w->rows();
        click(d, "btClose");
    });
    TfrmTempFiles w;
    TModal::exec(&w);
    EXPECT_EQ(TModal::pending(), 0u);
    EXPECT_EQ(rows, QStringList({"*.$$$\t$$$ File", "*.bak\tBackup file", "*.log\tLOG File",
                                 "*.tmp\tTemporary file", "*.zip\tZip archive"}));
    EXPECT_EQ(stored(), patternsOf(rows));
}

TEST(TfrmTempFiles, ARestoreFromMinimisedKeepsUnsavedEdits)
{
    FixedFileTypes types;
    ScriptedDialogs dlg;
    TfrmTempFiles w;
    w.show();
    auto *list = w.findChild<QListWidget *>("PickList1");
    ASSERT_GT(list->count(), 0);
    dlg.answer(Dialogs::Answer::Yes);
    click(&w, "btClear");
    const int edited = list->count();
    sendSpontaneousShow(&w);
    EXPECT_EQ(list->count(), edited);
    w.hide();
    w.show(); // a new opening reads the stored list again
    EXPECT_GT(list->count(), edited);
}

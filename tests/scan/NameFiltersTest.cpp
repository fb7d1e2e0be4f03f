#include "common/TModal.h"
#include "platform/FileTypes.h"
#include "scan/NameFilters.h"
#include "scan/TPatternBox.h"
#include "scan/TfrmSelectExtension.h"
#include "scan/TfrmWildCard.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

namespace {
void registerTypes()
{
    FileTypes::setTableForTests({{".txt", "Text document"},
                                 {".htm", "HTML document"},
                                 {".c", "C source code"},
                                 {".backup", "Backup file"},
                                 {".B", "B file"},
                                 {".zip", "ZIP archive"},
                                 {".log", "Log file"},
                                 {".bak", ""}});
}
}

TEST(NameFilters, PatternListOffersShortExtensionsSortedWithoutCase)
{
    registerTypes();
    EXPECT_EQ(NameFilters::patternList(true),
              (QStringList{"*.*", "*.B", "*.bak", "*.c", "*.htm", "*.log", "*.txt", "*.zip"}));
    EXPECT_EQ(NameFilters::patternList(false).first(), "*.B");

    QComboBox box;
    box.setEditable(true);
    box.setEditText("*.abc");
    fillPatternList(&box, true);
    EXPECT_EQ(box.count(), 8);
    EXPECT_EQ(box.currentText(), "*.abc"); // the text in the box stays
}

TEST(NameFilters, TypeLabels)
{
    registerTypes();
    EXPECT_EQ(NameFilters::typeLabel("*.zip"), "ZIP archive");
    EXPECT_EQ(NameFilters::typeLabel("*.ZIP"), "ZIP archive");
    EXPECT_EQ(NameFilters::typeLabel("*.*"), "All files");
    EXPECT_EQ(NameFilters::typeLabel("a*.txt"), "");
    EXPECT_EQ(NameFilters::typeLabel("*.xyz"), ""); // not registered
    EXPECT_EQ(NameFilters::typeLabel(""), "");

    TPatternBox box;
    EXPECT_EQ(box.lblWild()->text(), "All files");
    EXPECT_EQ(box.cbWildCard()->maxVisibleItems(), 14);
    EXPECT_EQ(box.cbWildCard()->toolTip(), "Wildcard pattern for matching file types");
    box.cbWildCard()->lineEdit()->clear();
    QTest::keyClicks(box.cbWildCard()->lineEdit(), "*.zip");
    EXPECT_EQ(box.lblWild()->text(), "ZIP archive");
    box.setPattern("a*.txt");
    EXPECT_EQ(box.lblWild()->text(), "");
}

TEST(NameFilters, ExtensionPickFinishing)
{
    registerTypes();
    using NameFilters::finishExtensionPick;
    auto r = finishExtensionPick({}, "log", false);
    EXPECT_EQ(r.pattern, "*.log");
    EXPECT_EQ(r.typeName, "Log file");
    EXPECT_TRUE(r.close);
    EXPECT_EQ(finishExtensionPick({}, ".bak", false).pattern, "*.bak");
    EXPECT_EQ(finishExtensionPick({}, ".bak", false).typeName, "application/x-bak");
    EXPECT_EQ(finishExtensionPick({}, "a*", false).pattern, "a*");
    EXPECT_EQ(finishExtensionPick({}, "*.qqq", true).typeName, "QQQ File");
    EXPECT_TRUE(finishExtensionPick({}, "*.qqq", true).close);
    for (const char *all : {"*.*", ".*", "*", ""}) {
        const auto none = finishExtensionPick({"*.c\tC"}, all, false);
        EXPECT_TRUE(none.pattern.isEmpty() && none.typeName.isEmpty()) << all;
        EXPECT_TRUE(none.close);
        EXPECT_FALSE(finishExtensionPick({}, all, true).close);
    }
    const QStringList three = {"*.c\tC source code", "*.htm\tHTML document", "*.txt\tText document"};
    const auto several = finishExtensionPick(three, "log", false);
    EXPECT_TRUE(several.several);
    EXPECT_EQ(several.lines, three);
    EXPECT_TRUE(several.close);
    EXPECT_FALSE(finishExtensionPick(three, "log", true).close);
}

TEST(NameFilters, ExtensionPickerDialog)
{
    registerTypes();
    TfrmSelectExtension dlg;
    TModal::push([](QDialog *d) {
        auto *f = static_cast<TfrmSelectExtension *>(d);
        EXPECT_EQ(f->Edit1()->text(), "*.B");
        EXPECT_EQ(f->lBox()->count(), 7);
        EXPECT_EQ(f->lBox()->item(2)->text(), "*.c\tC source code");
        f->Edit1()->setText("log");
        f->findChild<QPushButton *>("BitBtn1")->click();
    });
    ASSERT_EQ(TModal::exec(&dlg), QDialog::Accepted);
    EXPECT_FALSE(dlg.isSeveral());
    EXPECT_EQ(dlg.pattern(), "*.log");
    EXPECT_EQ(dlg.typeName(), "Log file");
    EXPECT_EQ(dlg.windowTitle(), "Select a file extension");

    TfrmSelectExtension many;
    TModal::push([](QDialog *d) {
        auto *f = static_cast<TfrmSelectExtension *>(d);
        for (int i : {1, 3, 6})
            f->lBox()->item(i)->setSelected(true);
        // A double-click with several lines selected does not close.
        const QListWidget *list = f->lBox();
        emit f->lBox()->itemDoubleClicked(list->item(3));
        EXPECT_TRUE(f->isVisible());
        EXPECT_EQ(f->Edit1()->text(), "*.htm");
        f->findChild<QPushButton *>("BitBtn1")->click();
    });
    ASSERT_EQ(TModal::exec(&many), QDialog::Accepted);
    EXPECT_TRUE(many.isSeveral());
    EXPECT_EQ(many.selectedLines(),
              (QStringList{"*.bak\tapplication/x-bak", "*.htm\tHTML document", "*.zip\tZIP archive"}));
}

TEST(NameFilters, WildCardDialog)
{
    registerTypes();
    TfrmWildCard dlg;
    dlg.setPattern("*.txt");
    TModal::push([](QDialog *d) {
        auto *f = static_cast<TfrmWildCard *>(d);
        EXPECT_EQ(f->cbWildCard()->currentText(), "*.txt");
        EXPECT_EQ(f->cbWildCard()->count(), 8);
        EXPECT_EQ(f->findChild<QLabel *>("lblWild")->text(), "");
        EXPECT_EQ(f->findChild<QLabel *>("lblType")->text(), "Text document");
        f->cbWildCard()->setEditText("*.*");
        EXPECT_EQ(f->findChild<QLabel *>("lblWild")->text(), "All files");
        EXPECT_EQ(f->findChild<QLabel *>("lblType")->text(), "");
        f->cbWildCard()->setEditText("*.zip");
        f->findChild<QPushButton *>("BitBtn1")->click();
    });
    ASSERT_EQ(TModal::exec(&dlg), QDialog::Accepted);
    EXPECT_EQ(dlg.pattern(), "*.zip");
    EXPECT_EQ(dlg.windowTitle(), "Wildcard pattern");
}

TEST(NameFilters, PatternListHoldsEachExtensionOnceWithoutRegardToCase)
{
    FileTypes::setTableForTests({{".C", "C++ source code"},
                                 {".c", "C source code"},
                                 {".z", "Packed file"},
                                 {".Z", "Compressed file"},
                                 {".Tar", "Tape archive"}});
    EXPECT_EQ(NameFilters::patternList(true), (QStringList{"*.*", "*.c", "*.Tar", "*.z"}));
}

TEST(NameFilters, PickerLineChosenByKeyboardFillsTheField)
{
    registerTypes();
    TfrmSelectExtension dlg;
    TModal::push([](QDialog *d) {
        auto *f = static_cast<TfrmSelectExtension *>(d);
        QListWidget *list = f->lBox();
        list->setFocus();
        list->setCurrentRow(0);
        QTest::keyClick(list, Qt::Key_Down);
        QTest::keyClick(list, Qt::Key_Down);
        EXPECT_EQ(f->Edit1()->text(), "*.c");
        QTest::keyClick(list, Qt::Key_End);
        EXPECT_EQ(f->Edit1()->text(), "*.zip");
        f->findChild<QPushButton *>("BitBtn1")->click();
    });
    ASSERT_EQ(TModal::exec(&dlg), QDialog::Accepted);
    EXPECT_EQ(dlg.pattern(), "*.zip");
}

TEST(NameFilters, PatternDialogsHaveAFixedSizeAndOnlyACloseBox)
{
    registerTypes();
    TfrmWildCard wild;
    TfrmSelectExtension pick;
    for (QDialog *d : std::initializer_list<QDialog *>{&wild, &pick}) {
        d->show();
        EXPECT_EQ(d->minimumSize(), d->maximumSize()) << d->objectName().toStdString();
        EXPECT_EQ(d->size(), d->maximumSize());
        const Qt::WindowFlags f = d->windowFlags();
        EXPECT_TRUE(f.testFlag(Qt::WindowCloseButtonHint));
        EXPECT_FALSE(f.testFlag(Qt::WindowMaximizeButtonHint));
        EXPECT_FALSE(f.testFlag(Qt::WindowMinimizeButtonHint));
        d->hide();
    }
    EXPECT_GE(wild.width(), 286);
    EXPECT_GE(pick.height(), 393);
}

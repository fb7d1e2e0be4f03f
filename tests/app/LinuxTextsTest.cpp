// No text the user reads may speak of Windows-only things as if they were
// true here: the registry, the Windows or System folder, the Windows search
// path, DOS, Windows 95/98, the recycle bin's Windows options, Windows help
// files. The windows are built offscreen and every text they show is read,
// together with the message texts and the manual.
#include "finders/TfrmBrowse.h"
#include "finders/TfrmTempFiles.h"
#include "platform/Drives.h"
#include "safety/Deletion.h"
#include "safety/FolderRemoval.h"
#include "safety/NonDeleteList.h"
#include "safety/TfrmDelDirectory.h"
#include "safety/TfrmNoDelete.h"
#include "safety/TfrmReallyDelete.h"
#include "scan/Walker.h"
#include "stats/TStatPage.h"
#include "stats/TfrmStatistics.h"
#include "support/ScriptedDialogs.h"

#include <QAbstractButton>
#include <QFile>
#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QRegularExpression>
#include <QTabWidget>
#include <gtest/gtest.h>
#include <sys/statvfs.h>

namespace {

// The Windows-only phrases; "registry.ini" is the name of a real file here.
const QRegularExpression &windowsOnly()
{
    static const QRegularExpression re(
        QStringLiteral("\\bregistry\\b(?!\\.ini)|windows[ /](system|folder|registry|search path|resource|help file|9[58])"
                       "|\\bwin ?9[58]|\\bDOS\\b|immediately remove files|FAT32 which|overhang for FAT and FAT32 drives"),
        QRegularExpression::CaseInsensitiveOption);
    return re;
}

void expectLinuxTrue(const QString &text, const QString &where)
{
    const auto m = windowsOnly().match(text);
    EXPECT_FALSE(m.hasMatch()) << where.toStdString() << ": \"" << m.captured().toStdString() << "\" in: "
                               << text.toStdString();
}

// Every text of a window: labels, buttons, tips, text boxes and tab names.
void expectWindowTrue(QWidget &w)
{
    const QString name = w.objectName();
    expectLinuxTrue(w.windowTitle(), name);
    QList<QWidget *> all = w.findChildren<QWidget *>();
    all << &w;
    for (QWidget *c : all) {
        const QString where = name + QLatin1Char('.') + c->objectName();
        expectLinuxTrue(c->toolTip(), where);
        if (auto *l = qobject_cast<QLabel *>(c))
            expectLinuxTrue(l->text(), where);
        if (auto *b = qobject_cast<QAbstractButton *>(c))
            expectLinuxTrue(b->text(), where);
        if (auto *e = qobject_cast<QPlainTextEdit *>(c))
            expectLinuxTrue(e->toPlainText(), where);
        if (auto *t = qobject_cast<QTabWidget *>(c))
            for (int i = 0; i < t->count(); ++i)
                expectLinuxTrue(t->tabText(i), where);
    }
}

} // namespace

TEST(LinuxTexts, WindowsMessagesAndManualSayNothingWindowsOnly)
{
    // The phrase list itself catches the old texts.
    for (const char *old : {"referenced in your Windows Registry", "in the Windows/System folder",
                            "You cannot delete the Windows folder", "the windows search path",
                            "in the system registry", "\"Immediately Remove Files On Delete\"",
                            "Due to Windows resource limitations", "They are Windows help file",
                            "Due to the design of both Windows 95/DOS", "Later versions of Win95/98",
                            "Cluster overhang for FAT and FAT32 drives"})
        EXPECT_TRUE(windowsOnly().match(QLatin1String(old)).hasMatch()) << old;
    EXPECT_FALSE(windowsOnly().match(QStringLiteral("registry.ini: where each window was")).hasMatch());

    ScriptedDialogs dlg;
    {
        TfrmNoDelete w;
        expectWindowTrue(w);
        dlg.answer(Dialogs::Answer::No);
        w.btBuildClick();
    }
    {
        TfrmReallyDelete w;
        expectWindowTrue(w);
    }
    {
        TfrmDelDirectory w;
        expectWindowTrue(w);
    }
    {
        TfrmTempFiles w;
        expectWindowTrue(w);
    }
    {
        TfrmStatistics w;
        expectWindowTrue(w);
    }
    for (const auto &box : dlg.boxes)
        expectLinuxTrue(box.text, QStringLiteral("message box"));
    ASSERT_FALSE(dlg.boxes.empty());

    for (int r = 1; r <= 3; ++r)
        expectLinuxTrue(nonDeleteReasonText(r), QStringLiteral("non-delete reason"));
    expectLinuxTrue(FolderRemoval::listRefusal("/usr"), QStringLiteral("folder refusal"));
    expectLinuxTrue(Deletion::kRecycleQuestion, QStringLiteral("recycle question"));
    expectLinuxTrue(Walker::fullText(), QStringLiteral("walker limit"));
    for (int n = 1; n <= 5; ++n)
        expectLinuxTrue(TStatPage::infoText(n), QStringLiteral("statistics note %1").arg(n));

    Q_INIT_RESOURCE(help);
    QFile help(QStringLiteral(":/help/vantorhp.html"));
    ASSERT_TRUE(help.open(QIODevice::ReadOnly));
    expectLinuxTrue(QString::fromUtf8(help.readAll()), QStringLiteral("help"));
}

// The access-date note says which access-time option each drive has.
TEST(LinuxTexts, AccessDateNoteNamesEachDrivesMountOption)
{
    EXPECT_EQ(Drives::accessTimeOption(ST_NOATIME | ST_RDONLY), "noatime");
    EXPECT_EQ(Drives::accessTimeOption(ST_RELATIME), "relatime");
    EXPECT_EQ(Drives::accessTimeOption(0ul), "strictatime");
    EXPECT_EQ(Drives::accessTimeOption(std::string("/no/such/folder")), "");
    const QString root = Drives::accessTimeOption(std::string("/"));
    EXPECT_TRUE(root == "noatime" || root == "relatime" || root == "strictatime") << root.toStdString();

    const QString note =
        TStatPage::infoText(1, {{"C:", "relatime"}, {"D:", "noatime"}, {"E:", "strictatime"}, {"F:", ""}});
    EXPECT_TRUE(note.startsWith("Note: drive C: is mounted with the relatime option, ")) << note.toStdString();
    EXPECT_TRUE(note.contains("  Drive D: is mounted with the noatime option, which does not store"));
    EXPECT_TRUE(note.contains("  Drive E: is mounted with the strictatime option, "));
    EXPECT_TRUE(note.contains("  Drive F: has mount options that could not be read."));
    EXPECT_TRUE(TStatPage::infoText(1).contains("depends on its mount option (noatime, relatime or strictatime)"));
}

// Pictures of the changed texts to look at: VANTOR_SHOTS names the folder.
TEST(LinuxTexts, Pictures)
{
    const QString out = qEnvironmentVariable("VANTOR_SHOTS");
    if (out.isEmpty())
        GTEST_SKIP() << "set VANTOR_SHOTS to a folder for the pictures";
    auto shot = [](QWidget &w, const QString &file) {
        w.show();
        QApplication::processEvents();
        w.grab().save(file);
    };
    {
        TfrmNoDelete w;
        shot(w, out + "/texts-nodelete.png");
    }
    {
        TfrmReallyDelete w;
        w.TabbedNotebook1->setCurrentIndex(1);
        shot(w, out + "/texts-reasons.png");
    }
    {
        TfrmTempFiles w;
        shot(w, out + "/texts-tempfiles.png");
    }
    for (int n : {1, 2, 3}) {
        QMessageBox box(QMessageBox::Information, QStringLiteral("Vantor"),
                        TStatPage::infoText(n, {{"C:", Drives::accessTimeOption(std::string("/"))}}));
        shot(box, out + QStringLiteral("/texts-note%1.png").arg(n));
    }
}

#include "app/TfrmAbout.h"
#include "common/TDialogFrame.h"
#include "common/TInteractiveDialogs.h"
#include "common/TModal.h"
#include "finders/TfrmCache.h"
#include "finders/TfrmDupCompare.h"
#include "finders/TfrmMods.h"
#include "finders/TfrmTempFiles.h"
#include "inspect/TfrmView.h"
#include "safety/TfrmDelDirectory.h"
#include "safety/TfrmNoDelete.h"
#include "safety/TfrmPassword.h"
#include "safety/TfrmReallyDelete.h"
#include "safety/TfrmUnZipIt.h"
#include "safety/TfrmZipDirectory.h"
#include "safety/TfrmZipOptions.h"
#include "scan/TfrmSelectExtension.h"
#include "scan/TfrmWildCard.h"
#include "stats/TfrmStatList.h"
#include "stats/TfrmStatistics.h"
#include "stats/TfrmWhichDrive.h"
#include "safety/Deletion.h"
#include "safety/ZipArchive.h"
#include "support/ScriptedDialogs.h"

#include <QApplication>
#include <QFontMetrics>
#include <QMessageBox>
#include <QTextLayout>
#include <QTimer>

#include <memory>
#include <QVBoxLayout>
#include <gtest/gtest.h>

namespace {
// What a window tells the window manager about its frame: the buttons it asks
// for, its type, and whether its size can change.
struct Frame {
    Qt::WindowType type = Qt::Widget;
    bool minimise = false, maximise = false, close = false, fixed = false, modal = false;
    QSize size;
    QWidget *transientFor = nullptr;
};

Frame frameOf(const QWidget *w)
{
    const Qt::WindowFlags f = w->windowFlags();
    return {Qt::WindowType(int(f & Qt::WindowType_Mask)),
            f.testFlag(Qt::WindowMinimizeButtonHint),
            f.testFlag(Qt::WindowMaximizeButtonHint),
            f.testFlag(Qt::WindowCloseButtonHint),
            w->minimumSize() == w->maximumSize(),
            w->isModal(),
            w->size(),
            w->parentWidget()};
}

// The frame of a window while it is shown as a modal tool window.
template <class W, class... A> Frame modalFrame(A... args)
{
    ScriptedDialogs quiet;
    Frame seen;
    TModal::push([&](QDialog *d) {
        seen = frameOf(d);
        d->done(QDialog::Rejected);
    });
    W w(args...);
    TModal::exec(&w);
    EXPECT_EQ(TModal::pending(), 0u);
    return seen;
}

void expectDialogFrame(const Frame &f, const char *name)
{
    EXPECT_EQ(f.type, Qt::Dialog) << name;
    EXPECT_TRUE(f.close) << name;
    EXPECT_FALSE(f.minimise) << name;
    EXPECT_FALSE(f.maximise) << name;
    EXPECT_TRUE(f.fixed) << name;
    EXPECT_TRUE(f.modal) << name;
}
}

TEST(DialogFrame, ToolDialogsAskForACloseBoxOnlyAndAFixedSize)
{
    expectDialogFrame(modalFrame<TfrmAbout>(), "about");
    expectDialogFrame(modalFrame<TfrmCache>(), "caches");
    expectDialogFrame(modalFrame<TfrmDupCompare>(), "pair comparison");
    expectDialogFrame(modalFrame<TfrmTempFiles>(), "pattern editor");
    expectDialogFrame(modalFrame<TfrmDelDirectory>(), "folder removal");
    expectDialogFrame(modalFrame<TfrmNoDelete>(), "non-delete list");
    expectDialogFrame(modalFrame<TfrmPassword>(), "password");
    expectDialogFrame(modalFrame<TfrmReallyDelete>(), "deletion");
    expectDialogFrame(modalFrame<TfrmUnZipIt>(), "extraction");
    expectDialogFrame(modalFrame<TfrmZipDirectory>(), "destination");
    expectDialogFrame(modalFrame<TfrmZipOptions>(), "zip options");
    expectDialogFrame(modalFrame<TfrmSelectExtension>(), "extension picker");
    expectDialogFrame(modalFrame<TfrmWildCard>(), "wildcard");
    expectDialogFrame(modalFrame<TfrmStatList>(QStringLiteral("Delete")), "statistics list");
    expectDialogFrame(modalFrame<TfrmStatistics>(), "statistics");
    expectDialogFrame(modalFrame<TfrmWhichDrive>(), "drive wizard");
}

TEST(DialogFrame, AWindowLaidOutByALayoutIsHeldAtItsSizeAndNeverBelowItsContents)
{
    // The deletion window opens at its designed size, fixed there.
    const Frame deletion = modalFrame<TfrmReallyDelete>();
    EXPECT_EQ(deletion.size, QSize(640, 470));
    // The folder-removal window, never sized by hand, gets what its layout asks for.
    Frame removal;
    {
        ScriptedDialogs quiet;
        TfrmDelDirectory w;
        const QSize wants = w.sizeHint();
        TModal::push([&](QDialog *d) {
            removal = frameOf(d);
            d->done(QDialog::Rejected);
        });
        TModal::exec(&w);
        EXPECT_EQ(removal.size, wants);
        // Shown again, it keeps that size.
        TModal::push([&](QDialog *d) { d->done(QDialog::Rejected); });
        TModal::exec(&w);
        EXPECT_EQ(w.size(), wants);
    }
    // A window sized smaller than its contents need is held at what they need.
    QDialog small(nullptr, TDialogFrame::flags);
    auto *lay = new QVBoxLayout(&small);
    auto *content = new QWidget;
    content->setMinimumSize(300, 200);
    lay->addWidget(content);
    small.resize(100, 100);
    QSize held;
    TModal::push([&](QDialog *d) {
        held = d->size();
        d->done(QDialog::Rejected);
    });
    TModal::exec(&small);
    EXPECT_GE(held.width(), 300);
    EXPECT_GE(held.height(), 200);
    EXPECT_EQ(small.minimumSize(), small.maximumSize());
}

TEST(DialogFrame, AMessageBoxIsAFixedModalDialogOverTheActiveWindowWithACloseBoxOnly)
{
    QWidget owner;
    owner.show();
    QApplication::setActiveWindow(&owner);
    Frame seen;
    QTimer::singleShot(0, [&] {
        QWidget *box = QApplication::activeModalWidget();
        ASSERT_TRUE(qobject_cast<QMessageBox *>(box));
        seen = frameOf(box);
        static_cast<QMessageBox *>(box)->done(QMessageBox::Ok);
    });
    TInteractiveDialogs interactive;
    interactive.message(Dialogs::Kind::Info, QStringLiteral("Nothing to do."), Dialogs::Buttons::Ok);
    expectDialogFrame(seen, "message box");
    EXPECT_EQ(seen.transientFor, &owner);
}

// A message with a short text still gets a box wide enough for its title
// ("Vantor '95") and the title bar's buttons.
TEST(DialogFrame, AShortMessageKeepsItsTitleWhole)
{
    QWidget owner;
    owner.show();
    QApplication::setActiveWindow(&owner);
    int width = 0;
    QString title;
    QTimer::singleShot(0, [&] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        ASSERT_TRUE(box);
        width = box->width();
        title = box->windowTitle();
        box->done(QMessageBox::Ok);
    });
    TInteractiveDialogs().message(Dialogs::Kind::Plain, QStringLiteral("Done."), Dialogs::Buttons::Ok);
    QFont caption = owner.font();
    caption.setBold(true);
    const QFontMetrics fm(caption);
    EXPECT_EQ(title, "Vantor '95");
    EXPECT_GE(width, fm.horizontalAdvance(title) + 6 * fm.height());
}

TEST(DialogFrame, ResizableWindowsStayResizable)
{
    // The viewer is shown modally but is a resizable window that can be
    // maximised (its placement remembers that).
    const Frame viewer = modalFrame<TfrmView>();
    EXPECT_FALSE(viewer.fixed);
    EXPECT_TRUE(viewer.maximise);
    // A finder: a resizable window with a maximise box and no minimise box.
    TfrmMods finder;
    finder.show();
    const Frame f = frameOf(&finder);
    EXPECT_EQ(f.type, Qt::Window);
    EXPECT_TRUE(f.maximise);
    EXPECT_FALSE(f.minimise);
    EXPECT_FALSE(f.fixed);
    finder.close();
}

// Qt's line breaking may break after a "/"; a box's text keeps each path
// whole on its line, and the text read without the joiners is the same.
TEST(MessageBoxText, APathIsNeverBrokenAtItsSlashes)
{
    const QString text = QStringLiteral("Not removed: the trash folder /home/someone/.local/share/Trash, which the "
                                        "files were sent to.");
    const QString shown = TInteractiveDialogs::boxText(text);
    QString plain = shown;
    EXPECT_EQ(plain.remove(QChar(0x2060)), text);
    QTextLayout layout(shown, QApplication::font());
    layout.beginLayout();
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(QFontMetrics(QApplication::font()).horizontalAdvance(
            QStringLiteral("Not removed: the trash folder /home/someone/.local")));
        const QString part = shown.mid(line.textStart(), line.textLength()).trimmed();
        EXPECT_FALSE(part.endsWith(QChar(0x2060)) || part.endsWith(QLatin1Char('/'))) << part.toStdString();
    }
    layout.endLayout();
}

// Pictures of closing messages, for a person to look at: VANTOR_SHOTS names
// the folder for the PNG files.
TEST(MessageBoxText, Pictures)
{
    const QString out = qEnvironmentVariable("VANTOR_SHOTS");
    if (out.isEmpty())
        GTEST_SKIP() << "set VANTOR_SHOTS to a folder for the pictures";
    ZipRepair repair;
    repair.outcome = ZipRepair::Outcome::Repaired;
    repair.path = "/home/someone/VantorArchives/Drive-C-TempClean09Dec261102.zip";
    repair.kept = 30;
    repair.dropped = "home/someone/big/c.bin";
    const std::pair<const char *, QString> boxes[] = {
        {"recycle", Deletion::recycledText(80, 900000, true)
                        + "\n\nNot removed: the trash folder /home/someone/.local/share/Trash, which the files were sent to."},
        {"repaired", QString::fromStdString(repair.message())},
    };
    for (const auto &[name, text] : boxes) {
        std::unique_ptr<QMessageBox> box(TInteractiveDialogs::detailsBox(Dialogs::Kind::Info, text, {}, nullptr));
        box->show();
        QApplication::processEvents();
        box->grab().save(out + "/box-" + name + ".png");
    }
}

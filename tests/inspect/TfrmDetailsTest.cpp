#include "PeImage.h"
#include "common/TModal.h"
#include "common/Text.h"
#include "common/TShell.h"
#include "inspect/TFileIcon.h"
#include "inspect/TfrmDetails.h"
#include "inspect/TfrmView.h"
#include "platform/FileTypes.h"
#include "support/ScriptedDialogs.h"
#include "support/TempTree.h"
#include "support/TestEnv.h"

#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <gtest/gtest.h>

#include <unistd.h>

namespace {
struct Details {
    explicit Details(const std::string &path)
    {
        w.setPath(path);
        w.show();
    }
    ~Details() { w.hide(); }
    TfrmDetails w;
};

bool samePicture(const QPixmap &a, const QIcon &b) { return a.toImage() == b.pixmap(32, 32).toImage(); }
}

TEST(TfrmDetails, ExecutableShowsItsVersionLines)
{
    TempTree t;
    const std::string exe = t.file("tool.exe", PeImage::image(PeImage::versionBlock(PeImage::fullStrings())));
    Details d(exe);
    EXPECT_EQ(d.w.windowTitle(), "File Details");
    EXPECT_EQ(d.w.lblFileName->text(), QString::fromStdString(exe));
    EXPECT_TRUE(d.w.Memo1->isVisible());
    const QStringList lines = d.w.Memo1->toPlainText().split('\n');
    ASSERT_EQ(lines.size(), 11);
    EXPECT_EQ(lines[4], "Copyright: \t\t(c) 2026 Fennwick");
    EXPECT_EQ(d.w.lblAttributes->text(), " Archive");
    EXPECT_EQ(d.w.lblSizeBytes->text(), formatThousands(int64_t(TempTree::read(exe).size())) + " bytes");
    const int withMemo = d.w.height();

    Details plain(t.file("notes.txt", "no version here"));
    EXPECT_FALSE(plain.w.Memo1->isVisible());
    EXPECT_LT(plain.w.height(), withMemo - 100);
    EXPECT_EQ(plain.w.lblSizeBytes->text(), "15 bytes");
}

TEST(TfrmDetails, FoldersLinksAndMissingFiles)
{
    TempTree t;
    Details folder(t.dir("photos"));
    EXPECT_EQ(folder.w.lblAttributes->text(), " Directory");
    EXPECT_TRUE(samePicture(folder.w.Image1->pixmap(), ownIcon("DIRECTORY")));

    t.file("target.txt", std::string(5000, 'x'));
    const std::string link = t.path("link.txt");
    ASSERT_EQ(::symlink("target.txt", link.c_str()), 0);
    Details l(link);
    EXPECT_EQ(l.w.lblSizeBytes->text(), "10 bytes"); // the link itself, not its target
    EXPECT_EQ(l.w.lblAttributes->text(), " System");

    Details missing(t.path("gone.txt"));
    EXPECT_EQ(missing.w.lblFileName->text(), "");
    EXPECT_EQ(missing.w.lblAttributes->text(), "");
}

TEST(TfrmDetails, OpenViewAndPrint)
{
    ScriptedDialogs dlg;
    FileTypes::setTableForTests({{".txt", "Plain text document"}});
    TempTree t;
    const std::string file = t.file("odd\tname \xff.txt", "content\n");
    Details d(file);
    EXPECT_EQ(d.w.lblFileType->text(), "Plain text document");

    std::vector<QUrl> opened;
    const auto old = TShell::setOpener([&](const QUrl &u) {
        opened.push_back(u);
        return false;
    });
    d.w.btLaunch->click();
    TShell::setOpener(old);
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(QByteArray::fromPercentEncoding(opened[0].path(QUrl::FullyEncoded).toLatin1()).toStdString(), file);
    ASSERT_EQ(dlg.boxes.size(), 1u);
    EXPECT_TRUE(dlg.boxes[0].text.startsWith("Couldn't open "));

    std::string viewed;
    TModal::push([&](QDialog *w) {
        auto *v = qobject_cast<TfrmView *>(w);
        ASSERT_TRUE(v);
        viewed = v->path();
        w->reject();
    });
    d.w.btView->click();
    EXPECT_EQ(viewed, file);

    dlg.printPdf = QString::fromStdString(t.path("details.pdf"));
    d.w.btPrint->click();
    ASSERT_EQ(d.w.lb.size(), 12);
    EXPECT_EQ(d.w.lb[1], "Type of file : \tPlain text document");
    const std::string text = TestEnv::commandOutput("pdftotext -layout '" + dlg.printPdf.toStdString() + "' -");
    EXPECT_NE(text.find("File details of"), std::string::npos) << text;
    EXPECT_NE(text.find("Plain text document"), std::string::npos) << text;
    EXPECT_NE(text.find("Modification date"), std::string::npos) << text;
    FileTypes::setTableForTests({});
}

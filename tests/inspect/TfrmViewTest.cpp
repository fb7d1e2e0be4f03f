#include "common/EventPump.h"
#include "common/TModal.h"
#include "inspect/TFindDlg.h"
#include "inspect/TViewer.h"
#include "inspect/TfrmView.h"
#include "support/ScriptedDialogs.h"
#include "support/TempTree.h"
#include "support/TestEnv.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>
#include <QUrl>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
// A shown viewer on one file.
struct Shown {
    explicit Shown(const std::string &path)
    {
        w.setPath(path);
        w.show();
    }
    ~Shown() { w.hide(); }
    QString header(int i) const { return w.Header1[i]->text(); }
    TViewer &v() { return *w.Viewer1; }
    TfrmView w;
};

// Sets the shared find dialog and answers it with OK on the next Find...
void findWith(const QString &text, bool backward, bool matchCase, bool global)
{
    TModal::push([=](QDialog *d) {
        auto *f = qobject_cast<TFindDlg *>(d);
        ASSERT_TRUE(f);
        f->Edit1->setText(text);
        (backward ? f->rbBackward : f->rbForward)->setChecked(true);
        f->cbMatchCase->setChecked(matchCase);
        f->cbGlobal->setChecked(global);
        f->btOK->click();
    });
}

std::string pdfText(const QString &pdf)
{
    return TestEnv::commandOutput("pdftotext -layout '" + pdf.toStdString() + "' -");
}
}

TEST(TfrmView, BigSparseFileOpensUncountedCountsAndFindsTheMarkerAtItsEnd)
{
    ScriptedDialogs d;
    TempTree t;
    const std::string path = t.path("big.bin");
    const uint64_t size = 4ull << 30;
    {
        const int fd = ::open(path.c_str(), O_CREAT | O_WRONLY, 0644);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(::ftruncate(fd, off_t(size)), 0);
        const char marker[] = "\nEND MARKER here\n";
        ASSERT_EQ(::pwrite(fd, marker, sizeof marker - 1, off_t(size - 17)), ssize_t(sizeof marker - 1));
        ::close(fd);
    }
    Shown s(path);
    EXPECT_EQ(s.w.windowTitle(), "View File : " + QString::fromStdString(path));
    EXPECT_EQ(s.header(1), "Total: ?");
    EXPECT_EQ(s.header(2), "Top: 1    ");
    EXPECT_EQ(s.header(3), "Bytes: 4,294,967,296");
    EXPECT_EQ(s.header(0), "1:1     ");

    ASSERT_TRUE(s.v().countLines());
    const auto total = s.v().lineCount();
    ASSERT_TRUE(total);
    // Rows of 4096 bytes through the zeros, then the marker's own line.
    EXPECT_EQ(*total, (size - 17 + 4095) / 4096 + 1);
    EXPECT_EQ(s.header(1), "Total: 1,048,577");
    s.v().goToLine(*total - 1);
    EXPECT_EQ(s.v().caretLine(), *total - 1);
    EXPECT_EQ(s.v().lineText(*total - 1), "END MARKER here");
    s.v().goToLine(0);
    EXPECT_EQ(s.v().topLine(), 0u);

    // A global search backward starts at the end.
    findWith("END MARKER", true, true, true);
    s.w.Find1Click();
    EXPECT_TRUE(d.boxes.empty());
    EXPECT_EQ(s.v().selectionStartOffset(), size - 16);
    EXPECT_EQ(s.v().caretLine(), *total - 1);
    EXPECT_EQ(s.v().caretColumn(), 10);
    EXPECT_EQ(s.header(0), "1048577:11");
}

TEST(TfrmView, StatusSectionsShowTheirWholeValues)
{
    TempTree t;
    Shown s(t.file("tall.txt", std::string(1310719, '\n') + std::string(600, '\t') + "\n"));
    ASSERT_TRUE(s.v().countLines());
    s.v().goToLine(1310719);
    QTest::keyClick(&s.v(), Qt::Key_End);
    EXPECT_EQ(s.header(0), "1310720:4801");
    EXPECT_EQ(s.header(1), "Total: 1,310,720");
    EXPECT_EQ(s.header(3), "Bytes: 1,311,320");
    for (int i = 0; i < 3; ++i)
        EXPECT_GE(s.w.Header1[i]->width(), s.w.Header1[i]->sizeHint().width()) << s.header(i).toStdString();
    if (const char *dir = getenv("VANTOR_SHOTS"))
        QApplication::processEvents(), s.w.grab().save(QString::fromLocal8Bit(dir) + "/viewer-status.png");
}

TEST(TfrmView, HexModeShowsTheBytesAtAnOffset)
{
    TempTree t;
    std::string data;
    for (int i = 0; i < 4096; ++i)
        data += char(i * 7);
    data.replace(0x230, 6, "Vantor");
    Shown s(t.file("bytes.bin", data));
    s.w.HexMode1Click();
    EXPECT_TRUE(s.w.rbHex->isChecked());
    EXPECT_FALSE(s.w.rbAscii->isChecked());
    EXPECT_TRUE(s.w.HexMode1->isChecked());
    EXPECT_EQ(s.header(1), "Total: 256");
    s.v().goToLine(0x23);
    EXPECT_EQ(s.v().lineText(0x23), "00000230  56 61 6E 74 6F 72 7A 81  88 8F 96 9D A4 AB B2 B9  Vantorz.........");
    EXPECT_EQ(s.header(0), "36:11   ");
    s.w.rbAsciiClick();
    EXPECT_FALSE(s.w.HexMode1->isChecked());
    EXPECT_FALSE(s.v().hexMode());
}

TEST(TfrmView, TabExpansionAndTabSize)
{
    ScriptedDialogs d;
    TempTree t;
    Shown s(t.file("tabs.txt", "a\tbc\td\n"));
    EXPECT_TRUE(s.w.TabExpansion1->isChecked());
    EXPECT_EQ(s.v().lineText(0), "a       bc      d");
    d.inputs.push_back(QString("3"));
    s.w.TabSize1Click();
    EXPECT_EQ(d.pickers.back(), "input:Tab Size");
    EXPECT_EQ(s.v().lineText(0), "a  bc d");
    // Not a number from 0 to 255: nothing changes; 0 shows tabs unexpanded.
    for (const char *bad : {"256", "-1", "x"}) {
        d.inputs.push_back(QString(bad));
        s.w.TabSize1Click();
        EXPECT_EQ(s.v().tabSize(), 3) << bad;
    }
    d.inputs.push_back(QString("0"));
    s.w.TabSize1Click();
    EXPECT_EQ(s.v().lineText(0), QString::fromUtf8("a\u2409bc\u2409d"));
    d.inputs.push_back(QString("8"));
    s.w.TabSize1Click();
    s.w.TabExpansion1Click();
    EXPECT_FALSE(s.w.TabExpansion1->isChecked());
    EXPECT_EQ(s.v().lineText(0), QString::fromUtf8("a\u2409bc\u2409d"));
}

TEST(TfrmView, SearchForwardBackwardCaseAndGlobal)
{
    ScriptedDialogs d;
    TempTree t;
    // Offsets: Alpha 0, alpha 6, ALPHA 12 (line 2 starts at 18), alpha 18.
    Shown s(t.file("words.txt", "Alpha alpha ALPHA\nalpha end\n"));
    findWith("alpha", false, true, false);
    s.w.Find1Click();
    EXPECT_EQ(s.v().selectionStartOffset(), 6u);
    EXPECT_TRUE(s.w.FindNext1->isEnabled());
    s.w.FindNext1Click();
    EXPECT_EQ(s.v().selectionStartOffset(), 18u);
    EXPECT_EQ(s.header(0), "2:6     ");
    s.w.FindNext1Click();
    ASSERT_EQ(d.boxes.size(), 1u);
    EXPECT_EQ(d.boxes[0].text, "Search string 'alpha' not found");
    EXPECT_EQ(d.boxes[0].kind, Dialogs::Kind::Info);

    // Backward without case from the selection: ALPHA, then Alpha at 6, 0.
    findWith("alpha", true, false, false);
    s.w.Find1Click();
    EXPECT_EQ(s.v().selectionStartOffset(), 12u);
    s.w.FindNext1Click();
    EXPECT_EQ(s.v().selectionStartOffset(), 6u);
    // Global backward starts at the end; F3 then goes on from the caret.
    findWith("ALPHA", true, true, true);
    s.w.Find1Click();
    EXPECT_EQ(s.v().selectionStartOffset(), 12u);
    findWith("alpha", false, false, true);
    s.w.Find1Click();
    EXPECT_EQ(s.v().selectionStartOffset(), 0u);
    s.w.FindNext1Click();
    EXPECT_EQ(s.v().selectionStartOffset(), 6u);
    EXPECT_EQ(d.boxes.size(), 1u);
}

TEST(TfrmView, GoToLineAndCopy)
{
    ScriptedDialogs d;
    TempTree t;
    std::string text;
    for (int i = 1; i <= 500; ++i)
        text += "line " + std::to_string(i) + "\n";
    Shown s(t.file("lines.txt", text));
    EXPECT_FALSE(s.w.Copy1->isEnabled());
    d.inputs.push_back(QString("250"));
    s.w.GotoLine1Click();
    EXPECT_EQ(d.pickers.back(), "input:Go to line number");
    EXPECT_EQ(s.v().caretLine(), 249u);
    EXPECT_EQ(s.header(1), "Total: 500");
    d.inputs.push_back(QString("two"));
    s.w.GotoLine1Click();
    EXPECT_EQ(s.v().caretLine(), 249u);

    s.v().select(text.find("line 3\n"), text.find("line 5\n") + 4);
    EXPECT_TRUE(s.w.Copy1->isEnabled());
    s.w.Copy1Click();
    EXPECT_EQ(QApplication::clipboard()->text(), "line 3\nline 4\nline");
    s.w.SelectAll1Click();
    EXPECT_EQ(s.v().selectionEndOffset(), text.size());
}

TEST(TfrmView, EmptyFileDisablesWhatNeedsLines)
{
    TempTree t;
    Shown s(t.file("empty.txt", ""));
    emit s.w.Search1->aboutToShow();
    emit s.w.File1->aboutToShow();
    emit s.w.Clipboard1->aboutToShow();
    for (QAction *a : {s.w.Find1, s.w.FindNext1, s.w.GotoLine1, s.w.SelectAll1, s.w.Print1, s.w.Copy1})
        EXPECT_FALSE(a->isEnabled()) << a->objectName().toStdString();
    EXPECT_EQ(s.header(1), "Total: 0");
}

TEST(TfrmView, PrintingASelectionGivesExactlyItsText)
{
    ScriptedDialogs d;
    TempTree t;
    Shown s(t.file("print.txt", "first line of text\nsecond line\nthird and last\nnot printed\n"));
    d.printPdf = QString::fromStdString(t.path("sel.pdf"));
    d.printSelection = true;
    // From "line of text" (column 6) to "third" (column 5).
    s.v().select(6, 19 + 12 + 5);
    s.w.Print1Click();
    EXPECT_TRUE(d.selectionOffered);
    const std::string text = pdfText(d.printPdf);
    EXPECT_EQ(text.substr(0, text.find('\f')), "      line of text\nsecond line\nthird\n");

    // Without a selection the whole file is printed and no range is offered.
    s.v().select(0, 0);
    d.printPdf = QString::fromStdString(t.path("all.pdf"));
    s.w.Print1Click();
    EXPECT_FALSE(d.selectionOffered);
    const std::string all = pdfText(d.printPdf);
    EXPECT_EQ(all.substr(0, all.find('\f')), "first line of text\nsecond line\nthird and last\nnot printed\n");
}

TEST(TfrmView, StringsOpenInASecondViewerWithoutItsButtons)
{
    ScriptedDialogs d;
    TempTree t;
    std::string data(3000, '\x01');
    data.replace(2040, 14, "crossing block");
    data += "short\x01" "seven77\x01" "seven77\x01";
    Shown s(t.file("prog.bin", data));
    std::string shown;
    std::string tempPath;
    TModal::push([&](QDialog *dlg) {
        auto *v = qobject_cast<TfrmView *>(dlg);
        ASSERT_TRUE(v);
        EXPECT_TRUE(v->btStrings->isHidden());
        EXPECT_TRUE(v->rbAscii->isHidden());
        EXPECT_TRUE(v->rbHex->isHidden());
        EXPECT_FALSE(v->HexMode1->isVisible());
        tempPath = v->path();
        shown = TempTree::read(tempPath);
        EXPECT_EQ(v->Viewer1->lineText(0), "crossing block");
        dlg->reject();
    });
    s.w.btStringsClick();
    EXPECT_EQ(TModal::pending(), 0u);
    EXPECT_EQ(shown, "crossing block\nseven77\n");
    EXPECT_EQ(QString::fromStdString(tempPath).section('/', -1).left(3), "str");
    EXPECT_FALSE(TempTree::exists(tempPath));
}

TEST(TfrmView, FifosAreRefusedAndDropsOpenTheWholePath)
{
    ScriptedDialogs d;
    TempTree t;
    const std::string fifo = t.path("pipe");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    Shown s(t.file("start.txt", "start\n"));
    d.files.push_back(fifo);
    s.w.Open1Click();
    ASSERT_EQ(d.boxes.size(), 1u);
    EXPECT_EQ(d.boxes[0].text, "Could not open file " + QString::fromStdString(fifo));
    // The file shown before stays, with its caption.
    EXPECT_EQ(s.v().lineText(0), "start");
    EXPECT_EQ(s.w.windowTitle(), "View File : " + QString::fromStdString(t.path("start.txt")));
    EXPECT_EQ(s.header(3), "Bytes: 6");
    // The open dialog lists names without a dot too.
    const QString pattern = d.fileFilter.section('(', 1).section(')', 0, 0);
    EXPECT_TRUE(QDir::match(pattern, "README")) << d.fileFilter.toStdString();

    // A dropped file with a name longer than 80 characters, and one not UTF-8.
    const std::string longName = t.file(std::string(90, 'n') + "/" + std::string(60, 'm') + ".txt", "dropped\n");
    const std::string odd = t.file("caf\xe9\tx.txt", "odd name\n");
    for (const std::string &p : {longName, odd}) {
        s.w.FilesDropped({QUrl::fromEncoded("file://" + QByteArray(p.data(), qsizetype(p.size())).toPercentEncoding("/"))});
        EXPECT_EQ(s.v().path(), p);
    }
    EXPECT_EQ(s.v().lineText(0), "odd name");
    // A dropped FIFO: the message, and the window still answers.
    s.w.FilesDropped({QUrl::fromLocalFile(QString::fromStdString(fifo))});
    EXPECT_EQ(d.boxes.size(), 2u);
    EXPECT_EQ(d.boxes[1].text, "Could not open file " + QString::fromStdString(fifo));
    EXPECT_EQ(s.v().path(), odd);
    EXPECT_EQ(s.v().lineText(0), "odd name");
}

TEST(TfrmView, NothingIsOpenedDuringARunAndPeekAtStringsStops)
{
    ScriptedDialogs d;
    TempTree t;
    struct EveryPiece {
        EveryPiece() { EventPump::setDefaultInterval(0); } // events run at every pump point
        ~EveryPiece() { EventPump::setDefaultInterval(15); }
    } everyPiece;
    std::string text;
    for (int i = 0; i < 400000; ++i)
        text += "line " + std::to_string(i) + "\n";
    const std::string first = t.file("first.txt", text);
    const std::string other = t.file("other.txt", "other\n");
    Shown s(first);

    // A drop and File > Open while the lines are counted: the count's file stays.
    QTimer::singleShot(0, &s.w, [&] {
        s.w.FilesDropped({QUrl::fromLocalFile(QString::fromStdString(other))});
        emit s.w.File1->aboutToShow();
        EXPECT_FALSE(s.w.Open1->isEnabled());
        d.files.push_back(other);
        s.w.Open1Click();
    });
    ASSERT_TRUE(s.v().countLines());
    EXPECT_EQ(s.v().path(), first);
    EXPECT_EQ(s.v().lineCount(), 400000u);
    ASSERT_EQ(d.boxes.size(), 2u);
    for (const auto &box : d.boxes)
        EXPECT_EQ(box.text, "Please wait: a line count is still running. Let it finish or abort it, then try again.");
    EXPECT_TRUE(d.pickers.empty());
    emit s.w.File1->aboutToShow();
    EXPECT_TRUE(s.w.Open1->isEnabled());

    // Peek at strings: its button is Abort while it reads, and Close stops
    // it too; either way no strings viewer comes up, and the window stays.
    TModal::push([](QDialog *dlg) { dlg->reject(); }); // must stay unused
    for (QPushButton *stop : {s.w.btStrings, s.w.btClose}) {
        QTimer::singleShot(0, &s.w, [&, stop] {
            EXPECT_EQ(s.w.btStrings->text(), "&Abort");
            stop->click();
        });
        s.w.btStringsClick();
        EXPECT_EQ(TModal::pending(), 1u);
        EXPECT_TRUE(s.w.isVisible());
        EXPECT_EQ(s.w.btStrings->text(), "Pee&k at strings");
    }
    TModal::clear();
    EXPECT_EQ(d.boxes.size(), 2u);
}

TEST(TfrmView, FontAndPrinterSetupGoThroughTheDialogs)
{
    ScriptedDialogs d;
    TempTree t;
    Shown s(t.file("f.txt", "x\n"));
    QFont chosen(QStringLiteral("Monospace"), 17);
    d.fonts.push_back(chosen);
    s.w.btFont->click();
    EXPECT_TRUE(d.fixedFontsOnly);
    EXPECT_EQ(s.v().font().pointSize(), 17);
    s.w.Font1Click(); // cancelled: unchanged
    EXPECT_EQ(s.v().font().pointSize(), 17);
    s.w.btPrint->click();
    s.w.PrintSetup1Click();
    EXPECT_EQ(d.setupDialogs, 2);
}

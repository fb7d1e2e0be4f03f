#include "GridTestLayout.h"
#include "common/DosTime.h"
#include "scan/GridReport.h"
#include "scan/SortDirections.h"
#include "scan/TPrintGrid.h"
#include "scan/TResultGrid.h"
#include "support/ScriptedDialogs.h"
#include "support/TempTree.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDesktopServices>
#include <QFile>
#include <QHeaderView>
#include <QMenu>
#include <QMimeData>
#include <QPrinter>
#include <QProcess>
#include <QStandardPaths>
#include <QSignalSpy>
#include <QTest>
#include <QUrl>
#include <QFontInfo>
#include <QHelpEvent>
#include <QToolTip>
#include <gtest/gtest.h>

namespace {
struct Grid {
    TempTree tree;
    QString status;
    TResultGrid grid{hogLayout(&status)};
    std::vector<std::string> paths;
    explicit Grid(int n = 3)
    {
        grid.resize(800, 400);
        for (int i = 0; i < n; ++i) {
            const std::string p = tree.sized("f" + std::to_string(i) + ".txt", (i + 1) * 100);
            paths.push_back(p);
            grid.addToGrid(hogLine(QString::number((i + 1) * 100), p), p);
        }
        grid.trimRows();
    }
    QStringList sizes() const
    {
        QStringList out;
        for (int r = 1; r <= grid.rowsFilled(); ++r)
            out << grid.gridModel()->cell(r, 0);
        return out;
    }
    QPoint headerPoint(int column) const
    {
        const QHeaderView *h = grid.horizontalHeader();
        return QPoint(h->sectionViewportPosition(column) + h->sectionSize(column) / 2, h->height() / 2);
    }
};

QStringList menuTexts(const QMenu *m)
{
    QStringList out;
    for (const QAction *a : m->actions())
        if (a->isVisible())
            out << a->text();
    return out;
}
}

class UrlCatcher : public QObject {
    Q_OBJECT
public:
    QList<QUrl> urls;
public slots:
    void open(const QUrl &u) { urls << u; }
};

TEST(TResultGrid, DeleteKeyMovesDownButStaysOnTheLastRow)
{
    Grid g;
    QSignalSpy clean(&g.grid, &TResultGrid::cleanEnabled);
    g.grid.setSelectedRow(2);
    QTest::keyRelease(&g.grid, Qt::Key_Delete);
    EXPECT_TRUE(g.grid.gridModel()->isMarked(2));
    EXPECT_EQ(g.grid.selectedRow(), 3);
    QTest::keyRelease(&g.grid, Qt::Key_Delete);
    EXPECT_TRUE(g.grid.gridModel()->isMarked(3));
    EXPECT_EQ(g.grid.selectedRow(), 3);
    EXPECT_EQ(g.status, "2 files 500 bytes");
    ASSERT_EQ(clean.count(), 2);
    EXPECT_TRUE(clean.last().at(0).toBool());
    g.grid.gridDblClick(); // toggles the selected row, no move
    EXPECT_EQ(g.grid.selectedRow(), 3);
    EXPECT_EQ(g.grid.lbDeleted(), std::vector<std::string>{g.paths[1]});
    g.grid.setSelectedRow(2);
    g.grid.DeleteAllFiles();
    EXPECT_EQ(g.grid.selectedRow(), 3);
    EXPECT_FALSE(clean.last().at(0).toBool());
    g.grid.MarkThisFile(0); // the header: nothing
    EXPECT_EQ(g.grid.markedCount(), 0);
}

TEST(TResultGrid, HeaderClicksSortOnlyWhenPressAndReleaseMeet)
{
    SortDirections::resetForTests();
    Grid g;
    g.grid.show();
    QWidget *header = g.grid.horizontalHeader()->viewport();
    SortDirections::setDescending("test/size", true);
    g.grid.Sortbysize1Click(0); // as the scan ends
    EXPECT_EQ(g.sizes(), (QStringList{"300", "200", "100"}));
    QTest::mouseClick(header, Qt::LeftButton, {}, g.headerPoint(0));
    EXPECT_EQ(g.sizes(), (QStringList{"100", "200", "300"}));
    QTest::mouseClick(header, Qt::RightButton, {}, g.headerPoint(0));
    EXPECT_EQ(g.sizes(), (QStringList{"300", "200", "100"}));
    QTest::mouseClick(header, Qt::LeftButton, {}, g.headerPoint(0));
    EXPECT_EQ(g.sizes(), (QStringList{"100", "200", "300"}));
    EXPECT_TRUE(g.grid.action("Sortby1")->isChecked());

    // A drag does not sort; column 2 ("Time") has no sort entry.
    QTest::mousePress(header, Qt::LeftButton, {}, g.headerPoint(0));
    QTest::mouseRelease(header, Qt::LeftButton, {}, g.headerPoint(0) + QPoint(3, 0));
    EXPECT_EQ(g.sizes(), (QStringList{"100", "200", "300"}));
    QTest::mouseClick(header, Qt::LeftButton, {}, g.headerPoint(2));
    EXPECT_EQ(g.sizes(), (QStringList{"100", "200", "300"}));
    QTest::mouseClick(header, Qt::LeftButton, {}, g.headerPoint(4)); // "&Name"
    EXPECT_TRUE(g.grid.action("Sortby4")->isChecked());
    EXPECT_FALSE(g.grid.action("Sortby1")->isChecked());
}

TEST(TResultGrid, MarkAllOnVanishedFilesEnablesClean)
{
    Grid g;
    for (const std::string &p : g.paths)
        ::unlink(p.c_str());
    QSignalSpy clean(&g.grid, &TResultGrid::cleanEnabled);
    g.grid.action("Markall1")->trigger();
    ASSERT_EQ(clean.count(), 1);
    EXPECT_TRUE(clean.last().at(0).toBool());
    EXPECT_EQ(g.grid.markedCount(), 0);
    EXPECT_EQ(g.grid.markedSize(), 0);
    EXPECT_EQ(g.status, "0 files 0 bytes");
    g.grid.action("Unmarkall1")->trigger();
    EXPECT_FALSE(clean.last().at(0).toBool());
    EXPECT_TRUE(g.grid.lbDeleted().empty());
}

TEST(TResultGrid, ContextMenuOrderAndModes)
{
    Grid g;
    EXPECT_EQ(menuTexts(g.grid.PopupMenu1()),
              (QStringList{"Details", "Sort", "Mark", "Resize", "", "Open", "View", "", "Print", "Clipboard"}));
    EXPECT_EQ(menuTexts(g.grid.PopupMenu1()->findChild<QMenu *>("Sort1")),
              (QStringList{"&Size", "&Date", "&Access Date", "&Name", "&Type"}));
    EXPECT_TRUE(g.grid.action("Sortby1")->isChecked());
    EXPECT_FALSE(g.grid.action("Grow1")->isEnabled());
    EXPECT_EQ(g.grid.toolTip(), "Double click to mark for deletion, right click for options");
    EXPECT_EQ(g.grid.objectName(), "grid");

    // Duplicate form: no sorting, the "Sort" submenu hidden.
    GridLayout dup = hogLayout();
    dup.sortingEnabled = false;
    g.grid.configure(dup);
    EXPECT_EQ(menuTexts(g.grid.PopupMenu1()),
              (QStringList{"Details", "Mark", "Resize", "", "Open", "View", "", "Print", "Clipboard"}));
    EXPECT_EQ(g.grid.gridModel()->gridRowCount(), 2);
}

TEST(TResultGrid, ShrinkRestoreAndColumnWidths)
{
    QWidget window;
    QWidget *panel = new QWidget(&window);
    panel->setGeometry(0, 0, 600, 172);
    TResultGrid grid(hogLayout(), &window);
    grid.setTopPanel(panel);
    grid.action("Shrink1")->trigger();
    EXPECT_EQ(panel->height(), 0);
    EXPECT_FALSE(grid.action("Shrink1")->isEnabled());
    EXPECT_TRUE(grid.action("Grow1")->isEnabled());
    grid.action("Grow1")->trigger();
    EXPECT_EQ(panel->height(), 172);
    EXPECT_TRUE(grid.action("Shrink1")->isEnabled());

    grid.FormResize(1000);
    // The widths scale once, to the grid's font, the last column's allowance too.
    const double scale = grid.columnScale();
    EXPECT_GE(scale, grid.logicalDpiX() / 96.0);
    EXPECT_EQ(grid.horizontalHeader()->sectionSize(0), int(64 * scale + 0.5));
    EXPECT_EQ(grid.horizontalHeader()->sectionSize(4), int(296 * scale + 0.5));
    EXPECT_EQ(grid.horizontalHeader()->sectionSize(5), 1000 - int(577 * scale + 0.5));
    // The panel is in the screen's pixels already: its size is not scaled again.
    const QSize min = TResultGrid::minimumWindowSize(panel);
    EXPECT_EQ(min.height(), 2 * 172);
}

TEST(TResultGrid, ClipboardOpenViewAndDetailsUseTheRowsPath)
{
    Grid g;
    g.grid.btClipClick();
    EXPECT_EQ(QGuiApplication::clipboard()->text(),
              QString::fromStdString(g.paths[0] + "\n" + g.paths[1] + "\n" + g.paths[2] + "\n"));

    // A name that is not UTF-8 reaches the hooks and the opener unchanged.
    const std::string odd = g.tree.file("caf\xe9.txt", "x");
    g.grid.ClearGrid();
    g.grid.addToGrid(hogLine("1", "shown"), odd);
    g.grid.addToGrid(hogLine("1", "gone"), g.tree.path("gone.txt"));
    g.grid.trimRows();
    std::vector<std::string> viewed, detailed;
    g.grid.viewHook = [&](const std::string &p) { viewed.push_back(p); };
    g.grid.detailsHook = [&](const std::string &p) { detailed.push_back(p); };
    UrlCatcher catcher;
    QDesktopServices::setUrlHandler("file", &catcher, "open");
    g.grid.setSelectedRow(1);
    g.grid.View1Click();
    g.grid.Details1Click();
    g.grid.Run1Click();
    g.grid.setSelectedRow(2); // the file does not exist: nothing happens
    g.grid.View1Click();
    g.grid.Details1Click();
    g.grid.Run1Click();
    QDesktopServices::unsetUrlHandler("file");
    EXPECT_EQ(viewed, std::vector<std::string>{odd});
    EXPECT_EQ(detailed, std::vector<std::string>{odd});
    ASSERT_EQ(catcher.urls.size(), 1);
    EXPECT_EQ(QByteArray::fromPercentEncoding(catcher.urls[0].toEncoded(QUrl::RemoveScheme)).toStdString(),
              "//" + odd);
}

TEST(TResultGrid, TheClipboardHoldsThePathsAsTheSystemGaveThem)
{
    // A newline and a byte that is not UTF-8: pasted, each names its file.
    Grid g;
    const std::string lined = g.tree.file("two\nlines.txt", "x");
    const std::string odd = g.tree.file("caf\xe9 100%.txt", "x");
    g.grid.ClearGrid();
    g.grid.addToGrid(hogLine("1", "lined"), lined);
    g.grid.addToGrid(hogLine("1", "odd"), odd);
    g.grid.trimRows();
    g.grid.btClipClick();
    const QMimeData *m = QGuiApplication::clipboard()->mimeData();
    ASSERT_TRUE(m);
    EXPECT_EQ(m->text(), QFile::decodeName(QByteArray::fromStdString(lined)) + "\n"
                             + QFile::decodeName(QByteArray::fromStdString(odd)) + "\n");
    EXPECT_FALSE(m->text().contains(QChar(0x240A)));
    // The file managers' form: every byte back from its percent-encoding.
    const QList<QByteArray> uris = m->data("text/uri-list").split('\n');
    ASSERT_EQ(uris.size(), 3);
    EXPECT_TRUE(uris[2].isEmpty());
    std::vector<std::string> back;
    for (int i = 0; i < 2; ++i) {
        ASSERT_TRUE(uris[i].startsWith("file:///") && uris[i].endsWith('\r')) << uris[i].constData();
        back.push_back(QByteArray::fromPercentEncoding(uris[i].mid(7).chopped(1)).toStdString());
    }
    EXPECT_EQ(back, (std::vector<std::string>{lined, odd}));
    ASSERT_EQ(m->urls().size(), 2);
    EXPECT_EQ(QByteArray::fromPercentEncoding(m->urls()[1].toEncoded(QUrl::RemoveScheme)).toStdString(), "//" + odd);
}

TEST(TResultGrid, PrintsFixedWidthFieldsToPdf)
{
    if (QStandardPaths::findExecutable("pdftotext").isEmpty())
        GTEST_SKIP() << "pdftotext is not installed";
    ScriptedDialogs d;
    TempTree tree;
    d.printPdf = QString::fromStdString(tree.path("report.pdf"));
    TResultGrid grid(hogLayout());
    grid.addToGrid(hogLine("1,234", "/a/" + std::string(60, 'n')), "/a/x");
    grid.addToGrid(hogLine("5", "/b"), "/b");
    grid.trimRows();
    grid.horizontalHeader()->resizeSection(4, 240);
    for (int c : {0, 1, 2, 3})
        grid.horizontalHeader()->resizeSection(c, 60);
    grid.horizontalHeader()->resizeSection(5, 60);
    grid.printTitle = [] { return QStringLiteral("File Hogs larger or equal to 250 KB matching *.* on drive(s) C "); };
    grid.btPrintClick();
    ASSERT_EQ(d.printDialogs, 1);
    EXPECT_TRUE(d.boxes.empty());

    QProcess p;
    p.start("pdftotext", {"-layout", d.printPdf, "-"});
    ASSERT_TRUE(p.waitForFinished(30000));
    QStringList lines = QString::fromUtf8(p.readAllStandardOutput()).split('\n');
    lines.removeAll(QString());
    ASSERT_GE(lines.size(), 5);
    EXPECT_EQ(lines[0], "File Hogs larger or equal to 250 KB matching *.* on drive(s) C");
    EXPECT_TRUE(lines[1].startsWith("Printed : " + shortDateText(QDate::currentDate()))) << lines[1].toStdString();
    // The 240-pixel column holds 40 characters and a space; 60-pixel
    // columns hold 10 ("10:00:00 AM" is cut to "10:00:00 A").
    const QString header = lines[2];
    EXPECT_EQ(header.indexOf("Type") - header.indexOf("FileName"), 41) << header.toStdString();
    const QString row = lines[3];
    const qsizetype at = row.indexOf("/a/");
    ASSERT_GE(at, 0);
    EXPECT_EQ(row.mid(at, 41), "/a/" + QString(37, 'n') + ' ');
    EXPECT_EQ(row.mid(at + 41), "Text docum");
    EXPECT_TRUE(row.contains("10:00:00 A 1/3/1999")) << row.toStdString();
    EXPECT_TRUE(lines[4].startsWith("5 "));

    // The exact text of a row and of the heading.
    EXPECT_EQ(GridReport::row({"Size", "x"}, {60, 240}), "Size       x" + QString(40, ' '));
    EXPECT_EQ(GridReport::row({"abcdefghijkl"}, {65}), "abcdefghij ");
    const QStringList heading = GridReport::heading("T", QDateTime(QDate(1998, 1, 31), QTime(14, 5, 9)));
    EXPECT_EQ(heading, (QStringList{"T", "Printed : 1/31/1998  2:05:09 PM", "", ""}));
}

TEST(TResultGrid, PrintDeclinedOrFailingWritesNothing)
{
    ScriptedDialogs d; // no PDF file: the dialog is declined
    TResultGrid grid(hogLayout());
    grid.btPrintClick();
    EXPECT_EQ(d.printDialogs, 1);
    QPrinter printer;
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName("/nonexistent-folder/x/report.pdf");
    EXPECT_FALSE(printGrid(printer, &grid, "t"));
    EXPECT_EQ(d.count("Error printing report ... quitting"), 1);
}

#include "TResultGridTest.moc"

TEST(GridLayout, WidthsScaleOnceAt144DotsPerInch)
{
    const GridLayout l = hogLayout();
    const double scale = GridLayout::widthScale(6, 144);
    EXPECT_DOUBLE_EQ(scale, 1.5);
    const std::vector<int> w = l.columnWidths(scale, 1200);
    EXPECT_EQ(w, (std::vector<int>{96, 96, 96, 96, 444, 1200 - 866}));
    // The fixed columns and the last one leave the border's room: no
    // horizontal scroll bar, no overlap.
    int sum = 0;
    for (const int c : w)
        sum += c;
    EXPECT_EQ(sum, 1200 - 38);
    // A number column wider than its scaled width takes the room from the last.
    const std::vector<int> wide = l.columnWidths(scale, 1200, {120});
    EXPECT_EQ(wide[0], 120);
    EXPECT_EQ(wide[5], 1200 - 866 - 24);
    // A font with wider digits than the widths were made for scales them
    // even at 96 dots per inch; a narrow one never shrinks them.
    EXPECT_NEAR(GridLayout::widthScale(7.6, 96), 7.6 / 6, 1e-9);
    EXPECT_DOUBLE_EQ(GridLayout::widthScale(5, 96), 1.0);
}

TEST(TResultGrid, NumbersShowWholeInDejaVuSansAndLongTextsAreElided)
{
    TempTree tree;
    const std::string longName = tree.file(std::string(120, 'n') + ".txt");
    // 9 points at 96 and at 120 dots per inch.
    for (const int pixels : {12, 15}) {
        TResultGrid grid(hogLayout());
        QFont font(QStringLiteral("DejaVu Sans"));
        font.setPixelSize(pixels);
        grid.setFont(font);
        ASSERT_EQ(QFontInfo(grid.font()).family(), "DejaVu Sans");
        grid.resize(900, 300);
        grid.show();
        grid.FormResize(900);
        grid.addToGrid(hogLine("50,420,492", "/a"), "/a");
        grid.addToGrid(hogLine("541,595,600", longName), longName);
        grid.addToGrid(hogLine("7", "/b"), "/b");
        grid.trimRows();
        const QFontMetrics fm(grid.font());
        const int room = grid.horizontalHeader()->sectionSize(0) - 2 * hogLayout().textInset;
        for (int r = 1; r <= 3; ++r)
            EXPECT_LT(fm.horizontalAdvance(grid.gridModel()->cell(r, 0)), room) << pixels;
        // Dates and times fit their scaled columns.
        for (int c = 1; c <= 3; ++c)
            EXPECT_LT(fm.horizontalAdvance(grid.gridModel()->cell(1, c)),
                      grid.horizontalHeader()->sectionSize(c) - 2 * hogLayout().textInset)
                << pixels << " column " << c;

        // The long name is cut with an ellipsis; its tooltip shows it whole.
        const QRect cellRect = grid.visualRect(grid.gridModel()->index(1, 4));
        QHelpEvent tip(QEvent::ToolTip, cellRect.center(), grid.viewport()->mapToGlobal(cellRect.center()));
        QApplication::sendEvent(grid.viewport(), &tip);
        EXPECT_EQ(QToolTip::text(), QString::fromStdString(longName));
        const QRect sizeRect = grid.visualRect(grid.gridModel()->index(1, 0));
        QHelpEvent sizeTip(QEvent::ToolTip, sizeRect.center(), grid.viewport()->mapToGlobal(sizeRect.center()));
        QApplication::sendEvent(grid.viewport(), &sizeTip);
        EXPECT_EQ(QToolTip::text(), hogLayout().hint); // fits: the grid's own hint
        QToolTip::hideText();
    }
}

// An empty grid keeps one blank row; it is never drawn as chosen, while a
// filled row under the cursor is.
TEST(TResultGrid, TheBlankRowOfAnEmptyGridIsNotHighlighted)
{
    Grid g(0);
    g.grid.show();
    g.grid.setCurrentIndex(g.grid.model()->index(0, 1));
    const QColor highlight = g.grid.palette().color(QPalette::Highlight);
    auto highlighted = [&] {
        const QRect cell = g.grid.visualRect(g.grid.model()->index(0, 1));
        const QImage shot = g.grid.viewport()->grab(cell).toImage();
        return shot.pixelColor(cell.width() - 3, cell.height() / 2) == highlight;
    };
    EXPECT_FALSE(highlighted());
    g.grid.addToGrid(hogLine("100", g.tree.sized("f.txt", 100)), g.tree.path("f.txt"));
    g.grid.trimRows();
    g.grid.setCurrentIndex(g.grid.model()->index(0, 1));
    g.grid.selectRow(0);
    EXPECT_TRUE(highlighted());
}

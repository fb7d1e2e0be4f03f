#include "settings/AppState.h"
#include "finders/TfrmCache.h"
#include "finders/TfrmClean.h"
#include "finders/TfrmDirHog.h"
#include "finders/TfrmDup.h"
#include "finders/TfrmMods.h"
#include "finders/TfrmTempFiles.h"
#include "platform/Drives.h"
#include "safety/TfrmUnZipIt.h"
#include "safety/TfrmZipDirectory.h"
#include "safety/TfrmZipOptions.h"
#include "scan/TDriveCheckList.h"
#include "scan/TFontScale.h"
#include "scan/TResultGrid.h"
#include "support/ScriptedDialogs.h"
#include "support/TempTree.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFontInfo>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QScrollBar>
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <unistd.h>

namespace {
// The finders in the fonts a Linux desktop has: DejaVu Sans at 12 and 15
// pixels (9 points at 96 and 120 dots per inch), on a tree mapped as D: with
// files large enough to have the widest numbers.
class FinderFont : public testing::Test {
protected:
    ScriptedDialogs dialogs;
    TempTree t{"drive"};
    std::string d = t.dir("D");
    QFont saved = QApplication::font();

    void SetUp() override
    {
        Drives::setMapping({{'D', d}});
        // Two-digit hours, months and days: the widest stamps.
        const time_t late = QDateTime(QDate(2025, 12, 28), QTime(11, 45, 38)).toSecsSinceEpoch();
        for (const char *name : {"a/hog.tmp", "b/hog.tmp"}) {
            const std::string path = t.file(std::string("D/") + name);
            ASSERT_EQ(::truncate(path.c_str(), 541595600), 0);
            TempTree::setTimes(path, late, late);
        }
        t.file("D/c/" + std::string(90, 'n') + ".tmp", "a long name");
    }
    void TearDown() override
    {
        QApplication::setFont(saved);
        Drives::setMapping({});
    }

    static void setFont(int pixels)
    {
        QFont font(QStringLiteral("DejaVu Sans"));
        font.setPixelSize(pixels);
        QApplication::setFont(font);
        ASSERT_EQ(QFontInfo(QApplication::font()).family(), "DejaVu Sans");
    }

    // The text a caption shows: "&&" is an ampersand, a single "&" marks the
    // shortcut and takes no room.
    static QString shown(QString text)
    {
        return text.replace(QStringLiteral("&&"), QStringLiteral("\x01")).remove('&').replace('\x01', '&');
    }

    // Every visible label, button caption and group title of the window
    // has room for its whole text.
    static void expectTextsFit(QWidget *window, const QString &where)
    {
        for (QLabel *l : window->findChildren<QLabel *>()) {
            if (!l->isVisibleTo(window) || l->text().isEmpty())
                continue;
            const QFontMetrics fm(l->font());
            const QRect room = l->contentsRect();
            if (l->wordWrap()) {
                const QRect need = fm.boundingRect(room, Qt::TextWordWrap, shown(l->text()));
                EXPECT_LE(need.height(), room.height()) << where.toStdString() << ": " << l->text().toStdString();
            } else {
                EXPECT_LE(fm.horizontalAdvance(shown(l->text())), room.width())
                    << where.toStdString() << ": " << l->objectName().toStdString() << " \""
                    << l->text().toStdString() << "\"";
            }
        }
        for (QAbstractButton *b : window->findChildren<QAbstractButton *>()) {
            if (!b->isVisibleTo(window) || b->text().isEmpty())
                continue;
            // A push button's own hint has a floor of the style's; its
            // caption needs the text and a little room at either side.
            const int need = qobject_cast<QPushButton *>(b)
                ? QFontMetrics(b->font()).horizontalAdvance(shown(b->text())) + 8
                : b->sizeHint().width();
            EXPECT_LE(need, b->width())
                << where.toStdString() << ": " << b->objectName().toStdString() << " \"" << b->text().toStdString()
                << "\"";
        }
        for (QGroupBox *g : window->findChildren<QGroupBox *>()) {
            if (!g->isVisibleTo(window) || g->title().isEmpty())
                continue;
            EXPECT_LE(QFontMetrics(g->font()).horizontalAdvance(shown(g->title())) + 16, g->width())
                << where.toStdString() << ": " << g->title().toStdString();
        }
    }

    // No size, date or time in the grid is cut.
    static void expectNumbersWhole(TResultGrid &grid, const QString &where)
    {
        const GridLayout &l = grid.gridModel()->layout();
        const QFontMetrics fm(grid.font());
        for (size_t c = 0; c < l.columns.size(); ++c) {
            const CellKind k = l.columns[c].show;
            if (k != CellKind::Size && k != CellKind::Modified && k != CellKind::ModifiedTime
                && k != CellKind::Accessed && k != CellKind::Created)
                continue;
            for (int r = 1; r <= grid.rowsFilled(); ++r) {
                const QString text = grid.gridModel()->cell(r, int(c));
                // As the cell paints it: inside the grid line and the insets.
                const int room = grid.horizontalHeader()->sectionSize(int(c)) - 1 - 2 * l.textInset;
                EXPECT_EQ(fm.elidedText(text, Qt::ElideRight, room), text)
                    << where.toStdString() << " in " << l.columns[c].header.toStdString();
            }
        }
    }

    static void checkOnlyD(TFinderFrame &w)
    {
        for (int i = 0; i < w.pckDrive->count(); ++i) {
            QListWidgetItem *it = w.pckDrive->item(i);
            it->setCheckState(it->text().startsWith('D') ? Qt::Checked : Qt::Unchecked);
        }
        w.pckDrive->pckDriveClick();
    }

    // Shows the finder at its default size (designed: before scaling), walks
    // D: and checks its texts before and after; sideways: whether its grid
    // is made to scroll sideways.
    void walkAndCheck(TFinderFrame &w, const QString &where, QSize designed, bool sideways = false)
    {
        w.show();
        QApplication::processEvents();
        // The default size grows with the font (the test screen has room).
        EXPECT_EQ(w.size(), TFontScale::scaled(designed, w.resultGrid()->columnScale())) << where.toStdString();
        expectTextsFit(&w, where);
        checkOnlyD(w);
        w.btScanClick();
        QApplication::processEvents();
        EXPECT_GT(w.foundCount(), 0) << where.toStdString();
        expectTextsFit(&w, where + " with rows");
        expectNumbersWhole(*w.resultGrid(), where);
        if (!sideways) {
            EXPECT_EQ(w.resultGrid()->horizontalScrollBar()->maximum(), 0) << where.toStdString();
        }
        // The whole panel fits the default window.
        EXPECT_GE(w.width(), w.minimumWidth()) << where.toStdString();
        saveShot(w, where);
        w.close();
    }

    // With VANTOR_SHOT_DIR=dir, each window checked is also saved as a picture.
    static void saveShot(QWidget &w, const QString &where)
    {
        if (const char *dir = getenv("VANTOR_SHOT_DIR"))
            w.grab().save(QString::fromLocal8Bit(dir) + "/" + QString(where).replace(' ', '-') + ".png");
    }

    template <class W> static void checkWindow(const QString &where)
    {
        W w;
        w.show();
        QApplication::processEvents();
        expectTextsFit(&w, where);
        saveShot(w, where);
        w.close();
    }

    // Every finder in one font (each font size is its own test case: a
    // closed finder stores its placement, which the next would take).
    void everyFinder(int pixels)
    {
        setFont(pixels);
        const QString px = QString::number(pixels) + "px";
        for (const bool dupMode : {true, false}) {
            AppState::dupMode = dupMode;
            TfrmDup w;
            walkAndCheck(w, (dupMode ? "duplicates " : "file hogs ") + px, {640, 478});
        }
        {
            TfrmClean w;
            walkAndCheck(w, "quick clean " + px, {640, 406});
        }
        {
            TfrmDirHog w;
            walkAndCheck(w, "folder hogs " + px, {638, 414});
        }
        {
            // The date finder's grid scrolls sideways by design.
            TfrmMods w;
            walkAndCheck(w, "dates " + px, {636, 420}, true);
        }
        // Fixed windows laid out in pixels.
        checkWindow<TfrmCache>("caches " + px);
        checkWindow<TfrmZipOptions>("zip options " + px);
        checkWindow<TfrmUnZipIt>("extraction " + px);
        checkWindow<TfrmZipDirectory>("destination " + px);
        checkWindow<TfrmTempFiles>("pattern editor " + px);
    }
};

TEST_F(FinderFont, EveryFinderShowsItsTextsWholeInDejaVuSansAt12Pixels) { everyFinder(12); }

TEST_F(FinderFont, EveryFinderShowsItsTextsWholeInDejaVuSansAt15Pixels) { everyFinder(15); }

TEST_F(FinderFont, PanelAndWindowGrowOnceWithTheFont)
{
    setFont(15);
    AppState::dupMode = false;
    TfrmDup w;
    const double f = w.resultGrid()->columnScale();
    ASSERT_GT(f, 1.4);
    w.show();
    const QSize first = w.size(), smallest = w.minimumSize();
    EXPECT_NEAR(w.pnlTop->height(), 172 * f, 1);
    EXPECT_NEAR(w.pckDrive->width(), 209 * f, 1);
    // Shown again, nothing grows a second time.
    w.hide();
    w.show();
    EXPECT_EQ(w.minimumSize(), smallest);
    EXPECT_EQ(w.size(), first);
    EXPECT_NEAR(w.pnlTop->height(), 172 * f, 1);
    w.close();
}
}

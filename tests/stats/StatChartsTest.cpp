// The charts of the statistics window read back from their series: values,
// labels, colours and titles for known drive space and tallies; the pie and
// bar animation driven through their timer slots; printing to PDF.
#include "common/Runs.h"
#include "common/TModal.h"
#include "platform/Drives.h"
#include "platform/FileTypes.h"
#include "stats/StatCharts.h"
#include "stats/StatText.h"
#include "stats/TfrmStatistics.h"
#include "scan/TDriveCheckList.h"
#include "stats/TfrmWhichDrive.h"
#include "support/ScriptedDialogs.h"
#include "support/TempTree.h"
#include "support/TestEnv.h"

#include <QAbstractBarSeries>
#include <QApplication>
#include <QBarCategoryAxis>
#include <QBarSet>
#include <QChart>
#include <QChartView>
#include <QCheckBox>
#include <QFile>
#include <QHeaderView>
#include <QImage>
#include <QLabel>
#include <QLegend>
#include <QLegendMarker>
#include <QLineSeries>
#include <QListWidget>
#include <QPieSeries>
#include <QPieSlice>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QStackedBarSeries>
#include <QStandardPaths>
#include <QTabWidget>
#include <QTableWidget>
#include <QToolButton>
#include <QFontMetrics>
#include <QTabBar>
#include <QTest>
#include <QTimer>
#include <QValueAxis>
#include <gtest/gtest.h>

#include <map>

#include <sys/stat.h>
#include <unistd.h>

namespace {
struct BarRead {
    QString label;
    double value;
    QColor colour;
};

QAbstractBarSeries *barSeries(QChartView *v)
{
    return qobject_cast<QAbstractBarSeries *>(v->chart()->series().value(0));
}

// The bars of a chart that gives each bar its own set: label, value, colour.
std::vector<BarRead> colouredBars(QChartView *v)
{
    std::vector<BarRead> out;
    QAbstractBarSeries *s = barSeries(v);
    if (!s)
        return out;
    for (QBarSet *set : s->barSets()) {
        double sum = 0;
        for (int i = 0; i < set->count(); ++i)
            sum += set->at(i);
        out.push_back({set->label(), sum, set->color()});
    }
    return out;
}

std::vector<double> setValues(QBarSet *set)
{
    std::vector<double> v;
    for (int i = 0; i < set->count(); ++i)
        v.push_back(set->at(i));
    return v;
}

QPieSeries *pieSeries(QChartView *v) { return qobject_cast<QPieSeries *>(v->chart()->series().value(0)); }

class StatChartsWindow : public testing::Test {
protected:
    ScriptedDialogs dlg;
    TempTree t{"drives"};
    std::map<std::string, std::pair<double, double>> space; // root -> free, total bytes
    std::map<std::string, double> reserved;                 // root -> bytes reserved for root

    ~StatChartsWindow() override
    {
        Drives::setMapping({});
        FileTypes::setTableForTests({});
        TModal::clear();
    }

    // Maps letters C.. to folders and gives each its free and total bytes.
    void drives(const std::vector<std::pair<double, double>> &freeTotal)
    {
        std::map<char, std::string> mapping;
        for (size_t i = 0; i < freeTotal.size(); ++i) {
            const std::string root = t.dir(std::string(1, char('C' + i)));
            mapping[char('C' + i)] = root;
            space[root] = freeTotal[i];
        }
        Drives::setMapping(mapping);
    }
    void inject(TfrmStatistics &w)
    {
        w.driveSpace = [this](const std::string &root, double &f, double &tot, double &used) {
            auto it = space.find(root);
            f = it == space.end() ? 0 : it->second.first;
            tot = it == space.end() ? 0 : it->second.second;
            used = tot - f - (reserved.count(root) ? reserved[root] : 0);
            return it != space.end();
        };
    }
    // One collection of every drive through the wizard.
    static void collect(TfrmStatistics &w)
    {
        TModal::push([](QDialog *dlgW) {
            static_cast<TfrmWhichDrive *>(dlgW)->setAllDrives(true);
            dlgW->findChild<QPushButton *>("btNext1")->click();
            dlgW->findChild<QPushButton *>("btNext2")->click();
        });
        w.btOKClick();
    }
    static void select(TfrmStatistics &w, const QString &letters)
    {
        for (int i = 0; i < w.pckStatDrive->count(); ++i)
            w.pckStatDrive->item(i)->setSelected(letters.contains(w.pckStatDrive->item(i)->text().at(0)));
    }
};
constexpr double KB = 1024, MB = 1048576, GB = 1073741824;
}

TEST_F(StatChartsWindow, SpaceBarsKeepOneUnitAndTheTotalBarNeedsTwoDrives)
{
    drives({{3000 * KB, 8000 * KB}, {40 * GB, 100 * GB}, {0, 0}});
    TfrmStatistics w;
    inject(w);
    w.show();
    select(w, "C");
    // One small drive: kilobytes, no "Total" bar although the box is checked.
    ASSERT_TRUE(w.cbTotal->isChecked());
    auto *s = qobject_cast<QStackedBarSeries *>(barSeries(w.chartSpaceBar));
    ASSERT_TRUE(s);
    ASSERT_EQ(s->count(), 2);
    QBarSet *used = s->barSets()[0], *free = s->barSets()[1];
    EXPECT_EQ(used->color(), QColor(0, 0, 255));   // used below ...
    EXPECT_EQ(free->color(), QColor(255, 0, 255)); // ... free
    EXPECT_EQ(setValues(used), (std::vector<double>{5000}));
    EXPECT_EQ(setValues(free), (std::vector<double>{3000}));
    auto *cats = qobject_cast<QBarCategoryAxis *>(w.chartSpaceBar->chart()->axes(Qt::Horizontal).value(0));
    ASSERT_TRUE(cats);
    EXPECT_EQ(cats->categories(), QStringList{"C"});
    EXPECT_EQ(s->labelsFormat(), "@value KB");
    auto *axis = qobject_cast<QValueAxis *>(w.chartSpaceBar->chart()->axes(Qt::Vertical).value(0));
    ASSERT_TRUE(axis);
    EXPECT_EQ(axis->labelFormat(), "%.0f KB");
    EXPECT_EQ(w.lblTotal->text(), "8,000");
    EXPECT_EQ(w.lblFree->text(), "3,000");
    EXPECT_EQ(w.lblUsed->text(), "5,000");
    EXPECT_EQ(w.lblTot->text(), "KB");
    EXPECT_EQ(w.lblPct->text(), "KB ");
    EXPECT_EQ(w.lblPct2->text(), "KB ");
    EXPECT_TRUE(w.chartSpaceBar->isVisible());

    // Beside a large drive the small one is drawn in megabytes too, and the
    // "Total" bar sums both; the empty drive E is charted as a zero bar.
    select(w, "CDE");
    s = qobject_cast<QStackedBarSeries *>(barSeries(w.chartSpaceBar));
    ASSERT_TRUE(s);
    used = s->barSets()[0];
    free = s->barSets()[1];
    cats = qobject_cast<QBarCategoryAxis *>(w.chartSpaceBar->chart()->axes(Qt::Horizontal).value(0));
    EXPECT_EQ(cats->categories(), (QStringList{"C", "D", "E", "Total"}));
    EXPECT_EQ(setValues(used), (std::vector<double>{5, 61440, 0, 61445}));
    EXPECT_EQ(setValues(free), (std::vector<double>{3, 40960, 0, 40963}));
    EXPECT_EQ(s->labelsFormat(), "@value MB");
    EXPECT_EQ(w.lblTot->text(), "MB");
    EXPECT_EQ(w.lblTotal->text(), "102,407"); // 102,407.81 cut, not rounded
    EXPECT_EQ(w.lblFree->text(), "40,963");
    EXPECT_EQ(w.lblUsed->text(), "61,445");
    w.cbTotal->click();
    cats = qobject_cast<QBarCategoryAxis *>(w.chartSpaceBar->chart()->axes(Qt::Horizontal).value(0));
    EXPECT_EQ(cats->categories(), (QStringList{"C", "D", "E"}));

    // Nothing selected: no chart, no captions; the list stays to choose from.
    w.DeselectAll1->trigger();
    EXPECT_FALSE(w.chartSpaceBar->isVisible());
    EXPECT_FALSE(w.lblCaptions[0]->isVisible());
    EXPECT_TRUE(w.lblTotal->text().isEmpty());
    EXPECT_TRUE(w.pckStatDrive->isVisible());
    w.SelectAll1->trigger();
    EXPECT_EQ(w.pckStatDrive->selectedItems().size(), 3);
    EXPECT_TRUE(w.chartSpaceBar->isVisible());
}

// Used space is what df calls used: the blocks reserved for root are
// neither free for the user nor used.
TEST_F(StatChartsWindow, UsedSpaceLeavesOutTheBlocksReservedForRoot)
{
    drives({{20 * GB, 100 * GB}});
    reserved[t.path("C")] = 5 * GB;
    TfrmStatistics w;
    inject(w);
    w.show();
    select(w, "C");
    EXPECT_EQ(w.lblTotal->text(), "102,400");
    EXPECT_EQ(w.lblFree->text(), "20,480");
    EXPECT_EQ(w.lblUsed->text(), "76,800");
    auto *s = qobject_cast<QStackedBarSeries *>(barSeries(w.chartSpaceBar));
    ASSERT_TRUE(s);
    EXPECT_EQ(setValues(s->barSets()[0]), (std::vector<double>{76800}));
    EXPECT_EQ(setValues(s->barSets()[1]), (std::vector<double>{20480}));
}

TEST_F(StatChartsWindow, PiesForElevenDrivesAtMostAndNoneForADriveWithoutCapacity)
{
    // Twelve drives ready: C is 45.678 % free, D has no capacity.
    std::vector<std::pair<double, double>> ft{{45678, 100000}, {0, 0}};
    for (int i = 2; i < 12; ++i)
        ft.push_back({double(i) * MB, 10 * GB});
    drives(ft);
    TfrmStatistics w;
    inject(w);
    w.show();
    EXPECT_EQ(w.pckStatDrive->count(), 12);
    w.rgSpace1->setChecked(true);
    EXPECT_TRUE(w.pnlPie->isVisible());
    EXPECT_FALSE(w.pnlDrives->isVisible());
    EXPECT_FALSE(w.chartSpaceBar->isVisible());
    EXPECT_FALSE(w.cbTotal->isVisible());
    EXPECT_TRUE(w.rgSpace2->isVisible()); // the way back stays in reach
    EXPECT_TRUE(w.Timer1->isActive());
    EXPECT_FALSE(w.ScrollBar1->isVisible());

    const QString rootC = QString::fromStdString(t.dir("C"));
    // Small pies shorten the path; the tooltip holds the whole title. The
    // share is rounded.
    EXPECT_TRUE(w.pie[0]->chart()->title().endsWith("  45.7% free"));
    EXPECT_TRUE(w.pie[0]->toolTip().endsWith("\n" + rootC + "  45.7% free"));
    // D is left out, so pies 1..10 show C and E..M; N does not fit.
    double sumFree = 45678, sumTotal = 100000;
    for (size_t i = 0; i < 11; ++i) {
        EXPECT_TRUE(w.pie[i]->isVisible()) << i;
        if (i > 0) {
            sumFree += double(i + 1) * MB;
            sumTotal += 10 * GB;
        }
    }
    const QString rootE = QString::fromStdString(t.dir("E"));
    EXPECT_TRUE(w.pie[1]->toolTip().endsWith("\n" + rootE + "  0.0% free"));
    QPieSeries *p = pieSeries(w.pie[0]);
    ASSERT_TRUE(p);
    ASSERT_EQ(p->count(), 2);
    EXPECT_EQ(p->slices()[0]->value(), 100000 - 45678);
    EXPECT_EQ(p->slices()[0]->color(), QColor(0, 0, 255));
    EXPECT_EQ(p->slices()[1]->value(), 45678);
    EXPECT_EQ(p->slices()[1]->color(), QColor(255, 0, 255));
    EXPECT_EQ(p->slices()[1]->label(), " ");
    EXPECT_FALSE(p->slices()[1]->isLabelVisible());
    EXPECT_EQ(p->pieStartAngle(), 60);
    EXPECT_TRUE(w.pieTotal->isVisible());
    QPieSeries *total = pieSeries(w.pieTotal);
    EXPECT_DOUBLE_EQ(total->slices()[1]->value(), sumFree);
    EXPECT_DOUBLE_EQ(total->slices()[0]->value(), sumTotal - sumFree);
    EXPECT_EQ(w.pieTotal->chart()->title(), "TOTAL " + StatText::percent(100 * sumFree / sumTotal) + "% free");

    // Twelve drives listed: the drive pies stand still, the total turns.
    w.Timer1Timer();
    EXPECT_EQ(TfrmStatistics::rotation(w.pie[0]), 60);
    EXPECT_EQ(TfrmStatistics::rotation(w.pieTotal), 62);
}

// The pie shows the used space the page's figures show (blocks less free
// blocks), the free space, and the blocks reserved for the system (neither)
// in grey, each as its share of the capacity; the total pie adds them up.
TEST_F(StatChartsWindow, PieSlicesAreTheUsedFreeAndReservedSharesOfTheCapacity)
{
    // C: 258,019 MB, 74,467 MB free to the user (28.86 %), 23,468 MB used.
    drives({{74467 * MB, 258019 * MB}, {1 * GB, 4 * GB}});
    const std::string rootC = t.dir("C");
    reserved[rootC] = (258019 - 74467 - 23468) * MB;
    TfrmStatistics w;
    inject(w);
    w.show();
    w.SelectAll1->trigger();
    EXPECT_EQ(w.lblUsed->text(), "26,540"); // 23,468 MB and 3 GB
    w.rgSpace1->setChecked(true);
    EXPECT_TRUE(w.pie[0]->chart()->title().endsWith("  28.9% free")) << w.pie[0]->chart()->title().toStdString();
    QPieSeries *p = pieSeries(w.pie[0]);
    ASSERT_TRUE(p);
    ASSERT_EQ(p->count(), 3);
    EXPECT_EQ(p->slices()[0]->value(), 23468 * MB);
    EXPECT_EQ(p->slices()[0]->color(), QColor(0, 0, 255));
    EXPECT_NEAR(p->slices()[0]->percentage(), 23468.0 / 258019, 1e-9);
    EXPECT_EQ(p->slices()[1]->value(), 74467 * MB);
    EXPECT_EQ(p->slices()[2]->value(), (258019 - 74467 - 23468) * MB);
    EXPECT_EQ(p->slices()[2]->color(), QColor(0xC0, 0xC0, 0xC0));
    EXPECT_TRUE(w.pie[0]->toolTip().contains("reserved"));
    // D reserves nothing: two slices.
    ASSERT_EQ(pieSeries(w.pie[1])->count(), 2);
    QPieSeries *total = pieSeries(w.pieTotal);
    ASSERT_EQ(total->count(), 3);
    EXPECT_DOUBLE_EQ(total->slices()[0]->value(), 23468 * MB + 3 * GB);
    EXPECT_DOUBLE_EQ(total->slices()[2]->value(), (258019 - 74467 - 23468) * MB);
    if (const QString out = qEnvironmentVariable("VANTOR_SHOTS"); !out.isEmpty()) {
        QApplication::processEvents();
        w.grab().save(out + "/space-pie-reserved.png");
    }
}

TEST_F(StatChartsWindow, PiesTurnOnTheTimerAndAClickStopsThem)
{
    drives({{1 * GB, 4 * GB}, {2 * GB, 4 * GB}, {3 * GB, 4 * GB}});
    TfrmStatistics w;
    inject(w);
    w.show();
    w.SelectAll1->trigger();
    EXPECT_FALSE(w.Timer1->isActive());
    EXPECT_FALSE(w.Timer2->isActive() && w.Timer2->interval() != 50);
    EXPECT_EQ(w.Timer1->interval(), 50);
    w.rgSpace1->setChecked(true);
    ASSERT_TRUE(w.Timer1->isActive());
    // Fewer than six drives listed: 6 degrees a tick, the total 2.
    for (int i = 0; i < 3; ++i)
        w.Timer1Timer();
    for (size_t i = 0; i < 3; ++i)
        EXPECT_EQ(TfrmStatistics::rotation(w.pie[i]), 78) << i;
    EXPECT_EQ(pieSeries(w.pie[2])->pieStartAngle(), 78);
    EXPECT_EQ(pieSeries(w.pie[2])->pieEndAngle(), 78 + 360);
    EXPECT_EQ(TfrmStatistics::rotation(w.pieTotal), 66);
    EXPECT_FALSE(w.pie[3]->isVisible());
    EXPECT_EQ(w.ScrollBar1->value(), 78);
    for (int i = 0; i < 50; ++i)
        w.Timer1Timer();
    EXPECT_EQ(TfrmStatistics::rotation(w.pie[0]), (78 + 300) % 360);

    // A click on any pie stops them and shows the scroll bar, which then
    // turns every shown pie; another click starts them again.
    QTest::mouseClick(w.pie[1]->viewport(), Qt::LeftButton);
    EXPECT_FALSE(w.Timer1->isActive());
    EXPECT_TRUE(w.ScrollBar1->isVisible());
    w.ScrollBar1->setValue(200);
    for (size_t i = 0; i < 3; ++i)
        EXPECT_EQ(TfrmStatistics::rotation(w.pie[i]), 200);
    EXPECT_EQ(TfrmStatistics::rotation(w.pieTotal), 200);
    QTest::mouseClick(w.pieTotal->viewport(), Qt::LeftButton);
    EXPECT_TRUE(w.Timer1->isActive());
    EXPECT_FALSE(w.ScrollBar1->isVisible());

    // Off the Space page the pies rest and the bar shows.
    w.OvcNotebook1->setCurrentIndex(TfrmStatistics::Deleted);
    w.Timer1Timer();
    EXPECT_EQ(TfrmStatistics::rotation(w.pie[0]), 200);
    EXPECT_FALSE(w.ScrollBar1->isHidden());

    // Bar form again: the depth grows by 3 up to 30 for three drives, then
    // the timer stops; leaving the page stops it at once.
    w.OvcNotebook1->setCurrentIndex(TfrmStatistics::Space);
    w.rgSpace2->setChecked(true);
    EXPECT_TRUE(w.Timer2->isActive());
    EXPECT_EQ(w.barDepth(), 1);
    for (int i = 0; i < 9; ++i)
        w.Timer2Timer();
    EXPECT_EQ(w.barDepth(), 28);
    EXPECT_TRUE(w.Timer2->isActive());
    w.Timer2Timer();
    EXPECT_EQ(w.barDepth(), 31);
    EXPECT_FALSE(w.Timer2->isActive());
    w.OvcNotebook1->setCurrentIndex(TfrmStatistics::Space);
    w.OvcNotebook1->setCurrentIndex(TfrmStatistics::Sizes);
    w.Timer2Timer();
    EXPECT_FALSE(w.Timer2->isActive());
    w.sbTime->setValue(40);
    EXPECT_EQ(w.timeDepth(), 40);

    // The bar depth steps by the number of charted drives.
    EXPECT_EQ(StatCharts::barDepthStep(2).step, 6);
    EXPECT_EQ(StatCharts::barDepthStep(4).limit, 30);
    EXPECT_EQ(StatCharts::barDepthStep(6).limit, 20);
    EXPECT_EQ(StatCharts::barDepthStep(7).limit, 10);
}

TEST_F(StatChartsWindow, TypesPieChartsTwelveRowsAtMostAndNoSliceForZero)
{
    drives({{1 * GB, 4 * GB}});
    FileTypes::setTableForTests({{".t01", "Type 01"}, {".t14", "Type 14"}});
    TfrmStatistics w;
    inject(w);
    w.show();
    StatTallies &tl = w.statScan().tallies;
    // Fourteen types, bytes 1000 * n; type 14 has no bytes (empty files).
    for (int n = 1; n <= 14; ++n)
        for (int f = 0; f < n; ++f)
            tl.insertType(QStringLiteral(".T%1").arg(n, 2, 10, QLatin1Char('0')), n == 14 ? 0 : 1000 * n / n, false);
    w.doFileTypes();
    ASSERT_TRUE(w.rgTypesItems[1]->isChecked());
    EXPECT_FALSE(w.chartPie->isHidden());
    EXPECT_TRUE(w.gridTypes->isHidden());
    EXPECT_TRUE(w.Timer1->isActive());
    QPieSeries *p = pieSeries(w.chartPie);
    ASSERT_TRUE(p);
    // By size: type 13 (13,000 bytes) first ... twelve slices, type 1 not.
    ASSERT_EQ(p->count(), 12);
    EXPECT_EQ(p->slices()[0]->value(), 13000);
    EXPECT_EQ(p->slices()[0]->label(), "T13 File");
    EXPECT_EQ(p->slices()[0]->color(), QColor(255, 0, 0));
    EXPECT_EQ(p->slices()[1]->color(), QColor(128, 0, 0));
    EXPECT_EQ(p->slices()[10]->color(), QColor(255, 255, 255));
    EXPECT_EQ(p->slices()[11]->value(), 2000);
    EXPECT_EQ(p->slices()[11]->color(), QColor(128, 128, 128));
    EXPECT_TRUE(w.sortItems[2]->isChecked());

    // By number of files: type 14 leads with 14 files; its average is 0, so
    // in the average form it has no slice.
    w.rgTypesItems[2]->setChecked(true);
    p = pieSeries(w.chartPie);
    ASSERT_EQ(p->count(), 12);
    EXPECT_EQ(p->slices()[0]->label(), "Type 14");
    EXPECT_EQ(p->slices()[0]->value(), 14);
    w.rgTypesItems[3]->setChecked(true);
    p = pieSeries(w.chartPie);
    ASSERT_EQ(p->count(), 12);
    for (QPieSlice *s : p->slices())
        EXPECT_EQ(s->value(), 1000);

    // The pie turns a degree a tick on its page; the bar turns it too.
    w.OvcNotebook1->setCurrentIndex(TfrmStatistics::Types);
    const int before = TfrmStatistics::rotation(w.chartPie);
    w.Timer1Timer();
    EXPECT_EQ(TfrmStatistics::rotation(w.chartPie), before + 1);
    EXPECT_EQ(w.ScrollBar2->value(), before + 1);
    w.ScrollBar2->setValue(300);
    EXPECT_EQ(pieSeries(w.chartPie)->pieStartAngle(), 300);

    // The listing stops the pies and shows the sort button.
    w.rgTypesItems[0]->setChecked(true);
    EXPECT_FALSE(w.Timer1->isActive());
    EXPECT_TRUE(w.btSort->isVisible());
    EXPECT_FALSE(w.chartPie->isVisible());

    // A seeded type without files adds no slice.
    tl.clear();
    tl.insertType(".A", 10, false);
    tl.insertType(".B", 0, true);
    tl.insertType(".C", 30, false);
    w.doFileTypes();
    w.rgTypesItems[2]->setChecked(true);
    p = pieSeries(w.chartPie);
    ASSERT_EQ(p->count(), 2);
    EXPECT_EQ(p->slices()[0]->value(), 1);
}

// A row holds every spelling of its extension: ".c" files are C source
// although ".C" alone names C++ source; files without extension and names
// ending in "." read the same in the listing and in the pie.
TEST_F(StatChartsWindow, TypeTextsAreTheSameInTheListingAndThePie)
{
    drives({{1 * GB, 4 * GB}});
    FileTypes::setTableForTests({{".c", "C source code"}, {".C", "C++ source code"}});
    TfrmStatistics w;
    inject(w);
    w.show();
    StatTallies &tl = w.statScan().tallies;
    tl.insertType(".c", 3000, false);
    tl.insertType("", 2000, false);
    tl.insertType(".", 1000, false);
    w.doFileTypes();
    QPieSeries *p = pieSeries(w.chartPie);
    ASSERT_TRUE(p);
    ASSERT_EQ(p->count(), 3);
    EXPECT_EQ(p->slices()[0]->label(), "C source code");
    EXPECT_EQ(p->slices()[1]->label(), "No extension");
    EXPECT_EQ(p->slices()[2]->label(), "File");
    w.rgTypesItems[0]->setChecked(true);
    w.SortbyExtensionClick(0);
    std::vector<QString> types;
    for (int r = 0; r < 3; ++r)
        types.push_back(w.gridTypes->item(r, 1)->text());
    EXPECT_EQ(types, (std::vector<QString>{"No extension", "File", "C source code"}));
}

TEST_F(StatChartsWindow, SizeAgeAndCombinedChartsFromKnownTallies)
{
    drives({{1 * GB, 4 * GB}});
    TfrmStatistics w;
    inject(w);
    w.show();
    StatTallies &tl = w.statScan().tallies;
    for (int u = 1; u <= 12; ++u) {
        tl.sizeCount[size_t(u)] = u;
        tl.sizeBytes[size_t(u)] = int64_t(u) * 2 * int64_t(MB);
    }
    for (int k = 0; k < 3; ++k)
        for (int b = 0; b < 10; ++b) {
            tl.ageCount[size_t(k)][size_t(b)] = 10 * k + b;
            tl.ageBytes[size_t(k)][size_t(b)] = (10 * k + b) * int64_t(MB) / 2;
        }
    w.doFileSizes();
    w.doFileAges();

    EXPECT_EQ(w.Chart1->chart()->title(), "File Sizes in MB");
    auto bars = colouredBars(w.Chart1);
    ASSERT_EQ(bars.size(), 12u);
    EXPECT_EQ(bars[0].label, "0 - 16K");
    EXPECT_EQ(bars[0].value, 2);
    EXPECT_EQ(bars[0].colour, QColor(255, 0, 0));
    EXPECT_EQ(bars[11].label, "Over 16MB");
    EXPECT_EQ(bars[11].value, 24);
    EXPECT_EQ(bars[11].colour, QColor(128, 128, 128));
    EXPECT_TRUE(w.Chart1->chart()->legend()->reverseMarkers());
    EXPECT_TRUE(w.Chart1->chart()->legend()->isVisible());
    w.rgSize2->setChecked(true);
    EXPECT_EQ(w.Chart1->chart()->title(), "Number of Files");
    bars = colouredBars(w.Chart1);
    EXPECT_EQ(bars[4].value, 5);
    EXPECT_EQ(bars[4].label, "128K - 256K");
    w.rgSize0->setChecked(true);
    EXPECT_TRUE(w.Chart1->isHidden());
    EXPECT_FALSE(w.gridSizes->isHidden());

    // Age charts: ten bars from "Not recorded", colours 1..10.
    const char *const titles[3] = {"Access", "Created", "Modified"};
    for (size_t k = 0; k < 3; ++k) {
        EXPECT_EQ(w.chartAge[k]->chart()->title(), QString(titles[k]) + " Date (file sizes in MB)");
        bars = colouredBars(w.chartAge[k]);
        ASSERT_EQ(bars.size(), 10u);
        EXPECT_EQ(bars[0].label, "Not recorded");
        EXPECT_EQ(bars[1].label, "&lt;= 7 days"); // chart texts are rich text
        EXPECT_EQ(bars[9].label, "Over 4 years");
        EXPECT_EQ(bars[9].colour, QColor(0, 255, 255));
        EXPECT_DOUBLE_EQ(bars[3].value, (10.0 * double(k) + 3) / 2);
        EXPECT_TRUE(w.chartAge[k]->chart()->legend()->reverseMarkers());
    }
    w.rgAge2[StatTallies::Created]->setChecked(true);
    EXPECT_EQ(w.chartAge[StatTallies::Created]->chart()->title(), "Created Date (Number of files)");
    EXPECT_EQ(colouredBars(w.chartAge[StatTallies::Created])[3].value, 13);
    EXPECT_EQ(w.chartAge[StatTallies::Modified]->chart()->title(), "Modified Date (file sizes in MB)");
    w.rgAge0[StatTallies::Created]->setChecked(true);
    EXPECT_FALSE(w.gridAge[StatTallies::Created]->isHidden());
    EXPECT_TRUE(w.chartAge[StatTallies::Created]->isHidden());

    // Combined: three series, not stacked, modified red, created lime,
    // accessed blue; by size, then by number.
    EXPECT_EQ(w.chartCombine->chart()->title(), "Combination Access/Created/Modified Chart");
    // Redrawn charts keep one pair of axes.
    EXPECT_EQ(w.chartCombine->chart()->axes().size(), 2);
    EXPECT_EQ(w.Chart1->chart()->axes().size(), 2);
    QAbstractBarSeries *s = barSeries(w.chartCombine);
    ASSERT_TRUE(s);
    EXPECT_EQ(s->type(), QAbstractSeries::SeriesTypeHorizontalBar);
    ASSERT_EQ(s->count(), 3);
    EXPECT_EQ(s->barSets()[0]->label(), "Modified");
    EXPECT_EQ(s->barSets()[0]->color(), QColor(255, 0, 0));
    EXPECT_EQ(s->barSets()[1]->label(), "Created");
    EXPECT_EQ(s->barSets()[1]->color(), QColor(0, 255, 0));
    EXPECT_EQ(s->barSets()[2]->label(), "Accessed");
    EXPECT_EQ(s->barSets()[2]->color(), QColor(0, 0, 255));
    EXPECT_DOUBLE_EQ(s->barSets()[0]->at(9), 14.5);
    w.rbCombine2->setChecked(true);
    s = barSeries(w.chartCombine);
    EXPECT_EQ(setValues(s->barSets()[2]), (std::vector<double>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9}));
    EXPECT_EQ(s->barSets()[1]->at(0), 10);
    w.rgCombine0->setChecked(true);
    EXPECT_FALSE(w.gridCombine->isHidden());
    EXPECT_TRUE(w.chartCombine->isHidden());
}

TEST_F(StatChartsWindow, OverhangAttributeAndTimeCharts)
{
    drives({{1 * GB, 4 * GB}});
    TfrmStatistics w;
    inject(w);
    w.show();
    StatTallies &tl = w.statScan().tallies;
    tl.sizeBytes[1] = 3000;
    tl.sizeBytes[2] = 1000; // S = 4000
    tl.overhang = {1000, 4000, 12000, 28000, 60000};
    tl.filesCounted = 8;
    tl.attrCount = {2, 1, 0, 8};       // read-only, hidden, system, archive
    tl.attrBytes = {1000, 400, 0, 4000};
    tl.timeSlots[StatTallies::Modified][1] = 5;
    tl.timeSlots[StatTallies::Modified][47] = 7;
    tl.timeSlots[StatTallies::Created][20] = 3;
    w.doOverHang();
    w.doFileAttrs();
    w.doFileTimes();

    // Overhang: 64K first, the wasted share of the space the files take.
    QAbstractBarSeries *s = barSeries(w.chartOverhang);
    ASSERT_TRUE(s);
    ASSERT_EQ(s->count(), 1);
    EXPECT_EQ(setValues(s->barSets()[0]), (std::vector<double>{94, 88, 75, 50, 20}));
    EXPECT_EQ(s->barSets()[0]->color(), QColor(255, 0, 0));
    EXPECT_TRUE(s->barSets()[0]->label().isEmpty());
    EXPECT_EQ(s->labelsFormat(), "@value %");

    // Attributes: archive, system, read-only, hidden as shares of the
    // counted files (8) and bytes (4,000), not of the attribute sums.
    s = barSeries(w.Chart2);
    ASSERT_TRUE(s);
    EXPECT_EQ(setValues(s->barSets()[0]), (std::vector<double>{100, 0, 25, 12.5}));
    EXPECT_EQ(s->barSets()[0]->color(), QColor(255, 0, 0));
    s = barSeries(w.Chart3);
    ASSERT_TRUE(s);
    EXPECT_EQ(setValues(s->barSets()[0]), (std::vector<double>{100, 0, 25, 10}));
    EXPECT_EQ(s->barSets()[0]->color(), QColor(0, 0, 255));
    // Two decimals at most.
    tl.filesCounted = 3;
    w.doFileAttrs();
    EXPECT_DOUBLE_EQ(barSeries(w.Chart2)->barSets()[0]->at(2), 66.67);
    // Nothing counted: empty charts.
    tl.clear();
    w.doFileAttrs();
    EXPECT_TRUE(w.Chart2->chart()->series().isEmpty());

    // Time: three lines in the order modified, created, accessed, 48 points
    // each; the access line without data is not shown.
    const QList<QAbstractSeries *> lines = w.Chart4->chart()->series();
    ASSERT_EQ(lines.size(), 3);
    const char *const names[3] = {"Modified time", "Created time", "Access Time"};
    const QColor colours[3] = {QColor(255, 0, 0), QColor(0, 128, 0), QColor(0, 0, 255)};
    for (int i = 0; i < 3; ++i) {
        auto *l = qobject_cast<QLineSeries *>(lines[i]);
        ASSERT_TRUE(l);
        EXPECT_EQ(l->name(), names[i]);
        EXPECT_EQ(l->color(), colours[i]);
        EXPECT_EQ(l->count(), 48);
        EXPECT_EQ(l->isVisible(), i < 2);
    }
    auto *modified = qobject_cast<QLineSeries *>(lines[0]);
    EXPECT_EQ(modified->at(1), QPointF(1, 5));
    EXPECT_EQ(modified->at(47), QPointF(47, 7));
    EXPECT_EQ(qobject_cast<QLineSeries *>(lines[1])->at(20), QPointF(20, 3));
    EXPECT_EQ(w.timeLabels().size(), 48);
    EXPECT_EQ(w.timeLabels()[0], QLocale().toString(QTime(0, 0), QLocale::ShortFormat));
    EXPECT_EQ(w.timeLabels()[47], QLocale().toString(QTime(23, 30), QLocale::ShortFormat));
    EXPECT_TRUE(w.timeLabels()[47].startsWith("11:30"));
    EXPECT_EQ(w.Chart4->chart()->axes(Qt::Horizontal).value(0)->titleText(),
              "Time of day file was accessed/modified/created");
    EXPECT_EQ(w.Chart4->chart()->axes(Qt::Vertical).value(0)->titleText(), "Numer of files");
    EXPECT_EQ(w.Chart4->chart()->legend()->alignment(), Qt::AlignTop);
    // With access times the line is shown.
    w.statScan().tallies.timeSlots[StatTallies::Accessed][3] = 1;
    w.doFileTimes();
    EXPECT_TRUE(w.Chart4->chart()->series()[2]->isVisible());
}

TEST_F(StatChartsWindow, PrintsTheTypesListingAsAReportAndOtherPagesAsTheWindowsImage)
{
    if (QStandardPaths::findExecutable("pdftotext").isEmpty() || QStandardPaths::findExecutable("pdftoppm").isEmpty())
        GTEST_SKIP() << "poppler-utils is not installed";
    drives({{1 * GB, 4 * GB}});
    t.sized("C/a.txt", 100);
    t.sized("C/b.doc", 300);
    TfrmStatistics w;
    inject(w);
    w.show();
    TModal::push([](QDialog *dlgW) {
        static_cast<TfrmWhichDrive *>(dlgW)->setAllDrives(true);
        dlgW->findChild<QPushButton *>("btNext1")->click();
        dlgW->findChild<QPushButton *>("btNext2")->click();
    });
    w.btOKClick();
    ASSERT_EQ(w.tallies().filesCounted, 2);

    // Declined print dialog: nothing printed.
    w.btPrint->click();
    EXPECT_EQ(dlg.printDialogs, 1);

    const QString pdf = QString::fromStdString(t.root() + "/types.pdf");
    dlg.printPdf = pdf;
    w.OvcNotebook1->setCurrentIndex(TfrmStatistics::Types);
    w.rgTypesItems[0]->setChecked(true);
    w.btPrint->click();
    const std::string text = TestEnv::commandOutput("pdftotext -layout '" + pdf.toStdString() + "' -");
    EXPECT_NE(text.find("File types for drive C:"), std::string::npos) << text;
    EXPECT_NE(text.find(".DOC"), std::string::npos) << text;
    EXPECT_NE(text.find("Totals"), std::string::npos) << text;

    // The sizes page as the window's image: the page's texts are in it and
    // its picture is not blank; the colours are back afterwards.
    const QColor face = w.gridSizes->palette().color(QPalette::Base);
    const QString image = QString::fromStdString(t.root() + "/sizes.pdf");
    dlg.printPdf = image;
    w.OvcNotebook1->setCurrentIndex(TfrmStatistics::Sizes);
    w.btPrint->click();
    const std::string imageText = TestEnv::commandOutput("pdftotext '" + image.toStdString() + "' -");
    EXPECT_EQ(imageText.find("File types for drive"), std::string::npos);
    const std::string png = t.root() + "/sizes";
    TestEnv::commandOutput("pdftoppm -r 40 -png -singlefile '" + image.toStdString() + "' '" + png + "'");
    QImage picture(QString::fromStdString(png + ".png"));
    ASSERT_FALSE(picture.isNull());
    int coloured = 0;
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x) {
            const QColor c = picture.pixelColor(x, y);
            coloured += c.saturation() > 100 ? 1 : 0;
        }
    EXPECT_GT(coloured, 200); // the coloured bars
    EXPECT_EQ(w.gridSizes->palette().color(QPalette::Base), face);
    EXPECT_TRUE(dlg.boxes.size() == 1u) << dlg.boxes.back().text.toStdString(); // only the "will be scanned" box
}

TEST_F(StatChartsWindow, ACollectionIsOneRunAndWaitsForAnother)
{
    drives({{1 * GB, 4 * GB}});
    t.sized("C/a.txt", 100);
    TfrmStatistics w;
    inject(w);
    w.show();
    {
        const Runs::Token other("a zip run");
        TModal::push([](QDialog *dlgW) { dlgW->reject(); });
        w.btOKClick();
        EXPECT_EQ(TModal::pending(), 1u); // no wizard
        ASSERT_EQ(dlg.boxes.size(), 1u);
        EXPECT_EQ(dlg.boxes[0].text, Runs::busyText());
        TModal::clear();
    }
    // A drive whose root cannot be opened is reported inside the
    // collection's run, outside any walk of its own.
    if (TestEnv::privileged())
        GTEST_SKIP() << "permissions do not apply";
    drives({{1 * GB, 4 * GB}, {1 * GB, 4 * GB}});
    const std::string locked = t.dir("D");
    ASSERT_EQ(::chmod(locked.c_str(), 0), 0);
    QString during;
    w.statScan().walker.cannotOpen = [&](const QString &) { during = Runs::current(); };
    TModal::push([&](QDialog *dlgW) {
        static_cast<TfrmWhichDrive *>(dlgW)->setAllDrives(true);
        dlgW->findChild<QPushButton *>("btNext1")->click();
        dlgW->findChild<QPushButton *>("btNext2")->click();
    });
    w.btOKClick();
    ::chmod(locked.c_str(), 0755);
    EXPECT_EQ(during, "a statistics collection");
    EXPECT_EQ(w.tallies().filesCounted, 1);
    EXPECT_FALSE(Runs::anyRunning());
}

// Every number of the listings whole, up to 10^13, headers whole, no grid
// over an info button, and the last tab inside the window: with the
// program's font and with one a quarter larger, as at 120 dots per inch.
TEST_F(StatChartsWindow, ListingsKeepEveryNumberWholeAtAnyFontSize)
{
    drives({{1 * GB, 4 * GB}});
    const QFont font = QApplication::font();
    for (double grow : {1.0, 1.25}) {
        QFont f = font;
        f.setPointSizeF(font.pointSizeF() * grow);
        QApplication::setFont(f);
        TfrmStatistics w;
        inject(w);
        w.show();
        StatTallies &tl = w.statScan().tallies;
        const int64_t big = 10000000000000; // 10^13
        for (int u = 1; u <= 12; ++u) {
            tl.sizeBytes[size_t(u)] = big - u;
            tl.sizeCount[size_t(u)] = big - u;
        }
        for (auto *kind : {&tl.ageBytes, &tl.ageCount})
            for (auto &k : *kind)
                k.fill(big - 1);
        tl.insertType(".ISO", big, false);
        tl.insertType(".C", 3 * GB, false);
        w.doFileTypes();
        w.rgTypesItems[0]->setChecked(true);
        w.fillGridSizes();
        for (int k = 0; k < 3; ++k)
            w.fillGridDates("Date", w.gridAge[size_t(k)], k);
        w.fillCombinedGridDates();
        for (QTableWidget *g : {w.gridTypes, w.gridSizes, w.gridAge[0], w.gridAge[1], w.gridAge[2], w.gridCombine}) {
            const QFontMetrics fm(g->font());
            EXPECT_FALSE(g->wordWrap());
            for (int c = 0; c < g->columnCount(); ++c) {
                EXPECT_LE(g->horizontalHeader()->sectionSizeHint(c), g->columnWidth(c))
                    << g->objectName().toStdString() << " header " << c << " at " << grow;
                if (g == w.gridTypes && c == 1)
                    continue; // a long type name may be shortened
                for (int r = 0; r < g->rowCount(); ++r) {
                    if (const QTableWidgetItem *item = g->item(r, c)) {
                        EXPECT_LT(fm.horizontalAdvance(item->text()) + 6, g->columnWidth(c))
                            << g->objectName().toStdString() << " " << item->text().toStdString() << " at " << grow;
                    }
                }
            }
        }
        const int iso = w.gridTypes->findItems(".ISO", Qt::MatchExactly).value(0)->row();
        EXPECT_EQ(w.gridTypes->item(iso, 4)->text(), "10,000,000,000,000");
        for (int k = 0; k < 4; ++k) {
            QTableWidget *g = k < 3 ? w.gridAge[size_t(k)] : w.gridCombine;
            EXPECT_FALSE(g->geometry().intersects(w.SpeedButton[size_t(k)]->geometry())) << k << " at " << grow;
        }
        QTabBar *tabs = w.OvcNotebook1->tabBar();
        const QRect last = tabs->tabRect(TfrmStatistics::Time);
        EXPECT_LT(tabs->mapTo(&w, last.topRight()).x(), w.width() - 4) << grow;
        EXPECT_GE(w.width(), 632);
    }
    QApplication::setFont(font);
}

// With every share of wasted space under 1 % the chart still shows its
// bars, their values and its value axis.
TEST_F(StatChartsWindow, OverhangSharesUnderOnePercentAreShown)
{
    drives({{1 * GB, 4 * GB}});
    TfrmStatistics w;
    inject(w);
    w.show();
    StatTallies &tl = w.statScan().tallies;
    tl.sizeBytes[12] = 100000000;
    tl.overhang = {100000, 200000, 300000, 400000, 900000};
    w.doOverHang();
    QAbstractBarSeries *s = barSeries(w.chartOverhang);
    ASSERT_TRUE(s);
    EXPECT_EQ(setValues(s->barSets()[0]), (std::vector<double>{0.89, 0.4, 0.3, 0.2, 0.1}));
    EXPECT_TRUE(s->isLabelsVisible());
    auto *axis = qobject_cast<QValueAxis *>(w.chartOverhang->chart()->axes(Qt::Horizontal).value(0));
    ASSERT_TRUE(axis);
    EXPECT_TRUE(axis->labelsVisible());
    EXPECT_GT(axis->max(), 0.89);
    EXPECT_LT(axis->max(), 5);
}

// A drive mounted at a long path: its pie's title is shortened in the
// middle of the path and keeps the share and "free" whole.
TEST_F(StatChartsWindow, PieTitlesShortenALongPathInItsMiddle)
{
    const std::string longRoot =
        t.dir("media/backup-of-the-family-photographs/summer-holidays-by-the-sea-2024/originals-untouched");
    Drives::setMapping({{'C', longRoot}});
    space[longRoot] = {302 * MB, 1000 * MB};
    TfrmStatistics w;
    inject(w);
    w.show();
    w.rgSpace1->setChecked(true);
    ASSERT_FALSE(w.pie[0]->isHidden());
    const QString title = w.pie[0]->chart()->title();
    EXPECT_TRUE(title.endsWith("  30.2% free")) << title.toStdString();
    EXPECT_TRUE(title.contains(QChar(0x2026))) << title.toStdString();
    EXPECT_TRUE(title.startsWith(QString::fromStdString(longRoot.substr(0, 4)))) << title.toStdString();
    EXPECT_LE(QFontMetrics(w.pie[0]->chart()->titleFont()).horizontalAdvance(title), w.pie[0]->width());
}

// The Overhang page: disabled while current, the next page is shown; its
// "Actual space used" caption never keeps an earlier collection's figure.
TEST_F(StatChartsWindow, OverhangPageAfterCollectionsWithAndWithoutItsFigures)
{
    drives({{1 * GB, 4 * GB}});
    t.sized("C/a.txt", 100);
    TfrmStatistics w;
    inject(w);
    int64_t cluster = 4096;
    w.clusterSizeOf = [&cluster](const QString &) { return cluster; };
    w.show();
    collect(w);
    EXPECT_EQ(w.lblLbl->text(), "Actual space used 4 KB");
    EXPECT_FALSE(w.imArrow->isHidden());
    cluster = 1024; // none of the five trial sizes
    collect(w);
    EXPECT_TRUE(w.imArrow->isHidden());
    EXPECT_EQ(w.lblLbl->text(), "Actual space used:");

    // Nothing but empty files while the page is current: the page is
    // disabled and the next one shown.
    ::truncate(t.path("C/a.txt").c_str(), 0);
    w.OvcNotebook1->setCurrentIndex(TfrmStatistics::Overhang);
    collect(w);
    EXPECT_FALSE(w.OvcNotebook1->isTabEnabled(TfrmStatistics::Overhang));
    EXPECT_EQ(w.OvcNotebook1->currentIndex(), int(TfrmStatistics::Access));
}

// Pictures of every page after a collection over a real folder, for a person
// to look at: VANTOR_SHOTS names the folder for the PNG files and
// VANTOR_SHOT_ROOT the folder collected (default /usr/share/doc).
TEST_F(StatChartsWindow, PagePictures)
{
    const QString out = qEnvironmentVariable("VANTOR_SHOTS");
    if (out.isEmpty())
        GTEST_SKIP() << "set VANTOR_SHOTS to a folder for the pictures";
    const QString root = qEnvironmentVariable("VANTOR_SHOT_ROOT", QStringLiteral("/usr/share/doc"));
    Drives::setMapping({{'C', root.toStdString()}, {'D', t.dir("D")}, {'E', t.dir("E")}});
    TfrmStatistics w;
    w.show();
    // Charts lay themselves out when events run.
    auto shot = [&w](const QString &file) {
        QApplication::processEvents();
        w.grab().save(file);
    };
    w.SelectAll1->trigger();
    shot(out + "/00-space-bar.png");
    TModal::push([out](QDialog *dlgW) {
        auto *wiz = static_cast<TfrmWhichDrive *>(dlgW);
        QApplication::processEvents();
        wiz->grab().save(out + "/00-wizard.png");
        wiz->setAllDrives(false);
        wiz->pckDrive->item(0)->setCheckState(Qt::Checked);
        wiz->btNext1->click();
        wiz->btNext2->click();
    });
    w.btOKClick();
    w.rgSpace1->setChecked(true);
    shot(out + "/00-space-pie.png");
    const char *const names[11] = {"space",   "deleted",  "types",    "sizes",     "overhang", "access",
                                   "created", "modified", "combined", "attribute", "time"};
    for (int i = 1; i < 11; ++i) {
        w.OvcNotebook1->setCurrentIndex(i);
        shot(out + QStringLiteral("/%1-%2.png").arg(i, 2, 10, QLatin1Char('0')).arg(names[i]));
    }
    w.OvcNotebook1->setCurrentIndex(TfrmStatistics::Types);
    w.rgTypesItems[0]->setChecked(true);
    shot(out + "/02-types-listing.png");
    w.OvcNotebook1->setCurrentIndex(TfrmStatistics::Sizes);
    w.rgSize2->setChecked(true);
    shot(out + "/03-sizes-number.png");
    w.rgSize0->setChecked(true);
    shot(out + "/03-sizes-listing.png");
    w.OvcNotebook1->setCurrentIndex(TfrmStatistics::Access);
    w.rgAge0[0]->setChecked(true);
    shot(out + "/05-access-listing.png");
    w.OvcNotebook1->setCurrentIndex(TfrmStatistics::Combined);
    w.rgCombine0->setChecked(true);
    shot(out + "/08-combined-listing.png");
    w.rbCombine1->setChecked(true);
    dlg.printPdf = out + "/print-combined.pdf";
    w.OvcNotebook1->setCurrentIndex(TfrmStatistics::Combined);
    w.btPrint->click();
}

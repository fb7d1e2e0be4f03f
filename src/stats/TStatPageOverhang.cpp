#include "stats/TStatPageOverhang.h"

#include "common/Text.h"
#include "stats/StatCharts.h"
#include "stats/StatTallies.h"
#include "stats/StatText.h"
#include "stats/TStatWidgets.h"

#include <QChartView>
#include <QFrame>
#include <QLabel>
#include <QPlainTextEdit>
#include <cmath>

using namespace TStatWidgets;

void TStatPageOverhang::build(QWidget *page)
{
    auto *title = label(page, QStringLiteral("Cluster overhang by block size, with FAT and FAT32 drives for comparison"), QRect(8, 2, 600, 22),
                        "lblOverTitle");
    QFont f = title->font();
    f.setBold(true);
    title->setFont(f);
    label(page, QStringLiteral("FAT Partion size"), QRect(8, 26, 130, 18));
    label(page, QStringLiteral("FAT 32 Size"), QRect(142, 26, 110, 18));
    label(page, QStringLiteral("Cluster size"), QRect(268, 26, 80, 18));
    label(page, QStringLiteral("Wasted space"), QRect(352, 26, 100, 18), nullptr, Qt::AlignRight | Qt::AlignVCenter);
    label(page, QStringLiteral("Percent wasted"), QRect(470, 26, 140, 18));
    const char *const fat[5] = {"255 MB", "256 MB - 511 MB", "512 MB - 1023 MB", "1 GB - 2 GB", "2 GB - 4 GB"};
    const char *const fat32[4] = {"Less than 8GB", "Less than 16GB", "Less than 32GB", "32GB or more"};
    const char *const sizes[5] = {"4K", "8K", "16K", "32K", "64K"};
    for (int i = 0; i < 5; ++i) {
        const int y = 46 + 20 * i;
        label(page, QLatin1String(fat[i]), QRect(8, y, 130, 18));
        if (i < 4)
            label(page, QLatin1String(fat32[i]), QRect(142, y, 120, 18));
        lblCSize[size_t(i)] = label(page, QLatin1String(sizes[i]), QRect(292, y, 50, 18));
        lblCSize[size_t(i)]->setObjectName(QStringLiteral("lblCSize%1").arg(i + 1));
        lblOver[size_t(i)] = label(page, {}, QRect(352, y, 100, 18), nullptr, Qt::AlignRight | Qt::AlignVCenter);
        lblOver[size_t(i)]->setObjectName(QStringLiteral("lblOver%1").arg(i + 1));
    }
    imArrow = label(page, QStringLiteral("\u27A4"), QRect(268, 46, 22, 18), "imArrow");
    imArrow->setStyleSheet(QStringLiteral("color: red; font-weight: bold;"));
    imArrow->hide();
    chartOverhang = chartView(page, "chartOverhang", QRect(462, 40, 158, 112));

    pnlOverhang = new QFrame(page);
    pnlOverhang->setObjectName(QStringLiteral("pnlOverhang"));
    pnlOverhang->setFrameShape(QFrame::Panel);
    pnlOverhang->setFrameShadow(QFrame::Sunken);
    pnlOverhang->setGeometry(8, 152, 300, 72);
    label(pnlOverhang, QStringLiteral("Total file sizes:"), QRect(6, 4, 110, 20));
    lblSize = label(pnlOverhang, {}, QRect(120, 4, 170, 20), "lblSize");
    lblLbl = label(pnlOverhang, QStringLiteral("Actual space used:"), QRect(6, 26, 288, 20), "lblLbl");
    lblNumFiles = label(pnlOverhang, {}, QRect(6, 48, 288, 20), "lblNumFiles");
    pnlOverhang->hide();

    pnlCluster = new QFrame(page);
    pnlCluster->setObjectName(QStringLiteral("pnlCluster"));
    pnlCluster->setFrameShape(QFrame::Panel);
    pnlCluster->setFrameShadow(QFrame::Raised);
    pnlCluster->setGeometry(316, 156, 300, 64);
    auto *na = label(pnlCluster, QStringLiteral("Cluster overhang analysis is not applicable to this drive."),
                     QRect(6, 4, 288, 56), "lblCluster", Qt::AlignCenter);
    na->setWordWrap(true);
    pnlCluster->hide();

    Memo1 = new QPlainTextEdit(page);
    Memo1->setObjectName(QStringLiteral("Memo1"));
    Memo1->setReadOnly(true);
    Memo1->setGeometry(8, 228, kPageW - 16, 108);
    Memo1->setPlainText(
        QStringLiteral("This page is an illustration of the amount of disk space wasted due to 'cluster overhang.'  "
                       "This is the smallest amount of space "
                       "a file will actually use.   The arrow points to your actual cluster size, the other numbers "
                       "are hypothetical.\n"
                       "\n"
                       "Due to the design of the file system the hard disk is divided into blocks, and your cluster "
                       "size is the block size read from the drive.  Files are stored in blocks. A file of one "
                       "byte will take an entire block and a file that's one byte larger than a block will take "
                       "two blocks.  The larger the block, the "
                       "more overhang or waste is involved.\n"
                       "\n"
                       "Solutions are to either keep many small files on a file system with smaller blocks or pack "
                       "them into an archive.  Most Linux file systems (ext4, XFS, Btrfs) "
                       "use 4K blocks whatever the size of the drive; the FAT and FAT32 sizes above are for comparison."));
}

bool TStatPageOverhang::doOverHang(int64_t clusterSize)
{
    const StatTallies &t = tallies;
    double s = 0;
    for (int u = 1; u <= 12; ++u)
        s += double(t.sizeBytes[size_t(u)]);
    if (s == 0)
        return false;
    for (size_t i = 0; i < 5; ++i)
        lblOver[i]->setText(StatText::wholeNumber(double(t.overhang[i])));
    imArrow->hide();
    const int at = StatTallies::trialIndex(clusterSize);
    if (at >= 0) {
        imArrow->move(imArrow->x(), lblCSize[size_t(at)]->y());
        imArrow->show();
    }
    pnlCluster->setVisible(at < 0);
    pnlOverhang->show();
    auto sizeText = [s](double v) {
        return s < 1048576 ? StatText::wholeNumber(v / 1024) + QStringLiteral(" KB")
                           : StatText::wholeNumber(v / 1048576) + QStringLiteral(" MB");
    };
    lblSize->setText(sizeText(s));
    lblNumFiles->setText(QStringLiteral("Number of files scanned: ") + formatThousands(t.filesCounted));
    // Without the arrow no actual space is known: the caption alone, not
    // the figure of an earlier collection.
    lblLbl->setText(at >= 0 ? QStringLiteral("Actual space used ") + sizeText(double(t.overhang[size_t(at)]) + s)
                            : QStringLiteral("Actual space used:"));
    // Whole percents, or as many decimals (four at most) as give the
    // smallest share two digits, on a value axis of their own: shares
    // under 1 % are bars with values too.
    const std::vector<double> shares = StatCharts::overhangPercents(t);
    double smallest = 0;
    for (double v : shares)
        if (v > 0 && (smallest == 0 || v < smallest))
            smallest = v;
    int decimals = 0;
    while (smallest > 0 && decimals < 4 && std::round(smallest * std::pow(10.0, decimals)) < 10)
        ++decimals;
    fillPlainBars(chartOverhang, shares, QColor(0xFF, 0, 0),
                  {QStringLiteral("64K"), QStringLiteral("32K"), QStringLiteral("16K"), QStringLiteral("8K"),
                   QStringLiteral("4K")},
                  false, decimals, true);
    return true;
}

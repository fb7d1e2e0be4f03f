#pragma once
#include "stats/TStatPage.h"

#include <array>
#include <cstdint>

class QChartView;
class QFrame;
class QLabel;
class QPlainTextEdit;

// The Overhang page: the space wasted at the five trial cluster sizes, the
// arrow at the drive's own, and the share wasted as a chart.
class TStatPageOverhang : public TStatPage {
public:
    using TStatPage::TStatPage;
    void build(QWidget *page);

    // Shows the overhang of a one-drive collection with the drive's cluster
    // size; false when the files take no space, so there is nothing to show.
    bool doOverHang(int64_t clusterSize);

    std::array<QLabel *, 5> lblOver{}, lblCSize{};
    QChartView *chartOverhang = nullptr;
    QLabel *imArrow = nullptr;
    QFrame *pnlOverhang = nullptr, *pnlCluster = nullptr;
    QLabel *lblSize = nullptr, *lblLbl = nullptr, *lblNumFiles = nullptr;
    QPlainTextEdit *Memo1 = nullptr;
};

#pragma once
#include "stats/TStatPage.h"

#include <array>

class QAction;
class QChartView;
class QCheckBox;
class QFrame;
class QLabel;
class QListWidget;
class QRadioButton;
class QScrollBar;
class QTimer;

// The Space page: the bar chart of the selected drives and its labels, the
// pies of the ready drives, and the choice between them. The drive pies
// turn on the window's pie timer; Timer2 steps the bar depth.
class TStatPageSpace : public TStatPage {
public:
    using TStatPage::TStatPage;
    void build(QWidget *page);

    void doDiskSize();
    void doPieCharts();
    void rgSpaceClick();
    // Selects every drive of the list, or none, and charts them.
    void selectAllDrives(bool all);
    // Shows the page: the bar depth starts again.
    void showPage();
    // One tick of the pie timer: the pies turn while they are shown.
    void turnPies();
    // The pies turn, or rest with the scroll bar to turn them by hand.
    void showPiesTurning(bool on);
    void ScrollBar1Change();
    void Timer2Timer();
    int barDepth() const { return barDepth_; }

    QLabel *lblTotal = nullptr, *lblFree = nullptr, *lblUsed = nullptr, *lblTot = nullptr, *lblPct = nullptr,
           *lblPct2 = nullptr;
    std::array<QLabel *, 3> lblCaptions{};
    QFrame *Panel1 = nullptr, *Panel2 = nullptr;
    QListWidget *pckStatDrive = nullptr;
    QWidget *pnlDrives = nullptr;
    QRadioButton *rgSpace1 = nullptr, *rgSpace2 = nullptr;
    QCheckBox *cbTotal = nullptr;
    QChartView *chartSpaceBar = nullptr;
    QWidget *pnlPie = nullptr;
    std::array<QChartView *, 11> pie{}; // pie1 .. pie11
    QChartView *pieTotal = nullptr;
    QFrame *Panel3 = nullptr, *Panel5 = nullptr;
    QScrollBar *ScrollBar1 = nullptr;
    QAction *SelectAll1 = nullptr, *DeselectAll1 = nullptr;
    QTimer *Timer2 = nullptr;

protected:
    // A click on a pie starts or stops the pies.
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildDriveList(QWidget *page);
    void buildPies(QWidget *page);
    void layoutPies();

    QWidget *page_ = nullptr;
    bool inDiskSize_ = false;
    int charted_ = 0;
    int barDepth_ = 1;
};

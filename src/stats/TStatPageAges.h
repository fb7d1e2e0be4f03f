#pragma once
#include "stats/TStatPage.h"

#include <array>

class QChartView;
class QRadioButton;
class QTableWidget;
class QToolButton;

// The Access, Created and Modified pages and the Combined page: the files
// in ten age buckets per date, each as a chart by size or by number of
// files, or as a listing. One choice on any of them draws all four again.
class TStatPageAges : public TStatPage {
public:
    using TStatPage::TStatPage;
    // The three date pages, indexed by StatTallies::Kind, and the combined one.
    void build(const std::array<QWidget *, 3> &agePages, QWidget *combinedPage);

    // Fills the three date listings and the combined one.
    void fillGrids();
    void fillGridDates(const QString &title, QTableWidget *grid, int kind);
    void fillCombinedGridDates();
    void doFileAges();
    void rgAccessClick();

    // Indexed by StatTallies::Kind.
    std::array<QChartView *, 3> chartAge{};
    std::array<QTableWidget *, 3> gridAge{};
    std::array<QRadioButton *, 3> rgAge0{}, rgAge1{}, rgAge2{}; // listing, by size, by number
    QChartView *chartCombine = nullptr;
    QTableWidget *gridCombine = nullptr;
    QRadioButton *rbCombine1 = nullptr, *rbCombine2 = nullptr, *rgCombine0 = nullptr;
    // The info buttons 1..4: the three dates, then the combined page.
    std::array<QToolButton *, 4> SpeedButton{};

private:
    void buildAgePage(QWidget *page, int kind);
    void buildCombinedPage(QWidget *page);
};

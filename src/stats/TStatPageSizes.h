#pragma once
#include "stats/TStatPage.h"

class QChartView;
class QRadioButton;
class QTableWidget;

// The Sizes page: the files in twelve size buckets, as a chart by size or
// by number of files, or as a listing.
class TStatPageSizes : public TStatPage {
public:
    using TStatPage::TStatPage;
    void build(QWidget *page);

    void doFileSizes();
    void fillGridSizes();
    void rgSizesClick();

    QChartView *Chart1 = nullptr;
    QTableWidget *gridSizes = nullptr;
    QRadioButton *rgSize0 = nullptr, *rgSize1 = nullptr, *rgSize2 = nullptr; // listing, by size, by number
};

#pragma once
#include "stats/TStatPage.h"

#include <QStringList>
#include <array>
#include <vector>

class QAction;
class QChartView;
class QGroupBox;
class QMenu;
class QPushButton;
class QRadioButton;
class QScrollBar;
class QTableWidget;

// The Types page: the listing of the file types (its totals row last, its
// sort menu) and the pie of their sizes, numbers of files or average sizes.
// The pie turns on the window's pie timer while a pie form is chosen.
class TStatPageTypes : public TStatPage {
public:
    using TStatPage::TStatPage;
    void build(QWidget *page);

    void doFileTypes();
    void doTotals();
    void rgTypesClick();
    // Sorts the grid by menu item 0..4 (extension, type, size, number of
    // files, average size); nothing below two type rows.
    void SortbyExtensionClick(int item);
    // Column captions, set when the window is shown.
    void setHeaders();
    // One tick of the pie timer: the pie turns while it is shown.
    void turnPie();
    void ScrollBar2Change();
    bool listing() const;

    QTableWidget *gridTypes = nullptr;
    QChartView *chartPie = nullptr;
    QScrollBar *ScrollBar2 = nullptr;
    QGroupBox *rgTypes = nullptr;
    std::array<QRadioButton *, 4> rgTypesItems{};
    QPushButton *btSort = nullptr;
    QMenu *sortMenu = nullptr;
    std::array<QAction *, 5> sortItems{};

private:
    int typeRowCount() const; // data rows of gridTypes, without the totals row
    std::vector<QStringList> typeGridRows() const;

    QWidget *page_ = nullptr;
};

#pragma once
#include "stats/TStatPage.h"

#include <array>

class QChartView;
class QLabel;

// The Attribute page: files and bytes with each attribute, and their
// shares of the counted files and bytes as two charts.
class TStatPageAttributes : public TStatPage {
public:
    using TStatPage::TStatPage;
    void build(QWidget *page);

    void doFileAttrs();

    // Indexed by StatTallies::Attr.
    std::array<QLabel *, 4> lblNAttr{}, lblSzAttr{};
    QChartView *Chart2 = nullptr, *Chart3 = nullptr;
};

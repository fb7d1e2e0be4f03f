#include "stats/TStatWidgets.h"

#include "platform/Drives.h"

#include <QBarCategoryAxis>
#include <QBarSet>
#include <QChart>
#include <QChartView>
#include <QFrame>
#include <QHeaderView>
#include <QHorizontalBarSeries>
#include <QHorizontalStackedBarSeries>
#include <QLabel>
#include <QLegend>
#include <QPieSeries>
#include <QPieSlice>
#include <QRadioButton>
#include <QStyle>
#include <QStyledItemDelegate>
#include <QTableWidget>
#include <QValueAxis>
#include <algorithm>
#include <cmath>

namespace {
// The small grids draw their text 3 pixels in from the cell's side and 2
// below its top.
class SmallGridDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

protected:
    void initStyleOption(QStyleOptionViewItem *option, const QModelIndex &index) const override
    {
        QStyledItemDelegate::initStyleOption(option, index);
        option->rect.adjust(3, 2, -3, 0);
        option->displayAlignment = (index.column() == 0 ? Qt::AlignLeft : Qt::AlignRight) | Qt::AlignTop;
    }
};
}

namespace TStatWidgets {
QLabel *label(QWidget *parent, const QString &text, const QRect &r, const char *name,
              Qt::Alignment align)
{
    auto *l = new QLabel(text, parent);
    if (name)
        l->setObjectName(QLatin1String(name));
    l->setGeometry(r);
    l->setAlignment(align);
    return l;
}

QRadioButton *radio(QWidget *parent, const char *name, const QString &text, const QRect &r)
{
    auto *b = new QRadioButton(text, parent);
    b->setObjectName(QLatin1String(name));
    b->setGeometry(r);
    return b;
}

QFrame *swatch(QWidget *parent, const char *name, const QColor &c, const QRect &r)
{
    auto *f = new QFrame(parent);
    f->setObjectName(QLatin1String(name));
    f->setFrameShape(QFrame::Box);
    f->setAutoFillBackground(true);
    QPalette p = f->palette();
    p.setColor(QPalette::Window, c);
    f->setPalette(p);
    f->setGeometry(r);
    return f;
}

QChartView *chartView(QWidget *parent, const char *name, const QRect &r)
{
    auto *chart = new QChart;
    chart->setLocalizeNumbers(true);
    chart->setBackgroundRoundness(0);
    chart->setMargins(QMargins(2, 2, 2, 2));
    chart->legend()->hide();
    auto *v = new QChartView(chart, parent);
    v->setObjectName(QLatin1String(name));
    v->setRenderHint(QPainter::Antialiasing);
    v->setGeometry(r);
    return v;
}

QString shown(const QString &text)
{
    return text.toHtmlEscaped();
}

QFont smallFont(const QFont &f)
{
    QFont small = f;
    small.setPointSizeF(f.pointSizeF() * 0.85);
    return small;
}

QChart *clearChart(QChartView *view)
{
    QChart *old = view->chart();
    auto *c = new QChart;
    c->setLocalizeNumbers(true);
    c->setBackgroundRoundness(0);
    c->setMargins(old->margins());
    c->setTitleFont(old->titleFont());
    c->setBackgroundBrush(old->backgroundBrush());
    c->legend()->hide();
    view->setChart(c);
    delete old;
    return c;
}

QValueAxis *valueAxis(QChart *c, QAbstractSeries *s, Qt::Alignment at, double maxValue, const QString &format)
{
    auto *axis = new QValueAxis;
    axis->setRange(0, maxValue > 0 ? maxValue : 1);
    axis->applyNiceNumbers();
    if (!format.isEmpty())
        axis->setLabelFormat(format);
    c->addAxis(axis, at);
    s->attachAxis(axis);
    return axis;
}

QBarCategoryAxis *categoryAxis(QChart *c, QAbstractSeries *s, Qt::Alignment at, const QStringList &categories,
                               bool labels)
{
    auto *axis = new QBarCategoryAxis;
    for (const QString &category : categories)
        axis->append(shown(category));
    axis->setLabelsVisible(labels);
    axis->setLabelsFont(smallFont(axis->labelsFont()));
    axis->setGridLineVisible(false);
    c->addAxis(axis, at);
    s->attachAxis(axis);
    return axis;
}

void addBarSeries(QChart *c, QAbstractBarSeries *series, double barWidth, const QStringList &categories,
                  bool categoryLabels, double maxValue)
{
    series->setBarWidth(barWidth);
    c->addSeries(series);
    categoryAxis(c, series, Qt::AlignLeft, categories, categoryLabels);
    valueAxis(c, series, Qt::AlignBottom, maxValue, {});
    c->legend()->setAlignment(Qt::AlignRight);
    c->legend()->setReverseMarkers(true);
    c->legend()->show();
}

void fillColouredBars(QChartView *view, const QString &title, const std::vector<StatCharts::Bar> &bars)
{
    QChart *c = clearChart(view);
    c->setTitle(title);
    auto *series = new QHorizontalStackedBarSeries;
    QStringList categories;
    double maxValue = 0;
    for (size_t i = 0; i < bars.size(); ++i) {
        auto *set = new QBarSet(shown(bars[i].label));
        set->setColor(bars[i].colour);
        set->setBorderColor(QColor(0x40, 0x40, 0x40));
        for (size_t j = 0; j < bars.size(); ++j)
            set->append(j == i ? bars[i].value : 0.0);
        series->append(set);
        categories << bars[i].label;
        maxValue = std::max(maxValue, bars[i].value);
    }
    addBarSeries(c, series, 0.8, categories, false, maxValue);
    c->legend()->setFont(smallFont(QFont()));
}

void fillPlainBars(QChartView *view, const std::vector<double> &values, const QColor &colour,
                   const QStringList &categories, bool categoryLabels, int decimals, bool valueLabels)
{
    QChart *c = clearChart(view);
    if (values.empty())
        return;
    auto *set = new QBarSet(QString());
    set->setColor(colour);
    set->setBorderColor(colour.darker(150));
    set->setLabelColor(Qt::black);
    const double scale = std::pow(10.0, decimals);
    double maxValue = 0;
    for (double v : values) {
        set->append(std::round(v * scale) / scale);
        maxValue = std::max(maxValue, v);
    }
    auto *series = new QHorizontalBarSeries;
    series->append(set);
    series->setBarWidth(0.7);
    series->setLabelsVisible(true);
    series->setLabelsPosition(QAbstractBarSeries::LabelsOutsideEnd);
    series->setLabelsFormat(QStringLiteral("@value %"));
    series->setLabelsPrecision(12);
    set->setLabelFont(smallFont(set->labelFont()));
    c->addSeries(series);
    categoryAxis(c, series, Qt::AlignLeft, categories, categoryLabels);
    // Room beside the longest bar for its value.
    auto *axis = new QValueAxis;
    axis->setRange(0, maxValue > 0 ? maxValue * 1.8 : 1);
    axis->setLabelsVisible(valueLabels);
    if (valueLabels) {
        axis->setTickCount(3);
        axis->setLabelFormat(QStringLiteral("%.%1f").arg(decimals));
        axis->setLabelsFont(smallFont(axis->labelsFont()));
    }
    c->addAxis(axis, Qt::AlignBottom);
    series->attachAxis(axis);
}

void fillPie(QChartView *view, const QString &title, const std::vector<StatCharts::Bar> &slices)
{
    QChart *c = clearChart(view);
    c->setTitle(shown(title));
    auto *series = new QPieSeries;
    for (const StatCharts::Bar &b : slices) {
        QPieSlice *slice = series->append(shown(b.label), b.value);
        slice->setColor(b.colour);
        slice->setBorderColor(QColor(0x40, 0x40, 0x40));
        slice->setLabelVisible(false);
    }
    series->setPieSize(0.9);
    const int angle = view->property("rotation").toInt();
    series->setPieStartAngle(angle);
    series->setPieEndAngle(angle + 360);
    c->addSeries(series);
}

void designGrid(QTableWidget *g, const QList<int> &widths, const QRect &room)
{
    QVariantList w;
    for (int c = 0; c < widths.size(); ++c) {
        g->setColumnWidth(c, widths[c]);
        w << widths[c];
    }
    g->setProperty("designedWidths", w);
    g->setProperty("room", room);
    g->setGeometry(room);
    g->setWordWrap(false);
}

void fitGrid(QTableWidget *g, int stretch)
{
    const QVariantList designed = g->property("designedWidths").toList();
    const QRect room = g->property("room").toRect();
    const QFontMetrics fm(g->font());
    // The style's text margins, the small grids' own inset, the grid line.
    const int textMargin = g->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, g) + 1;
    const int pad = 2 * textMargin + (g->property("inset").toBool() ? 6 : 0) + 2;
    int total = 0;
    for (int c = 0; c < g->columnCount(); ++c) {
        int w = std::max(designed.value(c).toInt(), g->horizontalHeader()->sectionSizeHint(c));
        if (c != stretch)
            for (int r = 0; r < g->rowCount(); ++r)
                if (const QTableWidgetItem *item = g->item(r, c))
                    w = std::max(w, fm.horizontalAdvance(item->text()) + pad);
        g->setColumnWidth(c, w);
        total += w;
    }
    const int frame = 2 * g->frameWidth();
    const int bar = g->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, g);
    const int height = g->horizontalHeader()->sizeHint().height() + g->verticalHeader()->length() + frame;
    if (stretch >= 0) {
        const bool tall = height > room.height();
        const int others = total - g->columnWidth(stretch);
        const int left = room.width() - frame - (tall ? bar : 0) - others;
        g->setColumnWidth(stretch, std::max(fm.horizontalAdvance(QStringLiteral("0")) * 12, left));
        g->setGeometry(room);
        return;
    }
    bool wide = total + frame > room.width();
    const bool tall = height + (wide ? bar : 0) > room.height();
    wide = wide || (tall && total + frame + bar > room.width());
    g->setGeometry(room.x(), room.y(), std::min(room.width(), total + frame + (tall ? bar : 0)),
                   std::min(room.height(), height + (wide ? bar : 0)));
}

QTableWidget *smallGrid(QWidget *parent, const char *name, const QList<int> &widths, int rows, const QRect &r)
{
    auto *g = new QTableWidget(rows, int(widths.size()), parent);
    g->setObjectName(QLatin1String(name));
    g->setProperty("inset", true);
    g->verticalHeader()->hide();
    g->setEditTriggers(QAbstractItemView::NoEditTriggers);
    g->setSelectionMode(QAbstractItemView::NoSelection);
    g->setFocusPolicy(Qt::NoFocus);
    g->verticalHeader()->setDefaultSectionSize(20);
    g->setItemDelegate(new SmallGridDelegate(g));
    designGrid(g, widths, r);
    return g;
}

void setCell(QTableWidget *g, int row, int column, const QString &text, int rightFrom)
{
    auto *item = g->item(row, column);
    if (!item) {
        item = new QTableWidgetItem;
        g->setItem(row, column, item);
    }
    item->setText(text);
    item->setTextAlignment(column < rightFrom ? Qt::AlignLeft | Qt::AlignVCenter : Qt::AlignRight | Qt::AlignVCenter);
}

QString cellText(const QTableWidget *g, int row, int column)
{
    const QTableWidgetItem *item = g->item(row, column);
    return item ? item->text() : QString();
}

int rotation(const QChartView *pie)
{
    return pie->property("rotation").toInt();
}

void setRotation(QChartView *pie, int degrees)
{
    degrees = ((degrees % 360) + 360) % 360;
    pie->setProperty("rotation", degrees);
    if (auto *s = qobject_cast<QPieSeries *>(pie->chart()->series().value(0))) {
        s->setPieStartAngle(degrees);
        s->setPieEndAngle(degrees + 360);
    }
}

void rotate(QChartView *pie, int degrees)
{
    setRotation(pie, rotation(pie) + degrees);
}

QString driveRoot(const QString &entry)
{
    if (entry.isEmpty())
        return {};
    const auto d = Drives::find(char(entry.at(0).toUpper().toLatin1()));
    return d ? QString::fromStdString(d->root) : QString();
}

bool driveReady(const QString &entry)
{
    return !entry.isEmpty() && Drives::isDriveReady(char(entry.at(0).toUpper().toLatin1()));
}

std::array<QRadioButton *, 3> chartChoice(QWidget *page, const QString &bySize, const QString &byNumber,
                                          const QString &listing, QObject *context, const std::function<void()> &handler)
{
    std::array<QRadioButton *, 3> b{
        radio(page, nullptr, QStringLiteral("Chart by Size (in MB)"), QRect(10, 306, 190, 22)),
        radio(page, nullptr, QStringLiteral("Chart by Number of Files"), QRect(210, 306, 200, 22)),
        radio(page, nullptr, QStringLiteral("Listing"), QRect(420, 306, 120, 22))};
    b[0]->setObjectName(bySize);
    b[1]->setObjectName(byNumber);
    b[2]->setObjectName(listing);
    b[0]->setChecked(true);
    for (QRadioButton *r : b)
        QObject::connect(r, &QRadioButton::toggled, context, [handler](bool on) {
            if (on)
                handler();
        });
    return b;
}
}

#include "finders/TFolderMapView.h"

#include "common/Text.h"
#include "finders/DirHogScan.h"

#include <QContextMenuEvent>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QLocale>
#include <QMouseEvent>
#include <QPainter>
#include <QToolTip>

#include <array>

namespace {
using Tile = FolderMap::Tile;
using Kind = FolderMap::Kind;

// Light, clearly different hues, so that black text reads on every one and
// neighbouring levels never look alike.
constexpr std::array<QRgb, TFolderMapView::kLevels> kLevelRgb{
    0x8cb8e8, // blue
    0x9ad6a4, // green
    0xf0c872, // amber
    0xeb9d96, // rose
    0xbda6e3, // violet
    0x86d3d0, // teal
    0xe0aecd, // pink
    0xcfc683, // olive
};
const QColor kTopFill(0xdcdcdc);
const QColor kOtherFill(0xb4b4b4);
const QColor kSelection(0xc00000);

QColor tint(const QColor &c, double towardsWhite)
{
    return QColor::fromRgbF(float(c.redF() + (1 - c.redF()) * towardsWhite),
                            float(c.greenF() + (1 - c.greenF()) * towardsWhite),
                            float(c.blueF() + (1 - c.blueF()) * towardsWhite));
}

// Black on light fills, white on dark ones.
QColor textOn(const QColor &fill) { return fill.lightnessF() > 0.45 ? Qt::black : Qt::white; }
}

TFolderMapView::TFolderMapView(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("mapView"));
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMinimumSize(200, 150);
}

void TFolderMapView::setMap(std::shared_ptr<FolderMap> map)
{
    map_ = std::move(map);
    zoom_ = map_ ? map_->top() : -1;
    selected_ = -1;
    hover_ = -1;
    update();
}

void TFolderMapView::setZoom(int node)
{
    if (node == zoom_)
        return;
    zoom_ = node;
    hover_ = -1;
    update();
}

void TFolderMapView::mapChanged()
{
    hover_ = -1;
    update();
}

void TFolderMapView::setSelected(int node)
{
    if (node == selected_)
        return;
    selected_ = node;
    update();
}

int TFolderMapView::legendHeight() const { return fontMetrics().height() + 10; }

double TFolderMapView::labelHeight() const { return fontMetrics().height() + 2; }

QRect TFolderMapView::tileArea(const QRect &r) const { return r.adjusted(0, 0, 0, -legendHeight()); }

const std::vector<FolderMap::Tile> &TFolderMapView::layoutFor(const QRect &r)
{
    static const std::vector<Tile> none;
    if (!map_ || zoom_ < 0)
        return none;
    // The same zoom, room and font as the last time: FolderMap gives the
    // last layout back without work.
    return map_->layout(zoom_, QRectF(tileArea(r)), 24.0, labelHeight());
}

const std::vector<FolderMap::Tile> &TFolderMapView::tiles() { return layoutFor(rect()); }

int TFolderMapView::tileAt(const QPoint &pos)
{
    if (tiles().empty())
        return -1;
    return map_->tileAt(QPointF(pos) + QPointF(0.5, 0.5));
}

int TFolderMapView::tileOf(int node)
{
    const std::vector<Tile> &ts = tiles();
    for (size_t i = 0; i < ts.size(); ++i)
        if (ts[i].node == node && ts[i].kind == Kind::Folder)
            return int(i);
    return -1;
}

QColor TFolderMapView::levelColour(int depth)
{
    if (depth <= 0)
        return kTopFill;
    return QColor(kLevelRgb[size_t(std::min(depth, kLevels) - 1)]);
}

QColor TFolderMapView::fillOf(const Tile &t)
{
    switch (t.kind) {
    case Kind::Other:
        return kOtherFill;
    case Kind::OwnFiles:
        // The colour of the folder they lie in, lighter.
        return tint(levelColour(t.depth - 1), 0.6);
    case Kind::Folder:
        break;
    }
    return levelColour(t.depth);
}

QString TFolderMapView::filesText(int64_t files)
{
    return formatThousands(files) + (files == 1 ? QStringLiteral(" file") : QStringLiteral(" files"));
}

QString TFolderMapView::shareText(int64_t bytes) const
{
    if (!map_ || map_->capacity() <= 0)
        return {};
    if (ofScan_) {
        // The capacity is the scan's total, which its top holds whole.
        const QString share = double(bytes) < map_->capacity() ? DirHogScan::percentText(bytes, map_->capacity())
                                                                : QLocale().toString(100.0, 'f', 2);
        return share + QStringLiteral(" % of the scan");
    }
    return DirHogScan::percentText(bytes, map_->capacity()) + QStringLiteral(" % of the drive");
}

QString TFolderMapView::tileName(const Tile &t) const
{
    switch (t.kind) {
    case Kind::OwnFiles:
        return QStringLiteral("files");
    case Kind::Other:
        return QLatin1Char('+') + QString::number(t.merged); // the tooltip says what they are
    case Kind::Folder:
        break;
    }
    const FolderMap::Node &n = map_->nodes()[size_t(t.node)];
    return map_->isTop(t.node) ? QStringLiteral("All drives") : n.name;
}

QString TFolderMapView::tileToolTip(const Tile &t) const
{
    const QString path = map_->isTop(t.node) ? QStringLiteral("All drives") : displayName(map_->path(t.node));
    QString head;
    switch (t.kind) {
    case Kind::Folder:
        head = path;
        break;
    case Kind::OwnFiles:
        head = QStringLiteral("Files lying in ") + path;
        break;
    case Kind::Other:
        head = QString::number(t.merged) + QStringLiteral(" smaller folders and files in ") + path;
        break;
    }
    const QString share = shareText(t.bytes);
    return head + QLatin1Char('\n') + formatThousands(t.bytes) + QStringLiteral(" bytes (") + sizeWithUnit(t.bytes)
        + QStringLiteral(")\n") + filesText(t.files) + QLatin1Char('\n')
        + (share.isEmpty() ? QStringLiteral("Share of the drive not known") : share);
}

void TFolderMapView::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    paintMap(p, rect());
}

void TFolderMapView::paintMap(QPainter &p, const QRect &r)
{
    p.save();
    p.setFont(font());
    const QRect area = tileArea(r);
    p.fillRect(r, palette().window());
    const std::vector<Tile> &ts = layoutFor(r);
    if (ts.empty()) {
        p.setPen(palette().color(QPalette::WindowText));
        p.drawText(area, Qt::AlignCenter, map_ ? QStringLiteral("Nothing to show") : QString());
    }
    // Fills and frames, parents first: a folder's tile shows as the frame
    // and label strip around its children.
    p.setRenderHint(QPainter::Antialiasing, false);
    for (const Tile &t : ts) {
        const QColor fill = fillOf(t);
        const QRectF &rc = t.rect;
        if (rc.width() >= 3 && rc.height() >= 3) {
            // The frame is the darker edge the tile leaves around its fill.
            p.fillRect(rc, fill.darker(160));
            p.fillRect(rc.adjusted(1, 1, -1, -1), fill);
        } else {
            p.fillRect(rc, fill.darker(115));
        }
    }
    paintLabels(p, ts);
    if (selected_ >= 0) {
        for (const Tile &t : ts)
            if (t.node == selected_ && t.kind == Kind::Folder) {
                QPen pen(kSelection);
                pen.setWidth(2);
                p.setPen(pen);
                p.setBrush(Qt::NoBrush);
                p.drawRect(t.rect.adjusted(1, 1, -1, -1));
                break;
            }
    }
    paintLegend(p, QRect(r.left(), area.bottom() + 1, r.width(), r.bottom() - area.bottom()));
    p.restore();
}

void TFolderMapView::paintLabels(QPainter &p, const std::vector<Tile> &ts)
{
    const QFontMetrics fm = p.fontMetrics();
    const int lineH = fm.height();
    const int minWidth = fm.horizontalAdvance(QStringLiteral("abc"));
    for (const Tile &t : ts) {
        const QRectF &rc = t.rect;
        if (rc.width() < minWidth + 6 || rc.height() < lineH + 2)
            continue;
        QRectF box;
        bool twoLines = false;
        if (t.labelled) {
            // The strip above its children.
            box = QRectF(t.content.left() + 2, t.content.top() - labelHeight(), t.content.width() - 4, labelHeight());
        } else if (t.childCount == 0) {
            box = rc.adjusted(3, 1, -3, -1);
            twoLines = box.height() >= 2 * lineH;
        } else {
            continue; // its children cover it
        }
        if (box.width() < minWidth)
            continue;
        const QString name = tileName(t);
        const QString size = sizeWithUnit(t.bytes);
        // A name cut to less than three characters says nothing: no label.
        const QString shortName = fm.elidedText(name, Qt::ElideRight, int(box.width()));
        if (shortName != name && shortName.size() < 4)
            continue;
        p.setPen(textOn(fillOf(t)));
        if (twoLines) {
            p.drawText(QRectF(box.left(), box.top(), box.width(), lineH), Qt::AlignLeft | Qt::AlignVCenter, shortName);
            if (fm.horizontalAdvance(size) <= box.width())
                p.drawText(QRectF(box.left(), box.top() + lineH, box.width(), lineH),
                           Qt::AlignLeft | Qt::AlignVCenter, size);
            continue;
        }
        // One line: the name as far as it goes, the size after it when both fit.
        const QString both = name + QStringLiteral("  ") + size;
        p.drawText(box, Qt::AlignLeft | Qt::AlignVCenter, fm.horizontalAdvance(both) <= box.width() ? both : shortName);
    }
}

void TFolderMapView::paintLegend(QPainter &p, const QRect &strip)
{
    p.fillRect(strip, palette().window());
    const QFontMetrics fm = p.fontMetrics();
    const int sw = fm.height() - 2; // a swatch
    const int gap = fm.horizontalAdvance(QLatin1Char(' '));
    int x = strip.left() + 6;
    const int y = strip.top() + (strip.height() - sw) / 2;
    auto text = [&](const QString &s) {
        p.setPen(palette().color(QPalette::WindowText));
        p.drawText(QRect(x, strip.top(), fm.horizontalAdvance(s) + 1, strip.height()),
                   Qt::AlignLeft | Qt::AlignVCenter, s);
        x += fm.horizontalAdvance(s);
    };
    auto swatch = [&](const QColor &c, const QString &label) {
        p.fillRect(QRect(x, y, sw, sw), c.darker(160));
        p.fillRect(QRect(x + 1, y + 1, sw - 2, sw - 2), c);
        x += sw + gap / 2 + 1;
        text(label);
        x += gap * 2;
    };
    text(QStringLiteral("Levels below the folder shown:"));
    x += gap;
    for (int d = 1; d <= kLevels; ++d)
        swatch(levelColour(d), d == kLevels ? QString::number(d) + QLatin1Char('+') : QString::number(d));
    x += gap * 2;
    swatch(tint(levelColour(1), 0.6), QStringLiteral("a folder's own files (its colour, lighter)"));
    swatch(kOtherFill, QStringLiteral("smaller items together"));
}

void TFolderMapView::mouseMoveEvent(QMouseEvent *e)
{
    const int t = tileAt(e->position().toPoint());
    if (t != hover_) {
        hover_ = t;
        emit hovered(t);
    }
    QWidget::mouseMoveEvent(e);
}

void TFolderMapView::leaveEvent(QEvent *e)
{
    if (hover_ != -1) {
        hover_ = -1;
        emit hovered(-1);
    }
    QWidget::leaveEvent(e);
}

void TFolderMapView::mousePressEvent(QMouseEvent *e)
{
    if (e->button() == Qt::LeftButton || e->button() == Qt::RightButton)
        emit clicked(tileAt(e->position().toPoint()));
    QWidget::mousePressEvent(e);
}

void TFolderMapView::mouseDoubleClickEvent(QMouseEvent *e)
{
    if (e->button() == Qt::LeftButton)
        emit doubleClicked(tileAt(e->position().toPoint()));
}

void TFolderMapView::contextMenuEvent(QContextMenuEvent *e)
{
    emit menuRequested(tileAt(e->pos()), e->globalPos());
}

void TFolderMapView::keyPressEvent(QKeyEvent *e)
{
    switch (e->key()) {
    case Qt::Key_Backspace:
        emit zoomOutKey();
        return;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        // Zooms in, nothing else: Enter never starts a removal.
        emit zoomInKey();
        return;
    default:
        QWidget::keyPressEvent(e);
    }
}

bool TFolderMapView::event(QEvent *e)
{
    if (e->type() == QEvent::ToolTip) {
        auto *h = static_cast<QHelpEvent *>(e);
        const int t = tileAt(h->pos());
        if (t >= 0)
            QToolTip::showText(h->globalPos(), tileToolTip(tiles()[size_t(t)]), this);
        else
            QToolTip::hideText();
        return true;
    }
    return QWidget::event(e);
}

#include "scan/TResultGridDelegate.h"

#include "scan/ResultGridModel.h"

#include <QApplication>
#include <QAbstractItemView>
#include <QFontMetricsF>
#include <QHelpEvent>
#include <QPainter>
#include <QToolTip>

#include <algorithm>
#include <cmath>

TResultGridDelegate::TResultGridDelegate(const ResultGridModel *model, QObject *parent)
    : QStyledItemDelegate(parent), model_(model)
{
}

const QPixmap &TResultGridDelegate::markGlyph()
{
    static const QPixmap glyph = [] {
        QImage img(16, 16, QImage::Format_ARGB32);
        img.fill(Qt::transparent);
        const QRgb purple = qRgb(128, 0, 128);
        // A bold tick: a short stroke down to the right, a long one up.
        const auto dot = [&](int x, int y) {
            for (int dy = 0; dy < 3; ++dy)
                if (x >= 0 && x < 16 && y + dy >= 0 && y + dy < 16)
                    img.setPixel(x, y + dy, purple);
        };
        for (int x = 1; x <= 5; ++x)
            dot(x, 6 + x);
        for (int x = 6; x <= 14; ++x)
            dot(x, 16 - x);
        return QPixmap::fromImage(img);
    }();
    return glyph;
}

void TResultGridDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    const GridLayout &layout = model_->layout();
    const QRect r = option.rect;
    // The empty row a grid keeps when nothing was found is never shown as
    // chosen: there is nothing in it to choose.
    const bool selected = (option.state & QStyle::State_Selected) && index.row() < model_->rowsFilled();
    const QPalette &pal = option.palette;
    painter->save();
    painter->setClipRect(r);
    painter->fillRect(r, selected ? pal.highlight() : pal.base());
    painter->setPen(selected ? pal.highlightedText().color() : pal.text().color());
    painter->setFont(option.font);

    const QString text = index.data(Qt::DisplayRole).toString();
    const int inset = layout.textInset;
    const int top = r.top() + 2;
    if (layout.isRightAligned(index.column())) {
        painter->drawText(QRect(r.left(), top, r.width() - inset, r.height() - 2),
                          Qt::AlignRight | Qt::AlignTop | Qt::TextSingleLine, text);
    } else {
        int left = r.left() + inset;
        if (index.data(ResultGridModel::MarkRole).toBool()) {
            painter->drawPixmap(r.left() + 2, r.top() + 2, markGlyph());
            left = r.left() + 18;
        }
        const QString shown = option.fontMetrics.elidedText(text, Qt::ElideRight, textWidth(option, index));
        painter->drawText(QRect(left, top, r.right() - left + 1, r.height() - 2),
                          Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, shown);
    }
    painter->restore();
}

int TResultGridDelegate::textRoom(const QFontMetrics &fm, const QString &text, int inset)
{
    // The text's exact width rounded up: a width rounded down can be a
    // fraction short, and the text would be cut.
    return int(std::ceil(QFontMetricsF(fm).horizontalAdvance(text))) + 2 * inset + 1;
}

int TResultGridDelegate::textWidth(const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    const GridLayout &layout = model_->layout();
    // The cell's rectangle lies inside the grid line.
    int room = option.rect.width() - 2 * layout.textInset;
    if (index.column() != layout.sizeColumn && index.data(ResultGridModel::MarkRole).toBool())
        room -= 18 - layout.textInset;
    return std::max(room, 0);
}

bool TResultGridDelegate::fits(const QStyleOptionViewItem &option, const QModelIndex &index, const QString &text) const
{
    // Exactly when painting does not cut it.
    return option.fontMetrics.elidedText(text, Qt::ElideRight, textWidth(option, index)) == text;
}

bool TResultGridDelegate::helpEvent(QHelpEvent *event, QAbstractItemView *view, const QStyleOptionViewItem &option,
                                    const QModelIndex &index)
{
    // A cut text shows whole; elsewhere the grid's own hint shows.
    if (event->type() == QEvent::ToolTip && index.isValid()) {
        const QString text = index.data(Qt::DisplayRole).toString();
        if (!fits(option, index, text)) {
            QToolTip::showText(event->globalPos(), text, view, option.rect);
            return true;
        }
    }
    return false;
}

QSize TResultGridDelegate::sizeHint(const QStyleOptionViewItem &, const QModelIndex &) const
{
    return QSize(64, 18);
}

#pragma once
#include <QPixmap>
#include <QStyledItemDelegate>

class ResultGridModel;

// Draws the result grid's cells: text 2 pixels below the top, right-aligned
// in the size column, the mark glyph in a marked mark cell with its text
// moved right of the glyph. A text that does not fit its cell ends in "…"
// and shows whole in the cell's tooltip (the size column is kept wide
// enough for its numbers and never cut).
class TResultGridDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    TResultGridDelegate(const ResultGridModel *model, QObject *parent = nullptr);
    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override;
    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override;
    bool helpEvent(QHelpEvent *event, QAbstractItemView *view, const QStyleOptionViewItem &option,
                   const QModelIndex &index) override;

    // The cell width a text needs: its width, the inset on both sides and
    // the grid line.
    static int textRoom(const QFontMetrics &fm, const QString &text, int inset);
    // The width the text of a cell may take, and whether it fits there.
    int textWidth(const QStyleOptionViewItem &option, const QModelIndex &index) const;
    bool fits(const QStyleOptionViewItem &option, const QModelIndex &index, const QString &text) const;

    // The 16 by 16 mark: purple (128, 0, 128) pixels on a transparent ground.
    static const QPixmap &markGlyph();

private:
    const ResultGridModel *model_;
};

#pragma once
#include <QPixmap>
#include <QStyledItemDelegate>

class ResultGridModel;

// Draws the result grid's cells: text 2 pixels below the top, right-aligned
// in the size column, the mark glyph in a marked mark cell with its text
// moved right of the glyph.
class TResultGridDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    TResultGridDelegate(const ResultGridModel *model, QObject *parent = nullptr);
    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override;
    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override;

    // The 16 by 16 mark: purple (128, 0, 128) pixels on a transparent ground.
    static const QPixmap &markGlyph();

private:
    const ResultGridModel *model_;
};

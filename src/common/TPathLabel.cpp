#include "common/TPathLabel.h"

TPathLabel::TPathLabel(QWidget *parent) : QLabel(parent) {}

void TPathLabel::setPath(const QString &path)
{
    path_ = path;
    setToolTip(path);
    elide();
}

void TPathLabel::resizeEvent(QResizeEvent *e)
{
    QLabel::resizeEvent(e);
    elide();
}

void TPathLabel::elide() { setText(shortened(path_, fontMetrics(), contentsRect().width())); }

QString TPathLabel::shortened(const QString &path, const QFontMetrics &fm, int width)
{
    const QString middle = fm.elidedText(path, Qt::ElideMiddle, width);
    // The last two names: the file's own and its folder's (from the slash
    // before the folder), or the whole path when it has no such slash.
    const qsizetype last = path.lastIndexOf(QLatin1Char('/'));
    const qsizetype cut = last > 0 ? path.lastIndexOf(QLatin1Char('/'), last - 1) : -1;
    const QString tail = cut > 0 ? path.mid(cut) : path;
    if (middle == path || middle.endsWith(tail))
        return middle;
    // Cut in the middle, the halves are as wide as each other: a long name
    // would lose its start and its folder, and files of one name in folders
    // of different names would look alike. The end is kept whole instead,
    // after as much of the start as the rest of the room takes.
    if (cut > 0) {
        const QString kept = fm.elidedText(path.left(cut), Qt::ElideRight, width - fm.horizontalAdvance(tail)) + tail;
        if (kept != tail && fm.horizontalAdvance(kept) <= width)
            return kept;
    }
    // Not even the end fits: as much of it as fits.
    return fm.elidedText(path, Qt::ElideLeft, width);
}

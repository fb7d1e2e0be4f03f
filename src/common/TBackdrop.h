#pragma once
#include <QPixmap>

class QWidget;

// The program's window backgrounds: a tiled bitmap of our own, and the
// blue-to-black vertical gradient used on displays below 15 bits of colour.
namespace TBackdrop {
// The tile (drawn once, then shared).
const QPixmap &tile();
// Fills the widget's background with the tile.
void applyTile(QWidget *w);
// Fills the widget's background with the gradient from blue at the top to
// black at the bottom of its current height.
void applyGradient(QWidget *w);
}

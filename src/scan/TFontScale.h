#pragma once
#include <QPoint>
#include <QRect>
#include <QSize>

class QWidget;

// Windows laid out in fixed pixels were drawn for a font whose digits are
// 6 pixels wide on a 96 dots-per-inch screen. These scale such geometry to
// the font and screen in use (GridLayout::widthScale: the larger of the
// screen's and the font's ratio), so every label, caption and column keeps
// its whole text. A window scales its geometry once, when it is first shown.
namespace TFontScale {
// The factor for w's font and screen (never below 1).
double factor(const QWidget *w);

int scaled(int v, double f);
QPoint scaled(QPoint p, double f);
QSize scaled(QSize s, double f);
// Edges are scaled, so neighbouring rectangles stay neighbours.
QRect scaled(const QRect &r, double f);

// Scales the place and size of every child widget of parent, a widget
// without a layout (a fixed size stays fixed, at the scaled size), and the
// children of plain containers among them that have no layout either.
void scaleChildren(QWidget *parent, double f);

// A window's size as designed, scaled and kept within the screen it is on.
QSize windowSize(const QWidget *window, QSize designed, double f);

// A window of fixed size laid out in pixels: its children and its size (as
// designed) scaled to its font. Called once, when its controls are placed.
void scaleFixedWindow(QWidget *window, QSize designed);
}

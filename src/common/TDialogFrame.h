#pragma once
#include <Qt>

class QWidget;

// A dialog frame: a title bar with a close box only, and a size the user
// cannot change. Qt announces such a window as a dialog, transient for its
// parent (and modal while shown modally), with no minimise or maximise
// function; a size that cannot change (the same minimum and maximum in the
// size hints) is what makes window managers drop resizing and maximising.
// Qt honours the fixed-size flag only on Windows, so hold() gives the window
// its fixed size here.
namespace TDialogFrame {
inline constexpr Qt::WindowFlags flags = Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
    | Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint;

// Whether w is a window that asks for a dialog frame.
bool wanted(const QWidget *w);

// Holds such a window at its size (at least what its layout needs); a window
// laid out in pixels has fixed its size already and stays as it is. Other
// windows are left alone.
void hold(QWidget *w);
}

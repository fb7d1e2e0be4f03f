#pragma once
#include <QUrl>
#include <functional>

// The shell's "open" action: a file or web address opened with the
// program the desktop associates with it (xdg-open).
namespace TShell {
using Opener = std::function<bool(const QUrl &)>;
// False when the desktop could not start a program for it.
bool open(const QUrl &url);
// Tests replace the opener; an empty one restores the desktop's. Returns the previous one.
Opener setOpener(Opener o);
}

#include "common/TShell.h"

#include <QDesktopServices>

namespace {
TShell::Opener &opener()
{
    static TShell::Opener o;
    return o;
}
}

bool TShell::open(const QUrl &url)
{
    if (opener())
        return opener()(url);
    return QDesktopServices::openUrl(url);
}

TShell::Opener TShell::setOpener(Opener o)
{
    Opener old = std::move(opener());
    opener() = std::move(o);
    return old;
}

#include "settings/TWinPlace.h"

#include "platform/AtomicFile.h"
#include "platform/Paths.h"

#include <QApplication>
#include <QEvent>
#include <QFileInfo>
#include <QScreen>
#include <QSettings>
#include <QWidget>

#include <algorithm>

namespace {
QSettings store()
{
    return QSettings(QString::fromStdString(Paths::settingsFile("registry.ini")), QSettings::IniFormat);
}

// False when the store is something other than a regular file of a sane
// size: it is then neither read (a FIFO would block) nor replaced.
bool storeUsable()
{
    return AtomicFile::refusalOf(Paths::settingsFile("registry.ini")).empty();
}
}

TWinPlace::TWinPlace(QWidget *window)
    : QObject(window), window_(window)
{
    const QString app = QCoreApplication::applicationFilePath();
    Section = app.isEmpty() ? QStringLiteral("vantor") : QFileInfo(app).fileName();
    Identifier = window->objectName();
    window->installEventFilter(this);
}

QString TWinPlace::storeKey() const
{
    QString k = IniFileName;
    k.replace(QLatin1Char('\\'), QLatin1Char('/'));
    while (k.endsWith(QLatin1Char('/')))
        k.chop(1);
    return k + QLatin1Char('/') + Section + QLatin1Char('/') + Identifier;
}

QString TWinPlace::read() const
{
    if (!storeUsable())
        return {};
    return store().value(storeKey()).toString();
}

bool TWinPlace::hasStored() const
{
    return !read().isEmpty();
}

QString TWinPlace::format(const Fields &f, const QString &delimiter)
{
    QString s;
    for (int v : f)
        s += QString::number(v) + delimiter;
    return s;
}

TWinPlace::Fields TWinPlace::parse(const QString &text, const QString &delimiter)
{
    Fields f{};
    QString rest = text;
    for (int i = 0; i < 10; ++i) {
        QString number;
        const qsizetype at = delimiter.isEmpty() ? -1 : rest.indexOf(delimiter);
        if (at < 0) {
            number = rest;
            rest.clear();
        } else {
            number = rest.left(at);
            rest = rest.mid(at + delimiter.size(), 255);
        }
        bool ok = false;
        const int v = number.toInt(&ok);
        f[size_t(i)] = ok ? v : (i == 1 ? 1 : 0);
    }
    return f;
}

void TWinPlace::save()
{
    if (!window_)
        return;
    const QRect r = window_->isMaximized() || window_->isMinimized() ? window_->normalGeometry() : window_->geometry();
    int show = window_->isMinimized() ? 2 : window_->isMaximized() ? 3 : 1;
    if (show == 1 && isMainWindow && window_->windowState().testFlag(Qt::WindowMinimized))
        show = 2;
    if (show == 1 && isMainWindow) {
        for (QWidget *w : QApplication::topLevelWidgets())
            if (w->isVisible() && w->isMinimized())
                show = 2;
    }
    const Fields f{0, show, -1, -1, -1, -1, r.left(), r.top(), r.left() + r.width(), r.top() + r.height()};
    if (!storeUsable())
        return;
    QSettings s = store();
    s.setValue(storeKey(), format(f, Delimiter));
    s.sync();
}

void TWinPlace::restore()
{
    if (!window_)
        return;
    const Fields f = parse(read(), Delimiter);
    if (!(f[6] < f[8])) {
        // Maximised without a normal placement: maximised over the window's
        // centred default.
        if (f[1] == 3)
            window_->setWindowState(window_->windowState() | Qt::WindowMaximized);
        return;
    }
    // The whole window, its frame included, goes onto the screen.
    const QRect g = window_->geometry(), frame = window_->frameGeometry();
    const QMargins m(g.left() - frame.left(), g.top() - frame.top(), frame.right() - g.right(),
                     frame.bottom() - g.bottom());
    window_->setGeometry(onScreen(QRect(f[6], f[7], f[8] - f[6], f[9] - f[7]).marginsAdded(m)).marginsRemoved(m));
    if (f[1] == 3)
        window_->setWindowState(window_->windowState() | Qt::WindowMaximized);
}

QRect TWinPlace::onScreen(const QRect &stored)
{
    // The screen that shows most of the rectangle, else the one nearest to
    // it: a placement saved on a monitor that is gone must not open a window
    // where nobody can see it.
    QScreen *best = nullptr;
    qint64 bestArea = -1;
    qint64 bestDistance = 0;
    for (QScreen *s : QGuiApplication::screens()) {
        const QRect area = s->availableGeometry();
        const QRect common = area.intersected(stored);
        const qint64 shown = common.isEmpty() ? 0 : qint64(common.width()) * common.height();
        const QPoint d = area.center() - stored.center();
        const qint64 distance = qint64(d.x()) * d.x() + qint64(d.y()) * d.y();
        if (!best || shown > bestArea || (shown == bestArea && distance < bestDistance)) {
            best = s;
            bestArea = shown;
            bestDistance = distance;
        }
    }
    if (!best)
        return stored;
    const QRect area = best->availableGeometry();
    // A window that fits the screen, with its top edge (its title bar) and
    // at least half its width on it, stays where the user put it.
    const QRect shown = area.intersected(stored);
    if (stored.width() <= area.width() && stored.height() <= area.height() && stored.top() >= area.top()
        && stored.top() <= area.bottom() && shown.width() * 2 >= stored.width())
        return stored;
    QRect r(stored.topLeft(), stored.size().boundedTo(area.size()));
    r.moveLeft(std::clamp(r.left(), area.left(), area.right() - r.width() + 1));
    r.moveTop(std::clamp(r.top(), area.top(), area.bottom() - r.height() + 1));
    return r;
}

void TWinPlace::centre()
{
    if (!window_)
        return;
    QScreen *screen = window_->screen() ? window_->screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return;
    QRect r = window_->frameGeometry();
    r.moveCenter(screen->availableGeometry().center());
    window_->move(r.topLeft());
}

bool TWinPlace::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == window_ && event->type() == QEvent::Show && !event->spontaneous())
        restore();
    return QObject::eventFilter(watched, event);
}

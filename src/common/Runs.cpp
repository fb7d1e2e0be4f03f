#include "common/Runs.h"

#include <algorithm>
#include <vector>

namespace {
struct Running {
    const Runs::Token *token;
    QString what;
    std::function<void()> stop;
};
// The runs going on, outermost first. Runs nest on one thread, but a token
// may be held by an object that ends out of order, so each removes itself.
std::vector<Running> &running()
{
    static std::vector<Running> r;
    return r;
}
bool g_quit = false;
}

Runs::Token::Token(const QString &what, std::function<void()> stop)
{
    running().push_back({this, what, std::move(stop)});
}

Runs::Token::~Token()
{
    auto &r = running();
    r.erase(std::find_if(r.begin(), r.end(), [this](const Running &e) { return e.token == this; }));
}

bool Runs::anyRunning() { return !running().empty(); }

QString Runs::current() { return running().empty() ? QString() : running().back().what; }

QString Runs::busyText()
{
    return QStringLiteral("Please wait: ") + current()
        + QStringLiteral(" is still running. Let it finish or abort it, then try again.");
}

void Runs::requestQuit()
{
    g_quit = true;
    stopAll();
}

bool Runs::quitRequested() { return g_quit; }

void Runs::stopAll()
{
    // A stop function only sets flags; the copy keeps this safe should one
    // of them end a run all the same.
    const std::vector<Running> now = running();
    for (auto it = now.rbegin(); it != now.rend(); ++it)
        if (it->stop)
            it->stop();
}

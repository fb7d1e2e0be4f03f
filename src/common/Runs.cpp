#include "common/Runs.h"

#include <algorithm>
#include <utility>
#include <vector>

namespace {
// The runs going on, outermost first. Runs nest on one thread, but a token
// may be held by an object that ends out of order, so each removes itself.
std::vector<std::pair<const Runs::Token *, QString>> &running()
{
    static std::vector<std::pair<const Runs::Token *, QString>> r;
    return r;
}
}

Runs::Token::Token(const QString &what) { running().emplace_back(this, what); }

Runs::Token::~Token()
{
    auto &r = running();
    r.erase(std::find_if(r.begin(), r.end(), [this](const auto &e) { return e.first == this; }));
}

bool Runs::anyRunning() { return !running().empty(); }

QString Runs::current() { return running().empty() ? QString() : running().back().second; }

QString Runs::busyText()
{
    return QStringLiteral("Please wait: ") + current()
        + QStringLiteral(" is still running. Let it finish or abort it, then try again.");
}

#include "scan/WildMatch.h"

namespace {
// Iterative wildcard match with single-star backtracking: linear in practice,
// never exponential.
template <typename Ch, typename Fold>
bool matchFolded(const Ch *p, size_t pn, const Ch *s, size_t sn, Fold fold)
{
    size_t pi = 0, si = 0, starP = size_t(-1), starS = 0;
    while (si < sn) {
        if (pi < pn && p[pi] == Ch('*')) {
            starP = pi++;
            starS = si;
        } else if (pi < pn && (p[pi] == Ch('?') || p[pi] == fold(s[si]))) {
            ++pi;
            ++si;
        } else if (starP != size_t(-1)) {
            pi = starP + 1;
            si = ++starS;
        } else {
            return false;
        }
    }
    while (pi < pn && p[pi] == Ch('*'))
        ++pi;
    return pi == pn;
}

bool isAscii(const QString &s)
{
    for (QChar c : s)
        if (c.unicode() >= 0x80)
            return false;
    return true;
}
}

WildPattern::WildPattern(const QString &pattern)
    : text_(pattern), folded_(pattern.toCaseFolded())
{
    all_ = pattern == QLatin1String("*.*") || pattern == QLatin1String("*");
    asciiOnly_ = isAscii(folded_);
    if (asciiOnly_)
        latin_ = folded_.toLatin1();
}

bool WildPattern::matches(std::string_view name) const
{
    if (all_)
        return true;
    bool ascii = asciiOnly_;
    if (ascii)
        for (unsigned char c : name)
            if (c >= 0x80) {
                ascii = false;
                break;
            }
    if (ascii) {
        return matchFolded(latin_.constData(), size_t(latin_.size()), name.data(), name.size(), [](char c) {
            return (c >= 'A' && c <= 'Z') ? char(c + 32) : c;
        });
    }
    return matches(QString::fromUtf8(name.data(), qsizetype(name.size())));
}

bool WildPattern::matches(const QString &name) const
{
    if (all_)
        return true;
    const QString n = name.toCaseFolded();
    return matchFolded(folded_.constData(), size_t(folded_.size()), n.constData(), size_t(n.size()),
                       [](QChar c) { return c; });
}

bool wildMatch(const QString &pattern, const QString &name)
{
    return WildPattern(pattern).matches(name);
}

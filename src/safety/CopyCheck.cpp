#include "safety/CopyCheck.h"

#include "common/Text.h"
#include "platform/ContentFile.h"

#include <QStringList>

#include <cerrno>

CopyCheck::CopyCheck(const std::vector<std::vector<std::string>> &groups)
{
    for (const auto &g : groups) {
        if (g.size() < 2)
            continue;
        for (const std::string &p : g)
            groupOf_.emplace(p, uint32_t(groups_.size()));
        groups_.push_back(g);
    }
}

void CopyCheck::begin(const std::vector<std::string> &acted)
{
    staying_.clear();
    const std::unordered_set<std::string> going(acted.begin(), acted.end());
    for (const auto &g : groups_)
        for (const std::string &p : g)
            if (!going.count(p))
                staying_.insert(p);
    changed_ = uncompared_ = 0;
}

bool CopyCheck::allows(const std::string &path)
{
    const auto it = groupOf_.find(path);
    if (it == groupOf_.end())
        return true;
    bool anyStays = false, anyRead = false;
    for (const std::string &other : groups_[it->second]) {
        if (other == path || !staying_.count(other))
            continue;
        anyStays = true;
        int error = 0;
        switch (ContentFile::compare(path, other, error)) {
        case ContentFile::Match::Same:
            return true;
        case ContentFile::Match::Differ:
            anyRead = true;
            break;
        case ContentFile::Match::FirstUnreadable:
            // Gone already: the run's own removal reports it.
            if (error == ENOENT)
                return true;
            ++uncompared_;
            keep(path);
            return false;
        case ContentFile::Match::SecondUnreadable:
            break;
        }
    }
    if (!anyStays)
        return true;
    ++(anyRead ? changed_ : uncompared_);
    keep(path);
    return false;
}

void CopyCheck::keep(const std::string &path)
{
    if (groupOf_.count(path))
        staying_.insert(path);
}

QString CopyCheck::leftText() const
{
    QStringList parts;
    if (changed_ == 1)
        parts << QStringLiteral("1 file was left in place: its contents no longer match the copy that stays.");
    else if (changed_ > 1)
        parts << formatThousands(changed_)
                + QStringLiteral(" files were left in place: their contents no longer match the copies that stay.");
    if (uncompared_ == 1)
        parts << QStringLiteral("1 file was left in place: it could not be compared with a copy that stays.");
    else if (uncompared_ > 1)
        parts << formatThousands(uncompared_)
                + QStringLiteral(" files were left in place: they could not be compared with a copy that stays.");
    return parts.join(QLatin1Char(' '));
}

#pragma once
#include <QString>
#include <cstdint>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

// Files a search listed as holding the same bytes, looked at again just
// before a run of the deletion window removes, trashes or zips away one of
// them. A file can change after the search without its times showing it
// (a program writing through a memory mapping it dirtied earlier), so the
// listing alone is no proof that a copy stays: a file is let go only while
// its bytes still equal those of a member of its group that stays (one not
// acted on in this run, or one the run has left in place). A file that no
// longer matches, or that cannot be compared with any copy that stays, is
// left where it is and counted. A file of no group, or of a group whose
// every member the run acts on, is let go unchecked: no copy was meant to
// stay.
class CopyCheck {
public:
    CopyCheck() = default;
    // Each group's paths as found.
    explicit CopyCheck(const std::vector<std::vector<std::string>> &groups);

    // The files the run acts on: the members of their groups not among
    // them are the copies that stay.
    void begin(const std::vector<std::string> &acted);
    // Whether path may be acted on now (see above); false leaves it in
    // place and counts it.
    bool allows(const std::string &path);
    // The run left path in place (a failure, a refusal): later files of its
    // group may be compared with it.
    void keep(const std::string &path);

    // Files left because their bytes no longer match a copy that stays, and
    // because no copy that stays could be compared with them.
    int64_t changed() const { return changed_; }
    int64_t uncompared() const { return uncompared_; }
    int64_t left() const { return changed_ + uncompared_; }
    // What the closing message says of them; empty when none was left.
    QString leftText() const;

private:
    std::vector<std::vector<std::string>> groups_;
    std::unordered_map<std::string, uint32_t> groupOf_;
    std::unordered_set<std::string> staying_;
    int64_t changed_ = 0;
    int64_t uncompared_ = 0;
};

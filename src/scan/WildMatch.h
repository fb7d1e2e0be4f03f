#pragma once
#include <QString>
#include <string_view>

// A name pattern as the finders use it: "*" matches any run of characters
// (also none), "?" any one character, letters match without regard to case,
// every other character matches itself, and "*.*" matches every name, also
// one without a dot. Names are bytes; they are compared as UTF-8 text.
class WildPattern {
public:
    explicit WildPattern(const QString &pattern = QStringLiteral("*.*"));
    bool matches(std::string_view name) const;
    bool matches(const QString &name) const;
    bool matchesAll() const { return all_; }
    const QString &text() const { return text_; }

private:
    QString text_;
    QString folded_;
    QByteArray latin_;
    bool all_ = false;
    bool asciiOnly_ = false;
};

// One-off match of a name against a pattern.
bool wildMatch(const QString &pattern, const QString &name);

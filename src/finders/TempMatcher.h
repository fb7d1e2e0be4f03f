#pragma once
#include <QStringList>
#include <string>
#include <string_view>
#include <unordered_set>

// Tells whether a file name is temporary for a set of pattern rows: the
// name's extension, in lower case, equals a row's extension in lower case. A
// row's extension is its text from the second character up to the first tab;
// the first character is dropped whatever it is and "*" or "?" after it are
// plain characters, so "*.~*" is satisfied only by the literal extension
// ".~*" and "*" alone by every name without an extension.
class TempMatcher {
public:
    explicit TempMatcher(const QStringList &rows = {});
    bool isTemporary(std::string_view name) const;
    bool isTemporary(const QString &name) const;
    bool empty() const { return extensions_.empty(); }

private:
    std::unordered_set<std::string> extensions_; // lower-cased, UTF-8
};

#include "finders/TempMatcher.h"

#include "finders/TempPatterns.h"

#include <QStringDecoder>

namespace {
std::string lowerUtf8(const QString &s)
{
    const QByteArray b = s.toLower().toUtf8();
    return std::string(b.constData(), size_t(b.size()));
}
}

TempMatcher::TempMatcher(const QStringList &rows)
{
    for (const QString &row : rows)
        extensions_.insert(lowerUtf8(TempPatterns::patternOf(row).mid(1)));
}

bool TempMatcher::isTemporary(std::string_view name) const
{
    if (extensions_.empty())
        return false;
    const std::string_view ext = TempPatterns::extensionOf(name);
    bool ascii = true;
    std::string key(ext);
    for (char &c : key) {
        if (static_cast<unsigned char>(c) >= 0x80)
            ascii = false;
        else if (c >= 'A' && c <= 'Z')
            c = char(c - 'A' + 'a');
    }
    if (ascii)
        return extensions_.count(key) != 0;
    // Other letters are lowered as text; bytes that are not UTF-8 cannot
    // equal a pattern, which is text.
    QStringDecoder decode(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = decode(QByteArrayView(ext.data(), qsizetype(ext.size())));
    if (decode.hasError())
        return false;
    return extensions_.count(lowerUtf8(text)) != 0;
}

bool TempMatcher::isTemporary(const QString &name) const
{
    return !extensions_.empty() && extensions_.count(lowerUtf8(TempPatterns::extensionOf(name))) != 0;
}

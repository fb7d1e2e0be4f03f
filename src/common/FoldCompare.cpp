#include "common/FoldCompare.h"

#include <QChar>
#include <cstdint>

namespace {
// Decodes one character at p (p < end); advances p. Malformed bytes give
// 0x110000 + the byte.
char32_t decode(const unsigned char *&p, const unsigned char *end)
{
    const unsigned char c = *p;
    if (c < 0x80) {
        ++p;
        return c;
    }
    int len = 0;
    char32_t cp = 0;
    if (c >= 0xc2 && c <= 0xdf) {
        len = 2;
        cp = c & 0x1f;
    } else if (c >= 0xe0 && c <= 0xef) {
        len = 3;
        cp = c & 0x0f;
    } else if (c >= 0xf0 && c <= 0xf4) {
        len = 4;
        cp = c & 0x07;
    }
    if (len == 0 || end - p < len) {
        ++p;
        return 0x110000 + c;
    }
    for (int i = 1; i < len; ++i) {
        if ((p[i] & 0xc0) != 0x80) {
            ++p;
            return 0x110000 + c;
        }
        cp = (cp << 6) | (p[i] & 0x3f);
    }
    // Overlong forms and surrogates are malformed too.
    if ((len == 3 && cp < 0x800) || (len == 4 && (cp < 0x10000 || cp > 0x10ffff)) || (cp >= 0xd800 && cp <= 0xdfff)) {
        ++p;
        return 0x110000 + c;
    }
    p += len;
    return cp;
}

inline char32_t upper(char32_t cp)
{
    if (cp < 0x80)
        return (cp >= 'a' && cp <= 'z') ? cp - 32 : cp;
    if (cp > 0x10ffff)
        return cp;
    return QChar::toUpper(cp);
}
}

int foldCompare(std::string_view a, std::string_view b)
{
    auto *p = reinterpret_cast<const unsigned char *>(a.data());
    auto *q = reinterpret_cast<const unsigned char *>(b.data());
    const auto *pe = p + a.size();
    const auto *qe = q + b.size();
    while (p < pe && q < qe) {
        unsigned char x = *p, y = *q;
        if (x < 0x80 && y < 0x80) {
            if (x != y) {
                if (x >= 'a' && x <= 'z')
                    x -= 32;
                if (y >= 'a' && y <= 'z')
                    y -= 32;
                if (x != y)
                    return x < y ? -1 : 1;
            }
            ++p;
            ++q;
            continue;
        }
        const char32_t u = upper(decode(p, pe));
        const char32_t v = upper(decode(q, qe));
        if (u != v)
            return u < v ? -1 : 1;
    }
    if (p < pe)
        return 1;
    if (q < qe)
        return -1;
    return 0;
}

unsigned __int128 foldPrefix(std::string_view text, int chars)
{
    auto *p = reinterpret_cast<const unsigned char *>(text.data());
    const auto *end = p + text.size();
    unsigned __int128 key = 0;
    int k = 0;
    for (; k < chars && p < end; ++k) {
        const char32_t c = upper(decode(p, end));
        key = (key << 7) | (c < 0x7f ? c : 0x7f);
        if (c >= 0x7f) {
            ++k;
            break;
        }
    }
    return key << (7 * (chars - k));
}

#include "inspect/ViewText.h"

namespace {
// The length of a valid UTF-8 sequence at p (with n bytes left), or 0.
int utf8Length(const uint8_t *p, size_t n, char32_t &cp)
{
    const uint8_t c = p[0];
    int len;
    char32_t min;
    if (c < 0x80) {
        cp = c;
        return 1;
    } else if ((c & 0xE0) == 0xC0) {
        len = 2;
        cp = c & 0x1F;
        min = 0x80;
    } else if ((c & 0xF0) == 0xE0) {
        len = 3;
        cp = c & 0x0F;
        min = 0x800;
    } else if ((c & 0xF8) == 0xF0) {
        len = 4;
        cp = c & 0x07;
        min = 0x10000;
    } else {
        return 0;
    }
    if (size_t(len) > n)
        return 0;
    for (int k = 1; k < len; ++k) {
        if ((p[k] & 0xC0) != 0x80)
            return 0;
        cp = (cp << 6) | (p[k] & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
        return 0;
    return len;
}
}

QString ViewText::textRow(const std::string &bytes, bool expand, int tabSize, std::vector<int> *columns)
{
    QString out;
    out.reserve(int(std::min<size_t>(bytes.size(), kMaxColumns)));
    if (columns)
        columns->assign(bytes.size() + 1, 0);
    const auto *p = reinterpret_cast<const uint8_t *>(bytes.data());
    const size_t n = bytes.size();
    size_t i = 0;
    while (i < n) {
        if (columns)
            (*columns)[i] = int(out.size());
        if (out.size() >= kMaxColumns) {
            ++i;
            continue;
        }
        const uint8_t c = p[i];
        if (c == '\t') {
            if (expand && tabSize > 0) {
                const qsizetype to = (out.size() / tabSize + 1) * tabSize;
                out.append(QString(to - out.size(), QLatin1Char(' ')));
            } else {
                out.append(QChar(0x2409));
            }
            ++i;
            continue;
        }
        if (c == '\r' && i + 1 == n) {
            // The carriage return of a CR LF line end is not shown.
            ++i;
            continue;
        }
        if (c < 0x20) {
            out.append(QChar(char16_t(0x2400 + c)));
            ++i;
            continue;
        }
        if (c == 0x7F) {
            out.append(QChar(0x2421));
            ++i;
            continue;
        }
        char32_t cp = 0;
        const int len = utf8Length(p + i, n - i, cp);
        if (len == 0) {
            out.append(QChar(0xFFFD));
            ++i;
            continue;
        }
        if (columns)
            for (int k = 1; k < len; ++k)
                (*columns)[i + size_t(k)] = int(out.size());
        if (cp >= 0x80 && cp < 0xA0)
            out.append(QChar(0xFFFD)); // C1 controls
        else
            out.append(QString::fromUcs4(&cp, 1));
        i += size_t(len);
    }
    if (columns)
        (*columns)[n] = int(out.size());
    if (out.size() > kMaxColumns)
        out.truncate(kMaxColumns);
    return out;
}

int ViewText::hexDigits(uint64_t size)
{
    int d = 8;
    while (d < 16 && (size >> (4 * d)) != 0)
        ++d;
    return d;
}

int ViewText::hexColumn(int i, int offsetDigits) { return offsetDigits + 2 + 3 * i + (i >= 8 ? 1 : 0); }

QString ViewText::hexRow(uint64_t offset, const std::string &bytes, int offsetDigits)
{
    static const char digits[] = "0123456789ABCDEF";
    QString out = QStringLiteral("%1").arg(offset, offsetDigits, 16, QLatin1Char('0')).toUpper();
    out += QStringLiteral("  ");
    for (size_t i = 0; i < 16; ++i) {
        if (i == 8)
            out += QLatin1Char(' ');
        if (i < bytes.size()) {
            const uint8_t b = uint8_t(bytes[i]);
            out += QLatin1Char(digits[b >> 4]);
            out += QLatin1Char(digits[b & 15]);
            out += QLatin1Char(' ');
        } else {
            out += QStringLiteral("   ");
        }
    }
    out += QLatin1Char(' ');
    for (size_t i = 0; i < bytes.size() && i < 16; ++i) {
        const uint8_t b = uint8_t(bytes[i]);
        out += (b >= 0x20 && b < 0x7F) ? QLatin1Char(char(b)) : QLatin1Char('.');
    }
    return out;
}

std::vector<QString> ViewText::selectionLines(std::vector<QString> lines, int startColumn, int endColumn)
{
    if (lines.empty())
        return lines;
    QString &last = lines.back();
    last.truncate(std::max(0, endColumn));
    QString &first = lines.front();
    const int blanks = std::min<int>(std::max(0, startColumn), int(first.size()));
    first.replace(0, blanks, QString(blanks, QLatin1Char(' ')));
    return lines;
}

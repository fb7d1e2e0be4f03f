#include "common/Text.h"

#include <QLocale>
#include <QStringDecoder>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

QString sizeWithUnit(int64_t bytes)
{
    return QLocale().formattedDataSize(bytes, 1, QLocale::DataSizeIecFormat);
}

QString formatThousands(int64_t n)
{
    return QLocale().toString(qlonglong(n));
}

QString countedText(int64_t n, const char *one, const char *many)
{
    return formatThousands(n) + QLatin1Char(' ') + QLatin1String(n == 1 ? one : many);
}

QString tabField(const QString &line, int n)
{
    if (n < 1)
        return {};
    qsizetype start = 0;
    for (int i = 1; i < n; ++i) {
        const qsizetype tab = line.indexOf(QLatin1Char('\t'), start);
        if (tab < 0)
            return {};
        start = tab + 1;
    }
    qsizetype end = line.indexOf(QLatin1Char('\t'), start);
    if (end < 0)
        end = line.size();
    return trimSpaces(QStringView(line).mid(start, end - start)).toString();
}

QStringView trimSpaces(QStringView s)
{
    qsizetype a = 0, b = s.size();
    while (a < b && s.at(a) == QLatin1Char(' '))
        ++a;
    while (b > a && s.at(b - 1) == QLatin1Char(' '))
        --b;
    return s.mid(a, b - a);
}

std::string joinPath(const std::string &folder, const std::string &name)
{
    if (!folder.empty() && folder.back() == '/')
        return folder + name;
    return folder + "/" + name;
}

QString displayName(const std::string &bytes)
{
    QString s(qsizetype(bytes.size()), Qt::Uninitialized);
    s.truncate(displayNameInto(s.data(), bytes) - s.constData());
    return s;
}

QChar *displayNameInto(QChar *out, std::string_view bytes)
{
    // Printable ASCII, as most names are, is written as it is (and written
    // over below when it turns out to be something else), sixteen bytes at
    // a time where the processor allows.
    bool printable = true;
    size_t i = 0;
#ifdef __SSE2__
    const __m128i zero = _mm_setzero_si128(), low = _mm_set1_epi8(0x1f), high = _mm_set1_epi8(0x7f);
    __m128i bad = zero;
    for (; i + 16 <= bytes.size(); i += 16) {
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i *>(bytes.data() + i));
        // Signed compares: bytes of 0x80 and above are negative, so below 0x20.
        const __m128i notBelow = _mm_cmpgt_epi8(b, low);
        bad = _mm_or_si128(bad, _mm_or_si128(_mm_xor_si128(notBelow, _mm_set1_epi8(-1)), _mm_cmpeq_epi8(b, high)));
        _mm_storeu_si128(reinterpret_cast<__m128i *>(out + i), _mm_unpacklo_epi8(b, zero));
        _mm_storeu_si128(reinterpret_cast<__m128i *>(out + i + 8), _mm_unpackhi_epi8(b, zero));
    }
    printable = _mm_movemask_epi8(bad) == 0;
#endif
    for (; i < bytes.size(); ++i) {
        const char c = bytes[i];
        printable &= uint8_t(c - 0x20) < 0x5f;
        out[i] = QLatin1Char(c);
    }
    if (printable)
        return out + bytes.size();
    // Decoded as QString::fromUtf8 decodes (a bad sequence becomes U+FFFD),
    // without a string of its own.
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QChar *const end = utf8.appendToBuffer(out, QByteArrayView(bytes.data(), qsizetype(bytes.size())));
    for (QChar *c = out; c != end; ++c) {
        const ushort u = c->unicode();
        if (u < 0x20)
            *c = QChar(ushort(0x2400 + u));
        else if (u == 0x7f)
            *c = QChar(ushort(0x2421));
    }
    return end;
}

QString asciiUpper(const QString &s)
{
    QString r = s;
    for (QChar &c : r)
        if (c.unicode() >= 'a' && c.unicode() <= 'z')
            c = QChar(ushort(c.unicode() - 32));
    return r;
}

#include "finders/PictureHash.h"

#include "platform/AnchoredPath.h"
#include "platform/ContentFile.h"

#include <QBuffer>
#include <QImageReader>
#include <QPainter>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <numbers>

namespace {
constexpr int kThumb = 32; // the grey thumbnail's side
constexpr int kKeep = 8;   // the lowest frequencies kept per direction
// Decoding stops at this side: enough detail for a 32-pixel thumbnail
// averaged from it, and the JPEG decoder scales by up to 1/8 on the way.
constexpr int kDecodeSide = 128;

// cos((2x + 1) u pi / 64) for the kept frequencies u and every column x.
const std::array<std::array<float, kThumb>, kKeep> &cosines()
{
    static const auto table = [] {
        std::array<std::array<float, kThumb>, kKeep> t{};
        for (int u = 0; u < kKeep; ++u)
            for (int x = 0; x < kThumb; ++x)
                t[size_t(u)][size_t(x)] = float(std::cos((2 * x + 1) * u * std::numbers::pi / (2 * kThumb)));
        return t;
    }();
    return table;
}

bool startsWith(const QByteArray &b, const char *magic, size_t n)
{
    return size_t(b.size()) >= n && std::memcmp(b.constData(), magic, n) == 0;
}

// A JPEG ends with an end-of-image marker after its first scan. The segments
// before the scan are skipped by their lengths (an embedded thumbnail has a
// marker of its own inside them); in the scan's data a 0xFF byte is always
// followed by 0x00, a restart marker or a real marker, so FF D9 there is the
// end. A file cut short has none.
bool jpegComplete(const QByteArray &b)
{
    const auto *p = reinterpret_cast<const unsigned char *>(b.constData());
    const size_t n = size_t(b.size());
    size_t at = 2;
    while (at + 4 <= n) {
        if (p[at] != 0xFF)
            return false;
        const unsigned char marker = p[at + 1];
        if (marker == 0xFF) { // fill byte
            ++at;
            continue;
        }
        const size_t length = size_t(p[at + 2]) << 8 | p[at + 3];
        if (marker == 0xDA) { // start of scan
            at += 2 + length;
            break;
        }
        if (marker == 0xD9)
            return false;
        at += 2 + length;
    }
    for (; at + 1 < n; ++at)
        if (p[at] == 0xFF && p[at + 1] == 0xD9)
            return true;
    return false;
}

// A PNG ends with its IEND chunk (name and fixed checksum).
bool pngComplete(const QByteArray &b)
{
    static const QByteArray iend("IEND\xAE\x42\x60\x82", 8);
    return b.lastIndexOf(iend) > 8;
}
}

uint64_t PictureHash::hashOf(const QImage &image)
{
    QImage img = image;
    if (img.hasAlphaChannel()) {
        // Transparent areas count as white, as most viewers and converters show them.
        QImage flat(img.size(), QImage::Format_RGB32);
        flat.fill(Qt::white);
        QPainter p(&flat);
        p.drawImage(0, 0, img);
        p.end();
        img = std::move(flat);
    }
    img = img.scaled(kThumb, kThumb, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
              .convertToFormat(QImage::Format_Grayscale8);
    // Rows first: each row's kept frequencies, then each frequency pair.
    const auto &c = cosines();
    std::array<std::array<float, kKeep>, kThumb> rows{};
    for (int y = 0; y < kThumb; ++y) {
        const uchar *line = img.constScanLine(y);
        for (int u = 0; u < kKeep; ++u) {
            float s = 0;
            for (int x = 0; x < kThumb; ++x)
                s += c[size_t(u)][size_t(x)] * float(line[x]);
            rows[size_t(y)][size_t(u)] = s;
        }
    }
    std::array<float, kKeep * kKeep> coef{};
    for (int v = 0; v < kKeep; ++v)
        for (int u = 0; u < kKeep; ++u) {
            float s = 0;
            for (int y = 0; y < kThumb; ++y)
                s += c[size_t(v)][size_t(y)] * rows[size_t(y)][size_t(u)];
            coef[size_t(v * kKeep + u)] = s;
        }
    // The median of the 63 terms that carry structure; the constant term
    // (the mean brightness) would sit far above them all.
    std::array<float, kKeep * kKeep - 1> ac{};
    std::copy(coef.begin() + 1, coef.end(), ac.begin());
    std::nth_element(ac.begin(), ac.begin() + ac.size() / 2, ac.end());
    const float median = ac[ac.size() / 2];
    uint64_t hash = 0;
    for (size_t i = 0; i < coef.size(); ++i)
        if (coef[i] > median)
            hash |= uint64_t(1) << i;
    return hash;
}

PictureHash::Decode PictureHash::fromBytes(const QByteArray &bytes, Picture &out)
{
    if (startsWith(bytes, "\xFF\xD8\xFF", 3) && !jpegComplete(bytes))
        return Decode::Truncated;
    if (startsWith(bytes, "\x89PNG\r\n\x1A\n", 8) && !pngComplete(bytes))
        return Decode::Truncated;
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    reader.setAutoTransform(true);
    if (!reader.canRead())
        return Decode::NotAPicture;
    QSize size = reader.size();
    if (size.width() > kDecodeSide && size.height() > kDecodeSide)
        reader.setScaledSize(QSize(kDecodeSide, kDecodeSide));
    const bool turned = reader.transformation() & QImageIOHandler::TransformationRotate90;
    const QImage image = reader.read();
    if (image.isNull())
        return Decode::NotAPicture;
    if (!size.isValid())
        size = image.size();
    else if (turned)
        size.transpose();
    out.width = uint32_t(size.width());
    out.height = uint32_t(size.height());
    out.hash = hashOf(image);
    return Decode::Ok;
}

const QStringList &PictureHash::candidateSuffixes()
{
    static const QStringList suffixes = [] {
        const QList<QByteArray> readable = QImageReader::supportedImageFormats();
        QStringList out;
        const std::pair<const char *, const char *> wanted[] = {
            {"jpg", "jpeg"}, {"jpeg", "jpeg"}, {"jpe", "jpeg"}, {"png", "png"},   {"webp", "webp"},
            {"gif", "gif"},  {"bmp", "bmp"},   {"tif", "tiff"}, {"tiff", "tiff"}};
        for (const auto &[suffix, format] : wanted)
            if (readable.contains(QByteArray(format)))
                out << QString::fromLatin1(suffix);
        return out;
    }();
    return suffixes;
}

bool PictureHash::isCandidateName(std::string_view name)
{
    const size_t dot = name.rfind('.');
    if (dot == std::string_view::npos || dot == 0 || name.size() - dot > 5)
        return false;
    std::string suffix(name.substr(dot + 1));
    for (char &ch : suffix)
        ch = char(ch >= 'A' && ch <= 'Z' ? ch - 'A' + 'a' : ch);
    return candidateSuffixes().contains(QLatin1String(suffix.data(), qsizetype(suffix.size())));
}

QStringList PictureHash::levelTexts()
{
    return {QStringLiteral("Nearly identical"), QStringLiteral("Very similar"), QStringLiteral("Similar")};
}

PictureHash::Decode PictureHash::fromFile(const std::string &path, QSize box, Picture &out, QImage &shown)
{
    const AnchoredPath::Parent parent = AnchoredPath::openParent(path);
    if (!parent)
        return Decode::NotAPicture;
    ContentFile file;
    int error = 0;
    FileIdentity id;
    if (!file.open(parent.folder.get(), parent.name.c_str(), error) || !file.identity(id) || id.size > kMaxBytes)
        return Decode::NotAPicture;
    QByteArray bytes(qsizetype(id.size), Qt::Uninitialized);
    int64_t at = 0;
    while (at < id.size) {
        const int64_t got = file.read(uint64_t(at), bytes.data() + at, size_t(id.size - at),
                                      ContentFile::Pattern::Whole, error);
        if (got <= 0)
            return Decode::NotAPicture;
        at += got;
    }
    file.close();
    const Decode d = fromBytes(bytes, out);
    if (d != Decode::Ok)
        return d;
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    reader.setAutoTransform(true);
    QSize size = reader.size();
    const bool turned = reader.transformation() & QImageIOHandler::TransformationRotate90;
    if (size.isValid() && (size.width() > box.width() || size.height() > box.height() || turned)) {
        // The scaled size is of the picture as stored, before it is turned.
        QSize upright = turned ? size.transposed() : size;
        upright.scale(box, Qt::KeepAspectRatio);
        reader.setScaledSize(turned ? upright.transposed() : upright);
    }
    shown = reader.read();
    if (shown.isNull())
        return Decode::NotAPicture;
    return Decode::Ok;
}

QString PictureHash::similarityText(uint64_t a, uint64_t b)
{
    const int d = distance(a, b);
    const QString level = d <= kThresholds[NearlyIdentical] ? QStringLiteral("nearly identical")
        : d <= kThresholds[VerySimilar]                     ? QStringLiteral("very similar")
        : d <= kThresholds[Similar]                         ? QStringLiteral("similar")
                                                            : QStringLiteral("not similar");
    return QStringLiteral("Similarity: %1 % (%2 of 64 bits differ: %3)")
        .arg(qRound(100.0 * (64 - d) / 64))
        .arg(d)
        .arg(level);
}

#include "inspect/VersionInfo.h"

#include "platform/RawFile.h"

#include <cstring>
#include <vector>

namespace {

uint16_t u16(const uint8_t *p) { return uint16_t(p[0] | (p[1] << 8)); }
uint32_t u32(const uint8_t *p) { return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24); }

// Sizes beyond which an image is not believed.
constexpr uint32_t kMaxSections = 96;      // the format's own limit
constexpr uint32_t kMaxEntries = 4096;     // entries looked at in one resource directory
constexpr size_t kMaxBlockDepth = 4;       // version block, file info, table, string
constexpr uint16_t kVersionType = 16;      // resource type of version blocks

struct Section {
    uint32_t virtualAddress, virtualSize, rawSize, rawOffset;
};

// Bounds-checked reads over one byte range.
class Bytes {
public:
    Bytes(const uint8_t *data, size_t size) : d_(data), n_(size) {}
    bool has(size_t off, size_t len) const { return off <= n_ && len <= n_ - off; }
    uint16_t word(size_t off) const { return u16(d_ + off); }
    uint32_t dword(size_t off) const { return u32(d_ + off); }
    const uint8_t *at(size_t off) const { return d_ + off; }
    size_t size() const { return n_; }

private:
    const uint8_t *d_;
    size_t n_;
};

size_t align4(size_t v) { return (v + 3) & ~size_t(3); }

// One node of a version block: wLength, wValueLength, wType, a NUL-ended
// UTF-16 key, padding, the value, padding, the children.
struct Block {
    size_t start = 0, end = 0;       // the whole block
    QString key;
    size_t valueStart = 0, valueEnd = 0;
    size_t childrenStart = 0;
    bool text = false;
};

// The block at off, which must lie within [off, limit). False when it is damaged.
bool readBlock(const Bytes &b, size_t off, size_t limit, Block &out)
{
    if (limit > b.size() || off > limit || limit - off < 6)
        return false;
    const size_t length = b.word(off);
    if (length < 6 || length > limit - off)
        return false;
    out.start = off;
    out.end = off + length;
    const size_t valueLength = b.word(off + 2);
    out.text = b.word(off + 4) == 1;
    size_t p = off + 6;
    out.key.clear();
    for (;;) {
        if (p + 2 > out.end)
            return false;
        const uint16_t c = b.word(p);
        p += 2;
        if (c == 0)
            break;
        out.key.append(QChar(c));
    }
    out.valueStart = std::min(align4(p), out.end);
    // Text values count UTF-16 units; some writers store bytes instead, so
    // a text value is read up to its NUL within the block further below.
    const size_t valueBytes = out.text ? valueLength * 2 : valueLength;
    out.valueEnd = valueBytes > out.end - out.valueStart ? out.end : out.valueStart + valueBytes;
    out.childrenStart = std::min(align4(out.valueEnd), out.end);
    return true;
}

// Calls f for each child block of parent until f returns false. Stops at
// the first damaged child; children that start past the parent are not read.
template <typename F>
void forChildren(const Bytes &b, const Block &parent, F f)
{
    size_t off = parent.childrenStart;
    while (off < parent.end && parent.end - off >= 6) {
        Block child;
        if (!readBlock(b, off, parent.end, child))
            return;
        if (!f(child))
            return;
        const size_t next = align4(child.end);
        if (next <= off)
            return;
        off = next;
    }
}

QString textValue(const Bytes &b, const Block &blk)
{
    // A text value runs to its NUL or to the block's end, whatever its length field says.
    QString v;
    for (size_t p = blk.valueStart; p + 2 <= blk.end; p += 2) {
        const uint16_t c = b.word(p);
        if (c == 0)
            break;
        v.append(QChar(c));
    }
    return v;
}

std::optional<VersionInfo::Resource> parseBlock(const Bytes &b)
{
    Block root;
    if (!readBlock(b, 0, b.size(), root))
        return std::nullopt;
    if (root.key.compare(QLatin1String("VS_VERSION_INFO"), Qt::CaseInsensitive) != 0)
        return std::nullopt;

    bool haveTranslation = false;
    VersionInfo::Resource r;
    // First the translation table: its first entry names the string table.
    forChildren(b, root, [&](const Block &fileInfo) {
        if (fileInfo.key.compare(QLatin1String("VarFileInfo"), Qt::CaseInsensitive) != 0)
            return true;
        forChildren(b, fileInfo, [&](const Block &var) {
            if (var.key.compare(QLatin1String("Translation"), Qt::CaseInsensitive) != 0)
                return true;
            if (var.valueEnd - var.valueStart >= 4) {
                const uint32_t t = b.dword(var.valueStart);
                r.language = uint16_t(t & 0xFFFF);
                r.codePage = uint16_t(t >> 16);
                haveTranslation = true;
            }
            return false;
        });
        return !haveTranslation;
    });
    if (!haveTranslation)
        return std::nullopt;

    const QString table = QStringLiteral("%1%2").arg(r.language, 4, 16, QLatin1Char('0')).arg(r.codePage, 4, 16, QLatin1Char('0'));
    bool found = false;
    forChildren(b, root, [&](const Block &fileInfo) {
        if (fileInfo.key.compare(QLatin1String("StringFileInfo"), Qt::CaseInsensitive) != 0)
            return true;
        forChildren(b, fileInfo, [&](const Block &t) {
            if (t.key.compare(table, Qt::CaseInsensitive) != 0)
                return true;
            found = true;
            forChildren(b, t, [&](const Block &s) {
                r.strings.emplace(s.key, textValue(b, s));
                return true;
            });
            return false;
        });
        return !found;
    });
    static_assert(kMaxBlockDepth == 4, "the walk above descends exactly four levels");
    return r;
}

// Locates the version block in a PE image and reads it.
std::optional<std::string> versionBlock(const VersionInfo::ReadAt &read, uint64_t size)
{
    uint8_t dos[64];
    if (size < sizeof dos || !read(0, dos, sizeof dos) || dos[0] != 'M' || dos[1] != 'Z')
        return std::nullopt;
    const uint64_t pe = u32(dos + 0x3C);
    uint8_t coff[24];
    if (pe > size || size - pe < sizeof coff || !read(pe, coff, sizeof coff))
        return std::nullopt;
    if (std::memcmp(coff, "PE\0\0", 4) != 0)
        return std::nullopt;
    const uint32_t sectionCount = u16(coff + 6);
    const uint32_t optionalSize = u16(coff + 20);
    if (sectionCount == 0 || sectionCount > kMaxSections)
        return std::nullopt;
    std::vector<uint8_t> opt(optionalSize);
    if (optionalSize < 2 || !read(pe + 24, opt.data(), opt.size()))
        return std::nullopt;
    const uint16_t magic = u16(opt.data());
    size_t dirCountAt, dirsAt;
    if (magic == 0x10B) {
        dirCountAt = 92;
        dirsAt = 96;
    } else if (magic == 0x20B) {
        dirCountAt = 108;
        dirsAt = 112;
    } else {
        return std::nullopt;
    }
    if (optionalSize < dirsAt + 3 * 8 || u32(opt.data() + dirCountAt) < 3)
        return std::nullopt;
    const uint32_t resourceRva = u32(opt.data() + dirsAt + 2 * 8);
    const uint32_t resourceSize = u32(opt.data() + dirsAt + 2 * 8 + 4);
    if (resourceRva == 0 || resourceSize == 0)
        return std::nullopt;

    std::vector<uint8_t> table(size_t(sectionCount) * 40);
    if (!read(pe + 24 + optionalSize, table.data(), table.size()))
        return std::nullopt;
    std::vector<Section> sections;
    for (uint32_t i = 0; i < sectionCount; ++i) {
        const uint8_t *s = table.data() + size_t(i) * 40;
        sections.push_back({u32(s + 12), u32(s + 8), u32(s + 16), u32(s + 20)});
    }
    // The file range that holds rva .. rva+len, within one section's raw data.
    const auto fileOffset = [&](uint64_t rva, uint64_t len) -> std::optional<uint64_t> {
        for (const Section &s : sections) {
            const uint64_t span = std::max(s.virtualSize, s.rawSize);
            if (rva < s.virtualAddress || rva - s.virtualAddress >= span)
                continue;
            const uint64_t inSection = rva - s.virtualAddress;
            if (inSection > s.rawSize || len > s.rawSize - inSection)
                return std::nullopt;
            const uint64_t off = uint64_t(s.rawOffset) + inSection;
            if (off > size || len > size - off)
                return std::nullopt;
            return off;
        }
        return std::nullopt;
    };
    // Reads the directory at a resource-relative offset; the entry wanted
    // is the one with id (or, for id < 0, the first one).
    const auto entry = [&](uint32_t dirOffset, int id, uint32_t &target) -> bool {
        if (dirOffset > resourceSize || resourceSize - dirOffset < 16)
            return false;
        const auto at = fileOffset(uint64_t(resourceRva) + dirOffset, 16);
        if (!at)
            return false;
        uint8_t head[16];
        if (!read(*at, head, sizeof head))
            return false;
        const uint32_t count = uint32_t(u16(head + 12)) + u16(head + 14);
        for (uint32_t i = 0; i < count && i < kMaxEntries; ++i) {
            const uint64_t rel = uint64_t(dirOffset) + 16 + uint64_t(i) * 8;
            if (rel + 8 > resourceSize)
                return false;
            const auto eAt = fileOffset(resourceRva + rel, 8);
            uint8_t e[8];
            if (!eAt || !read(*eAt, e, sizeof e))
                return false;
            const uint32_t name = u32(e);
            if (id >= 0 && ((name & 0x80000000u) || name != uint32_t(id)))
                continue;
            target = u32(e + 4);
            return true;
        }
        return false;
    };
    uint32_t t1 = 0, t2 = 0, t3 = 0;
    // Type, then the first name, then the first language; the first two
    // lead to directories, the last to a data entry.
    if (!entry(0, kVersionType, t1) || !(t1 & 0x80000000u))
        return std::nullopt;
    if (!entry(t1 & 0x7FFFFFFFu, -1, t2) || !(t2 & 0x80000000u))
        return std::nullopt;
    if (!entry(t2 & 0x7FFFFFFFu, -1, t3) || (t3 & 0x80000000u))
        return std::nullopt;
    if (t3 > resourceSize || resourceSize - t3 < 16)
        return std::nullopt;
    const auto dataAt = fileOffset(uint64_t(resourceRva) + t3, 16);
    uint8_t data[16];
    if (!dataAt || !read(*dataAt, data, sizeof data))
        return std::nullopt;
    const uint32_t blockRva = u32(data);
    // A version block's own length field is 16 bits wide.
    const uint32_t blockSize = std::min<uint32_t>(u32(data + 4), 0xFFFF);
    if (blockSize < 6)
        return std::nullopt;
    const auto blockAt = fileOffset(blockRva, blockSize);
    if (!blockAt)
        return std::nullopt;
    std::string block(blockSize, '\0');
    if (!read(*blockAt, block.data(), block.size()))
        return std::nullopt;
    return block;
}
}

QString VersionInfo::Resource::value(const QString &key) const
{
    for (const auto &[k, v] : strings)
        if (k.compare(key, Qt::CaseInsensitive) == 0)
            return v;
    return {};
}

std::optional<VersionInfo::Resource> VersionInfo::fromVersionBlock(const std::string &block)
{
    return parseBlock(Bytes(reinterpret_cast<const uint8_t *>(block.data()), block.size()));
}

std::optional<VersionInfo::Resource> VersionInfo::fromImage(const ReadAt &read, uint64_t size)
{
    const auto block = versionBlock(read, size);
    if (!block)
        return std::nullopt;
    return fromVersionBlock(*block);
}

std::optional<VersionInfo::Resource> VersionInfo::fromBytes(const std::string &image)
{
    return fromImage(
        [&](uint64_t off, void *buf, size_t n) {
            if (off > image.size() || n > image.size() - off)
                return false;
            std::memcpy(buf, image.data() + off, n);
            return true;
        },
        image.size());
}

std::optional<VersionInfo::Resource> VersionInfo::fromFile(const std::string &path)
{
    RawFile f;
    if (!f.open(path, RawFile::Mode::Read))
        return std::nullopt;
    return fromImage([&](uint64_t off, void *buf, size_t n) { return f.readFully(off, buf, n); }, f.size());
}

const VersionInfo::Field VersionInfo::kFields[11] = {
    {"CompanyName", "Company: "},
    {"FileDescription", "File description: "},
    {"FileVersion", "File version: "},
    {"InternalName", "Internal name: "},
    {"LegalCopyright", "Copyright: "},
    {"LegalTrademarks", "Trademarks: "},
    {"OriginalFilename", "Original filename: "},
    {"PrivateBuild", "Private build info: "},
    {"ProductName", "Product name: "},
    {"ProductVersion", "Product version: "},
    {"SpecialBuild", "Special build info: "},
};

QStringList VersionInfo::lines(const Resource &r, bool tabs)
{
    const QString sep = tabs ? QStringLiteral("\t") : QString();
    QStringList out;
    for (const Field &f : kFields) {
        QString v = r.value(QLatin1String(f.key));
        qsizetype lead = 0;
        while (lead < v.size() && v[lead] == QLatin1Char(' '))
            ++lead;
        v.remove(0, lead);
        const bool twice = std::strcmp(f.key, "LegalCopyright") == 0;
        out << QLatin1String(f.label) + sep + (twice ? sep : QString()) + v;
    }
    return out;
}

void versionInfoLines(const std::string &path, QStringList &list, bool tabs)
{
    list.clear();
    if (const auto r = VersionInfo::fromFile(path))
        list = VersionInfo::lines(*r, tabs);
}

#include "stats/StatTallies.h"

#include "common/SizeSum.h"
#include "common/Text.h"
#include "finders/TempPatterns.h"
#include "platform/DirReader.h"
#include "platform/Drives.h"

#include <QLocale>
#include <QStringDecoder>
#include <algorithm>
#include <cstdlib>

namespace {
constexpr int64_t kBucketTop[12] = {16384,   32768,    65536,    131072,   262144,   524288,
                                    1048576, 2097152, 4194304, 8388608, 16777216, INT64_MAX};

std::string utf8(const QString &s)
{
    const QByteArray b = s.toUtf8();
    return std::string(b.constData(), size_t(b.size()));
}
}

void StatTallies::setChosenTypes(const QStringList &entries)
{
    chosen_ = entries;
    // The matcher compares a name's lower-cased extension with each entry's
    // text after its first character, which is extractExtension for the
    // entries the wizard gives (pattern, tab, description).
    QStringList rows;
    for (const QString &e : entries)
        rows << (e.contains(QLatin1Char('\t')) ? e : QStringLiteral("*\t"));
    matcher_ = TempMatcher(rows);
}

void StatTallies::clear()
{
    filesProcessed = filesCounted = 0;
    sizeCount.fill(0);
    sizeBytes.fill(0);
    for (auto &k : ageCount)
        k.fill(0);
    for (auto &k : ageBytes)
        k.fill(0);
    for (auto &k : timeSlots)
        k.fill(0);
    attrCount.fill(0);
    attrBytes.fill(0);
    overhang.fill(0);
    types_.clear();
    today_ = QDate();
}

StatTallies StatTallies::emptyCopy() const
{
    StatTallies c(*this);
    c.clear();
    c.today_ = today_.isValid() ? today_ : clock();
    return c;
}

namespace {
template <typename A>
void addArray(A &to, const A &from)
{
    for (size_t i = 0; i < to.size(); ++i)
        to[i] = sizeSum(to[i], from[i]);
}
}

void StatTallies::add(const StatTallies &o)
{
    filesProcessed += o.filesProcessed;
    filesCounted += o.filesCounted;
    addArray(sizeCount, o.sizeCount);
    addArray(sizeBytes, o.sizeBytes);
    for (size_t k = 0; k < 3; ++k) {
        addArray(ageCount[k], o.ageCount[k]);
        addArray(ageBytes[k], o.ageBytes[k]);
        addArray(timeSlots[k], o.timeSlots[k]);
    }
    addArray(attrCount, o.attrCount);
    addArray(attrBytes, o.attrBytes);
    addArray(overhang, o.overhang);
    for (const auto &[key, row] : o.types_) {
        Row &r = types_[key];
        r.count += row.count;
        addSize(r.bytes, row.bytes);
    }
}

bool StatTallies::isThisSelected(std::string_view name) const
{
    if (allTypes)
        return true;
    return matcher_.isTemporary(name) ? includeTypes : excludeTypes;
}

bool StatTallies::crunchNumbers(const FoundFile &f)
{
    const bool selected = isThisSelected(f.name);
    ++filesProcessed;
    if (!selected)
        return false;
    ++filesCounted;
    const int64_t size = f.size;

    static constexpr uint8_t kAttrBits[4] = {FileAttr::ReadOnly, FileAttr::Hidden, FileAttr::System,
                                             FileAttr::Archive};
    for (int a = 0; a < 4; ++a)
        if (f.attributes & kAttrBits[a]) {
            ++attrCount[size_t(a)];
            addSize(attrBytes[size_t(a)], size);
        }

    if (!today_.isValid())
        today_ = clock();
    const DosDateTime stamps[3] = {f.accessed, f.created, f.written};
    for (int k = 0; k < 3; ++k) {
        const int s = halfHourSlot(stamps[k]);
        if (s >= 0)
            ++timeSlots[size_t(k)][size_t(s)];
        const int b = ageToIndex(fileAgeDays(stamps[k], today_));
        ++ageCount[size_t(k)][size_t(b)];
        addSize(ageBytes[size_t(k)][size_t(b)], size);
    }

    bool ok = false;
    const std::string key = typeKey(f.name, ok);
    if (ok)
        addType(key, size, false);

    const int u = sizeBucket(size);
    ++sizeCount[size_t(u)];
    addSize(sizeBytes[size_t(u)], size);

    if (countOverhang)
        for (size_t i = 0; i < kTrialSizes.size(); ++i) {
            const int64_t r = size % kTrialSizes[i];
            if (r != 0)
                addSize(overhang[i], kTrialSizes[i] - r);
        }
    return true;
}

std::string StatTallies::typeKey(std::string_view name, bool &ok) const
{
    const std::string_view ext = TempPatterns::extensionOf(name);
    bool ascii = true;
    for (char c : ext)
        if (static_cast<unsigned char>(c) >= 0x80) {
            ascii = false;
            break;
        }
    if (ascii) {
        ok = ext.size() <= 5;
        if (!ok)
            return {};
        std::string key(ext);
        for (char &c : key)
            if (c >= 'a' && c <= 'z')
                c = char(c - 'a' + 'A');
        return key;
    }
    QString text = displayName(std::string(ext)).toUpper();
    ok = text.size() <= 5;
    return ok ? utf8(text) : std::string();
}

void StatTallies::insertType(const QString &extension, int64_t value, bool seed)
{
    const QString upper = extension.toUpper();
    if (upper.size() > 5)
        return;
    addType(utf8(upper), value, seed);
}

void StatTallies::addType(const std::string &key, int64_t value, bool seed)
{
    auto [it, added] = types_.try_emplace(key);
    Row &r = it->second;
    if (added) {
        r.count = seed ? 0 : 1;
        r.bytes = value;
    } else if (!seed) {
        ++r.count;
        addSize(r.bytes, value);
    }
}

std::vector<StatTallies::TypeRow> StatTallies::typeRows() const
{
    std::vector<TypeRow> out;
    out.reserve(types_.size());
    for (const auto &[key, row] : types_)
        out.push_back({QString::fromUtf8(key.data(), qsizetype(key.size())), row.count, row.bytes});
    std::sort(out.begin(), out.end(), [](const TypeRow &a, const TypeRow &b) {
        const int c = QString::compare(a.extension, b.extension, Qt::CaseInsensitive);
        return c != 0 ? c < 0 : a.extension < b.extension;
    });
    return out;
}

QString StatTallies::extractExtension(const QString &entry)
{
    const qsizetype tab = entry.indexOf(QLatin1Char('\t'));
    if (tab < 0)
        return {};
    return entry.mid(1, tab - 1).toLower();
}

int StatTallies::sizeBucket(int64_t size)
{
    int u = 0;
    while (size > kBucketTop[u])
        ++u;
    return u + 1;
}

QString StatTallies::sizeLabel(int bucket)
{
    static const char *const labels[] = {"0 - 16K",    "16K - 32K", "32K - 64K", "64K - 128K",
                                         "128K - 256K", "256K - 512K", "512K - 1MB", "1MB - 2MB",
                                         "2MB - 4MB",  "4MB - 8MB", "8MB - 16MB", "Over 16MB"};
    return bucket >= 1 && bucket <= 12 ? QString::fromLatin1(labels[bucket - 1]) : QString();
}

int StatTallies::fileAgeDays(DosDateTime s, const QDate &today)
{
    if (s == 0)
        return -1;
    QDate d = DosTime::date(s);
    if (!d.isValid())
        d = QDate(1980, 1, 1);
    return int(std::llabs(today.toJulianDay() - d.toJulianDay()));
}

int StatTallies::ageToIndex(int days)
{
    if (days < 0)
        return 0;
    static constexpr int tops[] = {7, 30, 60, 120, 365, 730, 1095, 1460};
    for (int i = 0; i < 8; ++i)
        if (days <= tops[i])
            return i + 1;
    return 9;
}

QString StatTallies::ageLabel(int bucket)
{
    static const char *const labels[] = {"Not recorded",   "<= 7 days",   "8 - 30 days", "31 - 60 days",
                                         "61 - 120 days",  "121 - 365 days", "1 - 2 years", "2 - 3 years",
                                         "3 - 4 years",    "Over 4 years"};
    return bucket >= 0 && bucket <= 9 ? QString::fromLatin1(labels[bucket]) : QString();
}

int StatTallies::halfHourSlot(DosDateTime s)
{
    // A stamp with a date but no time of day reads as exactly midnight; it
    // says nothing about when in the day the file was touched.
    if (s == 0 || (s & 0xFFFF) == 0)
        return -1;
    const int h = DosTime::hour(s), m = DosTime::minute(s);
    if (h > 23 || m > 59)
        return -1;
    return 2 * h + (m >= 30 ? 1 : 0);
}

QString StatTallies::zerofill(int64_t n)
{
    return QString::number(n).rightJustified(10, QLatin1Char('0'));
}

QString StatTallies::stripCommas(const QString &text)
{
    QString out = text;
    out.remove(QLocale().groupSeparator());
    return out;
}

int64_t StatTallies::computeClusterSize(const QString &driveEntry)
{
    if (driveEntry.isEmpty())
        return 0;
    const char letter = char(driveEntry.at(0).toUpper().toLatin1());
    if (!Drives::isDriveReady(letter))
        return 0;
    const auto d = Drives::find(letter);
    return d ? Drives::clusterSize(d->root) : 0;
}

int StatTallies::trialIndex(int64_t clusterSize)
{
    for (size_t i = 0; i < kTrialSizes.size(); ++i)
        if (kTrialSizes[i] == clusterSize)
            return int(i);
    return -1;
}

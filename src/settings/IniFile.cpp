#include "settings/IniFile.h"

#include "common/Dialogs.h"
#include "common/DosTime.h"
#include "common/SizeSum.h"
#include "platform/AtomicFile.h"
#include "platform/Paths.h"

#include <QHash>

#include <algorithm>
#include <functional>
#include <limits>

#include <vector>

IniWriteError::IniWriteError(const std::string &file, std::string reason)
    : std::runtime_error("Unable to write to " + file), reason_(std::move(reason))
{
}

bool writeOrReport(const std::function<void()> &write)
{
    try {
        write();
        return true;
    } catch (const IniWriteError &e) {
        QString text = QString::fromLocal8Bit(e.what());
        if (!e.reason().empty())
            text += QStringLiteral(": ") + QString::fromStdString(e.reason()) + QLatin1Char('.');
        dialogs().showError(text);
        return false;
    }
}

namespace {

constexpr int kMaxValue = 1023;


// The file split into lines, each with its own line end ("\n", "\r\n", or
// empty for a last line without one), so untouched lines are written back
// byte for byte. New lines take the line end most of the file uses.
struct Line {
    std::string text;
    std::string eol;
};

struct Parsed {
    std::string bom;
    std::vector<Line> lines;
    std::string eol = "\n";
};

Parsed parse(const std::string &raw)
{
    Parsed p;
    size_t pos = 0;
    if (raw.compare(0, 3, "\xEF\xBB\xBF") == 0) {
        p.bom = raw.substr(0, 3);
        pos = 3;
    }
    size_t crlf = 0, lf = 0;
    while (pos < raw.size()) {
        size_t nl = raw.find('\n', pos);
        if (nl == std::string::npos) {
            p.lines.push_back({raw.substr(pos), {}});
            break;
        }
        size_t end = nl;
        if (end > pos && raw[end - 1] == '\r') {
            --end;
            ++crlf;
        } else {
            ++lf;
        }
        p.lines.push_back({raw.substr(pos, end - pos), raw.substr(end, nl + 1 - end)});
        pos = nl + 1;
    }
    if (crlf > lf)
        p.eol = "\r\n";
    return p;
}

std::string join(const Parsed &p)
{
    std::string out = p.bom;
    for (const Line &l : p.lines)
        out += l.text + l.eol;
    return out;
}

// Inserts a new line at index at; a last line without an end gets one first.
void insertLine(Parsed &p, size_t at, const std::string &text)
{
    if (at > 0 && p.lines[at - 1].eol.empty())
        p.lines[at - 1].eol = p.eol;
    p.lines.insert(p.lines.begin() + long(at), Line{text, p.eol});
}

std::string trim(const std::string &s)
{
    size_t a = 0, b = s.size();
    while (a < b && (s[a] == ' ' || s[a] == '\t' || s[a] == '\r'))
        ++a;
    while (b > a && (s[b - 1] == ' ' || s[b - 1] == '\t' || s[b - 1] == '\r'))
        --b;
    return s.substr(a, b - a);
}

bool sameName(const std::string &bytes, const QString &name)
{
    return QString::fromUtf8(bytes.data(), qsizetype(bytes.size())).compare(name, Qt::CaseInsensitive) == 0;
}

// The section name of a "[name]" line, or false.
bool sectionOf(const std::string &line, std::string &name)
{
    const std::string t = trim(line);
    if (t.size() < 2 || t.front() != '[')
        return false;
    const size_t close = t.find(']');
    if (close == std::string::npos)
        return false;
    name = trim(t.substr(1, close - 1));
    return true;
}

// The key of a "key=value" line, or false (comments and lines without "=").
bool keyOf(const std::string &line, std::string &key, std::string &value)
{
    const std::string t = trim(line);
    if (t.empty() || t.front() == ';')
        return false;
    const size_t eq = t.find('=');
    if (eq == std::string::npos)
        return false;
    key = trim(t.substr(0, eq));
    value = trim(t.substr(eq + 1));
    return true;
}

// Index of the first line of the first matching section's header, or -1.
long findSection(const Parsed &p, const QString &section)
{
    std::string name;
    for (size_t i = 0; i < p.lines.size(); ++i)
        if (sectionOf(p.lines[i].text, name) && sameName(name, section))
            return long(i);
    return -1;
}

// Index of the first matching key line inside the section starting at header, or -1.
long findKey(const Parsed &p, long header, const QString &key, std::string *value = nullptr)
{
    std::string name, k, v;
    for (size_t i = size_t(header) + 1; i < p.lines.size(); ++i) {
        if (sectionOf(p.lines[i].text, name))
            break;
        if (keyOf(p.lines[i].text, k, v) && sameName(k, key)) {
            if (value)
                *value = v;
            return long(i);
        }
    }
    return -1;
}

std::string utf8(const QString &s)
{
    const QByteArray b = s.toUtf8();
    return std::string(b.constData(), size_t(b.size()));
}

bool parseInt(const QString &text, int64_t &out)
{
    const QString t = text.trimmed();
    bool ok = false;
    qlonglong v;
    if (t.startsWith(QLatin1String("0x"), Qt::CaseInsensitive))
        v = t.mid(2).toLongLong(&ok, 16);
    else
        v = t.toLongLong(&ok, 10);
    if (ok)
        out = v;
    return ok;
}

// A stored value as read: without matching quotes, at most kMaxValue characters.
QString cleanValue(std::string v)
{
    // A value in matching quotes is read without them, as the classic reader does.
    if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
        v = v.substr(1, v.size() - 2);
    QString s = QString::fromUtf8(v.data(), qsizetype(v.size()));
    if (s.size() > kMaxValue)
        s.truncate(kMaxValue);
    return s;
}

// The value of key in section, or def when either is missing.
QString valueIn(const Parsed &p, const QString &section, const QString &key, const QString &def)
{
    const long h = findSection(p, section);
    if (h < 0)
        return def;
    std::string v;
    if (findKey(p, h, key, &v) < 0)
        return def;
    return cleanValue(v);
}

// Every key of the first matching section, lower-cased, with its value (the
// first of duplicate keys wins).
QHash<QString, QString> sectionValues(const Parsed &p, const QString &section)
{
    QHash<QString, QString> out;
    const long h = findSection(p, section);
    if (h < 0)
        return out;
    std::string name, k, v;
    for (size_t i = size_t(h) + 1; i < p.lines.size(); ++i) {
        if (sectionOf(p.lines[i].text, name))
            break;
        if (!keyOf(p.lines[i].text, k, v))
            continue;
        const QString key = QString::fromUtf8(k.data(), qsizetype(k.size())).toLower();
        if (!out.contains(key))
            out.insert(key, cleanValue(v));
    }
    return out;
}

// Sets key in section (appending the section or the key when missing).
void assign(Parsed &p, const QString &section, const QString &key, const QString &value)
{
    QString oneLine = value;
    oneLine.replace(QLatin1Char('\r'), QLatin1Char(' ')).replace(QLatin1Char('\n'), QLatin1Char(' '));
    const long h = findSection(p, section);
    if (h < 0) {
        insertLine(p, p.lines.size(), "[" + utf8(section) + "]");
        insertLine(p, p.lines.size(), utf8(key) + "=" + utf8(oneLine));
        return;
    }
    const long k = findKey(p, h, key);
    if (k >= 0) {
        std::string name, v;
        keyOf(p.lines[size_t(k)].text, name, v);
        p.lines[size_t(k)].text = name + "=" + utf8(oneLine);
        return;
    }
    // After the section's last non-blank line.
    size_t at = size_t(h) + 1;
    std::string name;
    for (size_t i = at; i < p.lines.size() && !sectionOf(p.lines[i].text, name); ++i)
        if (!trim(p.lines[i].text).empty())
            at = i + 1;
    insertLine(p, at, utf8(key) + "=" + utf8(oneLine));
}

// Adds n to a running total of section "Vantor" as the totals count: a
// stored value of 0 or less (-1: reset or never counted) starts afresh.
void addTotal(Parsed &p, const QString &key, int64_t n)
{
    const QString vantor = QStringLiteral("Vantor");
    int64_t stored = -1;
    if (!parseInt(valueIn(p, vantor, key, QString()), stored))
        stored = -1;
    assign(p, vantor, key, QString::number(qlonglong(stored <= 0 ? n : sizeSum(stored, n))));
}

// Stores today's day number in a start-date key that reads exactly -1.
void startDate(Parsed &p, const QString &key, const QDate &today)
{
    const QString vantor = QStringLiteral("Vantor");
    int64_t stored = -1;
    if (!parseInt(valueIn(p, vantor, key, QString()), stored))
        stored = -1;
    if (stored == -1)
        assign(p, vantor, key, QString::number(dateSerial(today)));
}

} // namespace

IniFile::IniFile() : path_(Paths::settingsFile("vantor.ini")) {}
IniFile::IniFile(std::string path) : path_(std::move(path)) {}

std::string IniFile::load() const
{
    // A file that exists but cannot be read reads as empty: the callers'
    // defaults. Writes refuse such a file (update).
    std::string raw;
    AtomicFile::load(path_, raw);
    return raw;
}

namespace {
std::vector<std::string> &announcedRefusals()
{
    static std::vector<std::string> paths;
    return paths;
}

// Reads, changes and replaces the file under the file's lock; raises
// IniWriteError when the lock, the read of an existing file or the write
// fails (the file is then unchanged).
void update(const std::string &path, const std::function<void(Parsed &)> &change)
{
    // A file refused unread is never replaced; once the user was told, the
    // program goes on without it in silence.
    if (const std::string refusal = AtomicFile::refusalOf(path); !refusal.empty()) {
        const auto &told = announcedRefusals();
        if (std::find(told.begin(), told.end(), path) != told.end())
            return;
        throw IniWriteError(path, refusal);
    }
    // The lock spans the read and the rename, so a change made by another
    // process in between is never overwritten with stale content.
    AtomicFile::Lock lock(path);
    if (!lock.held())
        throw IniWriteError(path);
    std::string raw;
    // An existing file that cannot be read whole is never replaced: writing
    // only the new key would lose every other setting.
    if (AtomicFile::load(path, raw) == AtomicFile::ReadResult::Failed)
        throw IniWriteError(path);
    Parsed p = parse(raw);
    change(p);
    if (!AtomicFile::write(path, join(p)))
        throw IniWriteError(path);
}
} // namespace

QString IniFile::readString(const QString &section, const QString &key, const QString &def) const
{
    return valueIn(parse(load()), section, key, def);
}

void IniFile::writeString(const QString &section, const QString &key, const QString &value)
{
    update(path_, [&](Parsed &p) { assign(p, section, key, value); });
}

int64_t IniFile::readInt(const QString &section, const QString &key, int64_t def) const
{
    const QString s = readString(section, key, QString());
    int64_t v;
    return parseInt(s, v) ? v : def;
}

void IniFile::writeInt(const QString &section, const QString &key, int64_t value)
{
    writeString(section, key, QString::number(qlonglong(value)));
}

QStringList IniFile::readList(const QString &section, const QStringList &defaults) const
{
    // One read of the file serves the whole list, so a large "Number" costs
    // lookups, not file reads.
    const QHash<QString, QString> values = sectionValues(parse(load()), section);
    int64_t n = -1;
    if (!parseInt(values.value(QStringLiteral("number")), n) || n < 0)
        return defaults;
    QStringList out;
    for (int64_t i = 1; i <= n && i <= 1000000; ++i)
        out << values.value(QStringLiteral("file%1").arg(i));
    return out;
}

void IniFile::writeList(const QString &section, const QStringList &lines)
{
    // The count and every entry in one replacement of the file.
    update(path_, [&](Parsed &p) {
        assign(p, section, QStringLiteral("Number"), QString::number(lines.size()));
        for (qsizetype i = 0; i < lines.size(); ++i)
            assign(p, section, QStringLiteral("File%1").arg(i + 1), lines[i].section(QLatin1Char('\t'), 0, 0));
    });
}

void IniFile::addDeletionTotals(int64_t filesDeleted, int64_t bytesDeleted, int64_t filesRecycled,
                                int64_t bytesRecycled, const QDate &today)
{
    // The four totals and the date of one action in one write.
    update(path_, [&](Parsed &p) {
        addTotal(p, QStringLiteral("Ndelete"), filesDeleted);
        addTotal(p, QStringLiteral("SizeDelete"), bytesDeleted);
        addTotal(p, QStringLiteral("NWaste"), filesRecycled);
        addTotal(p, QStringLiteral("SizeWaste"), bytesRecycled);
        startDate(p, QStringLiteral("DelDate"), today);
    });
}

void IniFile::addZipTotals(int64_t filesZipped, int64_t bytesZipped, const QDate &today)
{
    update(path_, [&](Parsed &p) {
        addTotal(p, QStringLiteral("NZip"), filesZipped);
        addTotal(p, QStringLiteral("SizeZip"), bytesZipped);
        startDate(p, QStringLiteral("ZipDate"), today);
    });
}

void IniFile::refusalAnnounced(const std::string &path)
{
    auto &told = announcedRefusals();
    if (std::find(told.begin(), told.end(), path) == told.end())
        told.push_back(path);
}

void IniFile::resetTotals()
{
    update(path_, [](Parsed &p) {
        for (const char *k : {"Ndelete", "SizeDelete", "NZip", "ZipDate", "SizeZip", "NWaste", "SizeWaste", "DelDate"})
            assign(p, QStringLiteral("Vantor"), QString::fromLatin1(k), QStringLiteral("-1"));
    });
}

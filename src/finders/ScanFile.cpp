#include "finders/ScanFile.h"

#include "common/SizeSum.h"
#include "common/Text.h"
#include "platform/AtomicFile.h"
#include "platform/ExportWalk.h"

#include <rapidjson/error/en.h>
#include <rapidjson/reader.h>
#include <zlib.h>

#include <cerrno>
#include <charconv>
#include <cstring>
#include <ctime>
#include <limits>
#include <memory>
#include <unordered_set>

namespace ScanFile {
namespace {

constexpr size_t kBlock = 256 * 1024;

// The input as the parser reads it: blocks of the file, gunzipped when it is
// compressed (zlib reads a plain file as it is). Between two values the
// parser may read at most maxGap bytes: more (a string of gigabytes, endless
// spaces) ends the input, so the parser's own buffer stays bounded. A false
// progress ends it too.
class Input {
public:
    using Ch = char;
    Input(gzFile f, uint64_t maxGap, const std::function<bool(uint64_t)> &progress)
        : f_(f), maxGap_(maxGap), progress_(progress), buf_(new char[kBlock])
    {
    }
    Ch Peek()
    {
        if (at_ == len_ && !fill())
            return '\0';
        return buf_[at_];
    }
    Ch Take()
    {
        if (at_ == len_ && !fill())
            return '\0';
        return buf_[at_++];
    }
    size_t Tell() const { return size_t(before_ + at_); }
    // Not used by a reader that does not parse in place.
    Ch *PutBegin() { return nullptr; }
    void Put(Ch) {}
    void Flush() {}
    size_t PutEnd(Ch *) { return 0; }

    void valueSeen() { lastValue_ = before_ + at_; }
    bool ended() const { return eof_; }
    bool tooLong() const { return tooLong_; }
    bool aborted() const { return aborted_; }
    bool readFailed() const { return failed_; }
    uint64_t bytes() const { return before_ + len_; }

private:
    bool fill()
    {
        if (eof_ || stopped())
            return false;
        before_ += len_;
        len_ = at_ = 0;
        if (before_ - lastValue_ > maxGap_) {
            tooLong_ = true;
            return false;
        }
        if (progress_ && before_ > 0 && !progress_(before_)) {
            aborted_ = true;
            return false;
        }
        const int n = gzread(f_, buf_.get(), unsigned(kBlock));
        if (n < 0) {
            failed_ = true;
            return false;
        }
        if (n == 0) {
            int err = Z_OK;
            gzerror(f_, &err);
            failed_ = err != Z_OK && err != Z_STREAM_END; // a gzip stream cut short
            eof_ = true;
            return false;
        }
        len_ = size_t(n);
        return true;
    }
    bool stopped() const { return tooLong_ || aborted_ || failed_; }
    gzFile f_;
    uint64_t maxGap_;
    const std::function<bool(uint64_t)> &progress_;
    std::unique_ptr<char[]> buf_;
    size_t len_ = 0, at_ = 0;
    uint64_t before_ = 0; // bytes of the blocks before the current one
    uint64_t lastValue_ = 0;
    bool eof_ = false, tooLong_ = false, aborted_ = false, failed_ = false;
};

enum class Field : uint8_t {
    Other, Name, Asize, Dsize, Dev, Ino, Hlnkc, Nlink, ReadError, Excluded, Notreg, Mtime,
    Progname, Progver, Timestamp
};

Field entryKey(std::string_view k)
{
    switch (k.size()) {
    case 3:
        return k == "dev" ? Field::Dev : k == "ino" ? Field::Ino : Field::Other;
    case 4:
        return k == "name" ? Field::Name : Field::Other;
    case 5:
        return k == "asize" ? Field::Asize : k == "dsize" ? Field::Dsize : k == "hlnkc" ? Field::Hlnkc
             : k == "nlink" ? Field::Nlink : k == "mtime" ? Field::Mtime : Field::Other;
    case 6:
        return k == "notreg" ? Field::Notreg : Field::Other;
    case 8:
        return k == "excluded" ? Field::Excluded : Field::Other;
    case 10:
        return k == "read_error" ? Field::ReadError : Field::Other;
    default:
        return Field::Other;
    }
}

struct LinkKey {
    uint64_t dev, ino;
    bool operator==(const LinkKey &) const = default;
};
struct LinkHash {
    size_t operator()(const LinkKey &k) const { return std::hash<uint64_t>()(k.ino * 0x9E3779B97F4A7C15ull ^ k.dev); }
};

// The SAX handler: follows where in the document the parser is and builds
// the folders as their entries end. Anything it does not know (other keys
// of an entry or the metadata, with whatever values) is passed over.
class Builder {
public:
    Builder(Loaded &out, const Limits &limits, Input &in) : out_(out), limits_(limits), in_(in) {}

    QString fault; // what is wrong, when a callback refused

    bool Null() { return notVersion() && scalar() && after(); }
    bool Bool(bool b)
    {
        if (!notVersion() || !scalar())
            return false;
        if (!skip_ && state_ == State::Value)
            switch (key_) {
            case Field::Hlnkc: cur_.hlnkc = b; break;
            case Field::ReadError: cur_.readError = b; break;
            case Field::Notreg: cur_.notreg = b; break;
            default: break;
            }
        return after();
    }
    bool Int(int i) { return Int64(i); }
    bool Uint(unsigned u) { return Uint64(u); }
    bool Int64(int64_t i)
    {
        if (i < 0 && !skip_ && state_ == State::Value
            && (key_ == Field::Asize || key_ == Field::Dsize || key_ == Field::Dev || key_ == Field::Ino
                || key_ == Field::Nlink))
            return fail(QStringLiteral("a negative number where a size or count belongs"));
        return number(uint64_t(i), i < 0);
    }
    bool Uint64(uint64_t u) { return number(u, false); }
    bool Double(double)
    {
        if (!scalar())
            return false;
        if (!skip_
            && ((state_ == State::Value && key_ != Field::Other && key_ != Field::Mtime)
                || state_ == State::Major || state_ == State::Minor))
            return fail(QStringLiteral("a number too large or not whole where a size or count belongs"));
        return after();
    }
    bool RawNumber(const char *, rapidjson::SizeType, bool) { return true; }
    bool String(const char *s, rapidjson::SizeType len, bool)
    {
        if (!notVersion() || !scalar())
            return false;
        if (skip_)
            return true;
        if (state_ == State::Value) {
            if (key_ == Field::Name) {
                if (len > limits_.maxName)
                    return fail(QStringLiteral("a name longer than %1 bytes").arg(limits_.maxName));
                cur_.name.assign(s, len);
                cur_.hasName = true;
            } else if (key_ == Field::Excluded) {
                cur_.excluded.assign(s, std::min<size_t>(len, 16));
            }
        } else if (state_ == State::MetaValue) {
            if (key_ == Field::Progname)
                out_.progname.assign(s, std::min<size_t>(len, 256));
            else if (key_ == Field::Progver)
                out_.progver.assign(s, std::min<size_t>(len, 256));
        }
        return after();
    }
    bool Key(const char *s, rapidjson::SizeType len, bool)
    {
        in_.valueSeen();
        if (skip_)
            return true;
        const std::string_view k(s, len);
        if (state_ == State::Entry) {
            key_ = entryKey(k);
        } else if (state_ == State::Meta) {
            key_ = k == "progname" ? Field::Progname : k == "progver" ? Field::Progver
                 : k == "timestamp" ? Field::Timestamp : Field::Other;
        } else {
            return fail(QStringLiteral("a key out of place"));
        }
        state_ = state_ == State::Entry ? State::Value : State::MetaValue;
        return true;
    }
    bool StartObject()
    {
        in_.valueSeen();
        if (skip_ || state_ == State::Value || state_ == State::MetaValue || state_ == State::AfterRoot)
            return deeper();
        if (state_ == State::Metadata) {
            state_ = State::Meta;
            return true;
        }
        if (state_ == State::DirInfo || state_ == State::Items) {
            entryIsFolder_ = state_ == State::DirInfo;
            cur_.reset();
            state_ = State::Entry;
            return true;
        }
        if (state_ == State::Start)
            return fail(QStringLiteral("it is not a scan export (no list at its start)"));
        return fail(QStringLiteral("an object where it does not belong"));
    }
    bool EndObject(rapidjson::SizeType)
    {
        in_.valueSeen();
        if (skip_)
            return shallower();
        if (state_ == State::Meta) {
            state_ = State::Root;
            laterNamesMarked_ = out_.progname == "gdu";
            return true;
        }
        if (state_ != State::Entry)
            return fail(QStringLiteral("an object where it does not belong"));
        state_ = State::Items;
        return entryIsFolder_ ? folderEntry() : fileEntry();
    }
    bool StartArray()
    {
        in_.valueSeen();
        if (skip_ || state_ == State::Value || state_ == State::MetaValue || state_ == State::AfterRoot)
            return deeper();
        if (state_ == State::Start) {
            state_ = State::Major;
            return true;
        }
        if (state_ == State::Root || state_ == State::Items) {
            if (dirs_.size() >= limits_.maxDepth)
                return fail(QStringLiteral("folders nested more than %1 deep").arg(limits_.maxDepth));
            state_ = State::DirInfo;
            return true;
        }
        if (state_ == State::Major || state_ == State::Minor)
            return fail(QStringLiteral("no version number at its start: it is not a scan export"));
        if (state_ == State::DirInfo)
            return fail(QStringLiteral("a folder without its own entry"));
        return fail(QStringLiteral("a folder where it does not belong"));
    }
    bool EndArray(rapidjson::SizeType)
    {
        in_.valueSeen();
        if (skip_)
            return shallower();
        if (state_ == State::Items) {
            dirs_.pop_back();
            state_ = dirs_.empty() ? State::AfterRoot : State::Items;
            return true;
        }
        if (state_ == State::AfterRoot) {
            state_ = State::Done;
            return true;
        }
        if (state_ == State::DirInfo)
            return fail(QStringLiteral("a folder without its own entry"));
        return fail(QStringLiteral("the document ends before its folder"));
    }

    bool done() const { return state_ == State::Done; }

private:
    enum class State : uint8_t {
        Start, Major, Minor, Metadata, Meta, MetaValue, Root, DirInfo, Entry, Value, Items, AfterRoot, Done
    };
    struct Cur {
        std::string name;
        int64_t asize = 0, dsize = 0, mtime = 0;
        uint64_t dev = 0, ino = 0, nlink = 1;
        bool hasName = false, hasDev = false, hasIno = false, hlnkc = false, readError = false, notreg = false;
        std::string excluded;
        // Empty again, keeping the texts' buffers for the next entry.
        void reset()
        {
            std::string n = std::move(name), e = std::move(excluded);
            n.clear();
            e.clear();
            *this = {};
            name = std::move(n);
            excluded = std::move(e);
        }
    };
    struct Dir {
        uint32_t node;
        uint64_t dev;
    };

    bool fail(const QString &what)
    {
        if (fault.isEmpty())
            fault = what;
        return false;
    }
    bool notVersion()
    {
        if (!skip_ && (state_ == State::Major || state_ == State::Minor))
            return fail(QStringLiteral("no version number at its start: it is not a scan export"));
        return true;
    }
    bool deeper()
    {
        if (++skip_ > limits_.maxDepth)
            return fail(QStringLiteral("values nested more than %1 deep").arg(limits_.maxDepth));
        return true;
    }
    bool shallower()
    {
        if (--skip_ == 0)
            return after();
        return true;
    }
    // A value begins: true unless it lies where none may.
    bool scalar()
    {
        in_.valueSeen();
        if (skip_ || state_ == State::Value || state_ == State::MetaValue || state_ == State::Major
            || state_ == State::Minor)
            return true;
        if (state_ == State::AfterRoot)
            return true; // later additions to the format after the folder are passed over
        if (state_ == State::Start)
            return fail(QStringLiteral("it is not a scan export (no list at its start)"));
        return fail(QStringLiteral("a value where a folder or an entry belongs"));
    }
    // A value of a key ended.
    bool after()
    {
        if (skip_)
            return true;
        if (state_ == State::Value)
            state_ = State::Entry;
        else if (state_ == State::MetaValue)
            state_ = State::Meta;
        return true;
    }
    bool number(uint64_t u, bool negative)
    {
        if (!scalar())
            return false;
        if (skip_)
            return true;
        const auto size = [&](int64_t &to) {
            if (u > uint64_t(std::numeric_limits<int64_t>::max()))
                return fail(QStringLiteral("a size too large"));
            to = int64_t(u);
            return true;
        };
        switch (state_) {
        case State::Major:
            if (negative || u != 1)
                return fail(QStringLiteral("export format version %1; only version 1 is read")
                                .arg(negative ? QString::number(int64_t(u)) : QString::number(u)));
            out_.major = 1;
            state_ = State::Minor;
            return true;
        case State::Minor:
            if (negative || u > 10000)
                return fail(QStringLiteral("a minor version out of range"));
            out_.minor = int(u);
            state_ = State::Metadata;
            return true;
        case State::MetaValue:
            if (key_ == Field::Timestamp)
                out_.timestamp = int64_t(u);
            break;
        case State::Value:
            switch (key_) {
            case Field::Asize: if (!size(cur_.asize)) return false; break;
            case Field::Dsize: if (!size(cur_.dsize)) return false; break;
            case Field::Dev: cur_.dev = u; cur_.hasDev = true; break;
            case Field::Ino: cur_.ino = u; cur_.hasIno = true; break;
            case Field::Nlink: cur_.nlink = u; break;
            case Field::Mtime: cur_.mtime = int64_t(u); break;
            default: break;
            }
            break;
        default:
            break;
        }
        return after();
    }
    bool nameOk(bool root)
    {
        if (!cur_.hasName || cur_.name.empty())
            return fail(QStringLiteral("an entry without a name"));
        if (root)
            return true;
        if (cur_.name == "." || cur_.name == ".." || cur_.name.find('/') != std::string::npos
            || cur_.name.find('\0') != std::string::npos)
            return fail(QStringLiteral("an entry named \"%1\", which no file can be named")
                            .arg(displayName(cur_.name)));
        return true;
    }
    void noteSkips()
    {
        if (cur_.readError)
            ++out_.readErrors;
        if (cur_.excluded.empty())
            return;
        if (cur_.excluded == "otherfs" || cur_.excluded == "othfs") // both spellings are met
            ++out_.otherFs;
        else if (cur_.excluded == "kernfs")
            ++out_.kernFs;
        else
            ++out_.excluded; // "pattern", "frmlink" and whatever later versions add
    }
    bool folderEntry()
    {
        const bool root = dirs_.empty();
        if (!nameOk(root))
            return false;
        ++out_.entries;
        noteSkips();
        const uint64_t dev = cur_.hasDev ? cur_.dev : root ? 0 : dirs_.back().dev;
        // A folder not entered (another file system, a pattern) is no
        // sub-folder, as a mount below a folder is none for a walk; anything
        // listed below it adds nothing.
        if (!root && (!cur_.excluded.empty() || dirs_.back().node == FolderNames::kNone)) {
            dirs_.push_back({FolderNames::kNone, dev});
            return true;
        }
        const uint32_t parent = root ? FolderNames::kNone : dirs_.back().node;
        const uint32_t n = out_.names.add(parent, cur_.name);
        out_.own.emplace_back();
        if (!root)
            ++out_.own[parent].folders;
        dirs_.push_back({n, dev});
        return true;
    }
    bool fileEntry()
    {
        if (!nameOk(false))
            return false;
        ++out_.entries;
        noteSkips();
        if (dirs_.back().node == FolderNames::kNone)
            return true; // below a folder not entered
        if (laterNamesMarked_ && cur_.hlnkc) {
            // This writer leaves the first name of a file unmarked and marks
            // every further one: a marked name was counted already.
            ++out_.linkedOnce;
            return true;
        }
        if ((cur_.hlnkc || cur_.nlink > 1) && cur_.hasIno) {
            // A file with several names counts at its first name met.
            const LinkKey k{cur_.hasDev ? cur_.dev : dirs_.back().dev, cur_.ino};
            if (!linked_.insert(k).second) {
                ++out_.linkedOnce;
                return true;
            }
        }
        Own &o = out_.own[dirs_.back().node];
        addSize(o.asize, cur_.asize);
        addSize(o.dsize, cur_.dsize);
        addSize(out_.totalAsize, cur_.asize);
        addSize(out_.totalDsize, cur_.dsize);
        if (!cur_.notreg && cur_.excluded.empty() && !cur_.readError)
            ++o.files;
        o.latestMtime = std::max(o.latestMtime, cur_.mtime);
        return true;
    }

    Loaded &out_;
    const Limits &limits_;
    Input &in_;
    State state_ = State::Start;
    Field key_ = Field::Other;
    uint32_t skip_ = 0; // depth within a value passed over
    bool entryIsFolder_ = false;
    bool laterNamesMarked_ = false; // the file marks a file's further names only
    Cur cur_;
    std::vector<Dir> dirs_;
    std::unordered_set<LinkKey, LinkHash> linked_;
};

QString sizeText(uint64_t bytes) { return QString::number(bytes); }
}

Outcome read(const std::string &path, Loaded &out, QString &error, const std::function<bool(uint64_t)> &progress,
             const Limits &limits)
{
    const QString file = displayName(path);
    const auto bad = [&](const QString &what) {
        error = file + QStringLiteral(": ") + what;
        return Outcome::Failed;
    };
    gzFile f = gzopen(path.c_str(), "rb");
    if (!f)
        return bad(QStringLiteral("cannot be opened (%1)").arg(QString::fromLocal8Bit(strerror(errno))));
    gzbuffer(f, unsigned(kBlock));
    Loaded fresh;
    Input in(f, limits.maxGap, progress);
    Builder b(fresh, limits, in);
    rapidjson::Reader reader;
    const rapidjson::ParseResult ok = reader.Parse<rapidjson::kParseIterativeFlag>(in, b);
    gzclose(f);
    if (in.aborted())
        return Outcome::Aborted;
    if (in.readFailed())
        return bad(QStringLiteral("could not be read to its end (a damaged or truncated compressed file)"));
    if (in.tooLong())
        return bad(QStringLiteral("more than %1 bytes without a whole value at byte %2")
                       .arg(sizeText(limits.maxGap), sizeText(in.bytes())));
    if (!b.fault.isEmpty())
        return bad(b.fault + QStringLiteral(" (at byte %1)").arg(ok.Offset()));
    if (ok.IsError()) {
        if (in.ended() && (ok.Code() == rapidjson::kParseErrorDocumentEmpty || ok.Offset() >= in.bytes()))
            return bad(in.bytes() == 0 ? QStringLiteral("the file is empty")
                                       : QStringLiteral("the file ends too early (it was cut short)"));
        return bad(QStringLiteral("not valid JSON at byte %1: %2")
                       .arg(ok.Offset())
                       .arg(QString::fromUtf8(rapidjson::GetParseError_En(ok.Code()))));
    }
    if (!b.done())
        return bad(QStringLiteral("it holds no folder"));
    out = std::move(fresh);
    return Outcome::Done;
}

// --- Writing -----------------------------------------------------------------

Writer::Writer(std::function<bool(std::string_view)> sink) : sink_(std::move(sink)) { buf_.reserve(kBlock + 8192); }

void Writer::appendString(std::string &out, std::string_view bytes)
{
    static const char hex[] = "0123456789abcdef";
    out += '"';
    size_t plain = 0; // start of the run not yet copied
    for (size_t i = 0; i < bytes.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(bytes[i]);
        // DEL is escaped too: JSON allows it raw, but readers of these
        // files refuse it.
        if (c >= 0x20 && c != '"' && c != '\\' && c != 0x7f)
            continue;
        out.append(bytes.data() + plain, i - plain);
        plain = i + 1;
        out += '\\';
        switch (c) {
        case '"': out += '"'; break;
        case '\\': out += '\\'; break;
        case '\n': out += 'n'; break;
        case '\t': out += 't'; break;
        case '\r': out += 'r'; break;
        case '\b': out += 'b'; break;
        case '\f': out += 'f'; break;
        default:
            out += "u00";
            out += hex[c >> 4];
            out += hex[c & 15];
        }
    }
    out.append(bytes.data() + plain, bytes.size() - plain);
    out += '"';
}

namespace {
void appendNumber(std::string &out, uint64_t n)
{
    char tmp[24];
    const auto r = std::to_chars(tmp, tmp + sizeof tmp, n);
    out.append(tmp, r.ptr);
}
}

void Writer::begin(std::string_view progname, std::string_view progver, int64_t timestamp)
{
    buf_ += "[1,2,{\"progname\":";
    appendString(buf_, progname);
    buf_ += ",\"progver\":";
    appendString(buf_, progver);
    buf_ += ",\"timestamp\":";
    appendNumber(buf_, uint64_t(std::max<int64_t>(timestamp, 0)));
    buf_ += '}';
}

void Writer::entry(const Entry &e, bool root)
{
    // Every element after the version and the metadata follows a comma:
    // a folder's first element is its own entry, written with its "[".
    buf_ += ",\n";
    if (e.folder)
        buf_ += '[';
    buf_ += "{\"name\":";
    appendString(buf_, e.name);
    if (e.excluded.empty() || e.asize || e.dsize) {
        buf_ += ",\"asize\":";
        appendNumber(buf_, uint64_t(std::max<int64_t>(e.asize, 0)));
        buf_ += ",\"dsize\":";
        appendNumber(buf_, uint64_t(std::max<int64_t>(e.dsize, 0)));
    }
    if (root || (e.folder && e.dev != devs_.back())) {
        buf_ += ",\"dev\":";
        appendNumber(buf_, e.dev);
    }
    if (!e.folder && e.nlink > 1) {
        buf_ += ",\"ino\":";
        appendNumber(buf_, e.ino);
        buf_ += ",\"hlnkc\":true,\"nlink\":";
        appendNumber(buf_, e.nlink);
    }
    if (e.readError)
        buf_ += ",\"read_error\":true";
    if (!e.excluded.empty()) {
        buf_ += ",\"excluded\":";
        appendString(buf_, e.excluded);
    }
    if (e.notreg)
        buf_ += ",\"notreg\":true";
    buf_ += '}';
    flushIfFull();
}

void Writer::openFolder(const Entry &e)
{
    entry(e, devs_.empty());
    devs_.push_back(e.dev);
}

void Writer::file(const Entry &e) { entry(e, false); }

void Writer::closeFolder()
{
    buf_ += ']';
    if (!devs_.empty())
        devs_.pop_back();
}

void Writer::flushIfFull()
{
    if (buf_.size() < kBlock)
        return;
    if (!failed_ && !sink_(buf_))
        failed_ = true;
    buf_.clear();
}

bool Writer::end()
{
    buf_ += "]\n";
    if (!failed_ && !sink_(buf_))
        failed_ = true;
    buf_.clear();
    return !failed_;
}

#ifndef VANTOR_VERSION
#define VANTOR_VERSION "unknown"
#endif

Outcome save(const std::string &folder, const std::string &path, QString &error,
             const std::function<bool()> &keepGoing)
{
    const auto failed = [&](const QString &what, int err) {
        error = displayName(path) + QStringLiteral(": ") + what
              + (err ? QStringLiteral(" (%1)").arg(QString::fromLocal8Bit(strerror(err))) : QString());
        return Outcome::Failed;
    };
    AtomicFile::Output out;
    if (!out.open(path))
        return failed(QStringLiteral("cannot be written"), out.error());
    Writer w([&](std::string_view block) { return out.write(block); });
    w.begin("vantor", VANTOR_VERSION, int64_t(std::time(nullptr)));
    ExportWalk::Visitor v;
    v.openFolder = [&](const Entry &e) { w.openFolder(e); };
    v.file = [&](const Entry &e) { w.file(e); };
    v.closeFolder = [&] { w.closeFolder(); };
    // A write that failed ends the walk too.
    v.keepGoing = [&] { return !w.failed() && (!keepGoing || keepGoing()); };
    int rootError = 0;
    const ExportWalk::Result r = ExportWalk::walk(folder, v, &rootError);
    if (r == ExportWalk::Result::RootMissing) {
        out.discard();
        error = displayName(folder) + QStringLiteral(": cannot be read (%1)")
                                          .arg(QString::fromLocal8Bit(strerror(rootError)));
        return Outcome::Failed;
    }
    if (w.failed() || (r == ExportWalk::Result::Walked && !w.end()))
        return failed(QStringLiteral("could not be written"), out.error());
    if (r == ExportWalk::Result::Aborted) {
        out.discard();
        return Outcome::Aborted;
    }
    if (!out.commit())
        return failed(QStringLiteral("could not be saved"), out.error());
    return Outcome::Done;
}
}

#include "safety/ZipExtract.h"

#include "common/DosTime.h"
#include "common/Text.h"
#include "platform/ExtractTarget.h"

#include <sys/stat.h>

namespace {
// Thrown out of the data sink to stop an item.
struct StopItem {
    bool aborted;
};

// The Unix mode recorded by a Unix host (0 when the archive has none).
uint32_t unixMode(const ZipEntry &e)
{
    const int host = e.versionMadeBy >> 8;
    return (host == 3 || host == 19) ? e.externalAttributes >> 16 : 0;
}

bool isLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

bool isFolderItem(const ZipEntry &e) { return e.isFolder() || S_ISDIR(unixMode(e)); }
}

bool ZipExtract::splitStoredName(const std::string &name, std::vector<std::string> &parts, std::string &why)
{
    parts.clear();
    if (name.find('\0') != std::string::npos) {
        why = "its name holds a NUL character";
        return false;
    }
    if (!name.empty() && (name[0] == '/' || name[0] == '\\')) {
        why = "its name is an absolute path";
        return false;
    }
    if (name.size() >= 3 && isLetter(name[0]) && name[1] == ':' && (name[2] == '/' || name[2] == '\\')) {
        why = "its name is an absolute path";
        return false;
    }
    // ".." is refused between either separator, as archives from other
    // systems use "\"; only "/" makes folders here, so "a\b" is one name.
    size_t start = 0;
    for (size_t i = 0; i <= name.size(); ++i) {
        if (i == name.size() || name[i] == '/' || name[i] == '\\') {
            if (name.compare(start, i - start, "..") == 0 && i - start == 2) {
                why = "its name leads out of the destination folder";
                return false;
            }
            start = i + 1;
        }
    }
    start = 0;
    for (size_t i = 0; i <= name.size(); ++i) {
        if (i == name.size() || name[i] == '/') {
            std::string part = name.substr(start, i - start);
            if (!part.empty() && part != ".")
                parts.push_back(std::move(part));
            start = i + 1;
        }
    }
    if (parts.empty()) {
        why = "it has no name";
        return false;
    }
    return true;
}

ZipExtract::Result ZipExtract::extractAll(const ZipArchive &zip, const std::string &destination, const Hooks &hooks)
{
    Result r;
    const auto &entries = zip.entries();
    r.missing = zip.missing();
    r.remark = zip.remark();
    r.repairNote = zip.repairNote();
    uint64_t total = 0, done = 0;
    for (const ZipEntry &e : entries) {
        if (!isFolderItem(e)) {
            ++r.items;
            total += e.size;
        }
    }
    ExtractTarget target(destination);
    if (!target.isOpen()) {
        r.destinationError = "Cannot open " + destination + ": " + target.error();
        r.failed = r.items;
        return r;
    }
    // The sizes the archive declares must fit before anything is written
    // (an item that unpacks to more than its declared size fails on its own).
    uint64_t free = 0;
    if (target.freeSpace(free) && total > free) {
        r.destinationError = "There is not enough free space in " + destination + " to unzip the files: they need "
            + formatThousands(int64_t(std::min<uint64_t>(total, INT64_MAX))).toStdString() + " bytes, and "
            + formatThousands(int64_t(std::min<uint64_t>(free, INT64_MAX))).toStdString() + " bytes are free.";
        r.failed = r.items;
        return r;
    }
    int lastPercent = -1;
    auto report = [&](bool always) {
        const int percent = total ? int(done * 100 / total) : 100;
        if (percent == lastPercent && !always)
            return false;
        lastPercent = percent;
        return hooks.progress && hooks.progress(percent);
    };

    std::optional<std::string> knownPassword;
    std::vector<std::string> parts;
    ExtractTarget::NewFile out;
    for (size_t i = 0; i < entries.size(); ++i) {
        const ZipEntry &e = entries[i];
        if (report(true)) {
            r.aborted = true;
            break;
        }
        target.keepCreated();
        const bool folder = isFolderItem(e);
        auto failItem = [&](const std::string &reason) {
            ++(folder ? r.foldersFailed : r.failed);
            // Folders made only for this item go again.
            target.undoCreated();
            if (hooks.itemFailed)
                hooks.itemFailed(e, reason);
        };
        std::string why;
        if (!splitStoredName(e.name, parts, why)) {
            failItem(e.name + " is refused: " + why);
            continue;
        }
        const uint32_t mode = unixMode(e);
        if (S_ISLNK(mode)) {
            failItem(e.name + " is refused: it is a symbolic link");
            continue;
        }
        if ((mode & S_IFMT) && !S_ISREG(mode) && !folder) {
            failItem(e.name + " is refused: it is not a regular file");
            continue;
        }
        const std::string display = joinPath(destination, e.name);
        if (folder) {
            if (target.folder(parts, true) < 0)
                failItem("Cannot make the folder " + display + ": " + target.error());
            else
                ++r.folders;
            continue;
        }
        const std::string leaf = parts.back();
        parts.pop_back();
        const int dirFd = target.folder(parts, true);
        if (dirFd < 0) {
            failItem("Cannot write " + display + ": " + target.error());
            done += e.size;
            continue;
        }
        if (target.exists(dirFd, leaf)) {
            ++r.existing;
            failItem("Cannot write " + display + ": a file of that name exists");
            done += e.size;
            continue;
        }

        std::string password;
        const std::string *passwordUsed = nullptr;
        if (e.encrypted()) {
            passwordUsed = &password;
            if (ZipArchive::traditionalEncryption(e)) {
                if (knownPassword && zip.passwordMatches(i, *knownPassword)) {
                    password = *knownPassword;
                } else {
                    const auto given = hooks.needPassword ? hooks.needPassword(e) : std::nullopt;
                    if (!given) {
                        failItem("No password was given for " + e.name);
                        done += e.size;
                        continue;
                    }
                    password = *given;
                }
            }
        }

        if (!target.create(dirFd, leaf, out)) {
            failItem("Cannot write " + display + ": " + out.error());
            done += e.size;
            continue;
        }
        const uint64_t before = done;
        try {
            zip.readEntry(
                i,
                [&](const char *data, size_t n) {
                    if (!out.write(data, n))
                        throw StopItem{false};
                    done += n;
                    if (report(false))
                        throw StopItem{true};
                },
                passwordUsed);
        } catch (const StopItem &stop) {
            out.discard();
            if (stop.aborted) {
                r.aborted = true;
                break;
            }
            failItem("Cannot write " + display + ": " + out.error());
            done = before + e.size;
            continue;
        } catch (const ZipError &err) {
            out.discard();
            failItem(err.what());
            done = before + e.size;
            continue;
        }
        if (out.written() != e.size) {
            out.discard();
            failItem("The data of " + e.name + " does not have its recorded size");
            continue;
        }
        // The extended time stamp keeps the second; the DOS time only every other one.
        const QDateTime stamp = DosTime::unpack(e.time);
        const int64_t mtime = e.unixTime && *e.unixTime >= 0 ? *e.unixTime
                                                            : stamp.isValid() ? stamp.toSecsSinceEpoch() : -1;
        if (!out.commit(mode ? int(mode & 07777) : -1, mtime)) {
            out.discard();
            failItem("Cannot write " + display + ": " + out.error());
            continue;
        }
        if (e.encrypted())
            knownPassword = password;
        ++r.extracted;
    }
    if (!r.aborted)
        report(true);
    return r;
}

bool ZipExtract::onlyExisting(const Result &r)
{
    return !r.aborted && r.failed > 0 && r.existing == r.failed && r.foldersFailed == 0 && r.missing.empty()
        && r.repairNote.empty();
}

QString ZipExtract::closingMessage(const Result &r)
{
    // What the reader found unusual, and how the archive was repaired, close every message.
    QString notes;
    if (!r.repairNote.empty())
        notes += QStringLiteral("\n\n") + displayName(r.repairNote);
    if (!r.remark.empty())
        notes += QStringLiteral("\n\n") + displayName(r.remark);
    const bool all = !r.aborted && r.failed == 0 && r.foldersFailed == 0 && r.extracted == r.items;
    if (all && r.missing.empty() && r.repairNote.empty())
        return QStringLiteral("Files were unzipped") + notes;
    if (all && r.missing.empty())
        return QStringLiteral("%1 of %2 files were unzipped from an archive that was repaired.")
                   .arg(formatThousands(int64_t(r.extracted)), formatThousands(int64_t(r.items)))
            + notes;
    if (all)
        return QStringLiteral("%1 of %2 files were unzipped, but the archive was not whole: ")
                   .arg(formatThousands(int64_t(r.extracted)), formatThousands(int64_t(r.items)))
            + displayName(r.missing) + notes;
    if (onlyExisting(r)) {
        // Unzipping again: the files are there, and none was touched.
        const QString there = r.extracted == 0
            ? QStringLiteral("The files of this archive are already there: all %1 exist in the destination folder "
                             "and were left untouched, so nothing was unzipped.")
                  .arg(formatThousands(int64_t(r.existing)))
            : QStringLiteral("%1 of %2 files were unzipped; the other %3 are already there and were left untouched.")
                  .arg(formatThousands(int64_t(r.extracted)), formatThousands(int64_t(r.items)),
                       formatThousands(int64_t(r.existing)));
        return there + notes;
    }
    const QString counts = QStringLiteral("%1 of %2 files were unzipped")
                               .arg(formatThousands(int64_t(r.extracted)), formatThousands(int64_t(r.items)));
    if (r.aborted)
        return QStringLiteral("Unzipping was aborted: ") + counts
               + (r.failed ? QStringLiteral("; %1 could not be extracted.").arg(formatThousands(int64_t(r.failed)))
                           : QStringLiteral("."))
               + notes;
    QString text = counts + QStringLiteral("; %1 could not be extracted.").arg(formatThousands(int64_t(r.failed)));
    if (r.existing)
        text += QStringLiteral(" %1 of them are already there and were left untouched.")
                    .arg(formatThousands(int64_t(r.existing)));
    if (r.foldersFailed)
        text += QStringLiteral(" %1 folders could not be made.").arg(formatThousands(int64_t(r.foldersFailed)));
    if (!r.missing.empty())
        text += QStringLiteral("\n\n") + displayName(r.missing);
    return text + notes;
}

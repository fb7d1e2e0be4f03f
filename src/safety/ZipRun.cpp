#include "safety/ZipRun.h"

#include "settings/AppState.h"
#include "common/Dialogs.h"
#include "common/Runs.h"
#include "common/Text.h"
#include "platform/AnchoredPath.h"
#include "platform/DirReader.h"
#include "platform/Drives.h"
#include "platform/PathInfo.h"
#include "platform/Paths.h"
#include "platform/RawFile.h"
#include "safety/CopyCheck.h"
#include "safety/Deletion.h"
#include "safety/ZipNames.h"

#include <algorithm>


namespace {
struct DriveOf {
    char letter = 'C';
    std::string root = "/";
};

DriveOf driveOf(const std::string &path)
{
    DriveOf d;
    if (const auto drive = Drives::driveOfPath(path)) {
        d.letter = drive->letter;
        d.root = drive->root;
    }
    return d;
}

const QString kCouldNotZip = QStringLiteral("Couldn't zip up file - ");
const QString kChanged = QStringLiteral("The file changed while it was being zipped, so it was not deleted.");

// The names a run gives its archives: "Drive-", a letter, "-", ..., ".zip".
bool isRunArchiveName(const std::string &name)
{
    return name.size() > 12 && name.compare(0, 6, "Drive-") == 0 && name[7] == '-'
        && name.compare(name.size() - 4, 4, ".zip") == 0;
}

// The archive a hidden record or note beside it belongs to
// (".<archive>.unfinished", ".<archive>.repaired"); empty for other names.
std::string hiddenArchiveName(const std::string &name)
{
    for (const std::string suffix : {".unfinished", ".repaired"})
        if (name.size() > suffix.size() + 1 && name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0)
            return name.substr(1, name.size() - suffix.size() - 1);
    return {};
}
}

ZipRun::ZipRun(QString tag, QString comment, QDateTime time)
    : tag_(std::move(tag)), comment_(comment.toUtf8().toStdString()), time_(std::move(time))
{
}

bool ZipRun::itemProgress(int percent)
{
    if (hooks.itemProgress)
        hooks.itemProgress(percent);
    // Events run at most every pump interval, also between files: running
    // them after every small file would spend the run redrawing the window.
    pump_.pump();
    const bool stop = stopRequested();
    if (stop && percent < 100)
        abortedAdd_ = true;
    return stop;
}

bool ZipRun::openArchive(ZipArchive &archive, char driveLetter)
{
    const std::string path = zipArchivePath(tag_, driveLetter, time_);
    if (!repaired_) {
        repaired_ = true;
        repairAndReport();
    }
    try {
        // The folder, default or chosen, is made when it is missing.
        Paths::makeFolders(AppState::zipFolder());
        archive.open(path);
        archive.setDirectoryInterval(directoryIntervalMs);
        archive.setSyncEachAdd(false); // flush() syncs each batch at once
        archive.setComment(comment_);
        return true;
    } catch (const ZipError &e) {
        archive.close();
        dialogs().showError(QStringLiteral("Couldn't create archive zip file - ") + displayName(path)
                            + QStringLiteral("\n\n") + displayName(e.what()));
        return false;
    }
}

std::vector<ZipRepair> ZipRun::repairArchiveFolder()
{
    std::vector<ZipRepair> reports;
    const std::string folder = AppState::zipFolder();
    std::vector<std::string> names, hidden;
    {
        DirReader dir(folder);
        const char *name;
        size_t len;
        DirReader::Kind kind;
        while (dir.next(name, len, kind)) {
            const std::string n(name, len);
            if (kind == DirReader::Kind::Folder)
                continue;
            if (isRunArchiveName(n))
                names.push_back(n);
            else if (n.size() > 1 && n[0] == '.' && isRunArchiveName(hiddenArchiveName(n)))
                hidden.push_back(n);
        }
    }
    std::sort(names.begin(), names.end());
    for (const std::string &n : names) {
        ZipRepair r = ZipArchive::repairInterrupted(joinPath(folder, n));
        if (r.outcome != ZipRepair::Outcome::None)
            reports.push_back(std::move(r));
    }
    // A record or note outlives its archive only when the archive was
    // removed or renamed: it then goes too.
    for (const std::string &n : hidden)
        if (!PathInfo::exists(joinPath(folder, hiddenArchiveName(n))))
            PathInfo::removeOwnFile(joinPath(folder, n));
    return reports;
}

void ZipRun::repairAndReport()
{
    for (const ZipRepair &r : repairArchiveFolder())
        if (r.repaired())
            dialogs().showInfo(displayName(r.message()));
}

ZipRun::Outcome ZipRun::zipAndDelete(ZipArchive &archive, const std::string &path, bool deleteAfter, int folder)
{
    abortedAdd_ = false;
    if (failed())
        return Outcome::Aborted;
    // The file is reached from its drive without following a link on the
    // way (or in the folder the walk holds open) and read through one
    // descriptor; its deletion acts on the same folder descriptor. Files of
    // one folder in a row share it.
    const size_t slash = path.rfind('/');
    const std::string name = path.substr(slash + 1);
    std::shared_ptr<UniqueFd> dir;
    if (!pending_.empty() && pending_.back().path.size() == slash + 1 + pending_.back().name.size()
        && pending_.back().path.compare(0, slash, path, 0, slash) == 0)
        dir = pending_.back().folder;
    else if (folder >= 0)
        dir = std::make_shared<UniqueFd>(UniqueFd::dup(folder));
    else
        dir = std::make_shared<UniqueFd>(std::move(AnchoredPath::openParent(path).folder));
    RawFile src;
    if (!*dir || !src.openAt(dir->get(), name, RawFile::Mode::Read)) {
        dialogs().showError(kCouldNotZip + displayName(path));
        return Outcome::NotZipped;
    }
    if (!marks_.count(&archive))
        marks_[&archive] = archive.mark();
    archive.afterRead = [&] {
        if (hooks.afterRead)
            hooks.afterRead(path);
    };
    FileIdentity read;
    try {
        read = archive.addOpenFile(src, path, zipStoredName(path, driveOf(path).root),
                                   [this](int percent) { return itemProgress(percent); });
    } catch (const ZipError &e) {
        archive.afterRead = nullptr;
        if (abortedAdd_)
            return Outcome::Aborted;
        if (e.diskFull()) {
            // Every later file would fail the same way: one message, and
            // the run ends (the batch already written still counts).
            diskFull_ = true;
            dialogs().showError(kCouldNotZip + displayName(path) + QStringLiteral("\n\n") + displayName(e.what()));
            return Outcome::Aborted;
        }
        dialogs().showError(kCouldNotZip + displayName(path));
        return Outcome::NotZipped;
    }
    archive.afterRead = nullptr;
    // The add reports pieces of large files only: the gauge learns here that
    // the file is in.
    if (hooks.itemProgress)
        hooks.itemProgress(100);
    if (pending_.empty())
        batchStart_ = std::chrono::steady_clock::now();
    const int64_t size = int64_t(archive.entries().back().size);
    pending_.push_back({&archive, path, std::move(dir), name, read, size, deleteAfter});
    pendingBytes_ += size;
    if (batchFull())
        flush();
    return Outcome::Added;
}

bool ZipRun::batchFull() const
{
    return pending_.size() >= std::min(batch.files, batchFiles_) || pendingBytes_ >= batch.bytes
        || std::chrono::steady_clock::now() - batchStart_ >= std::chrono::milliseconds(batch.ms);
}

bool ZipRun::flush()
{
    std::vector<Pending> items;
    items.swap(pending_);
    std::map<ZipArchive *, ZipArchive::Mark> marks;
    marks.swap(marks_);
    pendingBytes_ = 0;
    if (items.empty())
        return !failed_;
    batchFiles_ = std::min(batch.files, 2 * batchFiles_);
    // Every entry of the batch is on disk before any of its files goes.
    for (auto &[archive, mark] : marks) {
        try {
            if (syncEachAdd)
                archive->sync();
        } catch (const ZipError &e) {
            failed_ = true;
            dialogs().showError(kCouldNotZip + displayName(items.front().path) + QStringLiteral("\n\n")
                                + displayName(e.what()));
            break;
        }
    }
    if (failed_) {
        // Nothing of the batch counts as zipped: its entries may not be on
        // disk, so they leave the archives and the files stay.
        for (auto &[archive, mark] : marks)
            archive->rollback(mark);
        return false;
    }
    for (const Pending &p : items) {
        ++totals_.zipped;
        totals_.zippedBytes += p.size;
        if (hooks.afterSync)
            hooks.afterSync(p.path);
    }
    for (const Pending &p : items) {
        if (!p.deleteAfter)
            continue;
        if (hooks.beforeUnlink)
            hooks.beforeUnlink(p.path);
        // Removed only while it is the file that was read, unchanged: a file
        // written to or replaced since stays, and the archive keeps what was read.
        FileIdentity named;
        if (!AnchoredPath::statAt(p.folder->get(), p.name, named) || !named.sameState(p.read)) {
            dialogs().showError(Deletion::kCouldNotDelete + displayName(p.path) + QStringLiteral("\n\n") + kChanged);
            if (copyCheck)
                copyCheck->keep(p.path);
            continue;
        }
        RawFile::faultStep("unlink");
        if (!AnchoredPath::unlinkAt(p.folder->get(), p.name)) {
            dialogs().showError(Deletion::kCouldNotDelete + displayName(p.path));
            if (copyCheck)
                copyCheck->keep(p.path);
            continue;
        }
        ++totals_.files;
        totals_.bytes += p.size;
        totals_.done.push_back(p.path);
    }
    if (hooks.batchDone)
        hooks.batchDone();
    return true;
}

void ZipRun::closeArchive(ZipArchive &archive)
{
    if (!archive.isOpen())
        return;
    // The directory goes in before the last sync, so that one sync covers
    // both; a directory that cannot be written is rebuilt by the next open.
    try {
        archive.writeDirectory();
        if (syncEachAdd && !marks_.count(&archive))
            archive.sync();
    } catch (const ZipError &) {
    }
    flush();
    archive.close();
}

ZipRun::Result ZipRun::run(const std::vector<std::string> &files)
{
    const Runs::Token token(QStringLiteral("a zip run"), [this] { stopped_ = true; });
    Result r;
    std::map<char, ZipArchive> archives;
    if (copyCheck)
        copyCheck->begin(files);
    for (size_t i = 0; i < files.size(); ++i) {
        if (stopRequested()) {
            r.aborted = true;
            break;
        }
        const std::string &path = files[i];
        // An archive of this run is never zipped (and so never deleted) while
        // the run still writes to it.
        FileIdentity id;
        if (AnchoredPath::stat(path, id)) {
            bool isArchive = false;
            for (const auto &[l, a] : archives)
                isArchive = isArchive || a.isFile(id.device, id.inode);
            if (isArchive) {
                dialogs().showError(kCouldNotZip + displayName(path));
                continue;
            }
        }
        // A file listed as a copy goes only while a copy that stays still
        // holds its bytes; otherwise it is left untouched, not even zipped.
        if (copyCheck && !copyCheck->allows(path))
            continue;
        const char letter = driveOf(path).letter;
        ZipArchive &archive = archives[letter];
        if (!archive.isOpen() && !openArchive(archive, letter)) {
            r.archiveFailed = true;
            break;
        }
        if (hooks.fileStarted)
            hooks.fileStarted(i, path);
        const Outcome o = zipAndDelete(archive, path, true);
        if (o != Outcome::Added && copyCheck)
            copyCheck->keep(path);
        if (o == Outcome::Aborted) {
            r.aborted = !failed();
            break;
        }
    }
    // The last batch is synced and deleted, even after an abort: its files
    // are complete in the archive. Each archive gets its directory as it is
    // closed.
    for (auto &[l, a] : archives)
        closeArchive(a);
    r.archiveFailed = r.archiveFailed || failed();
    r.files = totals_.files;
    r.bytes = totals_.bytes;
    r.done = totals_.done;
    return r;
}

void ZipRun::finish(const Result &r, const QString &note)
{
    if (r.files > 0)
        Deletion::recordZipTally(r.files, r.bytes);
    if (!r.aborted && !r.archiveFailed)
        dialogs().showMessage(QStringLiteral("Files deleted and stored in archive zip files in the folder \"")
                              + displayName(AppState::zipFolder()) + QLatin1Char('"')
                              + (note.isEmpty() ? QString() : QStringLiteral("\n\n") + note));
    else if (!note.isEmpty())
        dialogs().showInfo(note);
}

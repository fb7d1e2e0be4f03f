#include "safety/ZipRun.h"

#include "app/AppState.h"
#include "common/Dialogs.h"
#include "common/Runs.h"
#include "common/Text.h"
#include "platform/AnchoredPath.h"
#include "platform/DirReader.h"
#include "platform/Drives.h"
#include "platform/Paths.h"
#include "platform/RawFile.h"
#include "safety/Deletion.h"
#include "safety/ZipNames.h"


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
}

ZipRun::ZipRun(QString tag, QString comment, QDateTime time)
    : tag_(std::move(tag)), comment_(comment.toUtf8().toStdString()), time_(std::move(time))
{
}

void ZipRun::pumpEvents(bool force)
{
    if (force && EventPump::defaultInterval() >= 0)
        pump_.now();
    else
        pump_.pump();
}

bool ZipRun::itemProgress(int percent)
{
    if (hooks.itemProgress)
        hooks.itemProgress(percent);
    pumpEvents(percent >= 100);
    const bool stop = hooks.abortRequested && hooks.abortRequested();
    if (stop && percent < 100)
        abortedAdd_ = true;
    return stop;
}

bool ZipRun::openArchive(ZipArchive &archive, char driveLetter)
{
    const std::string path = zipArchivePath(tag_, driveLetter, time_);
    if (!repaired_) {
        repaired_ = true;
        repairArchiveFolder();
    }
    try {
        // The folder, default or chosen, is made when it is missing.
        Paths::makeFolders(AppState::zipFolder());
        archive.open(path);
        archive.setDirectoryInterval(directoryIntervalMs);
        archive.setSyncEachAdd(syncEachAdd);
        archive.setComment(comment_);
        return true;
    } catch (const ZipError &e) {
        archive.close();
        dialogs().showError(QStringLiteral("Couldn't create archive zip file - ") + displayName(path)
                            + QStringLiteral("\n\n") + displayName(e.what()));
        return false;
    }
}

std::vector<std::string> ZipRun::repairArchiveFolder()
{
    std::vector<std::string> repaired;
    const std::string folder = AppState::zipFolder();
    DirReader dir(folder);
    const char *name;
    size_t len;
    DirReader::Kind kind;
    while (dir.next(name, len, kind)) {
        const std::string n(name, len);
        if (kind != DirReader::Kind::Folder && isRunArchiveName(n) && ZipArchive::repairInterrupted(joinPath(folder, n)))
            repaired.push_back(n);
    }
    return repaired;
}

ZipRun::Outcome ZipRun::zipAndDelete(ZipArchive &archive, const std::string &path, bool deleteAfter, int64_t *size)
{
    abortedAdd_ = false;
    // The file is reached from its drive without following a link on the
    // way and read through one descriptor; the removal below acts on the same
    // folder descriptor.
    const AnchoredPath::Parent parent = AnchoredPath::openParent(path);
    RawFile src;
    if (!parent || !src.openAt(parent.folder.get(), parent.name, RawFile::Mode::Read)) {
        dialogs().showError(kCouldNotZip + displayName(path));
        return Outcome::NotZipped;
    }
    FileIdentity read;
    archive.afterRead = [&] {
        if (hooks.afterRead)
            hooks.afterRead(path);
    };
    try {
        read = archive.addOpenFile(src, path, zipStoredName(path, driveOf(path).root),
                                   [this](int percent) { return itemProgress(percent); });
    } catch (const ZipError &) {
        archive.afterRead = nullptr;
        if (abortedAdd_)
            return Outcome::Aborted;
        dialogs().showError(kCouldNotZip + displayName(path));
        return Outcome::NotZipped;
    }
    archive.afterRead = nullptr;
    if (size)
        *size = int64_t(archive.entries().back().size);
    if (hooks.afterSync)
        hooks.afterSync(path);
    if (!deleteAfter)
        return Outcome::ZippedNotDeleted;
    if (hooks.beforeUnlink)
        hooks.beforeUnlink(path);
    // Removed only while it is the file that was read, unchanged: a file
    // written to or replaced since stays, and the archive keeps what was read.
    FileIdentity open, named;
    const bool unchanged = src.identity(open) && open.sameState(read)
        && AnchoredPath::statAt(parent.folder.get(), parent.name, named) && named.sameState(read);
    if (!unchanged) {
        dialogs().showError(Deletion::kCouldNotDelete + displayName(path) + QStringLiteral("\n\n") + kChanged);
        return Outcome::ZippedNotDeleted;
    }
    if (!AnchoredPath::unlinkAt(parent.folder.get(), parent.name)) {
        dialogs().showError(Deletion::kCouldNotDelete + displayName(path));
        return Outcome::ZippedNotDeleted;
    }
    return Outcome::ZippedAndDeleted;
}

ZipRun::Result ZipRun::run(const std::vector<std::string> &files)
{
    const Runs::Token token(QStringLiteral("a zip run"));
    Result r;
    std::map<char, ZipArchive> archives;
    for (size_t i = 0; i < files.size(); ++i) {
        if (hooks.abortRequested && hooks.abortRequested()) {
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
        const char letter = driveOf(path).letter;
        ZipArchive &archive = archives[letter];
        if (!archive.isOpen() && !openArchive(archive, letter)) {
            r.archiveFailed = true;
            break;
        }
        if (hooks.fileStarted)
            hooks.fileStarted(i, path);
        int64_t size = 0;
        const Outcome o = zipAndDelete(archive, path, true, &size);
        if (o == Outcome::ZippedAndDeleted) {
            ++r.files;
            r.bytes += size;
            r.done.push_back(path);
        } else if (o == Outcome::Aborted) {
            r.aborted = true;
            break;
        }
    }
    // Each archive gets its directory as it is closed.
    for (auto &[l, a] : archives)
        a.close();
    return r;
}

void ZipRun::finish(const Result &r)
{
    if (r.files > 0)
        Deletion::recordZipTally(r.files, r.bytes);
    if (!r.aborted && !r.archiveFailed)
        dialogs().showMessage(QStringLiteral("Files deleted and stored in archive zip files in the folder \"")
                              + displayName(AppState::zipFolder()) + QLatin1Char('"'));
}

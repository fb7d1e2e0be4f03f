#include "safety/ZipRun.h"

#include "app/AppState.h"
#include "common/Dialogs.h"
#include "common/Runs.h"
#include "common/Text.h"
#include "platform/Drives.h"
#include "platform/PathInfo.h"
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

bool isDefaultFolder()
{
    const QString p = AppState::defaultZipPath.trimmed();
    return p.isEmpty() || p == QLatin1String("C:\\");
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
    try {
        // The default folder is made on first use; a chosen folder must exist.
        if (isDefaultFolder())
            Paths::makeFolders(AppState::zipFolder());
        archive.open(path);
        archive.setComment(comment_);
        return true;
    } catch (const ZipError &e) {
        archive.close();
        dialogs().showError(QStringLiteral("Couldn't create archive zip file - ") + displayName(path)
                            + QStringLiteral("\n\n") + displayName(e.what()));
        return false;
    }
}

ZipRun::Outcome ZipRun::zipAndDelete(ZipArchive &archive, const std::string &path, bool deleteAfter, int64_t *size)
{
    abortedAdd_ = false;
    try {
        archive.addFile(path, zipStoredName(path, driveOf(path).root),
                        [this](int percent) { return itemProgress(percent); });
    } catch (const ZipError &) {
        if (abortedAdd_)
            return Outcome::Aborted;
        dialogs().showError(QStringLiteral("Couldn't zip up file - ") + displayName(path));
        return Outcome::NotZipped;
    }
    if (size)
        *size = int64_t(archive.entries().back().size);
    if (!deleteAfter)
        return Outcome::ZippedNotDeleted;
    if (!PathInfo::removeFile(path)) {
        dialogs().showError(QStringLiteral("Couldn't delete file - ") + displayName(path));
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
        uint64_t device = 0, inode = 0;
        if (RawFile::identify(path, device, inode)) {
            bool isArchive = false;
            for (const auto &[l, a] : archives)
                isArchive = isArchive || a.isFile(device, inode);
            if (isArchive) {
                dialogs().showError(QStringLiteral("Couldn't zip up file - ") + displayName(path));
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

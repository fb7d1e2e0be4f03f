#include "safety/FolderRemoval.h"
#include "app/AppState.h"
#include "common/Dialogs.h"
#include "common/Runs.h"
#include "common/Text.h"
#include "platform/AnchoredPath.h"
#include "platform/Drives.h"
#include "platform/Paths.h"
#include "platform/Trash.h"
#include "platform/TreeRemoval.h"
#include "safety/Deletion.h"
#include "safety/NonDeleteList.h"
#include "safety/ZipArchive.h"
#include "safety/ZipRun.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>

const QString FolderRemoval::kAttributeQuestion =
    QStringLiteral("Delete this file and continue deleting the remaining files? ");

namespace {
std::string trimmed(std::string p)
{
    while (p.size() > 1 && p.back() == '/')
        p.pop_back();
    return p;
}

bool isWithin(const std::string &path, const std::string &folder)
{
    if (folder == "/")
        return true;
    return path.compare(0, folder.size(), folder) == 0 && (path.size() == folder.size() || path[folder.size()] == '/');
}

std::string realPath(const std::string &p)
{
    char buf[PATH_MAX];
    return ::realpath(p.c_str(), buf) ? std::string(buf) : trimmed(p);
}
}

FolderRemoval::FolderRemoval(std::string folder) : folder_(trimmed(std::move(folder))) {}

// True for the home folder itself and for every folder that holds it (such as
// /home): removing one of those would remove the user's own files with it.
static bool isHomeOrAbove(const std::string &f)
{
    const std::string home = trimmed(Paths::homeFolder());
    if (f == home)
        return true;
    const std::string real = realPath(f);
    const std::string realHome = realPath(home);
    for (const std::string &h : {home, realHome})
        for (const std::string &d : {f, real})
            if (h == d || (h.size() > d.size() && h.compare(0, d.size(), d) == 0 && h[d.size()] == '/'))
                return true;
    return false;
}

FolderRemoval::Refused FolderRemoval::refusedAs(const std::string &folder)
{
    const std::string f = trimmed(folder);
    if (f.empty() || f[0] != '/')
        return Refused::NotFullPath;
    if (f == "/")
        return Refused::Root;
    for (const Drive &d : Drives::list())
        if (trimmed(d.root) == f)
            return Refused::Root;
    static const char *const systemFolders[] = {"/bin", "/boot", "/dev", "/etc", "/lib", "/lib32", "/lib64",
                                                "/libx32", "/proc", "/root", "/run", "/sbin", "/sys", "/usr", "/var"};
    for (const char *s : systemFolders)
        if (f == s)
            return Refused::SystemFolder;
    if (isHomeOrAbove(f))
        return Refused::Home;
    return Refused::None;
}

QString FolderRemoval::refusal(const std::string &folder)
{
    const std::string f = trimmed(folder);
    const QString shown = displayName(f);
    switch (refusedAs(f)) {
    case Refused::None:
        return {};
    case Refused::NotFullPath:
        return shown + QStringLiteral(" is not a full path.");
    case Refused::Root:
        if (f == "/")
            return shown + QStringLiteral(" is the root of the file system and cannot be removed.");
        for (const Drive &d : Drives::list())
            if (trimmed(d.root) == f)
                return shown + QStringLiteral(" is the root of drive ") + QLatin1Char(d.letter)
                    + QStringLiteral(":.  A drive's root cannot be removed.");
        return shown + QStringLiteral(" is the root of a drive and cannot be removed.");
    case Refused::SystemFolder:
        return shown + QStringLiteral(" is a folder of the operating system and cannot be removed.");
    case Refused::Home:
        if (realPath(f) != realPath(Paths::homeFolder()) && f != trimmed(Paths::homeFolder()))
            return shown + QStringLiteral(" holds your home folder and cannot be removed.");
        return shown + QStringLiteral(" is your home folder and cannot be removed.");
    }
    return {};
}

int FolderRemoval::protectedReason() const { return isOnNonDeleteList(folder_, false); }

bool FolderRemoval::confirmProtected() const
{
    const int reason = protectedReason();
    if (reason == 0)
        return true;
    return dialogs().askYesNo(
        QStringLiteral("Warning: the folder or a sub-folder of the one to delete is marked NOT to be deleted because it is ")
        + nonDeleteReasonText(reason)
        + QStringLiteral(".  You may not want to delete it at this time.  Really delete?"));
}

QString FolderRemoval::deletedText(int64_t files, int64_t bytes, bool completed)
{
    QString t = QStringLiteral("Deleted ") + formatThousands(files) + QStringLiteral(" files for a savings of ")
        + formatThousands(bytes) + QStringLiteral(" bytes.");
    if (!completed)
        t += QStringLiteral(" (Note: Deletion operation canceled ... not all files deleted)");
    return t;
}

QString FolderRemoval::zippedText(int64_t files, bool completed)
{
    QString t = QStringLiteral("Zipped up ") + formatThousands(files) + QStringLiteral(" files");
    if (!completed)
        t += QStringLiteral(" (Note: Zip operation canceled ... not all files zipped)");
    return t;
}

// The read-only, hidden and system questions, in that order. A Yes to the
// read-only question gives the owner write permission (a regular file only,
// reached without following a link); hidden and system are properties of
// the name and the kind of entry here, so their Yes changes nothing. A No or
// Cancel stops the walk with the file kept. asked is set when a question was
// put (time passed, and the file may have changed meanwhile).
bool FolderRemoval::askAttributes(const std::string &path, const std::string &name, int folderFd, unsigned mode,
                                  bool &asked)
{
    const bool regular = S_ISREG(mode);
    const bool readOnly = (S_ISREG(mode) || S_ISDIR(mode)) && !(mode & S_IWUSR);
    const bool hidden = !name.empty() && name[0] == '.';
    const bool system = !regular;
    auto ask = [&](const char *phrase) {
        asked = true;
        if (dialogs().askYesNoCancel(displayName(path) + QLatin1String(phrase) + kAttributeQuestion)
            == Dialogs::Answer::Yes)
            return true;
        aborted = true;
        return false;
    };
    if (readOnly) {
        if (!ask(" is read-only, "))
            return false;
        if (regular) {
            UniqueFd fd = AnchoredPath::openAt(folderFd, name, O_RDONLY | O_NONBLOCK);
            struct stat st;
            if (fd && ::fstat(fd.get(), &st) == 0 && S_ISREG(st.st_mode))
                ::fchmod(fd.get(), (st.st_mode & 07777) | S_IWUSR);
        }
    }
    if (hidden && !ask(" is hidden, "))
        return false;
    if (system && !ask(" is a system file, "))
        return false;
    return true;
}

FolderRemoval::Outcome FolderRemoval::run()
{
    Outcome out;
    const QString refused = refusal(folder_);
    if (!refused.isEmpty()) {
        dialogs().showError(refused);
        return out;
    }
    const Runs::Token token(QStringLiteral("a folder removal"));
    const bool zip = mode == Mode::Zip;
    const bool removing = !zip || deleteAfterZip;

    ZipArchive archive;
    std::unique_ptr<ZipRun> zipRun;
    if (zip) {
        // An archive written into the folder being removed would be zipped
        // into itself and deleted with the folder.
        const std::string archives = realPath(AppState::zipFolder());
        if (isWithin(archives, realPath(folder_)) || isWithin(trimmed(AppState::zipFolder()), folder_)) {
            dialogs().showError(QStringLiteral("The zip file folder ") + displayName(AppState::zipFolder())
                                + QStringLiteral(" is inside the folder to remove.  Choose another zip file folder."));
            return out;
        }
        const auto drive = Drives::driveOfPath(folder_);
        zipRun = std::make_unique<ZipRun>(QStringLiteral("FolderClean"), zipComment, zipTime);
        zipRun->hooks.itemProgress = hooks.zipProgress;
        zipRun->hooks.abortRequested = [this] { return aborted; };
        zipRun->batch = zipBatch;
        if (!zipRun->openArchive(archive, drive ? drive->letter : 'C'))
            return out;
    }

    // Zip mode deletes files in batches, once their entries are synced, so
    // a folder emptied by the walk may still hold files of the batch: it is
    // held, with a descriptor of its parent, and removed after the batch.
    struct Held {
        UniqueFd parent;
        std::string name;
        bool root;
    };
    std::vector<Held> held;
    bool rootRemovedLater = false;
    auto removeHeld = [&] {
        for (const Held &h : held)
            if (TreeRemoval::removeEmptyFolder(h.parent.get(), h.name) && h.root)
                rootRemovedLater = true;
        held.clear();
    };
    if (zipRun)
        zipRun->hooks.batchDone = removeHeld;

    bool reported = false; // the first file that could not be removed is reported
    auto reportFailure = [&](const QString &text) {
        if (!reported)
            dialogs().showError(text);
        reported = true;
    };

    TreeRemoval::Walk walk;
    walk.removeFolders = removing;
    if (zip)
        walk.removeFolder = [&](int parent, const std::string &name, const std::string &path) {
            if (!zipRun->pending())
                return TreeRemoval::removeEmptyFolder(parent, name);
            held.push_back({UniqueFd::dup(parent), name, path == folder_});
            if (held.size() >= 64)
                zipRun->flush();
            return false;
        };
    walk.stopRequested = [this] {
        if (hooks.pump)
            hooks.pump();
        return aborted;
    };
    walk.onEntry = [&](const TreeRemoval::Entry &e) {
        // Set when a question or window events came between the walk's look
        // at the entry and its removal.
        bool waited = false;
        if (removing && !askAttributes(e.path, e.name, e.folder, e.st.st_mode, waited))
            return false;
        ++out.met;
        if (hooks.fileStarted)
            hooks.fileStarted(out.met, e.path);
        if (hooks.pump && hooks.pump())
            waited = true;
        switch (mode) {
        case Mode::Delete: {
            // The size the walk just read, unless time passed since: then
            // the size as it is now, just before the removal.
            int64_t size = e.st.st_size;
            struct stat now;
            if (waited && ::fstatat(e.folder, e.name.c_str(), &now, AT_SYMLINK_NOFOLLOW) == 0)
                size = now.st_size;
            int error = 0;
            if (TreeRemoval::deleteEntry(e, &error)) {
                ++out.files;
                out.bytes += size;
            } else {
                reportFailure(Deletion::kCouldNotDelete + displayName(e.path) + QStringLiteral("\n\n")
                              + QString::fromLocal8Bit(std::strerror(error)));
            }
            return true;
        }
        case Mode::Recycle: {
            const Trash::Result r = Trash::moveToTrash(e.path);
            if (!r.ok) {
                // A trash that refuses one file refuses the next: stop with the rest kept.
                dialogs().showError(Deletion::kRecycleFailed);
                return false;
            }
            ++out.files;
            out.bytes += r.size;
            return true;
        }
        case Mode::Zip: {
            if (!S_ISREG(e.st.st_mode))
                return true; // only regular files go into an archive; the entry stays
            return zipRun->zipAndDelete(archive, e.path, deleteAfterZip, e.folder) != ZipRun::Outcome::Aborted;
        }
        }
        return true;
    };

    const TreeRemoval::Result r = TreeRemoval::removeTree(folder_, walk);
    if (zip) {
        // The last batch goes too, after an abort as well: its entries are
        // complete. What counts is what was synced and deleted.
        zipRun->closeArchive(archive);
        removeHeld();
        const ZipRun::Totals &done = zipRun->totals();
        out.zipped = done.zipped;
        out.zippedBytes = done.zippedBytes;
        out.files = done.files;
        out.bytes = done.bytes;
    }
    if (!r.opened) {
        if (r.error == ELOOP || r.error == ENOTDIR)
            dialogs().showError(displayName(folder_)
                                + QStringLiteral(" is a symbolic link, not a folder.  Nothing was removed."));
        else if (r.error == EXDEV)
            dialogs().showError(displayName(folder_)
                                + QStringLiteral(" is the root of another file system.  Nothing was removed."));
        else
            dialogs().showError(displayName(folder_) + QStringLiteral("\n\n")
                                + QString::fromLocal8Bit(std::strerror(r.error)));
        return out;
    }
    out.ran = true;
    out.completed = r.completed && !aborted && !(zipRun && zipRun->failed());
    out.folderRemoved = r.rootRemoved || rootRemovedLater;

    if (zip) {
        if (out.met > 0)
            dialogs().showInfo(zippedText(out.zipped, out.completed));
        if (out.files > 0)
            Deletion::recordZipTally(out.files, out.bytes);
    } else {
        if (out.met > 0)
            dialogs().showInfo(deletedText(out.files, out.bytes, out.completed));
        if (out.files > 0) {
            if (mode == Mode::Recycle)
                Deletion::recordDeletionTally(0, 0, out.files, out.bytes);
            else
                Deletion::recordDeletionTally(out.files, out.bytes, 0, 0);
        }
    }
    return out;
}

#include "safety/FolderRemoval.h"
#include "settings/AppState.h"
#include "common/Dialogs.h"
#include "common/Runs.h"
#include "common/SizeSum.h"
#include "common/Text.h"
#include "platform/AnchoredPath.h"
#include "platform/Drives.h"
#include "platform/PathInfo.h"
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
#include <QStringList>
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

QString FolderRemoval::listRefusal(const std::string &folder)
{
    switch (refusedAs(folder)) {
    case Refused::Root:
        return QStringLiteral("You cannot delete the root folder using Vantor 95");
    case Refused::SystemFolder:
    case Refused::Home:
        return QStringLiteral("You cannot delete a system folder or your home folder using Vantor 95");
    case Refused::NotFullPath:
    case Refused::None:
        break;
    }
    return {};
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
    QString t = QStringLiteral("Deleted ") + countedText(files, "file", "files") + QStringLiteral(" for a savings of ")
        + formatThousands(bytes) + QStringLiteral(" bytes.");
    if (!completed)
        t += QStringLiteral(" (Note: Deletion operation canceled ... not all files deleted)");
    return t;
}

QString FolderRemoval::zippedText(int64_t files, bool completed)
{
    QString t = QStringLiteral("Zipped up ") + countedText(files, "file", "files");
    if (!completed)
        t += QStringLiteral(" (Note: Zip operation canceled ... not all files zipped)");
    return t;
}

// The read-only, hidden and system questions, in that order, each with Yes,
// "Yes to all" (no more questions of that kind for the rest of the run), No
// and Cancel. A Yes changes nothing on the file: neither an unlink nor a
// rename into the trash needs the owner's write permission, and a file sent
// to the trash or into an archive keeps its mode there. Hidden and system are
// properties of the name and the kind of entry. A No or Cancel stops the walk
// with the file kept. asked is set when a question was put (time passed, and
// the file may have changed meanwhile).
bool FolderRemoval::askAttributes(const std::string &path, const std::string &name, unsigned mode, bool &asked)
{
    const bool regular = S_ISREG(mode);
    const bool readOnly = (S_ISREG(mode) || S_ISDIR(mode)) && !(mode & S_IWUSR);
    const bool hidden = !name.empty() && name[0] == '.';
    const bool system = !regular;
    auto ask = [&](const char *phrase, bool &all) {
        if (all)
            return true;
        asked = true;
        switch (dialogs().askYesAllNoCancel(displayName(path) + QLatin1String(phrase) + kAttributeQuestion)) {
        case Dialogs::Answer::YesToAll: all = true; return true;
        case Dialogs::Answer::Yes: return true;
        default: aborted = true; return false;
        }
    };
    return (!readOnly || ask(" is read-only, ", allReadOnly_)) && (!hidden || ask(" is hidden, ", allHidden_))
        && (!system || ask(" is a system file, ", allSystem_));
}

namespace {
QString kindText(unsigned mode)
{
    if (S_ISLNK(mode))
        return QStringLiteral("symbolic link");
    if (S_ISFIFO(mode))
        return QStringLiteral("FIFO");
    if (S_ISSOCK(mode))
        return QStringLiteral("socket");
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return QStringLiteral("device");
    return QStringLiteral("not a regular file");
}
}

// Why the folder cannot be removed in this mode, shown as an error; true
// when it is refused. Nothing has been asked or touched yet.
bool FolderRemoval::refused() const
{
    const QString refused = refusal(folder_);
    if (!refused.isEmpty()) {
        dialogs().showError(refused);
        return true;
    }
    if (const int error = TreeRemoval::check(folder_)) {
        showUnreachable(error);
        return true;
    }
    if (mode == Mode::Zip) {
        // An archive written into the folder being removed would be zipped
        // into itself and deleted with the folder. The archive folder may
        // not exist yet: it is judged where it would be made, through any
        // link on its way.
        const std::string zipFolder = AppState::zipFolder();
        if (isWithin(PathInfo::resolvedAsCreated(zipFolder), realPath(folder_))
            || isWithin(trimmed(zipFolder), folder_)) {
            dialogs().showError(QStringLiteral("The zip file folder ") + displayName(zipFolder)
                                + QStringLiteral(" is inside the folder to remove.  Choose another zip file folder."));
            return true;
        }
    }
    if (mode == Mode::Recycle) {
        const std::string trash = Trash::trashFolderFor(folder_);
        if (!trash.empty() && isWithin(realPath(folder_), realPath(trash))) {
            dialogs().showError(displayName(folder_) + QStringLiteral(" is in the trash folder ") + displayName(trash)
                                + QStringLiteral(".  Its files cannot be sent to the trash again."));
            return true;
        }
    }
    return false;
}

void FolderRemoval::showUnreachable(int error) const
{
    if (error == ELOOP || error == ENOTDIR) {
        const PathInfo::NotAFolder n = PathInfo::firstNonFolder(folder_);
        const std::string &shown = n.component.empty() ? folder_ : n.component;
        dialogs().showError(displayName(shown)
                            + (n.link || n.component.empty() ? QStringLiteral(" is a symbolic link, not a folder.")
                                                             : QStringLiteral(" is not a folder."))
                            + QStringLiteral("  Nothing was removed."));
    } else if (error == EXDEV) {
        dialogs().showError(displayName(folder_)
                            + QStringLiteral(" is the root of another file system.  Nothing was removed."));
    } else {
        dialogs().showError(displayName(folder_) + QStringLiteral("\n\n")
                            + QString::fromLocal8Bit(std::strerror(error)));
    }
}

FolderRemoval::Outcome FolderRemoval::run()
{
    Outcome out;
    if (refused() || !confirmProtected())
        return out;
    const Runs::Token token(QStringLiteral("a folder removal"), [this] { aborted = true; });
    const bool zip = mode == Mode::Zip;
    const bool removing = !zip || deleteAfterZip;
    allReadOnly_ = allHidden_ = allSystem_ = false;

    ZipArchive archive;
    std::unique_ptr<ZipRun> zipRun;
    if (zip) {
        const auto drive = Drives::driveOfPath(folder_);
        zipRun = std::make_unique<ZipRun>(QStringLiteral("FolderClean"), zipComment, zipTime);
        zipRun->hooks.itemProgress = hooks.zipProgress;
        zipRun->hooks.abortRequested = [this] { return aborted; };
        zipRun->batch = zipBatch;
        if (!zipRun->openArchive(archive, drive ? drive->letter : 'C'))
            return out;
    }

    // What was left in place, for the closing message.
    int64_t filesFailed = 0, foldersLeft = 0, foldersUnopened = 0, foldersElsewhere = 0;
    std::vector<std::string> notZipped; // zip mode: entries that are not regular files (their paths)
    std::vector<unsigned> notZippedModes;
    int64_t notZippedCount = 0;
    constexpr size_t kNotZippedShown = 10;

    // Recycle mode never walks into the trash the files are moved to: it
    // would meet again what it has just moved, and what was trashed before
    // would be trashed a second time with its information lost.
    std::string trash;
    FileIdentity trashId;
    bool trashSkipped = false;
    if (mode == Mode::Recycle) {
        trash = Trash::trashFolderFor(folder_);
        if (trash.empty() || !AnchoredPath::stat(trash, trashId))
            trash.clear();
    }
    Trash::Names trashNames;

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
        for (const Held &h : held) {
            if (TreeRemoval::removeEmptyFolder(h.parent.get(), h.name))
                rootRemovedLater = rootRemovedLater || h.root;
            else
                ++foldersLeft;
        }
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
            if (!zipRun->pending()) {
                if (TreeRemoval::removeEmptyFolder(parent, name))
                    return true;
                ++foldersLeft;
                return false;
            }
            held.push_back({UniqueFd::dup(parent), name, path == folder_});
            if (held.size() >= 64)
                zipRun->flush();
            return false;
        };
    if (!trash.empty())
        walk.keepFolder = [&](uint64_t device, uint64_t inode) {
            return device == trashId.device && inode == trashId.inode;
        };
    walk.onSkipped = [&](const std::string &, int error) {
        if (error == 0)
            trashSkipped = true;
        else if (error == EXDEV)
            ++foldersElsewhere;
        else if (error != ENOENT)
            ++foldersUnopened;
    };
    walk.stopRequested = [this] {
        if (hooks.pump)
            hooks.pump();
        return aborted;
    };
    walk.onEntry = [&](const TreeRemoval::Entry &e) {
        if (zip && !S_ISREG(e.st.st_mode)) {
            // Only regular files go into an archive; the entry stays, and
            // the closing message names it.
            if (notZipped.size() < kNotZippedShown) {
                notZipped.push_back(e.path);
                notZippedModes.push_back(e.st.st_mode);
            }
            ++notZippedCount;
            return true;
        }
        // Set when a question or window events came between the walk's look
        // at the entry and its removal.
        bool waited = false;
        if (removing && !askAttributes(e.path, e.name, e.st.st_mode, waited))
            return false;
        ++out.met;
        if (hooks.fileStarted)
            hooks.fileStarted(out.met, e.path);
        if (hooks.pump && hooks.pump())
            waited = true;
        switch (mode) {
        case Mode::Delete: {
            // What the removal gives back, from what the walk just read,
            // unless time passed since: then as it is now, just before the
            // removal. A name of a file that keeps another name frees
            // nothing; its last name, met later, frees the bytes.
            struct stat now = e.st;
            if (waited)
                ::fstatat(e.folder, e.name.c_str(), &now, AT_SYMLINK_NOFOLLOW);
            const int64_t freed = now.st_nlink > 1 ? 0 : int64_t(now.st_size);
            int error = 0;
            if (TreeRemoval::deleteEntry(e, &error)) {
                ++out.files;
                addSize(out.bytes, freed);
            } else {
                ++filesFailed;
                reportFailure(Deletion::kCouldNotDelete + displayName(e.path) + QStringLiteral("\n\n")
                              + QString::fromLocal8Bit(std::strerror(error)));
            }
            return true;
        }
        case Mode::Recycle: {
            const Trash::Result r = Trash::moveToTrashAt(e.folder, e.name, e.path, &trashNames);
            if (!r.ok) {
                // A trash that refuses one file refuses the next: stop with the rest kept.
                dialogs().showError(Deletion::kRecycleFailed);
                return false;
            }
            ++out.files;
            addSize(out.bytes, r.size);
            return true;
        }
        case Mode::Zip:
            return zipRun->zipAndDelete(archive, e.path, deleteAfterZip, e.folder) != ZipRun::Outcome::Aborted;
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
        showUnreachable(r.error);
        return out;
    }
    out.ran = true;
    out.completed = r.completed && !aborted && !(zipRun && zipRun->failed());
    out.folderRemoved = r.rootRemoved || rootRemovedLater;

    // What stayed, and why. Folders that still hold what a stopped walk
    // left are covered by the note that not everything went.
    QStringList left;
    if (filesFailed > 0)
        left << countedText(filesFailed, "file that could not be deleted", "files that could not be deleted");
    if (!out.completed || !removing)
        foldersLeft = 0;
    else if (!zip)
        foldersLeft = r.foldersLeft; // zip mode counts its own, held ones included
    if (foldersLeft > 0)
        left << countedText(foldersLeft, "folder that could not be removed", "folders that could not be removed");
    if (foldersUnopened > 0)
        left << countedText(foldersUnopened, "folder that could not be opened", "folders that could not be opened");
    if (foldersElsewhere > 0)
        left << countedText(foldersElsewhere, "folder on another file system", "folders on another file system");
    if (trashSkipped)
        left << QStringLiteral("the trash folder ") + displayName(trash) + QStringLiteral(", which the files were sent to");
    QString notes;
    if (notZippedCount > 0) {
        notes += QStringLiteral("\n\n") + countedText(notZippedCount, "entry was", "entries were")
            + (removing ? QStringLiteral(" neither zipped nor removed") : QStringLiteral(" not zipped"))
            + QStringLiteral(": an archive holds only regular files.");
        for (size_t i = 0; i < notZipped.size(); ++i)
            notes += QLatin1Char('\n') + displayName(notZipped[i]) + QStringLiteral(" (") + kindText(notZippedModes[i])
                + QLatin1Char(')');
        if (notZippedCount > int64_t(notZipped.size()))
            notes += QStringLiteral("\nand ") + formatThousands(notZippedCount - int64_t(notZipped.size()))
                + QStringLiteral(" more");
    }
    if (!left.isEmpty())
        notes += QStringLiteral("\n\nNot removed: ") + left.join(QStringLiteral("; ")) + QLatin1Char('.');
    const bool tell = out.met > 0 || !notes.isEmpty();
    if (hooks.settled)
        hooks.settled();

    if (zip) {
        if (tell)
            dialogs().showInfo(zippedText(out.zipped, out.completed) + notes);
        if (out.files > 0)
            Deletion::recordZipTally(out.files, out.bytes);
    } else {
        if (tell)
            dialogs().showInfo((mode == Mode::Recycle ? Deletion::recycledText(out.files, out.bytes, out.completed)
                                                      : deletedText(out.files, out.bytes, out.completed))
                               + notes);
        if (out.files > 0) {
            if (mode == Mode::Recycle)
                Deletion::recordDeletionTally(0, 0, out.files, out.bytes);
            else
                Deletion::recordDeletionTally(out.files, out.bytes, 0, 0);
        }
    }
    return out;
}

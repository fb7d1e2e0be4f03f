#include "safety/Deletion.h"

#include "settings/IniFile.h"
#include "common/Dialogs.h"
#include "common/SizeSum.h"
#include "common/Text.h"
#include "platform/Removal.h"
#include "platform/Trash.h"
#include "safety/CopyCheck.h"
#include "safety/FoldersFile.h"
#include "safety/NonDeleteList.h"

#include <algorithm>
#include <cmath>

const QString Deletion::kNoFiles = QStringLiteral(
    "There are no files on the deletion panel.  In order to perform this operation you need to move files from the "
    "NON-DELETE list to the deletion panel.");
const QString Deletion::kAllProtected = QStringLiteral(
    "All files selected appear on the NON-DELETE list.  To delete the files anyway, move them off of the NON-DELETE "
    "list onto the DELETION PANEL.");
const QString Deletion::kNotDeleted = QStringLiteral("Files not deleted");
const QString Deletion::kReallyDelete = QStringLiteral("Really delete?");
const QString Deletion::kRecycleQuestion = QStringLiteral(
    "Note that the recycle bin may be full or that you may have an option that empties it automatically "
    "turned on in your desktop's trash settings. If either is true, then you will not be able to recover the deleted files from "
    "the recycle bin. \n\nSend to the recycle bin anyway?");
const QString Deletion::kRecycleFailed =
    QStringLiteral("An error occurred sending files to the recycle bin.  The bin may be full.");
const QString Deletion::kCouldNotDelete = QStringLiteral("Couldn't delete file - ");
const QString Deletion::kReallyAbort = QStringLiteral("Really abort?  Folders may be partially deleted!");

namespace {
// Runs act over the files (act gives the size of what it removed); a failure is reported with failureText(path) and
// ends the run when stopAtFailure is set.
template <typename Act, typename Report>
Deletion::Tally removeEach(const std::vector<std::string> &paths, const Deletion::Step &step, Act act,
                           Report report, bool stopAtFailure, CopyCheck *check)
{
    Deletion::Tally t;
    if (check)
        check->begin(paths);
    for (size_t i = 0; i < paths.size(); ++i) {
        const std::string &path = paths[i];
        if (step && !step(i, path))
            break;
        if (check && !check->allows(path))
            continue;
        int64_t size = 0;
        if (act(path, size)) {
            ++t.files;
            addSize(t.bytes, std::max<int64_t>(size, 0));
        } else {
            if (check)
                check->keep(path);
            report(path);
            if (stopAtFailure)
                break;
        }
    }
    return t;
}
}

Deletion::Tally Deletion::deleteFiles(const std::vector<std::string> &paths, const Step &step, CopyCheck *check)
{
    return removeEach(
        paths, step, [](const std::string &p, int64_t &freed) { return Removal::deleteFile(p, nullptr, nullptr, &freed); },
        [](const std::string &p) { dialogs().showError(kCouldNotDelete + displayName(p)); }, false, check);
}

Deletion::Tally Deletion::recycleFiles(const std::vector<std::string> &paths, const Step &step, CopyCheck *check)
{
    Trash::Names names; // many files of one name try each number once
    return removeEach(
        paths, step, [&names](const std::string &p, int64_t &size) {
            const Trash::Result r = Trash::moveToTrash(p, &names);
            size = r.size;
            return r.ok;
        },
        [](const std::string &) { dialogs().showError(kRecycleFailed); }, true, check);
}

void Deletion::recordDeletionTally(int64_t filesDeleted, int64_t bytesDeleted, int64_t filesRecycled,
                                   int64_t bytesRecycled)
{
    writeOrReport([&] { IniFile().addDeletionTotals(filesDeleted, bytesDeleted, filesRecycled, bytesRecycled); });
}

void Deletion::recordZipTally(int64_t filesZipped, int64_t bytesZipped)
{
    writeOrReport([&] { IniFile().addZipTotals(filesZipped, bytesZipped); });
}

QString Deletion::recycledText(int64_t files, int64_t bytes, bool completed)
{
    QString t = QStringLiteral("Sent ") + countedText(files, "file", "files")
        + QStringLiteral(" to the recycle bin, which now holds ") + formatThousands(bytes)
        + QStringLiteral(" bytes from this run. No space is freed until the bin is emptied.");
    if (!completed)
        t += QStringLiteral(" (Note: operation canceled ... not all files sent to the recycle bin)");
    return t;
}

QString Deletion::countHeader(int toDelete, int kept)
{
    return QStringLiteral("Delete - %1, Do NOT delete - %2").arg(toDelete).arg(kept);
}

QString Deletion::savingsText(double potentialSavings)
{
    const double whole = std::isfinite(potentialSavings) ? std::clamp(std::round(potentialSavings), -9.0e18, 9.0e18) : 0;
    return formatThousands(int64_t(whole)) + QStringLiteral(" bytes");
}

QString Deletion::reasonText(const std::string &path, int reason)
{
    const QString head = QStringLiteral("This file \"") + displayName(path) + QLatin1Char('"');
    if (reason > 0)
        return head + QStringLiteral(" is on the DO NOT DELETE LIST since the folder that it is stored in is ")
            + nonDeleteReasonText(reason);
    return head + QStringLiteral(" is on the DO NOT DELETE LIST because you moved it here.");
}

void Deletion::sortPanel(std::vector<std::string> &paths)
{
    FoldersFile::sortNoCase(paths);
    paths.erase(std::unique(paths.begin(), paths.end()), paths.end());
}

bool Deletion::panelLess(const std::string &a, const std::string &b)
{
    const std::string ka = FoldersFile::caseKey(a), kb = FoldersFile::caseKey(b);
    return ka < kb || (ka == kb && a < b);
}

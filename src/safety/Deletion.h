#pragma once
#include "platform/Removal.h"

#include <QString>
#include <cstdint>
#include <functional>
#include <string>
#include <unordered_map>
#include <vector>

class CopyCheck;

// The removal of the files on the deletion panel, and the texts and tallies
// around it. Each file is acted on by the path it was found at; what was
// actually removed is counted, with each file's size just before its removal.
class Deletion {
public:
    struct Tally {
        int64_t files = 0;
        int64_t bytes = 0;
    };
    // Called before each file with its position in the run; returning false
    // stops the run before that file.
    using Step = std::function<bool(size_t index, const std::string &path)>;

    // The entries of a run that a finder listed as empty folders, empty
    // files or broken links, by path: what its walk saw of each. Such an
    // entry is removed only while it is still exactly that (Removal::removeLint),
    // never when the non-delete list protects it, and never a drive's root,
    // a system folder or the home folder; one box at the end of the run
    // names those kept and why.
    using LintMap = std::unordered_map<std::string, Removal::LintFound>;
    // The order a run acts in: the panel's, with the empty folders last,
    // deepest first, so a chain of them goes from its innermost folder out.
    static std::vector<std::string> runOrder(const std::vector<std::string> &paths, const LintMap &lint);
    // The paths a zip run takes: all but the empty folders and broken links,
    // which hold nothing an archive could keep.
    static std::vector<std::string> zipPaths(const std::vector<std::string> &paths, const LintMap &lint);
    // Why a zip run left lint entries in place (count of them).
    static QString zipLeftText(int64_t count);
    // The box after a run that kept lint entries: each path and the reason.
    struct Kept {
        std::string path;
        QString reason;
    };
    static QString keptText(const std::vector<Kept> &kept);

    // Deletes every file permanently (a symbolic link itself, never its
    // target). The tally's bytes are those given back: a name of a file
    // that keeps another name frees nothing. A file that cannot be deleted is reported ("Couldn't delete
    // file - " and its name) and the run goes on.
    // With check, a file listed as a copy of others is acted on only while
    // check allows it (CopyCheck); one it refuses is left, uncounted, and
    // the run goes on. Both runs do this.
    static Tally deleteFiles(const std::vector<std::string> &paths, const Step &step, const LintMap &lint = {},
                             CopyCheck *check = nullptr);
    // Sends every file to the trash. The first failure is reported ("An
    // error occurred sending files to the recycle bin.  The bin may be
    // full.") and ends the run; the remaining files stay where they are.
    static Tally recycleFiles(const std::vector<std::string> &paths, const Step &step, const LintMap &lint = {},
                             CopyCheck *check = nullptr);

    // Adds to the running tallies of the settings file; a failed write is
    // reported to the user.
    static void recordDeletionTally(int64_t filesDeleted, int64_t bytesDeleted, int64_t filesRecycled,
                                    int64_t bytesRecycled);
    static void recordZipTally(int64_t filesZipped, int64_t bytesZipped);

    // What a run that sent files to the trash did: nothing is freed until
    // the trash is emptied, so it says how much the trash took.
    static QString recycledText(int64_t files, int64_t bytes, bool completed);
    // "Delete - 3, Do NOT delete - 1"
    static QString countHeader(int toDelete, int kept);
    // "1,234,567 bytes"
    static QString savingsText(double potentialSavings);
    // Why a file is on the non-delete panel, for its non-delete reason code.
    static QString reasonText(const std::string &path, int reason);
    // The panels' order: without regard to case, equal keys by their bytes;
    // a path given twice is kept once (one file, acted on once).
    static void sortPanel(std::vector<std::string> &paths);
    static bool panelLess(const std::string &a, const std::string &b);

    static const QString kNoFiles;       // NoFilesToDelete
    static const QString kAllProtected;  // ShowWarning
    static const QString kNotDeleted;    // a declined question
    static const QString kReallyDelete;  // delete permanently
    static const QString kRecycleQuestion;
    static const QString kRecycleFailed;
    static const QString kCouldNotDelete; // followed by the file's name
    static const QString kReallyAbort;
};

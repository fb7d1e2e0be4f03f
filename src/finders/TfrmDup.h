#pragma once
#include "finders/DupList.h"
#include "finders/SizeChoice.h"
#include "scan/TFinderFrame.h"

#include <deque>
#include <functional>

class ContentSearch;
class PictureSearch;
class QComboBox;
class QEventLoop;
class QRadioButton;
class QSpinBox;

// The duplicate-file and file-hog finder. The mode (AppState::dupMode when
// the window is created) holds for the window's whole life: it decides the
// caption, the grid's columns, the lines' layout, the processing after the
// walk and which controls are shown.
class TfrmDup : public TFinderFrame {
    Q_OBJECT
public:
    explicit TfrmDup(QWidget *parent = nullptr);

    bool dupMode() const { return dupMode_; }
    // The criterion taken from cbDup when the last scan started.
    int criterion() const { return criterion_; }
    // Toggles the mark of a grid row (the pair comparison window's entry point).
    void MarkThisFile(int row);

    void btCompareClick();
    // Drops every remembered hash (on a thread of its own; the window keeps
    // handling events meanwhile) and says so in the status line.
    void btForgetClick();
    void rbSizeClick();
    // Closing hides the pair comparison window.
    void done(int r) override;
    // The report title of the grid's "Print".
    QString printTitle() const;

    // Tests: called with a "Same contents" search just before it starts.
    std::function<void(ContentSearch &)> searchStarting;
    // Tests: called with a "Similar pictures" search just before it starts.
    std::function<void(PictureSearch &)> pictureSearchStarting;

    // Controls, named as in the layout (the shared ones are the frame's).
    QRadioButton *rbLarger, *rbSmaller, *rbBetween;
    QSpinBox *num1, *num2;
    QLabel *lblAnd;
    QComboBox *cbKB1;
    QLabel *lblDup;
    QComboBox *cbDup;
    QPushButton *btCompare;
    QPushButton *btForget;
    // How alike pictures must be ("Similar pictures" only): PictureHash's levels.
    QComboBox *cbSimilar;

protected:
    void openingSteps() override;
    bool beforeWalk() override;
    void fillGrid() override;
    void sortGrid() override;
    QString foundStatus(int found) const override;
    QString noneFoundStatus() const override;
    bool announceNoneFound() const override;
    void abortWork() override;
    std::vector<std::vector<std::string>> sameContentsGroups() const override;

private:
    SizeChoice sizeChoice() const;
    // Whether the walk keeps a file (the size choice, the criterion).
    bool wanted(const FoundFile &f) const;
    bool visit(const FoundFile &f);
    bool byContents() const { return dupMode_ && criterion_ == DupLine::SameContents; }
    bool byPictures() const { return dupMode_ && criterion_ == DupLine::SimilarPictures; }
    // Shows the similarity choice for "Similar pictures", the forget
    // button for the other criteria.
    void criterionChanged();
    // "Similar pictures": the candidate pictures read, hashed and grouped on
    // worker threads while this window keeps handling events.
    void fillByPictures();
    // Runs a search on the worker pool while this thread shows its progress
    // and lets events run (Abort among them); running points at it meanwhile.
    // false when it was cancelled (the status line is then cleared).
    template <class Search>
    bool runSearch(Search &search, Search *&running, const std::function<void(Search &)> &starting);
    // "Same contents": the files of shared sizes compared by their bytes on
    // worker threads while this window keeps handling events.
    void fillByContents();
    QString unreadableText() const;
    // The unreadable files and the remembered hashes' note, joined.
    QString searchNotes() const;

    const bool dupMode_;
    int criterion_ = 0;
    int gridCriterion_ = 0; // the criterion the grid's columns are set for
    SizeChoice choice_;
    DupList lbList;
    // Same contents: each kept file's inode and device (by its number in
    // lbList), as the walk saw them: files of one folder may lie on
    // different file systems (an overlay's layers).
    std::deque<uint64_t> inodes_;
    std::deque<uint64_t> devices_;
    std::deque<uint32_t> written_; // similar pictures: each kept file's last write
    // ... and its modification and change times (0: not a regular file, or
    // not known), which tell whether a remembered hash still holds for it.
    std::deque<std::pair<int64_t, int64_t>> times_;
    ContentSearch *search_ = nullptr; // while one runs
    PictureSearch *pictureSearch_ = nullptr; // while one runs
    int threshold_ = 0; // similar pictures: taken from cbSimilar when the scan started
    int64_t skipped_ = 0; // files not decoded as pictures
    QEventLoop *searchLoop_ = nullptr;
    bool aborted_ = false;
    int64_t unreadable_ = 0;
    int64_t leftOut_ = 0; // files that changed or went away while compared
    bool listedByContents_ = false; // the grid's groups are of equal bytes
    QString storeNote_; // why the last search went without remembered hashes
};

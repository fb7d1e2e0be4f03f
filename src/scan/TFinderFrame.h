#pragma once
#include "scan/GridLayout.h"
#include "scan/Walker.h"

#include <QDialog>
#include <QPoint>
#include <QSize>
#include <functional>
#include <string>
#include <utility>
#include <vector>

class QLabel;
class QPushButton;
class TDriveCheckList;
class TPatternBox;
class TResultGrid;
class TWinPlace;

// What a finder window tells the frame it is built on.
struct FinderFrameSpec {
    QString objectName;
    QString caption;
    QString startHint;   // the hint of "&Start"
    QString foundSuffix; // the status after a walk: the count, then this (" tempfiles found")
    QString archiveTag;  // handed to the deletion window ("Duplicates", "TempClean")
    Qt::WindowFlags flags = Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
        | Qt::WindowMaximizeButtonHint | Qt::WindowCloseButtonHint;
    // Geometry in the pixels of a 96 dots-per-inch screen with 6-pixel
    // digits; the frame scales it, and every control the finder put on the
    // panel, to the font in use when the window is first shown.
    QSize initialSize{640, 478};
    QSize panel{632, 170};           // the top panel as designed; the window's minimum follows from it
    QPoint buttonRow{3, 140};        // the first button's place on the panel
    int driveListTop = 4;            // the drive list lies at the panel's right edge, this far down
    QString placementStore = QStringLiteral("vantor.ini"); // TWinPlace's IniFileName
                                     // (empty: no stored placement, centred at each show)
    QString placementSection;        // TWinPlace identifier "frmMods", this section
                                     // (empty: TWinPlace's own, the program's file name)
    bool plainAbortBox = false;      // "LIST INCOMPLETE" as a plain box rather than a warning
    bool patternBox = false;         // a "Matching" pattern box on the panel (the finder places it)
    bool clearStatusWhenNoneFound = false;
    // Rows are marked and "Clean?" hands the marked files to the deletion
    // window. Without marking (folder hogs) there is no "&Mark" and no
    // "&Details": "Clean?" stands in Abort's place, is shown with the
    // results, enabled while the folder removal window is registered, and
    // acts on the selected row's folder (the finder's btDeleteClick).
    bool marking = true;
    GridLayout grid;                 // statusSink is set by the frame
};

// The window every finder is built on. It owns what they share: the top
// panel (pnlTop) that "Shrink top panel" hides, the drive list, the optional
// pattern box, the button row, the result grid, the status panel, the
// placement, the walker and the walk's lifecycle, the one rule for Close,
// Escape and the close box during a walk (they abort it; the window closes
// only when no walk runs), the opening steps at each show by the program
// (a spontaneous show, such as a restore from minimised, keeps everything),
// and the hand-over of the marked files to the deletion window.
//
// A finder derives from it, puts its own controls on pnlTop, configures
// walker() (visitor, mask, returned ...) and overrides the hooks below.
class TFinderFrame : public QDialog {
    Q_OBJECT
public:
    ~TFinderFrame() override;

    TResultGrid *resultGrid() const { return grid; }
    Walker &walker() { return walker_; }
    // A walk, or the finder's work after it (setWorking), is running.
    bool scanning() const { return walker_.running() || working_; }
    int foundCount() const;
    void setStatus(const QString &text);

    // "&Start": the finder's beforeWalk, the walk over the checked drives,
    // its afterWalk, the outcome.
    void btScanClick();
    // Abort, Close, Escape and the close box during a walk: the walk stops
    // at its next pump point, after one "LIST INCOMPLETE" warning.
    void btAbortClick();
    // "Clean?": the marked files to the deletion window; the window closes
    // unless that one was cancelled.
    virtual void btDeleteClick();
    // "&Browse": the folder browser on the selected row's folder.
    virtual void BrowseDirectory1Click();
    // A report title: lead followed, for every checked drive in list order,
    // by its letter and one blank ("Temporary files on drive(s) C D ").
    QString checkedDrivesTitle(const QString &lead) const;

    // Escape: aborts a walk, else closes. Nothing closes the window during a walk.
    void reject() override;
    void done(int r) override;

    // A push button of the finders' kind (no default, 75 by 25).
    static QPushButton *newButton(QWidget *parent, const char *name, const QString &caption, const QString &hint);

    QWidget *pnlTop;
    TDriveCheckList *pckDrive;
    TPatternBox *patternBox = nullptr;
    QPushButton *btScan, *btClose, *btAbort, *btMark, *btDelete, *btOptions, *btBrowse, *btDetails;
    TResultGrid *grid;
    QLabel *pnlSel;

protected:
    explicit TFinderFrame(const FinderFrameSpec &spec, QWidget *parent = nullptr);

    // --- What a finder adds ---------------------------------------------
    // Its own opening steps, run before the frame's at each show by the program.
    virtual void openingSteps() {}
    // Checks the inputs (reporting a fault) and prepares the walk; false
    // leaves everything as it is.
    virtual bool beforeWalk() { return true; }
    // After the walk: fill the grid from the finder's collection.
    virtual void fillGrid() {}
    // After the grid is filled and trimmed: the first sort.
    virtual void sortGrid() {}
    // The mask of "&Browse" (the pattern box's pattern when there is one).
    virtual QString browseMask() const;
    // The status after a walk that found files: the count and foundSuffix.
    virtual QString foundStatus(int found) const;
    // With clearStatusWhenNoneFound: the status when nothing was found.
    virtual QString noneFoundStatus() const { return {}; }
    // Whether "No files found." is shown when nothing was found.
    virtual bool announceNoneFound() const { return true; }
    // Abort was pressed: called before the walker's abort box, during the
    // walk or during the finder's own work after it.
    virtual void abortWork() {}
    // The groups of files listed as holding the same bytes that hold a
    // marked file, each as its paths: the deletion window compares a file
    // with a copy that stays before it removes it.
    virtual std::vector<std::vector<std::string>> sameContentsGroups() const { return {}; }
    // The finder's fillGrid runs work of its own that lets events through
    // (Abort, Close and the close box then act as during a walk).
    void setWorking(bool on) { working_ = on; }

    // A control that is disabled while a walk runs.
    void addWalkInput(QWidget *w) { walkInputs_.push_back(w); }
    // A second button that starts a walk (the finder places it and calls
    // btScanClick from it): enabled with "&Start" by the drive checks,
    // disabled during a walk, not part of the button row.
    void addStartButton(QPushButton *b);
    // "&Start" is placed by the finder rather than in the button row.
    void placeStartButtonMyself() { startInRow_ = false; }
    // A button after "&Details" in the row, hidden until a walk found
    // files (and then shown when shownWithResults).
    void addResultButton(QPushButton *b, bool shownWithResults);
    void setStartHint(const QString &hint);
    // A new grid layout (a mode of the finder): columns, menu, grid cleared.
    void configureGrid(GridLayout layout);
    // A walk of the finder's own on walker() while results are shown (folder
    // hogs re-total a row): the window is in its walking state while walk
    // runs (Abort shown, inputs disabled, busy cursor; Close, Escape and the
    // close box abort), and shows its result buttons again afterwards.
    void walkAgain(const std::function<void()> &walk);

    void showEvent(QShowEvent *e) override;
    void resizeEvent(QResizeEvent *e) override;
    void closeEvent(QCloseEvent *e) override;
    bool eventFilter(QObject *watched, QEvent *e) override;

private:
    void FormShow();
    void scaleToFont();
    void layoutButtons();
    void setWalking(bool on);
    void showResultButtons(bool on);
    // After a walk: "&Mark" and "Clean?" as the rows found allow.
    void showMarkAndClean();

    FinderFrameSpec spec_;
    Walker walker_;
    TWinPlace *place_ = nullptr;
    std::vector<QWidget *> walkInputs_;
    std::vector<std::pair<QPushButton *, bool>> extraButtons_;
    bool hintsOff_ = false;
    double scale_ = 0; // the font factor, set at the first show
    bool startInRow_ = true;
    bool working_ = false;
};

#pragma once
#include "common/Navigation.h"
#include "safety/Deletion.h"

#include <QDialog>
#include <QString>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class EventPump;
class QLabel;
class QListWidget;
class QProgressBar;
class QPushButton;
class QTabWidget;
class QTimer;
class QWidget;

// "Clean up the following files": the one window that removes files the user
// marked. The caller fills the deletion panel lb1 with the paths it found
// (addFile/setFiles), sets archiveTag and potentialSavings, shows the window
// modally (TModal::exec) and reads the result: Accepted when an action ran,
// completely or in part, Rejected when the window closed without one. On
// showing, every file whose folder is on the non-delete list moves to the
// non-delete panel lb2; files there are never touched.
class TfrmReallyDelete : public QDialog {
    Q_OBJECT
public:
    explicit TfrmReallyDelete(QWidget *parent = nullptr);
    ~TfrmReallyDelete() override;

    // The Navigation handler of DeleteFiles: the window, modal over the
    // asking one, on the request's files; true unless it was cancelled.
    static bool navigate(const Navigation::Request &r);

    // The caller's side: paths as found (bytes), kept in panel order.
    void addFile(const std::string &path);
    void setFiles(std::vector<std::string> paths);
    QString archiveTag;
    double potentialSavings = 0;
    // Groups of files a search listed as holding the same bytes (paths as
    // found), those that hold a file on the panel: before a run acts on such
    // a file, its bytes are compared with a copy that stays (CopyCheck), and
    // a file that no longer matches is left and counted in the closing message.
    std::vector<std::vector<std::string>> sameContents;
    // The empty folders, empty files and broken links among the paths, as
    // the finder's walk saw them: each is rechecked when it is removed, and
    // a zip run leaves the folders and links in place.
    Deletion::LintMap lint;

    // The paths on each panel, in panel order.
    std::vector<std::string> deletionPanel() const;
    std::vector<std::string> nonDeletePanel() const;

    QLabel *lblDelete, *Label3, *lblSavings;
    QTabWidget *TabbedNotebook1;
    QLabel *Label1, *Label5, *lblLeft;
    QListWidget *lb1;
    QPushButton *btToAgainst;
    QLabel *Label2, *Label4, *lblRight;
    QListWidget *lb2;
    QPushButton *btMoveLeft, *btReason;
    QWidget *pnlButtons;
    QPushButton *btZip, *btDelete, *btRecycle;
    QWidget *pnlProgress;
    QLabel *lblName;
    QProgressBar *bar, *Gauge1;
    QPushButton *btClose;
    QTimer *Timer1;

    // Set when the user confirms an abort of an abortable run.
    bool abortRequested = false;

    void FormShow();
    void Timer1Timer();
    void btDeleteAllClick();
    void btRecycleClick();
    void btZipClick();
    void btCloseClick();
    void btMoveLeftClick();
    void btToAgainstClick();
    void lb1Click();
    void lb2Click();
    void btReasonClick();

    void MoveFiles();
    void updateLeftRight();
    void UpdateHeaders();
    void ShowWarning();
    // Shows the NoFilesToDelete message when the deletion panel is empty; true then.
    bool NoFilesToDelete();
    void DeleteAllClick();
    void RecycleClick();
    // Zip and delete; run by the "&Archive files into a zip file" button.
    void ZipItClick();

    // True while an action or the opening sort runs.
    bool running() const { return busy_; }

    // One action's run over files files: the hourglass, the bar from 0 to
    // files less one, the panels and Close disabled, and the window cannot be
    // closed until body returns. In an abortable run Close stays enabled and
    // Close or the close box ask "Really abort?..." and set abortRequested.
    void runWithProgress(size_t files, bool abortable, const std::function<void()> &body);
    // Inside a run, before file index: its name in lblName, the bar at index,
    // pending events run (at most every 15 ms). False once an abort was asked.
    bool stepTo(size_t index, const std::string &path);
    // After an action: empties the deletion panel and closes with Accepted.
    void closeAfterAction();

    void reject() override;

protected:
    void showEvent(QShowEvent *e) override;
    void closeEvent(QCloseEvent *e) override;

private:
    // The NoFilesToDelete test, then the progress panel in place of the
    // buttons while action runs.
    void actionFrame(void (TfrmReallyDelete::*action)());
    // Moves the selected entries of from to to, keeping both in panel order;
    // the notebook turns to pageWhenEmpty when from is left empty.
    void moveSelected(QListWidget *from, QListWidget *to, int pageWhenEmpty);
    // Delete permanently or recycle: the question, the run, the tallies of
    // what was removed, and the close with Accepted.
    void removeAll(const QString &question, bool recycle);
    // Asks whether to abort an abortable run.
    void askAbort();

    bool shown_ = false;
    bool busy_ = false;
    bool abortable_ = false;
    std::unique_ptr<EventPump> pump_;
};

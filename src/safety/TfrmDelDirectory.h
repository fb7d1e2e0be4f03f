#pragma once
#include <QDialog>
#include <string>

namespace Navigation {
struct Request;
}
class QCheckBox;
class QLabel;
class QProgressBar;
class QPushButton;
class TPathLabel;
class TShadowLabel;

// "Clean directory, sub-directories and all files": removes one folder with
// everything below it, by deleting, recycling or zipping its files
// (FolderRemoval). The caller sets the folder (setFolder, or the text of
// lblDirectory), shows the window modally and reads the result: Accepted
// when a removal ran (recycleMode tells whether the files went to the
// trash), Rejected when nothing was done.
class TfrmDelDirectory : public QDialog {
    Q_OBJECT
public:
    explicit TfrmDelDirectory(QWidget *parent = nullptr);

    // The RemoveFolder navigation target: the window on r.path, modal, with
    // r.from as parent. True only when the folder is really gone; fills
    // r.outcome when given.
    static bool navigate(const Navigation::Request &r);

    // The folder as found (bytes); also shown in lblDirectory.
    void setFolder(const std::string &folder);
    const std::string &folder() const { return folder_; }

    bool recycleMode = false;
    bool zipMode = false;
    bool removalRunning = false;
    bool removalAborted = false;
    // The folder is gone after the removal.
    bool folderRemoved = false;

    QLabel *lblTop;
    TShadowLabel *lblDirectory;
    QPushButton *btDelete, *btRecycle, *btZip, *BitBtn3;
    QCheckBox *cbDelete;
    QProgressBar *Gauge1;
    QLabel *pnlCount;
    TPathLabel *pnlName;

    void FormShow();
    void btDeleteClick();
    void btRecycleClick();
    void btZipClick();
    void BitBtn3Click();
    // Runs the removal in the current mode; false when the user declined
    // the non-delete warning or the removal was refused (the window stays).
    bool StartTheDeletionProcess(const QString &zipComment = {});

    void reject() override;

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void finishRun(bool ran);
    std::string folder_;
};

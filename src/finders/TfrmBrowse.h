#pragma once
#include <QDialog>
#include <QString>
#include <cstdint>
#include <string>

class QLabel;
class QPushButton;
class QSplitter;
class TDriveBox;
class TFolderTree;
class TPathLabel;
class TResultGrid;
class TWinPlace;

// "Browse through folders": the drive box and folder tree on the left, the
// files of the chosen folder that match the wildcard pattern in a result
// grid on the right. Files are marked and handed to the deletion window; the
// whole folder goes to folder removal; a file opens, or is viewed or
// described, through the navigation targets.
//
// The browser keeps its current folder as a path of its own (the process's
// current folder is never changed). A grid row is acted on by the path it
// was listed with.
class TfrmBrowse : public QDialog {
    Q_OBJECT
public:
    explicit TfrmBrowse(QWidget *parent = nullptr);
    ~TfrmBrowse() override;

    // Before the window is shown: the folder to open (else the home folder),
    // the name of a file to select in it, and the mask ("*.*" when empty).
    void setStart(const std::string &folder, const std::string &selected = {}, const QString &mask = {});

    const std::string &currentFolder() const { return folder_; }
    const QString &mask() const { return mask_; }
    int64_t fileTotal() const { return fileTotal_; }
    int64_t fileCount() const { return fileCount_; }
    // True while the folder's files are being listed.
    bool filling() const { return filling_; }

    // Shows the current folder's files (also the first time at show).
    void DirectoryListBox1Change();
    // Moves the tree (and the grid) to a folder.
    void showFolder(const std::string &folder);
    void btMarkClick();
    void btDeleteFilesClick();
    void btDeleteDirectoryClick();
    // "Map": the folder map of the folder shown (the map walks it); the
    // tree and the listing follow what was removed there.
    void btMapClick();
    void btLaunchClick();
    void btViewClick();
    void Details1Click();
    // The wildcard panel: a new mask through the wildcard window.
    void pnlScanClick();
    // Asks before closing while files are marked; false keeps the window.
    bool FormCloseQuery();

    void done(int result) override;

    TDriveBox *DriveComboBox1;
    TFolderTree *DirectoryListBox1;
    TPathLabel *lblFolder;
    QPushButton *btOptions;
    TResultGrid *grid;
    QPushButton *btDeleteDirectory, *btMap, *btDetails, *btLaunch, *btView, *btMark, *btDeleteFiles, *btClose;
    QLabel *pnlScan, *pnlSize, *pnlWild;

    static const QString rootRefusal;
    static const QString systemRefusal;

protected:
    void showEvent(QShowEvent *e) override;
    bool eventFilter(QObject *watched, QEvent *e) override;

private:
    // True unless folder lies on a drive that is not ready.
    static bool driveReady(const std::string &folder);
    void fillGrid();
    void setButtonsEnabled(bool on);

    std::string folder_;
    std::string selectFirst_;
    QString mask_ = QStringLiteral("*.*");
    int64_t fileTotal_ = 0;
    int64_t fileCount_ = 0;
    bool filling_ = false;
    bool refill_ = false;
    bool closing_ = false;
    bool shown_ = false;
    QSplitter *split_;
    TWinPlace *place_;
};

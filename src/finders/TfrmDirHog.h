#pragma once
#include "finders/DirHogScan.h"
#include "finders/FolderMap.h"
#include "finders/ScanFile.h"
#include "scan/TFinderFrame.h"

#include <QStringList>
#include <memory>
#include <optional>

class QCheckBox;
class QLabel;

// Folder hogs: ranks the folders of the checked drives by the bytes they
// hold, either the main folders under each root with everything below them
// or every folder with its own files. A row's folder can be browsed or
// removed through the folder removal window; the row then reads "DELETED"
// or "RECYCLED", or shows the folder's new totals when it was only partly
// removed.
class TfrmDirHog : public TFinderFrame {
    Q_OBJECT
public:
    explicit TfrmDirHog(QWidget *parent = nullptr);

    void btTopClick();
    void btAllClick();
    // "Clean?" and a double click on a row: the row's folder to the folder
    // removal window.
    void btDeleteClick() override;
    // "&Browse": the folder browser on the row's folder, every file listed.
    void BrowseDirectory1Click() override;
    // "Map": the folder map of the last all-folders scan's totals; a click
    // on a folder there selects its row, a removal there updates the rows.
    void btMapClick();
    // "Scan file...": a scan exported by a disk-usage tool (here or on
    // another machine) shown as an all-folders scan of its tree.
    void btOpenScanClick();
    void openScanFile(const std::string &path);
    // "Save scan...": the folder of the last all-folders scan written as an
    // export file.
    void btSaveScanClick();
    void saveScanFile(const std::string &path);
    // The rows and the map show a scan file (whose folders are not here).
    bool showsScanFile() const { return loaded_ != nullptr; }
    // Selects and shows the row of a folder (none: nothing changes).
    void selectFolderRow(const std::string &folder);
    // The lines of the last scan, the abort line first after an abort.
    QString clipboardText() const;
    QString printTitle() const;

    DirHogScan::Mode mode() const { return scan_.mode(); }

    QPushButton *btTop; // "&Start" of the frame, as "&Main folders"
    QPushButton *btAll;
    QPushButton *btMap;
    QPushButton *btOpenScan, *btSaveScan;
    QCheckBox *chkDiskSize; // a scan file's sizes on disk rather than apparent
    QLabel *lblMain, *lblMainText, *lblAll, *lblAllText;
    // The lines of the last scan as the clipboard copies them.
    QStringList lb() const;

protected:
    bool beforeWalk() override;
    void fillGrid() override;
    void sortGrid() override;
    QString foundStatus(int found) const override;

private:
    // A removal of folder ran: the rows at or below it marked or re-totalled.
    void afterRemoval(const std::string &folder, const QString &mark);
    bool isRemoved(int row) const;
    // The row's folder totalled again; none after an abort.
    std::optional<DirHogScan::Totals> updateRow(int row);
    // What the map is drawn from: the all-folders lines' folders and totals
    // (taken from the lines when first asked for, then following removals),
    // the drives walked and their capacity.
    std::vector<DirHogScan::MapFolder> &mapFolders();
    std::vector<DirHogScan::Line> lines_; // the last scan's, in the scan's order
    bool abortLeads_ = false;             // the clipboard's copy begins with the abort line
    std::vector<DirHogScan::MapFolder> mapFolders_;
    bool mapTaken_ = false; // mapFolders_ holds the lines' folders
    double mapCapacity_ = 0;
    // The scan file shown: its folders' totals, kept to show either size.
    void showLoaded();
    void refuseLocalActions();
    QString loadedStatus() const;
    std::unique_ptr<ScanFile::Loaded> loaded_;
    QString loadedName_;
    bool namesGiven_ = false; // the scan holds the file's folder names
    // The folder of the last all-folders scan (one root), for "Save scan...".
    std::string savable_;
    DirHogScan scan_;
    DirHogScan::Mode nextMode_ = DirHogScan::Mode::MainFolders;
    bool rowsMarked_ = false; // a row was marked removed since the last scan began
};

#pragma once
#include "safety/ZipArchive.h"

#include <QDialog>
#include <string>

class QLabel;
class QListWidget;
class QProgressBar;
class QPushButton;
class QTimer;
class QTreeWidget;
class TDriveBox;
class TFolderTree;
class TPathLabel;

// "Unzip Vantor Archive Zip Files": lists the archives ("Drive*.zip") of a
// folder (at first the archive folder), shows the items and comment of the
// chosen one, and extracts all its items into a folder chosen in
// TfrmZipDirectory. The extraction itself is ZipExtract; this window asks
// for passwords (TfrmPassword), shows the gauge and reports each item that
// could not be extracted. One archive stays open from the first view until
// the window is destroyed.
class TfrmUnZipIt : public QDialog {
    Q_OBJECT
public:
    explicit TfrmUnZipIt(QWidget *parent = nullptr);
    ~TfrmUnZipIt() override;

    void FormShow();
    void Timer1Timer();
    void BtExtractEnable();
    // Views the selected archive (double click or "&View files inside ZIP").
    void FileListBox1DblClick();
    void ExtractFiles1Click();
    // Close, or during an extraction: stop after the current piece.
    void btCloseClick();

    // The folder whose archives are listed, and the archive open (if any).
    std::string archiveFolder() const;
    const ZipArchive &archive() const { return zip_; }
    bool extracting() const { return running_; }

    static const QString noArchivesMessage;

protected:
    void showEvent(QShowEvent *e) override;
    void closeEvent(QCloseEvent *e) override;
    void reject() override;

private:
    void fillArchiveList();
    // Opens the selected archive in place of the open one; false (the open
    // one kept) when it cannot be read.
    bool openSelected();
    void showArchive();
    void OutlineLoad();
    void setInputsEnabled(bool on);

    ZipArchive zip_;
    bool running_ = false;
    bool opening_ = false; // an archive is being read (Close stops it)
    bool abortRequested_ = false;
    QLabel *Label1, *lblCount, *pnlComment, *Label2, *Label3;
    TPathLabel *lblZip;
    QTreeWidget *Outline;
    TDriveBox *DriveComboBox1;
    TFolderTree *DirectoryListBox1;
    QListWidget *FileListBox1;
    QPushButton *btExtract, *btView, *btClose;
    QProgressBar *Gauge1;
    QTimer *Timer1;
};

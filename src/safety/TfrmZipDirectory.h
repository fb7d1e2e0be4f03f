#pragma once
#include <QDialog>
#include <optional>
#include <string>

class QLabel;
class QFrame;
class QPushButton;
class TDriveBox;
class TFolderTree;
class TPathLabel;

// "Destination folder": where an archive's files are extracted. It proposes
// the root folder of the drive named in the archive's name ("Drive-D-..."
// gives the folder drive D: stands for now), so files go back to the places
// they were zipped from, and asks before extracting anywhere else. The
// process's current folder is never changed.
class TfrmZipDirectory : public QDialog {
    Q_OBJECT
public:
    explicit TfrmZipDirectory(QWidget *parent = nullptr);

    // The archive (its path as bytes); shown as text and read for its drive.
    void setArchive(const std::string &archivePath);
    // Finds originalRoot and shows its tree. False, after an error message,
    // when the drive named in the archive's name does not exist: the window
    // must not be shown then.
    bool prepare();
    // The proposed root folder, and the drive letter it comes from (none
    // when the archive's name has no "Drive-").
    const std::string &originalRoot() const { return originalRoot_; }
    std::optional<char> originalLetter() const { return letter_; }
    // The chosen folder (after OK).
    std::string destination() const;

    void Button1Click();
    void Button3Click();

    TFolderTree *folderTree() const { return DirectoryListBox1; }
    TDriveBox *driveBox() const { return DriveComboBox1; }

    static const QString notOriginalRootQuestion;

private:
    void showFolder();

    std::string archive_;
    std::string originalRoot_;
    std::optional<char> letter_;
    QLabel *Label1, *Label2, *Label3, *Label4;
    TPathLabel *lblArchive, *lblFolder;
    QFrame *Panel1;
    TDriveBox *DriveComboBox1;
    TFolderTree *DirectoryListBox1;
    QPushButton *Button1, *Button2, *Button3;
};

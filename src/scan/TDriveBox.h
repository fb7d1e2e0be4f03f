#pragma once
#include "platform/Drives.h"

#include <QByteArray>
#include <QComboBox>
#include <optional>
#include <string>

// The drive box: a combo box of the system's drives ("C: [label]" with the
// type's icon), in letter order. Choosing an entry announces the drive's
// root folder; a folder tree attached to the box (TFolderTree::attachDriveBox)
// follows it.
class TDriveBox : public QComboBox {
    Q_OBJECT
public:
    explicit TDriveBox(QWidget *parent = nullptr);

    // Reads the drive list again, keeping the chosen drive when it is still there.
    void fillDriveList();
    // Entry texts with the letter in upper case ("D: [label]"); read by fillDriveList.
    bool upperCase = true;
    // The chosen drive.
    std::optional<Drive> drive() const;
    // Chooses the drive of letter (either case) without announcing it; false
    // when there is none.
    bool selectLetter(char letter);
    // Shows no drive (a folder on none of the listed drives), without announcing it.
    void selectNone();

signals:
    // The user chose a drive; root is its root folder (bytes).
    void driveChanged(const QByteArray &root);

private:
    std::vector<Drive> drives_;
};

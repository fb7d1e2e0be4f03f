#pragma once
#include <QByteArray>
#include <QTreeWidget>
#include <string>

class TDriveBox;

// The folder tree: the folders below a root (a drive's root folder), read
// when a folder is first expanded (SubFolders: no symbolic links, no hidden
// folders, never another file system). Each item keeps its folder's path as
// bytes; the selected item is the chosen folder.
class TFolderTree : public QTreeWidget {
    Q_OBJECT
public:
    explicit TFolderTree(QWidget *parent = nullptr);

    // Follows the drives chosen in box; setFolder chooses the drive of its
    // folder there.
    void attachDriveBox(TDriveBox *box);
    // Shows the tree of root, with root selected.
    void setRoot(const std::string &root);
    const std::string &root() const { return root_; }
    // Shows the tree of the drive holding path ("/" when no drive does, and
    // the attached drive box then shows none), opened down to path, which is selected and opened. A folder on the way that the
    // tree would not list (hidden, a link the user named) is shown all the
    // same, since it is the folder asked for.
    void setFolder(const std::string &path);
    // The selected folder (the root when nothing is selected).
    std::string selectedFolder() const;
    // Reads the tree again, keeping the open folders and the selection.
    void refresh();

signals:
    // The selected folder changed.
    void folderChanged(const QByteArray &path);
    // A folder was double-clicked (or Enter pressed on it).
    void folderActivated(const QByteArray &path);

private:
    QTreeWidgetItem *addFolder(QTreeWidgetItem *parent, const std::string &path, const std::string &name);
    void load(QTreeWidgetItem *item);
    static std::string pathOf(const QTreeWidgetItem *item);

    std::string root_;
    TDriveBox *box_ = nullptr;
};

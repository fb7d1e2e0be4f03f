#include "scan/TFolderTree.h"

#include "common/Text.h"
#include "platform/DirReader.h"
#include "platform/Drives.h"
#include "scan/SubFolders.h"
#include "scan/TDriveBox.h"

#include <QApplication>
#include <QHeaderView>
#include <QStyle>

namespace {
constexpr int kPathRole = Qt::UserRole;
constexpr int kLoadedRole = Qt::UserRole + 1;

std::string withoutTrailingSlash(std::string p)
{
    while (p.size() > 1 && p.back() == '/')
        p.pop_back();
    return p;
}
}

TFolderTree::TFolderTree(QWidget *parent) : QTreeWidget(parent)
{
    setObjectName(QStringLiteral("DirectoryListBox1"));
    setHeaderHidden(true);
    setColumnCount(1);
    setUniformRowHeights(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setExpandsOnDoubleClick(true);
    connect(this, &QTreeWidget::itemExpanded, this, [this](QTreeWidgetItem *item) { load(item); });
    connect(this, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem *now, QTreeWidgetItem *) {
        if (now)
            emit folderChanged(QByteArray::fromStdString(pathOf(now)));
    });
    connect(this, &QTreeWidget::itemActivated, this, [this](QTreeWidgetItem *item, int) {
        emit folderActivated(QByteArray::fromStdString(pathOf(item)));
    });
}

void TFolderTree::attachDriveBox(TDriveBox *box)
{
    box_ = box;
    connect(box, &TDriveBox::driveChanged, this, [this](const QByteArray &root) { setRoot(root.toStdString()); });
}

std::string TFolderTree::pathOf(const QTreeWidgetItem *item)
{
    return item ? item->data(0, kPathRole).toByteArray().toStdString() : std::string();
}

QTreeWidgetItem *TFolderTree::addFolder(QTreeWidgetItem *parent, const std::string &path, const std::string &name)
{
    auto *item = parent ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(this);
    item->setText(0, displayName(name));
    item->setIcon(0, style()->standardIcon(QStyle::SP_DirIcon));
    item->setData(0, kPathRole, QByteArray::fromStdString(path));
    item->setData(0, kLoadedRole, false);
    item->setChildIndicatorPolicy(QTreeWidgetItem::ShowIndicator);
    return item;
}

void TFolderTree::load(QTreeWidgetItem *item)
{
    if (!item || item->data(0, kLoadedRole).toBool())
        return;
    item->setData(0, kLoadedRole, true);
    const std::string path = pathOf(item);
    for (const std::string &name : SubFolders::list(path))
        addFolder(item, joinPath(path, name), name);
    if (item->childCount() == 0)
        item->setChildIndicatorPolicy(QTreeWidgetItem::DontShowIndicatorWhenChildless);
}

void TFolderTree::setRoot(const std::string &root)
{
    QSignalBlocker quiet(this);
    clear();
    root_ = withoutTrailingSlash(root.empty() ? std::string("/") : root);
    QTreeWidgetItem *top = addFolder(nullptr, root_, root_);
    load(top);
    top->setExpanded(true);
    setCurrentItem(top);
    quiet.unblock();
    emit folderChanged(QByteArray::fromStdString(root_));
}

void TFolderTree::setFolder(const std::string &folder)
{
    const std::string path = withoutTrailingSlash(folder);
    std::string root = "/";
    if (const auto d = Drives::driveOfPath(path)) {
        root = d->root;
        if (box_ && !box_->selectLetter(d->letter))
            box_->selectNone();
    } else if (box_) {
        box_->selectNone(); // the box names no drive the tree does not show
    }
    root = withoutTrailingSlash(root);
    if (root != root_ || topLevelItemCount() == 0)
        setRoot(root);
    QTreeWidgetItem *item = topLevelItem(0);
    if (path.size() > root.size() && path.compare(0, root.size(), root) == 0) {
        // Walk down the names below the root, reading each folder on the way.
        size_t start = root.size() == 1 ? 1 : root.size() + 1;
        while (start <= path.size()) {
            size_t end = path.find('/', start);
            if (end == std::string::npos)
                end = path.size();
            const std::string name = path.substr(start, end - start);
            if (!name.empty()) {
                load(item);
                item->setExpanded(true);
                const std::string childPath = path.substr(0, end);
                QTreeWidgetItem *child = nullptr;
                for (int i = 0; i < item->childCount() && !child; ++i)
                    if (pathOf(item->child(i)) == childPath)
                        child = item->child(i);
                item = child ? child : addFolder(item, childPath, name);
            }
            start = end + 1;
        }
    }
    // The chosen folder shows its own subfolders too.
    load(item);
    item->setExpanded(true);
    setCurrentItem(item);
    scrollToItem(item);
}

std::string TFolderTree::selectedFolder() const
{
    const QTreeWidgetItem *item = currentItem();
    return item ? pathOf(item) : root_;
}

void TFolderTree::refresh()
{
    // Folders that went away meanwhile are not opened again (setFolder
    // would show them as named); the selection falls back to the nearest
    // folder above it that is still there.
    const auto exists = [](const std::string &p) { return DirReader(p).isOpen(); };
    std::string selected = selectedFolder();
    std::vector<std::string> open;
    for (QTreeWidgetItemIterator it(this); *it; ++it)
        if ((*it)->isExpanded() && exists(pathOf(*it)))
            open.push_back(pathOf(*it));
    while (selected.size() > root_.size() && !exists(selected)) {
        const size_t slash = selected.rfind('/');
        selected = slash == 0 || slash == std::string::npos ? std::string("/") : selected.substr(0, slash);
    }
    setRoot(root_);
    for (const std::string &p : open)
        setFolder(p);
    setFolder(selected);
}

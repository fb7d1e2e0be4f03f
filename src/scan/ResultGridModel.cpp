// ResultGridModel: construction, layout and clearing, and what the views
// see (row growth told in batches, cells, header). The rows' storage, their
// texts, marks and sorting are in the ResultGridModel*.cpp files beside it.
#include "scan/ResultGridModel.h"

#include "common/Text.h"

ResultGridModel::ResultGridModel(const GridLayout &layout, QObject *parent)
    : QAbstractTableModel(parent), layout_(layout), columns_(int(layout.columns.size()))
{
    checked_ = layout_.checkedAtClear;
}

void ResultGridModel::setLayout(const GridLayout &layout)
{
    beginResetModel();
    layout_ = layout;
    columns_ = int(layout_.columns.size());
    endResetModel();
    ClearGrid();
}

void ResultGridModel::ClearGrid()
{
    beginResetModel();
    columns_ = int(layout_.columns.size());
    text_.clear();
    texts_ = {};
    bytes_.clear();
    folders_ = {};
    folderIds_ = {};
    lastFolder_.clear();
    lastFolderId_ = ~0u;
    sortTexts_.clear();
    types_.assign(1, QString());
    typeIds_.clear();
    scratch_[0] = {};
    scratch_[1] = {};
    slots_ = {};
    order_ = {};
    textRows_ = wideNames_ = slashNames_ = 0;
    marks_ = {};
    gridRows_ = 2;
    shown_ = 1;
    dirtyFrom_ = -1;
    markedCount_ = 0;
    markedSize_ = 0;
    nextMark_ = 1;
    lbDeleted_.clear();
    lbDeletedStale_ = false;
    endResetModel();
    setChecked(layout_.sortEntries.empty() ? -1 : layout_.checkedAtClear);
}

void ResultGridModel::scheduleSync()
{
    if (syncQueued_)
        return;
    syncQueued_ = true;
    QMetaObject::invokeMethod(
        this,
        [this]() {
            syncQueued_ = false;
            sync();
        },
        Qt::QueuedConnection);
}

void ResultGridModel::sync()
{
    const int target = gridRows_ - 1;
    const int before = shown_;
    if (target > shown_) {
        beginInsertRows({}, shown_, target - 1);
        shown_ = target;
        endInsertRows();
    } else if (target < shown_) {
        beginRemoveRows({}, target, shown_ - 1);
        shown_ = target;
        endRemoveRows();
    }
    const int changedTo = std::min(before, shown_) - 1;
    if (dirtyFrom_ >= 0 && dirtyFrom_ <= changedTo && columns_ > 0)
        emit dataChanged(index(dirtyFrom_, 0), index(changedTo, columns_ - 1));
    dirtyFrom_ = -1;
}

int ResultGridModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : shown_;
}

int ResultGridModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : columns_;
}

QVariant ResultGridModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid())
        return {};
    const int row = index.row() + 1;
    switch (role) {
    case Qt::DisplayRole:
        return cell(row, index.column());
    case Qt::TextAlignmentRole:
        return int((layout_.isRightAligned(index.column()) ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignTop);
    case MarkRole:
        return index.column() == layout_.markColumn && isMarked(row);
    case PathRole:
        return displayName(path(row));
    default:
        return {};
    }
}

QVariant ResultGridModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 && section < columns_)
        return layout_.columns[size_t(section)].header;
    return {};
}

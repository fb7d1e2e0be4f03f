// ResultGridModel: the texts of the cells (stored for line rows, made from
// the typed fields otherwise), a column's longest text, and the clipboard's
// text of the rows.
#include "scan/ResultGridModel.h"

#include "common/DosTime.h"
#include "common/PathsMime.h"
#include "common/Text.h"
#include "scan/GridCellText.h"

#include <algorithm>

using GridCellText::bytesText;
using GridCellText::finish;

QStringView ResultGridModel::storedCell(const Slot &s, int column) const
{
    const QChar *record = text_.at(texts_[s.text - 1]);
    size_t at = size_t(columns_);
    for (int c = 0; c < column; ++c)
        at += record[c].unicode();
    return QStringView(record + at, record[column].unicode());
}

QString ResultGridModel::madeCell(const Slot &s, int column) const
{
    if (keyedCell(s, column))
        return keyed_.shown ? keyed_.shown(s.key) : QString();
    switch (layout_.columns[size_t(column)].show) {
    case CellKind::None: return {};
    case CellKind::Size: return formatThousands(s.size);
    case CellKind::Modified: return dosDateText(s.written);
    case CellKind::ModifiedTime: return dosTimeText(s.written, (s.nameFlags & WrittenOdd) != 0);
    case CellKind::Accessed: return dosDateText(s.accessed);
    case CellKind::Created: return dosDateText(s.created);
    case CellKind::Name: return finish(bytesText(nameBytes(s)));
    case CellKind::Folder: return finish(bytesText(folderBytes(s)));
    case CellKind::Path: return finish(displayName(pathOf(s)));
    case CellKind::Type: return types_[s.type];
    }
    return {};
}

QString ResultGridModel::slotText(const Slot &s, int column) const
{
    return s.text && !keyedCell(s, column) ? storedCell(s, column).toString() : madeCell(s, column);
}

QString ResultGridModel::cell(int row, int column) const
{
    const int s = slotOf(row);
    if (s < 0 || column < 0 || column >= columns_)
        return {};
    return slotText(slots_[size_t(s)], column);
}

QString ResultGridModel::longestCell(int column) const
{
    if (column < 0 || column >= columns_)
        return {};
    const CellKind kind = layout_.columns[size_t(column)].show;
    const bool sizes = kind == CellKind::Size;
    // Names and paths are compared by their bytes; only the longest is
    // turned into text.
    const bool named = kind == CellKind::Name || kind == CellKind::Folder || kind == CellKind::Path;
    QString longest;
    int64_t largest = -1;
    const Slot *longestNamed = nullptr;
    size_t namedBytes = 0;
    for (const Slot &s : slots_) {
        if (sizes && !s.text && s.size >= 0) {
            largest = std::max(largest, s.size);
            continue;
        }
        if (named && !s.text) {
            const size_t bytes = (kind == CellKind::Folder ? 0 : nameBytes(s).size())
                + (kind == CellKind::Name ? 0 : folderBytes(s).size());
            if (!longestNamed || bytes > namedBytes) {
                longestNamed = &s;
                namedBytes = bytes;
            }
            continue;
        }
        if (s.text && !keyedCell(s, column)) {
            // Stored texts are measured where they lie; only a longer one is copied out.
            const QStringView t = storedCell(s, column);
            if (t.size() > longest.size())
                longest = t.toString();
            continue;
        }
        const QString t = madeCell(s, column);
        if (t.size() > longest.size())
            longest = t;
    }
    if (largest >= 0) {
        const QString t = formatThousands(largest);
        if (t.size() > longest.size())
            longest = t;
    }
    if (longestNamed) {
        const QString t = madeCell(*longestNamed, column);
        if (t.size() > longest.size())
            longest = t;
    }
    return longest;
}

void ResultGridModel::setCell(int row, int column, const QString &text)
{
    const int s = slotOf(row);
    if (s < 0 || column < 0 || column >= columns_)
        return;
    // The row's cells are written anew at the end of the pool with the new one.
    std::vector<QString> texts;
    std::vector<QStringView> cells;
    for (int c = 0; c < columns_; ++c)
        texts.push_back(c == column ? text : slotText(slots_[size_t(s)], c));
    for (const QString &t : texts)
        cells.emplace_back(t);
    textRows_ += slots_[size_t(s)].text == 0;
    slots_[size_t(s)].text = storeTexts(cells.data());
    if (row - 1 < shown_)
        emit dataChanged(index(row - 1, column), index(row - 1, column));
}

QString ResultGridModel::clipboardText() const
{
    QString out;
    for (int r = 1; r <= rowsFilled(); ++r) {
        out += PathsMime::pathText(path(r)); // the file's name, not its shown text
        out += QLatin1Char('\n'); // a plain-text copy on Linux: LF line ends
    }
    return out;
}

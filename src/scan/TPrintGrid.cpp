#include "scan/TPrintGrid.h"

#include "common/TPrintLines.h"
#include "scan/GridReport.h"

#include <QApplication>
#include <QFontMetrics>
#include <QHeaderView>
#include <QPainter>
#include <QPrinter>
#include <QTableView>

bool printGrid(QPrinter &printer, const QTableView *grid, const QString &title)
{
    const QAbstractItemModel *model = grid->model();
    const QHeaderView *header = grid->horizontalHeader();
    const int columns = model ? model->columnCount() : 0;
    std::vector<int> widths;
    for (int c = 0; c < columns; ++c)
        widths.push_back(header->sectionSize(c));

    QFont font(QStringLiteral("Courier New"), 8);
    font.setStyleHint(QFont::TypeWriter);
    font.setFixedPitch(true);
    QStringList head = GridReport::heading(title, QDateTime::currentDateTime());
    QStringList cells;
    for (int c = 0; c < columns; ++c)
        cells << model->headerData(c, Qt::Horizontal).toString();
    head << GridReport::row(cells, widths);
    const int rows = model ? model->rowCount() : 0;
    // Rows are formatted as they are printed, so a long grid is never held twice.
    return printLines(printer, font, uint64_t(head.size()) + uint64_t(rows), [&](uint64_t i) {
        if (i < uint64_t(head.size()))
            return head[qsizetype(i)];
        const int r = int(i - uint64_t(head.size()));
        QStringList rowCells;
        for (int c = 0; c < columns; ++c)
            rowCells << model->index(r, c).data().toString();
        return GridReport::row(rowCells, widths);
    });
}

#include "scan/TPrintGrid.h"

#include "common/Dialogs.h"
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

    QApplication::setOverrideCursor(Qt::WaitCursor);
    const auto fail = [] {
        QApplication::restoreOverrideCursor();
        dialogs().showError(QStringLiteral("Error printing report ... quitting"));
        return false;
    };
    QPainter painter;
    if (!painter.begin(&printer))
        return fail();
    QFont font(QStringLiteral("Courier New"), 8);
    font.setStyleHint(QFont::TypeWriter);
    font.setFixedPitch(true);
    painter.setFont(font);
    const QFontMetrics fm(font, &printer);
    const int lineHeight = fm.lineSpacing();
    const QRect page = painter.viewport();
    int y = 0;
    const auto write = [&](const QString &line) {
        if (y + lineHeight > page.height()) {
            if (!printer.newPage())
                return false;
            y = 0;
        }
        painter.drawText(0, y + fm.ascent(), line);
        y += lineHeight;
        return painter.isActive();
    };

    QStringList lines = GridReport::heading(title, QDateTime::currentDateTime());
    QStringList cells;
    for (int c = 0; c < columns; ++c)
        cells << model->headerData(c, Qt::Horizontal).toString();
    lines << GridReport::row(cells, widths);
    for (const QString &l : lines)
        if (!write(l)) {
            painter.end();
            return fail();
        }
    const int rows = model ? model->rowCount() : 0;
    for (int r = 0; r < rows; ++r) {
        cells.clear();
        for (int c = 0; c < columns; ++c)
            cells << model->index(r, c).data().toString();
        if (!write(GridReport::row(cells, widths))) {
            painter.end();
            return fail();
        }
    }
    if (!painter.end())
        return fail();
    QApplication::restoreOverrideCursor();
    return true;
}

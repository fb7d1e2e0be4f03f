#pragma once
#include <QString>

class QPrinter;
class QTableView;

// printGrid: writes a grid as a plain-text report on a printer the user
// has confirmed: Courier New 8 points, the report heading, then the header
// row and every row in fields of the columns' widths. A failed write shows
// "Error printing report ... quitting" and stops. True when it completed.
bool printGrid(QPrinter &printer, const QTableView *grid, const QString &title);

#pragma once
#include <QString>
#include <functional>
#include <vector>

// How a result grid orders rows for one sort entry.
enum class SortKind {
    Number, // digits and the decimal separator only ("1,234,567" is 1234567); unreadable is 0
    Date,   // the short date format; empty or unreadable is 1 January 1900
    Text    // letters a-z taken as A-Z, then character codes
};

// What a column shows of a file row handed to the grid as typed fields
// (ResultGridModel::addFile); the grid makes the text when it is shown.
enum class CellKind : unsigned char {
    None,         // an empty cell
    Size,         // the size with thousands separators
    Modified,     // the short date of the last write
    ModifiedTime, // the long time of the last write
    Accessed,     // the short date of the last access
    Created,      // the short date of the birth time
    Name,         // the file's name
    Folder,       // the folder as found (a drive's root ends in "/")
    Path,         // the full path as found
    Type          // the type text the finder gave
};

// One column of a result grid.
struct GridColumn {
    QString header;
    int field = 0;   // the ResultLine field (counted from 1) the column shows of a row added as a line
    int width96 = 0; // width in pixels at 96 pixels per inch for a font with 6-pixel digits
                     // (scaled to the font in use; the last column takes the rest)
    CellKind show = CellKind::None; // what it shows of a row added as typed fields
    bool rightAligned = false;      // drawn right-aligned like the size column (folder hogs' counts)
};

// One entry of the grid's "Sort" menu.
struct SortEntry {
    QString caption;        // menu text, e.g. "&Size"
    int column = 0;         // the column it sorts by; a header click on that column picks it
    SortKind kind = SortKind::Text;
    QString directionKey;   // name in the program-wide direction table ("FileHogs/Size")
    bool firstDescending = false; // the direction of its first use in a run of the program
};

// Everything a finder tells the shared result grid. The grid itself (rows,
// marks, totals, sorting, menu, drawing, printing, clipboard) exists once.
struct GridLayout {
    std::vector<GridColumn> columns;
    int markColumn = -1; // the column carrying the mark glyph; -1: rows cannot be marked
    int sizeColumn = -1; // drawn right-aligned; -1: none
    // The size column and the columns marked rightAligned.
    bool isRightAligned(int column) const
    {
        return column == sizeColumn
            || (column >= 0 && size_t(column) < columns.size() && columns[size_t(column)].rightAligned);
    }
    // The last column's width: the client width less this many pixels
    // (at the same scale as the column widths).
    int lastColumnLess = 0;
    // How many columns at the end share the rest equally (the folder
    // browser's name and type); their own widths are not used.
    int restColumns = 1;
    // Text inset from the cell's left (or, in the size column, right) edge.
    int textInset = 2;
    QString hint = QStringLiteral("Double click to mark for deletion, right click for options");

    // Status line after every toggle and after "Unmark all": "%d" is the
    // marked count, "%s" the marked bytes with thousands separators.
    QString statusFormat = QStringLiteral("%d files %s bytes");
    std::function<void(const QString &)> statusSink;

    // Sorting. When disabled (or without entries) the "Sort" menu is hidden
    // and sorting does nothing.
    std::vector<SortEntry> sortEntries;
    bool sortingEnabled = true;
    int checkedAtClear = 0;      // the entry checked by ClearGrid
    bool flipBeforeSort = false; // flip the direction before sorting instead of after

    // Context menu texts and sections.
    bool sortSubmenu = true;   // entries inside "Sort" (else at the top level)
    bool fileEntries = true;   // "Details", "Open", "View"
    bool markEntries = true;   // "Mark" with "Mark all" and "Unmark all"
    bool resizeSubmenu = true; // "Resize" submenu (else the two entries at the top level)
    QString openCaption = QStringLiteral("Open");
    QString markAllCaption = QStringLiteral("Mark all");
    QString unmarkAllCaption = QStringLiteral("Unmark all");

    // The pixel widths of the columns in a grid whose client is clientWidth
    // wide. Every fixed width and the last column's allowance are scaled
    // once by scale; a column is at least atLeast[c] wide (a number column:
    // its widest number), and what columns grow beyond their scaled width
    // comes off the last column, which is at least 16 pixels.
    std::vector<int> columnWidths(double scale, int clientWidth, const std::vector<int> &atLeast = {}) const;
    // The factor by which the fixed widths grow for the font in use: the
    // font's digit width against the 6 pixels the widths were made for, and
    // never less than the screen's pixels per inch against 96.
    static double widthScale(double digitWidth, double logicalDpi);
};

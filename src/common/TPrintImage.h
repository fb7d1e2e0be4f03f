#pragma once

class QPrinter;
class QWidget;

// Prints a widget's image on one page of a printer the user has confirmed,
// at its size on screen, shrunk when it does not fit the page, placed at
// the top and centred across. A printer that cannot start shows "Error
// printing report ... quitting". True when the page was sent.
bool printWidgetImage(QPrinter &printer, QWidget *widget);

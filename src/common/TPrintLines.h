#pragma once
#include <QStringList>
#include <cstdint>
#include <functional>

class QFont;
class QPrinter;

// Prints text lines one under the other in font on a printer the user has
// confirmed, starting a new page when one is full; tabs advance to the next
// tab stop. The hourglass shows meanwhile. A failure shows "Error printing
// report ... quitting" and ends the print. True when every line was sent.
bool printLines(QPrinter &printer, const QFont &font, const QStringList &lines);
// The same for count lines produced one at a time by line(i), so a long
// file is printed without holding all its lines.
bool printLines(QPrinter &printer, const QFont &font, uint64_t count, const std::function<QString(uint64_t)> &line);

#include "common/TPrintLines.h"

#include "common/Dialogs.h"

#include <QApplication>
#include <QFontMetrics>
#include <QPainter>
#include <QPrinter>

bool printLines(QPrinter &printer, const QFont &font, uint64_t count, const std::function<QString(uint64_t)> &line)
{
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const auto fail = [] {
        QApplication::restoreOverrideCursor();
        dialogs().showError(QStringLiteral("Error printing report ... quitting"));
        return false;
    };
    QPainter painter;
    if (!painter.begin(&printer))
        return fail();
    painter.setFont(font);
    const QFontMetrics fm(font, &printer);
    const int lineHeight = fm.lineSpacing();
    const QRect page = painter.viewport();
    int y = 0;
    for (uint64_t i = 0; i < count; ++i) {
        if (y + lineHeight > page.height()) {
            if (!printer.newPage()) {
                painter.end();
                return fail();
            }
            y = 0;
        }
        painter.drawText(QRect(0, y, page.width(), lineHeight), Qt::AlignLeft | Qt::AlignTop | Qt::TextExpandTabs, line(i));
        y += lineHeight;
        if (!painter.isActive())
            return fail();
    }
    if (!painter.end())
        return fail();
    QApplication::restoreOverrideCursor();
    return true;
}

bool printLines(QPrinter &printer, const QFont &font, const QStringList &lines)
{
    return printLines(printer, font, uint64_t(lines.size()), [&](uint64_t i) { return lines[qsizetype(i)]; });
}

#include "common/TPrintImage.h"

#include "common/Dialogs.h"

#include <QPainter>
#include <QPrinter>
#include <QWidget>

#include <algorithm>

bool printWidgetImage(QPrinter &printer, QWidget *widget)
{
    QPainter painter;
    if (!widget || !painter.begin(&printer)) {
        dialogs().showError(QStringLiteral("Error printing report ... quitting"));
        return false;
    }
    const QRect page = painter.viewport();
    const QSize size = widget->size();
    // The widget's pixels at the printer's resolution, shrunk when it does
    // not fit the page.
    const double dpiScale = double(printer.resolution()) / std::max(1, widget->logicalDpiX());
    const double fit = std::min(double(page.width()) / std::max(1, size.width()),
                                double(page.height()) / std::max(1, size.height()));
    const double scale = std::min(dpiScale, fit);
    painter.translate((page.width() - size.width() * scale) / 2, 0);
    painter.scale(scale, scale);
    widget->render(&painter);
    return painter.end();
}

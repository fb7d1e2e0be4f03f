#include "app/THintStyle.h"

#include <QApplication>
#include <QPalette>
#include <QStyleFactory>
#include <QToolTip>

int THintStyle::styleHint(StyleHint hint, const QStyleOption *option, const QWidget *widget,
                          QStyleHintReturn *ret) const
{
    if (hint == SH_ToolTip_WakeUpDelay)
        return wakeUpDelay;
    return QProxyStyle::styleHint(hint, option, widget, ret);
}

void THintStyle::install()
{
    if (!qobject_cast<THintStyle *>(QApplication::style())) {
        // The proxy owns its base; the current style stays with the application.
        QApplication::setStyle(new THintStyle(QStyleFactory::create(QApplication::style()->name())));
    }
    QPalette pal = QToolTip::palette();
    pal.setColor(QPalette::ToolTipBase, QColor(245, 249, 136));
    pal.setColor(QPalette::ToolTipText, Qt::black);
    QToolTip::setPalette(pal);
}

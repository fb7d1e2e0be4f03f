#pragma once
#include <QCoreApplication>
#include <QShowEvent>
#include <QtTest/qtestspontaneevent.h>

// What a window receives when the window manager shows it again (restored
// from minimised, another desktop): a show event the program did not ask for.
inline void sendSpontaneousShow(QWidget *w)
{
    QShowEvent e;
    QSpontaneKeyEvent::setSpontaneous(&e);
    // sendEvent would clear the flag; notify delivers the event as it is.
    QCoreApplication::instance()->notify(w, &e);
}

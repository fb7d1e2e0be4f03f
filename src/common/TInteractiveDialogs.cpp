#include "common/TInteractiveDialogs.h"

#include <QApplication>
#include <QMessageBox>

Dialogs::Answer TInteractiveDialogs::message(Kind kind, const QString &text, Buttons buttons, const QString &title)
{
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    switch (kind) {
    case Kind::Error: icon = QMessageBox::Critical; QApplication::beep(); break;
    case Kind::Warning: icon = QMessageBox::Warning; QApplication::beep(); break;
    case Kind::Info: icon = QMessageBox::Information; break;
    case Kind::Question: icon = QMessageBox::Question; break;
    case Kind::Plain: break;
    }
    QMessageBox::StandardButtons bs = QMessageBox::Ok;
    switch (buttons) {
    case Buttons::Ok: bs = QMessageBox::Ok; break;
    case Buttons::YesNo: bs = QMessageBox::Yes | QMessageBox::No; break;
    case Buttons::OkCancel: bs = QMessageBox::Ok | QMessageBox::Cancel; break;
    case Buttons::YesNoCancel: bs = QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel; break;
    }
    QMessageBox box(icon, title.isEmpty() ? QApplication::applicationName() : title, text, bs,
                    QApplication::activeWindow());
    switch (box.exec()) {
    case QMessageBox::Yes: return Answer::Yes;
    case QMessageBox::No: return Answer::No;
    case QMessageBox::Cancel: return Answer::Cancel;
    default: return buttons == Buttons::Ok || buttons == Buttons::OkCancel ? Answer::Ok : Answer::Cancel;
    }
}

#include "common/TInteractiveDialogs.h"

#include <QApplication>
#include <QMainWindow>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Vantor '95"));
    Q_INIT_RESOURCE(help);
    TInteractiveDialogs interactive;
    setDialogs(&interactive);

    QMainWindow main;
    main.setWindowTitle(QStringLiteral("Vantor '95"));
    main.resize(557, 428);
    main.show();
    return app.exec();
}

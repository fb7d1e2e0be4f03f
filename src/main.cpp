#include "app/TNavigationTargets.h"
#include "app/TfrmMain.h"
#include "app/TfrmStandBy.h"
#include "common/TInteractiveDialogs.h"
#include "common/TLongLived.h"
#include "finders/TfrmDupCompare.h"
#include "inspect/TFindDlg.h"
#include "stats/TfrmStatistics.h"

#include <QApplication>
#include <QIcon>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Vantor '95"));
    // Ties the windows to the installed menu entry (vantor.desktop), and gives
    // them the program's icon also when it runs from its build folder.
    QGuiApplication::setDesktopFileName(QStringLiteral("vantor"));
    QIcon icon;
    for (int px : {16, 32, 48, 64, 128, 256})
        icon.addFile(QStringLiteral(":/icons/%1x%1/vantor.png").arg(px));
    QApplication::setWindowIcon(icon);
    Q_INIT_RESOURCE(help);
    TInteractiveDialogs interactive;
    setDialogs(&interactive);
    TNavigationTargets::install();

    // The windows that live for the whole run, in their order; closing the
    // main window ends the program even while the statistics window is open.
    int rc = 0;
    {
        TfrmMain main;
        TfrmStatistics::instance();
        TFindDlg::instance();
        TfrmDupCompare::instance();
        TfrmStandBy::instance();
        app.setQuitOnLastWindowClosed(false);
        QObject::connect(&main, &TfrmMain::closed, &app, &QCoreApplication::quit, Qt::QueuedConnection);
        main.show();
        rc = app.exec();
        TLongLived<TfrmStandBy>::destroy();
        TLongLived<TfrmDupCompare>::destroy();
        TLongLived<TFindDlg>::destroy();
        TLongLived<TfrmStatistics>::destroy();
    }
    return rc;
}

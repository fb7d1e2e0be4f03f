#include "app/TNavigationTargets.h"
#include "app/TfrmMain.h"
#include "app/TfrmStandBy.h"
#include "common/TInteractiveDialogs.h"
#include "common/TLongLived.h"
#include "finders/TfrmDupCompare.h"
#include "inspect/TFindDlg.h"
#include "stats/TfrmStatistics.h"

#include <QApplication>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Vantor '95"));
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

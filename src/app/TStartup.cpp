#include "app/TStartup.h"

#include "app/TQuit.h"
#include "app/TfrmMain.h"
#include "common/Navigation.h"
#include "common/TLongLived.h"
#include "finders/TfrmDupCompare.h"
#include "inspect/TFindDlg.h"
#include "platform/QuitSignals.h"
#include "safety/TfrmStandBy.h"
#include "stats/TfrmStatistics.h"

#include <QApplication>
#include <QEvent>
#include <QGuiApplication>
#include <QTimer>
#include <QWindow>
#include <cstdio>

namespace {
std::string reportLine()
{
    return "vantor: main window shown (platform " + QGuiApplication::platformName().toStdString() + ")";
}

// Watches the main window's native window for its first exposure.
class ExposeReport : public QObject {
public:
    explicit ExposeReport(QWindow *w) : QObject(w) { w->installEventFilter(this); }

    bool eventFilter(QObject *watched, QEvent *e) override
    {
        if (e->type() == QEvent::Expose && static_cast<QWindow *>(watched)->isExposed()) {
            // After the window has handled the event: it is then on screen.
            QTimer::singleShot(0, this, [this] {
                report();
                deleteLater();
            });
            watched->removeEventFilter(this);
        }
        return false;
    }

    static void report()
    {
        const std::string line = reportLine() + "\n";
        std::fputs(line.c_str(), stderr);
        std::fflush(stderr);
    }
};
} // namespace

void TStartup::afterShow(TfrmMain *main, const std::string &folder, bool report)
{
    if (report) {
        if (QWindow *w = main->windowHandle(); w && !w->isExposed())
            new ExposeReport(w);
        else
            ExposeReport::report();
    }
    if (!folder.empty())
        QTimer::singleShot(0, main, [main, folder] {
            if (main->checkExceptionList())
                Navigation::browseFolder(main, folder, QString());
        });
}

int TStartup::run(const std::string &folder, bool report, const std::function<void(TfrmMain *)> &started)
{
    // The windows that live for the whole run, in their order; closing the
    // main window ends the program even while the statistics window is open.
    int rc = 0;
    {
        TfrmMain main;
        TfrmStatistics::instance();
        TFindDlg::instance();
        TfrmDupCompare::instance();
        TfrmStandBy::instance();
        QApplication::setQuitOnLastWindowClosed(false);
        QObject::connect(&main, &TfrmMain::closed, qApp, &QCoreApplication::quit, Qt::QueuedConnection);
        // A request to end (logout, Ctrl-C) stops whatever runs and closes
        // the windows, the main window last, so the program ends through its
        // usual path.
        auto *quit = new TQuit(&main);
        QuitSignals quitSignals;
        QObject::connect(&quitSignals, &QuitSignals::quitRequested, quit, &TQuit::begin);
        main.show();
        afterShow(&main, folder, report);
        if (started)
            started(&main);
        rc = QApplication::exec();
        TLongLived<TfrmStandBy>::destroy();
        TLongLived<TfrmDupCompare>::destroy();
        TLongLived<TFindDlg>::destroy();
        TLongLived<TfrmStatistics>::destroy();
    }
    return rc;
}

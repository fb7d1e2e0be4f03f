#include "app/TStartup.h"

#include "app/TfrmMain.h"
#include "common/Navigation.h"

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

#include "app/TQuit.h"

#include "common/Dialogs.h"
#include "common/Runs.h"

#include <QApplication>
#include <QDialog>
#include <QWidget>

namespace {
// How often the ending is pushed on; a run stops at its next pump point
// (at most 15 ms away), so a few steps end everything.
constexpr int kStepMs = 20;
}

TQuit::TQuit(QWidget *main) : QObject(main), main_(main)
{
    timer_.setInterval(kStepMs);
    connect(&timer_, &QTimer::timeout, this, &TQuit::step);
}

void TQuit::begin()
{
    if (begun_)
        return;
    begun_ = true;
    setDialogs(nullptr);
    Runs::requestQuit();
    timer_.start();
    step();
}

void TQuit::step()
{
    // Runs started since the last step (a finder's next phase) stop too.
    Runs::stopAll();
    if (QWidget *popup = QApplication::activePopupWidget()) {
        popup->close();
        return;
    }
    if (QWidget *modal = QApplication::activeModalWidget()) {
        // Its own close first: a window that runs something turns it into
        // an abort and stays until its run has unwound.
        modal->close();
        if (modal->isVisible() && !Runs::anyRunning())
            if (auto *dlg = qobject_cast<QDialog *>(modal))
                dlg->reject(); // a message box without an Escape button
        return;
    }
    // A run below a modeless window (the statistics) unwinds first, so the
    // program never ends under it.
    if (Runs::anyRunning() || !main_)
        return;
    main_->close();
}

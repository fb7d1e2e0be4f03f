#pragma once
#include <QObject>
#include <QPointer>
#include <QTimer>

class QWidget;

// Ends the program on a request from outside (SIGTERM at logout, Ctrl-C, a
// closed terminal) whatever goes on, within moments and with exit status 0:
// every run is stopped (Runs::requestQuit: walks, searches and their worker
// threads, deletions, zip and extraction runs), no box is shown any more
// (the silent Dialogs answer each question with its negative choice), and
// the windows are closed from the top down: a popup menu, then each modal
// window by its own close (a message box open at the time as its Escape key
// answers it), and, once no run is left, the main window, whose close ends
// the program along the usual path, so what a normal close saves is saved.
// The steps repeat on a timer until the program has ended, so a window that
// refuses while its run unwinds is asked again. The request may arrive inside
// any nested event loop (a walk letting events through, a modal box).
class TQuit : public QObject {
public:
    explicit TQuit(QWidget *main);
    // The first call starts the ending; later ones change nothing.
    void begin();
    bool begun() const { return begun_; }

private:
    void step();

    QPointer<QWidget> main_;
    QTimer timer_;
    bool begun_ = false;
};

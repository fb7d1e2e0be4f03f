#pragma once
#include <QObject>

class QSocketNotifier;

// Turns the signals that ask a program to end (SIGTERM from a session's
// logout or a service manager, SIGINT from Ctrl-C, SIGHUP from a closed
// terminal) into a signal on the event loop, so the program can end as if
// its main window were closed. After the first such signal the default
// actions are back: a second one ends the program at once. One instance at a
// time; destroying it restores the default actions.
class QuitSignals : public QObject {
    Q_OBJECT
public:
    explicit QuitSignals(QObject *parent = nullptr);
    ~QuitSignals() override;
    QuitSignals(const QuitSignals &) = delete;
    QuitSignals &operator=(const QuitSignals &) = delete;

signals:
    void quitRequested(int signalNumber);

private:
    void readPending();
    int readFd_ = -1;
    QSocketNotifier *notifier_ = nullptr;
};

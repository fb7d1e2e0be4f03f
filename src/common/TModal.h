#pragma once
#include <QDialog>
#include <deque>
#include <functional>

// Shows a tool window modally. Every modal tool window is opened through
// exec(), so a test can queue a handler that drives the window once it is up
// (the handler runs inside the window's own event loop and closes it).
class TModal {
public:
    using Handler = std::function<void(QDialog *)>;
    // Shows the window modally and returns its result (QDialog::Accepted/Rejected).
    // A window that asks for a dialog frame is first held at its size (TDialogFrame).
    static int exec(QDialog *dlg);
    // Queues a handler for the next window opened through exec().
    static void push(Handler h);
    // Handlers not yet used (tests check that each window they expected opened).
    static size_t pending();
    static void clear();

private:
    static std::deque<Handler> &queue();
};

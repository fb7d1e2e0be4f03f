#pragma once
#include <QString>
#include <functional>

// The program-wide register of long runs. Every run on the user-interface
// thread that lets events through while it works (a walk, a deletion, a zip
// or extraction run, a folder removal) holds a Runs::Token for its length.
// Events that arrive during a run are handled inside it, so a click on the
// main window could start a second tool nested in the first; the main window
// asks Runs::anyRunning() first and refuses with Runs::busyText().
//
// A run also says how it is stopped: a request to end the program (a quit
// signal) stops every run going on, however deeply they nest, without the
// questions and boxes an Abort by the user brings.
namespace Runs {

// Held for the length of one run; runs may nest (a zip inside the deletion
// window's run). Not copyable; release is by destruction.
class Token {
public:
    // what: the run in a few words ("a drive scan", "a deletion").
    // stop: makes the run end at its next pump point as an abort does, with
    // no box or question; it may be called more than once.
    explicit Token(const QString &what, std::function<void()> stop = {});
    ~Token();
    Token(const Token &) = delete;
    Token &operator=(const Token &) = delete;
};

bool anyRunning();
// The innermost run going on; empty when none.
QString current();
// Why a new tool cannot start now.
QString busyText();

// The program is to end: remembered, and every run going on is stopped.
void requestQuit();
bool quitRequested();
// Stops every run going on (innermost first) through its stop function.
void stopAll();

} // namespace Runs

#pragma once
#include <functional>
#include <string>

class TfrmMain;

// What start-up does once the main window is shown.
namespace TStartup {

// folder (not empty): opens the folder browser on it, as soon as the event
// loop runs, when the launch guard lets a tool open (no run going on, the
// non-delete list built); otherwise the guard says why, as for the button.
// report: writes "vantor: main window shown (platform NAME)" on standard
// error when the window system first exposes the main window, the sign a
// desktop test waits for (VANTOR_STARTUP_REPORT=1 asks for it).
// Call after main->show().
void afterShow(TfrmMain *main, const std::string &folder, bool report);

// The program's run once the application object, the dialogs and the
// navigation targets are in place: the main window and the long-lived
// windows, the quit signals (SIGTERM, SIGINT, SIGHUP end the program through
// TQuit), the event loop, and the long-lived windows destroyed in order.
// started, when given, is called once the main window is shown (a test
// drives the program from there). Returns the exit status.
int run(const std::string &folder, bool report, const std::function<void(TfrmMain *)> &started = {});

} // namespace TStartup

#pragma once
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

} // namespace TStartup

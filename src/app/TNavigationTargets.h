#pragma once

// Registers every window that is a Navigation target (the folder browser,
// the file viewer, the file details window, the folder removal window, the
// deletion window) with its handler. main() calls install() once before the main window shows;
// a test that drives the real targets calls it too.
namespace TNavigationTargets {
void install();
}

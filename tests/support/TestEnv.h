#pragma once
#include <string>

namespace TestEnv {
// The temporary folder of this test program (removed at its end).
std::string root();
// The current test's own HOME (fresh for every test case).
std::string home();
void setHome(const std::string &home);
// True when the tests run as root (permission checks do not apply; tests of
// denied access skip themselves).
bool privileged();
// The standard output of a shell command run with the test's HOME and XDG
// folders (peer programs such as trash-list).
std::string commandOutput(const std::string &command);
}

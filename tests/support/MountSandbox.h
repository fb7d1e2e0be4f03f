#pragma once
#include <functional>
#include <string>
#include <vector>

// Tests of a file system mounted below a folder (another drive there).
//
// run() forks a child with its own user and mount namespaces, mounts a fresh
// tmpfs on each of mountPoints (folders that exist), or binds folders on
// others (runWithBinds), and runs checks in the child. The mounts exist only in the child's namespace: they end with the
// child whether the checks pass, fail or crash, and no other process ever
// sees them. No privileges are needed where the system lets unprivileged
// users make namespaces; where it does not, nothing is mounted and the test
// skips itself.
//
// checks runs in the child, so it must not use gtest assertions (their
// results stay in the child): it returns an empty text when all is well, or
// a description of what failed, which the parent reports.
namespace MountSandbox {

struct Outcome {
    bool mounted = false; // false: no namespaces or no mount here (skip the test)
    std::string failure;  // what the checks reported, or how the child ended
};

Outcome run(const std::vector<std::string> &mountPoints, const std::function<std::string()> &checks);

// A folder of the same file system mounted on another (a bind mount): the
// device stays the same, the mount differs.
struct Bind {
    std::string from;
    std::string onto;
};
// As run, with bind mounts instead of fresh file systems.
Outcome runWithBinds(const std::vector<Bind> &binds, const std::function<std::string()> &checks);

// The skip message for an outcome that was not mounted.
inline constexpr const char kCannotMount[] = "cannot mount a file system here (no user namespaces)";

} // namespace MountSandbox

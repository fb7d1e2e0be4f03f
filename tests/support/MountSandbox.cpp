#include "support/MountSandbox.h"

#include <cerrno>
#include <cstdio>
#include <exception>
#include <fstream>
#include <sched.h>
#include <sys/mount.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {
constexpr int kNoMount = 77;

bool writeAll(int fd, const std::string &s)
{
    size_t done = 0;
    while (done < s.size()) {
        const ssize_t n = ::write(fd, s.data() + done, s.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += size_t(n);
    }
    return true;
}

// In the child: its own namespaces, the mounts, the checks. Never returns.
[[noreturn]] void child(int out, const std::vector<std::string> &mountPoints,
                        const std::vector<MountSandbox::Bind> &binds, const std::function<std::string()> &checks)
{
    const uid_t uid = ::getuid();
    const gid_t gid = ::getgid();
    ::prctl(PR_SET_DUMPABLE, 1); // a process that changed its user may not write its own maps otherwise
    if (::unshare(CLONE_NEWUSER | CLONE_NEWNS) != 0)
        ::_exit(kNoMount);
    std::ofstream("/proc/self/setgroups") << "deny";
    std::ofstream("/proc/self/uid_map") << "0 " << uid << " 1";
    std::ofstream("/proc/self/gid_map") << "0 " << gid << " 1";
    for (const std::string &m : mountPoints) {
        if (::mount("none", m.c_str(), "tmpfs", 0, nullptr) != 0)
            ::_exit(kNoMount);
    }
    for (const MountSandbox::Bind &b : binds) {
        if (::mount(b.from.c_str(), b.onto.c_str(), nullptr, MS_BIND, nullptr) != 0)
            ::_exit(kNoMount);
    }
    std::string failure;
    try {
        failure = checks();
    } catch (const std::exception &e) {
        failure = std::string("the checks threw: ") + e.what();
    } catch (...) {
        failure = "the checks threw";
    }
    const bool sent = writeAll(out, failure);
    ::_exit(failure.empty() && sent ? 0 : 1);
}

MountSandbox::Outcome runChild(const std::vector<std::string> &mountPoints,
                               const std::vector<MountSandbox::Bind> &binds,
                               const std::function<std::string()> &checks)
{
    MountSandbox::Outcome o;
    int fds[2];
    if (::pipe(fds) != 0) {
        o.failure = "no pipe to the child";
        o.mounted = true;
        return o;
    }
    std::fflush(nullptr); // nothing buffered is written twice
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::close(fds[0]);
        child(fds[1], mountPoints, binds, checks);
    }
    ::close(fds[1]);
    std::string report;
    char buf[4096];
    for (;;) {
        const ssize_t n = ::read(fds[0], buf, sizeof buf);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        report.append(buf, size_t(n));
    }
    ::close(fds[0]);
    if (pid < 0) {
        o.mounted = true;
        o.failure = "could not fork";
        return o;
    }
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (WIFEXITED(status) && WEXITSTATUS(status) == kNoMount)
        return o;
    o.mounted = true;
    if (WIFSIGNALED(status))
        o.failure = report + "[the child ended by signal " + std::to_string(WTERMSIG(status)) + "]";
    else if (WEXITSTATUS(status) != 0)
        o.failure = report.empty() ? "the child could not report" : report;
    return o;
}
}

MountSandbox::Outcome MountSandbox::run(const std::vector<std::string> &mountPoints,
                                        const std::function<std::string()> &checks)
{
    return runChild(mountPoints, {}, checks);
}

MountSandbox::Outcome MountSandbox::runWithBinds(const std::vector<Bind> &binds,
                                                 const std::function<std::string()> &checks)
{
    return runChild({}, binds, checks);
}

#include "support/TestChild.h"

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <map>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

namespace {
std::map<std::string, std::function<int()>> &bodies()
{
    static std::map<std::string, std::function<int()>> b;
    return b;
}

using Clock = std::chrono::steady_clock;
int msLeft(Clock::time_point deadline)
{
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? int(left) : 0;
}
}

TestChild::Registration::Registration(const char *name, std::function<int()> body)
{
    bodies()[name] = std::move(body);
}

int TestChild::run(const std::string &name)
{
    const auto it = bodies().find(name);
    return it == bodies().end() ? 127 : it->second();
}

TestChild::Process TestChild::Process::child(const std::string &name, const std::vector<std::string> &setEnv,
                                             const std::vector<std::string> &unsetEnv)
{
    char self[4096] = {};
    if (::readlink("/proc/self/exe", self, sizeof self - 1) < 0)
        self[0] = 0;
    return Process({self, "--vantor-child", name}, setEnv, unsetEnv);
}

TestChild::Process::Process(const std::vector<std::string> &argv, const std::vector<std::string> &setEnv,
                            const std::vector<std::string> &unsetEnv)
{
    // The environment and arguments are made before the fork: the child
    // only execs.
    std::vector<std::string> env;
    for (char **e = environ; *e; ++e) {
        const std::string entry(*e);
        const std::string key = entry.substr(0, entry.find('='));
        bool drop = false;
        for (const std::string &u : unsetEnv)
            drop |= key == u;
        for (const std::string &s : setEnv)
            drop |= key == s.substr(0, s.find('='));
        if (!drop)
            env.push_back(entry);
    }
    env.insert(env.end(), setEnv.begin(), setEnv.end());
    std::vector<char *> envp, args;
    for (std::string &e : env)
        envp.push_back(e.data());
    envp.push_back(nullptr);
    std::vector<std::string> argCopy = argv;
    for (std::string &a : argCopy)
        args.push_back(a.data());
    args.push_back(nullptr);

    int out[2], err[2];
    if (::pipe2(out, O_CLOEXEC) != 0)
        return;
    if (::pipe2(err, O_CLOEXEC) != 0) {
        ::close(out[0]);
        ::close(out[1]);
        return;
    }
    pid_ = ::fork();
    if (pid_ == 0) {
        ::dup2(out[1], 1);
        ::dup2(err[1], 2);
        ::execve(args[0], args.data(), envp.data());
        ::_exit(126);
    }
    ::close(out[1]);
    ::close(err[1]);
    outFd_ = out[0];
    errFd_ = err[0];
    if (pid_ < 0) {
        ::close(outFd_);
        ::close(errFd_);
        outFd_ = errFd_ = -1;
    }
}

TestChild::Process::Process(Process &&o) noexcept
    : pid_(o.pid_), outFd_(o.outFd_), errFd_(o.errFd_), outSeen_(o.outSeen_), out_(std::move(o.out_)),
      err_(std::move(o.err_)), status_(o.status_)
{
    o.pid_ = o.outFd_ = o.errFd_ = -1;
}

TestChild::Process::~Process()
{
    if (pid_ > 0 && status_ < 0) {
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
    }
    for (int fd : {outFd_, errFd_})
        if (fd >= 0)
            ::close(fd);
}

bool TestChild::Process::readSome(int ms)
{
    pollfd fds[2];
    nfds_t n = 0;
    for (int fd : {outFd_, errFd_})
        if (fd >= 0)
            fds[n++] = {fd, POLLIN, 0};
    if (n == 0)
        return false;
    if (::poll(fds, n, ms) <= 0)
        return true;
    for (nfds_t i = 0; i < n; ++i) {
        if (!(fds[i].revents & (POLLIN | POLLHUP | POLLERR)))
            continue;
        char buf[4096];
        const ssize_t got = ::read(fds[i].fd, buf, sizeof buf);
        int &fd = fds[i].fd == outFd_ ? outFd_ : errFd_;
        std::string &to = fds[i].fd == outFd_ ? out_ : err_;
        if (got > 0) {
            to.append(buf, size_t(got));
        } else {
            ::close(fd);
            fd = -1;
        }
    }
    return outFd_ >= 0 || errFd_ >= 0;
}

bool TestChild::Process::waitForLine(const std::string &line, int ms)
{
    const auto deadline = Clock::now() + std::chrono::milliseconds(ms);
    for (;;) {
        for (size_t end; (end = out_.find('\n', outSeen_)) != std::string::npos;) {
            const bool found = out_.compare(outSeen_, end - outSeen_, line) == 0;
            outSeen_ = end + 1;
            if (found)
                return true;
        }
        if (outFd_ < 0 || msLeft(deadline) == 0)
            return false;
        readSome(msLeft(deadline));
    }
}

void TestChild::Process::signal(int signalNumber)
{
    if (pid_ > 0 && status_ < 0)
        ::kill(pid_, signalNumber);
}

int TestChild::Process::waitForEnd(int ms)
{
    if (pid_ <= 0)
        return -1;
    if (status_ >= 0)
        return status_;
    const auto deadline = Clock::now() + std::chrono::milliseconds(ms);
    // The pipes end when the child does (nothing else holds them).
    while (readSome(msLeft(deadline)) && msLeft(deadline) > 0) {
    }
    int status = 0;
    if (::waitpid(pid_, &status, outFd_ < 0 && errFd_ < 0 ? 0 : WNOHANG) == pid_)
        status_ = status;
    return status_;
}

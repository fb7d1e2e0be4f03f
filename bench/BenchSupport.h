#pragma once
// What the hand-run benchmarks share: a clock, a timed peer command and a
// Dialogs that answers every box without a window.
#include "common/Dialogs.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <cstdio>
#include <fcntl.h>
#include <fstream>
#include <spawn.h>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char **environ;

namespace bench {

// A field of /proc/self/status in kB (VmRSS, VmHWM); 0 when not found.
inline long statusKb(const char *field)
{
    std::ifstream in("/proc/self/status");
    std::string line;
    const std::string key = std::string(field) + ":";
    while (std::getline(in, line))
        if (line.rfind(key, 0) == 0)
            return std::atol(line.c_str() + key.size());
    return 0;
}

// Resets the peak resident size (VmHWM) to the current one.
inline void resetPeak() { std::ofstream("/proc/self/clear_refs") << "5"; }

inline double now()
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

// The best of runs timings of f, in milliseconds.
inline double bestMs(int runs, const std::function<void()> &f)
{
    double b = 1e12;
    for (int i = 0; i < runs; ++i) {
        const double t0 = now();
        f();
        b = std::min(b, (now() - t0) * 1000);
    }
    return b;
}

// The best of three runs of a shell command (output to /dev/null), in
// milliseconds.
inline double shellMs(const std::string &cmd)
{
    return bestMs(3, [&] {
        if (std::system((cmd + " > /dev/null").c_str()) != 0)
            std::fprintf(stderr, "failed: %s\n", cmd.c_str());
    });
}

inline double cpuSeconds(const struct rusage &ru)
{
    return ru.ru_utime.tv_sec + ru.ru_stime.tv_sec + (ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) / 1e6;
}

// The user and system time this process has used so far, in seconds.
inline double ownCpuSeconds()
{
    struct rusage ru {};
    getrusage(RUSAGE_SELF, &ru);
    return cpuSeconds(ru);
}

// Runs a command (output to /dev/null) and returns its wall time in
// seconds, -1 when it could not be started; cpuSecs, when given, gets the
// user and system time the command used.
inline double timeCommand(const std::vector<std::string> &args, const std::string &cwd = {},
                          double *cpuSecs = nullptr)
{
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawn_file_actions_addopen(&fa, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&fa, 2, "/dev/null", O_WRONLY, 0);
    if (!cwd.empty())
        posix_spawn_file_actions_addchdir_np(&fa, cwd.c_str());
    std::vector<char *> argv;
    for (const std::string &a : args)
        argv.push_back(const_cast<char *>(a.c_str()));
    argv.push_back(nullptr);
    const double t0 = now();
    pid_t pid;
    int status = 0;
    const int rc = posix_spawnp(&pid, argv[0], &fa, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&fa);
    if (rc != 0)
        return -1;
    struct rusage ru {};
    wait4(pid, &status, 0, &ru);
    if (cpuSecs)
        *cpuSecs = cpuSeconds(ru);
    return now() - t0;
}

// folders folders two levels deep under root (100 in each top folder, every
// tenth top folder a dot-folder), perFolder sparse files of up to 300,000
// bytes in each, named n0, n1 ... with the extensions taken in turn at random.
inline void makeSparseTree(const std::string &root, int folders, int perFolder, unsigned seed,
                           const std::vector<const char *> &extensions)
{
    std::printf("generating %d files under %s ...\n", folders * perFolder, root.c_str());
    std::fflush(stdout);
    ::mkdir(root.c_str(), 0755);
    for (int i = 0; i < folders; ++i) {
        const int top = i / 100;
        const std::string t = root + (top % 10 == 0 ? "/.top" : "/top") + std::to_string(top);
        const std::string f = t + "/f" + std::to_string(i % 100);
        ::mkdir(t.c_str(), 0755);
        ::mkdir(f.c_str(), 0755);
        for (int k = 0; k < perFolder; ++k) {
            seed = seed * 1664525u + 1013904223u;
            const std::string p = f + "/n" + std::to_string(k) + extensions[seed % extensions.size()];
            const int fd = ::open(p.c_str(), O_CREAT | O_WRONLY | O_TRUNC, 0644);
            if (fd < 0)
                continue;
            if (::ftruncate(fd, off_t((seed >> 8) % 300000)) != 0)
                std::perror("ftruncate");
            ::close(fd);
        }
    }
}

// OK to every message, Yes to every question, nothing chosen in pickers.
class QuietDialogs : public Dialogs {
public:
    Answer message(Kind, const QString &text, Buttons b, const QString &) override
    {
        last = text;
        return b == Buttons::Ok || b == Buttons::OkCancel ? Answer::Ok : Answer::Yes;
    }
    std::optional<std::string> chooseFolder(const QString &, const std::string &) override { return {}; }
    std::optional<std::string> chooseOpenFile(const QString &, const QString &, const std::string &) override
    {
        return {};
    }
    std::optional<QString> inputText(const QString &, const QString &, const QString &, bool) override { return {}; }
    bool choosePrinter(QPrinter &, const QString &) override { return false; }
    QString last; // the last box's text
};

} // namespace bench

namespace bench {

// One side of a side-by-side timing: a name and a run that returns its
// wall time in seconds.
struct Contender {
    std::string name;
    std::function<double()> run;
};

// Empties the page cache and the folder and inode caches (after a sync);
// false where the system does not allow it.
inline bool dropCaches()
{
    ::sync();
    const int fd = ::open("/proc/sys/vm/drop_caches", O_WRONLY);
    if (fd < 0)
        return false;
    const bool ok = ::write(fd, "3\n", 2) == 2;
    ::close(fd);
    return ok;
}

inline double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

// Times contenders side by side on one root: one untimed run of each (the
// cache warms), rounds warm rounds in which the order is reversed every
// other round (so no side always meets the cache and the machine's other
// load as the same neighbour left them), then one cold round with the caches
// dropped before each run, where allowed. Prints every round; returns the
// warm medians, by contender.
inline std::vector<double> sideBySide(const char *label, const std::vector<Contender> &cs, int rounds)
{
    for (const Contender &c : cs)
        c.run();
    std::vector<std::vector<double>> times(cs.size());
    const auto round = [&](const char *kind, int r, bool reversed, bool cold) {
        std::vector<double> t(cs.size());
        for (size_t k = 0; k < cs.size(); ++k) {
            const size_t i = reversed ? cs.size() - 1 - k : k;
            if (cold)
                dropCaches();
            t[i] = cs[i].run();
        }
        std::printf("%-5s %s round %d:", label, kind, r);
        for (size_t i = 0; i < cs.size(); ++i)
            std::printf("%s %s %.3f s", i ? "," : "", cs[i].name.c_str(), t[i]);
        std::printf("\n");
        std::fflush(stdout);
        return t;
    };
    for (int r = 0; r < rounds; ++r) {
        const std::vector<double> t = round("warm", r + 1, r % 2 == 1, false);
        for (size_t i = 0; i < cs.size(); ++i)
            times[i].push_back(t[i]);
    }
    if (dropCaches())
        round("cold", 1, false, true);
    else
        std::printf("%-5s cold round: skipped, the caches cannot be dropped here\n", label);
    std::vector<double> medians;
    std::printf("%-5s warm medians:", label);
    for (size_t i = 0; i < cs.size(); ++i) {
        medians.push_back(median(times[i]));
        std::printf("%s %s %.3f s", i ? "," : "", cs[i].name.c_str(), medians.back());
    }
    std::printf("\n");
    std::fflush(stdout);
    return medians;
}

// The peers of a disk-usage scan: du, and gdu (a parallel one) where installed.
inline std::vector<Contender> diskUsagePeers(const std::string &root)
{
    return {{"du -x -b -S", [root] { return timeCommand({"du", "-x", "-b", "-S", root}); }},
            {"gdu", [root] { return timeCommand({"gdu", "--non-interactive", "--no-progress", root}); }}};
}

} // namespace bench

// Folder browser: showing a folder of 100,000 files against find(1) and sort(1), warm cache.
//   bench_browse [folder]   (default /tmp/vantor-bench-browse, generated and removed afterwards)
// Each round shows the folder in the browser window (offscreen): listing,
// the grid filled and sorted by name, the totals; then runs
//   find DIR -maxdepth 1 -type f ! -name '.*' -printf '%T@ %A@ %s %f\n' | sort -n > /dev/null
// It also reports the longest time the window's events waited during a fill.
#include "common/EventPump.h"
#include "finders/TfrmBrowse.h"
#include "scan/TResultGrid.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <spawn.h>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char **environ;

namespace {
constexpr int kFiles = 100000;
constexpr int kRounds = 5;

double seconds()
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

void generate(const std::string &folder)
{
    std::printf("generating %d files in %s ...\n", kFiles, folder.c_str());
    std::fflush(stdout);
    std::filesystem::create_directories(folder + "/sub");
    const char *const ext[] = {".txt", ".dat", ".log", ".jpg", ".c", ".h", "", ".tar.gz"};
    unsigned seed = 12345;
    for (int i = 0; i < kFiles; ++i) {
        seed = seed * 1103515245u + 12345u;
        const std::string p = folder + "/file" + std::to_string(seed % 1000003) + "_" + std::to_string(i) + ext[i % 8];
        const int fd = ::open(p.c_str(), O_CREAT | O_WRONLY | O_TRUNC, 0644);
        if (fd < 0)
            continue;
        if (::ftruncate(fd, off_t(seed % 100000)) != 0)
            std::perror("ftruncate");
        ::close(fd);
    }
}

double runPeer(const std::string &folder)
{
    const std::string cmd = "find '" + folder + "' -maxdepth 1 -type f ! -name '.*' -printf '%T@ %A@ %s %f\\n'"
                            + " | sort -n > /dev/null";
    const char *argv[] = {"sh", "-c", cmd.c_str(), nullptr};
    const double t0 = seconds();
    pid_t pid;
    if (posix_spawnp(&pid, "sh", nullptr, nullptr, const_cast<char **>(argv), environ) != 0)
        return -1;
    int status = 0;
    waitpid(pid, &status, 0);
    return seconds() - t0;
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// Shows the folder kRounds times, each against the peer; the median ratio.
double measure(const std::string &folder)
{
    TfrmBrowse w;
    w.setStart(folder + "/sub");
    w.show();
    // The longest wait of the window's events during fills: a zero timer
    // runs whenever events are let through.
    QElapsedTimer gapClock;
    double longestGap = 0;
    bool measuring = false;
    QTimer tick;
    tick.setInterval(0);
    QObject::connect(&tick, &QTimer::timeout, [&] {
        if (measuring)
            longestGap = std::max(longestGap, gapClock.nsecsElapsed() / 1e6);
        gapClock.restart();
    });
    tick.start();

    w.showFolder(folder); // warm the cache
    runPeer(folder);
    std::vector<double> ratios;
    for (int i = 0; i < kRounds; ++i) {
        w.showFolder(folder + "/sub");
        gapClock.restart();
        measuring = true;
        const double t0 = seconds();
        w.showFolder(folder);
        const double shown = seconds() - t0;
        measuring = false;
        const double peer = runPeer(folder);
        ratios.push_back(shown / peer);
        std::printf("round %d: browser %.3f s (%lld files, %s), find|sort %.3f s, ratio %.2f\n", i + 1, shown,
                    static_cast<long long>(w.fileCount()), w.pnlSize->text().toUtf8().constData(), peer,
                    shown / peer);
        std::fflush(stdout);
    }
    std::printf("longest wait of window events during a fill: %.1f ms (pump interval %d ms)\n", longestGap,
                EventPump::defaultInterval());
    w.hide();
    return median(ratios);
}
}

int main(int argc, char **argv)
{
    if (!std::getenv("QT_QPA_PLATFORM"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    // The window stores its placement when it closes: keep the user's settings out of it.
    char config[] = "/tmp/vantor-bench-browse-config-XXXXXX";
    if (!::mkdtemp(config))
        return 1;
    setenv("XDG_CONFIG_HOME", config, 1);
    QApplication app(argc, argv);
    const bool own = argc < 2;
    const std::string folder = own ? "/tmp/vantor-bench-browse" : argv[1];
    if (own)
        generate(folder);
    const double ratio = measure(folder);
    std::printf("ratio browser/(find|sort): %.2f\n", ratio);
    if (own)
        std::filesystem::remove_all(folder);
    std::filesystem::remove_all(config);
    return 0;
}

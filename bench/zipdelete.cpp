// Zip-and-delete of many small files, as the deletion window's zip run does
// it, and Info-ZIP's "zip -q -m -r" (zip, then delete) on the same tree, side
// by side. For our run it prints the time per file of the first and of the
// last 10,000 files: with the directory written only now and then, a file
// costs the same however many entries the archive already holds. The run
// that writes the directory after every add is timed too, for comparison.
//
// bench_zipdelete [FILES [ROOT [sync|nosync [batched]]]]: FILES defaults to
// 100,000, ROOT to /tmp; "nosync" leaves out the sync after each add (on a
// disk whose sync takes milliseconds, 100,000 syncs would hide everything
// else); "batched" leaves out the run with a directory after each add.
#include "settings/AppState.h"
#include "common/EventPump.h"
#include "platform/Drives.h"
#include "platform/Paths.h"
#include "safety/ZipRun.h"

#include <QCoreApplication>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <string>
#include <unistd.h>
#include <vector>

namespace {
using Clock = std::chrono::steady_clock;

double seconds(Clock::time_point a, Clock::time_point b) { return std::chrono::duration<double>(b - a).count(); }

// FILES small text files in folders of 1,000 under root/c.
std::vector<std::string> makeTree(const std::string &root, int files)
{
    std::vector<std::string> paths;
    paths.reserve(size_t(files));
    for (int i = 0; i < files; ++i) {
        const std::string folder = root + "/c/d" + std::to_string(i / 1000);
        if (i % 1000 == 0)
            Paths::makeFolders(folder);
        const std::string p = folder + "/file" + std::to_string(i) + ".tmp";
        const std::string body = "temporary file " + std::to_string(i) + " of the zip-and-delete benchmark\n";
        const int fd = ::open(p.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (fd < 0 || ::write(fd, body.data(), body.size()) != ssize_t(body.size())) {
            std::perror(p.c_str());
            std::exit(1);
        }
        ::close(fd);
        paths.push_back(p);
    }
    return paths;
}

struct Figures {
    double total = 0, first = 0, last = 0; // seconds
    int64_t zipped = 0;
};

Figures ourRun(const std::string &root, int files, int directoryInterval, bool sync)
{
    std::filesystem::remove_all(root + "/c");
    std::filesystem::remove_all(root + "/archives");
    const std::vector<std::string> paths = makeTree(root, files);
    Drives::setMapping({{'C', root + "/c"}});
    AppState::defaultZipPath = QString::fromStdString(root + "/archives");
    const size_t window = std::min<size_t>(10000, paths.size() / 2);
    std::vector<Clock::time_point> at(paths.size() + 1);
    ZipRun run("TempClean", "benchmark", QDateTime(QDate(2027, 3, 1), QTime(9, 5)));
    run.directoryIntervalMs = directoryInterval;
    run.syncEachAdd = sync;
    run.hooks.fileStarted = [&](size_t i, const std::string &) { at[i] = Clock::now(); };
    const Clock::time_point start = Clock::now();
    const ZipRun::Result r = run.run(paths);
    at[paths.size()] = Clock::now();
    Figures f;
    f.total = seconds(start, at[paths.size()]);
    f.first = seconds(at[0], at[window]) / double(window);
    f.last = seconds(at[paths.size() - window], at[paths.size()]) / double(window);
    f.zipped = r.files;
    Drives::setMapping({});
    return f;
}

double infoZipMove(const std::string &root, int files)
{
    std::filesystem::remove_all(root + "/c");
    std::filesystem::remove_all(root + "/archives");
    makeTree(root, files);
    Paths::makeFolders(root + "/archives");
    const std::string cmd = "cd '" + root + "/c' && zip -q -m -r '" + root + "/archives/infozip.zip' .";
    const Clock::time_point start = Clock::now();
    if (std::system(cmd.c_str()) != 0) {
        std::fprintf(stderr, "zip failed\n");
        std::exit(1);
    }
    return seconds(start, Clock::now());
}
}

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int files = argc > 1 ? std::atoi(argv[1]) : 100000;
    const std::string base = argc > 2 ? argv[2] : "/tmp";
    const bool sync = !(argc > 3 && std::strcmp(argv[3], "nosync") == 0);
    const bool compare = !(argc > 4 && std::strcmp(argv[4], "batched") == 0);
    std::string tmpl = base + "/vantor-bench-zipdel-XXXXXX";
    if (files < 2 || !::mkdtemp(tmpl.data())) {
        std::perror("mkdtemp");
        return 1;
    }
    const std::string root = tmpl;
    EventPump::setDefaultInterval(-1);
    std::printf("%d files of about 60 bytes under %s, %s\n", files, base.c_str(),
                sync ? "each add synced" : "no sync after each add");

    const Figures batched = ourRun(root, files, 2000, sync);
    const Figures everyAdd = compare ? ourRun(root, files, 0, sync) : Figures{};
    const double theirs = infoZipMove(root, files);
    std::filesystem::remove_all(root);

    auto line = [&](const char *name, const Figures &f) {
        std::printf("%-36s %8.2f s  %6.3f ms/file first 10,000  %6.3f ms/file last 10,000  last/first %.2f  (%lld zipped)\n",
                    name, f.total, f.first * 1e3, f.last * 1e3, f.last / f.first, static_cast<long long>(f.zipped));
    };
    line("zip run, directory every 2 s:", batched);
    if (compare)
        line("zip run, directory after each add:", everyAdd);
    std::printf("%-36s %8.2f s\n", "info-zip zip -q -m -r:", theirs);
    std::printf("last/first per-file time: %.2f\n", batched.last / batched.first);
    return 0;
}

// Folder removal against its peers, each on a fresh identical copy of a
// generated tree:
//  - delete mode on 100,000 files against `rm -r --one-file-system`;
//  - zip mode (files deleted after zipping, each only after its entry is
//    synced) on 10,000 small files against `zip -r -m -q`.
//   bench_rmtree [ROOT [FILES [ZIPFILES [ROUNDS]]]]
// ROOT defaults to /tmp; the trees go into a new folder
// vantor-bench-rmtree-XXXXXX there (its own, so that runs side by side never
// meet), removed at the end, also after a failure or an interrupt; ROUNDS (default 4) is the number
// of rounds of each comparison.
// Ours is the removal window itself (offscreen), its button clicked, so the
// count and name panels and the event pumping are part of the time.
// Each round generates both copies and syncs (waiting for their writeback)
// before anything is timed; the tool that runs first alternates from round to
// round, because whichever runs first on just-written trees pays for the
// journal and writeback the other then finds done. Every round is printed,
// then the median ratio of each comparison.
// The settings folder is pointed into that folder, so the tallies of the
// runs never reach the user's own settings.
#include "BenchSupport.h"
#include "settings/AppState.h"
#include "common/TModal.h"
#include "safety/TfrmDelDirectory.h"

#include <QApplication>
#include <QPushButton>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {
// The benchmark folder, for the interrupt handler.
char gBase[4096];

// An interrupt replaces the process by `rm -rf` of the benchmark folder, so
// no generated tree is left behind (exec is safe inside a signal handler).
void onSignal(int)
{
    ::execlp("rm", "rm", "-rf", "--one-file-system", gBase, static_cast<char *>(nullptr));
    ::_exit(1);
}

// Removes the benchmark folder however main is left.
struct Cleanup {
    std::string base;
    ~Cleanup()
    {
        std::error_code ec;
        std::filesystem::remove_all(base, ec);
    }
};

// files small files (40 to 1,000 bytes, the same sizes and names for every
// copy) in folders of 100, two levels deep.
void makeTree(const std::string &root, int files)
{
    std::filesystem::create_directories(root);
    std::string data(1000, 'v');
    unsigned seed = 99;
    for (int i = 0; i < files; ++i) {
        const std::string folder = root + "/d" + std::to_string(i / 10000) + "/e" + std::to_string(i / 100);
        if (i % 100 == 0)
            std::filesystem::create_directories(folder);
        seed = seed * 1664525u + 1013904223u;
        const int fd = ::open((folder + "/f" + std::to_string(i) + ".txt").c_str(), O_CREAT | O_WRONLY | O_TRUNC, 0644);
        if (fd < 0)
            continue;
        if (::write(fd, data.data(), 40 + (seed >> 8) % 960) < 0)
            std::perror("write");
        ::close(fd);
    }
}

// Flushes everything written so far and waits for its writeback.
double syncAll(const std::string &base)
{
    const double t0 = bench::now();
    const int fd = ::open(base.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::syncfs(fd);
        ::close(fd);
    }
    ::sync();
    return bench::now() - t0;
}

// One click of the window's delete or zip button on folder; message gets the
// closing message, cpu the time the process used meanwhile.
double ourRun(const std::string &folder, bool zip, const bench::QuietDialogs &quiet, std::string &message,
              double &cpu)
{
    TfrmDelDirectory w;
    w.setFolder(folder);
    w.show();
    if (zip) // the zip options window: OK with what it shows ("delete after zipping" ticked)
        TModal::push([](QDialog *d) { d->accept(); });
    QApplication::processEvents();
    const double c0 = bench::ownCpuSeconds();
    const double t0 = bench::now();
    (zip ? w.btZip : w.btDelete)->click();
    const double secs = bench::now() - t0;
    cpu = bench::ownCpuSeconds() - c0;
    message = quiet.last.toStdString();
    TModal::clear();
    return secs;
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n == 0 ? 0 : n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

// rounds rounds of ours against the peer on fresh copies of files files; the
// first round runs ours first. Returns the median ratio.
double compare(const std::string &base, const char *label, int files, int rounds, bool zip,
               const bench::QuietDialogs &quiet, const std::vector<std::string> &peerArgs, const char *peerName)
{
    std::vector<double> ratios, oursTimes, peerTimes;
    for (int round = 1; round <= rounds; ++round) {
        const bool oursFirst = round % 2 == 1;
        const std::string tag = std::to_string(round);
        const std::string ours = base + "/" + label + "-ours" + tag, peer = base + "/" + label + "-peer" + tag;
        // The copy that runs first is generated first, so each tool meets
        // the same history in its turn.
        makeTree(oursFirst ? ours : peer, files);
        makeTree(oursFirst ? peer : ours, files);
        const double synced = syncAll(base);
        std::vector<std::string> args = peerArgs;
        std::string cwd;
        if (zip) { // zip -r -m -q base/peerN.zip label-peerN, run in base
            args.push_back(base + "/peer" + tag + ".zip");
            args.push_back(std::string(label) + "-peer" + tag);
            cwd = base;
        } else {
            args.push_back(peer);
        }
        std::string message;
        double o = 0, p = 0, oCpu = 0, pCpu = 0, synced2 = 0;
        const auto runOurs = [&] { o = ourRun(ours, zip, quiet, message, oCpu); };
        const auto runPeer = [&] { p = bench::timeCommand(args, cwd, &pCpu); };
        // The second run starts on a synced disk too: the first one's
        // removals are not left for it to write back.
        if (oursFirst)
            runOurs();
        else
            runPeer();
        synced2 = syncAll(base);
        if (oursFirst)
            runPeer();
        else
            runOurs();
        const bool gone = !std::filesystem::exists(ours) && !std::filesystem::exists(peer);
        std::printf("%s round %d (%s first; sync %.1f s, %.1f s between): ours %.3f s (cpu %.2f s), %s %.3f s (cpu "
                    "%.2f s), ratio %.2f%s\n",
                    label, round, oursFirst ? "ours" : "peer", synced, synced2, o, oCpu, peerName, p, pCpu, o / p,
                    gone ? "" : "  A TREE IS LEFT");
        std::printf("        \"%s\"\n", message.c_str());
        std::fflush(stdout);
        ratios.push_back(o / p);
        oursTimes.push_back(o);
        peerTimes.push_back(p);
        std::error_code ec;
        std::filesystem::remove_all(ours, ec);
        std::filesystem::remove_all(peer, ec);
    }
    const double m = median(ratios);
    std::printf("%s: median ours %.3f s, median %s %.3f s, median ratio %.2f over %d rounds\n", label,
                median(oursTimes), peerName, median(peerTimes), m, rounds);
    std::fflush(stdout);
    return m;
}
}

int main(int argc, char **argv)
{
    if (!std::getenv("QT_QPA_PLATFORM"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    std::string base = std::string(argc > 1 ? argv[1] : "/tmp") + "/vantor-bench-rmtree-XXXXXX";
    const int files = argc > 2 ? std::atoi(argv[2]) : 100000;
    const int zipFiles = argc > 3 ? std::atoi(argv[3]) : 10000;
    const int rounds = std::max(1, argc > 4 ? std::atoi(argv[4]) : 4);
    if (base.size() >= sizeof gBase) {
        std::fprintf(stderr, "folder name too long\n");
        return 2;
    }
    std::strcpy(gBase, base.c_str());
    if (!::mkdtemp(gBase)) {
        std::perror(base.c_str());
        return 2;
    }
    base = gBase;
    Cleanup cleanup{base};
    for (int s : {SIGINT, SIGTERM, SIGHUP})
        std::signal(s, onSignal);
    std::filesystem::create_directories(base + "/config");
    setenv("XDG_CONFIG_HOME", (base + "/config").c_str(), 1);
    AppState::defaultZipPath = QString::fromStdString(base + "/archives");
    bench::QuietDialogs quiet;
    setDialogs(&quiet);

    std::printf("delete: %d rounds of 2 x %d files under %s\n", rounds, files, base.c_str());
    std::fflush(stdout);
    const double del = compare(base, "delete", files, rounds, false, quiet, {"rm", "-r", "--one-file-system"},
                               "rm -r --one-file-system");
    std::printf("zip: %d rounds of 2 x %d files\n", rounds, zipFiles);
    std::fflush(stdout);
    const double zip = compare(base, "zip", zipFiles, rounds, true, quiet, {"zip", "-r", "-m", "-q"}, "zip -r -m -q");
    std::printf("ratio rmtree/rm: %.2f\n", del);
    std::printf("ratio rmtree-zip/zip: %.2f\n", zip);
    return 0;
}

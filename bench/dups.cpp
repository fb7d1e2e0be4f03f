// Duplicate scan benchmark: a generated tree of many files in many folders
// with many equal sizes (sparse files, so the tree costs no disk blocks).
// Times, side by side and with a warm cache, the whole "Size only" scan of
// the duplicate window (walk, lines, grouping, grid filled) and the shell
// pipeline that lists every file whose size another file shares, grouped by
// size. Reports the program's peak memory above its idle size per file found.
//
//   bench_dups [--keep] [ROOT [FILES]]
//                                 default /tmp/vantor-bench-dups, 1000000; the
//                                 tree is removed at the end unless --keep (a
//                                 kept tree is used again)
#include "settings/AppState.h"
#include "BenchSupport.h"
#include "DupWindow.h"
#include "finders/TfrmDup.h"
#include "platform/Drives.h"
#include "scan/TDriveCheckList.h"
#include "scan/TResultGrid.h"

#include <QComboBox>
#include <QListWidget>
#include <QRadioButton>
#include <QSpinBox>
#include <memory>

#include <QApplication>
#include <QElapsedTimer>

#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

bool makeDir(const std::string &p) { return ::mkdir(p.c_str(), 0755) == 0 || errno == EEXIST; }

// 20 top folders x 50 folders each, the files spread over them; sizes from
// a few thousand values so that most sizes are shared.
void generate(const std::string &root, long files)
{
    const std::string marker = root + "/.generated-" + std::to_string(files);
    if (::access(marker.c_str(), F_OK) == 0)
        return;
    std::printf("generating %ld files under %s ...\n", files, root.c_str());
    std::fflush(stdout);
    std::string cmd = "rm -rf '" + root + "'";
    if (std::system(cmd.c_str()) != 0)
        std::exit(1);
    makeDir(root);
    const char *exts[] = {".txt", ".jpg", ".dat", ".log", ".c", ".h", ".png", ""};
    std::mt19937_64 rng(42);
    const long folders = 1000;
    long made = 0;
    for (long f = 0; f < folders; ++f) {
        const std::string top = root + "/dir" + std::to_string(f / 50);
        makeDir(top);
        const std::string dir = top + "/sub" + std::to_string(f % 50);
        makeDir(dir);
        const long here = files / folders + (f < files % folders ? 1 : 0);
        for (long i = 0; i < here; ++i, ++made) {
            const std::string name = dir + "/file" + std::to_string(made) + exts[rng() % 8];
            const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            if (fd < 0) {
                std::perror(name.c_str());
                std::exit(1);
            }
            const off_t size = off_t(rng() % 200000) * 7;
            if (size && ::ftruncate(fd, size) != 0)
                std::perror("ftruncate");
            ::close(fd);
        }
    }
    std::ofstream(marker) << files << "\n";
}

// The scan under test: the duplicate window in "Size only" mode over the
// tree mapped as drive D (walk, lines, grouping, grid filled).
class BenchScan {
public:
    struct Result {
        long found = 0;
        long rows = 0;
    };
    explicit BenchScan(std::string root) : root_(std::move(root))
    {
        w_ = bench::dupWindow(root_, 3);
    }
    Result run()
    {
        w_->btScanClick();
        return {found_, long(w_->resultGrid()->rowsFilled())};
    }
    // The files of the tree (every one is found: "Larger or equal to 0 bytes").
    void count()
    {
        const std::string cmd = "find '" + root_ + "' -xdev -type f -not -name '.*' | wc -l";
        if (FILE *p = ::popen(cmd.c_str(), "r")) {
            if (std::fscanf(p, "%ld", &found_) != 1)
                found_ = 0;
            ::pclose(p);
        }
    }

private:
    std::string root_;
    std::unique_ptr<TfrmDup> w_;
    long found_ = 0;
};

double pipeline(const std::string &root)
{
    const std::string cmd = "find '" + root
        + "' -xdev -type f -printf '%s\\t%p\\n' | sort -n -k1,1 | awk -F'\\t' "
          "'$1==p{if(!s)print l;print;s=1;next}{p=$1;l=$0;s=0}' > /dev/null";
    QElapsedTimer t;
    t.start();
    if (std::system(cmd.c_str()) != 0)
        std::fprintf(stderr, "pipeline failed\n");
    return double(t.nsecsElapsed()) / 1e9;
}
}

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    const bool keep = argc > 1 && std::string(argv[1]) == "--keep";
    if (keep) {
        --argc;
        ++argv;
    }
    const std::string root = argc > 1 ? argv[1] : "/tmp/vantor-bench-dups";
    const long files = argc > 2 ? std::atol(argv[2]) : 1000000;
    generate(root, files);

    QApplication app(argc, argv);
    BenchScan scan(root);
    scan.count();
    const long idleKb = bench::statusKb("VmRSS");

    // Warm the cache: one run of each, then the measured runs.
    pipeline(root);
    scan.run();
    const double pipe = pipeline(root);
    bench::resetPeak();
    const long beforeKb = bench::statusKb("VmRSS");
    QElapsedTimer t;
    t.start();
    const BenchScan::Result r = scan.run();
    const double dups = double(t.nsecsElapsed()) / 1e9;
    const long peakKb = bench::statusKb("VmHWM");

    std::printf("files found:         %ld\n", r.found);
    std::printf("grid rows:           %ld\n", r.rows);
    std::printf("pipeline:            %.2f s\n", pipe);
    std::printf("dups (Size only):    %.2f s\n", dups);
    std::printf("idle RSS:            %ld KB (before the run %ld KB)\n", idleKb, beforeKb);
    std::printf("peak RSS:            %ld KB\n", peakKb);
    std::printf("bytes per file:      %.0f\n", r.found ? double(peakKb - idleKb) * 1024.0 / double(r.found) : 0.0);
    std::printf("ratio dups/pipeline: %.2f\n", pipe > 0 ? dups / pipe : 0.0);
    if (!keep) {
        std::error_code ec;
        std::filesystem::remove_all(root, ec);
    }
    return 0;
}

// Scan files: opening exports into folder hogs and the map, and saving one.
//   bench_scanfile [folder to save, default /usr]
// A tree of 1,000,000 entries (1,000 folders of 999 empty files in 100
// groups) is made in a temporary folder and exported by ncdu -o and gdu -o,
// as is the folder to save. Printed, best of three each:
//  - open: reading each export, the folder hogs rows and the map built from
//    them, against ncdu -f FILE -o /dev/null reading the same file; the
//    peak memory the open added, per entry;
//  - save: the folder written as an export, against ncdu -o and gdu -o.
// Ends with the ratios of the 1M-entry ncdu export's open and of the save.
#include "BenchSupport.h"
#include "finders/DirHogScan.h"
#include "finders/FolderMap.h"
#include "finders/ScanFile.h"
#include "scan/Walker.h"

#include <QCoreApplication>
#include <filesystem>

namespace {
std::string quoted(const std::string &s)
{
    std::string out = "'";
    for (char c : s)
        out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

void makeTree(const std::string &root)
{
    for (int g = 0; g < 100; ++g) {
        const std::string group = root + "/g" + std::to_string(g);
        mkdir(group.c_str(), 0755);
        for (int d = 0; d < 10; ++d) {
            const std::string dir = group + "/d" + std::to_string(d);
            mkdir(dir.c_str(), 0755);
            for (int f = 0; f < 999; ++f) {
                const int fd = ::open((dir + "/file-" + std::to_string(f)).c_str(), O_CREAT | O_WRONLY, 0644);
                if (f % 10 == 0 && fd >= 0)
                    (void)!::write(fd, "0123456789", size_t(f % 7 + 1));
                ::close(fd);
            }
        }
    }
}

struct Opened {
    size_t rows = 0, tiles = 0;
    uint64_t entries = 0;
};

// The file read, its rows made and ranked, the map built from them.
Opened open(const std::string &file)
{
    Opened o;
    ScanFile::Loaded l;
    QString error;
    if (ScanFile::read(file, l, error) != ScanFile::Outcome::Done) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return o;
    }
    o.entries = l.entries;
    std::vector<DirHogScan::Totals> own(l.own.size());
    for (size_t i = 0; i < own.size(); ++i) {
        own[i].bytes = l.own[i].asize;
        own[i].files = l.own[i].files;
        own[i].folders = l.own[i].folders;
    }
    Walker walker;
    DirHogScan scan(walker);
    scan.takeFolders(&l.names, own, double(l.totalAsize));
    const std::vector<DirHogScan::Line> lines = scan.finish();
    const std::vector<uint32_t> ranked = DirHogScan::bySize(lines);
    std::vector<DirHogScan::MapFolder> folders;
    folders.reserve(lines.size());
    for (const DirHogScan::Line &line : lines)
        folders.push_back({line.folder, line.bytes, line.files});
    FolderMap map;
    map.build(scan.mapTree(folders), double(l.totalAsize));
    o.rows = ranked.size();
    o.tiles = map.nodes().size();
    return o;
}
}

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const std::string saveRoot = argc > 1 ? argv[1] : "/usr";
    char tmpl[] = "/tmp/bench-scanfile-XXXXXX";
    const std::string tmp = mkdtemp(tmpl);
    const std::string tree = tmp + "/tree";
    mkdir(tree.c_str(), 0755);
    double t0 = bench::now();
    makeTree(tree);
    std::printf("tree of 1M entries made in %.1f s\n", bench::now() - t0);
    const std::string big = tmp + "/big-ncdu.json", bigGdu = tmp + "/big-gdu.json";
    const std::string usr = tmp + "/usr-ncdu.json", usrGdu = tmp + "/usr-gdu.json";
    std::system(("ncdu -o " + quoted(big) + " " + quoted(tree)).c_str());
    std::system(("gdu -n -p -o " + quoted(bigGdu) + " " + quoted(tree) + " >/dev/null").c_str());
    std::system(("ncdu -o " + quoted(usr) + " " + quoted(saveRoot)).c_str());
    std::system(("gdu -n -p -o " + quoted(usrGdu) + " " + quoted(saveRoot) + " >/dev/null").c_str());

    double openRatio = 0;
    for (const std::string &file : {big, bigGdu, usr, usrGdu}) {
        Opened o;
        bench::resetPeak();
        const long before = bench::statusKb("VmRSS");
        const double ms = bench::bestMs(3, [&] { o = open(file); });
        const long peak = bench::statusKb("VmHWM");
        const double ncduMs = bench::shellMs("ncdu -f " + quoted(file) + " -o /dev/null");
        const double perEntry = o.entries ? double(peak - before) * 1024 / double(o.entries) : 0;
        std::printf("open %-16s %8llu entries  %6zu rows  %6zu map folders  %8.0f ms  ncdu -f %8.0f ms  ratio %.2f  "
                    "%.0f bytes/entry\n",
                    std::filesystem::path(file).filename().c_str(), (unsigned long long)o.entries, o.rows, o.tiles,
                    ms, ncduMs, ms / ncduMs, perEntry);
        if (file == big)
            openRatio = ms / ncduMs;
    }

    const std::string out = tmp + "/saved.json";
    QString error;
    const double saveMs = bench::bestMs(3, [&] {
        if (ScanFile::save(saveRoot, out, error) != ScanFile::Outcome::Done)
            std::fprintf(stderr, "%s\n", qPrintable(error));
    });
    const double ncduMs = bench::shellMs("ncdu -o " + quoted(tmp + "/n.json") + " " + quoted(saveRoot));
    const double gduMs = bench::shellMs("gdu -n -p -o " + quoted(tmp + "/g.json") + " " + quoted(saveRoot));
    std::printf("save %s: %.0f ms  ncdu -o %.0f ms  gdu -o %.0f ms\n", saveRoot.c_str(), saveMs, ncduMs, gduMs);
    std::filesystem::remove_all(tmp);
    std::printf("ratio open/ncdu: %.2f\n", openRatio);
    std::printf("ratio save/ncdu: %.2f\n", saveMs / ncduMs);
    std::printf("ratio save/gdu: %.2f\n", saveMs / gduMs);
    return 0;
}

// Folder removal against its peers, each on an identical copy of a generated
// tree:
//  - delete mode on 100,000 files against `rm -r --one-file-system`;
//  - zip mode (files deleted after zipping, each only after its entry is
//    synced) on 10,000 small files against `zip -r -m -q`.
//   bench_rmtree [ROOT [FILES [ZIPFILES [peer-first]]]]   (ROOT defaults to
//   /tmp; its folder vantor-bench-rmtree is removed at the end; "peer-first"
//   runs each peer before our run, so the order of the runs can be told
//   apart from the runs themselves)
// The settings folder is pointed into that folder, so the tallies of the
// runs never reach the user's own settings.
#include "BenchSupport.h"
#include "app/AppState.h"
#include "safety/FolderRemoval.h"

#include <QCoreApplication>

#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {
// files small files (40 to 1,000 bytes) in folders of 100, two levels deep.
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

double ourRun(const std::string &folder, FolderRemoval::Mode mode, int64_t &removed)
{
    FolderRemoval r(folder);
    r.mode = mode;
    r.deleteAfterZip = true;
    const double t0 = bench::now();
    const FolderRemoval::Outcome out = r.run();
    const double secs = bench::now() - t0;
    removed = out.files;
    return secs;
}
}

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const std::string base = std::string(argc > 1 ? argv[1] : "/tmp") + "/vantor-bench-rmtree";
    const int files = argc > 2 ? std::atoi(argv[2]) : 100000;
    const int zipFiles = argc > 3 ? std::atoi(argv[3]) : 10000;
    const bool peerFirst = argc > 4 && std::string(argv[4]) == "peer-first";
    std::error_code ec;
    std::filesystem::remove_all(base, ec);
    std::filesystem::create_directories(base + "/config");
    setenv("XDG_CONFIG_HOME", (base + "/config").c_str(), 1);
    AppState::defaultZipPath = QString::fromStdString(base + "/archives");
    bench::QuietDialogs quiet;
    setDialogs(&quiet);

    std::printf("generating 2 x %d files under %s ...\n", files, base.c_str());
    std::fflush(stdout);
    makeTree(base + "/ours", files);
    makeTree(base + "/peer", files);
    ::sync();
    int64_t removed = 0;
    const auto rmRun = [&] { return bench::timeCommand({"rm", "-r", "--one-file-system", base + "/peer"}); };
    const double rmBefore = peerFirst ? rmRun() : 0;
    const double ours = ourRun(base + "/ours", FolderRemoval::Mode::Delete, removed);
    const std::string message = quiet.last.toStdString();
    const double rm = peerFirst ? rmBefore : rmRun();
    const bool gone = !std::filesystem::exists(base + "/ours") && !std::filesystem::exists(base + "/peer");
    std::printf("delete: ours %.3f s (%lld files removed%s), rm -r --one-file-system %.3f s, ratio %.2f\n", ours,
                static_cast<long long>(removed), gone ? ", both trees gone" : ", A TREE IS LEFT", rm, ours / rm);
    std::printf("        \"%s\"\n", message.c_str());
    std::fflush(stdout);

    std::printf("generating 2 x %d files ...\n", zipFiles);
    std::fflush(stdout);
    makeTree(base + "/zours", zipFiles);
    makeTree(base + "/zpeer", zipFiles);
    ::sync();
    const auto zipRun = [&] { return bench::timeCommand({"zip", "-r", "-m", "-q", base + "/peer.zip", "zpeer"}, base); };
    const double zipBefore = peerFirst ? zipRun() : 0;
    const double zours = ourRun(base + "/zours", FolderRemoval::Mode::Zip, removed);
    const double zpeer = peerFirst ? zipBefore : zipRun();
    std::printf("zip:    ours %.3f s (%lld files zipped and deleted), zip -r -m -q %.3f s, ratio %.2f\n", zours,
                static_cast<long long>(removed), zpeer, zours / zpeer);

    std::filesystem::remove_all(base, ec);
    std::printf("ratio rmtree/rm: %.2f\n", ours / rm);
    std::printf("ratio rmtree-zip/zip: %.2f\n", zours / zpeer);
    return 0;
}

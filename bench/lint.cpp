// Quick clean's empty folders, empty files and broken links against find(1)
// and rmlint, on a generated tree.
//   bench_lint [tree-folder]   (default /tmp/vantor-bench-lint; removed at the end)
// The tree holds 500,000 entries: 20,000 empty files, 10,000 empty folders
// (200 chains 20 deep, the rest single), 5,000 broken links, the rest files
// of a few bytes in 2,000 folders. Side by side in each round: the whole
// quick clean run ("&Start" with the three kinds ticked, the built-in
// patterns selected, up to the sorted grid), `find ROOT -empty` followed by
// `find ROOT -xtype l` (timed together), and `rmlint -T ef,ed,bl -o json
// ROOT` (its list goes to standard output, which is discarded; it runs in
// an empty folder of its own so it never meets an output file). Three warm
// rounds, order alternating, and a cold one where the caches can be
// dropped. The counts are checked against find's; the last line is the
// median warm ratio of quick clean to the fastest peer.
#include "BenchSupport.h"
#include "finders/TfrmClean.h"
#include "platform/Drives.h"
#include "scan/TResultGrid.h"

#include <QApplication>
#include <QCheckBox>
#include <QPushButton>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace {
constexpr int kEntries = 500000, kEmptyFiles = 20000, kEmptyFolders = 10000, kBrokenLinks = 5000;
constexpr int kChains = 200, kChainDepth = 20, kContentFolders = 2000;
constexpr int kRounds = 3;

void touch(const std::string &path, int bytes)
{
    const int fd = ::open(path.c_str(), O_CREAT | O_WRONLY | O_TRUNC, 0644);
    if (fd < 0)
        return;
    if (bytes > 0 && ::write(fd, "vantor-lint", size_t(bytes)) != bytes)
        std::perror("write");
    ::close(fd);
}

void makeTree(const std::string &root)
{
    std::printf("generating %d entries under %s ...\n", kEntries, root.c_str());
    std::fflush(stdout);
    ::mkdir(root.c_str(), 0755);
    std::vector<std::string> folders;
    int entries = 0;
    for (int i = 0; i < kContentFolders; ++i) {
        const std::string top = root + "/top" + std::to_string(i / 100);
        if (i % 100 == 0 && ::mkdir(top.c_str(), 0755) == 0)
            ++entries;
        folders.push_back(top + "/f" + std::to_string(i % 100));
        ::mkdir(folders.back().c_str(), 0755);
        ++entries;
    }
    const auto in = [&](int i) -> const std::string & { return folders[size_t(i) % folders.size()]; };
    for (int c = 0; c < kChains; ++c) {
        std::string p = in(c * 7) + "/chain" + std::to_string(c);
        for (int d = 0; d < kChainDepth; ++d, p += "/level" + std::to_string(d))
            ::mkdir(p.c_str(), 0755);
        entries += kChainDepth;
    }
    for (int i = 0; i < kEmptyFolders - kChains * kChainDepth; ++i, ++entries)
        ::mkdir((in(i * 3) + "/empty" + std::to_string(i)).c_str(), 0755);
    for (int i = 0; i < kEmptyFiles; ++i, ++entries)
        touch(in(i * 5) + "/zero" + std::to_string(i) + ".dat", 0);
    for (int i = 0; i < kBrokenLinks; ++i, ++entries)
        if (::symlink(("../gone/target" + std::to_string(i)).c_str(),
                      (in(i * 11) + "/link" + std::to_string(i)).c_str()) != 0)
            std::perror("symlink");
    for (int i = 0; entries < kEntries; ++i, ++entries)
        touch(in(i) + "/n" + std::to_string(i) + ".dat", 1 + i % 11);
}

// The count of lines a command prints.
long lineCount(const std::string &cmd)
{
    FILE *p = ::popen(cmd.c_str(), "r");
    if (!p)
        return -1;
    long n = 0;
    for (int c; (c = std::fgetc(p)) != EOF;)
        n += c == '\n';
    ::pclose(p);
    return n;
}
}

int main(int argc, char **argv)
{
    if (!std::getenv("QT_QPA_PLATFORM"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    bench::QuietDialogs quiet;
    setDialogs(&quiet);
    const std::string tree = argc > 1 ? argv[1] : "/tmp/vantor-bench-lint";
    std::error_code ec;
    if (std::filesystem::exists(tree, ec)) {
        std::fprintf(stderr, "%s exists: give a folder that does not\n", tree.c_str());
        return 1;
    }
    makeTree(tree);
    // rmlint's own folder: empty, so no output file it could meet exists.
    char work[] = "/tmp/vantor-bench-rmlint-XXXXXX";
    const std::string cwd = ::mkdtemp(work) ? work : "/tmp";

    Drives::setMapping({{'C', tree}});
    TfrmClean w;
    w.show();
    for (QCheckBox *b : {w.cbEmptyFolders, w.cbEmptyFiles, w.cbBrokenLinks})
        b->setChecked(true);
    const std::vector<bench::Contender> cs = {
        {"quick clean", [&w] {
             const double t0 = bench::now();
             w.btScan->click();
             return bench::now() - t0;
         }},
        {"find -empty + find -xtype l",
         [&tree] {
             return bench::timeCommand({"find", tree, "-empty"}) + bench::timeCommand({"find", tree, "-xtype", "l"});
         }},
        {"rmlint -T ef,ed,bl",
         [&tree, &cwd] { return bench::timeCommand({"rmlint", "-T", "ef,ed,bl", "-o", "json", tree}, cwd); }}};
    const std::vector<double> m = bench::sideBySide("lint", cs, kRounds);

    const LintFinder::Counts &c = w.lintFinder().counts();
    const std::string q = "'" + tree + "'";
    const long files = lineCount("find " + q + " -type f -empty"), links = lineCount("find " + q + " -xtype l"),
               leaves = lineCount("find " + q + " -mindepth 1 -type d -empty");
    std::printf("counts: empty files %lld (find %ld), broken links %lld (find %ld), empty folders %lld, of them "
                "holding nothing at all %lld (find -empty %ld; generated %d with the chains)\n",
                (long long)c.emptyFiles, files, (long long)c.brokenLinks, links, (long long)c.emptyFolders,
                (long long)c.leafFolders, leaves, kEmptyFolders);
    const bool equal = c.emptyFiles == files && c.brokenLinks == links && c.leafFolders == leaves
        && c.emptyFolders == kEmptyFolders && w.foundCount() == c.emptyFiles + c.brokenLinks + c.emptyFolders;
    std::printf("counts equal find's: %s\n", equal ? "yes" : "NO");
    std::printf("ratios (warm medians): lint/find %.2f, lint/rmlint %.2f\n", m[0] / m[1], m[0] / m[2]);

    w.close();
    Drives::setMapping({});
    std::filesystem::remove_all(tree, ec);
    std::filesystem::remove_all(cwd, ec);
    std::printf("ratio lint/fastest: %.2f\n", m[0] / std::min(m[1], m[2]));
    return equal ? 0 : 1;
}

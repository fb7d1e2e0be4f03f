// Duplicates by contents benchmark: a generated tree of 200,000 files of
// mixed sizes (most small, a few up to 8 MB; some empty), about 30 % of them
// in groups of equal contents, with groups that differ from another group of
// the same size only in the last byte or only in the first, and some hard
// links. Times the duplicate window's whole "Same contents" search (walk,
// comparison, grid filled) against jdupes -r -q, rmlint (duplicates only,
// its list on standard output, which the timer sends to /dev/null: given an
// output file, rmlint renames an existing one aside first, so naming
// /dev/null would move the device away) and fclones group, three warm rounds with the order
// alternating, then one cold round when the page cache can be dropped.
// Each round times the program three times: its first search with an
// empty store of remembered hashes, a second search with that store warm,
// and one without any store (its folder cannot be made). The store's write,
// which runs after the first search has listed its result, is timed apart.
// Prints each round, the program's peak memory above its idle size per file
// found, and the closing lines (medians of the warm rounds)
//   ratio contents/fastest peer: N   (the first search)
//   bytes per file: N
//   ratio warm store/first: N
//   ratio warm store/jdupes: N
//   ratio cold store/no store: N      (of the warm rounds and four more
//                                     pairs of the two, each pair in the
//                                     other order from the one before)
//   store bytes per remembered file: N
//   groups with the store warm and without one: the same as the first search's
// (the benchmark fails when they differ)
// The store lives in ROOT-cache (XDG_CACHE_HOME is pointed there).
//
//   bench_contents [--keep] [ROOT [FILES]]
//                                     default /tmp/vantor-bench-contents, 200000;
//                                     the tree is removed at the end unless
//                                     --keep (a kept tree is used again)
//   bench_contents [--keep] --phases N [ROOT [FILES]]
//                                     a first search, then N with the store
//                                     warm and N without a store, each timed
//                                     in its phases (walk, comparison, grid
//                                     fill); no peers
//   bench_contents [--keep] --shots DIR [ROOT [FILES]]
//                                     pictures of the window while it compares
//                                     (progress.png) and after (result.png), no timing
//
// fclones is taken from PATH, else built with cargo into
// /tmp/vantor-bench-fclones; when neither works the benchmark says so and
// measures the other peers.
#include "BenchSupport.h"
#include "settings/AppState.h"
#include "finders/ContentSearch.h"
#include "finders/HashStore.h"
#include "finders/RememberedHashes.h"
#include "DupWindow.h"
#include "finders/TfrmDup.h"
#include "platform/Drives.h"
#include "scan/TDriveCheckList.h"
#include "scan/ResultGridModel.h"
#include "scan/TResultGrid.h"

#include <QApplication>
#include <QTimer>
#include <QComboBox>
#include <QListWidget>
#include <QRadioButton>
#include <QSpinBox>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <fstream>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace {

bool makeDir(const std::string &p) { return ::mkdir(p.c_str(), 0755) == 0 || errno == EEXIST; }

// Fast pseudo-random contents: a file's bytes follow from its seed.
void fill(std::string &buf, size_t n, uint64_t seed)
{
    buf.resize(n);
    uint64_t x = seed * 0x9E3779B97F4A7C15ull + 1;
    size_t i = 0;
    for (; i + 8 <= n; i += 8) {
        x ^= x << 13;
        x ^= x >> 7;
        x ^= x << 17;
        std::memcpy(&buf[i], &x, 8);
    }
    for (; i < n; ++i)
        buf[i] = char(x >> (8 * (i % 8)));
}

// Most files small (up to 64 KB), some up to 1 MB, a few up to 8 MB.
size_t pickSize(std::mt19937_64 &rng)
{
    const unsigned r = unsigned(rng() % 10000);
    std::uniform_real_distribution<double> u(0, 1);
    auto logUniform = [&](double lo, double hi) { return size_t(std::exp(std::log(lo) + u(rng) * (std::log(hi) - std::log(lo)))); };
    if (r < 10)
        return logUniform(1 << 20, 8 << 20);
    if (r < 200)
        return logUniform(64 << 10, 1 << 20);
    return logUniform(1, 64 << 10);
}

struct Tree {
    long files = 0;
    long inGroups = 0;
    uint64_t bytes = 0;
};

Tree generate(const std::string &root, long files)
{
    const std::string marker = root + "/.generated-v2-" + std::to_string(files);
    Tree t;
    if (std::ifstream in{marker}; in >> t.files >> t.inGroups >> t.bytes)
        return t;
    std::printf("generating %ld files under %s ...\n", files, root.c_str());
    std::fflush(stdout);
    if (std::system(("rm -rf '" + root + "'").c_str()) != 0)
        std::exit(1);
    makeDir(root);
    std::mt19937_64 rng(31);
    const long folders = 200;
    std::vector<std::string> dirs;
    for (long f = 0; f < folders; ++f) {
        const std::string top = root + "/top" + std::to_string(f / 20);
        makeDir(top);
        dirs.push_back(top + "/dir" + std::to_string(f % 20));
        makeDir(dirs.back());
    }
    std::string buf;
    long made = 0;
    uint64_t seed = 1;
    auto write = [&](const std::string &bytes) {
        const std::string p = dirs[size_t(made % folders)] + "/f" + std::to_string(made) + ".dat";
        const int fd = ::open(p.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (fd < 0 || ::write(fd, bytes.data(), bytes.size()) != ssize_t(bytes.size())) {
            std::perror(p.c_str());
            std::exit(1);
        }
        ::close(fd);
        ++made;
        t.bytes += bytes.size();
        return p;
    };
    while (made < files) {
        const unsigned kind = unsigned(rng() % 100);
        if (kind < 1) { // empty
            write({});
        } else if (kind < 90 || made + 8 > files) { // a file of its own
            fill(buf, pickSize(rng), seed++);
            write(buf);
        } else { // a group of 2 to 4 copies, sometimes a near miss beside it
            fill(buf, std::max<size_t>(pickSize(rng), 2), seed++);
            const int copies = 2 + int(rng() % 3);
            std::string first;
            for (int c = 0; c < copies; ++c) {
                if (c > 0 && rng() % 12 == 0) { // a hard link instead of a copy
                    const std::string p = dirs[size_t(made % folders)] + "/f" + std::to_string(made) + ".dat";
                    if (::link(first.c_str(), p.c_str()) != 0)
                        std::perror("link");
                    ++made;
                } else {
                    const std::string p = write(buf);
                    if (c == 0)
                        first = p;
                }
                ++t.inGroups;
            }
            const unsigned miss = unsigned(rng() % 4);
            if (miss < 2) { // the same group again, differing only in the last or the first byte
                buf[miss == 0 ? buf.size() - 1 : 0] ^= 0x5a;
                write(buf);
                write(buf);
                t.inGroups += 2;
            }
        }
    }
    t.files = made;
    std::ofstream(marker) << t.files << " " << t.inGroups << " " << t.bytes << "\n";
    return t;
}

// The search under test: the duplicate window in "Same contents" mode over
// the tree mapped as drive D (walk, comparison, grid filled).
class Search {
public:
    explicit Search(const std::string &root)
    {
        w_ = bench::dupWindow(root, 7);
    }
    double run()
    {
        const double t0 = bench::now();
        w_->btScanClick();
        return bench::now() - t0;
    }
    long rows() const { return w_->resultGrid()->rowsFilled(); }
    // The listed groups as sorted lists of paths, in sorted order: what two
    // searches of one tree must agree on.
    std::vector<std::vector<std::string>> groups() const
    {
        const ResultGridModel &m = *w_->resultGrid()->gridModel();
        std::map<uint32_t, std::vector<std::string>> byKey;
        for (int row = 1; row <= m.rowsFilled(); ++row)
            byKey[m.fileKey(row)].push_back(m.path(row));
        std::vector<std::vector<std::string>> out;
        for (auto &[key, g] : byKey) {
            std::sort(g.begin(), g.end());
            out.push_back(std::move(g));
        }
        std::sort(out.begin(), out.end());
        return out;
    }
    // One search timed in its phases: the walk (up to the comparison's
    // start), the comparison, and the grid's fill after it.
    struct Phases {
        double walk = 0, compare = 0, fill = 0;
    };
    Phases phases()
    {
        double started = 0, compared = 0;
        w_->searchStarting = [&](ContentSearch &s) {
            started = bench::now();
            s.onFinished = [done = std::move(s.onFinished), &compared] {
                compared = bench::now();
                done();
            };
        };
        const double t0 = bench::now();
        w_->btScanClick();
        const double t1 = bench::now();
        w_->searchStarting = {};
        return {started - t0, compared - started, t1 - compared};
    }
    // One search with a picture of the window a moment into the comparison
    // and one of the result.
    void shots(const QString &dir)
    {
        w_->resize(900, 600);
        w_->searchStarting = [&](ContentSearch &) {
            QTimer::singleShot(150, w_.get(), [this, dir] { w_->grab().save(dir + "/progress.png"); });
        };
        run();
        w_->searchStarting = {};
        w_->grab().save(dir + "/result.png");
    }

private:
    std::unique_ptr<TfrmDup> w_;
};

struct Peer {
    std::string name;
    std::vector<std::string> args;
};

bool dropCaches()
{
    ::sync();
    std::ofstream out("/proc/sys/vm/drop_caches");
    if (!out)
        return false;
    out << "3\n";
    out.flush();
    return bool(out);
}

void warm(const std::string &root)
{
    if (std::system(("find '" + root + "' -type f -print0 | xargs -0 cat > /dev/null").c_str()) != 0)
        std::fprintf(stderr, "warming failed\n");
}

std::string fclonesPath()
{
    if (std::system("command -v fclones > /dev/null 2>&1") == 0)
        return "fclones";
    const std::string local = "/tmp/vantor-bench-fclones/bin/fclones";
    if (::access(local.c_str(), X_OK) == 0)
        return local;
    std::printf("fclones is not installed: building it with cargo ...\n");
    std::fflush(stdout);
    const int rc = std::system("cargo install --quiet --root /tmp/vantor-bench-fclones fclones "
                               "> /tmp/vantor-bench-fclones.log 2>&1");
    if (rc == 0 && ::access(local.c_str(), X_OK) == 0)
        return local;
    std::printf("fclones: could not be built (cargo install failed: the crate registry is not reachable "
                "from this machine, see /tmp/vantor-bench-fclones.log); measured against the other peers\n");
    return {};
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

// Duplicate files jdupes lists (names of one inode once).
long peerListed(const std::string &root)
{
    const std::string cmd = "jdupes -r -q '" + root + "' | grep -v '^$' | xargs -d '\\n' stat -c '%i' | sort -u | wc -l";
    long n = -1;
    if (FILE *p = ::popen(cmd.c_str(), "r")) {
        if (std::fscanf(p, "%ld", &n) != 1)
            n = -1;
        ::pclose(p);
    }
    return n;
}
}

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QString shotDir;
    int phaseRuns = 0;
    bool keep = false;
    if (argc > 1 && std::string(argv[1]) == "--keep") {
        keep = true;
        --argc;
        ++argv;
    }
    if (argc > 2 && std::string(argv[1]) == "--shots") {
        shotDir = QString::fromLocal8Bit(argv[2]);
        argc -= 2;
        argv += 2;
    } else if (argc > 2 && std::string(argv[1]) == "--phases") {
        phaseRuns = std::atoi(argv[2]);
        argc -= 2;
        argv += 2;
    }
    const std::string root = argc > 1 ? argv[1] : "/tmp/vantor-bench-contents";
    const long files = argc > 2 ? std::atol(argv[2]) : 200000;
    // The tree, the store and the scratch folder go at the end, unless kept
    // for the next run (generating 3 GB takes a while).
    struct Cleanup {
        std::string root;
        bool keep;
        ~Cleanup()
        {
            if (!keep && std::system(("rm -rf '" + root + "' '" + root + "-cache' '" + root + "-cwd'").c_str()) != 0)
                std::fprintf(stderr, "could not remove %s\n", root.c_str());
        }
    } cleanup{root, keep};
    const Tree tree = generate(root, files);
    std::printf("tree: %ld files, %ld of them in groups of equal contents, %.2f GB\n", tree.files, tree.inGroups,
                double(tree.bytes) / 1e9);

    const std::string scratch = root + "-cwd";
    makeDir(scratch);
    // The store of remembered hashes in a folder of the benchmark's own.
    const std::string cache = root + "-cache";
    makeDir(cache);
    qputenv("XDG_CACHE_HOME", QByteArray::fromStdString(cache));

    QApplication app(argc, argv);
    bench::QuietDialogs quiet;
    setDialogs(&quiet);
    Search search(root);
    if (!shotDir.isEmpty()) {
        search.shots(shotDir);
        std::printf("pictures in %s\n", qPrintable(shotDir));
        return 0;
    }
    if (phaseRuns > 0) {
        warm(root);
        search.run();
        const auto show = [&](const char *what) {
            const Search::Phases p = search.phases();
            std::printf("%-12s walk %.3f s  compare %.3f s  fill %.3f s  total %.3f s\n", what, p.walk, p.compare,
                        p.fill, p.walk + p.compare + p.fill);
            std::fflush(stdout);
        };
        RememberedHashes::forget();
        show("first");
        RememberedHashes::settle();
        for (int k = 0; k < phaseRuns; ++k)
            show("warm store");
        qputenv("XDG_CACHE_HOME", "/dev/null/no-store");
        for (int k = 0; k < phaseRuns; ++k)
            show("no store");
        return 0;
    }
    const long idleKb = bench::statusKb("VmRSS");
    std::vector<Peer> peers = {{"jdupes", {"jdupes", "-r", "-q", root}},
                               {"rmlint", {"rmlint", "-T", "duplicates", "-o", "fdupes", root}}};
    if (const std::string fc = fclonesPath(); !fc.empty())
        peers.push_back({"fclones", {fc, "group", root}});

    warm(root);
    search.run(); // the program's own code and libraries in memory
    std::printf("threads: %u\n", std::max(1u, std::thread::hardware_concurrency()));
    std::printf("grid rows: %ld (files jdupes lists as duplicates: %ld)\n", search.rows(), peerListed(root));

    std::vector<double> ratios, warmFirst, warmJdupes, coldPlain;
    long peakKb = 0;
    bool sameGroups = true;
    // A search without any store (its folder cannot be made).
    const auto runWithoutStore = [&] {
        qputenv("XDG_CACHE_HOME", "/dev/null/no-store");
        const double secs = search.run();
        qputenv("XDG_CACHE_HOME", QByteArray::fromStdString(cache));
        return secs;
    };
    for (int round = 1; round <= 3; ++round) {
        // Order: contents first, then the peers; the next round the other way round.
        std::vector<std::pair<std::string, double>> times;
        auto ours = [&] {
            RememberedHashes::forget();
            bench::resetPeak();
            times.emplace_back("contents", search.run());
            peakKb = std::max(peakKb, bench::statusKb("VmHWM"));
            const auto first = search.groups();
            // The store is written by a thread of its own after the result
            // is listed; timed apart, before the second search.
            const double w0 = bench::now();
            RememberedHashes::settle();
            times.emplace_back("(store written after it", bench::now() - w0);
            times.emplace_back("warm store", search.run());
            sameGroups = sameGroups && search.groups() == first;
            times.emplace_back("no store", runWithoutStore());
            sameGroups = sameGroups && search.groups() == first;
        };
        auto theirs = [&](const Peer &p) { times.emplace_back(p.name, bench::timeCommand(p.args, scratch)); };
        if (round % 2 == 1) {
            ours();
            for (const Peer &p : peers)
                theirs(p);
        } else {
            for (auto it = peers.rbegin(); it != peers.rend(); ++it)
                theirs(*it);
            ours();
        }
        std::map<std::string, double> t;
        double fastest = 1e30;
        std::printf("warm round %d:", round);
        for (const auto &[name, secs] : times) {
            std::printf(name[0] == '(' ? "  %s %.2f s)" : "  %s %.2f s", name.c_str(), secs);
            t[name] = secs;
            if (name != "contents" && name != "warm store" && name != "no store" && name[0] != '(' && secs > 0)
                fastest = std::min(fastest, secs);
        }
        ratios.push_back(t["contents"] / fastest);
        warmFirst.push_back(t["warm store"] / t["contents"]);
        warmJdupes.push_back(t["warm store"] / t["jdupes"]);
        coldPlain.push_back(t["contents"] / t["no store"]);
        std::printf("  (ratio %.2f)\n", ratios.back());
        std::fflush(stdout);
    }
    // The cold store's cost is a few milliseconds in about two seconds, less
    // than the machine's drift between two searches: more pairs, each in
    // the other order from the one before, for its median.
    std::printf("cold store / no store pairs:");
    for (int pair = 0; pair < 4; ++pair) {
        double cold = 0, plain = 0;
        const auto withStore = [&] {
            RememberedHashes::forget();
            cold = search.run();
            RememberedHashes::settle();
        };
        const auto withoutStore = [&] { plain = runWithoutStore(); };
        if (pair % 2 == 0) {
            withStore();
            withoutStore();
        } else {
            withoutStore();
            withStore();
        }
        coldPlain.push_back(cold / plain);
        std::printf("  %.2f/%.2f s", cold, plain);
        std::fflush(stdout);
    }
    std::printf("\n");
    double storeBytes = 0;
    {
        HashStore store(HashStore::defaultPath());
        const int64_t entries = store.open(RememberedHashes::scheme(), HashStore::today()) ? store.count() : 0;
        store.close();
        struct stat st {};
        if (entries > 0 && ::stat(HashStore::defaultPath().c_str(), &st) == 0)
            storeBytes = double(st.st_size) / double(entries);
        std::printf("remembered files: %ld\n", long(entries));
    }

    // Cold: the page cache dropped before each program.
    if (dropCaches()) {
        std::printf("cold round:");
        RememberedHashes::forget();
        double secs = search.run();
        std::printf("  contents %.2f s", secs);
        std::fflush(stdout);
        for (const Peer &p : peers) {
            dropCaches();
            std::printf("  %s %.2f s", p.name.c_str(), bench::timeCommand(p.args, scratch));
            std::fflush(stdout);
        }
        std::printf("\n");
        warm(root);
    } else {
        std::printf("cold round: not run (the page cache cannot be dropped here: /proc/sys/vm/drop_caches is "
                    "not writable)\n");
    }

    std::printf("idle RSS: %ld KB, peak RSS in the warm rounds: %ld KB\n", idleKb, peakKb);
    std::printf("ratio contents/fastest peer: %.2f\n", median(ratios));
    std::printf("bytes per file: %.0f\n", double(peakKb - idleKb) * 1024.0 / double(tree.files));
    std::printf("ratio warm store/first: %.3f\n", median(warmFirst));
    std::printf("ratio warm store/jdupes: %.3f\n", median(warmJdupes));
    std::printf("ratio cold store/no store: %.3f\n", median(coldPlain));
    std::printf("store bytes per remembered file: %.0f\n", storeBytes);
    std::printf("groups with the store warm and without one: %s\n",
                sameGroups ? "the same as the first search's" : "DIFFERENT from the first search's");
    return sameGroups ? 0 : 1;
}

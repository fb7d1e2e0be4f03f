// Similar pictures benchmark: a generated tree of at least 3,000 pictures,
// made from the raster backgrounds Debian ships (gnome-backgrounds; any
// other wallpaper package under /usr/share/backgrounds is taken too) and
// from generated scenes of a few shared colours, each original with eight
// copies: 50 % and 25 % of its size, JPEG quality 60, 2 % cropped off each
// edge, 10 % brighter, converted (JPEG to PNG or PNG to JPEG), its metadata
// stripped, turned by its EXIF orientation only. Apart from them, scenes
// reframed (the same scene shifted by a quarter of its width) must stay
// apart from their originals, and the many scenes of one colour from each
// other.
//
// Prints the program's recall (of the pairs of copies of one original) and
// precision (of the pairs it groups) at the default level, the same for
// findimagedupes at its default threshold, then three warm rounds of the
// whole search (walk to filled grid) against findimagedupes -R, the order
// alternating, the program's peak memory above its idle size per picture,
// and the closing lines
//   ratio pictures/findimagedupes: N
//   recall: N
//   precision: N
//
//   bench_pictures [ROOT [ORIGINALS]]    default /tmp/vantor-bench-pictures, 340
//   bench_pictures --shots DIR [ROOT [ORIGINALS]]
//                                        pictures of the grid (grid.png) and of the
//                                        pair window on two similar pictures (pair.png)
//
// Needs findimagedupes for the comparison (apt-get install findimagedupes)
// and gnome-backgrounds for photographs (apt-get install gnome-backgrounds);
// without findimagedupes it times the program alone and says so, without
// the backgrounds it uses generated scenes only. Of a background shipped
// in a light and a dark version only the light one is taken: the two are
// one design in two colourings, which the grey hash rightly calls alike.
#include "BenchSupport.h"
#include "DupWindow.h"
#include "../tests/support/PictureScenes.h"

#include "finders/TfrmDupCompare.h"
#include "scan/ResultGridModel.h"
#include "scan/TResultGrid.h"
#include "common/Navigation.h"

#include <QApplication>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QImageReader>
#include <QTimer>

#include <cstdio>
#include <filesystem>
#include <map>
#include <set>
#include <sstream>

namespace {
namespace fs = std::filesystem;

struct Tree {
    std::map<std::string, int> family; // path -> the original it was made from
    long pictures = 0;
};

void put(Tree &t, const std::string &path, const QByteArray &bytes, int family)
{
    fs::create_directories(fs::path(path).parent_path());
    QFile f(QString::fromStdString(path));
    f.open(QIODevice::WriteOnly);
    f.write(bytes);
    t.family[path] = family;
    ++t.pictures;
}

std::vector<QImage> debianPhotos()
{
    std::vector<QImage> out;
    QDirIterator it(QStringLiteral("/usr/share/backgrounds"), {"*.jpg", "*.jpeg", "*.png", "*.webp"}, QDir::Files,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        // Light and dark versions of one background ("-l", "-d") are one
        // design in two colourings: one picture to the hash. The light one is kept.
        if (path.contains(QStringLiteral("-d.")) && QFile::exists(QString(path).replace(QStringLiteral("-d."), QStringLiteral("-l."))))
            continue;
        QImageReader r(path);
        r.setAutoTransform(true);
        QImage img = r.read();
        if (img.isNull() || img.width() < 640)
            continue;
        out.push_back(img.scaledToWidth(std::min(img.width(), 1600), Qt::SmoothTransformation)
                          .convertToFormat(QImage::Format_RGB32));
    }
    return out;
}

Tree generate(const std::string &root, int originals, int *fromDebian)
{
    fs::remove_all(root);
    Tree t;
    const std::vector<QImage> photos = debianPhotos();
    *fromDebian = int(std::min<size_t>(photos.size(), size_t(originals)));
    const int hues[] = {20, 120, 210};
    for (int i = 0; i < originals; ++i) {
        const QImage img = i < *fromDebian ? photos[size_t(i)]
            : (i % 5 == 0 ? scenes::scene(quint32(i), 600, 900, hues[i % 3])
                          : scenes::scene(quint32(i), 900, 600, hues[i % 3]));
        const std::string dir = root + "/album" + std::to_string(i % 23) + "/" + std::to_string(i);
        const bool png = i % 4 == 1;
        QImage tagged = img;
        tagged.setText(QStringLiteral("Comment"), QStringLiteral("camera notes"));
        const QByteArray plain = png ? scenes::encode(img, "PNG") : scenes::encode(img, "JPEG", 92);
        const QByteArray original = png ? scenes::encode(tagged, "PNG") : scenes::withOrientation(plain, 1);
        const std::string ext = png ? ".png" : ".jpg";
        put(t, dir + "/original" + ext, original, i);
        put(t, root + "/exports/half/" + std::to_string(i) + ".jpg",
            scenes::encode(scenes::scaled(img, 0.5), "JPEG", 85), i);
        put(t, root + "/exports/quarter/" + std::to_string(i) + ".jpg",
            scenes::encode(scenes::scaled(img, 0.25), "JPEG", 85), i);
        put(t, dir + "/q60.jpg", scenes::encode(img, "JPEG", 60), i);
        put(t, dir + "/cropped.jpg", scenes::encode(scenes::cropped(img, 0.02), "JPEG", 90), i);
        put(t, root + "/edited/" + std::to_string(i) + "-bright.jpg",
            scenes::encode(scenes::brighter(img, 1.1), "JPEG", 90), i);
        put(t, root + "/converted/" + std::to_string(i) + (png ? ".jpg" : ".png"),
            png ? scenes::encode(img, "JPEG", 90) : scenes::encode(img, "PNG"), i);
        put(t, root + "/stripped/" + std::to_string(i) + ext, plain, i);
        put(t, root + "/phone/" + std::to_string(i) + ".jpg", scenes::turnedByExif(img, 88), i);
        // Every fourth generated scene reframed: another picture.
        if (i >= *fromDebian && i % 4 == 0)
            put(t, root + "/reframed/" + std::to_string(i) + ".jpg",
                scenes::encode(scenes::scene(quint32(i), i % 5 == 0 ? 600 : 900, i % 5 == 0 ? 900 : 600,
                                             hues[i % 3], 0.25),
                               "JPEG", 90),
                originals + i);
    }
    return t;
}

struct Quality {
    double recall = 0, precision = 0;
    long found = 0, truePairs = 0;
};

// Pairs within groups against pairs of copies of one original.
Quality judge(const Tree &t, const std::vector<std::vector<std::string>> &groups)
{
    std::map<int, long> perFamily;
    for (const auto &[p, f] : t.family)
        ++perFamily[f];
    long truth = 0;
    for (const auto &[f, n] : perFamily)
        truth += n * (n - 1) / 2;
    long right = 0, all = 0;
    for (const auto &g : groups)
        for (size_t a = 0; a < g.size(); ++a)
            for (size_t b = a + 1; b < g.size(); ++b) {
                ++all;
                const auto fa = t.family.find(g[a]), fb = t.family.find(g[b]);
                if (fa != t.family.end() && fb != t.family.end() && fa->second == fb->second)
                    ++right;
                else if (all - right <= 5 && std::getenv("BENCH_SHOW_FALSE"))
                    std::printf("  false pair: %s %s\n", g[a].c_str(), g[b].c_str());
            }
    Quality q;
    q.found = all;
    q.truePairs = truth;
    q.recall = truth ? double(right) / double(truth) : 1;
    q.precision = all ? double(right) / double(all) : 1;
    return q;
}

std::vector<std::vector<std::string>> gridGroups(TfrmDup &w)
{
    const ResultGridModel &m = *w.resultGrid()->gridModel();
    std::map<uint32_t, std::vector<std::string>> byKey;
    for (int r = 1; r <= m.rowsFilled(); ++r)
        byKey[m.fileKey(r)].push_back(m.path(r));
    std::vector<std::vector<std::string>> out;
    for (auto &[k, g] : byKey)
        out.push_back(std::move(g));
    return out;
}

// findimagedupes prints each group as one line of paths.
std::vector<std::vector<std::string>> peerGroups(const std::string &file)
{
    std::vector<std::vector<std::string>> out;
    std::ifstream in(file);
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream words(line);
        std::vector<std::string> g;
        for (std::string p; words >> p;)
            g.push_back(p);
        if (g.size() >= 2)
            out.push_back(std::move(g));
    }
    return out;
}

bool havePeer() { return std::system("command -v findimagedupes >/dev/null 2>&1") == 0; }
}

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QString shotDir;
    if (argc > 2 && std::string(argv[1]) == "--shots") {
        shotDir = QString::fromLocal8Bit(argv[2]);
        argc -= 2;
        argv += 2;
    }
    const std::string root = argc > 1 ? argv[1] : "/tmp/vantor-bench-pictures";
    const int originals = argc > 2 ? std::atoi(argv[2]) : 340;
    QApplication app(argc, argv);
    bench::QuietDialogs quiet;
    setDialogs(&quiet);
    int fromDebian = 0;
    const double g0 = bench::now();
    const Tree tree = generate(root, originals, &fromDebian);
    std::printf("tree: %ld pictures from %d originals (%d of them Debian backgrounds), made in %.1f s\n",
                tree.pictures, originals, fromDebian, bench::now() - g0);
    if (fromDebian == 0)
        std::printf("no backgrounds under /usr/share/backgrounds (apt-get install gnome-backgrounds): "
                    "generated scenes only\n");

    auto w = bench::dupWindow(root, 8);
    if (!shotDir.isEmpty()) {
        Navigation::Registration pairs{Navigation::Target::ComparePairs, [](const Navigation::Request &r) {
                                           return TfrmDupCompare::showFor(qobject_cast<TfrmDup *>(r.from));
                                       }};
        w->resize(1000, 640);
        w->btScanClick();
        w->resultGrid()->setSelectedRow(1);
        w->grab().save(shotDir + "/grid.png");
        w->btCompareClick();
        TfrmDupCompare::instance().grab().save(shotDir + "/pair.png");
        std::printf("pictures in %s\n", qPrintable(shotDir));
        fs::remove_all(root);
        return 0;
    }
    const auto search = [&] {
        const double t0 = bench::now();
        w->btScanClick();
        return bench::now() - t0;
    };
    search(); // the program's code, libraries and plugins in memory
    const long idleKb = bench::statusKb("VmRSS");
    const Quality ours = judge(tree, gridGroups(*w));
    std::printf("pictures: %d rows, %ld pairs grouped; recall %.4f, precision %.4f (of %ld true pairs)\n",
                w->resultGrid()->rowsFilled(), ours.found, ours.recall, ours.precision, ours.truePairs);

    const bool peer = havePeer();
    const std::string peerOut = root + "-findimagedupes.txt";
    const std::vector<std::string> peerCmd = {"sh", "-c", "findimagedupes -R '" + root + "' > '" + peerOut + "'"};
    if (!peer)
        std::printf("findimagedupes not found (apt-get install findimagedupes): timing the program alone\n");

    std::vector<double> mine, theirs;
    long peakKb = 0;
    for (int round = 1; round <= 3; ++round) {
        const auto runOurs = [&] {
            bench::resetPeak();
            mine.push_back(search());
            peakKb = std::max(peakKb, bench::statusKb("VmHWM"));
        };
        const auto runTheirs = [&] {
            if (peer)
                theirs.push_back(bench::timeCommand(peerCmd));
        };
        if (round % 2 == 1) {
            runOurs();
            runTheirs();
        } else {
            runTheirs();
            runOurs();
        }
        std::printf("round %d: pictures %.2f s", round, mine.back());
        if (peer)
            std::printf(", findimagedupes %.2f s", theirs.back());
        std::printf("\n");
    }
    if (peer) {
        const Quality q = judge(tree, peerGroups(peerOut));
        std::printf("findimagedupes: %ld pairs grouped; recall %.4f, precision %.4f\n", q.found, q.recall,
                    q.precision);
    }
    std::printf("peak memory above idle: %ld kB, %.0f bytes per picture\n", peakKb - idleKb,
                double(peakKb - idleKb) * 1024.0 / double(tree.pictures));
    if (peer)
        std::printf("ratio pictures/findimagedupes: %.3f\n", bench::median(mine) / bench::median(theirs));
    else
        std::printf("pictures median: %.2f s\n", bench::median(mine));
    std::printf("recall: %.4f\nprecision: %.4f\n", ours.recall, ours.precision);
    fs::remove_all(root);
    fs::remove(peerOut);
    return 0;
}

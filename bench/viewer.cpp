// The file viewer on big files, side by side with the usual command-line
// tools, warm cache. Under /tmp/vantor-bench-viewer (removed at the end):
// a 4 GiB sparse file with a marker at its end, a 1 GiB text file, a
// 100 MB binary and a 1 KB file.
//   - first screen of the 4 GiB file (show and paint), and the memory
//     after opening it against after opening the 1 KB file;
//   - last line and back once counted;
//   - counting the lines of 1 GiB against "wc -l";
//   - a forward search for a text near its end against "grep -F -b -m1";
//   - "Peek at strings" of the 100 MB binary against "strings -a -n 6".
// Each figure is the best of three runs.
#include "BenchSupport.h"
#include "common/TModal.h"
#include "inspect/TViewer.h"
#include "inspect/TfrmView.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPushButton>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <string>
#include <fcntl.h>
#include <unistd.h>

namespace {
const std::string kRoot = "/tmp/vantor-bench-viewer";

long rssKb()
{
    std::ifstream in("/proc/self/status");
    std::string line;
    while (std::getline(in, line))
        if (line.rfind("VmRSS:", 0) == 0)
            return std::atol(line.c_str() + 6);
    return 0;
}

void makeFiles()
{
    std::filesystem::create_directories(kRoot);
    std::ofstream(kRoot + "/small.txt") << std::string(1023, 'a') << '\n';
    {
        const int fd = ::open((kRoot + "/sparse.bin").c_str(), O_CREAT | O_TRUNC | O_WRONLY, 0644);
        if (::ftruncate(fd, off_t(4ull << 30)) != 0)
            std::perror("ftruncate");
        const char marker[] = "\nSPARSE END MARKER\n";
        if (::pwrite(fd, marker, sizeof marker - 1, off_t((4ull << 30) - 100)) < 0)
            std::perror("pwrite");
        ::close(fd);
    }
    std::mt19937 gen(7);
    {
        static const char *words[] = {"disk ", "space ", "manager ", "found ", "duplicate ", "files ", "in ",
                                      "folder ", "temporary ", "archive ", "report ", "size ", "bytes\n"};
        std::string chunk;
        while (chunk.size() < (8u << 20))
            chunk += words[gen() % 13];
        std::ofstream out(kRoot + "/text.txt", std::ios::binary);
        uint64_t written = 0;
        while (written + chunk.size() <= (1ull << 30)) {
            out << chunk;
            written += chunk.size();
        }
        out << "a rare needle near the end\n" << chunk.substr(0, 4096);
    }
    {
        std::string data(100u << 20, '\0');
        for (size_t i = 0; i < data.size(); ++i) {
            const uint32_t r = gen();
            data[i] = (r % 4 == 0) ? char('a' + r % 26) : char(r >> 8);
        }
        std::ofstream(kRoot + "/binary.bin", std::ios::binary) << data;
    }
    // Warm the cache.
    std::system(("cat " + kRoot + "/*.txt " + kRoot + "/*.bin > /dev/null").c_str());
}
}

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    std::printf("making files under %s ...\n", kRoot.c_str());
    makeFiles();

    // First screen and memory.
    long rssSmall = 0, rssBig = 0;
    {
        TfrmView w;
        w.setPath(kRoot + "/small.txt");
        w.show();
        w.grab();
        rssSmall = rssKb();
    }
    double firstScreen = bench::bestMs(3, [&] {
        TfrmView w;
        w.setPath(kRoot + "/sparse.bin");
        w.show();
        w.grab();
        rssBig = std::max(rssBig, rssKb());
    });
    std::printf("4 GiB sparse file, first screen:   %8.1f ms   (target < 100 ms)\n", firstScreen);
    std::printf("memory after opening 1 KB / 4 GiB: %8ld KB / %ld KB, difference %ld KB (target < 10240 KB)\n",
                rssSmall, rssBig, rssBig - rssSmall);
    {
        TfrmView w;
        w.setPath(kRoot + "/sparse.bin");
        w.show();
        QElapsedTimer t;
        t.start();
        w.Viewer1->countLines();
        const double count = double(t.nsecsElapsed()) / 1e6;
        const uint64_t last = *w.Viewer1->lineCount() - 1;
        const double toEnd = bench::bestMs(3, [&] {
            w.Viewer1->goToLine(last);
            w.grab();
        });
        const double back = bench::bestMs(3, [&] {
            w.Viewer1->goToLine(0);
            w.grab();
        });
        std::printf("4 GiB sparse file: counted in %.1f ms; last line %.2f ms, back to the first %.2f ms (\"%s\")\n",
                    count, toEnd, back, qPrintable(w.Viewer1->lineText(last)));
    }

    // Counting lines.
    const std::string text = kRoot + "/text.txt";
    uint64_t lines = 0;
    const double ours = bench::bestMs(3, [&] {
        TViewer v;
        v.openFile(text);
        v.countLines();
        lines = *v.lineCount();
    });
    const double wc = bench::shellMs("wc -l " + text);
    std::printf("count 1 GiB lines:  viewer %8.1f ms (%llu lines)  wc -l %8.1f ms  ratio %.2f (target <= 1.2)\n", ours,
                static_cast<unsigned long long>(lines), wc, ours / wc);

    // Searching forward.
    uint64_t at = 0;
    const double find = bench::bestMs(3, [&] {
        TViewer v;
        v.openFile(text);
        v.find(QStringLiteral("rare needle"), false, true, false);
        at = v.selectionStartOffset();
    });
    const double grep = bench::shellMs("grep -F -b -m1 'rare needle' " + text);
    std::printf("search near the end: viewer %8.1f ms (at %llu)  grep %8.1f ms  ratio %.2f (target <= 1.5)\n", find,
                static_cast<unsigned long long>(at), grep, find / grep);

    // Strings.
    const double peek = bench::bestMs(3, [&] {
        TfrmView w;
        w.setPath(kRoot + "/binary.bin");
        w.show();
        TModal::push([](QDialog *d) { d->reject(); });
        w.btStringsClick();
    });
    const double strings = bench::shellMs("strings -a -n 6 " + kRoot + "/binary.bin");
    std::printf("strings of 100 MB:  viewer %8.1f ms  strings %8.1f ms  ratio %.2f (target <= 1.0)\n", peek, strings,
                peek / strings);

    std::filesystem::remove_all(kRoot);
    return 0;
}

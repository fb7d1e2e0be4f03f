// Times file-mode non-delete tests against a list of 10,000 folders, each
// test in a different folder than the one before (so the remembered last
// folder never answers), half of them listed.
#include "safety/NonDeleteList.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <cstdio>
#include <string>
#include <vector>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int folders = 10000;
    const int tests = 100000;
    std::vector<std::string> listed;
    listed.reserve(folders);
    for (int i = 0; i < folders; ++i)
        listed.push_back("/usr/share/package-" + std::to_string(i) + "/data/");
    NonDeleteList l;
    QElapsedTimer load;
    load.start();
    l.setLists(listed, NonDeleteList::searchPathFolders("/usr/local/bin:/usr/bin:/bin"),
               NonDeleteList::systemFolders());
    std::printf("list of %zu folders set up in %lld ms\n", l.lb1().size(), static_cast<long long>(load.elapsed()));

    std::vector<std::string> paths;
    paths.reserve(tests);
    for (int i = 0; i < tests; ++i) {
        const int n = (i * 7919) % (2 * folders);
        paths.push_back(n < folders ? "/usr/share/package-" + std::to_string(n) + "/data/File.txt"
                                    : "/home/user/Other-" + std::to_string(n) + "/file.txt");
    }
    QElapsedTimer t;
    t.start();
    long hits = 0;
    for (const std::string &p : paths)
        hits += l.test(p, true) != 0;
    const double ms = double(t.nsecsElapsed()) / 1e6;
    std::printf("protected: %ld of %d\n", hits, tests);
    std::printf("ms per 100000 tests: %.1f\n", ms * 100000.0 / tests);
    return hits == tests / 2 ? 0 : 1;
}

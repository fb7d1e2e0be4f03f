// Result grid timings: fill, sort by each key kind, and "Mark all" at
// 100,000 and 1,000,000 rows in file-hog layout.
#include "common/DosTime.h"
#include "common/Text.h"
#include "scan/ResultGridModel.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QLocale>
#include <cstdio>
#include <random>

namespace {
GridLayout hogLayout()
{
    GridLayout l;
    l.columns = {{"Size", 1, 64}, {"Modified", 2, 64}, {"Time", 3, 64},
                 {"Access", 4, 64}, {"FileName", 5, 296}, {"Type", 6, 0}};
    l.markColumn = 4;
    l.sizeColumn = 0;
    l.sortEntries = {{"&Size", 0, SortKind::Number, "bench/size", true},
                     {"&Date", 1, SortKind::Date, "bench/date", true},
                     {"&Access Date", 3, SortKind::Date, "bench/access", true},
                     {"&Name", 4, SortKind::Text, "bench/name", false},
                     {"&Type", 5, SortKind::Text, "bench/type", false}};
    return l;
}

struct Figures {
    double fill = 0, number = 0, date = 0, text = 0, markAll = 0;
    double sorts() const { return number + date + text; }
};

Figures run(int rows)
{
    std::mt19937 rng(12345);
    const char *types[] = {"Text document", "ZIP archive", "JPEG image", "C source code", "Executable"};
    std::vector<QString> lines;
    std::vector<std::string> paths;
    lines.reserve(size_t(rows));
    paths.reserve(size_t(rows));
    for (int i = 0; i < rows; ++i) {
        const int64_t size = int64_t(rng() % 4000000000u);
        const DosDateTime w = DosTime::fromUnix(400000000 + int64_t(rng() % 1400000000u));
        const DosDateTime a = DosTime::fromUnix(400000000 + int64_t(rng() % 1400000000u));
        const std::string path = "/nonexistent/bench/folder" + std::to_string(rng() % 5000) + "/file"
            + std::to_string(rng()) + ".dat";
        lines.push_back(formatThousands(size) + '\t' + dosDateText(w) + '\t' + dosTimeText(w) + '\t'
                        + dosDateText(a) + '\t' + QString::fromStdString(path) + '\t'
                        + QString::fromLatin1(types[rng() % 5]));
        paths.push_back(path);
    }

    Figures f;
    ResultGridModel grid(hogLayout());
    QElapsedTimer t;
    t.start();
    grid.ClearGrid();
    grid.reserve(rows);
    for (int i = 0; i < rows; ++i)
        grid.addToGrid(lines[size_t(i)], paths[size_t(i)]);
    grid.trimRows();
    f.fill = t.nsecsElapsed() / 1e9;

    t.restart();
    grid.sortBy(0);
    f.number = t.nsecsElapsed() / 1e9;
    t.restart();
    grid.sortBy(1);
    f.date = t.nsecsElapsed() / 1e9;
    t.restart();
    grid.sortBy(3);
    f.text = t.nsecsElapsed() / 1e9;
    t.restart();
    grid.markAll();
    f.markAll = t.nsecsElapsed() / 1e9;
    std::printf("%9d rows: fill %.3f s, sort number %.3f s, date %.3f s, text %.3f s, mark all %.3f s\n", rows,
                f.fill, f.number, f.date, f.text, f.markAll);
    return f;
}
}

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    const Figures small = run(100000);
    const Figures large = run(1000000);
    std::printf("ratio 1M/100K fill: %.2f\n", large.fill / small.fill);
    std::printf("ratio 1M/100K sort: %.2f\n", large.sorts() / small.sorts());
    return 0;
}

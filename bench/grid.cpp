// Result grid timings: fill, sort by each key kind, "Mark all" and the
// texts of one screenful at 100,000 and 1,000,000 rows in file-hog layout,
// the rows handed over as typed files as the finders do.
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
    l.columns = {{"Size", 1, 64, CellKind::Size},         {"Modified", 2, 64, CellKind::Modified},
                 {"Time", 3, 64, CellKind::ModifiedTime}, {"Access", 4, 64, CellKind::Accessed},
                 {"FileName", 5, 296, CellKind::Path},    {"Type", 6, 0, CellKind::Type}};
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
    double fill = 0, number = 0, date = 0, text = 0, type = 0, markAll = 0, screen = 0;
    double sorts() const { return number + date + text + type; }
};

Figures run(int rows)
{
    std::mt19937 rng(12345);
    const char *types[] = {"Text document", "ZIP archive", "JPEG image", "C source code", "Executable"};
    struct Input {
        std::string folder, name;
        int64_t size;
        DosDateTime written, accessed;
        int type;
    };
    std::vector<Input> files;
    files.reserve(size_t(rows));
    for (int i = 0; i < rows; ++i) {
        Input in;
        in.size = int64_t(rng() % 4000000000u);
        in.written = DosTime::fromUnix(400000000 + int64_t(rng() % 1400000000u));
        in.accessed = DosTime::fromUnix(400000000 + int64_t(rng() % 1400000000u));
        in.folder = "/nonexistent/bench/folder" + std::to_string(rng() % 5000);
        in.name = "file" + std::to_string(rng()) + ".dat";
        in.type = int(rng() % 5);
        files.push_back(std::move(in));
    }

    Figures f;
    ResultGridModel grid(hogLayout());
    QElapsedTimer t;
    t.start();
    grid.ClearGrid();
    uint32_t typeIds[5];
    for (int i = 0; i < 5; ++i)
        typeIds[i] = grid.typeId(QString::fromLatin1(types[i]));
    grid.reserve(rows);
    for (const Input &in : files) {
        GridFile g;
        g.folder = in.folder;
        g.name = in.name;
        g.size = in.size;
        g.written = in.written;
        g.accessed = in.accessed;
        g.type = typeIds[in.type];
        grid.addFile(g);
    }
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
    grid.sortBy(4);
    f.type = t.nsecsElapsed() / 1e9;
    t.restart();
    grid.markAll();
    f.markAll = t.nsecsElapsed() / 1e9;
    // One screenful of 40 rows in the middle, every cell as the view asks.
    t.restart();
    qsizetype chars = 0;
    for (int r = rows / 2; r < rows / 2 + 40; ++r)
        for (int c = 0; c < grid.columnCount(); ++c)
            chars += grid.data(grid.index(r, c)).toString().size();
    f.screen = t.nsecsElapsed() / 1e9;
    std::printf("%9d rows: fill %.3f s, sort number %.3f s, date %.3f s, name %.3f s, type %.3f s, mark all %.3f s, "
                "screenful %.6f s (%lld characters)\n",
                rows, f.fill, f.number, f.date, f.text, f.type, f.markAll, f.screen, (long long)chars);
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

// Times "Build list of folders" in the list window on this machine's
// installed software, offscreen, with the settings in a temporary folder.
#include "BenchSupport.h"
#include "common/Dialogs.h"
#include "safety/NonDeleteList.h"
#include "safety/TfrmNoDelete.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <cstdio>
#include <cstdlib>


int main(int argc, char **argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    QTemporaryDir config;
    setenv("XDG_CONFIG_HOME", config.path().toLocal8Bit().constData(), 1);
    bench::QuietDialogs yes;
    setDialogs(&yes);

    TfrmNoDelete w;
    w.show();
    QElapsedTimer t;
    t.start();
    w.btBuildClick();
    const qint64 build = t.elapsed();
    t.restart();
    w.accept();
    const qint64 save = t.elapsed();
    t.restart();
    NonDeleteList l;
    l.load();
    const qint64 load = t.elapsed();
    std::printf("folders found: %zu\n", w.folders().size());
    std::printf("ms to build: %lld, to write folders.txt: %lld, to load the lists: %lld\n",
                static_cast<long long>(build), static_cast<long long>(save), static_cast<long long>(load));
    return 0;
}

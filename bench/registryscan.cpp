// Times a scan of this machine's installed software for folders (what
// "Build list of folders" does, without the window).
#include "platform/RegistryView.h"
#include "safety/RegistryFolderScan.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <cstdio>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QElapsedTimer t;
    t.start();
    const RegistryView view;
    RegistryFolderScan scan(view);
    long folders = 0;
    scan.onFolder = [&](const std::string &) { ++folders; };
    scan.run();
    std::printf("folders found: %ld\n", folders);
    std::printf("ms for the scan: %lld\n", static_cast<long long>(t.elapsed()));
    return 0;
}

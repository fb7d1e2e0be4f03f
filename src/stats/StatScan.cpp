#include "stats/StatScan.h"

#include "platform/DirReader.h"

StatScan::StatScan()
{
    walker.returned = FileAttr::Hidden | FileAttr::System;
    walker.enterHidden = true;
    walker.statusPerFolder = false;
    walker.pumpBetweenFolders = false;
    walker.pumpBetweenFiles = true;
    walker.keeping = Walker::Keeping::Append;
    walker.visitor = [this](const FoundFile &f) {
        visit(f);
        return true;
    };
}

void StatScan::visit(const FoundFile &f)
{
    // The status names the folder of every third file; it is rewritten only
    // when that folder changes, which looks the same and costs far less.
    if (tallies.filesProcessed % 3 == 0 && status && f.folder != lastFolder_) {
        lastFolder_ = f.folder;
        status(QStringLiteral("Processing drive ") + entry_ + QStringLiteral(" ... standby : ") + f.folderText);
    }
    tallies.crunchNumbers(f);
}

bool StatScan::scanDrive(const QString &entry)
{
    entry_ = entry;
    lastFolder_.clear();
    walker.reset();
    return walker.scanDrive(entry);
}

void StatScan::scanFolder(const std::string &root, const QString &entry)
{
    entry_ = entry;
    lastFolder_.clear();
    walker.reset();
    walker.scanFolder(root);
}

#include "stats/StatScan.h"

#include "platform/DirReader.h"

// One thread's tallies.
struct StatScan::Worker : WalkWorker {
    explicit Worker(StatTallies t) : tallies(std::move(t)) {}
    bool visit(const FoundFile &f, const WalkPlace &) override
    {
        tallies.crunchNumbers(f);
        return true;
    }
    StatTallies tallies;
};

StatScan::~StatScan() = default;

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
    // The parallel walk reports the folder a worker began last.
    walker.status = [this](const QString &folder) {
        if (status)
            status(QStringLiteral("Processing drive ") + entry_ + QStringLiteral(" ... standby : ") + folder);
    };
}

void StatScan::beginWalk(const QString &entry)
{
    entry_ = entry;
    lastFolder_.clear();
    walker.reset();
    workers_.clear();
    walker.workers.clear();
    for (int i = 0; i < workers; ++i) {
        workers_.push_back(std::make_unique<Worker>(tallies.emptyCopy()));
        walker.workers.push_back(workers_.back().get());
    }
}

void StatScan::endWalk()
{
    for (const auto &w : workers_)
        tallies.add(w->tallies);
    walker.workers.clear();
    workers_.clear();
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
    beginWalk(entry);
    const bool walked = walker.scanDrive(entry);
    endWalk();
    return walked;
}

void StatScan::scanFolder(const std::string &root, const QString &entry)
{
    beginWalk(entry);
    walker.scanFolder(root);
    endWalk();
}

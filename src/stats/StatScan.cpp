#include "stats/StatScan.h"

#include "platform/DirReader.h"

namespace {
bool linked(const FoundFile &f) { return f.links > 1 && !(f.attributes & FileAttr::Folder); }
}

void StatScan::Linked::add(const FoundFile &f)
{
    ledger.add(f, f.folder, f.name, uint32_t(files.size()));
    files.push_back(f);
}

// One thread's tallies.
struct StatScan::Worker : WalkWorker {
    explicit Worker(StatTallies t) : tallies(std::move(t)) {}
    bool visit(const FoundFile &f, const WalkPlace &) override
    {
        if (linked(f))
            links.add(f);
        else
            tallies.crunchNumbers(f);
        return true;
    }
    StatTallies tallies;
    Linked links;
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
    // A file with several names is tallied once, by the name the ledger
    // chose; its other names were looked at but count nowhere.
    std::vector<const LinkLedger *> ledgers{&links_.ledger};
    std::vector<const Linked *> linked{&links_};
    for (const auto &w : workers_) {
        ledgers.push_back(&w->links.ledger);
        linked.push_back(&w->links);
    }
    std::vector<std::pair<uint64_t, uint64_t>> counted;
    int64_t names = 0;
    for (const Linked *l : linked)
        names += int64_t(l->files.size());
    const std::vector<LinkLedger::Owner> owners = LinkLedger::owners(ledgers, counted);
    for (const LinkLedger::Owner &o : owners)
        tallies.crunchNumbers(linked[o.ledger]->files[(*ledgers[o.ledger])[o.index].slot]);
    tallies.filesProcessed += names - int64_t(owners.size());
    links_ = {};
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
    if (linked(f))
        links_.add(f);
    else
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

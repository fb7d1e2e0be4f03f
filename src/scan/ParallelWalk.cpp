#include "scan/ParallelWalk.h"

#include "platform/Drives.h"

#include <algorithm>
#include <cerrno>
#include <chrono>

namespace {
std::atomic<int> g_live{0};
std::atomic<int> g_defaultWorkers{-1};
}

int ParallelWalk::defaultWorkers()
{
    if (const int n = g_defaultWorkers.load(); n >= 0)
        return n;
    return WorkerPool::machineSize();
}

void ParallelWalk::setDefaultWorkers(int n) { g_defaultWorkers.store(n >= 0 ? n : -1); }

int ParallelWalk::liveWorkers() { return g_live.load(); }

ParallelWalk::ParallelWalk(Rules rules, std::vector<WalkWorker *> workers, WorkerPool &pool)
    : rules_(std::move(rules)), workers_(std::move(workers)), pool_(pool)
{
}

ParallelWalk::~ParallelWalk() { stop(); }

void ParallelWalk::start(std::shared_ptr<DirReader> root, const std::string &rootPath)
{
    place_ = root->place();
    mountPoints_.clear();
    mountParents_.clear();
    if (rules_.returned & FileAttr::Folder)
        for (std::string &m : Drives::mountPointsBelow(rootPath)) {
            mountParents_.insert(m.substr(0, std::max<size_t>(m.find_last_of('/'), 1)));
            mountPoints_.insert(std::move(m));
        }
    rootPath_ = rootPath;
    Task t;
    t.open = std::move(root);
    nextFolder_ = 1;
    tasks_.push_back(std::move(t));
    outstanding_ = 1;
    group_ = std::make_unique<WorkerPool::Group>(pool_);
    for (WalkWorker *w : workers_) {
        w->stop_ = &stop_;
        g_live.fetch_add(1);
        group_->submit([this, w](std::stop_token) {
            run(w);
            g_live.fetch_sub(1);
        });
    }
}

bool ParallelWalk::waitFor(int ms)
{
    std::unique_lock<std::mutex> lock(mutex_);
    return done_.wait_for(lock, std::chrono::milliseconds(ms), [this] { return outstanding_ == 0 || stopping(); });
}

void ParallelWalk::stop()
{
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        stop_.store(true);
    }
    work_.notify_all();
    done_.notify_all();
    if (group_)
        group_->requestStop();
    join();
}

void ParallelWalk::join()
{
    if (group_)
        group_->wait();
    group_.reset();
    tasks_.clear(); // what a stop left: the folders they hold are closed
    const std::lock_guard<std::mutex> lock(openMutex_);
    held_.clear();
}

bool ParallelWalk::latestFolder(std::string &out)
{
    const std::lock_guard<std::mutex> lock(latestMutex_);
    if (!latestChanged_)
        return false;
    latestChanged_ = false;
    out = latest_;
    latestWanted_.store(true, std::memory_order_relaxed);
    return true;
}

void ParallelWalk::run(WalkWorker *worker)
{
    Local l;
    l.mask = rules_.mask;
    Task t;
    while (take(t)) {
        if (!walkFolder(t, *worker, l) && !stopping()) {
            // The worker refused: every thread stops.
            stoppedByWorker_.store(true);
            const std::lock_guard<std::mutex> lock(mutex_);
            stop_.store(true);
        }
        t = Task{}; // the parent folder is let go
        bool ended;
        {
            const std::lock_guard<std::mutex> lock(mutex_);
            ended = --outstanding_ == 0 || stopping();
        }
        if (ended) {
            work_.notify_all();
            done_.notify_all();
        }
    }
    worker->walkEnded();
}

bool ParallelWalk::take(Task &t)
{
    std::unique_lock<std::mutex> lock(mutex_);
    work_.wait(lock, [this] { return stopping() || !tasks_.empty() || outstanding_ == 0; });
    if (stopping() || tasks_.empty())
        return false;
    t = std::move(tasks_.back());
    tasks_.pop_back();
    return true;
}

void ParallelWalk::push(std::vector<Task> &children)
{
    const size_t n = children.size();
    if (n == 0)
        return;
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        if (stopping())
            return;
        // Last pushed is taken first: the folder's first subfolder goes first.
        for (size_t i = n; i-- > 0;)
            tasks_.push_back(std::move(children[i]));
        outstanding_ += int64_t(n);
    }
    children.clear();
    if (n == 1)
        work_.notify_one();
    else
        work_.notify_all();
}

bool ParallelWalk::walkFolder(Task &t, WalkWorker &worker, Local &l)
{
    std::shared_ptr<DirReader> dir = std::move(t.open);
    if (!dir) {
        const std::shared_ptr<DirReader> parent = openOf(t.parent);
        if (!parent) {
            notOpened_.fetch_add(1);
            return true;
        }
        dir = std::make_shared<DirReader>(*parent, t.name.c_str());
        if (!dir->isOpen()) {
            if (dir->openError() != ENOENT)
                notOpened_.fetch_add(1); // denied, or no descriptor left: said after the walk
            return true;
        }
        if (!dir->place().sameAs(place_))
            return true; // another mount here
    }
    // The folder's path, made once: the records' folder for its entries.
    FoundFile &f = l.file;
    pathOf(t, l, f.folder);
    const std::string_view path = f.folder;
    if (latestWanted_.load(std::memory_order_relaxed) && latestWanted_.exchange(false)) {
        const std::lock_guard<std::mutex> lock(latestMutex_);
        latest_ = path;
        latestChanged_ = true;
    }
    const WalkPlace at{t.depth, t.top, t.id, t.parentId};

    // The folder is listed once; its subfolders become tasks, then its own
    // entries are looked at.
    l.listed.clear();
    l.names.clear();
    {
        const char *name;
        size_t len;
        DirReader::Kind kind;
        while (dir->next(name, len, kind)) {
            if (stopping())
                return true;
            l.listed.push_back({l.names.size(), uint32_t(len), uint8_t(kind)});
            l.names.insert(l.names.end(), name, name + len + 1);
        }
    }
    const bool slash = path.back() == '/';
    l.children.clear();
    std::shared_ptr<Node> node; // this folder, once it has a subfolder to walk
    int64_t beyond = 0;
    for (Listed &e : l.listed) {
        const char *name = l.names.data() + e.offset;
        if (name[0] == '.' && !rules_.enterHidden)
            continue;
        if (e.kind == uint8_t(DirReader::Kind::Unknown))
            e.kind = uint8_t(dir->kindOf(name));
        if (e.kind != uint8_t(DirReader::Kind::Folder))
            continue; // links and special files are never entered
        if (t.depth >= rules_.maxDepth) {
            ++beyond;
            continue;
        }
        if (!node) {
            node = std::make_shared<Node>();
            node->up = std::move(t.parent);
            node->name = t.name;
            node->inode = dir->ownStat().inode;
            node->depth = t.depth;
            const std::lock_guard<std::mutex> lock(openMutex_);
            node->dir = dir;
            holdOpen(node);
        }
        Task c;
        c.parent = node;
        c.name.assign(name, e.length);
        c.depth = t.depth + 1;
        c.top = t.depth == 0 ? nextTop_++ : t.top;
        c.id = nextFolder_.fetch_add(1, std::memory_order_relaxed);
        c.parentId = t.id;
        l.children.push_back(std::move(c));
    }
    if (beyond > 0)
        beyondDepth_.fetch_add(beyond);
    t.parent.reset();
    push(l.children);

    const size_t pathLength = f.folder.size();
    if (t.depth == 0 && !slash)
        f.folder += '/'; // a root's entries lie in "root/"
    f.folderText.clear();
    const bool all = l.mask.matchesAll();
    const bool wantHidden = rules_.returned & FileAttr::Hidden;
    const bool wantSystem = rules_.returned & FileAttr::System;
    const bool wantFolders = rules_.returned & FileAttr::Folder;
    const bool full = worker.fullRecords;
    // Folders on whose entries another mount lies (a listed folder entry there is looked for among them).
    const bool mountsHere = wantFolders && !mountParents_.empty()
        && mountParents_.contains(std::string_view(f.folder.data(), pathLength));
    f.device = place_.device;
    f.links = 1;
    if (!full) {
        f.path.clear();
        f.name.clear();
        f.written = f.created = 0;
        f.writtenOdd = false;
    }
    EntryStat st;
    for (Listed &e : l.listed) {
        if (stopping())
            return true;
        const char *name = l.names.data() + e.offset;
        const size_t len = e.length;
        if (name[0] == '.' && !wantHidden)
            continue;
        if (e.kind == uint8_t(DirReader::Kind::Unknown))
            e.kind = uint8_t(dir->kindOf(name));
        const auto kind = DirReader::Kind(e.kind);
        if ((kind == DirReader::Kind::Folder && !wantFolders) || (kind == DirReader::Kind::Other && !wantSystem))
            continue;
        if (!all && !l.mask.matches(std::string_view(name, len)))
            continue;
        if (mountsHere && kind == DirReader::Kind::Folder) {
            std::string at(f.folder, 0, pathLength);
            if (!slash)
                at += '/';
            at.append(name, len);
            if (mountPoints_.contains(at))
                continue; // another drive's root
        }
        if (!full && kind == DirReader::Kind::Folder) {
            // A folder as listed, without a look-up: such a worker reads
            // nothing of it but that it is one.
            f.size = 0;
            f.links = 1;
            f.attributes = uint8_t(FileAttr::Folder | (name[0] == '.' ? FileAttr::Hidden : 0));
            f.accessed = 0;
            f.device = place_.device;
            f.modifiedNs = f.changedNs = 0;
            if (!worker.visit(f, at))
                return false;
            continue;
        }
        if (!dir->stat(name, st))
            continue; // deleted since it was listed
        if ((st.folder && !wantFolders) || (!st.folder && !st.regular && !wantSystem))
            continue;
        if (st.folder && !st.place.sameAs(place_))
            continue; // a mount point: another drive's root
        f.size = st.size;
        f.attributes = st.attributes;
        f.accessed = l.accessed(st.accessed);
        // The entry's own file system: an overlay's files lie on its
        // layers' file systems, whatever its folders report.
        f.device = st.place.device;
        f.inode = st.inode;
        f.modifiedNs = st.modifiedNs;
        f.changedNs = st.changedNs;
        f.links = st.folder ? 1u : st.links;
        if (!full && f.links > 1)
            f.name.assign(name, len);
        if (full) {
            f.name.assign(name, len);
            f.written = l.written(st.written);
            f.writtenOdd = f.written != 0 && (st.written & 1) != 0;
            f.created = st.hasCreated ? l.created(st.created) : 0;
            f.path.assign(f.folder, 0, pathLength);
            if (!slash)
                f.path += '/';
            f.path.append(name, len);
        }
        if (!worker.visit(f, at))
            return false;
    }
    f.path.assign(f.folder, 0, pathLength);
    if (t.depth > 0)
        f.name = t.name;
    else if (const size_t lastSlash = rootPath_.find_last_of('/'); lastSlash == std::string::npos)
        f.name = rootPath_;
    else
        f.name.assign(rootPath_, lastSlash + 1);
    f.size = 0;
    f.attributes = FileAttr::Folder;
    f.device = place_.device;
    f.links = 1;
    f.written = f.accessed = f.created = 0;
    f.writtenOdd = false;
    f.modifiedNs = f.changedNs = 0;
    return worker.folderDone(f, at);
}

void ParallelWalk::pathOf(const Task &t, Local &l, std::string &out) const
{
    l.chain.clear();
    for (const Node *n = t.parent.get(); n != nullptr && n->up; n = n->up.get())
        l.chain.push_back(n);
    out.assign(rootPath_);
    if (!t.parent)
        return; // the root
    for (auto it = l.chain.rbegin(); it != l.chain.rend(); ++it) {
        if (out.back() != '/')
            out += '/';
        out += (*it)->name;
    }
    if (out.back() != '/')
        out += '/';
    out += t.name;
}

void ParallelWalk::holdOpen(const std::shared_ptr<Node> &node)
{
    std::erase_if(held_, [](const std::weak_ptr<Node> &w) { return w.expired(); });
    held_.push_back(node);
    while (held_.size() > kOpenFolders) {
        // The shallowest one goes: the walk goes deep first, so it is the
        // one needed last.
        size_t at = held_.size();
        int depth = 0;
        for (size_t i = 0; i < held_.size(); ++i) {
            const std::shared_ptr<Node> n = held_[i].lock();
            if (n && n->depth > 0 && n != node && (at == held_.size() || n->depth < depth)) {
                at = i;
                depth = n->depth;
            }
        }
        if (at == held_.size())
            return;
        if (const std::shared_ptr<Node> n = held_[at].lock())
            n->dir.reset(); // closed once no thread uses it any more
        held_.erase(held_.begin() + std::ptrdiff_t(at));
    }
}

std::shared_ptr<DirReader> ParallelWalk::openOf(const std::shared_ptr<Node> &node)
{
    std::unique_lock<std::mutex> lock(openMutex_);
    if (node->dir)
        return node->dir;
    // The closed folders from node up to the nearest open one.
    std::vector<std::shared_ptr<Node>> chain;
    std::shared_ptr<Node> n = node;
    while (n && !n->dir) {
        chain.push_back(n);
        n = n->up;
    }
    if (!n)
        return {};
    std::shared_ptr<DirReader> at = n->dir;
    lock.unlock();
    for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
        auto d = std::make_shared<DirReader>(*at, (*it)->name.c_str());
        if (!d->isOpen() || !d->place().sameAs(place_) || d->ownStat().inode != (*it)->inode)
            return {}; // gone, or another folder under that name now
        lock.lock();
        if ((*it)->dir) {
            d = (*it)->dir; // another thread was quicker
        } else {
            (*it)->dir = d;
            holdOpen(*it);
        }
        lock.unlock();
        at = std::move(d);
    }
    return at;
}

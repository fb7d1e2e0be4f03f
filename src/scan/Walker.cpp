#include "scan/Walker.h"

#include "common/Dialogs.h"
#include "common/Runs.h"
#include "common/Text.h"
#include "platform/DirReader.h"
#include "platform/Drives.h"
#include "scan/WalkCollector.h"

#include <algorithm>
#include <cerrno>

QString Walker::abortText()
{
    return QStringLiteral("LIST INCOMPLETE ... ABORTED BY USER");
}

QString Walker::fullText()
{
    return QStringLiteral("Due to the file list's size limit ... cannot process any more files.\n\n"
                          "Try increasing the file size limits or file match and re-scan.");
}

void Walker::scanAllDrives(const QStringList &checkedEntries)
{
    if (running())
        return;
    reset();
    for (const QString &entry : checkedEntries) {
        if (scanAborted)
            break;
        scanDrive(entry);
    }
}

bool Walker::scanDrive(const QString &entry)
{
    if (running() || entry.isEmpty())
        return false;
    char letter = char(entry.at(0).toUpper().toLatin1());
    if (letter < 'A' || letter > 'Z')
        letter = 'C';
    if (!Drives::isDriveReady(letter))
        return false; // no disk, share gone: skipped without a word
    const auto drive = Drives::find(letter);
    DirReader probe(drive ? drive->root : std::string());
    if (!probe.isOpen()) {
        if (cannotOpen)
            cannotOpen(entry);
        else
            dialogs().showError(QStringLiteral("Can't open drive ") + entry);
        return false;
    }
    if (driveStarted)
        driveStarted(drive->root);
    scanFolder(drive->root);
    return true;
}

void Walker::scanFolder(const std::string &root)
{
    if (running())
        return;
    auto dir = std::make_shared<DirReader>(root);
    if (!dir->isOpen())
        return;
    DirReader::raiseOpenLimit();
    path_ = root;
    while (path_.size() > 1 && path_.back() == '/')
        path_.pop_back();
    place_ = dir->place();
    {
        const Runs::Token token(QStringLiteral("a drive scan"), [this] { scanAborted = true; });
        pump_ = EventPump(pumpIntervalMs.value_or(EventPump::defaultInterval()), clockMs, pump);
        depth_ = 0;
        if (workers.empty() && visitInParallel && ParallelWalk::defaultWorkers() > 0) {
            visitFromPool(std::move(dir));
        } else if (workers.empty()) {
            levels_.assign(1, Level{std::move(dir), 0, 0, 0});
            openLevels_ = 1;
            walkFolder(0);
            levels_.clear();
            openLevels_ = 0;
        } else {
            walkInParallel(std::move(dir));
        }
        depth_ = -1;
    }
    if (rootDone)
        rootDone();
}

void Walker::walkInParallel(std::shared_ptr<DirReader> root)
{
    ParallelWalk walk({mask, returned, enterHidden, std::min(maxDepth, kMaxDepth)}, workers,
                      pool != nullptr ? *pool : WorkerPool::shared());
    walk.start(std::move(root), path_);
    // This thread only waits: it wakes to let events run and to show the
    // walk's progress, at most every 50 ms unless the pump asks for more.
    const int interval = pumpIntervalMs.value_or(EventPump::defaultInterval());
    const int wait = interval >= 0 && interval < 50 ? std::max(interval, 1) : 50;
    std::string folder;
    while (!scanAborted && !walk.waitFor(wait)) {
        pumpPoint();
        if (status && walk.latestFolder(folder)) {
            if (folder == path_ && folder.back() != '/')
                folder += '/'; // the root is shown as a root
            setStatus(displayName(folder));
        }
    }
    if (scanAborted)
        walk.stop();
    else
        walk.join();
    notOpened_ += walk.foldersNotOpened();
    if (maxDepth >= kMaxDepth)
        tooDeep_ += walk.foldersBeyondDepth();
    if (clearStatusAfterFiles)
        setStatus({});
}

void Walker::visitFromPool(std::shared_ptr<DirReader> root)
{
    std::atomic<int64_t> counter{0};
    const int64_t room = keeping == Keeping::Append ? INT64_MAX : std::max<int64_t>(capacity - kept_, 0);
    std::vector<std::unique_ptr<WalkCollector>> collectors;
    for (int i = 0; i < ParallelWalk::defaultWorkers(); ++i) {
        collectors.push_back(std::make_unique<WalkCollector>(prefilter, counter, room));
        workers.push_back(collectors.back().get());
    }
    walkInParallel(std::move(root));
    workers.clear();
    // The files, a collector at a time, each freed once given. An abort
    // stopped the walk: what was found is still listed, as after an abort
    // of the walker's own walk.
    bool refused = false;
    const bool abortedInWalk = scanAborted;
    for (auto &c : collectors) {
        // An abort while the files are handed over ends it there.
        for (size_t n = 0; n < c->size() && !refused && (abortedInWalk || !scanAborted); ++n) {
            bool folderChanged = false;
            c->fill(n, file_, folderChanged);
            if (folderChanged)
                file_.folderText = displayName(file_.folder);
            refused = visitor && !visitor(file_);
            if ((n & 4095) == 4095)
                pumpPoint();
        }
        c->clear();
    }
    // The collectors' room ran out, or the visitor's.
    if ((refused || counter.load() > room) && !scanAborted)
        collectionFull();
}

void Walker::beginFolder()
{
    file_.folder = path_;
    if (depth_ == 0 && file_.folder.back() != '/')
        file_.folder += '/';
    file_.folderText = displayName(file_.folder);
}

DirReader *Walker::folderAt(int depth)
{
    if (levels_[size_t(depth)].dir)
        return levels_[size_t(depth)].dir.get();
    int open = depth;
    while (!levels_[size_t(open)].dir)
        --open; // the root is never closed
    for (int d = open + 1; d <= depth; ++d) {
        Level &l = levels_[size_t(d)];
        const std::string name(names_.data() + l.nameOffset, l.nameLength);
        auto dir = std::make_shared<DirReader>(*levels_[size_t(d - 1)].dir, name.c_str());
        if (!dir->isOpen() || !dir->place().sameAs(place_) || dir->ownStat().inode != l.inode)
            return nullptr; // gone, or another folder under that name now
        l.dir = std::move(dir);
        ++openLevels_;
        limitOpenLevels();
    }
    return levels_[size_t(depth)].dir.get();
}

void Walker::limitOpenLevels()
{
    // The walk goes deep first: the shallowest folder is the one needed last.
    for (size_t d = 1; openLevels_ > kOpenFolders && d < levels_.size(); ++d)
        if (levels_[d].dir) {
            levels_[d].dir.reset();
            --openLevels_;
        }
}

void Walker::walkFolder(int depth)
{
    depth_ = depth;
    if (pumpAtFolderStart)
        pumpPoint();
    if (scanAborted) {
        if (clearStatusAfterFiles)
            setStatus({});
        return;
    }
    if (statusPerFolder) {
        beginFolder();
        setStatus(file_.folderText);
    }

    // The folder is listed once; its subfolders are walked from the list,
    // then its files visited from it.
    const size_t first = listed_.size(), firstByte = names_.size(), firstStat = stats_.size();
    {
        DirReader &dir = *levels_[size_t(depth)].dir; // just opened: the deepest level is never closed
        const char *name;
        size_t len;
        DirReader::Kind kind;
        while (dir.next(name, len, kind)) {
            listed_.push_back({names_.size(), uint32_t(len), -1, uint8_t(kind)});
            names_.insert(names_.end(), name, name + len + 1);
        }
    }
    const size_t end = listed_.size();
    const int deepest = std::min(maxDepth, kMaxDepth);

    bool walkedChild = false, lost = false;
    for (size_t i = first; i < end; ++i) {
        if (i != first && pumpBetweenFolders)
            pumpPoint();
        if (scanAborted)
            break;
        Listed &e = listed_[i];
        const char *name = names_.data() + e.offset; // valid until the subfolder's walk lists more
        if (name[0] == '.' && !enterHidden)
            continue; // hidden folders are not entered unless asked for
        if (e.kind != uint8_t(DirReader::Kind::Folder) && e.kind != uint8_t(DirReader::Kind::Unknown))
            continue; // links and special files are "system": never entered
        DirReader *dir = folderAt(depth);
        if (!dir) {
            lost = true;
            break;
        }
        if (e.kind == uint8_t(DirReader::Kind::Unknown))
            e.kind = uint8_t(dir->kindOf(name));
        if (e.kind != uint8_t(DirReader::Kind::Folder))
            continue;
        if (depth >= deepest) {
            if (maxDepth >= kMaxDepth)
                ++tooDeep_;
            continue;
        }
        auto child = std::make_shared<DirReader>(*dir, name);
        if (!child->isOpen()) {
            if (child->openError() != ENOENT)
                ++notOpened_; // denied, or no descriptor left
            continue;
        }
        if (!child->place().sameAs(place_)) {
            e.stat = kOtherMount; // another mount here (a bind of this file system too): no entry of this walk
            continue;
        }
        if (returned & FileAttr::Folder) {
            e.stat = int32_t(stats_.size());
            stats_.push_back(child->ownStat());
        }
        const uint64_t inode = child->ownStat().inode;
        levels_.push_back(Level{std::move(child), e.offset, e.length, inode});
        ++openLevels_;
        limitOpenLevels();
        const size_t old = path_.size();
        if (path_.back() != '/')
            path_ += '/';
        path_.append(name, e.length);
        walkFolder(depth + 1);
        walkedChild = true;
        path_.resize(old);
        Level &below = levels_.back();
        if (!levels_[size_t(depth)].dir && below.dir) {
            // This folder was closed while the walk was deep below it: it
            // is opened again through ".." of the subfolder, if that is
            // still the same folder (else from above, when it is needed).
            auto up = std::make_shared<DirReader>(*below.dir, "..");
            if (up->isOpen() && up->place().sameAs(place_) && up->ownStat().inode == levels_[size_t(depth)].inode) {
                levels_[size_t(depth)].dir = std::move(up);
                ++openLevels_;
            }
        }
        if (levels_.back().dir)
            --openLevels_;
        levels_.pop_back();
        depth_ = depth;
    }
    // A folder without walked subfolders still shows itself: its record and
    // status are as its walk began.
    DirReader *dir = lost || scanAborted ? nullptr : folderAt(depth);
    if (!dir && !scanAborted)
        ++notOpened_; // what was left of it could not be reached again
    scanFiles(dir, first, statusPerFolder && !walkedChild);
    listed_.resize(first);
    names_.resize(firstByte);
    stats_.resize(firstStat);
}

void Walker::scanFiles(DirReader *dir, size_t first, bool folderShown)
{
    if (scanAborted) {
        if (clearStatusAfterFiles)
            setStatus({});
        return;
    }
    if (!folderShown) {
        beginFolder();
        if (statusPerFolder)
            setStatus(file_.folderText);
    }
    const WildPattern m = mask;
    const bool all = m.matchesAll();
    const bool wantHidden = returned & FileAttr::Hidden;
    const bool wantSystem = returned & FileAttr::System;
    const bool wantFolders = returned & FileAttr::Folder;

    // Every file's path is the folder's path, a "/" and its name.
    std::string prefix = path_;
    if (prefix.back() != '/')
        prefix += '/';
    EntryStat st;
    int64_t visited = 0;
    for (size_t i = first; dir != nullptr && i < listed_.size(); ++i) {
        if (scanAborted)
            break;
        Listed &e = listed_[i];
        const char *name = names_.data() + e.offset;
        const size_t len = e.length;
        if (name[0] == '.' && !wantHidden)
            continue;
        if (e.kind == uint8_t(DirReader::Kind::Unknown))
            e.kind = uint8_t(dir->kindOf(name));
        const auto kind = DirReader::Kind(e.kind);
        if ((kind == DirReader::Kind::Folder && !wantFolders) || (kind == DirReader::Kind::Other && !wantSystem))
            continue;
        if (!all && !m.matches(std::string_view(name, len)))
            continue;
        if (e.stat == kOtherMount)
            continue;
        if (e.stat >= 0)
            st = stats_[size_t(e.stat)];
        else if (!dir->stat(name, st))
            continue; // deleted since it was listed
        if ((st.folder && !wantFolders) || (!st.folder && !st.regular && !wantSystem))
            continue;
        if (st.folder && !st.place.sameAs(place_))
            continue; // a mount point (not entered at this depth): another drive's root
        file_.name.assign(name, len);
        file_.size = st.size;
        // The entry's own file system: an overlay's files lie on its
        // layers' file systems, whatever its folders report.
        file_.device = st.place.device;
        file_.inode = st.inode;
        file_.modifiedNs = st.modifiedNs;
        file_.changedNs = st.changedNs;
        file_.links = st.folder ? 1u : st.links;
        file_.attributes = st.attributes;
        file_.written = written_(st.written);
        file_.writtenOdd = file_.written != 0 && (st.written & 1) != 0;
        file_.accessed = accessed_(st.accessed);
        file_.created = st.hasCreated ? created_(st.created) : 0;
        file_.path.assign(prefix);
        file_.path.append(name, len);
        if (visitor && (!prefilter || prefilter(file_)) && !visitor(file_))
            collectionFull();
        if (++visited > 1 && pumpBetweenFiles)
            pumpPoint();
    }
    if (clearStatusAfterFiles)
        setStatus({});
    if (folderDone) {
        beginFolder();
        file_.path = path_;
        const auto slash = path_.find_last_of('/');
        file_.name = slash == std::string::npos ? path_ : path_.substr(slash + 1);
        file_.size = 0;
        file_.attributes = FileAttr::Folder;
        file_.written = file_.accessed = file_.created = 0;
        file_.writtenOdd = false;
        file_.modifiedNs = file_.changedNs = 0;
        folderDone(file_);
    }
}

void Walker::reset()
{
    scanAborted = false;
    kept_ = 0;
    notOpened_ = tooDeep_ = 0;
    fullShown_ = false;
}

void Walker::abortByUser(bool plainBox)
{
    scanAborted = true;
    if (plainBox)
        dialogs().showMessage(abortText());
    else
        dialogs().showWarning(abortText());
}

bool Walker::keep()
{
    if (keeping == Keeping::Append)
        return true;
    if (kept_ >= capacity)
        return false;
    ++kept_;
    return true;
}

void Walker::collectionFull()
{
    if (keeping == Keeping::Append)
        return;
    scanAborted = true;
    if (!fullShown_) {
        fullShown_ = true;
        dialogs().showWarning(fullText());
    }
}

void Walker::setStatus(const QString &text)
{
    if (status)
        status(text);
}

QString Walker::skippedText(int64_t notOpened, int64_t tooDeep)
{
    QString text;
    if (notOpened > 0)
        text += notOpened == 1 ? QStringLiteral("1 folder could not be opened and was not searched.")
                               : QStringLiteral("%1 folders could not be opened and were not searched.")
                                     .arg(formatThousands(notOpened));
    if (tooDeep > 0) {
        if (!text.isEmpty())
            text += QLatin1Char(' ');
        const QString levels = formatThousands(kMaxDepth);
        text += tooDeep == 1
            ? QStringLiteral("1 folder deeper than %1 levels was not searched.").arg(levels)
            : QStringLiteral("%1 folders deeper than %2 levels were not searched.").arg(formatThousands(tooDeep), levels);
    }
    return text;
}

QString Walker::skippedText() const { return skippedText(notOpened_, tooDeep_); }

#include "safety/FoldersFile.h"

#include "common/Text.h"
#include "platform/AtomicFile.h"
#include "platform/PathInfo.h"
#include "platform/Paths.h"

#include <QString>
#include <QStringDecoder>
#include <algorithm>

std::string FoldersFile::path() { return Paths::settingsFile("folders.txt"); }

std::string FoldersFile::withSlash(const std::string &folder)
{
    if (!folder.empty() && folder.back() == '/')
        return folder;
    return folder + "/";
}

FoldersFile::State FoldersFile::load(std::vector<std::string> &folders, const std::string &file)
{
    folders.clear();
    std::vector<std::string> lines;
    switch (AtomicFile::loadLines(file, lines)) {
    case AtomicFile::ReadResult::Missing: return State::Missing;
    case AtomicFile::ReadResult::Failed: return State::Unreadable;
    case AtomicFile::ReadResult::Read: break;
    }
    for (const std::string &line : lines) {
        if (!line.empty())
            folders.push_back(withSlash(line));
    }
    return State::Read;
}

bool FoldersFile::read(std::vector<std::string> &folders, const std::string &file)
{
    return load(folders, file) == State::Read;
}

QString FoldersFile::unreadableText(const std::string &file)
{
    const std::string why = AtomicFile::refusalOf(file);
    return QStringLiteral("Unable to read ") + displayName(file)
        + (why.empty() ? QString() : QStringLiteral(": ") + QString::fromStdString(why));
}

bool FoldersFile::write(std::vector<std::string> folders, const std::string &file)
{
    AtomicFile::Lock lock(file);
    if (!lock.held())
        return false;
    // A list that exists but cannot be read is never replaced or removed:
    // its entries would be lost.
    std::string old;
    if (AtomicFile::load(file, old) == AtomicFile::ReadResult::Failed)
        return false;
    if (folders.empty())
        return PathInfo::removeOwnFile(file);
    sortNoCase(folders);
    std::string content;
    for (const std::string &f : folders)
        content += f + "\n";
    return AtomicFile::write(file, content);
}

std::string FoldersFile::caseKey(const std::string &path)
{
    std::string key;
    key.reserve(path.size());
    bool ascii = true;
    for (const char c : path) {
        if ((unsigned char)c >= 0x80)
            ascii = false;
        if (c == '/' && !key.empty() && key.back() == '/')
            continue;
        key.push_back(c >= 'a' && c <= 'z' ? char(c - 'a' + 'A') : c);
    }
    if (ascii)
        return key;
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = utf8(QByteArrayView(key.data(), qsizetype(key.size())));
    if (utf8.hasError())
        return key;
    return text.toUpper().toStdString();
}

void FoldersFile::sortNoCase(std::vector<std::string> &folders)
{
    std::vector<std::pair<std::string, std::string>> keyed;
    keyed.reserve(folders.size());
    for (std::string &f : folders)
        keyed.emplace_back(caseKey(f), std::move(f));
    std::sort(keyed.begin(), keyed.end());
    for (size_t i = 0; i < keyed.size(); ++i)
        folders[i] = std::move(keyed[i].second);
}

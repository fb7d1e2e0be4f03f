#include "finders/BrowseList.h"

#include "common/DosTime.h"
#include "common/SizeSum.h"
#include "finders/TempPatterns.h"
#include "platform/DirReader.h"
#include "platform/FileTypes.h"
#include "scan/ResultGridModel.h"
#include "scan/WildMatch.h"

#include <unordered_map>

GridLayout BrowseList::gridLayout()
{
    GridLayout l;
    l.columns = {{QStringLiteral("Modified"), 1, 69, CellKind::Modified},
                 {QStringLiteral("Time"), 2, 66, CellKind::ModifiedTime},
                 {QStringLiteral("Access"), 3, 66, CellKind::Accessed},
                 {QStringLiteral("Size"), 4, 61, CellKind::Size},
                 {QStringLiteral("Filename"), 5, 0, CellKind::Name},
                 {QStringLiteral("Type"), 6, 0, CellKind::Type}};
    l.markColumn = 4;
    l.sizeColumn = 3;
    l.lastColumnLess = -1;
    l.restColumns = 2;
    l.textInset = 3;
    l.hint = QStringLiteral("Double click to mark, right click for options");
    l.statusFormat = QStringLiteral("Marked for deletion: %d files %s bytes");
    l.sortEntries = {{QStringLiteral("Name"), 4, SortKind::Text, QStringLiteral("Browse/Name"), false},
                     {QStringLiteral("Modified &Date"), 0, SortKind::Date, QStringLiteral("Browse/Date"), true},
                     {QStringLiteral("&Access Date"), 2, SortKind::Date, QStringLiteral("Browse/Access"), true},
                     {QStringLiteral("&Size"), 3, SortKind::Number, QStringLiteral("Browse/Size"), true},
                     {QStringLiteral("&Type"), 5, SortKind::Text, QStringLiteral("Browse/Type"), false}};
    l.checkedAtClear = 0;
    l.flipBeforeSort = true;
    return l;
}

BrowseList::Filled BrowseList::fill(ResultGridModel &model, const std::string &folder, const WildPattern &mask,
                                    const std::function<bool()> &keepGoing)
{
    Filled out;
    DirReader dir(folder);
    if (!dir.isOpen())
        return out;
    out.opened = true;
    // A drive's root keeps its "/", any other folder is joined with one.
    std::string shown = folder;
    while (shown.size() > 1 && shown.back() == '/')
        shown.pop_back();
    DosTime::Converter toDos;
    // Type numbers by extension: the type registry is asked once per extension.
    std::unordered_map<std::string, uint32_t> types;
    const bool all = mask.matchesAll();
    const char *name = nullptr;
    size_t length = 0;
    DirReader::Kind kind;
    EntryStat st;
    GridFile g;
    g.folder = shown;
    while (dir.next(name, length, kind)) {
        if (name[0] == '.' || kind == DirReader::Kind::Folder || kind == DirReader::Kind::Other)
            continue;
        const std::string_view n(name, length);
        if (!all && !mask.matches(n))
            continue;
        // The look-up also tells what an entry without a listed kind is.
        if (!dir.stat(name, st) || !st.regular)
            continue;
        const std::string_view ext = TempPatterns::extensionOf(n);
        auto t = types.find(std::string(ext));
        if (t == types.end()) {
            const uint32_t id = ext.empty() ? 0
                : model.typeId(fileTypeName(QString::fromUtf8(ext.data(), qsizetype(ext.size()))));
            t = types.emplace(std::string(ext), id).first;
        }
        g.name = n;
        g.size = st.size;
        g.written = toDos(st.written);
        g.writtenOdd = g.written != 0 && (st.written & 1) != 0;
        g.accessed = toDos(st.accessed);
        g.created = st.hasCreated ? toDos(st.created) : 0;
        g.attributes = st.attributes;
        g.type = t->second;
        model.addFile(g);
        ++out.files;
        addSize(out.bytes, st.size);
        if (keepGoing && !keepGoing())
            return out;
    }
    out.complete = true;
    return out;
}

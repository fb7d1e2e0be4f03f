#include "platform/FileTypes.h"

#include <QHash>
#include <QMimeDatabase>

namespace {
struct Entry {
    QString name;
    QString comment;
};

struct Registry {
    bool loaded = false;
    QHash<QString, Entry> exact; // extension with dot, as registered
    QHash<QString, Entry> folded; // lower-cased extension
    QStringList extensions;
    QHash<QString, QString> cache; // fileTypeName results

    void add(const QString &ext, const Entry &e)
    {
        if (!exact.contains(ext)) {
            exact.insert(ext, e);
            extensions << ext;
        }
        // A case-insensitive lookup finds the lower-case extension's own type
        // when it has one, else the first spelling registered.
        const QString low = ext.toLower();
        if (ext == low || !folded.contains(low))
            folded.insert(low, e);
    }

    void load()
    {
        if (loaded)
            return;
        loaded = true;
        // Several types may claim one extension (.html, .ts, .m). The type
        // named is the one the MIME database itself gives a file of that
        // extension (glob weight, then its own order), so it is the same in
        // every run; the database's type list comes in no stable order.
        QMimeDatabase db;
        QStringList exts;
        for (const QMimeType &t : db.allMimeTypes()) {
            for (const QString &glob : t.globPatterns()) {
                if (!glob.startsWith(QLatin1String("*.")) || glob.size() < 3)
                    continue;
                const QString ext = glob.mid(1);
                if (ext.contains(QLatin1Char('*')) || ext.contains(QLatin1Char('?')) || ext.contains(QLatin1Char('[')))
                    continue;
                exts << ext;
            }
        }
        exts.sort();
        exts.removeDuplicates();
        for (const QString &ext : std::as_const(exts)) {
            const QMimeType t = db.mimeTypeForFile(QLatin1Char('x') + ext, QMimeDatabase::MatchExtension);
            if (t.isValid() && !t.isDefault())
                add(ext, {t.name(), t.comment()});
        }
    }
};

Registry &registry()
{
    static Registry r;
    r.load();
    return r;
}
}

QString FileTypes::fileTypeName(const QString &ext)
{
    if (ext.isEmpty())
        return {};
    if (ext == QLatin1String("*."))
        return QStringLiteral("No extension");
    Registry &r = registry();
    const auto hit = r.cache.constFind(ext);
    if (hit != r.cache.constEnd())
        return *hit;
    QString result;
    const Entry *found = nullptr;
    if (auto e = r.exact.constFind(ext); e != r.exact.constEnd())
        found = &*e;
    else if (auto f = r.folded.constFind(ext.toLower()); f != r.folded.constEnd())
        found = &*f;
    if (found) {
        result = found->comment.isEmpty() ? found->name : found->comment;
    } else if (!ext.contains(QLatin1Char('*'))) {
        QString bare = ext.startsWith(QLatin1Char('.')) ? ext.mid(1) : ext;
        // A name ending in "." has an empty extension: a plain "File".
        result = bare.isEmpty() ? QStringLiteral("File") : bare.toUpper() + QStringLiteral(" File");
    }
    r.cache.insert(ext, result);
    return result;
}

QStringList FileTypes::registeredExtensions()
{
    return registry().extensions;
}

void FileTypes::setTableForTests(const QList<QPair<QString, QString>> &table)
{
    Registry &r = registry();
    r = Registry();
    if (table.isEmpty()) {
        r.load();
        return;
    }
    r.loaded = true;
    for (const auto &p : table) {
        QString name = QStringLiteral("application/x-") + p.first.mid(1);
        r.add(p.first, {name, p.second});
    }
}

#pragma once
#include <QString>
#include <QStringList>

// The system's file-type registry: shared-mime-info through QMimeDatabase.
// An extension's class is the MIME type name, its description the type's
// comment; registered extensions are the simple "*.ext" globs.
namespace FileTypes {
// The description of an extension given with its dot (".zip"): the type's
// comment, else its name; else, when the extension holds no "*", the
// extension without its dot in upper case followed by " File" (".xyz" gives
// "XYZ File"; "." alone gives "File"). Empty for an empty extension; "*."
// gives "No extension".
// Cached per extension.
QString fileTypeName(const QString &ext);
// Every registered extension with its dot (".txt", ".tar.gz"), each once,
// in no particular order.
QStringList registeredExtensions();
// Tests: replace the registry by a fixed table (extension with dot ->
// description; an empty description means registered without one, and the
// class name "application/x-ext" then serves). An empty table restores the
// system's registry.
void setTableForTests(const QList<QPair<QString, QString>> &table);
}

// The same as FileTypes::fileTypeName.
inline QString fileTypeName(const QString &ext) { return FileTypes::fileTypeName(ext); }

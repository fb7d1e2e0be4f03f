#pragma once
#include <QString>
#include <QStringList>
#include <vector>

// The text lines of the duplicate and file-hog finder. A line is the
// tab-separated fields of one found file; its layout depends on the mode and
// the duplicate criterion:
//   criteria 0, 1, 2: name, size, date, time, access, folder, type
//   criteria 3, 4, 5, 7: size, name, date, time, access, folder, type
//   criterion 6:      type, date, time, name, size, access, folder
//   file hogs:        size, date, time, access, path, type
namespace DupLine {

enum Criterion {
    FilenameOnly = 0,
    FilenameAndSize = 1,
    FilenameSizeAndDate = 2,
    SizeOnly = 3,
    SizeAndDate = 4,
    SizeAndType = 5,
    TypeAndDate = 6,
    SameContents = 7, // files of one size with the same bytes (ContentSearch); lines as "Size only"
    SimilarPictures = 8 // the same photo at another size or quality (PictureSearch); lines as "Size only"
};

// What a field carries; also the duplicate grid's column order.
enum Field { Name = 0, Size, Date, Time, Access, Folder, Type, FieldCount };

// The nine entries of the criterion box, in index order.
QStringList criterionTexts();

// The field texts of one found file.
struct Fields {
    QString name, size, date, time, access, folder, type;
    const QString &operator[](Field f) const;
};

// Field position (counted from 1, as tabField reads it) of a field in the
// duplicate line of a criterion; 0 when the line does not hold it.
int position(int criterion, Field f);
// The line of a duplicate-mode file for a criterion.
QString formatDupLine(int criterion, const Fields &f);
// The line of a file hog: size, date, time, access, path, type (name and
// folder are not used; the path is the folder joined with the name).
QString formatHogLine(const Fields &f, const QString &path);

// The fields a criterion compares, in the order they lead its line.
const std::vector<Field> &keyFields(int criterion);

// The key of a duplicate-mode line: the criterion's fields (read with
// tabField), joined by tabs. A field never holds a tab, so two keys are equal
// only when every field is; joining them with nothing would let "ab" of 12
// bytes pass for "ab1" of 2 bytes.
QString stripPath(const QString &line, int criterion);
}

#pragma once
#include "common/DosTime.h"

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <optional>
#include <string>

// What the details window shows of one file, worked out without widgets.
namespace FileDetails {

// "Cluster size: 4,096  Clusters used : 3": the file system's block size
// and the blocks the size fills (rounded up; 0 bytes fill none). A cluster
// size of 0 (it could not be read) gives "Cluster size: unknown".
QString wastedClusterSpace(int64_t size, int64_t clusterSize);
// " ReadOnly Hidden System VolumeID Directory Archive" for the bits set.
QString attributeText(uint8_t attributes);
// "???" for a stamp of 0, else its date, two blanks and how far it lies from now.
QString dateText(DosDateTime stamp, const QDateTime &now);

struct Texts {
    bool folder = false;
    QString fileName, fileType, sizeBytes, sizeClusters;
    QString created, modified, accessed, attributes;
};
// The texts for the entry at path (a symbolic link describes itself);
// nothing when there is no such entry.
std::optional<Texts> describe(const std::string &path, const QDateTime &now);

// The lines printed for the details, the version lines last.
QStringList printLines(const Texts &t, const QStringList &versionLines);
// The whole printed page: title, date and time, two empty lines, then the
// lines, each indented by three blanks.
QStringList printedReport(const QString &title, const QStringList &lines, const QDateTime &now);
}

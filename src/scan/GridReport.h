#pragma once
#include <QDateTime>
#include <QString>
#include <QStringList>
#include <vector>

// The text of a printed grid report.
namespace GridReport {
// The title, "Printed : " with the short date, two spaces and the long
// time, then two empty lines.
QStringList heading(const QString &title, const QDateTime &now);
// One grid row: each cell left-justified in a field of width / 6
// characters (cut when longer), followed by one space.
QString row(const QStringList &cells, const std::vector<int> &widthsPx);
}

#include "finders/DupPairs.h"

#include "common/FoldCompare.h"
#include "common/Text.h"
#include "finders/DupLine.h"
#include "inspect/FileDetails.h"
#include "inspect/RelativeDate.h"
#include "inspect/VersionInfo.h"
#include "platform/DirReader.h"
#include "platform/FileTypes.h"
#include "scan/ResultGridModel.h"

DupPairs::PairRow DupPairs::rowOf(const ResultGridModel &grid, int row)
{
    PairRow r;
    const std::string path = grid.path(row);
    r.name = path.substr(path.rfind('/') + 1);
    r.size = grid.cell(row, DupLine::Size);
    r.date = grid.cell(row, DupLine::Date);
    r.time = grid.cell(row, DupLine::Time);
    r.type = grid.cell(row, DupLine::Type);
    return r;
}

bool DupPairs::rowsMatch(int criterion, const PairRow &a, const PairRow &b)
{
    if (criterion < 0 || criterion > 6)
        return true;
    for (DupLine::Field f : DupLine::keyFields(criterion)) {
        switch (f) {
        case DupLine::Name:
            if (!foldEqual(a.name, b.name))
                return false;
            break;
        case DupLine::Size:
            if (a.size != b.size)
                return false;
            break;
        case DupLine::Date:
            if (a.date != b.date)
                return false;
            break;
        case DupLine::Time:
            if (a.time != b.time)
                return false;
            break;
        case DupLine::Type:
            if (a.type != b.type)
                return false;
            break;
        default: break;
        }
    }
    return true;
}

bool DupPairs::pairMatches(const ResultGridModel &grid, int criterion, int row)
{
    if (row < 1 || row >= grid.rowsFilled())
        return false;
    // Files of the same contents, or similar pictures, are a pair when they
    // are in one group.
    if (criterion == DupLine::SameContents || criterion == DupLine::SimilarPictures)
        return grid.fileKey(row) == grid.fileKey(row + 1);
    return rowsMatch(criterion, rowOf(grid, row), rowOf(grid, row + 1));
}

int DupPairs::rowOfPath(const ResultGridModel &grid, const std::string &path, int hint)
{
    const int rows = grid.rowsFilled();
    if (path.empty())
        return 0;
    if (hint >= 1 && hint <= rows && grid.path(hint) == path)
        return hint;
    for (int r = 1; r <= rows; ++r)
        if (grid.path(r) == path)
            return r;
    return 0;
}

int DupPairs::nextDupRow(int current, int rowsFilled, const Matches &matches)
{
    for (int i = std::max(current + 1, 1); i < rowsFilled; ++i)
        if (matches(i))
            return i;
    return -1;
}

int DupPairs::prevDupRow(int current, const Matches &matches)
{
    for (int i = current - 1; i >= 1; --i)
        if (matches(i))
            return i;
    return -1;
}

QString DupPairs::stampText(DosDateTime stamp, const QDateTime &now, bool dateOnly, bool oddSecond)
{
    const QString date = dosDateText(stamp);
    if (date.isEmpty())
        return QStringLiteral("???");
    QString text = date;
    if (!dateOnly)
        text += QLatin1Char(' ') + dosTimeText(stamp, oddSecond);
    return text + QStringLiteral("  ") + relativeDateText(DosTime::unpack(stamp), now);
}

DupPairs::Side DupPairs::load(const std::string &path, const QDateTime &now)
{
    Side s;
    s.path = path;
    const size_t slash = path.rfind('/');
    const std::string name = path.substr(slash + 1);
    s.name = displayName(name);
    s.folder = displayName(slash == 0 ? std::string("/") : path.substr(0, slash == std::string::npos ? 0 : slash));
    EntryStat st;
    if (!DirReader::statPath(path, st))
        return s;
    s.exists = true;
    versionInfoLines(path, s.profile, false);
    if (s.profile.isEmpty())
        s.profile << QStringLiteral("Extended profile absent");
    const size_t dot = name.rfind('.');
    s.type = dot == std::string::npos ? fileTypeName(QString()) : fileTypeName(displayName(name.substr(dot)));
    s.size = formatThousands(st.size) + QStringLiteral(" bytes");
    DosTime::Converter convert;
    s.createdStamp = st.hasCreated ? convert(st.created) : 0;
    s.modifiedStamp = convert(st.written);
    const DosDateTime accessed = convert(st.accessed);
    s.accessDay = accessed >> 16;
    s.created = stampText(s.createdStamp, now, false, (st.created & 1) != 0);
    s.modified = stampText(s.modifiedStamp, now, false, (st.written & 1) != 0);
    s.accessed = stampText(accessed, now, true);
    s.attributes = FileDetails::attributeText(st.attributes);
    return s;
}

DupPairs::Newer DupPairs::newer(uint32_t left, uint32_t right)
{
    if (left == 0 || right == 0)
        return Newer::Unknown;
    if (left == right)
        return Newer::Same;
    return left > right ? Newer::Left : Newer::Right;
}

bool DupPairs::profileLineDiffers(const QStringList &mine, const QStringList &other, int i)
{
    return mine.size() >= 2 && other.size() >= 2 && i >= 0 && i < mine.size()
           && (i >= other.size() || mine.at(i) != other.at(i));
}

QPoint DupPairs::placeKeepingBottom(const QRect &frameBefore, const QSize &frameSize, const QRect &screen)
{
    QRect g(QPoint(frameBefore.left(), frameBefore.bottom() - frameSize.height() + 1), frameSize);
    if (screen.isValid()) {
        if (g.top() < screen.top())
            g.moveTop(screen.top() + 20);
        if (g.bottom() > screen.bottom())
            g.moveTop(screen.top() + (screen.height() - g.height()) / 2);
    }
    return g.topLeft();
}

#include "common/TPathLabel.h"

#include <QApplication>
#include <QFontMetrics>
#include <gtest/gtest.h>

// A path too long for its room keeps its start where there is room for it,
// and its end: the last two names whole when they fit, else the end of the
// last name. The shown text never takes more than the room.
TEST(TPathLabel, AShortenedPathKeepsItsStartAndItsLastTwoNames)
{
    const QFontMetrics fm(QApplication::font());
    const int room = fm.horizontalAdvance(QStringLiteral("x")) * 50;
    auto shown = [&](const QString &path) {
        const QString s = TPathLabel::shortened(path, fm, room);
        EXPECT_LE(fm.horizontalAdvance(s), room) << s.toStdString();
        return s;
    };
    EXPECT_EQ(shown(QStringLiteral("/home/me/a.txt")), "/home/me/a.txt");

    const QString start = QStringLiteral("/home/me/archive/2019/projects/");
    const QString shortEnd = start + QStringLiteral("x/y/z/w/v/u/t/s/r/q/p/o/n/m/a.txt");
    EXPECT_EQ(shown(shortEnd), fm.elidedText(shortEnd, Qt::ElideMiddle, room)); // as before

    const QString longEnd = start + QStringLiteral("x/y/z/w/v/u/level-7/notes-kept-at-every-level.txt");
    const QString s = shown(longEnd);
    EXPECT_TRUE(s.startsWith(QStringLiteral("/home/me/"))) << s.toStdString();
    EXPECT_TRUE(s.contains(QStringLiteral("…")) && s.endsWith(QStringLiteral("/level-7/notes-kept-at-every-level.txt")))
        << s.toStdString();

    const QString overlong = start + QStringLiteral("a-name-much-too-long-for-the-room-it-is-shown-in-0123456789.txt");
    EXPECT_TRUE(shown(overlong).endsWith(QStringLiteral("0123456789.txt")));
}

#include "inspect/TFileIcon.h"

#include "common/TDrawnPicture.h"
#include "platform/PathInfo.h"

#include <QFileIconProvider>
#include <QFileInfo>
#include <QPainter>

namespace {
QPixmap drawFolder()
{
    return drawnPicture(QSize(32, 32), 1, [](QPainter &p) {
        p.setPen(QPen(QColor(120, 90, 20), 1));
        p.setBrush(QColor(236, 196, 84));
        p.drawPath(outline({{3, 9}, {3, 6}, {12, 6}, {15, 9}}));
        p.drawRoundedRect(QRectF(2.5, 8.5, 27, 19), 2, 2);
        p.setBrush(QColor(250, 220, 120));
        p.drawRoundedRect(QRectF(2.5, 12.5, 27, 15), 2, 2);
    });
}

QPixmap drawNoIcon()
{
    return drawnPicture(QSize(32, 32), 1, [](QPainter &p) {
        p.setPen(QPen(QColor(90, 90, 90), 1));
        p.setBrush(Qt::white);
        p.drawPath(outline({{6.5, 2.5}, {20.5, 2.5}, {26.5, 8.5}, {26.5, 29.5}, {6.5, 29.5}}));
        p.drawLine(QPointF(20.5, 2.5), QPointF(20.5, 8.5));
        p.drawLine(QPointF(20.5, 8.5), QPointF(26.5, 8.5));
        QFont f = p.font();
        f.setPixelSize(14);
        f.setBold(true);
        p.setFont(f);
        p.setPen(QColor(40, 90, 170));
        p.drawText(QRect(6, 9, 21, 20), Qt::AlignCenter, QStringLiteral("?"));
    });
}
}

QIcon ownIcon(const char *name)
{
    return QIcon(qstrcmp(name, "DIRECTORY") == 0 ? drawFolder() : drawNoIcon());
}

QIcon fileIcon(const std::string &path)
{
    if (PathInfo::isFolder(path))
        return ownIcon("DIRECTORY");
    const QFileIconProvider provider;
    const QIcon icon = provider.icon(QFileInfo(QString::fromLocal8Bit(path.data(), qsizetype(path.size()))));
    if (icon.isNull())
        return ownIcon("NOICON");
    return icon;
}

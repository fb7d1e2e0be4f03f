#include "scan/TDriveIcons.h"

#include "common/TDrawnPicture.h"

#include <QColor>
#include <QGuiApplication>
#include <QPainter>

#include <map>

namespace {
void drawIcon(QPainter &p, DriveType type)
{
    p.setPen(QColor(40, 40, 40));
    switch (type) {
    case DriveType::Removable:
        p.setBrush(QColor(70, 70, 160));
        p.drawRect(2, 1, 12, 14);
        p.setBrush(QColor(220, 220, 220));
        p.drawRect(5, 1, 6, 5);
        p.setBrush(Qt::white);
        p.drawRect(4, 9, 8, 5);
        break;
    case DriveType::Fixed:
        p.setBrush(QColor(190, 190, 190));
        p.drawRect(1, 5, 14, 7);
        p.setBrush(QColor(0, 200, 0));
        p.drawRect(11, 9, 2, 1);
        break;
    case DriveType::Network:
        p.setBrush(QColor(190, 190, 190));
        p.drawRect(1, 2, 14, 6);
        p.drawLine(8, 8, 8, 14);
        p.drawLine(2, 14, 14, 14);
        p.setBrush(QColor(0, 160, 0));
        p.drawRect(11, 5, 2, 1);
        break;
    case DriveType::CdRom:
        p.setBrush(QColor(200, 200, 230));
        p.drawEllipse(1, 1, 14, 14);
        p.setBrush(Qt::white);
        p.drawEllipse(6, 6, 4, 4);
        break;
    case DriveType::RamDisk:
        p.setBrush(QColor(0, 120, 60));
        p.drawRect(1, 4, 14, 8);
        p.setBrush(QColor(30, 30, 30));
        for (int x = 3; x < 14; x += 3)
            p.drawRect(x, 6, 2, 4);
        break;
    }
}

const char *themeName(DriveType type)
{
    switch (type) {
    case DriveType::Removable: return "drive-removable-media";
    case DriveType::Fixed: return "drive-harddisk";
    case DriveType::Network: return "folder-remote";
    case DriveType::CdRom: return "media-optical";
    case DriveType::RamDisk: return "media-flash";
    }
    return "drive-harddisk";
}
}

QIcon TDriveIcons::icon(DriveType type)
{
    static std::map<DriveType, QIcon> cache;
    auto it = cache.find(type);
    if (it != cache.end())
        return it->second;
    QIcon icon = QIcon::fromTheme(QString::fromLatin1(themeName(type)));
    if (icon.isNull() && qobject_cast<QGuiApplication *>(QCoreApplication::instance()))
        icon = QIcon(drawnPicture(QSize(16, 16), 1, [type](QPainter &p) { drawIcon(p, type); }));
    if (!icon.isNull())
        cache[type] = icon;
    return icon;
}

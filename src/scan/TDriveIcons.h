#pragma once
#include "platform/Drives.h"

#include <QIcon>

// The small icon of a drive type in drive lists: the desktop theme's icon,
// else one drawn here (16 by 16).
namespace TDriveIcons {
QIcon icon(DriveType type);
}

#include "stats/TStatPage.h"

#include "common/Dialogs.h"
#include "stats/TStatWidgets.h"

#include <QToolButton>

QToolButton *TStatPage::infoButton(QWidget *page, int n)
{
    auto *b = new QToolButton(page);
    b->setObjectName(QStringLiteral("SpeedButton%1").arg(n));
    b->setText(QStringLiteral("?"));
    b->setToolTip(QStringLiteral("More about this chart"));
    b->setGeometry(TStatWidgets::kPageW - 32, 4, 28, 28);
    connect(b, &QToolButton::clicked, this, [n] { dialogs().showInfo(infoText(n)); });
    return b;
}

QString TStatPage::infoText(int n)
{
    switch (n) {
    case 1:
        return QStringLiteral("Note: prior versions of Windows and DOS did not store the file access date.  Files never "
                              "recorded as being accessed are probably old files that were converted to Windows 95/98.");
    case 2:
        return QStringLiteral("Files never recorded as being created are probably old files that were converted to "
                              "Windows 95/98.  Note: prior versions of Windows and DOS did not store the file creation "
                              "date independent of the last file modification or file write date.");
    case 3:
        return QStringLiteral("Note: prior versions of Windows and DOS treated the file creation date synonomously  "
                              "with the last file modification date.  Therefore all files have a file modification "
                              "date.");
    case 4:
        return QStringLiteral("This chart combines the Accessed, Created and Modified charts");
    case 5:
        return QStringLiteral("Note: Sometimes software vendors use the file modified time to indicate the version "
                              "number of a product. For example, a file with the time of 02:10 am would represent "
                              "version 2.1 of a certain product.  Note that files with a time of 12:00:00 am are "
                              "excluded from this graph.");
    default:
        return {};
    }
}

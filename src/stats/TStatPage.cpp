#include "stats/TStatPage.h"

#include "common/Dialogs.h"
#include "platform/Drives.h"
#include "stats/TStatWidgets.h"

#include <QToolButton>

QToolButton *TStatPage::infoButton(QWidget *page, int n)
{
    auto *b = new QToolButton(page);
    b->setObjectName(QStringLiteral("SpeedButton%1").arg(n));
    b->setText(QStringLiteral("?"));
    b->setToolTip(QStringLiteral("More about this chart"));
    b->setGeometry(TStatWidgets::kPageW - 32, 4, 28, 28);
    connect(b, &QToolButton::clicked, this, [this, n] {
        std::vector<std::pair<QString, QString>> atime;
        if (n == 1)
            for (const QString &entry : host.collectionDrives())
                atime.emplace_back(entry.left(2).toUpper(),
                                   Drives::accessTimeOption(TStatWidgets::driveRoot(entry).toStdString()));
        dialogs().showInfo(infoText(n, atime));
    });
    return b;
}

QString TStatPage::infoText(int n, const std::vector<std::pair<QString, QString>> &atime)
{
    switch (n) {
    case 1: {
        QString t = QStringLiteral("Note: ");
        if (atime.empty())
            t += QStringLiteral("whether a drive stores the file access date depends on its mount option (noatime, "
                                "relatime or strictatime).");
        for (size_t i = 0; i < atime.size(); ++i) {
            const auto &[drive, option] = atime[i];
            t += (i ? QStringLiteral("  Drive ") : QStringLiteral("drive ")) + drive;
            if (option == QLatin1String("noatime"))
                t += QStringLiteral(" is mounted with the noatime option, which does not store the file access date "
                                    "when a file is read.");
            else if (option == QLatin1String("relatime"))
                t += QStringLiteral(" is mounted with the relatime option, which stores the file access date only "
                                    "when the old one is over a day old or older than the last change.");
            else if (option == QLatin1String("strictatime"))
                t += QStringLiteral(" is mounted with the strictatime option, which stores the file access date "
                                    "every time a file is read.");
            else
                t += QStringLiteral(" has mount options that could not be read.");
        }
        return t + QStringLiteral("  Files never recorded as being accessed are probably old files whose dates were "
                                  "copied from a system that did not store it.");
    }
    case 2:
        return QStringLiteral("Files never recorded as being created are probably old files that were converted from "
                              "ext3 to ext4.  Note: some file systems (ext3, and many network file systems) do not "
                              "store the file creation date independent of the last file modification or file write "
                              "date.");
    case 3:
        return QStringLiteral("Note: every Linux file system stores the last file modification date, even one that "
                              "keeps no file creation date.  Therefore all files have a file modification "
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

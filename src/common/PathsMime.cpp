#include "common/PathsMime.h"

#include <QFile>
#include <QMimeData>

QString PathsMime::pathText(const std::string &path) { return QFile::decodeName(QByteArray::fromStdString(path)); }

QByteArray PathsMime::fileUri(const std::string &path)
{
    return QByteArrayLiteral("file://") + QByteArray::fromStdString(path).toPercentEncoding("/");
}

QMimeData *PathsMime::mimeData(const std::vector<std::string> &paths, bool asLines)
{
    QString text;
    QByteArray uris;
    for (const std::string &p : paths) {
        text += pathText(p);
        if (asLines)
            text += QLatin1Char('\n');
        uris += fileUri(p) + "\r\n";
    }
    auto *data = new QMimeData;
    data->setText(text);
    data->setData(QStringLiteral("text/uri-list"), uris);
    return data;
}

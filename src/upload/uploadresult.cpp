#include "upload/uploadresult.h"

#include "settings/settings.h"

#include <QDebug>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

namespace UploadResult {

bool isSafeServerName(const QString &serverName)
{
    if (serverName.isEmpty() || serverName == QLatin1String(".") || serverName == QLatin1String(".."))
        return false;
    if (serverName.contains(QLatin1Char('/')) || serverName.contains(QLatin1Char('\\')))
        return false;
    // "C:name" is relative to another folder on drive-letter systems
    static const QRegularExpression drive(QStringLiteral("^[A-Za-z]:"));
    if (drive.match(serverName).hasMatch())
        return false;
    for (const QChar c : serverName)
        if (c.category() == QChar::Other_Control)
            return false;
    return true;
}

QString localName(const QString &serverName, int captureMode, const QString &videoExtension)
{
    const int dot = serverName.lastIndexOf(QLatin1Char('.'));
    if (dot <= 0)
        return serverName;
    QString extension = Settings::captureExtension(captureMode, videoExtension);
    if (extension.isNull()) // an unknown code keeps the video extension it always got
        extension = videoExtension;
    return serverName.left(dot + 1) + extension;
}

Links links(const QString &baseAddress, const QString &serverName, const QString &localName,
            const QString &uploadedPath)
{
    Links result;
    result.fullPageUrl = baseAddress + serverName;
    const int fragment = result.fullPageUrl.lastIndexOf(QLatin1Char('#'));
    result.pageUrl = fragment > 0 ? result.fullPageUrl.left(fragment) : result.fullPageUrl;
    result.directUrl = baseAddress + localName;
    result.localPath = QDir::toNativeSeparators(QFileInfo(uploadedPath).absolutePath()
                                                + QLatin1Char('/') + localName);
    return result;
}

QString clipboardText(int clipboardCode, const Links &links)
{
    switch (clipboardCode) {
    case Settings::ClipboardWebPageUrl:
        return links.pageUrl;
    case Settings::ClipboardDirectUrl:
        return links.directUrl;
    case Settings::ClipboardLocalPath:
        return links.localPath;
    case Settings::ClipboardEmbedSite:
        return QStringLiteral("<a href='%1'><img src='%2' alt='Screen capture from Snaplark'/></a>")
            .arg(links.pageUrl, links.directUrl);
    case Settings::ClipboardEmbedForum:
        return QStringLiteral("[URL=%1][IMG]%2[/IMG][/URL]").arg(links.pageUrl, links.directUrl);
    default:
        return QString();
    }
}

QMap<QString, QString> parseStatusText(const QString &text)
{
    QString stripped = text;
    for (const QChar c : {QLatin1Char('{'), QLatin1Char('}'), QLatin1Char('"'), QLatin1Char('\\')})
        stripped.remove(c);

    QMap<QString, QString> map;
    const QStringList pieces = stripped.split(QLatin1Char(','));
    for (const QString &piece : pieces) {
        QStringList parts = piece.split(QLatin1Char(':'));
        qDebug() << parts;
        const QString key = parts.takeFirst();
        map.insert(key, parts.join(QLatin1Char(':')));
    }
    return map;
}

} // namespace UploadResult

#include "settings/capturefolder.h"

#include "ui/fatalerror.h"
#include "extension/extension.h"
#include "settings/settings.h"

#include <QDebug>
#include <QDir>
#include <QStandardPaths>
#include <QTemporaryFile>

namespace CaptureFolder {

QString path()
{
    const QStringList documents = QStandardPaths::standardLocations(QStandardPaths::DocumentsLocation);
    const QString base = documents.isEmpty() ? QDir::homePath() : documents.first();
    const QString folder = QDir::toNativeSeparators(QStringLiteral("%1/Snaplark Captures").arg(base));
    qDebug("Pictures folder: %s", qPrintable(folder));
    if (!QDir(folder).exists())
        QDir().mkpath(folder);
    return folder;
}

QString newCaptureFileName(int mode)
{
    const QString templateName = QStringLiteral("%1/snaplark").arg(QDir::fromNativeSeparators(path()));
    QTemporaryFile reserved(templateName);
    reserved.setAutoRemove(true);
    if (!reserved.open()) {
        // Losing a capture silently is worse than interrupting the user.
        reportFatalError(QStringLiteral("Error creating temporary file ") + QDir::toNativeSeparators(templateName), true);
        return QString();
    }

    QString extension;
    switch (mode) {
    case Settings::ModeScreenshot:
    case Settings::ModeScroll:
        extension = QStringLiteral("png");
        break;
    case Settings::ModeVideo:
        extension = Extension::videoFileExtension();
        break;
    case Settings::ModeGif:
        extension = QStringLiteral("gif");
        break;
    default:
        break;
    }
    QString name;
    if (mode >= Settings::ModeScreenshot && mode <= Settings::ModeScroll)
        name = QStringLiteral("%1.%2").arg(reserved.fileName(), extension);
    reserved.close();

    name = QDir::toNativeSeparators(name);
    qDebug("Temporary file name: %s", qPrintable(name));
    return name;
}

} // namespace CaptureFolder

#include "settings/capturefolder.h"

#include "ui/fatalerror.h"
#include "extension/extension.h"
#include "settings/settings.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QStandardPaths>

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace {

// A random name is taken only by a rare coincidence; this many in a row means
// something else is wrong, and the capture must not wait for it forever.
constexpr int maxNameAttempts = 100;

} // namespace

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

QString randomSuffix()
{
    static const char alphabet[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    QString suffix;
    for (int i = 0; i < 6; ++i)
        suffix += QLatin1Char(alphabet[QRandomGenerator::system()->bounded(int(sizeof alphabet) - 1)]);
    return suffix;
}

QString reserveCaptureFile(const QString &folder, const QString &extension,
                           const std::function<QString()> &suffix)
{
    const QString base = QDir::fromNativeSeparators(folder);
    for (int attempt = 0; attempt < maxNameAttempts; ++attempt) {
        const QString candidate = QStringLiteral("%1/snaplark.%2.%3").arg(base, suffix(), extension);
        // O_EXCL: the name is ours only if we created it; it also refuses a
        // symbolic link planted under the name.
        const int fd = ::open(QFile::encodeName(candidate).constData(),
                              O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) {
            ::close(fd);
            return QDir::toNativeSeparators(candidate);
        }
        if (errno != EEXIST)
            return QString();
    }
    return QString();
}

QString newCaptureFileName(int mode)
{
    const QString extension = Settings::captureExtension(mode, Extension::videoFileExtension());
    if (extension.isNull()) {
        qDebug("Temporary file name: ");
        return QString();
    }

    const QString folder = path();
    const QString name = reserveCaptureFile(folder, extension);
    if (name.isEmpty()) {
        // Losing a capture silently is worse than interrupting the user.
        const QString templateName = QDir::fromNativeSeparators(folder) + QStringLiteral("/snaplark");
        reportFatalError(QStringLiteral("Error creating temporary file ") + QDir::toNativeSeparators(templateName),
                         true);
        return QString();
    }
    qDebug("Temporary file name: %s", qPrintable(name));
    return name;
}

} // namespace CaptureFolder

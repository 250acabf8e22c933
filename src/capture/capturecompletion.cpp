#include "capture/capturecompletion.h"

#include "core/appcontrol.h"
#include "ui/fatalerror.h"
#include "platform/platform.h"
#include "platform/processlauncher.h"
#include "settings/capturefolder.h"
#include "settings/settings.h"
#include "upload/uploadmanager.h"

#include <QClipboard>
#include <QDebug>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QPixmap>
#include <QSaveFile>
#include <QUrl>

namespace {

// Writes the picture into the file reserved for it.  The picture goes to a
// temporary file beside it first, which then replaces the reserved one: a
// failed or interrupted save leaves no half-written capture under its name.
bool savePng(const QPixmap &pixmap, const QString &path)
{
    QSaveFile file(path);
    return file.open(QIODevice::WriteOnly) && pixmap.save(&file, "PNG") && file.commit();
}

// The upload client ends the run once the reply has been handled.
void startUpload(const QString &path)
{
    UploadManager::uploadFile(path, false);
}

void openWithDefaultViewer(const QString &path)
{
    // Built from the local path rather than by pasting it after "file:///":
    // an absolute path here already starts with the root separator, and
    // characters such as '#' must stay part of the name.
    const QUrl address = QUrl::fromLocalFile(QDir::fromNativeSeparators(path));
    ProcessLauncher::instance().openUrl(address);
    qDebug("Open file %s", qPrintable(address.toString()));
}

void fillClipboard(int clipboardCode, const QString &path, const QPixmap &pixmap)
{
    QClipboard *clipboard = QGuiApplication::clipboard();
    switch (clipboardCode) {
    case Settings::ClipboardWebPageUrl:
    case Settings::ClipboardDirectUrl:
    case Settings::ClipboardEmbedSite:
    case Settings::ClipboardEmbedForum:
        // The upload client replaces this with the link once it has one.
        clipboard->setText(QStringLiteral("Not yet uploaded. Please wait a few seconds"), QClipboard::Clipboard);
        break;
    case Settings::ClipboardLocalPath: {
        const QString nativePath = QDir::toNativeSeparators(path);
        clipboard->setText(nativePath, QClipboard::Clipboard);
        qDebug().noquote() << QStringLiteral("Copy to clipboard: %1").arg(nativePath);
        break;
    }
    case Settings::ClipboardBitmap:
        clipboard->setPixmap(pixmap, QClipboard::Clipboard);
        qDebug("Copy to clipboard: bitmap");
        break;
    default:
        break;
    }
}

} // namespace

void completeScreenshot(const QPixmap &pixmap)
{
    const QString path = CaptureFolder::newCaptureFileName(Settings::ModeScreenshot);
    if (path.isEmpty())
        return; // already reported, and the run is ending

    if (!savePng(pixmap, path)) {
        // The reserved file is still empty and no use to anybody; the user
        // must learn that the capture is lost.
        QFile::remove(path);
        reportFatalError(QStringLiteral("Failed to save screenshot to file ") + path, true);
        return;
    }

    const int action = Settings::currentAction();
    if (action == Settings::ActionUpload)
        startUpload(path);
    else if (action == Settings::ActionOpenDefaultViewer)
        openWithDefaultViewer(path);

    fillClipboard(Settings::currentClipboard(), path, pixmap);

    if (action == Settings::ActionSaveOnly)
        Platform::showFileInFolder(path);

    if (action != Settings::ActionUpload)
        AppControl::endRun(0);
}

#include "app/startup.h"

#include "app/clipboardkeeper.h"
#include "app/commandline.h"
#include "app/qtsingleapplication.h"
#include "app/wndforcestarterrormsgbox.h"
#include "capture/wndmain.h"
#include "core/appcontrol.h"
#include "core/capturestate.h"
#include "editor/wndeditor.h"
#include "editor/wndscreenshoteditor.h"
#include "extension/extension.h"
#include "platform/processlauncher.h"
#include "recorders/wndgifcapture.h"
#include "recorders/wndscrollcapture.h"
#include "settingsdialog/wndsettings.h"
#include "ui/fatalerror.h"
#include "upload/uploadmanager.h"
#include "video/videoselection.h"
#include "video/wndstartvideo.h"

#include <QDebug>
#include <QFileInfo>
#include <QImageReader>
#include <QScrollArea>

#include <memory>

namespace Startup {
namespace {

void logImageFormats()
{
    QString joined;
    for (const QByteArray &format : QImageReader::supportedImageFormats())
        joined += QString::fromLatin1(format).toLower() + QLatin1Char(' ');
    qDebug().noquote() << QStringLiteral("[%1]").arg(joined.trimmed());
}

int runSettingsOnly()
{
    WndSettings dialog;
    AppControl::runModal(&dialog);
    return 0;
}

// A GIF recording: 6 frames a second for at most 13 seconds, the whole
// region every second, ordered dither.
constexpr int kGifFramesPerSecond = 6;
constexpr int kGifDuration = 13;
constexpr int kGifKeyFrameInterval = 6;
constexpr int kGifDitherMode = 1;

// Where the overlay hands a capture on: the editors and recorders are
// features beside capture, so they are joined here rather than known to it.
CaptureRoutes captureRoutes()
{
    CaptureRoutes routes;
    routes.screenshotEditor = [](CaptureState *state, QWidget *overlay, CaptureDispatch dispatch) -> QWidget * {
        return new WndScreenshotEditor(state, overlay, std::move(dispatch));
    };
    routes.gifRecorder = [](CaptureState *state, QWidget *, CaptureDispatch) -> QWidget * {
        auto recorder = std::make_unique<WndGifCapture>(state->requestRect(), kGifFramesPerSecond, kGifDuration,
                                                        kGifKeyFrameInterval, kGifDitherMode);
        if (!recorder->isReady())
            return nullptr;
        recorder->show();
        return recorder.release();
    };
    routes.scrollRecorder = [](CaptureState *state, CaptureDispatch dispatch, int rowsToVerify, int exactRunNeeded,
                               double exactThreshold, double nearThreshold) -> QWidget * {
        auto *recorder = new WndScrollCapture(state->requestRect(), rowsToVerify, exactRunNeeded, exactThreshold,
                                              nearThreshold, [dispatch](QImage *picture) -> QWidget * {
                                                  auto *editor = new WndEditor(picture, dispatch);
                                                  editor->showEditor();
                                                  return editor->scrollWindow();
                                              });
        recorder->show();
        return recorder;
    };
    routes.videoRecorder = [](CaptureState *state, QWidget *, CaptureDispatch) -> QWidget * {
        auto *quality = new WndStartVideo(VideoSelection::fromState(*state));
        quality->show();
        return quality;
    };
    routes.settings = [](QWidget *overlay, int tab) {
        WndSettings dialog(overlay);
        dialog.setCurrentTab(tab);
        AppControl::runModal(&dialog);
    };
    return routes;
}

int runCapture()
{
    auto *overlay = new WndMain(captureRoutes());
    overlay->show();
    const int code = QCoreApplication::exec();
    delete overlay;
    return code;
}

int startUpload(const QString &path)
{
    UploadManager::uploadFile(path, true);
    return QCoreApplication::exec();
}

} // namespace

int askAboutRunningInstance(const QStringList &arguments)
{
    qDebug("Already running!");
    auto *box = new WndForceStartErrorMsgBox;
    const int answer = AppControl::runModal(box);
    if (answer == 1) {
        qDebug("Closing old running instance");
        Extension::killOldProcesses();
        qDebug("Restarting");
        QStringList rest = arguments;
        if (!rest.isEmpty())
            rest.removeFirst();
        ProcessLauncher::instance().startDetached(QCoreApplication::applicationFilePath(), rest);
    }
    delete box;
    return 0;
}

int uploadFromCommandLine(const QString &path)
{
    qDebug("Uploading file %s", qPrintable(path));
    switch (CommandLine::checkFile(path)) {
    case CommandLine::FileCheck::Missing:
        qDebug("Uploading file doesn't exists %s", qPrintable(path));
        reportFatalError(QStringLiteral("File doesn't exists: ") + path, true);
        return 0;
    case CommandLine::FileCheck::TooSmall:
        qDebug("File is too small for image: %s", qPrintable(path));
        reportFatalError(QStringLiteral("File is too small"), true);
        return 0;
    case CommandLine::FileCheck::TooBig:
        qDebug("File is too big: %s", qPrintable(path));
        reportFatalError(QStringLiteral("File is too big"), true);
        return 0;
    case CommandLine::FileCheck::Ok:
        break;
    }
    return startUpload(path);
}

int dispatch(const QStringList &arguments, bool otherInstanceRunning)
{
    if (otherInstanceRunning)
        return askAboutRunningInstance(arguments);

    logImageFormats();
    if (arguments.size() > 1) {
        const QString argument = arguments.at(1);
        if (argument == QLatin1String("/config"))
            return runSettingsOnly();
        return uploadFromCommandLine(argument);
    }
    return runCapture();
}

int run(int argc, char **argv)
{
    // No window of the program holds GL content: plain raster windows spare
    // every launch the loading of the GL libraries.
    QCoreApplication::setAttribute(Qt::AA_ForceRasterWidgets);
    // On scaled screens pictures come at their own pixel ratio ("@2x"
    // artwork, icons), drawn sharp rather than enlarged.
    QCoreApplication::setAttribute(Qt::AA_UseHighDpiPixmaps);
    QtSingleApplication app(argc, argv, true);
    // The settings dialog tells the capture program from its companions by
    // this name; the executable's own name ("snaplark") is not it.
    QCoreApplication::setApplicationName(QStringLiteral("Snaplark"));
    const int code = dispatch(QCoreApplication::arguments(), app.isRunning());
    // What the run copied must outlive the process.
    ClipboardKeeper::handOverIfNeeded();
    return code;
}

} // namespace Startup

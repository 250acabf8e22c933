// The video mode of the real program with the real extension library and ffmpeg, driven through
// the X tools over a window that changes while it is recorded; the files are read back by ffprobe
// and ffmpeg.  Also: a window recorded in-process, a program without ffmpeg, a killed program.
#include "changingwindow.h"
#include "desktopdriver.h"
#include "extension/extension.h"
#include "fakefilemanager.h"
#include "processdriver.h"
#include "settings/settings.h"
#include "standinopener.h"
#include "testservice.h"
#include "testsupport.h"
#include "ui/toolframeplace.h"
#include "video/videocapture.h"
#include "video/videoselection.h"
#include "video/wndrecord.h"
#include "video/wndrecordborder.h"

#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPushButton>
#include <QtTest>

#include <memory>

#include <signal.h>

using namespace Desktop;

namespace {

// Dragged from its top-left to one past its bottom-right: an odd size, which the library makes even
// with a pixel more on the right and the bottom.
const QRect kSelection(QPoint(100, 120), QSize(301, 201));
const QSize kToolFrame(253, 390);
const QString kStartTitle = QStringLiteral("Snaplark Start Video Recording");
const QString kCountdownTitle = QStringLiteral("CountDownDialog");
const QString kRecordTitle = QStringLiteral("Snaplark Video Recording");
const QString kBorderTitle = QStringLiteral("Form");
const QString kCompleteTitle = QStringLiteral("Snaplark Complete Video Recording");
const QString kErrorTitle = QStringLiteral("Snaplark Exception");
// nothing like the border's red
const QVector<QRgb> kColours = {qRgb(30, 160, 60), qRgb(40, 60, 210), qRgb(230, 200, 20), qRgb(20, 190, 200),
                                qRgb(120, 40, 190), qRgb(240, 240, 240)};
constexpr int kRate = 10;
constexpr int kSeconds = 3;

QSize evenSize(const QSize &size) { return QSize(size.width() + size.width() % 2, size.height() + size.height() % 2); }

struct Probe
{
    QString video; // "codec WxH"
    int frames = 0;
    double duration = 0;
};

Probe probe(const QString &path)
{
    const QJsonObject info = QJsonDocument::fromJson(
                                 tool("ffprobe",
                                      {"-v", "error", "-count_frames", "-select_streams", "v", "-show_entries",
                                       "stream=codec_name,width,height,nb_read_frames:format=duration", "-of",
                                       "json", path},
                                      30000))
                                 .object();
    Probe result;
    const QJsonObject stream = info.value("streams").toArray().first().toObject();
    const auto text = [&](const char *key) { return stream.value(key).toVariant().toString(); };
    if (!stream.isEmpty())
        result.video = QString("%1 %2x%3").arg(text("codec_name"), text("width"), text("height"));
    result.frames = text("nb_read_frames").toInt();
    result.duration = info.value("format").toObject().value("duration").toString().toDouble();
    return result;
}

QImage firstFrame(const QString &path, const QString &png)
{
    QFile::remove(png);
    tool("ffmpeg", {"-v", "error", "-i", path, "-frames:v", "1", "-y", png}, 30000);
    return QImage(png).convertToFormat(QImage::Format_RGB32);
}

bool isBorderRed(QRgb pixel) { return qRed(pixel) - std::max(qGreen(pixel), qBlue(pixel)) > 100; }
bool isApplicationColour(QRgb pixel)
{
    for (QRgb colour : kColours)
        if (qAbs(qRed(pixel) - qRed(colour)) + qAbs(qGreen(pixel) - qGreen(colour)) + qAbs(qBlue(pixel) - qBlue(colour))
            < 40)
            return true;
    return false;
}

// Every pixel of the picture's outermost rows and columns that shows the border's red.
QStringList redEdgePixels(const QImage &frame)
{
    QStringList red;
    for (int x = 0; x < frame.width(); ++x)
        for (int y : {0, frame.height() - 1})
            if (isBorderRed(frame.pixel(x, y)))
                red += QString("%1,%2").arg(x).arg(y);
    for (int y = 0; y < frame.height(); ++y)
        for (int x : {0, frame.width() - 1})
            if (isBorderRed(frame.pixel(x, y)))
                red += QString("%1,%2").arg(x).arg(y);
    return red;
}

QString durationText(const Probe &file, double least, double most)
{
    return QString("%1: %2 frames, %3 s, recorded %4 to %5 s")
        .arg(file.video)
        .arg(file.frames)
        .arg(file.duration)
        .arg(least)
        .arg(most);
}

bool isGone(qint64 pid)
{
    QFile stat(QString("/proc/%1/stat").arg(pid));
    // a zombie has ended; only its parent's reaping is missing
    return !stat.open(QIODevice::ReadOnly) || QString::fromLatin1(stat.readAll()).section(") ", 1).startsWith('Z');
}

} // namespace

class TestVideoRecording : public QObject
{
    Q_OBJECT

    QString m_scratch;
    std::unique_ptr<ProgramCopy> m_copy;
    std::unique_ptr<ProgramRun> m_run;
    QProcessEnvironment m_environment;

    QStringList capturesLeft() const
    {
        return QDir(capturesFolder()).entryList(QDir::Files | QDir::Hidden | QDir::System);
    }

    // From the launch to the press of OK in the quality dialog, in video mode, over the region
    // (null: the full-screen button).
    bool startRecording(const QProcessEnvironment &environment, qreal scale, const QRect &selection,
                        ChangingWindow *application)
    {
        m_run = m_copy->newRun(environment);
        if (!m_run->start())
            return false;
        if (!waitForOverlay(m_run->pid()) || !m_run->waitForLog("Pixmap size:", 5000))
            return false;
        application->hide(); // out of the mouse's way on the overlay
        const QPoint frame = ToolFramePlace::lower(logicalScreen(scale), kToolFrame);
        if (!click(devicePoint(frame + QPoint(199 + 30, 251 + 15), scale))) // chbVideoMode
            return false;
        if (selection.isNull()) {
            if (!click(devicePoint(frame + QPoint(207 + 20, 50 + 20), scale))) // btnFullscreen
                return false;
        } else if (!drag(devicePoint(selection.topLeft(), scale),
                         devicePoint(selection.bottomRight() + QPoint(1, 1), scale))) {
            return false;
        }
        const qulonglong quality = waitForWindowNamed(kStartTitle, 10000);
        const bool pressed = quality && click(windowGeometry(quality).topLeft() + QPoint(130 + 55, 50 + 19) * scale); // btnOk
        // back before the countdown ends; not earlier, as it may cover the dialog
        application->show();
        return pressed;
    }

private slots:
    void initTestCase()
    {
        m_scratch = testScratchDir("videorecording");
        m_copy = std::make_unique<ProgramCopy>(m_scratch + "/bin");
        QVERIFY(m_copy->isValid());
        // the desktop's default handler, first on the path, for the page an upload opens
        const StandinOpener opener(m_scratch);
        QVERIFY(opener.isValid());
        m_environment = opener.environment();
        // no sound server: recordings go on without sound at once
        m_environment.insert("PULSE_SERVER", "unix:" + m_scratch + "/no-pulse");
        qputenv("PULSE_SERVER", QFile::encodeName("unix:" + m_scratch + "/no-pulse"));
    }

    void init()
    {
        QDir(capturesFolder()).removeRecursively();
        QSettings("Snaplark", "Snaplark").clear();
        Settings::setAuthId("e2e-token"); // no login reminder before an upload
        QVERIFY(moveMouse(QPoint(5, 5))); // the tool frame starts in its lower place
    }

    void cleanup()
    {
        m_run.reset();
        m_copy->killAll();
    }

    void record_data()
    {
        QTest::addColumn<QString>("scaling");
        QTest::addColumn<bool>("region"); // else the full screen
        QTest::addColumn<QString>("end");  // save, close or upload

        QTest::newRow("region, save") << QString() << true << "save";
        QTest::newRow("region at scale 2, save") << QString("QT_SCALE_FACTOR=2") << true << "save";
        QTest::newRow("region, close") << QString() << true << "close";
        QTest::newRow("full screen, upload") << QString() << false << "upload";
    }

    void record()
    {
        QFETCH(QString, scaling);
        QFETCH(bool, region);
        QFETCH(QString, end);
        const qreal scale = scaleOf(scaling);
        const QRect device = region ? deviceRect(kSelection, scale) : screenRect();
        FakeFileManagerService fileManager;
        QVERIFY(fileManager.registered());
        TestService service;
        service.enqueue(TestService::Reply::fileName("v1.mp4"));
        // the application under the region and the pixel just around it, which the library's even
        // size may take in
        ChangingWindow application(region ? device.adjusted(-1, -1, 1, 1) : QRect(100, 100, 400, 300), kColours);
        application.show();
        QVERIFY(QTest::qWaitForWindowExposed(&application));

        QProcessEnvironment environment = scaled(m_environment, scaling);
        environment.insert("SNAPLARK_SERVICE_URL", QString::fromLatin1(service.serviceUrl()));
        QElapsedTimer whole;
        whole.start();
        QVERIFY2(startRecording(environment, scale, region ? kSelection : QRect(), &application),
                 qPrintable(m_run->log()));

        // the countdown, with the Stop window up already
        QVERIFY2(waitForWindowNamed(kCountdownTitle, 10000), qPrintable(m_run->log()));
        QElapsedTimer counting;
        counting.start();
        QCOMPARE(windowsNamed(kRecordTitle).size(), 1);
        QVERIFY(waitUntil([&] { return windowsNamed(kCountdownTitle).isEmpty(); }, 5000));
        QVERIFY2(counting.elapsed() > 1300 && counting.elapsed() < 3000, qPrintable(QString::number(counting.elapsed())));
        QVERIFY2(m_run->waitForLog("Video recording started", 15000), qPrintable(m_run->log()));
        QElapsedTimer running;
        running.start();
        const QList<qulonglong> borders = windowsNamed(kBorderTitle);
        if (region) {
            QCOMPARE(borders.size(), 1);
            QCOMPARE(windowGeometry(borders.first()), deviceRect(kSelection.adjusted(-3, -3, 3, 3), scale));
        } else {
            QVERIFY(borders.isEmpty());
        }
        QProcess::execute("import", {"-window", "root", m_scratch + "/recording.png"}); // for the eye
        QTest::qWait(kSeconds * 1000);

        const qulonglong stopWindow = windowsNamed(kRecordTitle).value(0);
        QVERIFY(stopWindow);
        const QRect stopGeometry = windowGeometry(stopWindow);
        QCOMPARE(stopGeometry.topRight(), screenRect().topRight());
        QVERIFY(click(stopGeometry.topLeft() + QPoint(21 + 19, 32 + 19) * scale)); // btnStop
        const double least = running.elapsed() / 1000.0;
        const qulonglong complete = waitForWindowNamed(kCompleteTitle, 30000);
        const double most = whole.elapsed() / 1000.0;
        QVERIFY2(complete, qPrintable(m_run->log()));
        QVERIFY(windowsNamed(kRecordTitle).isEmpty() && windowsNamed(kBorderTitle).isEmpty());

        // complete and playable when the dialog offers it
        const QStringList files = capturesLeft();
        QCOMPARE(files.size(), 1);
        const QString path = QDir(capturesFolder()).filePath(files.first());
        QVERIFY(path.endsWith(".mp4"));
        const Probe file = probe(path);
        const QSize size = evenSize(device.size());
        QCOMPARE(file.video, QString("h264 %1x%2").arg(size.width()).arg(size.height()));
        QVERIFY2(file.duration >= 0.8 * least && file.duration <= 1.2 * least + 0.5, qPrintable(durationText(file, least, most)));
        QVERIFY2(qAbs(file.frames - kRate * file.duration) <= 0.2 * kRate * file.duration + 1,
                 qPrintable(durationText(file, least, most)));
        const QImage first = firstFrame(path, m_scratch + "/first.png");
        QCOMPARE(first.size(), size);
        if (region) {
            QCOMPARE(redEdgePixels(first), QStringList());
            QVERIFY(isApplicationColour(first.pixel(size.width() / 2, size.height() / 2)));
        }

        application.hide(); // above every managed window, it may cover the dialog
        const QPoint corner = windowGeometry(complete).topLeft();
        const QPoint button = end == "save" ? QPoint(71 + 55, 125 + 20)
                              : end == "upload" ? QPoint(71 + 55, 185 + 20)
                                                : QPoint(232 + 10, 1 + 10);
        QVERIFY(click(corner + button * scale));
        QVERIFY2(m_run->waitForFinished(20000) && m_run->exitCode() == 0, qPrintable(m_run->log()));
        if (end == "close") {
            QCOMPARE(capturesLeft(), QStringList());
        } else if (end == "save") {
            QCOMPARE(capturesLeft(), files);
            QTRY_COMPARE(fileManager.receivedUris().size(), 1);
            QCOMPARE(QUrl(fileManager.receivedUris().first()).toLocalFile(), path);
            QCOMPARE(Settings::videoFileAction(), 2);
        } else {
            QCOMPARE(service.completeCount(), 1);
            const TestService::Request request = service.uploads().first();
            QCOMPARE(request.method, QByteArray("PUT"));
            QVERIFY(request.target.endsWith(".mp4"));
            const QStringList renamed = capturesLeft();
            QCOMPARE(renamed.size(), 1);
            QFile sent(QDir(capturesFolder()).filePath(renamed.first()));
            QVERIFY(sent.open(QIODevice::ReadOnly));
            QVERIFY(request.body == sent.readAll());
            QCOMPARE(QSettings("Snaplark", "Snaplark").value("VideoFileAction").toInt(), 1);
        }
    }

    // Without ffmpeg the library refuses: the error box says so, and the run ends with 0, leaving
    // no empty file.
    void withoutFfmpeg()
    {
        // the path's programs, ffmpeg left out
        const QString bin = m_scratch + "/no-ffmpeg";
        QVERIFY(QDir().mkpath(bin));
        for (const QFileInfo &program : QDir("/usr/bin").entryInfoList(QDir::Files | QDir::System))
            if (program.fileName() != "ffmpeg")
                QFile::link(program.absoluteFilePath(), bin + '/' + program.fileName());
        QFile::link(m_scratch + "/standin/xdg-open", bin + "/xdg-open");
        QProcessEnvironment environment = m_environment;
        environment.insert("PATH", bin);
        ChangingWindow application(kSelection, kColours);
        application.show();
        QVERIFY(QTest::qWaitForWindowExposed(&application));

        QVERIFY2(startRecording(environment, 1.0, kSelection, &application), qPrintable(m_run->log()));
        const qulonglong box = waitForWindowNamed(kErrorTitle, 20000);
        QVERIFY2(box, qPrintable(m_run->log()));
        QVERIFY(windowsNamed(kBorderTitle).isEmpty() && windowsNamed(kRecordTitle).isEmpty());
        application.hide();
        QVERIFY(click(windowGeometry(box).topLeft() + QPoint(409 + 10, 1 + 10))); // btnClose
        QVERIFY2(m_run->waitForFinished(10000), qPrintable(m_run->log()));
        QCOMPARE(m_run->exitStatus(), QProcess::NormalExit);
        QCOMPARE(m_run->exitCode(), 0);
        // what the box said goes to the log as well
        QVERIFY2(m_run->log().contains("Can't start video capturing!"), qPrintable(m_run->log()));
        QCOMPARE(capturesLeft(), QStringList());
    }

    // A program killed while recording leaves no ffmpeg behind, and what was recorded is a
    // playable file.
    void killedWhileRecording()
    {
        ChangingWindow application(kSelection, kColours);
        application.show();
        QVERIFY(QTest::qWaitForWindowExposed(&application));
        QVERIFY2(startRecording(m_environment, 1.0, kSelection, &application), qPrintable(m_run->log()));
        QVERIFY2(m_run->waitForLog("Video recording started", 20000), qPrintable(m_run->log()));
        // ffmpeg runs under a keeper process of the program's
        const QByteArray children = tool("pgrep", {"-P", QString::number(m_run->pid())}).trimmed();
        const QList<QByteArray> found =
            tool("pgrep", {"-x", "-P", QString::fromLatin1(children).replace('\n', ','), "ffmpeg"}).trimmed().split('\n');
        QCOMPARE(found.size(), 1);
        const qint64 ffmpeg = found.first().toLongLong();
        QVERIFY(ffmpeg > 0);
        QTest::qWait(kSeconds * 1000);

        QVERIFY(::kill(pid_t(m_run->pid()), SIGKILL) == 0);
        QVERIFY(m_run->waitForFinished(5000));
        QVERIFY2(waitUntil([&] { return isGone(ffmpeg); }, 15000), "ffmpeg still runs");
        const QStringList files = capturesLeft();
        QCOMPARE(files.size(), 1);
        const Probe file = probe(QDir(capturesFolder()).filePath(files.first()));
        QCOMPARE(file.video, QString("h264 302x202"));
        QVERIFY2(file.frames >= kRate * kSeconds * 0.8, qPrintable(durationText(file, kSeconds, kSeconds)));
    }

    // A window is recorded as it is, at once: no countdown, no border.
    void window()
    {
        Extension::reloadForTesting(SNAPLARK_BIN_DIR);
        ChangingWindow application(QRect(200, 150, 320, 240), kColours);
        application.show();
        QVERIFY(QTest::qWaitForWindowExposed(&application));
        RunObserver run;
        VideoSelection selection;
        selection.kind = 0;
        selection.windowHandle = int(application.winId());
        QElapsedTimer whole;
        whole.start();
        VideoCapture capture;
        QVERIFY(capture.isReady());
        capture.start(selection);
        QVERIFY(capture.isRecording());
        QCOMPARE(run.dialogs, QStringList());
        QVERIFY(!capture.border()->isVisible());
        QElapsedTimer running;
        running.start();
        QTest::qWait(kSeconds * 1000);
        capture.recordWindow()->findChild<QPushButton *>("btnStop")->click();
        const double least = running.elapsed() / 1000.0, most = whole.elapsed() / 1000.0;
        QCOMPARE(run.dialogs, QStringList{kCompleteTitle});

        const Probe file = probe(capture.path());
        QCOMPARE(file.video, QString("h264 320x240"));
        QVERIFY2(file.duration >= 0.8 * least && file.duration <= 1.2 * most, qPrintable(durationText(file, least, most)));
        const QImage first = firstFrame(capture.path(), m_scratch + "/window.png");
        QVERIFY(isApplicationColour(first.pixel(0, 0)) && isApplicationColour(first.pixel(319, 239)));
        QFile::remove(capture.path());
    }
};

QTEST_MAIN(TestVideoRecording)
#include "tst_videorecording.moc"

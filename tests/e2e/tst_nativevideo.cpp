#include "desktopdriver.h"
#include "extension/extension.h"
#include "processdriver.h"

#include <QDir>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QWidget>
#include <QtTest>

#include <unistd.h>

// Video recording by the real extension library through the ffmpeg program,
// checked with ffprobe as an independent reader of the files.
namespace {

constexpr int kRate = 10;

struct Probe
{
    QString videoCodec;
    QString pixelFormat;
    QSize size;
    int frames = 0;
    double duration = 0;
    QString audioCodec;
};

Probe probe(const QString &path)
{
    QProcess ffprobe;
    ffprobe.start("ffprobe", {"-v", "error", "-count_frames", "-show_entries",
                              "stream=codec_type,codec_name,width,height,pix_fmt,nb_read_frames", "-show_entries",
                              "format=duration", "-of", "json", path});
    Probe result;
    if (!ffprobe.waitForFinished(30000) || ffprobe.exitCode() != 0)
        return result;
    const QJsonObject info = QJsonDocument::fromJson(ffprobe.readAllStandardOutput()).object();
    for (const QJsonValue &value : info.value("streams").toArray()) {
        const QJsonObject stream = value.toObject();
        if (stream.value("codec_type").toString() == "video") {
            result.videoCodec = stream.value("codec_name").toString();
            result.pixelFormat = stream.value("pix_fmt").toString();
            result.size = QSize(stream.value("width").toInt(), stream.value("height").toInt());
            result.frames = stream.value("nb_read_frames").toString().toInt();
        } else if (stream.value("codec_type").toString() == "audio") {
            result.audioCodec = stream.value("codec_name").toString();
        }
    }
    result.duration = info.value("format").toObject().value("duration").toString().toDouble();
    return result;
}

// Children of this process that are (or were, as zombies) ffmpeg.
int ffmpegChildren()
{
    int count = 0;
    for (const QString &pid : QDir("/proc").entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile stat("/proc/" + pid + "/stat");
        const QString line = stat.open(QIODevice::ReadOnly) ? QString::fromLatin1(stat.readAll()) : QString();
        // "pid (name) state parent ..."
        if (line.contains("(ffmpeg)") && line.section(')', -1).split(' ').value(2) == QString::number(::getpid()))
            ++count;
    }
    return count;
}

// The times around one recording: how long it surely ran (from Start's
// return to Stop's call) and at most (from Start's call to Stop's return).
struct Recorded
{
    bool started = false;
    double least = 0;
    double most = 0;
};

Recorded record(bool fullScreen, const QRect &region, int window, const QString &path, int seconds,
                bool sound = false, int rate = kRate)
{
    Recorded recorded;
    QElapsedTimer whole;
    whole.start();
    recorded.started = Extension::startVideoCapture(fullScreen, region, window, path, rate, sound);
    if (!recorded.started)
        return recorded;
    QElapsedTimer running;
    running.start();
    QTest::qWait(seconds * 1000);
    recorded.least = running.elapsed() / 1000.0;
    Extension::stopVideoCapture();
    recorded.most = whole.elapsed() / 1000.0;
    return recorded;
}

} // namespace

class TestNativeVideo : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase() { Extension::reloadForTesting(QString()); }
    void cleanup();

    void recordings_data();
    void recordings();
    void lowFrameRateStopsAtOnce();
    void soundFromServer();
    void refusals();

private:
    QTemporaryDir m_dir;
};

void TestNativeVideo::initTestCase()
{
    QVERIFY2(QFile::exists(SNAPLARK_BIN_DIR "/libExtension.so"), "libExtension.so not built");
    QVERIFY(!QStandardPaths::findExecutable("ffprobe").isEmpty());
    QVERIFY(m_dir.isValid());
    Extension::reloadForTesting(SNAPLARK_BIN_DIR);
    QVERIFY(Extension::videoAvailable());
    // no sound server unless a test starts one
    qputenv("PULSE_SERVER", "unix:" + QFile::encodeName(m_dir.filePath("no-sound-server")));
}

void TestNativeVideo::cleanup()
{
    // whatever a test did, no ffmpeg is left running or unreaped
    Extension::stopVideoCapture();
    QCOMPARE(ffmpegChildren(), 0);
}

void TestNativeVideo::recordings_data()
{
    QTest::addColumn<bool>("fullScreen");
    QTest::addColumn<QRect>("region");
    QTest::addColumn<bool>("window");
    QTest::addColumn<bool>("sound");
    QTest::addColumn<QSize>("expected");

    QTest::newRow("full screen") << true << QRect() << false << false << QSize(1280, 800);
    QTest::newRow("window") << false << QRect() << true << false << QSize();
    // an odd size grows by a pixel where the screen has room, else takes one
    // more on the left; a region partly off the screen is cut to it
    QTest::newRow("region") << false << QRect(101, 51, 301, 201) << false << false << QSize(302, 202);
    QTest::newRow("odd region at the corner") << false << QRect(979, 599, 301, 201) << false << false << QSize(302, 202);
    QTest::newRow("region partly off the screen") << false << QRect(1100, 700, 400, 300) << false << false << QSize(180, 100);
    // with no sound server the recording goes on without sound
    QTest::newRow("sound, no server") << false << QRect(0, 0, 200, 100) << false << true << QSize(200, 100);
}

void TestNativeVideo::recordings()
{
    QFETCH(bool, fullScreen);
    QFETCH(QRect, region);
    QFETCH(bool, window);
    QFETCH(bool, sound);
    QFETCH(QSize, expected);

    QWidget shown;
    shown.setGeometry(150, 120, 321, 201);
    shown.show();
    shown.activateWindow();
    QVERIFY(QTest::qWaitForWindowExposed(&shown));
    QRect frame;
    int handle = 0;
    QTRY_VERIFY(Extension::getActiveWindowRect(&frame, &handle) && handle == int(shown.winId()));
    if (window)
        expected = frame.size() + QSize(frame.width() % 2, frame.height() % 2);

    const QString path = m_dir.filePath(QTest::currentDataTag() + QStringLiteral(" ä.mp4"));
    const Recorded recorded = record(fullScreen, region, window ? handle : 0, path, 3, sound);
    QVERIFY(recorded.started);
    QCOMPARE(ffmpegChildren(), 0);

    const Probe file = probe(path);
    QCOMPARE(file.videoCodec, QString("h264"));
    QCOMPARE(file.pixelFormat, QString("yuv420p"));
    QCOMPARE(file.size, expected);
    QVERIFY(file.audioCodec.isEmpty());
    const QByteArray times = QString("duration %1 s, recorded %2 to %3 s, %4 frames")
                                 .arg(file.duration).arg(recorded.least).arg(recorded.most).arg(file.frames).toLatin1();
    QVERIFY2(file.duration >= 0.8 * recorded.least && file.duration <= 1.2 * recorded.most, times);
    QVERIFY2(qAbs(file.frames - kRate * file.duration) <= 0.2 * kRate * file.duration, times);
}

void TestNativeVideo::lowFrameRateStopsAtOnce()
{
    // "Low quality": a frame a second, and no waiting for many frames first
    const QString path = m_dir.filePath("one a second.mp4");
    const Recorded recorded = record(false, QRect(40, 30, 200, 100), 0, path, 3, false, 1);
    QVERIFY(recorded.started);
    QVERIFY2(recorded.most - recorded.least < 3, QByteArray::number(recorded.most));
    const Probe file = probe(path);
    QCOMPARE(file.size, QSize(200, 100));
    QVERIFY2(file.frames >= 3 && file.frames <= 6, QByteArray::number(file.frames));
}

void TestNativeVideo::soundFromServer()
{
    if (QStandardPaths::findExecutable("pulseaudio").isEmpty())
        QSKIP("pulseaudio is not installed");
    QTemporaryDir runtime;
    QVERIFY(runtime.isValid());
    const QString socket = runtime.filePath("native");
    QProcess server;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("HOME", runtime.path());
    environment.insert("XDG_RUNTIME_DIR", runtime.path());
    environment.insert("XDG_CONFIG_HOME", runtime.filePath("config"));
    server.setProcessEnvironment(environment);
    server.setProcessChannelMode(QProcess::MergedChannels);
    server.start("pulseaudio", {"-n", "--daemonize=no", "--exit-idle-time=-1", "--disable-shm", "-L",
                                "module-native-protocol-unix auth-anonymous=1 socket=" + socket, "-L",
                                "module-null-sink sink_name=snaplark_test"});
    auto stop = qScopeGuard([&] {
        server.terminate();
        if (!server.waitForFinished(5000)) {
            server.kill();
            server.waitForFinished(5000);
        }
    });
    if (!server.waitForStarted(5000) || !waitUntil([&] { return QFile::exists(socket); }, 10000))
        QSKIP(qPrintable("pulseaudio does not run here: " + server.readAll()));

    const QByteArray noServer = qgetenv("PULSE_SERVER");
    qputenv("PULSE_SERVER", "unix:" + QFile::encodeName(socket));
    const QString path = m_dir.filePath("with sound.mp4");
    const Recorded recorded = record(false, QRect(0, 0, 200, 100), 0, path, 2, true);
    qputenv("PULSE_SERVER", noServer);
    QVERIFY(recorded.started);
    const Probe file = probe(path);
    QCOMPARE(file.videoCodec, QString("h264"));
    QCOMPARE(file.audioCodec, QString("aac"));
}

void TestNativeVideo::refusals()
{
    const QString path = m_dir.filePath("refused.mp4");
    const QRect region(0, 0, 100, 100);

    // one recording at a time; stopping with nothing recording returns at once
    const QString first = m_dir.filePath("first.mp4");
    QVERIFY(Extension::startVideoCapture(false, region, 0, first, kRate, false));
    QVERIFY(!Extension::startVideoCapture(true, QRect(), 0, path, kRate, false));
    Extension::stopVideoCapture();
    QCOMPARE(probe(first).size, QSize(100, 100));
    QElapsedTimer timer;
    timer.start();
    Extension::stopVideoCapture();
    QVERIFY(timer.elapsed() < 500);

    auto *gone = new QWidget;
    gone->show();
    QVERIFY(QTest::qWaitForWindowExposed(gone));
    const int vanished = int(gone->winId());
    delete gone;
    QVERIFY(waitUntil([&] { return Desktop::tool("xwininfo", {"-id", QString::number(vanished)}).isNull(); }, 5000));
    QVERIFY(!Extension::startVideoCapture(false, QRect(), vanished, path, kRate, false));
    QVERIFY(!Extension::startVideoCapture(false, QRect(1400, 900, 100, 100), 0, path, kRate, false));
    // ffmpeg fails at once: the folder does not exist
    QVERIFY(!Extension::startVideoCapture(false, region, 0, m_dir.filePath("no/such/dir.mp4"), kRate, false));
    QCOMPARE(ffmpegChildren(), 0);

    const QByteArray searchPath = qgetenv("PATH");
    qputenv("PATH", QFile::encodeName(m_dir.filePath("empty")));
    const bool withoutFfmpeg = Extension::startVideoCapture(false, region, 0, path, kRate, true);
    qputenv("PATH", searchPath);
    QVERIFY(!withoutFfmpeg);
    QVERIFY(!QFile::exists(path));
}

QTEST_MAIN(TestNativeVideo)
#include "tst_nativevideo.moc"

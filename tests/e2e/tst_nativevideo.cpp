#include "extension/extension.h"

#include <QDir>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
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
                              "stream=codec_type,codec_name,width,height,pix_fmt,nb_read_frames",
                              "-show_entries", "format=duration", "-of", "json", path});
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
    const QString me = QString::number(::getpid());
    for (const QString &pid : QDir("/proc").entryList(QDir::Dirs)) {
        QFile stat("/proc/" + pid + "/stat");
        if (!stat.open(QIODevice::ReadOnly))
            continue;
        const QString line = QString::fromLatin1(stat.readAll());
        const int close = line.lastIndexOf(')');
        const QStringList fields = line.mid(close + 2).split(' ');
        if (line.contains("(ffmpeg)") && fields.value(1) == me)
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

Recorded record(bool fullScreen, const QRect &region, int window, const QString &path,
                int seconds, bool sound = false, int rate = kRate)
{
    Recorded recorded;
    QElapsedTimer whole;
    whole.start();
    recorded.started =
        Extension::startVideoCapture(fullScreen, region, window, path, rate, sound);
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

class Shown : public QWidget
{
public:
    Shown()
    {
        setWindowTitle("SnaplarkRecordedWindow");
        setGeometry(150, 120, 321, 201);
        setStyleSheet("background: #3070c0;");
    }
};

} // namespace

class TestNativeVideo : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void cleanup();

    void recordings_data();
    void recordings();
    void fittedToTheScreen_data();
    void fittedToTheScreen();
    void lowFrameRate();
    void soundWithoutServerRecordsSilently();
    void soundFromServer();
    void oneRecordingAtATime();
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

void TestNativeVideo::cleanupTestCase()
{
    Extension::reloadForTesting(QString());
}

void TestNativeVideo::cleanup()
{
    // whatever a test did, no ffmpeg is left running or unreaped
    Extension::stopVideoCapture();
    QCOMPARE(ffmpegChildren(), 0);
}

void TestNativeVideo::recordings_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("region") << "region";
    QTest::newRow("full screen") << "full screen";
    QTest::newRow("window") << "window";
}

void TestNativeVideo::recordings()
{
    QFETCH(QString, kind);

    Shown window;
    window.show();
    window.activateWindow();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QRect frame;
    int handle = 0;
    QTRY_VERIFY(Extension::getActiveWindowRect(&frame, &handle) && handle == int(window.winId()));

    const QString path = m_dir.filePath(kind + " ä.mp4");
    Recorded recorded;
    QSize expected;
    if (kind == "region") {
        // an odd size grows by a pixel, as the screen has room
        recorded = record(false, QRect(101, 51, 301, 201), 0, path, 3);
        expected = QSize(302, 202);
    } else if (kind == "full screen") {
        recorded = record(true, QRect(), 0, path, 3);
        expected = QSize(1280, 800);
    } else {
        recorded = record(false, QRect(), handle, path, 3);
        expected = frame.size();
    }
    QVERIFY(recorded.started);
    QCOMPARE(ffmpegChildren(), 0);

    const Probe file = probe(path);
    QCOMPARE(file.videoCodec, QString("h264"));
    QCOMPARE(file.pixelFormat, QString("yuv420p"));
    QVERIFY2(file.size.width() % 2 == 0 && file.size.height() % 2 == 0,
             qPrintable(QString("%1x%2").arg(file.size.width()).arg(file.size.height())));
    QVERIFY(qAbs(file.size.width() - expected.width()) <= 1);
    QVERIFY(qAbs(file.size.height() - expected.height()) <= 1);
    QVERIFY(file.audioCodec.isEmpty());
    const QByteArray times = QString("duration %1 s, recorded %2 to %3 s, %4 frames")
                                 .arg(file.duration)
                                 .arg(recorded.least)
                                 .arg(recorded.most)
                                 .arg(file.frames)
                                 .toLatin1();
    qDebug("%s", times.constData());
    QVERIFY2(file.duration >= 0.8 * recorded.least && file.duration <= 1.2 * recorded.most,
             times);
    QVERIFY2(qAbs(file.frames - kRate * file.duration) <= 0.2 * kRate * file.duration, times);
}

void TestNativeVideo::fittedToTheScreen_data()
{
    QTest::addColumn<QRect>("region");
    QTest::addColumn<QSize>("expected");

    // at the screen's edge an odd size cannot grow, so it takes a pixel more on the left
    QTest::newRow("odd at the corner") << QRect(979, 599, 301, 201) << QSize(302, 202);
    QTest::newRow("partly off the screen") << QRect(1100, 700, 400, 300) << QSize(180, 100);
}

void TestNativeVideo::fittedToTheScreen()
{
    QFETCH(QRect, region);
    QFETCH(QSize, expected);

    const QString path = m_dir.filePath(QString("fitted %1.mp4").arg(QTest::currentDataTag()));
    QVERIFY(record(false, region, 0, path, 1).started);
    QCOMPARE(probe(path).size, expected);
}

void TestNativeVideo::lowFrameRate()
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

void TestNativeVideo::soundWithoutServerRecordsSilently()
{
    const QString path = m_dir.filePath("no sound server.mp4");
    QVERIFY(record(false, QRect(0, 0, 200, 100), 0, path, 1, true).started);
    const Probe file = probe(path);
    QCOMPARE(file.videoCodec, QString("h264"));
    QVERIFY(file.audioCodec.isEmpty());
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
    server.start("pulseaudio",
                 {"-n", "--daemonize=no", "--exit-idle-time=-1", "--disable-shm",
                  "-L", "module-native-protocol-unix auth-anonymous=1 socket=" + socket,
                  "-L", "module-null-sink sink_name=snaplark_test"});
    auto stop = qScopeGuard([&] {
        server.terminate();
        if (!server.waitForFinished(5000)) {
            server.kill();
            server.waitForFinished(5000);
        }
    });
    if (!server.waitForStarted(5000)
        || !QTest::qWaitFor([&] { return QFile::exists(socket); }, 10000))
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

void TestNativeVideo::oneRecordingAtATime()
{
    const QString first = m_dir.filePath("first.mp4");
    const QString second = m_dir.filePath("second.mp4");
    QVERIFY(Extension::startVideoCapture(false, QRect(0, 0, 100, 100), 0, first, kRate, false));
    QVERIFY(!Extension::startVideoCapture(true, QRect(), 0, second, kRate, false));
    QTest::qWait(500);
    Extension::stopVideoCapture();
    QVERIFY(!QFile::exists(second));
    QCOMPARE(probe(first).size, QSize(100, 100));

    // stopping again, with nothing recording, returns at once
    QElapsedTimer timer;
    timer.start();
    Extension::stopVideoCapture();
    QVERIFY(timer.elapsed() < 500);
}

void TestNativeVideo::refusals()
{
    const QString path = m_dir.filePath("refused.mp4");
    const QRect region(0, 0, 100, 100);

    auto *gone = new QWidget;
    gone->show();
    QVERIFY(QTest::qWaitForWindowExposed(gone));
    const int vanished = int(gone->winId());
    delete gone;
    QTest::qWait(200);
    QVERIFY(!Extension::startVideoCapture(false, QRect(), vanished, path, kRate, false));

    QVERIFY(!Extension::startVideoCapture(false, QRect(1400, 900, 100, 100), 0, path, kRate, false));
    QVERIFY(!Extension::startVideoCapture(false, QRect(10, 10, 0, 50), 0, path, kRate, false));
    QVERIFY(!Extension::startVideoCapture(false, region, 0, path, 0, false));
    QVERIFY(!Extension::startVideoCapture(false, region, 0, QString(), kRate, false));

    // ffmpeg fails at once: the folder does not exist
    QElapsedTimer timer;
    timer.start();
    QVERIFY(!Extension::startVideoCapture(false, region, 0, m_dir.filePath("no/such/dir.mp4"),
                                          kRate, false));
    QCOMPARE(ffmpegChildren(), 0);

    const QByteArray searchPath = qgetenv("PATH");
    qputenv("PATH", QFile::encodeName(m_dir.filePath("empty")));
    const bool withoutFfmpeg =
        Extension::startVideoCapture(false, region, 0, path, kRate, true);
    qputenv("PATH", searchPath);
    QVERIFY(!withoutFfmpeg);

    const QByteArray display = qgetenv("DISPLAY");
    qputenv("DISPLAY", ":4093");
    const bool withoutDisplay = Extension::startVideoCapture(true, QRect(), 0, path, kRate, false);
    qputenv("DISPLAY", display);
    QVERIFY(!withoutDisplay);
    QVERIFY(!QFile::exists(path));
    QVERIFY2(timer.elapsed() < 15000, QByteArray::number(timer.elapsed()));
}

QTEST_MAIN(TestNativeVideo)
#include "tst_nativevideo.moc"

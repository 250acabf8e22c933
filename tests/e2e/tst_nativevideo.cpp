#include "desktopdriver.h"
#include "extension/extension.h"
#include "processdriver.h"

#include <QWidget>
#include <QtTest>

#include <unistd.h>

// Video recording by the real extension library through the ffmpeg program,
// checked with ffprobe as an independent reader of the files.
namespace {

constexpr int kRate = 10;
enum Sound { Off, NoServer, NullSink };

struct Probe
{
    QStringList streams; // "codec pixel-format WxH" for video, "codec" for audio; sorted
    int frames = 0;
    double duration = 0;
};

Probe probe(const QString &path)
{
    const QStringList arguments{"-v", "error", "-count_frames", "-show_entries",
                                "stream=codec_type,codec_name,width,height,pix_fmt,nb_read_frames:format=duration",
                                "-of", "json", path};
    const QJsonObject info = QJsonDocument::fromJson(Desktop::tool("ffprobe", arguments, 30000)).object();
    Probe result;
    for (const QJsonValue &value : info.value("streams").toArray()) {
        const auto text = [&](const char *key) { return value.toObject().value(key).toVariant().toString(); };
        if (text("codec_type") == "video") {
            result.streams +=
                QString("%1 %2 %3x%4").arg(text("codec_name"), text("pix_fmt"), text("width"), text("height"));
            result.frames = text("nb_read_frames").toInt();
        } else {
            result.streams += text("codec_name");
        }
    }
    result.streams.sort();
    result.duration = info.value("format").toObject().value("duration").toString().toDouble();
    return result;
}

// Processes under this one that are (or were, as zombies) ffmpeg: the library runs the recording's
// ffmpeg under a keeper process of its own, the sound check's directly.
int ffmpegChildren()
{
    QString parents = QString::number(::getpid());
    const QByteArray children = Desktop::tool("pgrep", {"-P", parents}).trimmed();
    if (!children.isEmpty())
        parents += ',' + QString::fromLatin1(children).replace('\n', ',');
    return Desktop::tool("pgrep", {"-c", "-x", "-P", parents, "ffmpeg"}).trimmed().toInt();
}

} // namespace

class TestNativeVideo : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    // How long the last recording surely ran (from Start's return to Stop's
    // call) and at most (from Start's call to Stop's return), in seconds.
    double m_least = 0, m_most = 0;

    // A null region and no window record the full screen.  False when it did not
    // start, or when a second recording was let in meanwhile.
    bool record(const QRect &region, int window, const QString &path, int seconds, bool sound, int rate = kRate)
    {
        QElapsedTimer whole, running;
        whole.start();
        if (!Extension::startVideoCapture(region.isNull() && !window, region, window, path, rate, sound)
            || Extension::startVideoCapture(true, QRect(), 0, path + ".second.mp4", rate, false))
            return false;
        running.start();
        QTest::qWait(seconds * 1000);
        m_least = running.elapsed() / 1000.0;
        Extension::stopVideoCapture();
        m_most = whole.elapsed() / 1000.0;
        return true;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        Extension::reloadForTesting(SNAPLARK_BIN_DIR);
        QVERIFY2(Extension::videoAvailable(), "libExtension.so not built");
        // no sound server there unless a test starts one
        qputenv("PULSE_SERVER", "unix:" + QFile::encodeName(m_dir.filePath("pulse")));
    }
    void cleanup()
    {
        // whatever a test did, no ffmpeg is left running or unreaped
        Extension::stopVideoCapture();
        QCOMPARE(ffmpegChildren(), 0);
    }

    void recordings_data()
    {
        QTest::addColumn<QRect>("region");
        QTest::addColumn<bool>("window");
        QTest::addColumn<int>("sound");
        QTest::addColumn<QString>("size");

        QTest::newRow("full screen") << QRect() << false << int(Off) << "1280x800";
        QTest::newRow("window") << QRect() << true << int(Off) << QString();
        // an odd size grows by a pixel where the screen has room, else takes one
        // more on the left; a region partly off the screen is cut to it
        QTest::newRow("region") << QRect(101, 51, 301, 201) << false << int(Off) << "302x202";
        QTest::newRow("odd region at the corner") << QRect(979, 599, 301, 201) << false << int(Off) << "302x202";
        QTest::newRow("region partly off the screen") << QRect(1100, 700, 400, 300) << false << int(Off) << "180x100";
        // with no sound server the recording goes on without sound
        QTest::newRow("sound, no server") << QRect(0, 0, 200, 100) << false << int(NoServer) << "200x100";
        QTest::newRow("sound from a null sink") << QRect(0, 0, 200, 100) << false << int(NullSink) << "200x100";
    }

    void recordings()
    {
        QFETCH(QRect, region);
        QFETCH(bool, window);
        QFETCH(int, sound);
        QFETCH(QString, size);

        QWidget shown;
        shown.setGeometry(150, 120, 321, 201);
        shown.show();
        shown.activateWindow();
        QRect frame;
        int handle = 0;
        QTRY_VERIFY(Extension::getActiveWindowRect(&frame, &handle) && handle == int(shown.winId()));
        if (window)
            size = QString("%1x%2").arg(frame.width() + frame.width() % 2).arg(frame.height() + frame.height() % 2);
        ProgramRun server("pulseaudio", m_dir.filePath("pulseaudio.log"));
        if (sound == NullSink) {
            const QString socket = m_dir.filePath("pulse");
            if (!server.start({"-n", "--daemonize=no", "--exit-idle-time=-1", "--disable-shm", "-L",
                               "module-native-protocol-unix auth-anonymous=1 socket=" + socket, "-L",
                               "module-null-sink sink_name=snaplark_test"})
                || !waitUntil([&] { return QFile::exists(socket); }, 10000))
                QSKIP(qPrintable("pulseaudio does not run here: " + server.log()));
        }

        const QString path = m_dir.filePath(QTest::currentDataTag() + QStringLiteral(" ä.mp4"));
        QVERIFY(record(region, window ? handle : 0, path, 3, sound != Off));
        QCOMPARE(ffmpegChildren(), 0);
        const Probe file = probe(path);
        const QString video = "h264 yuv420p " + size;
        QCOMPARE(file.streams, sound == NullSink ? QStringList({"aac", video}) : QStringList(video));
        const QByteArray times = QString("duration %1 s, recorded %2 to %3 s, %4 frames")
                                     .arg(file.duration).arg(m_least).arg(m_most).arg(file.frames).toLatin1();
        QVERIFY2(file.duration >= 0.8 * m_least && file.duration <= 1.2 * m_most, times);
        QVERIFY2(qAbs(file.frames - kRate * file.duration) <= 0.2 * kRate * file.duration, times);
    }

    void lowFrameRateStopsAtOnce()
    {
        // "Low quality": a frame a second, and no waiting for many frames first
        const QString path = m_dir.filePath("one a second.mp4");
        QVERIFY(record(QRect(40, 30, 200, 100), 0, path, 3, false, 1));
        QVERIFY2(m_most - m_least < 3, QByteArray::number(m_most));
        const Probe file = probe(path);
        QCOMPARE(file.streams, QStringList("h264 yuv420p 200x100"));
        QVERIFY2(file.frames >= 3 && file.frames <= 6, QByteArray::number(file.frames));
        // with nothing recording, at once
        const qint64 before = QDateTime::currentMSecsSinceEpoch();
        Extension::stopVideoCapture();
        QVERIFY(QDateTime::currentMSecsSinceEpoch() - before < 500);
    }

    void refusals()
    {
        const QString path = m_dir.filePath("refused.mp4");
        const QRect region(0, 0, 100, 100);
        // a window made on the server and destroyed again
        const int vanished = [] { QWidget gone; return int(gone.winId()); }();
        QTRY_VERIFY(Desktop::tool("xwininfo", {"-id", QString::number(vanished)}).isNull());
        QVERIFY(!Extension::startVideoCapture(false, QRect(), vanished, path, kRate, false));
        QVERIFY(!Extension::startVideoCapture(false, QRect(1400, 900, 100, 100), 0, path, kRate, false));
        // ffmpeg fails at once: the folder does not exist
        QVERIFY(!Extension::startVideoCapture(false, region, 0, m_dir.filePath("no/such/dir.mp4"), kRate, false));
        QCOMPARE(ffmpegChildren(), 0);

        const QByteArray searchPath = qgetenv("PATH");
        qputenv("PATH", QFile::encodeName(m_dir.filePath("empty")));
        const bool withoutFfmpeg = Extension::startVideoCapture(false, region, 0, path, kRate, true);
        qputenv("PATH", searchPath);
        QVERIFY(!withoutFfmpeg && !QFile::exists(path));
    }
};

QTEST_MAIN(TestNativeVideo)
#include "tst_nativevideo.moc"

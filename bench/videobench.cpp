// Video recording: a 1280x720 region recorded through the extension library
// (the program's way: StartVideoCapture, StopVideoCapture) and by a plain
// `ffmpeg -f x11grab` of the same region with the same encoder settings, at
// 10 and 30 frames per second, in one run.  Reported: the frames in each file
// against rate x seconds recorded, and the CPU time of the recording (the
// library's ffmpeg plus the calling process) against the plain ffmpeg's.
// The region shows a window that changes 30 times a second, drawn by a
// second copy of this program, so that neither CPU time counts its drawing.
//   videobench [seconds]      (on an X display; videobench animate: the window)
#include "extension/extension.h"

#include <QApplication>
#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPainter>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <QWidget>

#include <cstdio>

#include <sys/resource.h>

namespace {

const QRect kRegion(64, 40, 1280, 720);

// Moving bars and a counter: every frame differs from the last everywhere.
class Animation : public QWidget
{
public:
    Animation()
        : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint | Qt::X11BypassWindowManagerHint)
    {
        setAttribute(Qt::WA_OpaquePaintEvent);
        setGeometry(kRegion);
        QObject::connect(&m_timer, &QTimer::timeout, this, [this] {
            ++m_frame;
            update();
        });
        m_timer.start(33);
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        QLinearGradient sky(0, 0, width(), height());
        sky.setColorAt(0, QColor::fromHsv(m_frame * 3 % 360, 160, 200));
        sky.setColorAt(1, QColor::fromHsv((m_frame * 3 + 120) % 360, 160, 120));
        painter.fillRect(rect(), sky);
        for (int bar = 0; bar < 12; ++bar)
            painter.fillRect((bar * 120 + m_frame * 7) % width(), 0, 40, height(), QColor(255, 255, 255, 60));
        painter.setFont(QFont(QStringLiteral("DejaVu Sans"), 48));
        painter.drawText(rect(), Qt::AlignCenter, QString::number(m_frame));
    }

private:
    QTimer m_timer;
    int m_frame = 0;
};

double cpuSeconds(int who)
{
    rusage usage{};
    getrusage(who, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

struct Result
{
    int frames = 0;
    double seconds = 0; // wall time recorded
    double cpu = 0;
};

int countFrames(const QString &path)
{
    QProcess probe;
    probe.start(QStringLiteral("ffprobe"), {"-v", "error", "-count_frames", "-select_streams", "v", "-show_entries",
                                            "stream=nb_read_frames", "-of", "json", path});
    probe.waitForFinished(60000);
    const QJsonObject info = QJsonDocument::fromJson(probe.readAllStandardOutput()).object();
    return info.value("streams").toArray().first().toObject().value("nb_read_frames").toVariant().toInt();
}

Result throughLibrary(const QString &path, int rate, int seconds)
{
    Result result;
    const double children = cpuSeconds(RUSAGE_CHILDREN), self = cpuSeconds(RUSAGE_SELF);
    if (!Extension::startVideoCapture(false, kRegion, 0, path, rate, false))
        return result;
    QElapsedTimer wall;
    wall.start();
    QThread::sleep(seconds);
    result.seconds = wall.elapsed() / 1000.0;
    Extension::stopVideoCapture(); // reaps ffmpeg, whose time joins RUSAGE_CHILDREN
    result.cpu = cpuSeconds(RUSAGE_CHILDREN) - children + cpuSeconds(RUSAGE_SELF) - self;
    result.frames = countFrames(path);
    return result;
}

Result plainFfmpeg(const QString &path, int rate, int seconds)
{
    Result result;
    const QString r = QString::number(rate);
    // the library's choice (native/src/video.c)
    const char *preset = qint64(kRegion.width()) * kRegion.height() * rate > 1280LL * 720 * 10 ? "superfast" : "veryfast";
    const QString input = QString::fromLocal8Bit(qgetenv("DISPLAY")) + QString("+%1,%2").arg(kRegion.x()).arg(kRegion.y());
    QProcess ffmpeg;
    const double children = cpuSeconds(RUSAGE_CHILDREN);
    ffmpeg.start(QStringLiteral("ffmpeg"),
                 {"-hide_banner", "-nostats", "-loglevel", "error", "-f", "x11grab", "-probesize", "32",
                  "-analyzeduration", "0", "-thread_queue_size", "512", "-framerate", r, "-video_size",
                  QString("%1x%2").arg(kRegion.width()).arg(kRegion.height()), "-i", input, "-r", r, "-c:v",
                  "libx264", "-preset", preset, "-pix_fmt", "yuv420p", "-movflags", "+faststart", "-f", "mp4",
                  "-y", path});
    if (!ffmpeg.waitForStarted())
        return result;
    QElapsedTimer wall;
    wall.start();
    QThread::sleep(seconds);
    ffmpeg.write("q");
    ffmpeg.waitForBytesWritten();
    result.seconds = wall.elapsed() / 1000.0;
    ffmpeg.waitForFinished(60000);
    result.cpu = cpuSeconds(RUSAGE_CHILDREN) - children;
    result.frames = countFrames(path);
    return result;
}

void report(const char *name, const Result &result, int rate)
{
    const double expected = rate * result.seconds;
    std::printf("  %-16s %4d frames of %5.0f expected (%5.1f %%), CPU %6.2f s\n", name, result.frames, expected,
                expected > 0 ? 100.0 * result.frames / expected : 0.0, result.cpu);
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    if (argc > 1 && QByteArray(argv[1]) == "animate") {
        Animation animation;
        animation.show();
        return app.exec();
    }
    const int seconds = argc > 1 ? QByteArray(argv[1]).toInt() : 8;
    Extension::reloadForTesting(QCoreApplication::applicationDirPath() + QStringLiteral("/../bin"));
    if (!Extension::videoAvailable()) {
        std::fprintf(stderr, "videobench: libExtension.so not found\n");
        return 2;
    }
    QTemporaryDir dir;
    QProcess animation;
    animation.start(QCoreApplication::applicationFilePath(), {"animate"});
    animation.waitForStarted();
    QThread::sleep(1); // mapped and drawing
    int status = 0;
    for (int rate : {10, 30}) {
        std::printf("%d frames per second, %dx%d, %d s:\n", rate, kRegion.width(), kRegion.height(), seconds);
        const Result library = throughLibrary(dir.filePath(QString("library%1.mp4").arg(rate)), rate, seconds);
        const Result plain = plainFfmpeg(dir.filePath(QString("plain%1.mp4").arg(rate)), rate, seconds);
        report("library", library, rate);
        report("plain ffmpeg", plain, rate);
        if (library.frames == 0 || plain.frames == 0)
            status = 1;
        else
            std::printf("  CPU time, library / plain ffmpeg: %.2fx\n", plain.cpu > 0 ? library.cpu / plain.cpu : 0.0);
        std::fflush(stdout);
    }
    animation.kill();
    animation.waitForFinished();
    return status;
}

// Times the shared-memory grab against Qt's screen grab of the whole virtual
// desktop, checks that both give the same pixels, and times the dimming that
// follows a grab.  Run it on a large display: bench/run-grab-bench.
#include "capture/capturestate.h"
#include "capture/screengeometry.h"
#include "capture/screengrabber.h"
#include "patternwindow.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QElapsedTimer>
#include <QGuiApplication>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

struct Timing
{
    double first = 0; // the first of the series: fresh memory, first use of MIT-SHM
    double mean = 0;
    double median = 0;
    double best = 0;
};

double timed(const std::function<void()> &work)
{
    QElapsedTimer timer;
    timer.start();
    work();
    return timer.nsecsElapsed() / 1e6;
}

Timing measure(int repeat, const std::function<void()> &work)
{
    Timing timing;
    // Each result is kept until the next one is made, so two buffers are in
    // use at a time; both are made before the series is timed.
    timing.first = timed(work);
    timed(work);
    std::vector<double> ms;
    for (int i = 0; i < repeat; ++i)
        ms.push_back(timed(work));
    for (double value : ms)
        timing.mean += value;
    timing.mean /= ms.size();
    std::sort(ms.begin(), ms.end());
    timing.best = ms.front();
    timing.median = ms.size() % 2 ? ms[ms.size() / 2] : (ms[ms.size() / 2 - 1] + ms[ms.size() / 2]) / 2;
    return timing;
}

void print(const char *name, const Timing &timing)
{
    std::printf("%-20s mean %8.2f ms  median %8.2f ms  best %8.2f ms  first %8.2f ms\n", name, timing.mean,
                timing.median, timing.best, timing.first);
}

qint64 differingPixels(const QImage &a, const QImage &b)
{
    if (a.size() != b.size())
        return qint64(a.width()) * a.height();
    qint64 count = 0;
    for (int y = 0; y < a.height(); ++y) {
        const QRgb *left = reinterpret_cast<const QRgb *>(a.constScanLine(y));
        const QRgb *right = reinterpret_cast<const QRgb *>(b.constScanLine(y));
        for (int x = 0; x < a.width(); ++x)
            count += left[x] != right[x];
    }
    return count;
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription("Screen grab benchmark");
    parser.addHelpOption();
    parser.addOption({{"n", "repeat"}, "Grabs per method (default 20).", "count", "20"});
    parser.process(app);
    const int repeat = qMax(1, parser.value("repeat").toInt());

    if (QGuiApplication::platformName() != QLatin1String("xcb")) {
        std::fprintf(stderr, "grabbench: needs an X11 display (platform is %s)\n", qPrintable(QGuiApplication::platformName()));
        return 2;
    }
    const QRect desktop = ScreenGeometry::virtualDesktopRect(ScreenGeometry::currentLayout());
    PatternWindow window(desktop);
    if (!window.showAndWait(20000)) {
        std::fprintf(stderr, "grabbench: the pattern window did not appear\n");
        return 2;
    }

    QPixmap keep;
    const Timing shm = measure(repeat, [&] { keep = ScreenGrabber::grab(desktop); });
    const Timing qt = measure(repeat, [&] { keep = ScreenGrabber::grabWithScreen(desktop); });
    const Timing dim = measure(qMax(1, repeat / 4), [&] { CaptureState::dim(keep); });

    const QImage fast = ScreenGrabber::grabSharedMemory(desktop);
    if (fast.isNull()) {
        std::fprintf(stderr, "grabbench: the display does not offer MIT-SHM grabs\n");
        return 2;
    }
    const QImage slow = ScreenGrabber::grabWithScreen(desktop).toImage().convertToFormat(QImage::Format_RGB32);
    const qint64 differing = differingPixels(fast, slow);
    const qint64 offPattern = differingPixels(fast, window.image());

    std::printf("display             %dx%d, pixmap depth %d\n", desktop.width(), desktop.height(), keep.depth());
    std::printf("grabs per method    %d after two warm-up grabs\n", repeat);
    print("MIT-SHM grab", shm);
    print("QScreen::grabWindow", qt);
    print("dimming", dim);
    std::printf("speed-up            %.1fx (means), %.1fx (medians)\n", qt.mean / shm.mean, qt.median / shm.median);
    std::printf("pixels identical    %s (%lld differing)\n", differing == 0 ? "yes" : "no", differing);
    std::printf("matches pattern     %s (%lld differing)\n", offPattern == 0 ? "yes" : "no", offPattern);
    return differing == 0 ? 0 : 1;
}

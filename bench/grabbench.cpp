// Times the shared-memory grab against Qt's screen grab of the whole virtual
// desktop, checks that both give the same pixels, and times the dimming that
// follows a grab.  Run it on a large display: bench/run-grab-bench.
#include "benchbackdrop.h"
#include "benchstats.h"
#include "core/capturestate.h"
#include "core/screengeometry.h"
#include "core/screengrabber.h"

#include <QApplication>
#include <QCommandLineParser>

#include <cstdio>
#include <functional>

namespace {

struct Timing
{
    double first = 0; // the first of the series: fresh memory, first use of MIT-SHM
    BenchStats::Series series;
};

Timing measure(int repeat, const std::function<void()> &work)
{
    Timing timing;
    // Each result is kept until the next one is made, so two buffers are in
    // use at a time; both are made before the series is timed.
    timing.first = BenchStats::elapsedMs(work);
    BenchStats::elapsedMs(work);
    for (int i = 0; i < repeat; ++i)
        timing.series.add(BenchStats::elapsedMs(work));
    return timing;
}

void print(const char *name, const Timing &timing)
{
    std::printf("%-20s mean %8.2f ms  median %8.2f ms  best %8.2f ms  first %8.2f ms\n", name, timing.series.mean(),
                timing.series.median(), timing.series.best(), timing.first);
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

    const QRect desktop = ScreenGeometry::virtualDesktopRect(ScreenGeometry::currentLayout());
    const std::unique_ptr<PatternWindow> window = showPatternBackdrop("grabbench", desktop);
    if (!window)
        return 2;

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
    const qint64 offPattern = differingPixels(fast, window->image());

    std::printf("display             %dx%d, pixmap depth %d\n", desktop.width(), desktop.height(), keep.depth());
    std::printf("grabs per method    %d after two warm-up grabs\n", repeat);
    print("MIT-SHM grab", shm);
    print("QScreen::grabWindow", qt);
    print("dimming", dim);
    const BenchStats::Ratios speedUp = BenchStats::ratios(qt.series, shm.series);
    std::printf("speed-up            %.1fx (means), %.1fx (medians)\n", speedUp.means, speedUp.medians);
    std::printf("pixels identical    %s (%lld differing)\n", differing == 0 ? "yes" : "no", differing);
    std::printf("matches pattern     %s (%lld differing)\n", offPattern == 0 ? "yes" : "no", offPattern);
    return differing == 0 ? 0 : 1;
}

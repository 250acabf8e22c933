// Times what one mouse move costs the overlay during a drag: the move event,
// the repaint it causes and the transfer to the X server, measured to the
// server's acknowledgement.  The baseline is the same drag with the whole
// window repainted on every move.  Run it on a large display: bench/run-all.
#include "benchbackdrop.h"
#include "benchstats.h"
#include "capture/overlaylogic.h"
#include "capture/wndmain.h"
#include "core/capturestate.h"
#include "core/screengeometry.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QMouseEvent>
#include <QX11Info>
#include <QtTest>

#include <xcb/xcb.h>

#include <cstdio>
#include <vector>

namespace {

// Waits until the server has carried out everything sent so far.
void syncWithServer()
{
    xcb_connection_t *connection = QX11Info::connection();
    free(xcb_get_input_focus_reply(connection, xcb_get_input_focus(connection), nullptr));
}

void sendMouse(QWidget *widget, QEvent::Type type, const QPoint &pos, Qt::MouseButtons held)
{
    const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
    QMouseEvent event(type, pos, widget->mapToGlobal(pos), button, held, Qt::NoModifier);
    QApplication::sendEvent(widget, &event);
}

// A hand's drag: small steps out from the press point and back, away from
// the tool frame in the lower right.
std::vector<QPoint> dragPath(const QRect &screen, int moves)
{
    const QPoint from(screen.width() / 10, screen.height() / 10);
    const QPoint to(screen.width() / 2, screen.height() / 2);
    std::vector<QPoint> path;
    const int half = qMax(1, moves / 2);
    for (int i = 1; i <= moves; ++i) {
        const double t = i <= half ? double(i) / half : double(moves - i) / (moves - half);
        path.push_back(from + QPoint(int((to.x() - from.x()) * t), int((to.y() - from.y()) * t)) + QPoint(1, 1));
    }
    return path;
}

// One drag over the path; with wholeWindow every move repaints everything.
void drag(WndMain &overlay, const std::vector<QPoint> &path, bool wholeWindow, BenchStats::Series *series)
{
    const QPoint press = path.front() - QPoint(1, 1);
    sendMouse(&overlay, QEvent::MouseButtonPress, press, Qt::LeftButton);
    QApplication::processEvents();
    syncWithServer();

    for (const QPoint &at : path) {
        series->add(BenchStats::elapsedMs([&] {
            sendMouse(&overlay, QEvent::MouseMove, at, Qt::LeftButton);
            if (wholeWindow)
                overlay.update();
            QApplication::processEvents();
            syncWithServer();
        }));
    }
    // Released at the press point: a click, which captures nothing.
    sendMouse(&overlay, QEvent::MouseButtonRelease, press, Qt::NoButton);
    QApplication::processEvents();
}

double repaintedShare(const std::vector<QPoint> &path, const QSize &window)
{
    const QPoint press = path.front() - QPoint(1, 1);
    double pixels = 0;
    QPoint cursor = press;
    for (const QPoint &at : path) {
        const QRegion region = OverlayLogic::selectionChange(OverlayLogic::selectionRect(press, cursor),
                                                             OverlayLogic::selectionRect(press, at));
        for (const QRect &r : region)
            pixels += double(r.width()) * r.height();
        cursor = at;
    }
    return pixels / path.size() / (double(window.width()) * window.height());
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription("Overlay repaint benchmark");
    parser.addHelpOption();
    parser.addOption({{"n", "moves"}, "Mouse moves per drag (default 200).", "count", "200"});
    parser.addOption({{"r", "rounds"}, "Drags per method, interleaved (default 3).", "count", "3"});
    parser.process(app);
    const int moves = qMax(2, parser.value("moves").toInt());
    const int rounds = qMax(1, parser.value("rounds").toInt());

    // Something to look at under the overlay, so the grab is not one colour.
    const std::unique_ptr<PatternWindow> backdrop =
        showPatternBackdrop("overlayrepaint", ScreenGeometry::virtualDesktopRect(ScreenGeometry::currentLayout()));
    if (!backdrop)
        return 2;

    WndMain overlay;
    overlay.show();
    if (!QTest::qWaitForWindowExposed(&overlay, 20000)) {
        std::fprintf(stderr, "overlayrepaint: the overlay did not appear\n");
        return 2;
    }
    while (!overlay.captureState()->hasDimmedGrab())
        QApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);

    const std::vector<QPoint> path = dragPath(overlay.rect(), moves);
    BenchStats::Series warmUp;
    drag(overlay, path, false, &warmUp);
    drag(overlay, path, true, &warmUp);

    BenchStats::Series partial;
    BenchStats::Series whole;
    for (int round = 0; round < rounds; ++round) {
        drag(overlay, path, false, &partial);
        drag(overlay, path, true, &whole);
    }

    std::printf("display              %dx%d\n", overlay.width(), overlay.height());
    std::printf("moves                %d per drag, %d drags per method, interleaved\n", moves, rounds);
    std::printf("changed region       %.2f %% of the window per move on average\n",
                100 * repaintedShare(path, overlay.size()));
    std::printf("changed region only  mean %7.2f ms  median %7.2f ms per move\n", partial.mean(), partial.median());
    std::printf("whole window         mean %7.2f ms  median %7.2f ms per move\n", whole.mean(), whole.median());
    const BenchStats::Ratios ratio = BenchStats::ratios(partial, whole);
    std::printf("ratio                %.3f (means), %.3f (medians)\n", ratio.means, ratio.medians);
    return 0;
}

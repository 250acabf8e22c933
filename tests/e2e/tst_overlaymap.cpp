#include "capture/overlaylogic.h"
#include "desktopdriver.h"
#include "fakefilemanager.h"
#include "patternwindow.h"
#include "processdriver.h"
#include "settings/settings.h"
#include "testsupport.h"
#include "ui/toolframeplace.h"

#include <QPainter>
#include <QtTest>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include <poll.h>

#include <functional>
#include <memory>

// The overlay is mapped before its picture of the desktop exists.  Watched on
// a connection of the test's own: the screen must show the desktop as it was
// from the map on, and input made before the picture must act on it.
using namespace Desktop;

namespace {

const QSize kScreen(1280, 800);

QImage rootImage(Display *display)
{
    XImage *shot = XGetImage(display, DefaultRootWindow(display), 0, 0, unsigned(kScreen.width()),
                             unsigned(kScreen.height()), AllPlanes, ZPixmap);
    if (!shot)
        return QImage();
    const QImage image = QImage(reinterpret_cast<const uchar *>(shot->data), shot->width, shot->height,
                                shot->bytes_per_line, QImage::Format_RGB32)
                             .copy();
    XDestroyImage(shot);
    return rgb(image);
}

// The desktop is the root window itself, showing a picture: nothing of the
// test lies above the overlay or changes under it.
void setRootPicture(Display *display, const QImage &picture)
{
    const Window root = DefaultRootWindow(display);
    QImage pixels = rgb(picture);
    XImage image{};
    image.width = pixels.width();
    image.height = pixels.height();
    image.format = ZPixmap;
    image.data = reinterpret_cast<char *>(pixels.bits());
    image.byte_order = LSBFirst;
    image.bitmap_unit = 32;
    image.bitmap_bit_order = LSBFirst;
    image.bitmap_pad = 32;
    image.depth = 24;
    image.bytes_per_line = int(pixels.bytesPerLine());
    image.bits_per_pixel = 32;
    XInitImage(&image);
    const Pixmap pixmap = XCreatePixmap(display, root, unsigned(image.width), unsigned(image.height), 24);
    const GC gc = XCreateGC(display, pixmap, 0, nullptr);
    XPutImage(display, pixmap, gc, &image, 0, 0, 0, 0, unsigned(image.width), unsigned(image.height));
    XFreeGC(display, gc);
    XSetWindowBackgroundPixmap(display, root, pixmap);
    XFreePixmap(display, pixmap);
    XClearWindow(display, root);
    XSync(display, False);
}

long windowPid(Display *display, Window window)
{
    Atom type;
    int format;
    unsigned long count, after;
    unsigned char *data = nullptr;
    long pid = -1;
    if (XGetWindowProperty(display, window, XInternAtom(display, "_NET_WM_PID", False), 0, 1, False, XA_CARDINAL,
                           &type, &format, &count, &after, &data) == Success
        && data && format == 32 && count == 1)
        pid = long(*reinterpret_cast<unsigned long *>(data));
    if (data)
        XFree(data);
    return pid;
}

int ignoreErrors(Display *, XErrorEvent *) { return 0; }

// Watches the windows made on the root for the first one of pid to become
// viewable (mapped, and in a mapped frame when the window manager gave it one)
// and calls atMap as soon as that is seen; the window, or 0.
Window waitForMap(Display *display, qint64 pid, const std::function<void(Window)> &atMap)
{
    QList<Window> candidates;
    const auto viewable = [&]() -> Window {
        for (Window window : candidates) {
            XWindowAttributes attributes;
            if (XGetWindowAttributes(display, window, &attributes) && attributes.map_state == IsViewable
                && windowPid(display, window) == pid)
                return window;
        }
        return None;
    };
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < 15000) {
        while (XPending(display)) {
            XEvent event;
            XNextEvent(display, &event);
            if (event.type == CreateNotify && event.xcreatewindow.parent == DefaultRootWindow(display)) {
                XSelectInput(display, event.xcreatewindow.window, StructureNotifyMask);
                candidates.append(event.xcreatewindow.window);
            }
            // the window's own map, or its frame's; a map before the selection shows here too
            if (event.type == CreateNotify || event.type == MapNotify) {
                if (const Window window = viewable()) {
                    atMap(window);
                    return window;
                }
            }
        }
        pollfd watch{ConnectionNumber(display), POLLIN, 0};
        poll(&watch, 1, 20);
    }
    return None;
}

} // namespace

class TestOverlayMap : public QObject
{
    Q_OBJECT

    QString m_scratch;
    std::unique_ptr<ProgramCopy> m_copy;
    std::unique_ptr<ProgramRun> m_run;
    Display *m_display = nullptr;
    QImage m_desktop;
    QRect m_tool;

    bool startRun()
    {
        // Windows created from now on are reported.
        XSelectInput(m_display, DefaultRootWindow(m_display), SubstructureNotifyMask);
        XSync(m_display, False);
        m_run = std::make_unique<ProgramRun>(m_copy->program(), m_scratch + "/run.log");
        return m_run->start();
    }

    bool runEnded()
    {
        return m_run->waitForFinished(20000) && m_run->exitStatus() == QProcess::NormalExit
               && m_run->exitCode() == 0;
    }

private slots:
    void initTestCase()
    {
        m_scratch = testScratchDir("overlaymap");
        m_copy = std::make_unique<ProgramCopy>(m_scratch + "/bin");
        QVERIFY(m_copy->isValid());
        m_display = XOpenDisplay(nullptr);
        QVERIFY(m_display);
        XSetErrorHandler(ignoreErrors);
        QCOMPARE(screenRect().size(), kScreen);
        m_desktop = rgb(PatternWindow::pattern(kScreen));
        setRootPicture(m_display, m_desktop);
        QTRY_COMPARE(rootImage(m_display), m_desktop);
        m_tool = QRect(ToolFramePlace::lower(QRect(QPoint(0, 0), kScreen), QSize(253, 390)), QSize(253, 390));
    }

    void cleanupTestCase()
    {
        if (m_display)
            XCloseDisplay(m_display);
    }

    void init()
    {
        QDir(capturesFolder()).removeRecursively();
        QSettings("Snaplark", "Snaplark").clear();
        QVERIFY(moveMouse(QPoint(5, 5))); // off the tool frame, which so starts in its lower place
    }

    void cleanup()
    {
        m_run.reset();
        m_copy->killAll();
        XSelectInput(m_display, DefaultRootWindow(m_display), NoEventMask);
        XSync(m_display, True);
    }

    // A window mapped with a background, or painted before its picture, would show here.
    void showsTheDesktopFromTheMapOn()
    {
        QVERIFY(startRun());
        QImage atMap;
        QVERIFY2(waitForMap(m_display, m_run->pid(), [&](Window) { atMap = rootImage(m_display); }),
                 qPrintable(m_run->log()));
        QCOMPARE(atMap, m_desktop);

        // Then the picture with the tool frame over it, in one step: every screen on the way is
        // either the desktop or the finished overlay.
        QVector<QImage> seen;
        QImage shot;
        int unchanged = 0;
        QVERIFY2(waitUntil([&] {
            const QImage before = shot;
            shot = rootImage(m_display);
            if (shot != before && (seen.isEmpty() || seen.last() != shot))
                seen.append(shot);
            unchanged = shot == before ? unchanged + 1 : 0;
            return shot != m_desktop && unchanged >= 5;
        }, 10000), qPrintable(m_run->log()));
        const QImage finished = shot;
        // outside the tool frame the overlay shows the desktop it froze
        QImage frameCut = finished, desktopCut = m_desktop;
        for (QImage *image : {&frameCut, &desktopCut})
            QPainter(image).fillRect(m_tool, Qt::black);
        QVERIFY(frameCut == desktopCut);
        for (int i = 0; i < seen.size(); ++i)
            QVERIFY2(seen[i] == m_desktop || seen[i] == finished, qPrintable(QString("screen %1").arg(i)));
        m_run.reset();
    }

    // Under a compositing manager an unpainted window shows no desktop: there the screens are
    // grabbed before the overlay is mapped.
    void grabsFirstUnderACompositor()
    {
        const Window owner = XCreateSimpleWindow(m_display, DefaultRootWindow(m_display), 0, 0, 1, 1, 0, 0, 0);
        XSetSelectionOwner(m_display, XInternAtom(m_display, "_NET_WM_CM_S0", False), owner, CurrentTime);
        auto release = qScopeGuard([&] {
            XDestroyWindow(m_display, owner);
            XSync(m_display, False);
        });
        QVERIFY(startRun());
        bool grabbedAtMap = false;
        QVERIFY2(waitForMap(m_display, m_run->pid(), [&](Window) {
            XGrabServer(m_display);
            XSync(m_display, False);
            grabbedAtMap = m_run->log().contains("Pixmap size: 1280x800");
            XUngrabServer(m_display);
            XSync(m_display, False);
        }), qPrintable(m_run->log()));
        QVERIFY2(grabbedAtMap, qPrintable(m_run->log()));
    }

    // Input made while the test holds the server right after the map reaches the overlay before
    // its picture can: it waits for the picture and acts on it.
    void inputBeforeThePicture_data()
    {
        QTest::addColumn<QPoint>("press"); // null: Escape
        QTest::addColumn<QPoint>("release");
        // from inside the tool frame, which nobody has seen yet: a selection, not a frame drag
        QTest::newRow("drag from where the frame will be") << m_tool.topLeft() + QPoint(24, 48) << QPoint(801, 308);
        QTest::newRow("drag on the desktop") << QPoint(100, 120) << QPoint(401, 321);
        QTest::newRow("escape") << QPoint() << QPoint();
    }
    void inputBeforeThePicture()
    {
        QFETCH(QPoint, press);
        QFETCH(QPoint, release);
        Settings::setDefAction(Settings::ActionSaveOnly);
        Settings::setDefClipboard(Settings::ClipboardNone);
        FakeFileManagerService fileManager;
        QVERIFY(fileManager.registered());

        QVERIFY(startRun());
        QImage held;
        const Window overlay = waitForMap(m_display, m_run->pid(), [&](Window window) {
            XGrabServer(m_display);
            held = rootImage(m_display);
            if (press.isNull()) {
                XSetInputFocus(m_display, window, RevertToParent, CurrentTime);
                const KeyCode escape = XKeysymToKeycode(m_display, XK_Escape);
                XTestFakeKeyEvent(m_display, escape, True, CurrentTime);
                XTestFakeKeyEvent(m_display, escape, False, CurrentTime);
            } else {
                XTestFakeMotionEvent(m_display, -1, press.x(), press.y(), CurrentTime);
                XTestFakeButtonEvent(m_display, 1, True, CurrentTime);
                XTestFakeMotionEvent(m_display, -1, (press.x() + release.x()) / 2, (press.y() + release.y()) / 2,
                                     CurrentTime);
                XTestFakeMotionEvent(m_display, -1, release.x(), release.y(), CurrentTime);
                XTestFakeButtonEvent(m_display, 1, False, CurrentTime);
            }
            XUngrabServer(m_display);
            XSync(m_display, False);
        });
        QVERIFY2(overlay, qPrintable(m_run->log()));
        QCOMPARE(held, m_desktop);
        QVERIFY2(runEnded(), qPrintable(m_run->log()));

        const QStringList files = QDir(capturesFolder()).entryList(QDir::Files);
        if (press.isNull()) {
            QCOMPARE(files, QStringList());
            return;
        }
        QCOMPARE(files.size(), 1);
        const QImage saved(QDir(capturesFolder()).filePath(files[0]), "PNG");
        QCOMPARE(rgb(saved), m_desktop.copy(OverlayLogic::selectionRect(press, release)));
    }
};

QTEST_MAIN(TestOverlayMap)
#include "tst_overlaymap.moc"

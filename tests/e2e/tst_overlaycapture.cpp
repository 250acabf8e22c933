#include "desktopdriver.h"
#include "fakefilemanager.h"
#include "patternwindow.h"
#include "processdriver.h"
#include "testsupport.h"

#include <QDBusConnection>
#include <QDir>
#include <QPainter>
#include <QSettings>
#include <QtTest>

#include <memory>

// The real program, run as a user runs it: a capture run driven with the
// mouse through the X tools, judged by the saved file, the clipboard as
// another program reads it after the run, the file manager asked over the
// session bus and the default viewer started.
using namespace Desktop;

namespace {

const QRect kSelection(QPoint(100, 120), QSize(300, 200)); // dragged to (400, 320)
const QRect kPatternArea(40, 50, 560, 420);
// Away from the tool frame, so the frame starts in its lower place.
const QPoint kMouseRest(5, 5);
const QString kClipboardBefore = QStringLiteral("clipboard before the run");

enum Clipboard { ClipboardPath = 2, ClipboardBitmap = 5, ClipboardNone = 6 };
enum Action { ActionViewer = 2, ActionSaveOnly = 3 };

QString workArea()
{
    return QString::fromLatin1(tool(QStringLiteral("xprop"), {QStringLiteral("-root"), QStringLiteral("_NET_WORKAREA")}));
}

// A window of the test that the window manager frames, places and activates.
std::unique_ptr<QWidget> managedWindow(const QRect &geometry, Qt::WindowFlags flags = {})
{
    auto window = std::make_unique<QWidget>(nullptr, flags);
    window->setGeometry(geometry);
    window->show();
    window->activateWindow();
    return window;
}

// The screen once the window manager has finished drawing.
QImage settledScreen()
{
    QImage screen;
    waitUntil([&] {
        const QImage before = grabScreen();
        QTest::qWait(50);
        return (screen = grabScreen()) == before;
    }, 5000);
    return screen;
}

} // namespace

class TestOverlayCapture : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void capture_data();
    void capture();
    void redactionEditorSave();

private:
    void startOverlay();
    // The run's only capture after it ended with 0, if it holds the picture.
    QString finishedCapture(const QImage &expected);
    QStringList viewerRequests() const;

    QString m_scratch;
    QString m_viewerRecord;
    std::unique_ptr<ProgramCopy> m_copy;
    std::unique_ptr<PatternWindow> m_pattern;
    std::unique_ptr<ProgramRun> m_run;
    qulonglong m_overlay = 0;
    int m_runs = 0;
};

void TestOverlayCapture::initTestCase()
{
    QVERIFY2(QDBusConnection::sessionBus().isConnected(), "needs the private session bus of with-display");
    QCOMPARE(screenRect(), QRect(0, 0, 1280, 800));
    m_scratch = testScratchDir(QStringLiteral("overlaycapture"));
    QVERIFY(QDir().mkpath(m_scratch + QStringLiteral("/bin")));
    m_copy = std::make_unique<ProgramCopy>(m_scratch + QStringLiteral("/bin"));
    QVERIFY(m_copy->isValid());

    // The desktop's default handler, first on the path, records what it is asked to open.
    m_viewerRecord = m_scratch + QStringLiteral("/opened.txt");
    QFile opener(m_scratch + QStringLiteral("/bin/xdg-open"));
    QVERIFY(opener.open(QIODevice::WriteOnly));
    opener.write("#!/bin/sh\nprintf '%s\\n' \"$@\" >> '" + QFile::encodeName(m_viewerRecord) + "'\n");
    opener.close();
    QVERIFY(opener.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    qputenv("PATH", QFile::encodeName(m_scratch) + "/bin:" + qgetenv("PATH"));

    m_pattern = std::make_unique<PatternWindow>(kPatternArea);
}

void TestOverlayCapture::init()
{
    QDir(capturesFolder()).removeRecursively();
    QFile::remove(m_viewerRecord);
    QSettings(QStringLiteral("Snaplark"), QStringLiteral("Snaplark")).clear();
    QVERIFY(ownClipboard(kClipboardBefore));
    QVERIFY(moveMouse(kMouseRest));
    QVERIFY(m_pattern->showAndWait());
}

void TestOverlayCapture::cleanup()
{
    m_run.reset();
    keyUp({QStringLiteral("alt")});
    // Taking the clipboard back ends a keeper the run left behind.
    const bool taken = ownClipboard(kClipboardBefore);
    const bool keeperEnded = waitUntil([this] { return m_copy->running().isEmpty(); }, 5000);
    m_copy->killAll();
    QVERIFY(taken);
    QVERIFY2(keeperEnded, "the clipboard keeper goes on after losing the clipboard");
}

void TestOverlayCapture::startOverlay()
{
    m_run = std::make_unique<ProgramRun>(m_copy->program(), m_scratch + QStringLiteral("/run%1.log").arg(++m_runs));
    QVERIFY(m_run->start());
    m_overlay = waitForWindowOf(m_run->pid());
    QVERIFY2(m_overlay, qPrintable(m_run->log()));
    QVERIFY(waitUntil([&] { return windowGeometry(m_overlay) == screenRect(); }, 5000));
    QVERIFY(m_run->log().contains(QStringLiteral("Pixmap size: 1280x800")));

    // The pattern is in the frozen grab now.  Taking it off the screen shows
    // that the capture comes from that grab, and lets the mouse reach the
    // overlay: the window manager keeps an unmanaged window above it.
    m_pattern->hide();
    const qulonglong pattern = m_pattern->winId();
    QVERIFY(waitUntil([&] { return !windowsOf(QCoreApplication::applicationPid()).contains(pattern); }, 5000));
}

QString TestOverlayCapture::finishedCapture(const QImage &expected)
{
    if (!m_run->waitForFinished(20000) || m_run->exitStatus() != QProcess::NormalExit || m_run->exitCode() != 0) {
        qWarning("%s", qPrintable(m_run->log()));
        return QString();
    }
    const QStringList files = QDir(capturesFolder()).entryList(QDir::Files | QDir::Hidden);
    const QString file = QDir(capturesFolder()).filePath(files.value(0));
    QImage saved;
    if (files.size() != 1 || !file.endsWith(QStringLiteral(".png")) || !saved.load(file, "PNG")
        || rgb(saved) != expected) {
        qWarning("captures: %s", qPrintable(files.join(QLatin1Char(' '))));
        return QString();
    }
    return file;
}

QStringList TestOverlayCapture::viewerRequests() const
{
    QFile record(m_viewerRecord);
    if (!record.open(QIODevice::ReadOnly))
        return QStringList();
    return QString::fromUtf8(record.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

void TestOverlayCapture::capture_data()
{
    QTest::addColumn<int>("defAction");
    QTest::addColumn<int>("defClipboard");
    QTest::addColumn<bool>("alt");
    QTest::addColumn<int>("buttonY"); // in the tool frame; 0: drag the region
    QTest::addColumn<QRect>("window");
    QTest::addColumn<int>("reservedAtBottom");
    QTest::addColumn<bool>("viewer");
    QTest::addColumn<int>("clipboard");

    const int save = ActionSaveOnly;
    QTest::newRow("region, path") << save << int(ClipboardPath) << false << 0 << QRect() << 0 << false << int(ClipboardPath);
    QTest::newRow("region, picture") << save << int(ClipboardBitmap) << false << 0 << QRect() << 0 << false << int(ClipboardBitmap);
    QTest::newRow("region, viewer, nothing copied")
        << int(ActionViewer) << int(ClipboardNone) << false << 0 << QRect() << 0 << true << int(ClipboardNone);
    // Alt at release: AltAction (the viewer) and AltClipboard (the picture)
    QTest::newRow("region, alt at release") << save << int(ClipboardPath) << true << 0 << QRect() << 0 << true << int(ClipboardBitmap);
    QTest::newRow("full screen") << save << int(ClipboardPath) << false << 50 << QRect() << 0 << false << int(ClipboardPath);
    // under the pattern window, so a rectangle off by one pixel shows
    QTest::newRow("active window") << save << int(ClipboardPath) << false << 100 << QRect(137, 91, 320, 200) << 0
                                   << false << int(ClipboardPath);
    // larger than the screen, with a panel reserving the bottom 60 pixels:
    // cut to the work area, not to the screen
    QTest::newRow("active window beyond the work area") << save << int(ClipboardPath) << false << 100
                                                        << QRect(-20, -30, 1320, 860) << 60 << false << int(ClipboardPath);
}

void TestOverlayCapture::capture()
{
    QFETCH(int, defAction);
    QFETCH(int, defClipboard);
    QFETCH(bool, alt);
    QFETCH(int, buttonY);
    QFETCH(QRect, window);
    QFETCH(int, reservedAtBottom);
    QFETCH(bool, viewer);
    QFETCH(int, clipboard);

    const QString fullArea = workArea();
    std::unique_ptr<QWidget> panel;
    auto restoreWorkArea = qScopeGuard([&] {
        panel.reset();
        waitUntil([&] { return workArea() == fullArea; }, 5000);
    });
    if (reservedAtBottom > 0) {
        panel = managedWindow(QRect(0, 800 - reservedAtBottom, 1280, reservedAtBottom), Qt::FramelessWindowHint);
        QVERIFY(QTest::qWaitForWindowExposed(panel.get()));
        const QString strut = QStringLiteral("0, 0, 0, %1, 0, 0, 0, 0, 0, 0, 0, 1279").arg(reservedAtBottom);
        QVERIFY(!tool(QStringLiteral("xprop"), {QStringLiteral("-id"), QString::number(panel->winId()),
                                                QStringLiteral("-f"), QStringLiteral("_NET_WM_STRUT_PARTIAL"),
                                                QStringLiteral("32c"), QStringLiteral("-set"),
                                                QStringLiteral("_NET_WM_STRUT_PARTIAL"), strut})
                     .isNull());
        QVERIFY(waitUntil([&] { return workArea() != fullArea; }, 5000));
    }
    QRect expected = buttonY == 0 ? kSelection : screenRect();
    std::unique_ptr<QWidget> target;
    if (window.isValid()) {
        target = managedWindow(window);
        const QByteArray id = QByteArray::number(qulonglong(target->winId()));
        QVERIFY(waitUntil([&] { return tool(QStringLiteral("xdotool"), {QStringLiteral("getactivewindow")}).trimmed() == id; },
                          5000));
        const QRect frame = target->frameGeometry();
        QVERIFY2(frame.height() > target->height(), "the window manager should frame the window");
        const QRect available(0, 0, 1280, 800 - reservedAtBottom);
        expected = frame.contains(available) ? available : frame;
    }
    QSettings store(QStringLiteral("Snaplark"), QStringLiteral("Snaplark"));
    store.setValue(QStringLiteral("DefAction"), defAction);
    store.setValue(QStringLiteral("DefClipboard"), defClipboard);
    store.setValue(QStringLiteral("AltAction"), int(ActionViewer));
    store.setValue(QStringLiteral("AltClipboard"), int(ClipboardBitmap));
    store.sync();
    FakeFileManagerService fileManager;
    QVERIFY(fileManager.registered());
    const QImage picture = settledScreen().copy(expected);

    startOverlay();
    if (QTest::currentTestFailed())
        return;
    if (buttonY == 0) {
        QVERIFY(drag(kSelection.topLeft(), kSelection.bottomRight() + QPoint(1, 1),
                     alt ? QStringList{QStringLiteral("alt")} : QStringList()));
    } else {
        // the tool frame (253 x 390) in its lower place, 50 pixels short of
        // the screen's right and bottom edges; the button's middle
        QVERIFY(click(QPoint(1279 - 50 - 253 + 207 + 19, 799 - 50 - 390 + buttonY + 19)));
    }
    const QString file = finishedCapture(picture);
    QVERIFY(!file.isEmpty());

    if (viewer) {
        // the handler is started detached and may still be on its way
        QVERIFY(waitUntil([this] { return !viewerRequests().isEmpty(); }, 5000));
        QCOMPARE(viewerRequests().size(), 1);
        QCOMPARE(QUrl(viewerRequests().first(), QUrl::StrictMode).toLocalFile(), file);
        QVERIFY(fileManager.receivedUris().isEmpty());
    } else {
        QCOMPARE(fileManager.receivedUris().size(), 1);
        QCOMPARE(QUrl(fileManager.receivedUris().first(), QUrl::StrictMode).toLocalFile(), file);
        QVERIFY(viewerRequests().isEmpty());
    }
    if (clipboard == ClipboardPath)
        QCOMPARE(QString::fromUtf8(Desktop::clipboard()), file);
    else if (clipboard == ClipboardBitmap)
        QCOMPARE(rgb(QImage::fromData(Desktop::clipboard(QStringLiteral("image/png")), "PNG")), picture);
    else
        QCOMPARE(QString::fromUtf8(Desktop::clipboard()), kClipboardBefore);
}

// With the settings the program starts with, a drag opens the redaction
// editor; a filled rectangle drawn with the toolbar, the selection moved and
// Save give the selection as it was shown with the rectangle and nothing else.
void TestOverlayCapture::redactionEditorSave()
{
    FakeFileManagerService fileManager;
    QVERIFY(fileManager.registered());
    const QImage screen = grabScreen();
    startOverlay();
    if (QTest::currentTestFailed())
        return;
    QVERIFY(drag(kSelection.topLeft(), kSelection.bottomRight() + QPoint(1, 1)));
    QVERIFY2(waitUntil([&] {
                 const QList<qulonglong> windows = windowsOf(m_run->pid());
                 return std::any_of(windows.begin(), windows.end(), [&](qulonglong window) {
                     return window != m_overlay && windowGeometry(window) == screenRect();
                 });
             }, 10000),
             qPrintable(m_run->log()));
    // painted: outside the selection dimmed, inside (off the frame's handles) as it was
    const QPoint backdrop(60, 70);
    const QRect inside = kSelection.adjusted(4, 4, -4, -4);
    QVERIFY(waitUntil([&] {
        const QImage shown = grabScreen();
        return shown.pixel(backdrop) != screen.pixel(backdrop) && shown.copy(inside) == screen.copy(inside);
    }, 10000));

    // the toolbar (372 x 171) starts 50 pixels short of the screen's right and
    // bottom edges when it does not cover the selection
    const QPoint toolbar(1279 - 50 - 372, 799 - 50 - 171);
    const QRect mark(QPoint(150, 160), QPoint(250, 240));
    QVERIFY(click(toolbar + QRect(15, 90, 40, 41).center())); // btnRect
    QVERIFY(drag(mark.topLeft(), mark.bottomRight()));
    QVERIFY(waitUntil([&] { return QColor(grabScreen().pixel(mark.center())) == QColor(Qt::black); }, 5000));
    // with the tool put down, a drag inside moves the selection; the mark stays
    QVERIFY(click(toolbar + QRect(15, 90, 40, 41).center()));
    QVERIFY(drag(QPoint(350, 280), QPoint(380, 295)));
    const QRect moved = kSelection.translated(30, 15);
    const QPoint nowInside = moved.bottomRight() - QPoint(3, 3);
    QVERIFY(waitUntil([&] { return grabScreen().pixel(nowInside) == screen.pixel(nowInside); }, 5000));
    QVERIFY(click(toolbar + QRect(245, 90, 110, 40).center())); // btnSave

    // the rectangle from the press pixel to the release pixel in the tool's
    // colour (black unless chosen otherwise); no frame, handles or toolbar
    QImage expected = screen.copy(moved);
    QPainter(&expected).fillRect(mark.translated(-moved.topLeft()), Qt::black);
    const QString file = finishedCapture(expected);
    QVERIFY(!file.isEmpty());
    // "Web page url" needs an upload; Save copies the file's path instead
    QCOMPARE(QString::fromUtf8(Desktop::clipboard()), file);
    QCOMPARE(fileManager.receivedUris().size(), 1);
}

QTEST_MAIN(TestOverlayCapture)
#include "tst_overlaycapture.moc"

#include "desktopdriver.h"
#include "fakefilemanager.h"
#include "patternwindow.h"
#include "processdriver.h"
#include "testsupport.h"

#include <QClipboard>
#include <QDBusConnection>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QScreen>
#include <QSettings>
#include <QUrl>
#include <QWidget>
#include <QX11Info>
#include <QtTest>

#include <memory>

// The real program, run as a user runs it: a capture run on the test's X
// display, driven with the mouse and keyboard through the X tools, judged by
// the saved file, the clipboard as another program reads it, the file
// manager asked over the session bus and the default viewer started.
class TestOverlayCapture : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void cleanupTestCase();

    void regionCapture_data();
    void regionCapture();
    void clickWithoutAreaKeepsOverlayOpen();
    void fullScreenButton();
    void activeWindowButton_data();
    void activeWindowButton();

private:
    void writeSettings(int defAction, int defClipboard, int altAction = 1, int altClipboard = 5);
    void startOverlay();
    void expectEndWithZero();
    QString onlyCapture() const;
    void expectCapture(const QString &file, const QImage &expected) const;
    void expectShownInFileManager(const FakeFileManagerService &fileManager, const QString &file) const;
    QStringList viewerRequests() const;
    QPoint toolButton(const QPoint &inFrame) const;

    QString m_scratch;
    QString m_viewerRecord;
    std::unique_ptr<ProgramCopy> m_copy;
    std::unique_ptr<PatternWindow> m_pattern;
    std::unique_ptr<ProgramRun> m_run;
    qulonglong m_overlay = 0;
    int m_runs = 0;
};

namespace {

using Desktop::capturesFolder;
using Desktop::grabScreen;
using Desktop::ownClipboard;
using Desktop::rgb;
using Desktop::screenRect;

const QPoint kDragFrom(100, 120);
const QPoint kDragTo(400, 320);
const QSize kDragArea(300, 200);
// Covers the dragged area with room on every side.
const QRect kPatternArea(40, 50, 560, 420);
// Away from the tool frame, so the frame starts in its lower place.
const QPoint kMouseRest(5, 5);
const QString kClipboardBefore = QStringLiteral("clipboard before the run");

enum Clipboard { ClipboardPath = 2, ClipboardBitmap = 5, ClipboardNone = 6 };
enum Action { ActionViewer = 2, ActionSaveOnly = 3 };

QString workArea()
{
    return QString::fromLatin1(Desktop::tool(QStringLiteral("xprop"), {QStringLiteral("-root"),
                                                                        QStringLiteral("_NET_WORKAREA")}));
}

// A window of the test that the window manager frames, places and activates.
class ManagedWindow : public QWidget
{
public:
    ManagedWindow(const QRect &geometry, Qt::WindowFlags flags = {})
        : QWidget(nullptr, flags)
    {
        setWindowTitle(QStringLiteral("Snaplark test window"));
        setAutoFillBackground(true);
        QPalette colours = palette();
        colours.setColor(QPalette::Window, QColor(30, 140, 90));
        setPalette(colours);
        setGeometry(geometry);
    }

    bool showActive()
    {
        show();
        activateWindow();
        if (!QTest::qWaitForWindowExposed(this))
            return false;
        const QByteArray id = QByteArray::number(qulonglong(winId()));
        return waitUntil(
            [&] {
                return Desktop::tool(QStringLiteral("xdotool"), {QStringLiteral("getactivewindow")}).trimmed() == id;
            },
            5000);
    }
};

} // namespace

void TestOverlayCapture::initTestCase()
{
    QVERIFY2(QDBusConnection::sessionBus().isConnected(), "needs the private session bus of with-display");
    QCOMPARE(screenRect(), QRect(0, 0, 1280, 800));
    m_scratch = testScratchDir(QStringLiteral("overlaycapture"));

    QVERIFY(QDir().mkpath(m_scratch + QStringLiteral("/bin")));
    m_copy = std::make_unique<ProgramCopy>(m_scratch + QStringLiteral("/bin"));
    QVERIFY(m_copy->isValid());

    // The desktop's default handler, first on the path: records what it is
    // asked to open.
    m_viewerRecord = m_scratch + QStringLiteral("/opened.txt");
    const QString standins = m_scratch + QStringLiteral("/standin");
    QVERIFY(QDir().mkpath(standins));
    QFile opener(standins + QStringLiteral("/xdg-open"));
    QVERIFY(opener.open(QIODevice::WriteOnly));
    opener.write("#!/bin/sh\nprintf '%s\\n' \"$@\" >> '" + QFile::encodeName(m_viewerRecord) + "'\n");
    opener.close();
    QVERIFY(opener.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    qputenv("PATH", QFile::encodeName(standins) + ':' + qgetenv("PATH"));

    m_pattern = std::make_unique<PatternWindow>(kPatternArea);
}

void TestOverlayCapture::init()
{
    QDir(capturesFolder()).removeRecursively();
    QFile::remove(m_viewerRecord);
    QSettings(QStringLiteral("Snaplark"), QStringLiteral("Snaplark")).clear();
    QVERIFY(ownClipboard(kClipboardBefore));
    QVERIFY(Desktop::moveMouse(kMouseRest));
    QVERIFY(m_pattern->showAndWait());
    m_overlay = 0;
}

void TestOverlayCapture::cleanup()
{
    m_run.reset();
    Desktop::keyUp({QStringLiteral("alt")});
    // Taking the clipboard back ends a keeper the run left behind.
    const bool taken = ownClipboard(kClipboardBefore);
    const bool keeperEnded = waitUntil([this] { return m_copy->running().isEmpty(); }, 5000);
    m_copy->killAll();
    QVERIFY(taken);
    QVERIFY2(keeperEnded, "the clipboard keeper goes on after losing the clipboard");
}

void TestOverlayCapture::cleanupTestCase()
{
    m_run.reset();
    m_copy.reset();
    m_pattern.reset();
}

void TestOverlayCapture::writeSettings(int defAction, int defClipboard, int altAction, int altClipboard)
{
    QSettings store(QStringLiteral("Snaplark"), QStringLiteral("Snaplark"));
    store.setValue(QStringLiteral("DefAction"), defAction);
    store.setValue(QStringLiteral("DefClipboard"), defClipboard);
    store.setValue(QStringLiteral("AltAction"), altAction);
    store.setValue(QStringLiteral("AltClipboard"), altClipboard);
    store.sync();
    QCOMPARE(store.status(), QSettings::NoError);
}

// Starts a capture run and waits until its overlay covers the screen.
void TestOverlayCapture::startOverlay()
{
    const QString log = m_scratch + QStringLiteral("/run%1.log").arg(++m_runs);
    m_run = std::make_unique<ProgramRun>(m_copy->program(), log);
    QVERIFY(m_run->start());
    m_overlay = Desktop::waitForWindowOf(m_run->pid());
    QVERIFY2(m_overlay, qPrintable(m_run->log()));
    QVERIFY(waitUntil([this] { return Desktop::windowGeometry(m_overlay) == screenRect(); }, 5000));
    QVERIFY(m_run->log().contains(QStringLiteral("Pixmap size: 1280x800")));

    // The pattern is in the frozen grab now.  Taking it off the screen shows
    // that the capture comes from that grab, and lets the mouse reach the
    // overlay: the window manager keeps an unmanaged window above it.
    m_pattern->hide();
    const qulonglong pattern = m_pattern->winId();
    QVERIFY(waitUntil([&] { return !Desktop::windowsOf(QCoreApplication::applicationPid()).contains(pattern); },
                      5000));
}

void TestOverlayCapture::expectEndWithZero()
{
    QVERIFY2(m_run->waitForFinished(20000), qPrintable(m_run->log()));
    QCOMPARE(m_run->exitStatus(), QProcess::NormalExit);
    QCOMPARE(m_run->exitCode(), 0);
}

QString TestOverlayCapture::onlyCapture() const
{
    const QStringList files = QDir(capturesFolder()).entryList(QDir::Files | QDir::Hidden);
    if (files.size() != 1 || !files.first().endsWith(QStringLiteral(".png")))
        return QString();
    return QDir(capturesFolder()).filePath(files.first());
}

void TestOverlayCapture::expectCapture(const QString &file, const QImage &expected) const
{
    QVERIFY2(!file.isEmpty(), qPrintable(QDir(capturesFolder()).entryList(QDir::Files).join(QLatin1Char(' '))));
    QImage saved;
    QVERIFY(saved.load(file, "PNG"));
    QCOMPARE(saved.size(), expected.size());
    QVERIFY(rgb(saved) == expected);
}

void TestOverlayCapture::expectShownInFileManager(const FakeFileManagerService &fileManager,
                                                  const QString &file) const
{
    const QStringList uris = fileManager.receivedUris();
    QCOMPARE(uris.size(), 1);
    QCOMPARE(QUrl(uris.first(), QUrl::StrictMode).toLocalFile(), file);
}

QStringList TestOverlayCapture::viewerRequests() const
{
    QFile record(m_viewerRecord);
    if (!record.open(QIODevice::ReadOnly))
        return QStringList();
    return QString::fromUtf8(record.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

QPoint TestOverlayCapture::toolButton(const QPoint &inFrame) const
{
    // the tool frame's lower place: 50 pixels short of the primary screen's
    // right and bottom edges; the button's middle
    const QSize frame(253, 390);
    const QRect screen = screenRect();
    return QPoint(screen.right() - 50 - frame.width(), screen.bottom() - 50 - frame.height()) + inFrame
           + QPoint(19, 19);
}

void TestOverlayCapture::regionCapture_data()
{
    QTest::addColumn<int>("defAction");
    QTest::addColumn<int>("defClipboard");
    QTest::addColumn<int>("altAction");
    QTest::addColumn<int>("altClipboard");
    QTest::addColumn<bool>("alt");
    QTest::addColumn<bool>("shownInFileManager");
    QTest::addColumn<bool>("openedInViewer");
    QTest::addColumn<int>("clipboard");

    QTest::newRow("save only, path") << int(ActionSaveOnly) << int(ClipboardPath) << int(ActionViewer)
                                     << int(ClipboardBitmap) << false << true << false << int(ClipboardPath);
    QTest::newRow("save only, picture") << int(ActionSaveOnly) << int(ClipboardBitmap) << int(ActionViewer)
                                        << int(ClipboardPath) << false << true << false << int(ClipboardBitmap);
    QTest::newRow("viewer, nothing copied") << int(ActionViewer) << int(ClipboardNone) << int(ActionSaveOnly)
                                            << int(ClipboardPath) << false << false << true << int(ClipboardNone);
    QTest::newRow("alt at release") << int(ActionSaveOnly) << int(ClipboardPath) << int(ActionViewer)
                                    << int(ClipboardBitmap) << true << false << true << int(ClipboardBitmap);
}

void TestOverlayCapture::regionCapture()
{
    QFETCH(int, defAction);
    QFETCH(int, defClipboard);
    QFETCH(int, altAction);
    QFETCH(int, altClipboard);
    QFETCH(bool, alt);
    QFETCH(bool, shownInFileManager);
    QFETCH(bool, openedInViewer);
    QFETCH(int, clipboard);

    writeSettings(defAction, defClipboard, altAction, altClipboard);
    FakeFileManagerService fileManager;
    QVERIFY(fileManager.registered());
    const QImage region = grabScreen().copy(QRect(kDragFrom, kDragArea));

    startOverlay();
    if (QTest::currentTestFailed())
        return;
    QVERIFY(Desktop::drag(kDragFrom, kDragTo, alt ? QStringList{QStringLiteral("alt")} : QStringList()));
    expectEndWithZero();
    if (QTest::currentTestFailed())
        return;

    const QString file = onlyCapture();
    expectCapture(file, region);
    if (QTest::currentTestFailed())
        return;

    if (shownInFileManager)
        expectShownInFileManager(fileManager, file);
    else
        QVERIFY(fileManager.receivedUris().isEmpty());

    if (openedInViewer) {
        // the handler is started detached and may still be on its way
        QVERIFY(waitUntil([this] { return !viewerRequests().isEmpty(); }, 5000));
        const QStringList requests = viewerRequests();
        QCOMPARE(requests.size(), 1);
        QCOMPARE(QUrl(requests.first(), QUrl::StrictMode).toLocalFile(), file);
    } else {
        QVERIFY2(viewerRequests().isEmpty(), qPrintable(viewerRequests().join(QLatin1Char(' '))));
    }

    switch (clipboard) {
    case ClipboardPath:
        QCOMPARE(QString::fromUtf8(Desktop::clipboard()), file);
        break;
    case ClipboardBitmap:
        QCOMPARE(rgb(QImage::fromData(Desktop::clipboard(QStringLiteral("image/png")), "PNG")), region);
        break;
    default:
        QCOMPARE(QString::fromUtf8(Desktop::clipboard()), kClipboardBefore);
        break;
    }
}

void TestOverlayCapture::clickWithoutAreaKeepsOverlayOpen()
{
    writeSettings(ActionSaveOnly, ClipboardPath);
    FakeFileManagerService fileManager;
    QVERIFY(fileManager.registered());
    startOverlay();
    if (QTest::currentTestFailed())
        return;

    // a click, and a drag by one pixel each way, select nothing
    QVERIFY(Desktop::click(QPoint(300, 300)));
    QVERIFY(Desktop::drag(QPoint(500, 200), QPoint(501, 201)));
    QVERIFY(!m_run->waitForFinished(1500));
    QCOMPARE(Desktop::windowGeometry(m_overlay), screenRect());

    QVERIFY(Desktop::keyInto(m_overlay, QStringLiteral("Escape")));
    expectEndWithZero();
    QVERIFY(QDir(capturesFolder()).entryList(QDir::Files | QDir::Hidden).isEmpty());
    QVERIFY(fileManager.receivedUris().isEmpty());
    QCOMPARE(QString::fromUtf8(Desktop::clipboard()), kClipboardBefore);
}

void TestOverlayCapture::fullScreenButton()
{
    writeSettings(ActionSaveOnly, ClipboardPath);
    FakeFileManagerService fileManager;
    QVERIFY(fileManager.registered());
    const QImage screen = grabScreen();

    startOverlay();
    if (QTest::currentTestFailed())
        return;
    QVERIFY(Desktop::click(toolButton(QPoint(207, 50))));
    expectEndWithZero();
    if (QTest::currentTestFailed())
        return;

    const QString file = onlyCapture();
    expectCapture(file, screen);
    expectShownInFileManager(fileManager, file);
    QCOMPARE(QString::fromUtf8(Desktop::clipboard()), file);
}

void TestOverlayCapture::activeWindowButton_data()
{
    QTest::addColumn<QRect>("window");
    QTest::addColumn<int>("reservedAtBottom");

    // under the pattern window, so a rectangle off by one pixel shows
    QTest::newRow("inside the screen") << QRect(137, 91, 320, 200) << 0;
    // larger than the screen, with a panel reserving the bottom 60 pixels:
    // cut to the work area, not to the screen
    QTest::newRow("beyond the work area") << QRect(-20, -30, 1320, 860) << 60;
}

void TestOverlayCapture::activeWindowButton()
{
    QFETCH(QRect, window);
    QFETCH(int, reservedAtBottom);

    const QString fullArea = workArea();
    std::unique_ptr<QWidget> panel;
    auto restoreWorkArea = qScopeGuard([&] {
        panel.reset();
        waitUntil([&] { return workArea() == fullArea; }, 5000);
    });
    if (reservedAtBottom > 0) {
        const QRect screen = screenRect();
        panel = std::make_unique<ManagedWindow>(
            QRect(0, screen.bottom() + 1 - reservedAtBottom, screen.width(), reservedAtBottom),
            Qt::FramelessWindowHint);
        panel->show();
        QVERIFY(QTest::qWaitForWindowExposed(panel.get()));
        const QString strut = QStringLiteral("0, 0, 0, %1, 0, 0, 0, 0, 0, 0, 0, %2")
                                  .arg(reservedAtBottom)
                                  .arg(screen.width() - 1);
        QVERIFY(!Desktop::tool(QStringLiteral("xprop"),
                               {QStringLiteral("-id"), QString::number(panel->winId()), QStringLiteral("-f"),
                                QStringLiteral("_NET_WM_STRUT_PARTIAL"), QStringLiteral("32c"),
                                QStringLiteral("-set"), QStringLiteral("_NET_WM_STRUT_PARTIAL"), strut})
                     .isNull());
        QVERIFY(waitUntil([&] { return workArea() != fullArea; }, 5000));
    }
    const QRect available(0, 0, screenRect().width(), screenRect().height() - reservedAtBottom);

    ManagedWindow target(window);
    QVERIFY(target.showActive());
    const QRect frame = target.frameGeometry();
    QVERIFY2(frame.height() > target.height(), "the window manager should frame the window");
    const QRect expected = frame.contains(available) ? available : frame;
    QVERIFY2(reservedAtBottom == 0 || expected == available, qPrintable(QStringLiteral("frame %1,%2 %3x%4")
                                                                            .arg(frame.x())
                                                                            .arg(frame.y())
                                                                            .arg(frame.width())
                                                                            .arg(frame.height())));

    writeSettings(ActionSaveOnly, ClipboardPath);
    FakeFileManagerService fileManager;
    QVERIFY(fileManager.registered());
    // settle the frame's painting before taking the reference
    QTest::qWait(200);
    const QImage screen = grabScreen();

    startOverlay();
    if (QTest::currentTestFailed())
        return;
    QVERIFY(Desktop::click(toolButton(QPoint(207, 100))));
    expectEndWithZero();
    if (QTest::currentTestFailed())
        return;

    const QString file = onlyCapture();
    expectCapture(file, screen.copy(expected));
    expectShownInFileManager(fileManager, file);
    QCOMPARE(QString::fromUtf8(Desktop::clipboard()), file);
}

QTEST_MAIN(TestOverlayCapture)
#include "tst_overlaycapture.moc"

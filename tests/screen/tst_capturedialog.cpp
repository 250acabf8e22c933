// The recorders' frame window on a real display: clicks inside the region reach the application
// below, its edges drag until the capture starts, the panel's buttons and Esc from the extension
// library's hooks reach the subclass.
#include "desktopdriver.h"
#include "extension/extension.h"
#include "extension/hookmessage.h"
#include "recorders/wndcapturedialog.h"

#include <QFile>
#include <QMouseEvent>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

namespace {

const QString kTitle = QStringLiteral("SnaplarkCaptureDialogTest");
const QRgb kRing = qRgb(0, 0, 255);

// The application the user records: a plain window that notes where it was pressed; managed by
// the window manager, which keeps the recorder's stay-on-top windows above it.
class Application : public QWidget
{
public:
    explicit Application(const QRect &geometry)
        : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint)
    {
        setGeometry(geometry);
        setAutoFillBackground(true);
        setPalette(QPalette(QColor(240, 240, 240)));
    }
    QVector<QPoint> presses;

protected:
    void mousePressEvent(QMouseEvent *event) override { presses.append(event->pos()); }
};

class Recorder : public WndCaptureDialog
{
public:
    explicit Recorder(const QRect &region)
        : WndCaptureDialog(region)
    {
        setWindowTitle(kTitle);
    }
    int starts = 0;
    int cancels = 0;

protected:
    void startCapture() override
    {
        ++starts;
        WndCaptureDialog::startCapture();
    }
    void cancelCapture() override
    {
        ++cancels;
        WndCaptureDialog::cancelCapture();
    }
};

QStringList g_keystrokes;
QtMessageHandler g_previousHandler = nullptr;

void noteKeystrokes(QtMsgType type, const QMessageLogContext &context, const QString &text)
{
    if (text.startsWith(QLatin1String("Keystroke")))
        g_keystrokes.append(text);
    g_previousHandler(type, context, text);
}

QPoint centreOf(const QWidget *widget) { return widget->mapToGlobal(widget->rect().center()); }

bool ringShownAround(const QRect &region)
{
    return QTest::qWaitFor([&] {
        const QImage screen = Desktop::grabScreen();
        const QRect outer = region.adjusted(-2, -2, 2, 2);
        // the panel may cover the frame's outer bottom row
        return screen.pixel(outer.topLeft()) == kRing && screen.pixel(region.left() - 1, region.center().y()) == kRing
            && screen.pixel(outer.right(), region.center().y()) == kRing && screen.pixel(region.topLeft()) != kRing
            && screen.pixel(region.bottomRight()) != kRing;
    });
}

} // namespace

class TestCaptureDialog : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        g_previousHandler = qInstallMessageHandler(noteKeystrokes);
        Extension::reloadForTesting(SNAPLARK_BIN_DIR);
    }
    void cleanupTestCase() { Extension::reloadForTesting(QString()); }

    // A click inside the region goes to the window below; one on the frame does not, and
    // dragging the frame's right edge widens the region until Start, after which it holds.
    void clicksAndDragging()
    {
        Application application(QRect(200, 150, 600, 420));
        application.show();
        QVERIFY(QTest::qWaitForWindowExposed(&application));
        QTRY_COMPARE(Desktop::windowGeometry(application.winId()), QRect(200, 150, 600, 420));
        Recorder recorder(QRect(300, 250, 300, 200));
        recorder.show();
        QVERIFY(QTest::qWaitForWindowExposed(&recorder));
        QVERIFY(ringShownAround(recorder.region()));
        QCOMPARE(recorder.geometry(), QRect(298, 248, 304, 204));

        // each click inside is seen before the next: the one on the frame in between went to the frame
        QVERIFY(Desktop::click(QPoint(450, 350)));
        QTRY_COMPARE(application.presses, QVector<QPoint>({QPoint(250, 200)}));
        QVERIFY(Desktop::click(QPoint(299, 350)) && Desktop::click(QPoint(301, 251)));
        QTRY_COMPARE(application.presses, QVector<QPoint>({QPoint(250, 200), QPoint(101, 101)}));

        QVERIFY(Desktop::drag(QPoint(601, 350), QPoint(641, 380)));
        QTRY_COMPARE(recorder.region(), QRect(300, 250, 340, 200));
        QVERIFY(ringShownAround(recorder.region()));
        // room below: the panel hangs under the frame, right-aligned with it
        QTRY_COMPARE(recorder.panel()->geometry().topRight(), QPoint(641, 451));
        QVERIFY(recorder.panel()->isVisible());

        QVERIFY(Desktop::click(centreOf(recorder.startButton())));
        QTRY_COMPARE(recorder.starts, 1);
        QVERIFY(recorder.isStarted());
        QVERIFY(Desktop::drag(QPoint(641, 350), QPoint(700, 350)) && Desktop::click(QPoint(450, 300)));
        QTRY_COMPARE(application.presses.size(), 3);
        QCOMPARE(recorder.region(), QRect(300, 250, 340, 200));

        QVERIFY(Desktop::click(centreOf(recorder.cancelButton())));
        QTRY_COMPARE(recorder.cancels, 1);
        QVERIFY(!recorder.isStarted());
        recorder.hide();
        QVERIFY(!recorder.panel()->isVisible());
    }

    // Esc from the hooks cancels through the subclass, other keys do not; the hooks go with the
    // window, and a window shown again hears keys again.
    void escapeThroughTheHooks()
    {
        Recorder recorder(QRect(400, 300, 200, 150));
        recorder.show();
        QVERIFY(QTest::qWaitForWindowExposed(&recorder));

        // a message posted to the window's title, as the library delivers one
        QVERIFY(Extension::sendSignal(kTitle, HookMessage::Keystroke, 0x1B, 0));
        QTRY_COMPARE(recorder.cancels, 1);

        g_keystrokes.clear();
        QVERIFY(!Desktop::tool("xdotool", {"key", "--delay", "20", "a", "Escape", "b"}).isNull());
        QTRY_COMPARE(g_keystrokes, QStringList({"Keystroke 65", "Keystroke 27", "Keystroke 66"}));
        QCOMPARE(recorder.cancels, 2);

        recorder.hide();
        g_keystrokes.clear();
        QVERIFY(!Desktop::tool("xdotool", {"key", "Escape"}).isNull());
        recorder.show();
        QVERIFY(QTest::qWaitForWindowExposed(&recorder));
        QVERIFY(!Desktop::tool("xdotool", {"key", "c"}).isNull());
        QTRY_COMPARE(g_keystrokes, QStringList({"Keystroke 67"}));
        QCOMPARE(recorder.cancels, 2);
    }

    // The hooks are on exactly while the window is shown, also for a window destroyed while shown,
    // as the library's call log (a stand-in's) tells.
    void hooksFollowTheWindow()
    {
        QTemporaryDir scratch;
        const QString log = scratch.filePath(QStringLiteral("calls.log"));
        qputenv("SNAPLARK_STANDIN_LOG", QFile::encodeName(log));
        Extension::reloadForTesting(QStringLiteral(SNAPLARK_BUILD_DIR "/tests/standin/full"));
        {
            Recorder recorder(QRect(100, 100, 50, 50));
            recorder.show();
            recorder.hide();
            recorder.show();
        }
        QFile file(log);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QString on = "Extension\tSetHooks\t1\t0\t" + kTitle, off = "Extension\tSetHooks\t0\t0\t" + kTitle;
        QCOMPARE(QString::fromUtf8(file.readAll()).split('\n', Qt::SkipEmptyParts), QStringList({on, off, on, off}));
    }
};

QTEST_MAIN(TestCaptureDialog)
#include "tst_capturedialog.moc"

// The dialog bases and the generic error box, on the offscreen platform.
#include "testsupport.h"
#include "ui/basedialog.h"
#include "ui/baseframe.h"
#include "ui/basewidget.h"
#include "ui/wnderrormsgbox.h"

#include <QApplication>
#include <QFontMetrics>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

namespace {

// Drags with real window-system mouse events: press at `from` (widget
// coordinates), move by `travel` in two steps, release.
void dragOnWindow(QWidget *widget, Qt::MouseButton button, const QPoint &from, const QPoint &travel)
{
    QWidget *top = widget->window();
    QWindow *window = top->windowHandle();
    const QPoint start = widget->mapTo(top, from);
    QTest::mousePress(window, button, {}, start);
    // The window may move under the mouse, so each step is placed in its
    // then current coordinates.
    const QPoint startGlobal = top->mapToGlobal(start);
    for (const QPoint &step : {travel / 2, travel})
        QTest::mouseMove(window, top->mapFromGlobal(startGlobal + step));
    QTest::mouseRelease(window, button, {}, top->mapFromGlobal(startGlobal + travel));
}

QPoint expectedCentre(const QSize &size)
{
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    return screen.topLeft()
        + QPoint((screen.width() - size.width()) / 2, (screen.height() - size.height()) / 2);
}

class PlainDialog : public BaseDialog
{
public:
    explicit PlainDialog(const QSize &size)
    {
        resize(size);
        setupDialog(QStringLiteral("Plain"), QString());
    }
};

} // namespace

class TestUiDialogs : public QObject
{
    Q_OBJECT
private slots:
    void errorBoxHasTheSkinnedLook();
    void secondSetupReplacesTheLook();
    void centredPlacement_data();
    void centredPlacement();
    void escClosesAndEndsTheRun();
    void otherKeysAreSwallowed();
    void buttonsOnlyReject_data();
    void buttonsOnlyReject();
    void dialogMovesByTheMouseTravel();
    void frameMovesWithinItsParent();
    void framePlacement_data();
    void framePlacement();
    void reportsOneHundredDotsPerInch();
    void cancelMakesRoomBesideTheMessage();
};

void TestUiDialogs::errorBoxHasTheSkinnedLook()
{
    WndErrorMsgBox box;
    QCOMPARE(box.windowTitle(), QStringLiteral("Snaplark Exception"));
    const Qt::WindowFlags flags = box.windowFlags();
    QVERIFY(flags & Qt::FramelessWindowHint);
    QVERIFY(flags & Qt::WindowStaysOnTopHint);
    QCOMPARE(flags & Qt::WindowType_Mask, Qt::Dialog);
    QCOMPARE(box.size(), QSize(430, 150));
    QCOMPARE(box.pos(), expectedCentre(box.size()));

    QVERIFY(qApp->styleSheet().contains(QStringLiteral("QCheckBox::indicator")));

    // shaped by the rounded background: corners cut, body kept
    const QRegion shape = box.mask();
    QVERIFY(!shape.isEmpty());
    QVERIFY(shape != QRegion(box.rect()));
    QVERIFY(!shape.contains(QPoint(0, 0)));
    QVERIFY(!shape.contains(QPoint(429, 149)));
    QVERIFY(shape.contains(QPoint(215, 75)));
    QVERIFY(shape.contains(QPoint(215, 0)));

    QVERIFY(box.findChild<QPushButton *>(QStringLiteral("btnCancel"))->isHidden());
}

void TestUiDialogs::secondSetupReplacesTheLook()
{
    WndErrorMsgBox box;
    box.resize(301, 99);
    box.setupDialog(QStringLiteral("Snaplark Upload Exception"), QString());
    QCOMPARE(box.windowTitle(), QStringLiteral("Snaplark Upload Exception"));
    QCOMPARE(box.pos(), expectedCentre(QSize(301, 99)));
    QVERIFY(box.mask().isEmpty());

    // a picture without transparent parts gives no shape either
    QTemporaryDir dir;
    QImage opaque(40, 40, QImage::Format_RGB32);
    opaque.fill(Qt::gray);
    const QString path = dir.filePath(QStringLiteral("opaque.png"));
    QVERIFY(opaque.save(path));
    box.setupDialog(QStringLiteral("Again"), QStringLiteral(":/resources/frmError.png"));
    QVERIFY(!box.mask().isEmpty());
    box.setupDialog(QStringLiteral("Again"), path);
    QVERIFY(box.mask().isEmpty());
}

void TestUiDialogs::centredPlacement_data()
{
    QTest::addColumn<QRect>("screen");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<QPoint>("expected");
    QTest::newRow("even") << QRect(0, 0, 1280, 800) << QSize(430, 150) << QPoint(425, 325);
    QTest::newRow("odd halves truncate") << QRect(0, 0, 1280, 800) << QSize(253, 261)
                                         << QPoint(513, 269);
    QTest::newRow("screen off the origin") << QRect(-1024, 200, 1024, 768) << QSize(24, 68)
                                           << QPoint(-1024 + 500, 200 + 350);
    QTest::newRow("larger than the screen") << QRect(0, 0, 100, 100) << QSize(301, 103)
                                            << QPoint(-100, -1);
}

void TestUiDialogs::centredPlacement()
{
    QFETCH(QRect, screen);
    QFETCH(QSize, size);
    QFETCH(QPoint, expected);
    QCOMPARE(DialogPlacement::centred(screen, size), expected);
}

void TestUiDialogs::escClosesAndEndsTheRun()
{
    RunObserver run;
    WndErrorMsgBox box;
    box.show();
    QVERIFY(QTest::qWaitForWindowExposed(&box));
    QTest::keyClick(&box, Qt::Key_Escape);
    QVERIFY(!box.isVisible());
    QCOMPARE(run.endCodes, QList<int>{0});
}

void TestUiDialogs::otherKeysAreSwallowed()
{
    RunObserver run;
    PlainDialog dialog(QSize(200, 100));
    auto *ok = new QPushButton(QStringLiteral("OK"), &dialog);
    ok->setDefault(true);
    QObject::connect(ok, &QPushButton::clicked, &dialog, &QDialog::accept);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    for (Qt::Key key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Space, Qt::Key_A})
        QTest::keyClick(&dialog, key);
    QVERIFY(dialog.isVisible());
    QCOMPARE(dialog.result(), 0);
    QVERIFY(run.endCodes.isEmpty());
}

void TestUiDialogs::buttonsOnlyReject_data()
{
    QTest::addColumn<QString>("button");
    QTest::newRow("close") << QStringLiteral("btnClose");
    QTest::newRow("cancel") << QStringLiteral("btnCancel");
}

void TestUiDialogs::buttonsOnlyReject()
{
    QFETCH(QString, button);
    RunObserver run;
    WndErrorMsgBox box;
    box.setCancelVisible(true);
    auto *target = box.findChild<QPushButton *>(button);
    QVERIFY(target);
    QTimer::singleShot(0, target, [target] { QTest::mouseClick(target, Qt::LeftButton); });
    QTimer::singleShot(5000, &box, [&box] { box.done(99); }); // never hang the test
    QCOMPARE(box.exec(), 0);
    QVERIFY(!box.isVisible());
    QVERIFY(run.endCodes.isEmpty());
}

void TestUiDialogs::dialogMovesByTheMouseTravel()
{
    RunObserver run;
    PlainDialog dialog(QSize(300, 200));
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    const QPoint start = dialog.pos();

    dragOnWindow(&dialog, Qt::RightButton, QPoint(100, 60), QPoint(40, 40));
    QCOMPARE(dialog.pos(), start);

    dragOnWindow(&dialog, Qt::LeftButton, QPoint(100, 60), QPoint(37, -23));
    QTRY_COMPARE(dialog.pos(), start + QPoint(37, -23));

    // after the release, moving the mouse leaves the dialog where it is
    QTest::mouseMove(dialog.windowHandle(), QPoint(10, 10));
    QCOMPARE(dialog.pos(), start + QPoint(37, -23));
    QVERIFY(run.endCodes.isEmpty());
}

void TestUiDialogs::frameMovesWithinItsParent()
{
    QWidget window;
    window.resize(400, 300);
    auto *frame = new BaseFrame(&window);
    frame->setGeometry(20, 20, 100, 50);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));

    dragOnWindow(frame, Qt::LeftButton, QPoint(10, 10), QPoint(30, 40));
    QCOMPARE(frame->pos(), QPoint(50, 60));
    dragOnWindow(frame, Qt::RightButton, QPoint(10, 10), QPoint(30, 40));
    QCOMPARE(frame->pos(), QPoint(50, 60));
    // dragged past the edge it stops at the edge and stays reachable
    dragOnWindow(frame, Qt::LeftButton, QPoint(10, 10), QPoint(500, -100));
    QCOMPARE(frame->pos(), QPoint(300, 0));
}

void TestUiDialogs::framePlacement_data()
{
    QTest::addColumn<QPoint>("topLeft");
    QTest::addColumn<QSize>("frame");
    QTest::addColumn<QPoint>("expected");
    QTest::newRow("inside") << QPoint(50, 60) << QSize(100, 50) << QPoint(50, 60);
    QTest::newRow("right and bottom") << QPoint(350, 280) << QSize(100, 50) << QPoint(300, 250);
    QTest::newRow("left and top") << QPoint(-5, -1) << QSize(100, 50) << QPoint(0, 0);
    QTest::newRow("exactly at the edge") << QPoint(300, 250) << QSize(100, 50) << QPoint(300, 250);
    QTest::newRow("larger than the parent") << QPoint(-30, 40) << QSize(500, 400) << QPoint(0, 0);
}

void TestUiDialogs::framePlacement()
{
    QFETCH(QPoint, topLeft);
    QFETCH(QSize, frame);
    QFETCH(QPoint, expected);
    QCOMPARE(FramePlacement::keptInside(topLeft, frame, QSize(400, 300)), expected);
}

void TestUiDialogs::reportsOneHundredDotsPerInch()
{
    WndErrorMsgBox box;
    QWidget holder;
    auto *widget = new BaseWidget(&holder);
    QWidget plain;
    plain.resize(box.size());
    QCOMPARE(plain.logicalDpiY(), 144);

    QFont points;
    points.setPointSize(18);
    QFont pixels = points;
    pixels.setPixelSize(25); // 18 pt at 100 dots per inch

    for (const QWidget *device : {static_cast<QWidget *>(&box), static_cast<QWidget *>(widget)}) {
        QCOMPARE(device->logicalDpiX(), 100);
        QCOMPARE(device->logicalDpiY(), 100);
        QCOMPARE(device->physicalDpiX(), 100);
        QCOMPARE(device->physicalDpiY(), 100);
        QCOMPARE(QFontMetrics(points, device).height(), QFontMetrics(pixels, device).height());
    }
    // the other metrics stay the widget's own
    QCOMPARE(box.widthMM(), plain.widthMM());
    QCOMPARE(box.depth(), plain.depth());
}

void TestUiDialogs::cancelMakesRoomBesideTheMessage()
{
    WndErrorMsgBox box;
    auto *message = box.findChild<QPlainTextEdit *>(QStringLiteral("edError"));
    auto *cancel = box.findChild<QPushButton *>(QStringLiteral("btnCancel"));
    QVERIFY(message && cancel);
    QCOMPARE(message->geometry(), QRect(60, 36, 350, 90));
    QVERIFY(message->isReadOnly());

    box.setCancelVisible(false);
    QCOMPARE(message->width(), 350);
    QVERIFY(cancel->isHidden());

    box.setCancelVisible(true);
    QCOMPARE(message->geometry(), QRect(60, 36, 240, 90));
    QCOMPARE(cancel->geometry(), QRect(310, 85, 110, 40));
    QVERIFY(!cancel->isHidden());
    QVERIFY(!message->geometry().intersects(cancel->geometry()));
    box.setCancelVisible(true);
    QCOMPARE(message->width(), 240);

    const QString text = QStringLiteral("<b>Upload failed</b> & \"retry\"\nsecond line");
    box.setMessage(text);
    QCOMPARE(message->toPlainText(), text);
}

int main(int argc, char **argv)
{
    // A system resolution other than the fixed one, so that reporting the
    // fixed one is visible.
    qputenv("QT_FONT_DPI", "144");
    QApplication app(argc, argv);
    TestUiDialogs test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_uidialogs.moc"

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
#include <QTimer>
#include <QtTest>

namespace {

// Drags with real window-system mouse events: press at `from` (widget
// coordinates), move by `travel` in two steps, release.  The window may move
// under the mouse, so each step is placed in its then current coordinates.
void dragOnWindow(QWidget *widget, Qt::MouseButton button, const QPoint &from, const QPoint &travel)
{
    QWidget *top = widget->window();
    QWindow *window = top->windowHandle();
    const QPoint start = widget->mapTo(top, from);
    QTest::mousePress(window, button, {}, start);
    const QPoint startGlobal = top->mapToGlobal(start);
    for (const QPoint &step : {travel / 2, travel})
        QTest::mouseMove(window, top->mapFromGlobal(startGlobal + step));
    QTest::mouseRelease(window, button, {}, top->mapFromGlobal(startGlobal + travel));
}

class PlainDialog : public BaseDialog
{
public:
    PlainDialog()
    {
        resize(200, 100);
        setupDialog(QStringLiteral("Plain"), QString());
    }
};

} // namespace

class TestUiDialogs : public QObject
{
    Q_OBJECT

private slots:
    void centredPlacement_data()
    {
        QTest::addColumn<QRect>("screen");
        QTest::addColumn<QSize>("size");
        QTest::addColumn<QPoint>("expected");
        QTest::newRow("odd halves truncate") << QRect(0, 0, 1280, 800) << QSize(253, 261) << QPoint(513, 269);
        QTest::newRow("screen off the origin") << QRect(-1024, 200, 1024, 768) << QSize(24, 68)
                                               << QPoint(-1024 + 500, 200 + 350);
        QTest::newRow("larger than the screen") << QRect(0, 0, 100, 100) << QSize(301, 103) << QPoint(-100, -1);
    }
    void centredPlacement()
    {
        QFETCH(QRect, screen);
        QFETCH(QSize, size);
        QFETCH(QPoint, expected);
        QCOMPARE(DialogPlacement::centred(screen, size), expected);
    }

    void escClosesAndEndsTheRun()
    {
        RunObserver run;
        WndErrorMsgBox box;
        box.show();
        QVERIFY(QTest::qWaitForWindowExposed(&box));
        QTest::keyClick(&box, Qt::Key_Escape);
        QVERIFY(!box.isVisible());
        QCOMPARE(run.endCodes, QList<int>{0});
    }

    void otherKeysAreSwallowed()
    {
        RunObserver run;
        PlainDialog box;
        auto *ok = new QPushButton(QStringLiteral("OK"), &box);
        ok->setDefault(true);
        QObject::connect(ok, &QPushButton::clicked, &box, &QDialog::accept);
        box.show();
        QVERIFY(QTest::qWaitForWindowExposed(&box));
        for (Qt::Key key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Space, Qt::Key_A})
            QTest::keyClick(&box, key);
        QVERIFY(box.isVisible());
        QCOMPARE(box.result(), 0);
        QVERIFY(run.endCodes.isEmpty());
    }

    // Close and Cancel only reject the box: its modal run returns 0 and the
    // program goes on.
    void buttonsOnlyReject()
    {
        RunObserver run;
        WndErrorMsgBox box;
        box.setCancelVisible(true);
        for (const char *name : {"btnClose", "btnCancel"}) {
            auto *target = box.findChild<QPushButton *>(QString::fromLatin1(name));
            QTimer::singleShot(0, target, [target] { QTest::mouseClick(target, Qt::LeftButton); });
            QTimer::singleShot(5000, &box, [&box] { box.done(99); }); // never hang the test
            QCOMPARE(box.exec(), 0);
            QVERIFY(!box.isVisible());
        }
        QVERIFY(run.endCodes.isEmpty());
    }

    void dialogMovesByTheLeftButtonOnly()
    {
        RunObserver run;
        PlainDialog dialog;
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

    void frameMovesWithinItsParent()
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

    void reportsOneHundredDotsPerInch()
    {
        WndErrorMsgBox box;
        QWidget holder;
        auto *widget = new BaseWidget(&holder);
        QWidget plain;
        QCOMPARE(plain.logicalDpiY(), 144);

        QFont points;
        points.setPointSize(18);
        QFont pixels = points;
        pixels.setPixelSize(25); // 18 pt at 100 dots per inch
        for (const QWidget *device : {static_cast<QWidget *>(&box), static_cast<QWidget *>(widget)}) {
            QCOMPARE(device->logicalDpiX(), 100);
            QCOMPARE(device->logicalDpiY(), 100);
            QCOMPARE(device->physicalDpiY(), 100);
            QCOMPARE(QFontMetrics(points, device).height(), QFontMetrics(pixels, device).height());
        }
    }

    void cancelMakesRoomBesideTheMessage()
    {
        WndErrorMsgBox box;
        auto *message = box.findChild<QPlainTextEdit *>(QStringLiteral("edError"));
        auto *cancel = box.findChild<QPushButton *>(QStringLiteral("btnCancel"));
        QVERIFY(message && cancel);
        QCOMPARE(message->geometry(), QRect(60, 36, 350, 90));
        QVERIFY(cancel->isHidden());

        box.setCancelVisible(true);
        QCOMPARE(message->geometry(), QRect(60, 36, 240, 90));
        QCOMPARE(cancel->geometry(), QRect(310, 85, 110, 40));
        QVERIFY(!cancel->isHidden());
        // asked twice, it narrows only once
        box.setCancelVisible(true);
        QCOMPARE(message->width(), 240);
    }
};

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

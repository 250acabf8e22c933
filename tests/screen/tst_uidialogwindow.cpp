// A skinned dialog on a real X display with a window manager: placement,
// stacking, shape and dragging, as a user meets them.
#include "desktopdriver.h"
#include "processdriver.h"
#include "testsupport.h"
#include "ui/wnderrormsgbox.h"

#include <QScreen>
#include <QtTest>

class TestUiDialogWindow : public QObject
{
    Q_OBJECT
private slots:
    void skinnedWindowOnTheDesktop()
    {
        // a loud colour behind the dialog shows where its shape lets it through
        const QColor loud(255, 0, 255);
        QWidget backdrop(nullptr, Qt::Window | Qt::FramelessWindowHint);
        backdrop.setGeometry(Desktop::screenRect());
        backdrop.setStyleSheet(QStringLiteral("background: #ff00ff;"));
        backdrop.show();
        QVERIFY(QTest::qWaitForWindowExposed(&backdrop));
        const auto pixel = [](const QPoint &at) { return Desktop::grabScreen().pixelColor(at); };

        RunObserver run;
        WndErrorMsgBox box;
        box.setMessage(QStringLiteral("Can't start video capturing!"));
        box.show();
        QVERIFY(QTest::qWaitForWindowExposed(&box));
        const qulonglong window = box.winId();
        QVERIFY(waitUntil([&] { return Desktop::windowGeometry(window).isValid(); }, 5000));

        // centred on the 1280 x 800 display, undecorated, above the others
        const QRect area = Desktop::windowGeometry(window);
        QCOMPARE(area, QRect(425, 325, 430, 150));
        const auto property = [&](const QString &name) {
            return QString::fromUtf8(Desktop::tool("xprop", {"-id", QString::number(window), name}));
        };
        QVERIFY(waitUntil([&] { return property("_NET_WM_STATE").contains("_NET_WM_STATE_ABOVE"); }, 5000));
        QVERIFY(property("_NET_FRAME_EXTENTS").contains("= 0, 0, 0, 0"));

        // the background picture's rounded corners let the backdrop through
        QVERIFY(waitUntil([&] { return pixel(area.center()) != loud; }, 5000));
        QCOMPARE(pixel(area.topLeft()), loud);
        QCOMPARE(pixel(area.bottomRight()), loud);
        QVERIFY(pixel(area.topLeft() + QPoint(20, 0)) != loud);

        // dragged by its header, clear of the buttons
        const QPoint grip = area.topLeft() + QPoint(150, 12);
        const QPoint travel(60, -45);
        QVERIFY(Desktop::drag(grip, grip + travel));
        QVERIFY(waitUntil([&] { return Desktop::windowGeometry(window) == area.translated(travel); }, 5000));
        QCOMPARE(box.pos(), area.topLeft() + travel);
        QVERIFY(run.endCodes.isEmpty());

        // without a mask picture the window is a plain rectangle
        box.setupDialog(QStringLiteral("Snaplark Upload Exception"), QString());
        box.show();
        QVERIFY(waitUntil([&] { return pixel(Desktop::windowGeometry(window).topLeft()) != loud; }, 5000));
    }
};

QTEST_MAIN(TestUiDialogWindow)
#include "tst_uidialogwindow.moc"

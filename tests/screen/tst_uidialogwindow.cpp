// A skinned dialog on a real X display with a window manager: placement,
// stacking, shape, dragging with the mouse and Esc, as a user meets them.
#include "desktopdriver.h"
#include "processdriver.h"
#include "testsupport.h"
#include "ui/wnderrormsgbox.h"

#include <QScreen>
#include <QtTest>

namespace {

const QColor backdropColour(255, 0, 255);

QColor screenPixel(const QPoint &at)
{
    const QImage grab =
        QGuiApplication::primaryScreen()->grabWindow(0, at.x(), at.y(), 1, 1).toImage();
    return grab.pixelColor(0, 0);
}

QString windowProperty(qulonglong window, const QString &name)
{
    return QString::fromUtf8(
        Desktop::tool(QStringLiteral("xprop"), {QStringLiteral("-id"), QString::number(window), name}));
}

} // namespace

class TestUiDialogWindow : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();
    void undecoratedOnTopAndCentred();
    void shapedByItsBackground();
    void draggedByTheLeftButtonOnly();
    void escEndsTheRun();

private:
    QWidget *m_backdrop = nullptr;
    WndErrorMsgBox *m_box = nullptr;
    RunObserver *m_run = nullptr;
};

void TestUiDialogWindow::initTestCase()
{
    // a loud colour behind the dialog shows where its shape lets it through
    m_backdrop = new QWidget;
    m_backdrop->setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
    m_backdrop->setGeometry(QGuiApplication::primaryScreen()->geometry());
    m_backdrop->setAutoFillBackground(true);
    QPalette palette;
    palette.setColor(QPalette::Window, backdropColour);
    m_backdrop->setPalette(palette);
    m_backdrop->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_backdrop));
}

void TestUiDialogWindow::cleanupTestCase()
{
    delete m_backdrop;
}

void TestUiDialogWindow::init()
{
    m_run = new RunObserver;
    m_box = new WndErrorMsgBox;
    m_box->setMessage(QStringLiteral("Can't start video capturing!"));
    m_box->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_box));
    QVERIFY(waitUntil([this] { return Desktop::windowGeometry(m_box->winId()).isValid(); }, 5000));
}

void TestUiDialogWindow::cleanup()
{
    delete m_box;
    m_box = nullptr;
    delete m_run;
    m_run = nullptr;
}

void TestUiDialogWindow::undecoratedOnTopAndCentred()
{
    const qulonglong window = m_box->winId();
    // 1280 x 800 display: ((1280 - 430) / 2, (800 - 150) / 2)
    QCOMPARE(Desktop::windowGeometry(window), QRect(425, 325, 430, 150));
    QVERIFY(waitUntil([&] {
        return windowProperty(window, QStringLiteral("_NET_WM_STATE")).contains("_NET_WM_STATE_ABOVE");
    }, 5000));
    const QString extents = windowProperty(window, QStringLiteral("_NET_FRAME_EXTENTS"));
    QVERIFY2(extents.contains(QStringLiteral("= 0, 0, 0, 0")), qPrintable(extents));
}

void TestUiDialogWindow::shapedByItsBackground()
{
    const QRect area = Desktop::windowGeometry(m_box->winId());
    QVERIFY(waitUntil([&] { return screenPixel(area.center()) != backdropColour; }, 5000));
    QCOMPARE(screenPixel(area.topLeft()), backdropColour);
    QCOMPARE(screenPixel(area.bottomRight()), backdropColour);
    QVERIFY(screenPixel(area.topLeft() + QPoint(20, 0)) != backdropColour);

    // without a mask picture the window is a plain rectangle
    m_box->setupDialog(QStringLiteral("Snaplark Upload Exception"), QString());
    m_box->show();
    QVERIFY(waitUntil([&] { return screenPixel(area.topLeft()) != backdropColour; }, 5000));
}

void TestUiDialogWindow::draggedByTheLeftButtonOnly()
{
    const qulonglong window = m_box->winId();
    const QRect start = Desktop::windowGeometry(window);
    const QPoint grip = start.topLeft() + QPoint(150, 12); // header, clear of the buttons

    const QPoint rightTo = grip + QPoint(40, 40);
    QVERIFY(!Desktop::tool(QStringLiteral("xdotool"),
                           {"mousemove", "--sync", QString::number(grip.x()), QString::number(grip.y()),
                            "mousedown", "3", "mousemove", "--sync", QString::number(rightTo.x()),
                            QString::number(rightTo.y()), "mouseup", "3"})
                 .isNull());
    QTest::qWait(200);
    QCOMPARE(Desktop::windowGeometry(window), start);

    const QPoint travel(60, -45);
    QVERIFY(Desktop::drag(grip, grip + travel));
    QVERIFY(waitUntil([&] { return Desktop::windowGeometry(window) == start.translated(travel); },
                      5000));
    QCOMPARE(m_box->pos(), start.topLeft() + travel);
    QVERIFY(m_run->endCodes.isEmpty());
}

void TestUiDialogWindow::escEndsTheRun()
{
    QVERIFY(Desktop::keyInto(m_box->winId(), QStringLiteral("Escape")));
    QVERIFY(waitUntil([this] { return !m_box->isVisible(); }, 5000));
    QCOMPARE(m_run->endCodes, QList<int>{0});
}

QTEST_MAIN(TestUiDialogWindow)
#include "tst_uidialogwindow.moc"

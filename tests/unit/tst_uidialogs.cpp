// The dialog bases and the generic error box, on the offscreen platform.
#include "core/screengeometry.h"
#include "editor/editoractions.h"
#include "testsupport.h"
#include "ui/basedialog.h"
#include "ui/baseframe.h"
#include "ui/basewidget.h"
#include "ui/wnderrormsgbox.h"
#include "upload/uploadcancelquestion.h"

#include <QApplication>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

// Press at `from` (widget coordinates), move by `travel` in two steps, release;
// each step in the window's then current coordinates, as the window may move.
static void dragOnWindow(QWidget *widget, Qt::MouseButton button, const QPoint &from, const QPoint &travel)
{
    QWidget *top = widget->window();
    const QPoint start = widget->mapTo(top, from);
    const QPoint startGlobal = top->mapToGlobal(start);
    QTest::mousePress(top->windowHandle(), button, {}, start);
    for (const QPoint &step : {travel / 2, travel})
        QTest::mouseMove(top->windowHandle(), top->mapFromGlobal(startGlobal + step));
    QTest::mouseRelease(top->windowHandle(), button, {}, top->mapFromGlobal(startGlobal + travel));
}

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
        QTest::newRow("screen off the origin") << QRect(-1024, 200, 1024, 768) << QSize(24, 68) << QPoint(-524, 550);
        QTest::newRow("larger than the screen") << QRect(0, 0, 100, 100) << QSize(301, 103) << QPoint(-100, -1);
    }
    void centredPlacement()
    {
        QFETCH(QRect, screen);
        QFETCH(QSize, size);
        QFETCH(QPoint, expected);
        QCOMPARE(DialogPlacement::centred(screen, size), expected);
    }

    // With a second screen left of and above the primary one, every box and
    // question lands in the middle of the primary screen, not at the
    // desktop's origin.
    void dialogsCentreOnThePrimaryScreen()
    {
        const QRect primary(1024, 200, 1280, 800);
        ScreenGeometry::setLayoutForTesting(ScreenGeometry::Layout{{{QRect(0, 0, 1024, 768), QRect(0, 0, 1024, 740)},
                                                                   {primary, primary}},
                                                                  1});
        RunObserver run;
        QStringList placed;
        const auto middle = [&placed, &primary](const QWidget *window, const QSize &size) {
            const QPoint centre = QRect(window->pos(), size).center();
            if ((centre - primary.center()).manhattanLength() > 2)
                placed << QStringLiteral("%1 at %2,%3").arg(window->windowTitle()).arg(centre.x()).arg(centre.y());
        };
        run.onDialog = [&middle](QDialog *dialog) { middle(dialog, dialog->sizeHint()); };

        WndErrorMsgBox box;
        middle(&box, box.size());
        UploadCancelQuestion::ask(nullptr);
        QWidget editor;
        EditorActions actions(&editor, &editor);
        QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
        actions.keyPress(&escape); // "Do you really want to close Snaplark?"
        actions.chooseColor();
        ScreenGeometry::setLayoutForTesting(std::nullopt);
        QCOMPARE(run.dialogs.size(), 3);
        QVERIFY2(placed.isEmpty(), qPrintable(placed.join(QStringLiteral("; "))));
    }

    // Keys, dragging (the dialog and a frame inside it) and Esc on one dialog.
    void dialogAndFrameBehaviour()
    {
        RunObserver run;
        BaseDialog dialog;
        dialog.resize(400, 300);
        dialog.setupDialog(QStringLiteral("Plain"), QString());
        auto *ok = new QPushButton(QStringLiteral("OK"), &dialog);
        ok->setGeometry(300, 250, 80, 30);
        ok->setDefault(true);
        QObject::connect(ok, &QPushButton::clicked, &dialog, &QDialog::accept);
        auto *frame = new BaseFrame(&dialog);
        frame->setGeometry(20, 20, 100, 50);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        for (Qt::Key key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Space, Qt::Key_A})
            QTest::keyClick(&dialog, key);
        QVERIFY(dialog.isVisible());
        const QPoint start = dialog.pos();
        dragOnWindow(&dialog, Qt::RightButton, QPoint(200, 150), QPoint(40, 40));
        QCOMPARE(dialog.pos(), start);
        dragOnWindow(&dialog, Qt::LeftButton, QPoint(200, 150), QPoint(37, -23));
        QTRY_COMPARE(dialog.pos(), start + QPoint(37, -23));
        QTest::mouseMove(dialog.windowHandle(), QPoint(10, 10)); // released: no more moving
        dragOnWindow(frame, Qt::LeftButton, QPoint(10, 10), QPoint(30, 40));
        QCOMPARE(frame->pos(), QPoint(50, 60));
        // dragged past the edge it stops there and stays reachable
        dragOnWindow(frame, Qt::LeftButton, QPoint(10, 10), QPoint(500, -100));
        QCOMPARE(frame->pos(), QPoint(300, 0));
        QCOMPARE(dialog.pos(), start + QPoint(37, -23)); // the frame's drags left the dialog alone
        QTest::keyClick(&dialog, Qt::Key_Escape);
        QVERIFY(!dialog.isVisible());
        QCOMPARE(run.endCodes, QList<int>{0});
    }

    void errorBox()
    {
        RunObserver run;
        WndErrorMsgBox box;
        auto *message = box.findChild<QPlainTextEdit *>(QStringLiteral("edError"));
        auto *cancel = box.findChild<QPushButton *>(QStringLiteral("btnCancel"));
        QCOMPARE(message->geometry(), QRect(60, 36, 350, 90));
        QVERIFY(cancel->isHidden());
        box.setCancelVisible(true);
        box.setCancelVisible(true); // narrows only once
        QCOMPARE(message->geometry(), QRect(60, 36, 240, 90));
        QCOMPARE(cancel->geometry(), QRect(310, 85, 110, 40));
        QVERIFY(!cancel->isHidden());
        // Close and Cancel only reject: the modal run returns 0, the program goes on
        for (const char *name : {"btnClose", "btnCancel"}) {
            auto *target = box.findChild<QPushButton *>(QString::fromLatin1(name));
            QTimer::singleShot(0, target, [target] { QTest::mouseClick(target, Qt::LeftButton); });
            QTimer::singleShot(5000, &box, [&box] { box.done(99); }); // never hang the test
            QCOMPARE(box.exec(), 0);
        }
        QVERIFY(run.endCodes.isEmpty());
        // 100 dots per inch, against the system's 144 (see main)
        QWidget holder;
        auto *widget = new BaseWidget(&holder);
        QCOMPARE(holder.logicalDpiY(), 144);
        QFont points, pixels;
        points.setPointSize(18);
        pixels.setPixelSize(25); // 18 pt at 100 dots per inch
        for (const QWidget *device : {static_cast<QWidget *>(&box), static_cast<QWidget *>(widget)}) {
            QCOMPARE(device->logicalDpiX(), 100);
            QCOMPARE(device->logicalDpiY(), 100);
            QCOMPARE(device->physicalDpiY(), 100);
            QCOMPARE(QFontMetrics(points, device).height(), QFontMetrics(pixels, device).height());
        }
    }
};

int main(int argc, char **argv)
{
    qputenv("QT_FONT_DPI", "144"); // a system resolution other than the fixed one
    QApplication app(argc, argv);
    TestUiDialogs test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_uidialogs.moc"

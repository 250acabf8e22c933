// The resource bundle: every picture the windows name, the backgrounds that
// shape their windows, and the application style sheet.
#include "ui/wnderrormsgbox.h"

#include <QApplication>
#include <QBitmap>
#include <QCheckBox>
#include <QFile>
#include <QLabel>
#include <QStyle>
#include <QtTest>

namespace {

const QStringList pictureNames = {
    "chbModeSelect.png", "btnClose.png", "btnOk.png", "btnCancel.png",
    "btnSave.png", "btnUpload.png", "btnSaveSettings.png", "btnSettings.png", "btnHelp.png",
    "btnFullScreen.png", "btnActiveWindow.png", "btnLogon.png", "btnLogout.png", "btnReconnect.png",
    "btnStop.png", "btnLeave.png", "btnForceStart.png", "btnStartVideo.png", "btnStopRecord.png",
    "btnStopRecord2.png", "btnGifStart.png", "btnGifStop.png", "btnGifCancel.png", "btnRectangle.png",
    "btnRectangle_Pressed.png", "btnHighlight.png", "btnHighlight_Pressed.png", "btnLine.png",
    "btnLine_Pressed.png", "btnArrow.png", "btnArrow_Pressed.png", "btnText.png", "btnText_Pressed.png",
    "btnColors.png", "btnUndo.png", "btnUndo_Pressed.png", "btnUndoAll.png", "btnUndoAll_Pressed.png",
    "gifStamp.gif", "gifLastImage.gif", "app.ico", "capture_folder_icon.icns"};

} // namespace

class TestUiResources : public QObject
{
    Q_OBJECT

private slots:
    void everyPictureLoads_data()
    {
        QTest::addColumn<QString>("path");
        for (const QString &name : pictureNames)
            QTest::newRow(qPrintable(name)) << QStringLiteral(":/resources/") + name;
        // the GIF recorder names its pictures with a doubled slash
        QTest::newRow("stamp, doubled slash") << QStringLiteral("://resources/gifStamp.gif");
    }
    void everyPictureLoads()
    {
        QFETCH(QString, path);
        const QImage image(path);
        QVERIFY(!image.isNull());
        QVERIFY(image.width() >= 16 && image.height() >= 16);
    }

    // A dialog takes its size from the form and its shape from the mask of
    // its background: rounded corners cut off, the outline whole.
    void backgroundsShapeTheirWindows_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QSize>("size");
        QTest::newRow("tool frame") << "frmMain.png" << QSize(253, 390);
        QTest::newRow("tool frame, other look") << "frmMain_mac.png" << QSize(253, 390);
        QTest::newRow("settings") << "frmSettings.png" << QSize(); // no design size to match
        QTest::newRow("video dialogs") << "frmVideo.png" << QSize(253, 262);
        QTest::newRow("recording") << "frmRecord.png" << QSize(80, 93);
        QTest::newRow("progress") << "frmProgress.png" << QSize(360, 150);
        for (const char *box : {"frmError.png", "frmUploadError.png", "frmForceStartError.png"})
            QTest::newRow(box) << box << QSize(430, 150);
        QTest::newRow("editor toolbar") << "frmImageEdit.png" << QSize(372, 171);
    }
    void backgroundsShapeTheirWindows()
    {
        QFETCH(QString, name);
        QFETCH(QSize, size);
        const QPixmap picture(QStringLiteral(":/resources/") + name);
        if (size.isValid())
            QCOMPARE(picture.size(), size);
        const QRegion shape(picture.mask());
        const QRect all = picture.rect();
        for (const QPoint &corner : {all.topLeft(), all.topRight(), all.bottomLeft(), all.bottomRight()})
            QVERIFY2(!shape.contains(corner), "rounded corners are cut off");
        QVERIFY(shape.contains(all.center()));
        QVERIFY(shape.contains(QPoint(all.center().x(), 0)));
        QVERIFY(shape.contains(QPoint(0, all.center().y())));
    }

    void styleSheetStylesWidgets()
    {
        qApp->setStyleSheet(QString());
        WndErrorMsgBox box; // any dialog installs the sheet for the whole application

        QLabel label(QStringLiteral("Mouse:"));
        label.ensurePolished();
        QCOMPARE(label.palette().color(QPalette::WindowText), QColor(20, 20, 20));
        QCheckBox check(QStringLiteral("Enable tray icon"));
        check.ensurePolished();
        QCOMPARE(check.palette().color(QPalette::WindowText), QColor(20, 20, 20));
        QCOMPARE(check.style()->pixelMetric(QStyle::PM_IndicatorWidth, nullptr, &check), 13);
    }
};

QTEST_MAIN(TestUiResources)
#include "tst_uiresources.moc"

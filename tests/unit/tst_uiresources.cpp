// The resource bundle: the pictures, the backgrounds that shape the windows, the style sheet.
#include "ui/wnderrormsgbox.h"

#include <QApplication>
#include <QBitmap>
#include <QCheckBox>
#include <QLabel>
#include <QStyle>
#include <QtTest>

class TestUiResources : public QObject
{
    Q_OBJECT

private slots:
    // Every picture loads; a background gives its dialog the form's size and, by its mask, its shape.
    void picturesAndBackgrounds()
    {
        QStringList names = QStringLiteral(
            "chbModeSelect.png btnClose.png btnOk.png btnCancel.png btnSave.png btnUpload.png btnSaveSettings.png "
            "btnSettings.png btnHelp.png btnFullScreen.png btnActiveWindow.png btnLogon.png btnLogout.png "
            "btnReconnect.png btnStop.png btnLeave.png btnForceStart.png btnStartVideo.png btnStopRecord.png "
            "btnStopRecord2.png btnGifStart.png btnGifStop.png btnGifCancel.png btnColors.png gifStamp.gif "
            "gifLastImage.gif app.ico capture_folder_icon.icns").split(' ');
        for (const char *tool : {"btnRectangle", "btnHighlight", "btnLine", "btnArrow", "btnText", "btnUndo", "btnUndoAll"})
            names << tool + QStringLiteral(".png") << tool + QStringLiteral("_Pressed.png");
        for (const QString &name : names) // at least 16 x 16
            QVERIFY2(QImage(":/resources/" + name).size().boundedTo({16, 16}) == QSize(16, 16), qPrintable(name));
        QVERIFY(!QImage("://resources/gifStamp.gif").isNull()); // the GIF recorder's spelling
        const QSize box(430, 150), frame(253, 390), any; // any: no design size to match
        const std::pair<const char *, QSize> backgrounds[] = {
            {"frmMain.png", frame}, {"frmMain_mac.png", frame}, {"frmSettings.png", any}, {"frmVideo.png", {253, 262}},
            {"frmRecord.png", {80, 93}}, {"frmProgress.png", {360, 150}}, {"frmError.png", box}, {"frmUploadError.png", box},
            {"frmForceStartError.png", box}, {"frmImageEdit.png", {372, 171}}};
        for (const auto &[name, size] : backgrounds) {
            const QPixmap picture(QStringLiteral(":/resources/") + name);
            QVERIFY2(!picture.isNull() && (!size.isValid() || picture.size() == size), name);
            const QRegion shape(picture.mask());
            const QRect all = picture.rect();
            for (const QPoint &corner : {all.topLeft(), all.topRight(), all.bottomLeft(), all.bottomRight()})
                QVERIFY2(!shape.contains(corner), name); // rounded corners cut off, the outline whole
            QVERIFY2(shape.contains(all.center()) && shape.contains(QPoint(all.center().x(), 0))
                     && shape.contains(QPoint(0, all.center().y())), name);
        }
    }

    void styleSheetStylesWidgets()
    {
        qApp->setStyleSheet(QString());
        WndErrorMsgBox box; // any dialog installs the sheet for the whole application
        QLabel label(QStringLiteral("Mouse:"));
        QCheckBox check(QStringLiteral("Enable tray icon"));
        label.ensurePolished();
        check.ensurePolished();
        QCOMPARE(label.palette().color(QPalette::WindowText), QColor(20, 20, 20));
        QCOMPARE(check.palette().color(QPalette::WindowText), QColor(20, 20, 20));
        QCOMPARE(check.style()->pixelMetric(QStyle::PM_IndicatorWidth, nullptr, &check), 13);
    }
};

QTEST_MAIN(TestUiResources)
#include "tst_uiresources.moc"

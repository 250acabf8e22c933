// The resource bundle: every picture the windows name, the style sheet and
// the way each entry is stored.
#include "ui/wnderrormsgbox.h"

#include <QApplication>
#include <QBitmap>
#include <QCheckBox>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QPixmap>
#include <QRegularExpression>
#include <QResource>
#include <QStyle>
#include <QtTest>

namespace {

const QStringList pictureNames = {
    "frmMain.png", "frmMain_mac.png", "frmSettings.png", "frmVideo.png", "frmRecord.png",
    "frmProgress.png", "frmError.png", "frmUploadError.png", "frmForceStartError.png",
    "frmImageEdit.png", "chbModeSelect.png", "btnClose.png", "btnOk.png", "btnCancel.png",
    "btnSave.png", "btnUpload.png", "btnSaveSettings.png", "btnSettings.png", "btnHelp.png",
    "btnFullScreen.png", "btnActiveWindow.png", "btnLogon.png", "btnLogout.png",
    "btnReconnect.png", "btnStop.png", "btnLeave.png", "btnForceStart.png", "btnStartVideo.png",
    "btnStopRecord.png", "btnStopRecord2.png", "btnGifStart.png", "btnGifStop.png",
    "btnGifCancel.png", "btnRectangle.png", "btnRectangle_Pressed.png", "btnHighlight.png",
    "btnHighlight_Pressed.png", "btnLine.png", "btnLine_Pressed.png", "btnArrow.png",
    "btnArrow_Pressed.png", "btnText.png", "btnText_Pressed.png", "btnColors.png", "btnUndo.png",
    "btnUndo_Pressed.png", "btnUndoAll.png", "btnUndoAll_Pressed.png", "gifStamp.gif",
    "gifLastImage.gif", "app.ico", "capture_folder_icon.icns"};

QString resource(const QString &name)
{
    return QStringLiteral(":/resources/") + name;
}

// selector -> declarations, whitespace folded
QMap<QString, QStringList> parseRules(const QString &sheet)
{
    QMap<QString, QStringList> rules;
    const QRegularExpression rule(QStringLiteral("([^{}]+)\\{([^}]*)\\}"));
    auto it = rule.globalMatch(sheet);
    while (it.hasNext()) {
        const auto match = it.next();
        QStringList declarations;
        for (const QString &d : match.captured(2).split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
            const QString folded = d.simplified();
            if (!folded.isEmpty())
                declarations << folded;
        }
        declarations.sort();
        rules.insert(match.captured(1).simplified(), declarations);
    }
    return rules;
}

} // namespace

class TestUiResources : public QObject
{
    Q_OBJECT
private slots:
    void everyPictureLoads_data();
    void everyPictureLoads();
    void picturesFitTheirWidgets_data();
    void picturesFitTheirWidgets();
    void backgroundsShapeTheirWindows_data();
    void backgroundsShapeTheirWindows();
    void onlyTheIconIsCompressed();
    void styleSheetHasTheRules();
    void styleSheetStylesWidgets();
};

void TestUiResources::everyPictureLoads_data()
{
    QTest::addColumn<QString>("path");
    for (const QString &name : pictureNames)
        QTest::newRow(qPrintable(name)) << resource(name);
    // the GIF recorder names its pictures with a doubled slash
    QTest::newRow("stamp, doubled slash") << QStringLiteral("://resources/gifStamp.gif");
    QTest::newRow("closing, doubled slash") << QStringLiteral("://resources/gifLastImage.gif");
}

void TestUiResources::everyPictureLoads()
{
    QFETCH(QString, path);
    QVERIFY(QFile::exists(path));
    const QImage image(path);
    QVERIFY(!image.isNull());
    QVERIFY(image.width() >= 16 && image.height() >= 16);
}

void TestUiResources::picturesFitTheirWidgets_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QSize>("size");
    QTest::newRow("tool frame") << "frmMain.png" << QSize(253, 390);
    QTest::newRow("video dialogs") << "frmVideo.png" << QSize(253, 262);
    QTest::newRow("recording") << "frmRecord.png" << QSize(80, 93);
    QTest::newRow("progress") << "frmProgress.png" << QSize(360, 150);
    for (const char *box : {"frmError.png", "frmUploadError.png", "frmForceStartError.png"})
        QTest::newRow(box) << box << QSize(430, 150);
    QTest::newRow("editor toolbar") << "frmImageEdit.png" << QSize(372, 171);
    QTest::newRow("mode mark") << "chbModeSelect.png" << QSize(60, 30);
    QTest::newRow("close") << "btnClose.png" << QSize(20, 20);
    QTest::newRow("stop icon") << "btnStopRecord.png" << QSize(38, 38);
    QTest::newRow("stop icon, blink") << "btnStopRecord2.png" << QSize(38, 38);
    QTest::newRow("stamp") << "gifStamp.gif" << QSize(48, 48);
    QTest::newRow("closing picture") << "gifLastImage.gif" << QSize(499, 121);
    for (const QString &name : pictureNames) {
        if (QRegularExpression(QStringLiteral("^btn(Ok|Cancel|Save|Upload|SaveSettings|Logon|Logout|"
                                              "Reconnect|Stop|Leave|ForceStart|StartVideo|Gif\\w+)\\.png$"))
                .match(name)
                .hasMatch())
            QTest::newRow(qPrintable(name)) << name << QSize(110, 40);
        if (QRegularExpression(QStringLiteral("^btn(Rectangle|Highlight|Line|Arrow|Text|Undo|UndoAll)"
                                              "(_Pressed)?\\.png$|^btnColors\\.png$"))
                .match(name)
                .hasMatch())
            QTest::newRow(qPrintable(name)) << name << QSize(40, 40);
    }
}

void TestUiResources::picturesFitTheirWidgets()
{
    QFETCH(QString, name);
    QFETCH(QSize, size);
    QCOMPARE(QImage(resource(name)).size(), size);
}

void TestUiResources::backgroundsShapeTheirWindows_data()
{
    QTest::addColumn<QString>("name");
    for (const QString &name : pictureNames) {
        if (name.startsWith(QLatin1String("frm")))
            QTest::newRow(qPrintable(name)) << name;
    }
}

void TestUiResources::backgroundsShapeTheirWindows()
{
    QFETCH(QString, name);
    const QPixmap picture(resource(name));
    const QRegion shape(picture.mask());
    const QRect all = picture.rect();
    QVERIFY(!shape.isEmpty());
    QVERIFY(shape != QRegion(all));
    for (const QPoint &corner : {all.topLeft(), all.topRight(), all.bottomLeft(), all.bottomRight()})
        QVERIFY2(!shape.contains(corner), "rounded corners are cut off");
    QVERIFY(shape.contains(all.center()));
    // the outline is whole: every row and column reaches across the middle
    QVERIFY(shape.contains(QPoint(all.center().x(), 0)));
    QVERIFY(shape.contains(QPoint(0, all.center().y())));
}

void TestUiResources::onlyTheIconIsCompressed()
{
    const QResource icon(resource(QStringLiteral("app.ico")));
    QVERIFY(icon.isValid());
    QVERIFY(icon.compressionAlgorithm() != QResource::NoCompression);
    QStringList plain = pictureNames;
    plain.removeAll(QStringLiteral("app.ico"));
    plain << QStringLiteral("style.qss");
    for (const QString &name : plain) {
        const QResource entry(resource(name));
        QVERIFY2(entry.isValid(), qPrintable(name));
        QVERIFY2(entry.compressionAlgorithm() == QResource::NoCompression, qPrintable(name));
    }
}

void TestUiResources::styleSheetHasTheRules()
{
    QFile file(resource(QStringLiteral("style.qss")));
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QMap<QString, QStringList> rules = parseRules(QString::fromUtf8(file.readAll()));

    const QStringList plainDark = {"background: none", "color: rgb(20, 20, 20)"};
    QMap<QString, QStringList> expected;
    expected.insert("QPushButton:flat", {"background: none", "border: none"});
    expected.insert("QLabel", plainDark);
    expected.insert("QCheckBox", plainDark);
    expected.insert("QCheckBox::indicator", {"height: 13px", "width: 13px"});
    expected.insert("QRadioButton", plainDark);
    expected.insert("QGroupBox", plainDark);
    QCOMPARE(rules, expected);
}

void TestUiResources::styleSheetStylesWidgets()
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

QTEST_MAIN(TestUiResources)
#include "tst_uiresources.moc"

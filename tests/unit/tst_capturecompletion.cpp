#include "capture/capturecompletion.h"
#include "settings/capturefolder.h"
#include "settings/settings.h"
#include "testsupport.h"

#include <QClipboard>
#include <QDir>
#include <QGuiApplication>
#include <QPlainTextEdit>
#include <QtTest>

// One screenshot completed under observation: what was launched, how the
// run ended, which messages were shown and which file appeared.
struct Completion
{
    RecordingLauncher launcher;
    RunObserver run;
    QStringList messages;
    QString file;

    explicit Completion(const QPixmap &pixmap)
    {
        run.onDialog = [this](QDialog *dialog) {
            if (auto *edit = dialog->findChild<QPlainTextEdit *>(QStringLiteral("edError")))
                messages.append(edit->toPlainText());
        };
        const QDir folder(CaptureFolder::path());
        const QStringList before = folder.entryList(QDir::Files);
        completeScreenshot(pixmap);
        for (const QString &name : folder.entryList(QDir::Files))
            if (!before.contains(name))
                file = folder.filePath(name);
    }
};

static QImage rgb(const QImage &image) { return image.convertToFormat(QImage::Format_RGB32); }
static QString clipboardText() { return QGuiApplication::clipboard()->text(); }

static QPixmap samplePixmap()
{
    QImage image(37, 23, QImage::Format_RGB32);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            image.setPixel(x, y, qRgb(x * 7, y * 11, (x * y) % 256));
    return QPixmap::fromImage(image);
}

class TestCaptureCompletion : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        // No file manager service: showing a file falls back to opening its
        // folder through the launcher, where the test sees it.
        qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/snaplark-test-bus");
    }

    void init() { QGuiApplication::clipboard()->setText(QStringLiteral("untouched")); }

    void actionsAndClipboardForms_data()
    {
        QTest::addColumn<int>("action");
        QTest::addColumn<int>("clipboard");
        QTest::addColumn<QString>("text"); // "<path>", "<bitmap>" or the exact text
        const QString notYet = QStringLiteral("Not yet uploaded. Please wait a few seconds");
        QTest::newRow("open, path") << 2 << 2 << QStringLiteral("<path>");
        QTest::newRow("open, site embed") << 2 << 3 << notYet;
        QTest::newRow("open, bitmap") << 2 << 5 << QStringLiteral("<bitmap>");
        QTest::newRow("open, beyond none") << 2 << 7 << QStringLiteral("untouched");
        QTest::newRow("save only, page url") << 3 << 0 << notYet;
        QTest::newRow("save only, direct url") << 3 << 1 << notYet;
        QTest::newRow("save only, forum embed") << 3 << 4 << notYet;
        QTest::newRow("save only, path") << 3 << 2 << QStringLiteral("<path>");
        QTest::newRow("save only, bitmap") << 3 << 5 << QStringLiteral("<bitmap>");
        QTest::newRow("save only, none") << 3 << 6 << QStringLiteral("untouched");
        QTest::newRow("upload, path at once") << 1 << 2 << QStringLiteral("<path>");
        QTest::newRow("upload, page url later") << 1 << 0 << notYet;
    }
    void actionsAndClipboardForms()
    {
        QFETCH(int, action);
        QFETCH(int, clipboard);
        QFETCH(QString, text);
        Settings::setCurrentAction(action);
        Settings::setCurrentClipboard(clipboard);
        if (action == Settings::ActionOpenDefaultViewer)
            QTest::ignoreMessage(QtDebugMsg, QRegularExpression(QStringLiteral("^Open file file:///.*\\.png$")));
        if (action == Settings::ActionUpload)
            QTest::ignoreMessage(QtDebugMsg, QRegularExpression(QStringLiteral(
                "^Upload is not available in this build: /.*/Snaplark Captures/snaplark\\.\\w+\\.png$")));
        const QPixmap pixmap = samplePixmap();
        Completion completion(pixmap);

        QVERIFY(completion.file.endsWith(QLatin1String(".png")));
        QCOMPARE(rgb(QImage(completion.file, "PNG")), rgb(pixmap.toImage()));

        if (text == QLatin1String("<bitmap>"))
            QCOMPARE(rgb(QGuiApplication::clipboard()->image()), rgb(pixmap.toImage()));
        else
            QCOMPARE(clipboardText(), text == QLatin1String("<path>") ? completion.file : text);

        // Open: the file itself; save only: the file manager (here its
        // fallback, the folder); upload: nothing yet.
        QList<QUrl> opened;
        if (action == Settings::ActionOpenDefaultViewer)
            opened = {QUrl(QStringLiteral("file://") + completion.file, QUrl::TolerantMode)};
        else if (action == Settings::ActionSaveOnly)
            opened = {QUrl::fromLocalFile(QFileInfo(completion.file).absolutePath())};
        QCOMPARE(completion.launcher.opened, opened);
        // Exactly one end: completion's own, or for an upload the hand-over's.
        QCOMPARE(completion.run.endCodes, QList<int>{0});
        QVERIFY(completion.messages.isEmpty());
    }

    void unsavablePictureIsReported()
    {
        Settings::setCurrentAction(Settings::ActionOpenDefaultViewer);
        Settings::setCurrentClipboard(Settings::ClipboardLocalPath);
        Completion completion(QPixmap(50, 0));

        QCOMPARE(completion.messages.size(), 1);
        const QString prefix = QStringLiteral("Failed to save screenshot to file ");
        QVERIFY2(completion.messages.first().startsWith(prefix + CaptureFolder::path()),
                 qPrintable(completion.messages.first()));
        QVERIFY(completion.messages.first().endsWith(QLatin1String(".png")));
        QVERIFY(completion.file.isEmpty());
        QCOMPARE(clipboardText(), QStringLiteral("untouched"));
        QVERIFY(completion.launcher.opened.isEmpty());
        QCOMPARE(completion.run.endCodes, QList<int>{0});
    }

    void blockedCapturesFolderShowsOneBox()
    {
        const QString folder = CaptureFolder::path();
        QVERIFY(QDir(folder).removeRecursively());
        QFile blocker(folder);
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        Settings::setCurrentAction(Settings::ActionSaveOnly);
        Settings::setCurrentClipboard(Settings::ClipboardBitmap);
        RecordingLauncher launcher;
        RunObserver run;
        completeScreenshot(samplePixmap());
        blocker.remove();

        QCOMPARE(run.dialogs.size(), 1);
        QCOMPARE(run.endCodes, QList<int>{0});
        QVERIFY(launcher.opened.isEmpty());
        QCOMPARE(clipboardText(), QStringLiteral("untouched"));
    }
};

QTEST_MAIN(TestCaptureCompletion)
#include "tst_capturecompletion.moc"

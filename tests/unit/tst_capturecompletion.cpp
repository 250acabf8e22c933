#include "capture/capturecompletion.h"
#include "settings/capturefolder.h"
#include "settings/settings.h"
#include "testservice.h"
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

static QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

class TestCaptureCompletion : public QObject
{
    Q_OBJECT

    TestService m_service;
    int m_uploads = 0;

private slots:
    void initTestCase()
    {
        // No file manager service: showing a file falls back to opening its
        // folder through the launcher, where the test sees it.
        qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/snaplark-test-bus");
        // Uploads go to the test service, logged in so no reminder interrupts.
        qputenv("SNAPLARK_SERVICE_URL", m_service.serviceUrl());
        Settings::setAuthId(QStringLiteral("token"));
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
        const QString serverName = QStringLiteral("up%1.png").arg(++m_uploads);
        if (action == Settings::ActionUpload)
            m_service.enqueue(TestService::Reply::fileName(serverName.toLatin1()));
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
        QVERIFY(completion.messages.isEmpty());
        if (action != Settings::ActionUpload) {
            QCOMPARE(completion.run.endCodes, QList<int>{0});
            return;
        }

        // The upload goes on and ends the run; its link replaces the note.
        QVERIFY(completion.run.endCodes.isEmpty());
        QVERIFY(QTest::qWaitFor([&] { return !completion.run.endCodes.isEmpty(); }, 15000));
        QCOMPARE(completion.run.endCodes, QList<int>{0});
        QVERIFY(completion.messages.isEmpty());
        const TestService::Request request = m_service.requests().last();
        QCOMPARE(request.method, QByteArray("PUT"));
        QCOMPARE(request.body(), readAll(QFileInfo(completion.file).absolutePath() + QLatin1Char('/') + serverName));
        const QString page = m_service.baseUrl().toString() + serverName;
        QCOMPARE(completion.launcher.opened, QList<QUrl>{QUrl(page)});
        QCOMPARE(clipboardText(), text == QLatin1String("<path>")
                                      ? QFileInfo(completion.file).absolutePath() + QLatin1Char('/') + serverName
                                      : page);
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

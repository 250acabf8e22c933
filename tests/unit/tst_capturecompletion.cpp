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

    Completion(int action, int clipboard, const QPixmap &pixmap)
    {
        Settings::setCurrentAction(action);
        Settings::setCurrentClipboard(clipboard);
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

    // The end-to-end suite covers the local actions; here the forms that wait
    // for an upload, and the upload that completion starts.
    void actionsAndClipboardForms_data()
    {
        QTest::addColumn<int>("action");
        QTest::addColumn<int>("clipboard");
        QTest::addColumn<QString>("text"); // "<path>" or the exact text
        const QString notYet = QStringLiteral("Not yet uploaded. Please wait a few seconds");
        QTest::newRow("save only, page url") << 3 << 0 << notYet;
        QTest::newRow("upload, path at once") << 1 << 2 << QStringLiteral("<path>");
        QTest::newRow("upload, page url later") << 1 << 0 << notYet;
    }
    void actionsAndClipboardForms()
    {
        QFETCH(int, action);
        QFETCH(int, clipboard);
        QFETCH(QString, text);
        const QString serverName = QStringLiteral("up%1.png").arg(++m_uploads);
        if (action == Settings::ActionUpload)
            m_service.enqueue(TestService::Reply::fileName(serverName.toLatin1()));
        const QPixmap pixmap = samplePixmap();
        Completion completion(action, clipboard, pixmap);

        QCOMPARE(rgb(QImage(completion.file, "PNG")), rgb(pixmap.toImage()));
        QCOMPARE(clipboardText(), text == QLatin1String("<path>") ? completion.file : text);
        QVERIFY(completion.messages.isEmpty());
        // save only: the file manager (here its fallback, the folder); upload: nothing yet
        const QString folder = QFileInfo(completion.file).absolutePath();
        if (action != Settings::ActionUpload) {
            QCOMPARE(completion.launcher.opened, QList<QUrl>{QUrl::fromLocalFile(folder)});
            QCOMPARE(completion.run.endCodes, QList<int>{0});
            return;
        }
        QVERIFY(completion.launcher.opened.isEmpty());

        // The upload goes on and ends the run; its link replaces the note.
        QVERIFY(completion.run.endCodes.isEmpty());
        QVERIFY(QTest::qWaitFor([&] { return !completion.run.endCodes.isEmpty(); }, 15000));
        QCOMPARE(completion.run.endCodes, QList<int>{0});
        QVERIFY(completion.messages.isEmpty());
        const QString renamed = folder + QLatin1Char('/') + serverName;
        QFile uploaded(renamed);
        QVERIFY(uploaded.open(QIODevice::ReadOnly));
        QCOMPARE(m_service.requests().last().body(), uploaded.readAll());
        const QString page = m_service.baseUrl().toString() + serverName;
        QCOMPARE(completion.launcher.opened, QList<QUrl>{QUrl(page)});
        QCOMPARE(clipboardText(), text == QLatin1String("<path>") ? renamed : page);
    }

    // A picture that cannot be saved, or a captures folder that cannot be
    // used, is reported once; nothing is copied or opened and the run ends.
    void failuresAreReported_data()
    {
        QTest::addColumn<bool>("blockFolder");
        QTest::addColumn<QString>("message");
        QTest::newRow("unsavable picture") << false
                                           << QStringLiteral("Failed to save screenshot to file ") + CaptureFolder::path();
        QTest::newRow("blocked captures folder") << true << QStringLiteral("Error creating temporary file ");
    }
    void failuresAreReported()
    {
        QFETCH(bool, blockFolder);
        QFETCH(QString, message);
        QFile blocker(CaptureFolder::path());
        if (blockFolder) {
            QVERIFY(QDir(blocker.fileName()).removeRecursively());
            QVERIFY(blocker.open(QIODevice::WriteOnly));
        }
        Completion completion(Settings::ActionSaveOnly, Settings::ClipboardLocalPath,
                              blockFolder ? samplePixmap() : QPixmap(50, 0));
        if (blockFolder)
            blocker.remove();

        QCOMPARE(completion.run.dialogs.size(), 1);
        QCOMPARE(completion.messages.size(), 1);
        QVERIFY2(completion.messages.first().startsWith(message), qPrintable(completion.messages.first()));
        QVERIFY(completion.file.isEmpty());
        QCOMPARE(clipboardText(), QStringLiteral("untouched"));
        QVERIFY(completion.launcher.opened.isEmpty());
        QCOMPARE(completion.run.endCodes, QList<int>{0});
    }
};

QTEST_MAIN(TestCaptureCompletion)
#include "tst_capturecompletion.moc"

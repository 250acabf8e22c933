// Screenshot completion's upload, clipboard notes and failures (local actions: end to end).
#include "capture/capturecompletion.h"
#include "patternwindow.h"
#include "settings/capturefolder.h"
#include "settings/settings.h"
#include "testservice.h"
#include "testsupport.h"

#include <QClipboard>
#include <QDir>
#include <QGuiApplication>
#include <QPlainTextEdit>
#include <QtTest>

#include <sys/stat.h>

struct Completion // one screenshot completed under observation
{
    RecordingLauncher launcher;
    RunObserver run;
    QStringList messages; // shown in error boxes
    QString file;         // the file that appeared in the captures folder
    int newFiles = 0;     // how many appeared

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
        for (const QString &name : folder.entryList(QDir::Files | QDir::Hidden))
            if (!before.contains(name)) {
                file = folder.filePath(name);
                ++newFiles;
            }
    }
};

class TestCaptureCompletion : public QObject
{
    Q_OBJECT

    TestService m_service;
    const QImage m_picture = PatternWindow::pattern(QSize(37, 23));

private slots:
    void initTestCase()
    {
        qputenv("SNAPLARK_SERVICE_URL", m_service.serviceUrl());
        Settings::setAuthId(QStringLiteral("token")); // logged in: no reminder interrupts
    }
    void init()
    {
        QGuiApplication::clipboard()->setText(QStringLiteral("untouched"));
        // no captures, nor a blocker, left by an earlier run that stopped half-way
        const QString folder = CaptureFolder::path();
        QFile::remove(folder);
        QVERIFY(QDir(folder).removeRecursively());
    }

    // The upload goes on after completion, ends the run, and its link replaces the note.
    void uploadAndClipboardForms_data()
    {
        QTest::addColumn<int>("clipboard");
        QTest::newRow("path at once") << int(Settings::ClipboardLocalPath);
        QTest::newRow("page url later") << int(Settings::ClipboardWebPageUrl);
    }
    void uploadAndClipboardForms()
    {
        QFETCH(int, clipboard);
        const bool path = clipboard == Settings::ClipboardLocalPath;
        const QString serverName = QStringLiteral("up%1.png").arg(clipboard);
        m_service.enqueue(TestService::Reply::fileName(serverName.toLatin1()));
        Completion completion(Settings::ActionUpload, clipboard, QPixmap::fromImage(m_picture));
        QCOMPARE(QImage(completion.file, "PNG").convertToFormat(QImage::Format_RGB32), m_picture);
        QCOMPARE(completion.newFiles, 1); // the reserved name, written, and nothing beside it
        // as open to other programs as any file the user makes, not private like a temporary file
        const mode_t mask = umask(0);
        umask(mask);
        struct stat info{};
        QVERIFY(stat(QFile::encodeName(completion.file).constData(), &info) == 0);
        QCOMPARE(info.st_mode & 0777, 0666 & ~mask);
        QCOMPARE(QGuiApplication::clipboard()->text(),
                 path ? completion.file : QStringLiteral("Not yet uploaded. Please wait a few seconds"));
        QVERIFY(completion.launcher.opened.isEmpty() && completion.run.endCodes.isEmpty());
        QTRY_COMPARE_WITH_TIMEOUT(completion.run.endCodes, QList<int>{0}, 15000);
        QVERIFY(completion.messages.isEmpty());
        QFile uploaded(QFileInfo(completion.file).absolutePath() + QLatin1Char('/') + serverName); // renamed
        QVERIFY(uploaded.open(QIODevice::ReadOnly));
        QCOMPARE(m_service.requests().last().body, uploaded.readAll());
        const QString page = m_service.baseUrl().toString() + serverName;
        QCOMPARE(completion.launcher.opened, QList<QUrl>{QUrl(page)});
        QCOMPARE(QGuiApplication::clipboard()->text(), path ? uploaded.fileName() : page);
    }

    // An unsavable (zero-height) picture, then a blocked captures folder: each is
    // reported once, nothing is copied or opened, and the run ends.
    void failuresAreReported()
    {
        const QString unsavable = QStringLiteral("Failed to save screenshot to file ") + CaptureFolder::path();
        QFile blocker(CaptureFolder::path());
        for (const bool blockFolder : {false, true}) {
            if (blockFolder)
                QVERIFY(QDir(blocker.fileName()).removeRecursively() && blocker.open(QIODevice::WriteOnly));
            Completion completion(Settings::ActionSaveOnly, Settings::ClipboardLocalPath,
                                  blockFolder ? QPixmap::fromImage(m_picture) : QPixmap(50, 0));
            const QString expected = blockFolder ? QStringLiteral("Error creating temporary file ") : unsavable;
            QCOMPARE(completion.run.dialogs.size(), 1);
            QCOMPARE(completion.messages.value(0).left(expected.size()), expected);
            QVERIFY(completion.file.isEmpty() && completion.launcher.opened.isEmpty());
            QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("untouched"));
            QCOMPARE(completion.run.endCodes, QList<int>{0});
        }
        blocker.remove();
    }
};

QTEST_MAIN(TestCaptureCompletion)
#include "tst_capturecompletion.moc"

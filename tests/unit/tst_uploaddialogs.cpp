// The progress window and the upload-error box: their answers, and the
// question Escape asks before the box ends the run.  (Escape on the progress
// window and Save over Cancel are driven end to end in the upload suite.)
// The recordings' completion dialogs without the upload (that is in the
// upload client's suite): what Close, Save, the window manager and stray keys
// do to the file, the settings, the clipboard and the run.
#include "fakefilemanager.h"
#include "settings/settings.h"
#include "testsupport.h"
#include "upload/wndcompletecustom.h"
#include "upload/wndcompletevideo.h"
#include "upload/wndprogress.h"
#include "upload/wnduploaderrormsgbox.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

class TestUploadDialogs : public QObject
{
    Q_OBJECT

    QProcess m_bus; // a session bus of our own, for the fake file manager

private slots:
    void initTestCase()
    {
        m_bus.start(QStringLiteral("dbus-daemon"), {QStringLiteral("--session"), QStringLiteral("--nofork"),
                                                    QStringLiteral("--nopidfile"), QStringLiteral("--print-address")});
        QVERIFY(m_bus.waitForReadyRead(10000));
        qputenv("DBUS_SESSION_BUS_ADDRESS", m_bus.readLine().trimmed());
    }
    void cleanupTestCase()
    {
        m_bus.terminate();
        m_bus.waitForFinished();
    }

    void progressCloseButtonEndsTheRunWithoutAsking()
    {
        RunObserver run;
        WndProgress window;
        window.show();
        window.findChild<QPushButton *>(QStringLiteral("btnClose"))->click();
        QVERIFY(!window.isVisible());
        QVERIFY(run.dialogs.isEmpty());
        QCOMPARE(run.endCodes, QList<int>{0});
    }

    void errorBoxAnswers()
    {
        WndUploadErrorMsgBox box;
        const std::pair<const char *, int> answers[] = {{"btnRetry", 1}, {"btnSave", 2}, {"btnClose", 0}};
        for (const auto &[button, result] : answers) {
            QPushButton *target = box.findChild<QPushButton *>(QString::fromLatin1(button));
            QTimer::singleShot(0, target, &QPushButton::click);
            QCOMPARE(box.exec(), result);
        }
    }

    void escapeOnTheErrorBoxAsksBeforeEndingTheRun()
    {
        WndUploadErrorMsgBox box;
        box.show();
        RunObserver run(QMessageBox::Yes);
        run.onDialog = [&box](QDialog *dialog) {
            auto *question = qobject_cast<QMessageBox *>(dialog);
            QVERIFY(question && question->parentWidget() == &box);
            QCOMPARE(question->text(), QStringLiteral("Do you really want to cancel uploading?"));
            QCOMPARE(question->standardButtons(), QMessageBox::Yes | QMessageBox::No);
            QCOMPARE(question->standardButton(question->defaultButton()), QMessageBox::Yes);
        };

        QTest::keyClick(&box, Qt::Key_A); // other keys do nothing
        QVERIFY(run.dialogs.isEmpty());
        QTest::keyClick(&box, Qt::Key_Escape);
        QCOMPARE(run.dialogs, QStringList{QStringLiteral("Snaplark 1.24")});
        QVERIFY(!box.isVisible());
        QCOMPARE(run.endCodes, QList<int>{0});
    }

    // Each way out of a completion dialog short of uploading, for both recordings.
    void completionChoices_data()
    {
        QTest::addColumn<bool>("video");
        QTest::addColumn<QString>("action"); // a button, "window manager", or "keys"
        QTest::addColumn<int>("clipboard");
        QTest::addColumn<bool>("kept");
        QTest::addColumn<int>("videoFileAction"); // 0: left as it was
        QTest::addColumn<bool>("pathCopied");
        QTest::addColumn<bool>("shown");          // selected in the file manager
        QTest::addColumn<bool>("ended");
        const int path = Settings::ClipboardLocalPath, page = Settings::ClipboardWebPageUrl;
        for (const bool video : {false, true}) {
            const QByteArray name = video ? "video " : "gif ";
            QTest::newRow(name + "close") << video << "btnClose" << path << false << 0 << false << false << true;
            QTest::newRow(name + "save, path form") << video << "btnSave" << path << true << 2 << true << true << true;
            QTest::newRow(name + "save, link form") << video << "btnSave" << page << true << 2 << false << true << true;
            // not the user's Close: the recording stays
            QTest::newRow(name + "window manager") << video << "window manager" << path << true << 0 << false << false
                                                   << true;
            QTest::newRow(name + "keys") << video << "keys" << path << true << 0 << false << false << false;
        }
    }
    void completionChoices()
    {
        QFETCH(bool, video);
        QFETCH(QString, action);
        QFETCH(int, clipboard);
        QFETCH(bool, kept);
        QFETCH(int, videoFileAction);
        QFETCH(bool, pathCopied);
        QFETCH(bool, shown);
        QFETCH(bool, ended);
        const QString file = testScratchDir(QStringLiteral("complete")) + QStringLiteral("/Aufnahme #1 ü.")
                             + (video ? QStringLiteral("mp4") : QStringLiteral("gif"));
        QFile recording(file);
        QVERIFY(recording.open(QIODevice::WriteOnly) && recording.write("GIF89a") == 6);
        recording.close();
        Settings::setVideoFileAction(0);
        Settings::setCurrentClipboard(clipboard);
        QGuiApplication::clipboard()->setText(QStringLiteral("untouched"));
        FakeFileManagerService fileManager;
        QVERIFY(fileManager.registered());
        RecordingLauncher launcher; // should the file manager not answer, no real one starts
        RunObserver run;

        std::unique_ptr<WndComplete> dialog;
        if (video)
            dialog = std::make_unique<WndCompleteVideo>(file);
        else
            dialog = std::make_unique<WndCompleteCustom>(file, Settings::ModeGif);
        dialog->show();
        if (action == QLatin1String("window manager")) {
            dialog->close();
        } else if (action == QLatin1String("keys")) {
            for (const Qt::Key key : {Qt::Key_Escape, Qt::Key_Return, Qt::Key_Enter, Qt::Key_Space, Qt::Key_S})
                QTest::keyClick(dialog.get(), key);
        } else {
            auto *button = dialog->findChild<QPushButton *>(action);
            QVERIFY(button && dialog->mask().contains(button->geometry().center())); // within the window's shape
            button->click();
        }

        QCOMPARE(QFile::exists(file), kept);
        QCOMPARE(Settings::videoFileAction(), videoFileAction);
        QCOMPARE(QGuiApplication::clipboard()->text(), pathCopied ? file : QStringLiteral("untouched"));
        QCOMPARE(fileManager.receivedUris(),
                 shown ? QStringList{QString::fromLatin1(QUrl::fromLocalFile(file).toEncoded())} : QStringList());
        QVERIFY(launcher.opened.isEmpty() && launcher.started.isEmpty());
        QCOMPARE(dialog->isVisible(), !ended);
        QCOMPARE(run.endCodes, ended ? QList<int>{0} : QList<int>());
        QFile::remove(file);
    }
};

QTEST_MAIN(TestUploadDialogs)
#include "tst_uploaddialogs.moc"

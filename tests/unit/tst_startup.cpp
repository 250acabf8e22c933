#include "app/commandline.h"
#include "app/serviceconfig.h"
#include "app/startup.h"
#include "testsupport.h"

#include <QCoreApplication>
#include <QFile>
#include <QPlainTextEdit>
#include <QTimer>
#include <QtTest>

using CommandLine::FileCheck;
Q_DECLARE_METATYPE(CommandLine::FileCheck)

class TestStartup : public QObject
{
    Q_OBJECT

    QString m_dir;

    QString makeFile(const QString &name, qint64 size)
    {
        const QString path = m_dir + QLatin1Char('/') + name;
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || !file.resize(size))
            qFatal("cannot create %s", qPrintable(path));
        return path;
    }

    // Runs a command-line upload and returns the message the error box showed
    // (empty when the file passed its checks and the upload began).  An
    // accepted file starts the upload client, whose run ends through "end the
    // run"; here that leaves the event loop, with a guard against hanging.
    QString uploadMessage(const QString &path, int *exitCode = nullptr)
    {
        RunObserver observer;
        AppControl::setEndRunHandler([](int code) { QCoreApplication::exit(code); });
        QString shown;
        observer.onDialog = [&shown](QDialog *dialog) {
            auto *edit = dialog->findChild<QPlainTextEdit *>(QStringLiteral("edError"));
            if (edit && dialog->windowTitle() == QLatin1String("Snaplark Exception"))
                shown = edit->toPlainText();
        };
        QTimer guard;
        guard.setSingleShot(true);
        QObject::connect(&guard, &QTimer::timeout, [] { QCoreApplication::exit(99); });
        guard.start(15000);
        const int code = Startup::dispatch({QStringLiteral("snaplark"), path}, false);
        if (exitCode)
            *exitCode = code;
        return shown;
    }

private slots:
    void initTestCase()
    {
        m_dir = testScratchDir(QStringLiteral("startup"));
        // Uploads that get this far must fail fast, never reach a real service.
        qputenv("SNAPLARK_SERVICE_URL", "http://127.0.0.1:9/");
    }

    void sizeLimits_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<qint64>("size");
        QTest::addColumn<FileCheck>("expected");
        QTest::newRow("9 bytes") << "a.png" << qint64(9) << FileCheck::TooSmall;
        QTest::newRow("10 bytes") << "a.png" << qint64(10) << FileCheck::Ok;
        QTest::newRow("png at limit") << "a.png" << qint64(64000000) << FileCheck::Ok;
        QTest::newRow("png over limit") << "a.png" << qint64(64000001) << FileCheck::TooBig;
        QTest::newRow("mp4 at limit") << "a.mp4" << qint64(512000000) << FileCheck::Ok;
        QTest::newRow("mp4 over limit") << "a.mp4" << qint64(512000001) << FileCheck::TooBig;
        QTest::newRow("MP4 is not video") << "a.MP4" << qint64(64000001) << FileCheck::TooBig;
        QTest::newRow("mp counts as video") << "a.mp" << qint64(100000000) << FileCheck::Ok;
        QTest::newRow("3g counts as video") << "a.3g" << qint64(100000000) << FileCheck::Ok;
        QTest::newRow("empty extension is video") << "a." << qint64(100000000) << FileCheck::Ok;
        QTest::newRow("only last dot counts") << "a.mp4.txt" << qint64(100000000) << FileCheck::TooBig;
    }
    void sizeLimits()
    {
        QFETCH(QString, name);
        QFETCH(qint64, size);
        QFETCH(FileCheck, expected);
        QCOMPARE(CommandLine::checkSize(size, m_dir + QLatin1Char('/') + name), expected);
    }

    void commandLineFileChecksShowTheirMessages()
    {
        int code = -1;
        const QString missing = m_dir + QStringLiteral("/missing.png");
        QCOMPARE(uploadMessage(missing, &code), QStringLiteral("File doesn't exists: ") + missing);
        QCOMPARE(code, 0);
        // only "/config" opens the settings; anything else is a file path
        QCOMPARE(uploadMessage(QStringLiteral("/CONFIG")), QStringLiteral("File doesn't exists: /CONFIG"));
        QCOMPARE(uploadMessage(makeFile(QStringLiteral("nine.png"), 9)), QStringLiteral("File is too small"));
        QCOMPARE(uploadMessage(makeFile(QStringLiteral("big.png"), 64000001)), QStringLiteral("File is too big"));
        // an accepted file reaches the upload without an error box, and its
        // run ends with 0
        QCOMPARE(uploadMessage(makeFile(QStringLiteral("ten.png"), 10), &code), QString());
        QCOMPARE(code, 0);

        RunObserver observer;
        QCOMPARE(Startup::dispatch({QStringLiteral("snaplark"), QStringLiteral("/config")}, false), 0);
        QVERIFY(observer.dialogs.isEmpty());
    }

    void serviceAddress_data()
    {
        QTest::addColumn<QByteArray>("env");
        QTest::addColumn<QString>("base");
        QTest::addColumn<QString>("host");
        QTest::newRow("port 80 is implicit") << QByteArray("http://snaplark.example") << "http://snaplark.example/"
                                             << "snaplark.example";
        QTest::newRow("explicit port") << QByteArray("http://127.0.0.1:5123/") << "http://127.0.0.1:5123/"
                                       << "127.0.0.1:5123";
        QTest::newRow("garbage falls back") << QByteArray("::not a url") << QStringLiteral(SNAPLARK_DEFAULT_SERVICE_URL)
                                            << "127.0.0.1:8900";
    }
    void serviceAddress()
    {
        QFETCH(QByteArray, env);
        QFETCH(QString, base);
        QFETCH(QString, host);
        qputenv("SNAPLARK_SERVICE_URL", env);
        QCOMPARE(ServiceConfig::baseUrl().toString(), base);
        QCOMPARE(ServiceConfig::host(), host);
        QCOMPARE(ServiceConfig::url(QStringLiteral("/api/upload")).toString(), base + QStringLiteral("api/upload"));
        qputenv("SNAPLARK_SERVICE_URL", "http://127.0.0.1:9/");
    }
};

QTEST_MAIN(TestStartup)
#include "tst_startup.moc"

#include "app/startup.h"
#include "core/serviceconfig.h"
#include "testsupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QPlainTextEdit>
#include <QTimer>
#include <QtTest>

class TestStartup : public QObject
{
    Q_OBJECT

    QString m_dir;

private slots:
    void initTestCase()
    {
        m_dir = testScratchDir(QStringLiteral("startup"));
        qputenv("SNAPLARK_SERVICE_URL", "http://127.0.0.1:9/"); // accepted uploads fail fast
    }

    // The error box's message, or none: the upload client ran (its run ends through "end the run").
    void commandLineFileChecks_data()
    {
        QTest::addColumn<QString>("name"); // in the scratch folder unless absolute
        QTest::addColumn<qint64>("size");  // -1: no such file
        QTest::addColumn<QString>("message");
        const QString small = QStringLiteral("File is too small"), big = QStringLiteral("File is too big");
        QTest::newRow("missing") << "missing.png" << qint64(-1) << "File doesn't exists: " + m_dir + "/missing.png";
        QTest::newRow("settings only, no box") << "/config" << qint64(-1) << QString();
        QTest::newRow("only /config opens the settings") << "/CONFIG" << qint64(-1) << "File doesn't exists: /CONFIG";
        QTest::newRow("9 bytes") << "a.png" << qint64(9) << small;
        QTest::newRow("10 bytes") << "a.png" << qint64(10) << QString();
        QTest::newRow("png at limit") << "a.png" << qint64(64000000) << QString();
        QTest::newRow("png over limit") << "a.png" << qint64(64000001) << big;
        QTest::newRow("mp4 at limit") << "a.mp4" << qint64(512000000) << QString();
        QTest::newRow("mp4 over limit") << "a.mp4" << qint64(512000001) << big;
        QTest::newRow("MP4 is not video") << "a.MP4" << qint64(64000001) << big;
        QTest::newRow("mp counts as video") << "a.mp" << qint64(100000000) << QString();
        QTest::newRow("3g counts as video") << "a.3g" << qint64(100000000) << QString();
        QTest::newRow("empty extension is video") << "a." << qint64(100000000) << QString();
        QTest::newRow("only the last dot counts") << "a.mp4.txt" << qint64(100000000) << big;
        QTest::newRow("no extension is not video") << "clip" << qint64(100000000) << big;
    }
    void commandLineFileChecks()
    {
        QFETCH(QString, name);
        QFETCH(qint64, size);
        QFETCH(QString, message);
        const QString path = QDir(m_dir).filePath(name);
        QFile file(path);
        QVERIFY(size < 0 || (file.open(QIODevice::WriteOnly) && file.resize(size)));
        RunObserver observer;
        AppControl::setEndRunHandler([](int code) { QCoreApplication::exit(code); });
        QString shown;
        observer.onDialog = [&shown](QDialog *dialog) {
            if (dialog->windowTitle() == QLatin1String("Snaplark Exception"))
                shown = dialog->findChild<QPlainTextEdit *>(QStringLiteral("edError"))->toPlainText();
        };
        QObject guard;
        QTimer::singleShot(15000, &guard, [] { QCoreApplication::exit(99); }); // never hang
        QCOMPARE(Startup::dispatch({QStringLiteral("snaplark"), path}, false), 0);
        QCOMPARE(shown, message);
    }

    void serviceAddress_data()
    {
        QTest::addColumn<QString>("env");
        QTest::addColumn<QString>("base");
        QTest::addColumn<QString>("host");
        QTest::newRow("port 80 is implicit") << "http://snaplark.example" << "http://snaplark.example/" << "snaplark.example";
        QTest::newRow("explicit port") << "http://127.0.0.1:5123/" << "http://127.0.0.1:5123/" << "127.0.0.1:5123";
        QTest::newRow("garbage falls back") << "::not a url" << SNAPLARK_DEFAULT_SERVICE_URL << "127.0.0.1:8900";
    }
    void serviceAddress()
    {
        QFETCH(QString, env);
        QFETCH(QString, base);
        QFETCH(QString, host);
        qputenv("SNAPLARK_SERVICE_URL", env.toUtf8());
        QCOMPARE(ServiceConfig::baseUrl().toString(), base);
        QCOMPARE(ServiceConfig::host(), host);
        QCOMPARE(ServiceConfig::url(QStringLiteral("/api/upload")).toString(), base + QStringLiteral("api/upload"));
    }
};

QTEST_MAIN(TestStartup)
#include "tst_startup.moc"

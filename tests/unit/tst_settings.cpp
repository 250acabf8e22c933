#include "settings/capturefolder.h"
#include "settings/settings.h"
#include "testsupport.h"

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QStandardPaths>
#include <QtTest>

class TestSettings : public QObject
{
    Q_OBJECT

    static void clearStore()
    {
        QSettings store(QStringLiteral("Snaplark"), QStringLiteral("Snaplark"));
        store.clear();
    }
    static void storeRaw(const QString &key, const QVariant &value)
    {
        QSettings store(QStringLiteral("Snaplark"), QStringLiteral("Snaplark"));
        store.setValue(key, value);
    }
    static QVariant readRaw(const QString &key)
    {
        QSettings store(QStringLiteral("Snaplark"), QStringLiteral("Snaplark"));
        return store.value(key);
    }

private slots:
    void init() { clearStore(); }

    void storeIsThrowAway()
    {
        // The suite must never write the real user's settings.
        const QString file = QSettings(QStringLiteral("Snaplark"), QStringLiteral("Snaplark")).fileName();
        QVERIFY2(file.startsWith(qEnvironmentVariable("SNAPLARK_TEST_HOME")), qPrintable(file));
    }

    void defaultsOnFreshProfile()
    {
        QCOMPARE(Settings::defAction(), 0);
        QCOMPARE(Settings::altAction(), 1);
        QCOMPARE(Settings::defClipboard(), 0);
        QCOMPARE(Settings::altClipboard(), 5);
        QCOMPARE(Settings::captureMode(), 0);
        QCOMPARE(Settings::videoFileAction(), 1);
        QCOMPARE(Settings::videoFrameRate(), 10);
        QCOMPARE(Settings::soundEnable(), true);
        QCOMPARE(Settings::hotkeyAttr(), 0);
        QCOMPARE(Settings::hotkeyKey(), 44);
        QCOMPARE(Settings::allowDirectLink(), false);
        QCOMPARE(Settings::flbEnabled(), true);
        QCOMPARE(Settings::saveLocal(), true);
        QCOMPARE(Settings::trayEnabled(), true);
        QCOMPARE(Settings::lastRequest(), QStringLiteral("2000-01-01T00:00:00"));
        QCOMPARE(Settings::username(), QStringLiteral("Log in"));
        QCOMPARE(Settings::authId(), QString());
        QCOMPARE(Settings::colors(),
                 QStringList({"#000000", "#FF0000", "#FFFF00", "#FF0000", "#FF0000"}));
    }

    void booleansAreStoredAsIntegers_data()
    {
        QTest::addColumn<QVariant>("stored");
        QTest::addColumn<bool>("expected");
        QTest::newRow("1") << QVariant(1) << true;
        QTest::newRow("0") << QVariant(0) << false;
        QTest::newRow("2") << QVariant(2) << false;
        QTest::newRow("text true") << QVariant(QStringLiteral("true")) << false;
        QTest::newRow("damaged") << QVariant(QStringLiteral("x")) << false;
    }
    void booleansAreStoredAsIntegers()
    {
        QFETCH(QVariant, stored);
        QFETCH(bool, expected);
        storeRaw(QStringLiteral("SaveLocal"), stored);
        QCOMPARE(Settings::saveLocal(), expected);
    }

    void settersWriteIntegersAndTextsOthersSee()
    {
        Settings::setSoundEnable(false);
        QCOMPARE(readRaw(QStringLiteral("SoundEnable")).toInt(), 0);
        Settings::setTrayEnabled(true);
        QCOMPARE(readRaw(QStringLiteral("TrayEnabled")).toString(), QStringLiteral("1"));
        Settings::setDefAction(3);
        Settings::setLastCapture(QStringLiteral("/tmp/a.png"));
        QCOMPARE(readRaw(QStringLiteral("DefAction")).toInt(), 3);
        QCOMPARE(readRaw(QStringLiteral("LastCapture")).toString(), QStringLiteral("/tmp/a.png"));
        // a damaged integer reads as 0
        storeRaw(QStringLiteral("VideoFrameRate"), QStringLiteral("fast"));
        QCOMPARE(Settings::videoFrameRate(), 0);
    }

    void colorsAreOneOrderedList()
    {
        const QStringList set = {"#010203", "#040506", "#070809", "#0A0B0C", "#0D0E0F"};
        Settings::setColors(set);
        QCOMPARE(Settings::colors(), set);
        QCOMPARE(readRaw(QStringLiteral("HighlightColor")).toString(), QStringLiteral("#070809"));
        QCOMPARE(readRaw(QStringLiteral("ArrowColor")).toString(), QStringLiteral("#0D0E0F"));
    }

    void selectActionsPicksThePair()
    {
        Settings::setDefAction(3);
        Settings::setDefClipboard(2);
        Settings::setAltAction(1);
        Settings::setAltClipboard(4);
        Settings::selectActions(true);
        QCOMPARE(Settings::currentAction(), 3);
        QCOMPARE(Settings::currentClipboard(), 2);
        Settings::selectActions(false);
        QCOMPARE(Settings::currentAction(), 1);
        QCOMPARE(Settings::currentClipboard(), 4);
    }

    void scrambling_data()
    {
        QTest::addColumn<QString>("plain");
        QTest::addColumn<QString>("stored");
        QTest::newRow("abc") << QStringLiteral("abc") << QStringLiteral("0e13e4");
        QTest::newRow("token") << QStringLiteral("token-123") << QStringLiteral("1b1eecc4c16ccefb1c");
        QTest::newRow("empty") << QString() << QString();
    }
    void scrambling()
    {
        QFETCH(QString, plain);
        QFETCH(QString, stored);
        const QString key = QStringLiteral("Rb4XwK9mTq2L");
        QCOMPARE(Settings::scramble(plain, key), stored);
        QCOMPARE(Settings::unscramble(stored, key), plain);

        Settings::setAuthId(plain);
        QCOMPARE(readRaw(QStringLiteral("AuthId")).toString(), stored);
        QCOMPARE(Settings::authId(), plain);
    }

    void unscramblingStopsAtZeroByte()
    {
        const QString key = QStringLiteral("Rb4XwK9mTq2L");
        const QString withZero = QStringLiteral("ab") + QChar(0) + QStringLiteral("cd");
        const QString stored = Settings::scramble(withZero, key);
        QCOMPARE(stored.size(), 10);
        QCOMPARE(Settings::unscramble(stored, key), QStringLiteral("ab"));
    }

    void captureFolderIsCreatedUnderDocuments()
    {
        const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
        QVERIFY(documents.startsWith(qEnvironmentVariable("SNAPLARK_TEST_HOME")));
        QDir(documents).removeRecursively();

        const QString folder = CaptureFolder::path();
        QCOMPARE(folder, QDir::toNativeSeparators(documents + QStringLiteral("/Snaplark Captures")));
        QVERIFY(QDir(folder).exists());
    }

    void newCaptureNamesAreUniqueAndUnused()
    {
        QDir(CaptureFolder::path()).removeRecursively();
        const QString first = CaptureFolder::newCaptureFileName(Settings::ModeScreenshot);
        const QString second = CaptureFolder::newCaptureFileName(Settings::ModeScreenshot);
        QVERIFY(!first.isEmpty());
        QVERIFY(first != second);
        for (const QString &name : {first, second}) {
            QVERIFY(name.endsWith(QLatin1String(".png")));
            QCOMPARE(QFileInfo(name).absolutePath(), QDir::fromNativeSeparators(CaptureFolder::path()));
            QVERIFY(QFileInfo(name).fileName().startsWith(QLatin1String("snaplark.")));
            QVERIFY(!QFile::exists(name));
        }
        // the reservation does not leave files behind
        QCOMPARE(QDir(CaptureFolder::path()).entryList(QDir::Files).size(), 0);

        QVERIFY(CaptureFolder::newCaptureFileName(Settings::ModeGif).endsWith(QLatin1String(".gif")));
        QVERIFY(CaptureFolder::newCaptureFileName(Settings::ModeScroll).endsWith(QLatin1String(".png")));
        QCOMPARE(CaptureFolder::newCaptureFileName(7), QString());
    }

    void unusableFolderShowsTheErrorBox()
    {
        // A plain file where the folder should be: the reservation must fail
        // (even for root) and the user must be told instead of losing the capture.
        const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
        QDir(documents).removeRecursively();
        QDir().mkpath(documents);
        QFile blocker(documents + QStringLiteral("/Snaplark Captures"));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();

        RunObserver observer;
        QString message;
        observer.onDialog = [&message](QDialog *dialog) {
            for (auto *edit : dialog->findChildren<QObject *>(QStringLiteral("edError")))
                message = edit->property("plainText").toString();
        };
        QCOMPARE(CaptureFolder::newCaptureFileName(Settings::ModeScreenshot), QString());
        QCOMPARE(observer.dialogs.size(), 1);
        QVERIFY2(message.startsWith(QLatin1String("Error creating temporary file ")), qPrintable(message));
        QVERIFY(message.endsWith(QLatin1String("snaplark")));
        QCOMPARE(observer.endCodes, QList<int>{0});
        QFile::remove(blocker.fileName());
    }
};

QTEST_MAIN(TestSettings)
#include "tst_settings.moc"

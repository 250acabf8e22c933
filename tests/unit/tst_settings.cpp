#include "settings/capturefolder.h"
#include "settings/settings.h"

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QStandardPaths>
#include <QtTest>

class TestSettings : public QObject
{
    Q_OBJECT

    static QVariant readRaw(const QString &key)
    {
        return QSettings(QStringLiteral("Snaplark"), QStringLiteral("Snaplark")).value(key);
    }

private slots:
    void init() { QSettings(QStringLiteral("Snaplark"), QStringLiteral("Snaplark")).clear(); }

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
        QCOMPARE(Settings::colors(), QStringList({"#000000", "#FF0000", "#FFFF00", "#FF0000", "#FF0000"}));
    }

    void booleansAreStoredAsIntegers_data()
    {
        QTest::addColumn<QVariant>("stored");
        QTest::addColumn<bool>("expected");
        QTest::newRow("1") << QVariant(1) << true;
        QTest::newRow("2") << QVariant(2) << false;
        QTest::newRow("damaged") << QVariant(QStringLiteral("x")) << false;
    }
    void booleansAreStoredAsIntegers()
    {
        QFETCH(QVariant, stored);
        QFETCH(bool, expected);
        QSettings(QStringLiteral("Snaplark"), QStringLiteral("Snaplark")).setValue(QStringLiteral("SaveLocal"), stored);
        QCOMPARE(Settings::saveLocal(), expected);
        // the tray program reads what the setters write: 0 and 1
        Settings::setSoundEnable(expected);
        QCOMPARE(readRaw(QStringLiteral("SoundEnable")).toString(), expected ? QStringLiteral("1") : QStringLiteral("0"));
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

        // a zero byte ends the unscrambled text
        const QString withZero = QStringLiteral("ab") + QChar(0) + QStringLiteral("cd");
        QCOMPARE(Settings::unscramble(Settings::scramble(withZero, key), key), QStringLiteral("ab"));
    }

    void captureNamesAreUniqueAndInTheFolder()
    {
        const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
        QVERIFY(documents.startsWith(qEnvironmentVariable("SNAPLARK_TEST_HOME")));
        QDir(documents).removeRecursively();

        const QString folder = CaptureFolder::path();
        QCOMPARE(folder, QDir::toNativeSeparators(documents + QStringLiteral("/Snaplark Captures")));
        QVERIFY(QDir(folder).exists());

        const QString first = CaptureFolder::newCaptureFileName(Settings::ModeScreenshot);
        const QString second = CaptureFolder::newCaptureFileName(Settings::ModeScreenshot);
        QVERIFY(first != second);
        for (const QString &name : {first, second}) {
            QVERIFY(name.endsWith(QLatin1String(".png")));
            QCOMPARE(QFileInfo(name).absolutePath(), QDir::fromNativeSeparators(folder));
            QVERIFY(!QFile::exists(name));
        }
        // the reservation leaves no files behind
        QVERIFY(QDir(folder).entryList(QDir::Files).isEmpty());
        QVERIFY(CaptureFolder::newCaptureFileName(Settings::ModeGif).endsWith(QLatin1String(".gif")));
    }
};

QTEST_MAIN(TestSettings)
#include "tst_settings.moc"

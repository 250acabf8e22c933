#include "settings/capturefolder.h"
#include "settings/settings.h"
#include "testsupport.h"

#include <QDir>
#include <QSettings>
#include <QStandardPaths>
#include <QtTest>

class TestSettings : public QObject
{
    Q_OBJECT

private slots:
    void init() { QSettings("Snaplark", "Snaplark").clear(); }

    void defaultsAndTheActionPair()
    {
        using namespace Settings;
        const QVariantList actual{defAction(), altAction(), defClipboard(), altClipboard(), captureMode(), videoFileAction(),
                                  videoFrameRate(), soundEnable(), hotkeyAttr(), hotkeyKey(), allowDirectLink(), flbEnabled(),
                                  saveLocal(), trayEnabled(), lastRequest(), username(), authId(), colors()};
        const QVariantList expected{0, 1, 0, 5, 0, 1, 10, true, 0, 44, false, true, true, true,
                                    "2000-01-01T00:00:00", "Log in", QString(),
                                    QStringList{"#000000", "#FF0000", "#FFFF00", "#FF0000", "#FF0000"}};
        QCOMPARE(actual, expected);
        selectActions(false);
        QCOMPARE(qMakePair(currentAction(), currentClipboard()), qMakePair(1, 5));
        selectActions(true);
        QCOMPARE(qMakePair(currentAction(), currentClipboard()), qMakePair(0, 0));
    }

    // Booleans are integers: only 1 reads as true; setters write 0 and 1 (the tray program reads them).
    void booleansAreStoredAsIntegers()
    {
        const std::pair<QVariant, bool> cases[] = {{1, true}, {2, false}, {QStringLiteral("x"), false}};
        for (const auto &[stored, expected] : cases) {
            QSettings("Snaplark", "Snaplark").setValue("SaveLocal", stored);
            QCOMPARE(Settings::saveLocal(), expected);
            Settings::setSoundEnable(expected);
            QCOMPARE(QSettings("Snaplark", "Snaplark").value("SoundEnable").toString(), expected ? "1" : "0");
        }
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
        QCOMPARE(QSettings("Snaplark", "Snaplark").value("AuthId").toString(), stored);
        QCOMPARE(Settings::authId(), plain);
        const QString withZero = QStringLiteral("ab") + QChar(0) + "cd"; // a zero byte ends the text
        QCOMPARE(Settings::unscramble(Settings::scramble(withZero, key), key), QStringLiteral("ab"));
    }

    // Each name is reserved by creating its file, so no later capture, clock or other program can take it.
    void captureNamesAreReservedInTheFolder()
    {
        const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
        QVERIFY(documents.startsWith(qEnvironmentVariable("SNAPLARK_TEST_HOME")) && QDir(documents).removeRecursively());
        const QString folder = CaptureFolder::path(); // created when missing
        QCOMPARE(folder, QDir::toNativeSeparators(documents + QStringLiteral("/Snaplark Captures")));
        QVERIFY(QDir(folder).exists());
        const QString first = CaptureFolder::newCaptureFileName(Settings::ModeScreenshot);
        const QString second = CaptureFolder::newCaptureFileName(Settings::ModeScreenshot);
        const QString gif = CaptureFolder::newCaptureFileName(Settings::ModeGif);
        QVERIFY(first != second);
        const QRegularExpression form(QStringLiteral("^snaplark\\.[A-Za-z0-9]{6}\\.(png|gif)$"));
        for (const QString &name : {first, second, gif}) {
            const QFileInfo file(name);
            QCOMPARE(file.absolutePath(), QDir::fromNativeSeparators(folder));
            QVERIFY2(form.match(file.fileName()).hasMatch(), qPrintable(name));
            QVERIFY2(file.isFile() && file.size() == 0, qPrintable(name));
        }
        QVERIFY(first.endsWith(".png") && gif.endsWith(".gif"));
        QCOMPARE(QDir(folder).entryList(QDir::Files).size(), 3); // nothing else left behind
    }

    // Taken names, a planted link among them, are passed over without touching them; a folder that takes no
    // file, or names that are all taken, give no name rather than a wait without end.
    void reservationNeverTakesAnExistingName()
    {
        const QDir folder(testScratchDir(QStringLiteral("reserve")));
        QFile older(folder.filePath(QStringLiteral("snaplark.aaaaaa.png")));
        QVERIFY(older.open(QIODevice::WriteOnly) && older.write("older capture") == 13);
        older.close();
        const QString victim = folder.filePath(QStringLiteral("victim"));
        QVERIFY(QFile::link(victim, folder.filePath(QStringLiteral("snaplark.bbbbbb.png")))); // dangling
        QStringList offered{"aaaaaa", "bbbbbb", "cccccc"};
        const auto next = [&offered] { return offered.size() > 1 ? offered.takeFirst() : offered.first(); };

        QCOMPARE(CaptureFolder::reserveCaptureFile(folder.path(), QStringLiteral("png"), next),
                 folder.filePath(QStringLiteral("snaplark.cccccc.png")));
        QCOMPARE(QFileInfo(folder.filePath(QStringLiteral("snaplark.cccccc.png"))).size(), qint64(0));
        QVERIFY(older.open(QIODevice::ReadOnly));
        QCOMPARE(older.readAll(), QByteArray("older capture"));
        QVERIFY(!QFileInfo::exists(victim));

        int asked = 0;
        const auto taken = [&asked] { ++asked; return QStringLiteral("aaaaaa"); };
        QVERIFY(CaptureFolder::reserveCaptureFile(folder.path(), QStringLiteral("png"), taken).isEmpty());
        QVERIFY(asked > 1 && asked <= 1000);
        asked = 0;
        QVERIFY(CaptureFolder::reserveCaptureFile(older.fileName(), QStringLiteral("png"), taken).isEmpty()); // a file, no folder
        QCOMPARE(asked, 1);
    }
};

QTEST_MAIN(TestSettings)
#include "tst_settings.moc"

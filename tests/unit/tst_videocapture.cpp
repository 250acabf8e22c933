// The video flow over the stand-in extension library: what the quality dialog shows and stores,
// what the library is asked to record for each kind of selection, the countdown, the border and
// the Stop window, and what is left in the captures folder when the library refuses or leaves
// nothing.
#include "extension/extension.h"
#include "settings/capturefolder.h"
#include "settings/settings.h"
#include "testsupport.h"
#include "video/videocapture.h"
#include "video/videoselection.h"
#include "video/wndcountdown.h"
#include "video/wndrecord.h"
#include "video/wndrecordborder.h"
#include "video/wndstartvideo.h"

#include <QCheckBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QtTest>

namespace {

const QString kStandin = QStringLiteral(SNAPLARK_BUILD_DIR "/tests/standin/full");
const QString kCountdown = QStringLiteral("CountDownDialog");
const QString kComplete = QStringLiteral("Snaplark Complete Video Recording");
const QString kErrorBox = QStringLiteral("Snaplark Exception");
constexpr int kWindow = 77;

VideoSelection selection(int kind)
{
    VideoSelection result;
    result.kind = kind;
    // logical pixels at scale 2 on a desktop that starts left of the primary screen
    result.region = QRect(-90, 60, 300, 200);
    result.screenRegion = QRect(-180, 120, 600, 400);
    result.windowHandle = kWindow;
    return result;
}

QStringList capturesLeft()
{
    return QDir(CaptureFolder::path()).entryList(QDir::Files | QDir::Hidden | QDir::System);
}

template <typename T>
T *child(QWidget *parent, const char *name)
{
    T *found = parent->findChild<T *>(QLatin1String(name));
    if (!found)
        qFatal("no %s", name);
    return found;
}

} // namespace

class TestVideoCapture : public QObject
{
    Q_OBJECT

    QString m_log;

    // The stand-in's calls since the last look, arguments after the function's name.
    QStringList calls()
    {
        QFile file(m_log);
        QStringList result;
        if (file.open(QIODevice::ReadOnly))
            for (const QByteArray &line : file.readAll().split('\n'))
                if (line.contains("VideoCapture"))
                    result += QString::fromUtf8(line).section('\t', 1);
        file.remove();
        return result;
    }

    static QString startCall(const QString &arguments, const QString &path, int rate, bool sound)
    {
        return QString("StartVideoCapture\t%1\t%2\t%3\t%4").arg(arguments, path).arg(rate).arg(int(sound));
    }

private slots:
    void initTestCase()
    {
        m_log = testScratchDir("videocapture") + "/standin.log";
        qputenv("SNAPLARK_STANDIN_LOG", QFile::encodeName(m_log));
        qputenv("SNAPLARK_STANDIN_EXTENSION", "mp4");
        Extension::reloadForTesting(kStandin);
    }

    void init()
    {
        qunsetenv("SNAPLARK_STANDIN_RESULT");
        QSettings("Snaplark", "Snaplark").clear();
        QDir(CaptureFolder::path()).removeRecursively();
        calls();
    }

    void qualityDialog_data()
    {
        QTest::addColumn<int>("stored");
        QTest::addColumn<QStringList>("clicks"); // chEnableSound turns the sound box
        QTest::addColumn<QString>("checked");
        QTest::addColumn<int>("shown");          // the spin box's value before OK
        QTest::addColumn<bool>("enabled");
        QTest::addColumn<bool>("soundStored");
        QTest::addColumn<bool>("sound");         // after OK

        QTest::newRow("stored 1") << 1 << QStringList() << "btnLow" << 1 << false << false << false;
        QTest::newRow("stored 10") << 10 << QStringList{"chEnableSound"} << "btnNormal" << 10 << false << true << false;
        QTest::newRow("stored 25") << 25 << QStringList{"chEnableSound"} << "btnCustom" << 25 << true << false << true;
        QTest::newRow("stored 0, outside the box") << 0 << QStringList() << "btnCustom" << 1 << true << true << true;
        QTest::newRow("low, then custom keeps 1")
            << 25 << QStringList{"btnLow", "btnCustom"} << "btnCustom" << 1 << true << true << true;
        QTest::newRow("custom, then normal") << 25 << QStringList{"btnNormal"} << "btnNormal" << 10 << false << true << true;
    }

    // OK stores the spin box's value and the sound box ("SoundEnable" as 0 or 1), and those are what
    // the library records with.
    void qualityDialog()
    {
        QFETCH(int, stored);
        QFETCH(QStringList, clicks);
        QFETCH(QString, checked);
        QFETCH(int, shown);
        QFETCH(bool, enabled);
        QFETCH(bool, soundStored);
        QFETCH(bool, sound);
        Settings::setVideoFrameRate(stored);
        Settings::setSoundEnable(soundStored);
        RunObserver run;
        WndStartVideo dialog(selection(0));
        QCOMPARE(dialog.windowTitle(), QString("Snaplark Start Video Recording"));
        QCOMPARE(child<QCheckBox>(&dialog, "chEnableSound")->isChecked(), soundStored);
        for (const QString &name : clicks)
            child<QAbstractButton>(&dialog, qPrintable(name))->click();
        for (const char *name : {"btnLow", "btnNormal", "btnCustom"})
            QCOMPARE(child<QRadioButton>(&dialog, name)->isChecked(), checked == name);
        auto *spin = child<QSpinBox>(&dialog, "spinFramerate");
        QCOMPARE(spin->value(), shown);
        QCOMPARE(spin->isEnabled(), enabled);

        dialog.show();
        child<QPushButton>(&dialog, "btnOk")->click();
        QVERIFY(!dialog.isVisible());
        QCOMPARE(Settings::videoFrameRate(), shown);
        QCOMPARE(QSettings("Snaplark", "Snaplark").value("SoundEnable").toInt(), int(sound));
        QVERIFY(dialog.capture());
        QCOMPARE(calls(), QStringList{startCall("0\t0\t0\t0\t0\t77", dialog.capture()->path(), shown, sound)});
        QVERIFY(run.endCodes.isEmpty());
    }

    void kinds_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("arguments"); // full screen, x, y, width, height, window
        QTest::addColumn<bool>("countdown");
        QTest::addColumn<QRect>("border");      // null: none shown

        QTest::newRow("window") << 0 << "0\t0\t0\t0\t0\t77" << false << QRect();
        QTest::newRow("full screen") << 1 << "1\t0\t0\t0\t0\t0" << true << QRect();
        // the device pixels are recorded; the border is placed in logical ones, outside the region
        QTest::newRow("region") << 2 << "0\t-180\t120\t600\t400\t0" << true << QRect(-93, 57, 306, 206);
    }

    // The Stop window shows from the start, over the countdown; after Stop the library finishes
    // the file and the completion dialog offers it.
    void kinds()
    {
        QFETCH(int, kind);
        QFETCH(QString, arguments);
        QFETCH(bool, countdown);
        QFETCH(QRect, border);
        Settings::setVideoFrameRate(7);
        Settings::setSoundEnable(false);
        RunObserver run;
        QStringList shownAtDialogs;
        VideoCapture capture(selection(kind).framed() ? selection(kind).region : QRect());
        QCOMPARE(VideoCapture::current(), &capture);
        run.onDialog = [&](QDialog *dialog) {
            shownAtDialogs += QString("%1: stop %2, border %3, library %4")
                                  .arg(dialog->windowTitle())
                                  .arg(capture.recordWindow()->isVisible())
                                  .arg(capture.border()->isVisible())
                                  .arg(calls().join(','));
        };
        QVERIFY(capture.isReady());
        QCOMPARE(capturesLeft(), QStringList{QFileInfo(capture.path()).fileName()});
        QVERIFY(capture.path().endsWith(".mp4"));
        QVERIFY(capture.recordWindow()->isVisible());

        capture.start(selection(kind));
        QCOMPARE(calls(), QStringList{startCall(arguments, capture.path(), 7, false)});
        QCOMPARE(capture.border()->isVisible(), !border.isNull());
        if (!border.isNull())
            QCOMPARE(capture.border()->geometry(), border);
        QVERIFY(capture.isRecording());

        QFile file(capture.path()); // what ffmpeg would write
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write("video") == 5);
        file.close();
        child<QPushButton>(capture.recordWindow(), "btnStop")->click();
        QStringList expected;
        if (countdown)
            expected += QString("%1: stop 1, border %2, library ").arg(kCountdown).arg(!border.isNull());
        expected += QString("%1: stop 0, border 0, library StopVideoCapture").arg(kComplete);
        QCOMPARE(shownAtDialogs, expected);
        QVERIFY(run.endCodes.isEmpty()); // the completion dialog ends the run
        QVERIFY(QFile::exists(capture.path()));
    }

    void refusals_data()
    {
        QTest::addColumn<bool>("startRefused");
        QTest::addColumn<QString>("message");
        QTest::newRow("library refuses") << true << "Can't start video capturing!";
        QTest::newRow("nothing written") << false << "The video could not be recorded";
    }

    // A recording that cannot start, or leaves an empty file, ends the run through the error box
    // and leaves no empty file behind.
    void refusals()
    {
        QFETCH(bool, startRefused);
        QFETCH(QString, message);
        if (startRefused)
            qputenv("SNAPLARK_STANDIN_RESULT", "0");
        RunObserver run;
        QString shown;
        run.onDialog = [&](QDialog *dialog) {
            if (auto *text = dialog->findChild<QPlainTextEdit *>())
                shown = text->toPlainText();
        };
        VideoCapture capture(selection(2).region);
        capture.start(selection(2));
        if (!startRefused) {
            QVERIFY(capture.isRecording());
            child<QPushButton>(capture.recordWindow(), "btnStop")->click();
        }
        QCOMPARE(run.dialogs, QStringList({kCountdown, kErrorBox}));
        QCOMPARE(shown, message);
        QCOMPARE(run.endCodes, QList<int>{0});
        QVERIFY(!capture.recordWindow()->isVisible());
        QVERIFY(!capture.border()->isVisible());
        QCOMPARE(capturesLeft(), QStringList());
    }

    // Only Stop ends a recording: Esc and close requests leave the window up and the run going.
    void recordWindowIgnoresClose()
    {
        RunObserver run;
        WndRecord window;
        QSignalSpy stopped(&window, &QDialog::accepted);
        window.show();
        QTest::keyClick(&window, Qt::Key_Escape);
        window.close();
        QVERIFY(window.isVisible());
        QVERIFY(run.endCodes.isEmpty());
        QCOMPARE(stopped.count(), 0);
        child<QPushButton>(&window, "btnStop")->click();
        QCOMPARE(stopped.count(), 1);
        QVERIFY(run.endCodes.isEmpty());
    }

    void recordWindowPlace_data()
    {
        QTest::addColumn<QRect>("screen");
        QTest::addColumn<QRect>("recorded");
        QTest::addColumn<QPoint>("corner");

        const QRect screen(100, 0, 1280, 800);
        QTest::newRow("window or full screen") << screen << QRect() << QPoint(1300, 0);
        QTest::newRow("region elsewhere") << screen << QRect(300, 200, 400, 300) << QPoint(1300, 0);
        QTest::newRow("region under the top-right") << screen << QRect(1100, 50, 300, 200) << QPoint(100, 0);
        QTest::newRow("region just below it") << screen << QRect(1100, 93, 300, 200) << QPoint(1300, 0);
        QTest::newRow("region along the top") << screen << QRect(100, 0, 1280, 100) << QPoint(1300, 707);
        QTest::newRow("region over all corners") << screen << QRect(0, 0, 1500, 900) << QPoint(1300, 0);
    }

    // The Stop window stays out of the recorded region where the screen leaves room.
    void recordWindowPlace()
    {
        QFETCH(QRect, screen);
        QFETCH(QRect, recorded);
        QFETCH(QPoint, corner);
        QCOMPARE(RecordWindowPlace::corner(screen, QSize(80, 93), recorded), corner);
    }

    // 3, 2 and 1, 600 ms each, then the modal run returns.
    void countdown()
    {
        wndcountdown countdown;
        auto *label = child<QLabel>(&countdown, "label");
        QStringList seen{label->text()};
        QTimer watch;
        connect(&watch, &QTimer::timeout, [&] {
            if (seen.last() != label->text())
                seen += label->text();
        });
        watch.start(20);
        QElapsedTimer elapsed;
        elapsed.start();
        countdown.exec();
        QVERIFY2(elapsed.elapsed() >= 1780 && elapsed.elapsed() < 3000, qPrintable(QString::number(elapsed.elapsed())));
        QCOMPARE(seen, QStringList({"3", "2", "1"}));
        QVERIFY(!countdown.isVisible());
    }
};

QTEST_MAIN(TestVideoCapture)
#include "tst_videocapture.moc"

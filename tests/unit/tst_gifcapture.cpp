// The GIF recorder's run, tick by tick, over scripted grabs: which frames the file gets and with
// what delays, Stop, the closing picture, and what is left in the captures folder after Cancel,
// Esc or a folder that takes no file.
#include "recorders/wndgifcapture.h"
#include "settings/capturefolder.h"
#include "gifreader.h"
#include "testsupport.h"

#include <QPushButton>
#include <QtTest>


namespace {

const QRect kRegion(10, 20, 64, 40);

// A recorder whose grabs the test scripts: each tick's grab differs from the last in one pixel,
// or not at all while `still` holds.
class Recorder : public WndGifCapture
{
public:
    Recorder()
        : WndGifCapture(kRegion, 6, 13, 6, 1)
    {
    }
    void pressStart() { onButtonStartClick(); }
    void pressCancel() { onButtonCancelClick(); }
    bool still = false;
    mutable int grabs = 0;

protected:
    QImage grabRegion() const override
    {
        QImage grab(kRegion.size(), QImage::Format_RGB32);
        grab.fill(qRgb(90, 120, 150));
        const int n = still ? 0 : ++grabs;
        grab.setPixel(n % 16, 2, qRgb(255, 255, 255)); // well away from the stamp's corner
        return grab;
    }
};

QStringList capturesLeft()
{
    return QDir(CaptureFolder::path()).entryList(QDir::Files | QDir::Hidden | QDir::System);
}

} // namespace

class TestGifCapture : public QObject
{
    Q_OBJECT

private slots:
    void init() { QDir(CaptureFolder::path()).removeRecursively(); }

    // Left to run: the Start grab, a frame per tick that changed, the whole region every sixth
    // tick, the closing picture at tick 78, then the completion dialog with the finished file.
    void fullRecording()
    {
        RunObserver run;
        QString offered;
        run.onDialog = [&](QDialog *) { offered = capturesLeft().join(','); };
        Recorder recorder;
        QVERIFY(recorder.isReady());
        QCOMPARE(recorder.windowTitle(), QString("SnaplarkGifCapture"));
        recorder.show();
        recorder.pressStart();
        for (int tick = 1; tick <= 78; ++tick) {
            recorder.still = tick >= 20 && tick < 30; // ten ticks with nothing new
            recorder.TimerTick();
        }
        recorder.TimerTick(); // one too many: nothing more
        QCOMPARE(run.dialogs, QStringList{"Snaplark Complete Gif Recording"});
        QCOMPARE(offered, QFileInfo(recorder.path()).fileName()); // no part file beside it
        QVERIFY(run.endCodes.isEmpty()); // the dialog ends the run
        QVERIFY(!recorder.isVisible());

        const QVector<GifFrame> frames = readGifFrames(recorder.path());
        // Ticks 21 to 29 grab what tick 20 wrote; of them only tick 24, a key frame, is written.
        const auto written = [](int tick) { return tick < 21 || tick > 29 || tick == 24; };
        QVector<int> ticks;
        for (int tick = 1; tick <= 77; ++tick)
            if (written(tick))
                ticks.append(tick);
        QCOMPARE(frames.size(), 1 + ticks.size() + 1); // the Start grab, the ticks, the closing picture
        const QRect whole(QPoint(), kRegion.size());
        QCOMPARE(frames.first().rect, whole);
        for (int i = 0; i < ticks.size(); ++i)
            QVERIFY2((ticks[i] % 6 == 0) == (frames[i + 1].rect == whole), qPrintable(QString("tick %1").arg(ticks[i])));
        // the delays count the ticks skipped before each frame
        QCOMPARE(frames[ticks.indexOf(20) + 1].delay, 26);
        QCOMPARE(frames[ticks.indexOf(24) + 1].delay, 106);
        QCOMPARE(frames[ticks.indexOf(30) + 1].delay, 160);
        QCOMPARE(frames.last().rect, whole);
        QCOMPARE(frames.last().delay, 160);
    }

    // Stop before the first tick, or after some: the next tick writes the closing picture; the
    // stream is begun once.
    void stopEndsAtTheNextTick_data()
    {
        QTest::addColumn<int>("ticksBeforeStop");
        QTest::newRow("before the first tick") << 0;
        QTest::newRow("after five ticks") << 5;
    }
    void stopEndsAtTheNextTick()
    {
        QFETCH(int, ticksBeforeStop);
        RunObserver run;
        Recorder recorder;
        recorder.show();
        recorder.pressStart();
        for (int i = 0; i < ticksBeforeStop; ++i)
            recorder.TimerTick();
        recorder.pressStart(); // Stop
        recorder.pressStart(); // a second press changes nothing
        QVERIFY(run.dialogs.isEmpty());
        recorder.TimerTick();
        QCOMPARE(run.dialogs.size(), 1);
        const QVector<GifFrame> frames = readGifFrames(recorder.path());
        QCOMPARE(frames.size(), 1 + ticksBeforeStop + 1);
        QCOMPARE(frames.last().delay, 160);
    }

    // Cancel (Esc takes the same path; the e2e test sends it through the hooks), before Start, before the first tick and later: the run ends and the
    // captures folder holds nothing, neither the reserved name nor a part file.
    void cancelLeavesNothing_data()
    {
        QTest::addColumn<bool>("start");
        QTest::addColumn<int>("ticks");
        QTest::newRow("ready") << false << 0;
        // a file only begun, which used to stay behind
        QTest::newRow("started, no tick") << true << 0;
        QTest::newRow("recording") << true << 8;
    }
    void cancelLeavesNothing()
    {
        QFETCH(bool, start);
        QFETCH(int, ticks);
        RunObserver run;
        Recorder recorder;
        recorder.show();
        QCOMPARE(capturesLeft().size(), 2); // the name reserved at construction, the part file beside it
        if (start)
            recorder.pressStart();
        for (int i = 0; i < ticks; ++i)
            recorder.TimerTick();
        recorder.pressCancel();
        QCOMPARE(run.endCodes, QList<int>{0});
        QCOMPARE(capturesLeft(), QStringList());
        QVERIFY(!recorder.isVisible());
        recorder.TimerTick();
        recorder.pressCancel();
        QCOMPARE(run.endCodes, QList<int>{0});
        QVERIFY(run.dialogs.isEmpty());
    }

    // A captures folder that takes no file: the error box, the run ends, nothing is recorded.
    void folderTakesNoFile()
    {
        const QString folder = CaptureFolder::path();
        QVERIFY(QDir(folder).removeRecursively());
        QFile blocker(folder);
        QVERIFY(blocker.open(QIODevice::WriteOnly)); // a file where the folder should be
        blocker.close();
        auto restore = qScopeGuard([&] { QFile::remove(folder); });
        RunObserver run;
        Recorder recorder;
        QVERIFY(!recorder.isReady());
        QCOMPARE(run.dialogs.size(), 1);
        QCOMPARE(run.endCodes, QList<int>{0});
        recorder.pressStart();
        recorder.TimerTick();
        QCOMPARE(run.dialogs.size(), 1);
        QVERIFY(QFileInfo(folder).isFile());
    }

    void closingFrame_data()
    {
        QTest::addColumn<QSize>("size");
        QTest::addColumn<QRect>("picture"); // where the closing picture lands
        // at most 200 x 200 of the 499 x 121 picture, centred at (149, 99)
        QTest::newRow("300 x 200") << QSize(300, 200) << QRect(50, 76, 200, 48);
        QTest::newRow("wider than 512") << QSize(1000, 700) << QRect(244, 288, 512, 124);
        QTest::newRow("roomy, not enlarged") << QSize(600, 600) << QRect(50, 239, 499, 121);
    }
    void closingFrame()
    {
        QFETCH(QSize, size);
        QFETCH(QRect, picture);
        const QImage frame = GifRecording::closingFrame(size, QImage("://resources/gifLastImage.gif"));
        QCOMPARE(frame.size(), size);
        QRect drawn;
        for (int y = 0; y < size.height(); ++y)
            for (int x = 0; x < size.width(); ++x)
                if (frame.pixel(x, y) != qRgb(255, 255, 255))
                    drawn |= QRect(x, y, 1, 1);
        QVERIFY2(picture.contains(drawn), qPrintable(QString("%1,%2 %3x%4").arg(drawn.x()).arg(drawn.y())
                                                         .arg(drawn.width()).arg(drawn.height())));
        QVERIFY(drawn.width() > picture.width() / 2);
    }
};

QTEST_MAIN(TestGifCapture)
#include "tst_gifcapture.moc"

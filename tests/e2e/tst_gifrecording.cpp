// The GIF mode of the real program, driven through the X tools over a window that changes while it
// is recorded: the file that Save leaves, read by giflib and by Pillow, and no file at all after
// Close, Cancel or Esc.
#include "changingwindow.h"
#include "desktopdriver.h"
#include "fakefilemanager.h"
#include "processdriver.h"
#include "recorders/wndgifcapture.h"
#include "settings/settings.h"
#include "testsupport.h"
#include "ui/toolframeplace.h"

#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QtTest>

#include <memory>

using namespace Desktop;

namespace {

const QRect kSelection(QPoint(100, 120), QSize(300, 200)); // logical, dragged to (400, 320)
const QSize kToolFrame(253, 390);
const QString kRecorderTitle = QStringLiteral("SnaplarkGifCapture");
const QString kCompleteTitle = QStringLiteral("Snaplark Complete Gif Recording");
const QVector<QRgb> kColours = {qRgb(200, 30, 40), qRgb(30, 160, 60), qRgb(40, 60, 210),
                                qRgb(230, 200, 20), qRgb(180, 40, 190), qRgb(20, 190, 200)};
constexpr int kShortDelay = 26;   // hundredths: a frame after no skipped tick at 6 a second
constexpr int kClosingDelay = 160;

// Pillow's reading of the file: logical screen, loop count (absent without the loop extension) and,
// per frame, its rectangle and duration (ms); the first and last pictures as shown go to PNG files.
QJsonObject readWithPillow(const QString &path, const QString &firstPng, const QString &lastPng)
{
    QProcess python;
    python.start("/usr/bin/python3",
                 {"-c", "import json, sys\nfrom PIL import Image\nim = Image.open(sys.argv[1])\nframes = []\n"
                        "for i in range(im.n_frames):\n"
                        "    im.seek(i)\n"
                        "    frames.append(list(im.tile[0][1]) + [im.info.get('duration', -1)] if im.tile else [])\n"
                        "    if i == 0: im.convert('RGB').save(sys.argv[2])\n"
                        "im.convert('RGB').save(sys.argv[3])\n"
                        "print(json.dumps({'width': im.size[0], 'height': im.size[1],"
                        " 'loop': im.info.get('loop', -1), 'frames': frames}))",
                  path, firstPng, lastPng});
    if (!python.waitForFinished(20000) || python.exitCode() != 0)
        return QJsonObject{{"error", QString::fromUtf8(python.readAllStandardError())}};
    return QJsonDocument::fromJson(python.readAllStandardOutput()).object();
}

} // namespace

class TestGifRecording : public QObject
{
    Q_OBJECT

    QString m_scratch;
    std::unique_ptr<ProgramCopy> m_copy;
    std::unique_ptr<ProgramRun> m_run;

    QStringList capturesLeft() const
    {
        return QDir(capturesFolder()).entryList(QDir::Files | QDir::Hidden | QDir::System);
    }

    // The panel's Start and Cancel: its last row, Start then Cancel at the end nearest the ring's corner.
    bool panelButtons(qreal scale, QPoint *start, QPoint *cancel)
    {
        for (qulonglong window : windowsOf(m_run->pid())) {
            const QRect g = windowGeometry(window);
            if (g.height() < 100 * scale && g.width() >= 220 * scale) {
                *cancel = g.bottomRight() - QPoint(2 + 55, 2 + 20) * scale;
                *start = *cancel - QPoint(110 + 6, 0) * scale;
                return true;
            }
        }
        return false;
    }

private slots:
    void initTestCase()
    {
        m_scratch = testScratchDir("gifrecording");
        m_copy = std::make_unique<ProgramCopy>(m_scratch + "/bin");
        QVERIFY(m_copy->isValid());
    }

    void init()
    {
        QDir(capturesFolder()).removeRecursively();
        QSettings("Snaplark", "Snaplark").clear();
        QVERIFY(moveMouse(QPoint(5, 5))); // the tool frame starts in its lower place
    }

    void cleanup()
    {
        m_run.reset();
        m_copy->killAll();
    }

    void record_data()
    {
        QTest::addColumn<QString>("scaling");
        QTest::addColumn<bool>("start");
        QTest::addColumn<QString>("end"); // save, close, cancel or escape

        QTest::newRow("stop, save") << QString() << true << "save";
        QTest::newRow("stop, save at scale 2") << QString("QT_SCALE_FACTOR=2") << true << "save";
        QTest::newRow("stop, close") << QString() << true << "close";
        QTest::newRow("cancel, ready") << QString() << false << "cancel";
        QTest::newRow("cancel, recording") << QString() << true << "cancel";
        QTest::newRow("esc, ready") << QString() << false << "escape";
        QTest::newRow("esc, recording") << QString() << true << "escape";
    }

    void record()
    {
        QFETCH(QString, scaling);
        QFETCH(bool, start);
        QFETCH(QString, end);
        const qreal scale = scaleOf(scaling);
        const QRect region = deviceRect(kSelection, scale);
        FakeFileManagerService fileManager;
        QVERIFY(fileManager.registered());
        ChangingWindow application(region, kColours);
        application.show();
        QVERIFY(QTest::qWaitForWindowExposed(&application));

        m_run = m_copy->newRun(scaled(QProcessEnvironment::systemEnvironment(), scaling));
        QVERIFY(m_run->start());
        QVERIFY2(waitForOverlay(m_run->pid()) && m_run->waitForLog("Pixmap size:", 5000), qPrintable(m_run->log()));
        // out of the mouse's way while the region is dragged on the overlay
        application.hide();
        const QPoint frame = ToolFramePlace::lower(logicalScreen(scale), kToolFrame);
        QVERIFY(click(devicePoint(frame + QPoint(63 + 30, 251 + 15), scale))); // chbGifMode
        QVERIFY(drag(devicePoint(kSelection.topLeft(), scale),
                     devicePoint(kSelection.bottomRight() + QPoint(1, 1), scale)));
        QVERIFY2(waitForWindowNamed(kRecorderTitle, 10000), qPrintable(m_run->log()));
        application.show();
        // the ring just outside the region; the file's name reserved, its part file beside it
        QCOMPARE(windowGeometry(windowsNamed(kRecorderTitle).first()), deviceRect(kSelection.adjusted(-2, -2, 2, 2), scale));
        QCOMPARE(capturesLeft().size(), 2);

        QPoint startButton, cancelButton;
        QVERIFY2(panelButtons(scale, &startButton, &cancelButton), qPrintable(m_run->log()));
        QElapsedTimer recording;
        if (start) {
            QVERIFY(click(startButton));
            recording.start();
            // a screenshot while recording, for the eye
            QProcess::execute("import", {"-window", "root", m_scratch + "/recording.png"});
            QTest::qWait(1000);
        }
        if (end == "cancel" || end == "escape") {
            QVERIFY(end == "cancel" ? click(cancelButton) : !tool("xdotool", {"key", "Escape"}).isNull());
            QVERIFY2(m_run->waitForFinished(10000) && m_run->exitCode() == 0, qPrintable(m_run->log()));
            QCOMPARE(capturesLeft(), QStringList());
            return;
        }

        QVERIFY(click(startButton)); // now Stop: the next tick is the last
        const qint64 elapsed = recording.elapsed();
        const qulonglong complete = waitForWindowNamed(kCompleteTitle, 10000);
        QVERIFY2(complete, qPrintable(m_run->log()));
        QVERIFY(windowsNamed(kRecorderTitle).isEmpty());
        application.hide(); // above every managed window, it may cover the dialog
        const QStringList files = capturesLeft();
        QCOMPARE(files.size(), 1); // the recording, no part file beside it
        const QString path = QDir(capturesFolder()).filePath(files.first());
        QVERIFY(path.endsWith(".gif"));
        const QPoint corner = windowGeometry(complete).topLeft();
        QVERIFY(click(corner + (end == "save" ? QPoint(71 + 55, 125 + 20) : QPoint(232 + 10, 1 + 10)) * scale));
        QVERIFY2(m_run->waitForFinished(10000) && m_run->exitCode() == 0, qPrintable(m_run->log()));
        if (end == "close") {
            QCOMPARE(capturesLeft(), QStringList());
            return;
        }
        QCOMPARE(capturesLeft(), files);
        QTRY_COMPARE(fileManager.receivedUris().size(), 1);
        QCOMPARE(QUrl(fileManager.receivedUris().first()).toLocalFile(), path);

        const QString firstPng = m_scratch + "/first.png", lastPng = m_scratch + "/last.png";
        const QJsonObject gif = readWithPillow(path, firstPng, lastPng);
        QVERIFY2(!gif.contains("error"), qPrintable(gif.value("error").toString()));
        QCOMPARE(QSize(gif.value("width").toInt(), gif.value("height").toInt()), region.size());
        QCOMPARE(gif.value("loop").toInt(), 0); // the loop extension, repeating forever
        const QJsonArray frames = gif.value("frames").toArray();
        // the Start grab, one frame per tick (each saw a change), the closing picture
        const int ticks = int(elapsed / 166);
        QVERIFY2(frames.size() >= ticks - 1 && frames.size() <= ticks + 4,
                 qPrintable(QString("%1 frames after %2 ms").arg(frames.size()).arg(elapsed)));
        const QJsonArray whole{0, 0, region.width(), region.height()};
        const auto rectOf = [](const QJsonValue &frame) {
            QJsonArray box = frame.toArray();
            box.removeLast();
            return box;
        };
        QCOMPARE(rectOf(frames.first()), whole);
        for (int i = 0; i + 1 < frames.size(); ++i) {
            const int duration = frames[i].toArray().last().toInt();
            QVERIFY2(duration > 0 && duration % (kShortDelay * 10) <= 20,
                     qPrintable(QString("frame %1: %2 ms").arg(i).arg(duration)));
        }

        // the first frame: the application's colour of the moment, the stamp over its corner
        const QImage first = QImage(firstPng).convertToFormat(QImage::Format_RGB32);
        const QRgb colour = first.pixel(0, 0);
        QVERIFY(kColours.contains(colour));
        QImage expected = solid(region.size(), colour);
        GifRecording::stamp(&expected, QImage("://resources/gifStamp.gif"));
        const QRect stampArea(QPoint(region.width() - 48, region.height() - 48), QSize(48, 48));
        QVERIFY(meanDifference(first, expected) < 1.5);
        QVERIFY(meanDifference(first.copy(stampArea), expected.copy(stampArea)) < 8);
        QVERIFY(meanDifference(first.copy(stampArea), solid(stampArea.size(), colour)) > 10);
        QCOMPARE(first.copy(QRect(0, 0, region.width(), region.height() - 48)),
                 solid(QSize(region.width(), region.height() - 48), colour));

        // the last frame: the closing picture over the whole region, shown 1.6 s
        QCOMPARE(rectOf(frames.last()), whole);
        QCOMPARE(frames.last().toArray().last().toInt(), kClosingDelay * 10);
        const QImage closing = GifRecording::closingFrame(region.size(), QImage("://resources/gifLastImage.gif"));
        const double offClosing = meanDifference(QImage(lastPng).convertToFormat(QImage::Format_RGB32), closing);
        QVERIFY2(offClosing < 6, qPrintable(QString::number(offClosing)));
    }
};

QTEST_MAIN(TestGifRecording)
#include "tst_gifrecording.moc"

// The scrolling mode of the real program over the scrolling test program, driven through the X
// tools: wheel turns and arrow keys reach the recorder through the extension library's hooks, the
// editor takes the stitched picture, and the PNG that Save leaves holds the page's own rows with
// the rectangle drawn over them.  Cancel leaves no file; Esc does not cancel.
#include "desktopdriver.h"
#include "processdriver.h"
#include "scrollpagecontent.h"
#include "settings/settings.h"
#include "testsupport.h"
#include "ui/toolframeplace.h"

#include <QtTest>

#include <memory>

using namespace Desktop;

namespace {

const QRect kPageWindow(100, 80, 600, 560);
const QSize kRegion(400, 300);
const QPoint kRegionOffset(50, 60); // inside the page window
const QSize kToolFrame(253, 390);
const QSize kToolbar(372, 171);
const QString kRecorderTitle = QStringLiteral("SnaplarkScrollCapture");
const QString kSameLine = QStringLiteral("the same!");

// Red text on the panel: the message line is not empty.
bool showsRed(const QRect &area)
{
    const QImage shot = grabScreen().copy(area);
    for (int y = 0; y < shot.height(); ++y)
        for (int x = 0; x < shot.width(); ++x) {
            const QColor c(shot.pixel(x, y));
            if (c.red() > 180 && c.green() < 90 && c.blue() < 90)
                return true;
        }
    return false;
}

} // namespace

class TestScrollCapture : public QObject
{
    Q_OBJECT

    QString m_scratch;
    std::unique_ptr<ProgramCopy> m_copy;
    std::unique_ptr<ProgramRun> m_run;
    std::unique_ptr<QProcess> m_page;
    QByteArray m_pageOutput;
    qreal m_scale = 1.0; // the program's scale factor; the page program runs unscaled

    QStringList capturesLeft() const { return QDir(capturesFolder()).entryList(QDir::Files | QDir::Hidden); }
    int logCount(const QString &line) const { return m_run->log().count(line); }

    // The page's first visible row, as the program last reported it.
    int pageTop()
    {
        m_pageOutput += m_page->readAllStandardOutput();
        const QList<QByteArray> lines = m_pageOutput.trimmed().split('\n');
        return lines.isEmpty() || !lines.last().startsWith("top ") ? -1 : lines.last().mid(4).toInt();
    }

    // A scroll of the page through the X server, answered by the page and then by the recorder
    // with one more line of the given text.
    bool scroll(const QStringList &xdotool, int expectedTop, const QString &recorderLine)
    {
        const int before = recorderLine.isEmpty() ? 0 : logCount(recorderLine);
        if (tool("xdotool", xdotool).isNull())
            return false;
        const auto failed = [&](const char *what) {
            qWarning("%s after xdotool %s", what, qPrintable(xdotool.join(' ')));
            QProcess::execute("import", {"-window", "root", m_scratch + "/failed.png"});
            return false;
        };
        if (!waitUntil([&] { return pageTop() == expectedTop; }, 5000))
            return failed("the page did not scroll");
        if (!recorderLine.isEmpty() && !waitUntil([&] { return logCount(recorderLine) > before; }, 5000))
            return failed("the recorder did not answer");
        return true;
    }

    QRect panel()
    {
        for (qulonglong window : windowsOf(m_run->pid())) {
            const QRect g = windowGeometry(window);
            if (g.width() >= 400 * m_scale && g.height() < 120 * m_scale)
                return g;
        }
        return QRect();
    }

    // The panel's red message line, below its row of buttons.
    QRect messageLine()
    {
        const int s = int(m_scale);
        return panel().adjusted(2 * s, (2 + 40 + 2) * s, -2 * s, -2 * s);
    }

    // The panel's Start and Cancel at the end of its row of buttons, above the message line.
    QPoint startButton() { return cancelButton() - QPoint(110 + 6, 0) * m_scale; }
    QPoint cancelButton()
    {
        const QRect p = panel();
        return QPoint(p.right(), p.top()) + QPoint(-2 - 55, 2 + 20) * m_scale;
    }
    // A logical point of the program's windows on the screen.
    QPoint device(const QPoint &logical) const { return logical * m_scale; }

    // Start, which turns red as Stop once the capture has started.
    bool start()
    {
        const QRect button(startButton() - QPoint(50, 15), QSize(100, 30));
        return click(startButton()) && waitUntil([&] { return showsRed(button); }, 5000);
    }

    // The page program and the program in its scrolling mode with the region framed over the page;
    // the region (screen coordinates) on return.
    QRect openRecorder()
    {
        m_page = std::make_unique<QProcess>();
        m_page->start(QStringLiteral(SNAPLARK_TEST_BIN_DIR "/scrollpage"),
                      {QString::number(kPageWindow.x()), QString::number(kPageWindow.y()),
                       QString::number(kPageWindow.width()), QString::number(kPageWindow.height())});
        const qulonglong pageWindow = waitForWindowOf(m_page->processId());
        if (!pageWindow || !waitUntil([&] { return pageTop() == 0; }, 5000))
            return QRect();
        const QRect region(windowGeometry(pageWindow).topLeft() + kRegionOffset, kRegion);

        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        if (m_scale != 1.0)
            environment.insert("QT_SCALE_FACTOR", QString::number(m_scale));
        m_run = m_copy->newRun(environment);
        if (!m_run->start())
            return QRect();
        if (!waitForOverlay(m_run->pid()) || !m_run->waitForLog("Pixmap size:", 5000))
            return QRect();
        const QPoint frame = ToolFramePlace::lower(logicalScreen(m_scale), kToolFrame);
        if (!click(device(frame + QPoint(132 + 30, 251 + 15))) // chbScrollMode
            || !drag(region.topLeft(), region.bottomRight() + QPoint(1, 1))
            || !waitForWindowNamed(kRecorderTitle, 10000) || !waitUntil([&] { return panel().isValid(); }, 5000))
            return QRect();
        return region;
    }

private slots:
    void initTestCase()
    {
        m_scratch = testScratchDir("scrollcapture");
        m_copy = std::make_unique<ProgramCopy>(m_scratch + "/bin");
        QVERIFY(m_copy->isValid());
    }

    void init()
    {
        QDir(capturesFolder()).removeRecursively();
        QSettings("Snaplark", "Snaplark").clear();
        m_pageOutput.clear();
        m_scale = 1.0;
        QVERIFY(moveMouse(QPoint(5, 5))); // the tool frame starts in its lower place
    }

    void cleanup()
    {
        m_run.reset();
        m_copy->killAll();
        if (m_page) {
            m_page->kill();
            m_page->waitForFinished(5000);
            m_page.reset();
        }
    }

    // A wheel turn before Start is not stitched; after it, wheel turns and an arrow key are, the
    // red line stays empty until the page is scrolled back up ("Seems to be the same image."), the
    // editor opens on Stop, and Save leaves the page's rows with the rectangle in them.
    void scrollStitchAndSave_data()
    {
        QTest::addColumn<qreal>("scale");
        QTest::addColumn<int>("turnsBefore"); // wheel turns before Start
        QTest::newRow("scale 1") << 1.0 << 1;
        QTest::newRow("scale 2: the screen's own pixels") << 2.0 << 1;
        // the region's last row the last of the page's identical blank rows: every blank row of
        // the next grab is a candidate, and only the first is right
        QTest::newRow("blank rows at the edge")
            << 1.0 << (ScrollPage::kBlankEnd - 1 - kRegionOffset.y() - kRegion.height() + 1) / ScrollPage::kWheelRows;
    }

    void scrollStitchAndSave()
    {
        QFETCH(qreal, scale);
        QFETCH(int, turnsBefore);
        m_scale = scale;
        const QRect region = openRecorder();
        QVERIFY2(region.isValid(), qPrintable(m_run ? m_run->log() : QString()));
        QVERIFY(!showsRed(messageLine()));
        QVERIFY(moveMouse(region.center()));
        const QString turns = QString::number(turnsBefore);
        QVERIFY(scroll({"click", "--repeat", turns, "--delay", "30", "5"}, turnsBefore * ScrollPage::kWheelRows,
                       "MouseWheel"));
        const int firstRow = pageTop();

        QVERIFY2(start(), qPrintable(m_run->log()));
        QTest::qWait(300); // the focus handed to the page
        QVERIFY(moveMouse(region.center()));
        int top = firstRow + ScrollPage::kWheelRows;
        QVERIFY2(scroll({"click", "5"}, top, "found"), qPrintable(m_run->log()));
        // back up to where the capture started, and down again: nothing new, which the red line says
        QVERIFY(scroll({"click", "4"}, firstRow, kSameLine));
        QTRY_VERIFY(showsRed(messageLine()));
        QVERIFY(scroll({"click", "5"}, top, kSameLine));
        QCOMPARE(logCount(kSameLine), 2);
        for (int turn = 0; turn < 2; ++turn) {
            top += ScrollPage::kWheelRows;
            QVERIFY2(scroll({"click", "5"}, top, "found"), qPrintable(m_run->log()));
        }
        top += ScrollPage::kKeyRows;
        QVERIFY2(scroll({"key", "Down"}, top, "found"), qPrintable(m_run->log()));
        QTRY_VERIFY(!showsRed(messageLine()));
        QCOMPARE(logCount("found"), 4);

        QVERIFY(click(startButton())); // now Stop
        const int height = top - firstRow + kRegion.height();
        // centred: the picture is shown pixel for pixel, so at any scale where it is at scale 1
        const QPoint pictureAt((screenRect().width() - kRegion.width()) / 2, (screenRect().height() - height) / 2);
        const QImage page = ScrollPage::rows(kPageWindow.width(), firstRow + kRegionOffset.y(), height)
                                .copy(QRect(QPoint(kRegionOffset.x(), 0), QSize(kRegion.width(), height)));
        // at scale 2 the toolbar, at its place, covers the picture's lower part
        const QPoint toolbar = ToolFramePlace::lower(logicalScreen(m_scale), kToolbar);
        const QRect uncovered(QPoint(0, 0), QSize(page.width(), std::min(height, device(toolbar).y() - pictureAt.y())));
        if (!waitUntil([&] { return grabScreen().copy(uncovered.translated(pictureAt)) == page.copy(uncovered); }, 5000)) {
            QProcess::execute("import", {"-window", "root", m_scratch + "/editor-failed.png"});
            QFAIL("the editor does not show the page's rows");
        }
        QVERIFY(windowsNamed(kRecorderTitle).isEmpty());

        QVERIFY(click(device(toolbar + QRect(15, 90, 40, 41).center()))); // btnRect
        // over the stitched rows; at scale 2 above the toolbar, more than 40 pixels from it
        const QRect mark = scale == 1.0 ? QRect(QPoint(30, height - 120), QSize(150, 70)) : QRect(30, 20, 150, 50);
        QVERIFY(drag(pictureAt + mark.topLeft(), pictureAt + mark.bottomRight() + QPoint(1, 1)));
        QVERIFY(click(device(toolbar + QRect(245, 90, 110, 40).center()))); // btnSave
        QVERIFY2(m_run->waitForFinished(10000) && m_run->exitCode() == 0, qPrintable(m_run->log()));

        const QStringList files = capturesLeft();
        QCOMPARE(files.size(), 1);
        QVERIFY(files.first().endsWith(".png"));
        QImage expected = page;
        // the drag's end pixel included, as large as a pixel of the canvas
        for (int y = mark.top(); y <= mark.bottom() + int(scale); ++y)
            for (int x = mark.left(); x <= mark.right() + int(scale); ++x)
                expected.setPixel(x, y, qRgb(0, 0, 0));
        const QImage saved = rgb(QImage(QDir(capturesFolder()).filePath(files.first())));
        QCOMPARE(saved.size(), expected.size());
        QCOMPARE(saved, expected);
    }

    // Esc, meant for the page, does not end the capture; Cancel ends the run with no file.
    void escapeThenCancel()
    {
        const QRect region = openRecorder();
        QVERIFY2(region.isValid(), qPrintable(m_run ? m_run->log() : QString()));
        QVERIFY2(start(), qPrintable(m_run->log()));
        QVERIFY(moveMouse(region.center()));
        QVERIFY(scroll({"click", "5"}, ScrollPage::kWheelRows, "found"));
        QVERIFY(!tool("xdotool", {"key", "Escape"}).isNull());
        QTest::qWait(500);
        QVERIFY(m_run->isRunning());
        QVERIFY(!windowsNamed(kRecorderTitle).isEmpty());
        QVERIFY(click(cancelButton()));
        QVERIFY2(m_run->waitForFinished(10000) && m_run->exitCode() == 0, qPrintable(m_run->log()));
        QCOMPARE(capturesLeft(), QStringList());
    }
};

QTEST_MAIN(TestScrollCapture)
#include "tst_scrollcapture.moc"

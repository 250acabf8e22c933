// The scroll capture window on a real display, fed known grabs: the extension library's wheel and
// arrow-key messages stitch only after Start, the red line tells a grab that shows nothing new from
// one that does not fit (the panel re-placed for its size), Stop hands the stitched picture to the
// editor and stops listening.
#include "extension/extension.h"
#include "extension/hookmessage.h"
#include "recorders/wndscrollcapture.h"
#include "scrollpagecontent.h"
#include "testsupport.h"

#include <QtTest>

namespace {

const QString kTitle = QStringLiteral("SnaplarkScrollCapture");
const QRect kRegion(300, 150, 400, 300);
const QString kSame = QStringLiteral("Seems to be the same image.");
const QString kNoFit = QStringLiteral("Sorry, image do not fit already captured zone, try to return a little bit back.\n"
                                      "We can not capture videos, moving elements or scrollbars.");
constexpr unsigned kUp = 0x26, kDown = 0x28;

// The page under the region, scrolled to `top`, instead of the screen.
class Recorder : public WndScrollCapture
{
public:
    explicit Recorder(EditorOpener opener)
        : WndScrollCapture(kRegion, 100, 30, 1.0, 0.7, std::move(opener))
    {
    }
    void pressStart() { onButtonStartClick(); }
    int top = 0;
    mutable int grabs = 0;

protected:
    QImage grabRegion() const override
    {
        ++grabs;
        return ScrollPage::rows(kRegion.width(), top, kRegion.height());
    }
};

bool wheel(bool down)
{
    return Extension::sendSignal(kTitle, HookMessage::Mouse, HookMessage::MouseWheel,
                                 down ? HookMessage::WheelDown : HookMessage::WheelUp);
}

bool key(unsigned code) { return Extension::sendSignal(kTitle, HookMessage::Keystroke, code, 0); }

} // namespace

class TestScrollRecorder : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QGuiApplication::setQuitOnLastWindowClosed(false);
        // the program's own library, whose hooks deliver the messages
        Extension::reloadForTesting(QStringLiteral(SNAPLARK_BIN_DIR));
    }

    void scrollAndStop()
    {
        RunObserver run;
        QImage handed;
        Recorder recorder([&](QImage *picture) {
            handed = *picture;
            return new QWidget;
        });
        recorder.show();
        QVERIFY(QTest::qWaitForWindowExposed(&recorder));
        QWidget *panel = recorder.panel();
        QTRY_VERIFY(panel->isVisible());
        QVERIFY(!panel->geometry().intersects(kRegion));

        // before Start a turn is heard but grabs nothing
        QVERIFY(wheel(true));
        QTest::qWait(300);
        QCOMPARE(recorder.grabs, 0);

        recorder.top = 100;
        recorder.pressStart();
        QCOMPARE(recorder.stitchedHeight(), 300);
        const int emptyHeight = panel->height();

        recorder.top = 140;
        QVERIFY(wheel(true));
        QTRY_COMPARE(recorder.stitchedHeight(), 340);
        QCOMPARE(recorder.message(), QString());

        // farther than the rows left to verify: not placed, the picture kept, the panel grown and re-placed
        recorder.top = 400;
        QVERIFY(wheel(true));
        QTRY_COMPARE(recorder.message(), kNoFit);
        QCOMPARE(recorder.stitchedHeight(), 340);
        QTRY_VERIFY(panel->height() > emptyHeight);
        const int grownHeight = panel->height();
        QCOMPARE(panel->size(), panel->sizeHint());
        QVERIFY(!panel->geometry().intersects(kRegion));

        // back within reach with the arrow key: placed, the line cleared
        recorder.top = 200;
        QVERIFY(key(kDown));
        QTRY_COMPARE(recorder.stitchedHeight(), 400);
        QCOMPARE(recorder.message(), QString());
        QVERIFY(panel->height() < grownHeight);
        QCOMPARE(panel->size(), panel->sizeHint());

        // up to where it started: the rows are there already
        recorder.top = 100;
        QVERIFY(key(kUp));
        QTRY_COMPARE(recorder.message(), kSame);
        QCOMPARE(recorder.stitchedHeight(), 400);

        recorder.pressStart(); // Stop
        QVERIFY(!recorder.isVisible() && !panel->isVisible());
        QCOMPARE(handed, ScrollPage::rows(kRegion.width(), 100, 400));
        const int grabs = recorder.grabs;
        wheel(true); // nothing hears it: the hidden window is not found by its title
        QTest::qWait(300);
        QCOMPARE(recorder.grabs, grabs);
        QVERIFY(run.endCodes.isEmpty());
    }
};

QTEST_MAIN(TestScrollRecorder)
#include "tst_scrollrecorder.moc"

#include "desktopdriver.h"
#include "fakefilemanager.h"
#include "patternwindow.h"
#include "processdriver.h"
#include "testsupport.h"

#include <QClipboard>
#include <QDBusConnection>
#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QScreen>
#include <QSettings>
#include <QtTest>

#include <memory>

// The real program with the settings it starts with: a drag in the overlay
// opens the redaction editor, the user marks the picture with the toolbar,
// and the result is judged by the saved file and the clipboard as another
// program reads it.
class TestRedaction : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void cleanupTestCase();

    void filledRectangleThenSave();

private:
    void openEditor();
    void expectEndWithZero();
    QPoint toolbarButton(const QRect &inToolbar) const;

    QString m_scratch;
    std::unique_ptr<ProgramCopy> m_copy;
    std::unique_ptr<PatternWindow> m_pattern;
    std::unique_ptr<ProgramRun> m_run;
    QImage m_screen;
    int m_runs = 0;
};

namespace {

using Desktop::capturesFolder;
using Desktop::grabScreen;
using Desktop::ownClipboard;
using Desktop::rgb;
using Desktop::screenRect;

const QPoint kDragFrom(100, 120);
const QPoint kDragTo(400, 320);
const QRect kSelection(kDragFrom, QSize(300, 200));
const QRect kPatternArea(40, 50, 560, 420);
// On the pattern, outside the selection: dimmed while the editor is open.
const QPoint kBackdropProbe(60, 70);
const QPoint kMouseRest(5, 5);
const QString kClipboardBefore = QStringLiteral("clipboard before the run");
const QSize kToolbar(372, 171);

} // namespace

void TestRedaction::initTestCase()
{
    QVERIFY2(QDBusConnection::sessionBus().isConnected(), "needs the private session bus of with-display");
    QCOMPARE(screenRect(), QRect(0, 0, 1280, 800));
    m_scratch = testScratchDir(QStringLiteral("redaction"));
    QVERIFY(QDir().mkpath(m_scratch + QStringLiteral("/bin")));
    m_copy = std::make_unique<ProgramCopy>(m_scratch + QStringLiteral("/bin"));
    QVERIFY(m_copy->isValid());

    m_pattern = std::make_unique<PatternWindow>(kPatternArea);
    QVERIFY(m_pattern->showAndWait());
    // Placed past the window manager, the pattern would stay above the
    // program's windows and take their clicks.
    m_pattern->lower();
}

void TestRedaction::init()
{
    QDir(capturesFolder()).removeRecursively();
    QSettings(QStringLiteral("Snaplark"), QStringLiteral("Snaplark")).clear();
    QVERIFY(ownClipboard(kClipboardBefore));
    QVERIFY(Desktop::moveMouse(kMouseRest));
    m_screen = grabScreen();
    QVERIFY(m_screen.copy(kPatternArea) == m_pattern->image());
}

void TestRedaction::cleanup()
{
    m_run.reset();
    // Taking the clipboard back ends a keeper the run left behind.
    ownClipboard(kClipboardBefore);
    if (!waitUntil([this] { return m_copy->running().isEmpty(); }, 5000))
        m_copy->killAll();
}

void TestRedaction::cleanupTestCase()
{
    m_run.reset();
    m_copy.reset();
    m_pattern.reset();
}

// Starts a run, drags the selection and waits until the editor shows it.
void TestRedaction::openEditor()
{
    m_run = std::make_unique<ProgramRun>(m_copy->program(), m_scratch + QStringLiteral("/run%1.log").arg(++m_runs));
    QVERIFY(m_run->start());
    const qulonglong overlay = Desktop::waitForWindowOf(m_run->pid());
    QVERIFY2(overlay, qPrintable(m_run->log()));
    QVERIFY(waitUntil([&] { return Desktop::windowGeometry(overlay) == screenRect(); }, 5000));

    QVERIFY(Desktop::drag(kDragFrom, kDragTo));
    const bool editorShown = waitUntil(
        [&] {
            for (qulonglong window : Desktop::windowsOf(m_run->pid())) {
                if (window != overlay && Desktop::windowGeometry(window) == screenRect())
                    return true;
            }
            return false;
        },
        10000);
    QVERIFY2(editorShown, qPrintable(m_run->log()));
    // painted: the picture outside the selection is dimmed, inside it (off
    // the frame's handles) it is not
    const QRect inside = kSelection.adjusted(4, 4, -4, -4);
    QVERIFY(waitUntil(
        [&] {
            const QImage shown = grabScreen();
            return shown.pixel(kBackdropProbe) != m_screen.pixel(kBackdropProbe)
                   && shown.copy(inside) == m_screen.copy(inside);
        },
        10000));
}

void TestRedaction::expectEndWithZero()
{
    QVERIFY2(m_run->waitForFinished(20000), qPrintable(m_run->log()));
    QCOMPARE(m_run->exitStatus(), QProcess::NormalExit);
    QCOMPARE(m_run->exitCode(), 0);
}

// The middle of a control on the toolbar, which starts 50 pixels short of the
// screen's right and bottom edges when it does not cover the selection.
QPoint TestRedaction::toolbarButton(const QRect &inToolbar) const
{
    const QRect screen = screenRect();
    const QPoint toolbar(screen.right() - 50 - kToolbar.width(), screen.bottom() - 50 - kToolbar.height());
    return toolbar + inToolbar.center();
}

void TestRedaction::filledRectangleThenSave()
{
    FakeFileManagerService fileManager;
    QVERIFY(fileManager.registered());
    openEditor();
    if (QTest::currentTestFailed())
        return;

    const QPoint from(150, 160);
    const QPoint to(250, 240);
    QVERIFY(Desktop::click(toolbarButton(QRect(15, 90, 40, 41)))); // btnRect
    QVERIFY(Desktop::drag(from, to));
    // the mark is on the screen before Save
    QVERIFY(waitUntil([&] { return QColor(grabScreen().pixel((from + to) / 2)) == QColor(Qt::black); }, 5000));
    QVERIFY(Desktop::click(toolbarButton(QRect(245, 90, 110, 40)))); // btnSave
    expectEndWithZero();
    if (QTest::currentTestFailed())
        return;

    const QStringList files = QDir(capturesFolder()).entryList(QDir::Files);
    QCOMPARE(files.size(), 1);
    const QString file = QDir(capturesFolder()).filePath(files.first());
    QImage saved;
    QVERIFY(saved.load(file, "PNG"));

    // the selection as the screen showed it, with the rectangle from the
    // press pixel to the release pixel in the rectangle tool's colour (black
    // unless chosen otherwise); nothing else: no frame, handles or toolbar
    QImage expected = m_screen.copy(kSelection);
    QPainter(&expected).fillRect(QRect(from, to).translated(-kSelection.topLeft()), Qt::black);
    QCOMPARE(saved.size(), kSelection.size());
    QVERIFY(rgb(saved) == expected);

    // "Web page url" needs an upload; Save copies the file's path instead
    QCOMPARE(QString::fromUtf8(Desktop::clipboard()), file);
    QCOMPARE(fileManager.receivedUris().size(), 1);
}

QTEST_MAIN(TestRedaction)
#include "tst_redaction.moc"

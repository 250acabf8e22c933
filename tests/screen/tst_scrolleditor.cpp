// The scrolling capture's editor on a real display, over pictures it is handed: a small one sits
// centred on a dark background, a drag past its edge is clamped, a 40,000-row one is shown,
// scrolled, marked near its end and saved whole; hiding the window before Save ends the run with
// no file.
#include "capture/wndmain.h"
#include "desktopdriver.h"
#include "editor/wndeditor.h"
#include "settings/capturefolder.h"
#include "settings/settings.h"
#include "testsupport.h"

#include <QPainter>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QtTest>

#include <cstring>
#include <memory>

namespace {

// Rows that differ from each other: the row number is in red and green.
QImage numberedRows(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < width; ++x)
            line[x] = qRgb(y & 0xff, (y >> 8) & 0xff, (x * 3) & 0xff);
    }
    return image;
}

// Rows of `a` and `b` from `first` on that differ, at most `limit` of them listed.
QList<int> differingRows(const QImage &a, const QImage &b, int first, int count, int limit = 5)
{
    QList<int> rows;
    for (int y = first; y < first + count && rows.size() < limit; ++y)
        if (std::memcmp(a.constScanLine(y), b.constScanLine(y), size_t(a.width()) * 4) != 0)
            rows.append(y);
    return rows;
}

} // namespace

// What one test works with, torn down in reverse order.
struct Session
{
    RunObserver run;
    RecordingLauncher launcher;
    WndMain overlay;
    QImage picture;
    std::unique_ptr<QScrollArea> window;
    WndEditor *editor = nullptr;
};

class TestScrollEditor : public QObject
{
    Q_OBJECT

    std::unique_ptr<Session> m_s;

    WndEditor *openEditor(const QImage &picture)
    {
        m_s->picture = picture;
        WndMain *overlay = &m_s->overlay;
        m_s->editor = new WndEditor(&m_s->picture, [overlay](CaptureState *state, bool selectActions) {
            overlay->dispatchCapture(state, selectActions);
        });
        m_s->window.reset(m_s->editor->scrollWindow());
        m_s->editor->showEditor();
        return QTest::qWaitForWindowExposed(m_s->window.get()) ? m_s->editor : nullptr;
    }
    void click(const char *name) { QTest::mouseClick(m_s->window->findChild<QPushButton *>(name), Qt::LeftButton); }
    QStringList captures() const { return QDir(CaptureFolder::path()).entryList(QDir::Files); }

private slots:
    void initTestCase() { QGuiApplication::setQuitOnLastWindowClosed(false); }
    void init()
    {
        QSettings("Snaplark", "Snaplark").clear();
        QDir(CaptureFolder::path()).removeRecursively();
        m_s = std::make_unique<Session>();
    }
    void cleanup() { m_s.reset(); }

    // A picture smaller than the screen sits in its middle, on a dark background; a drag that ends
    // past its corner is clamped to the edge one past the last pixel, and Save leaves the mark in
    // the scroll capture's own picture and in the PNG.
    void smallPicture()
    {
        const QImage source = numberedRows(300, 200);
        WndEditor *editor = openEditor(source);
        QVERIFY(editor);
        const QRect screen = Desktop::screenRect();
        QCOMPARE(m_s->window->geometry(), screen);
        const QPoint corner((screen.width() - 300) / 2, (screen.height() - 200) / 2);
        QCOMPARE(editor->mapTo(m_s->window.get(), QPoint(0, 0)), corner);
        QTRY_COMPARE(Desktop::grabScreen().copy(QRect(corner, source.size())), source);
        const QColor background(Desktop::grabScreen().pixel(corner - QPoint(20, 20)));
        QCOMPARE(background.rgb(), m_s->window->palette().color(QPalette::Dark).rgb());
        QVERIFY(background.lightness() < 80);

        // with no tool nothing is made; the rectangle tool's drag ends on the far edges
        Mouse::drag(editor, QPoint(20, 20), QPoint(80, 80));
        QVERIFY(editor->actions().items().isEmpty());
        click("btnRect");
        QCOMPARE(QApplication::focusWidget(), editor); // where Esc goes
        Mouse::drag(editor, QPoint(250, 150), QPoint(390, 290));
        QCOMPARE(editor->actions().items().size(), 1);
        const ColorItem mark = editor->actions().items().entries().first().value<ColorItem>();
        QCOMPARE(mark.item.value<RectItem>().rect, QRect(250, 150, 50, 50));

        QImage expected = source;
        {
            QPainter painter(&expected);
            drawItems(painter, editor->actions().items(), ItemHints::None);
        }
        click("btnSave");
        QCOMPARE(m_s->picture, expected);
        QCOMPARE(m_s->window->geometry(), QRect(-1, -1, 0, 0));
        QCOMPARE(captures().size(), 1);
        QCOMPARE(Desktop::rgb(QImage(QDir(CaptureFolder::path()).filePath(captures().first()))), expected);
        QCOMPARE(Settings::currentAction(), int(Settings::ActionSaveOnly));
        QCOMPARE(m_s->run.endCodes, QList<int>({0}));
    }

    // 40,000 rows: the end of the picture scrolled into view shows its own rows, a mark drawn there
    // lands past row 32,767, and the PNG holds every row.
    void tallPicture()
    {
        constexpr int kRows = 40000;
        const QImage source = numberedRows(200, kRows);
        WndEditor *editor = openEditor(source);
        QVERIFY(editor);
        QScrollBar *bar = m_s->window->verticalScrollBar();
        QCOMPARE(bar->maximum(), kRows - m_s->window->viewport()->height());
        bar->setValue(bar->maximum());
        const QPoint origin = editor->mapTo(m_s->window.get(), QPoint(0, 0));
        QCOMPARE(origin.y(), m_s->window->viewport()->height() - kRows);
        const QRect shown(QPoint(0, -origin.y()), QSize(200, 300)); // the picture's rows at the screen's top
        QTRY_COMPARE(Desktop::grabScreen().copy(QRect(QPoint(origin.x(), 0), shown.size())), source.copy(shown));

        click("btnRect");
        const QPoint from(20, kRows - 600), to(120, kRows - 500);
        Mouse::drag(editor, from, to);
        QTRY_COMPARE(QColor(Desktop::grabScreen().pixel(origin + from + QPoint(30, 30))), QColor(Qt::black));
        QImage expected = source;
        for (int y = from.y(); y <= to.y(); ++y)
            for (int x = from.x(); x <= to.x(); ++x)
                expected.setPixel(x, y, qRgb(0, 0, 0));

        click("btnSave");
        QCOMPARE(captures().size(), 1);
        const QImage saved = Desktop::rgb(QImage(QDir(CaptureFolder::path()).filePath(captures().first())));
        QCOMPARE(saved.size(), source.size());
        QCOMPARE(differingRows(saved, expected, 0, kRows), QList<int>());
    }

    // Hidden before Save or Upload, for instance by its window being closed: the run ends, unsaved.
    void hiddenBeforeSave()
    {
        QVERIFY(openEditor(numberedRows(300, 200)));
        click("btnRect");
        Mouse::drag(m_s->editor, QPoint(20, 20), QPoint(80, 80));
        m_s->window->hide();
        QCOMPARE(m_s->run.endCodes, QList<int>({0}));
        QVERIFY(captures().isEmpty());
    }
};

QTEST_MAIN(TestScrollEditor)
#include "tst_scrolleditor.moc"

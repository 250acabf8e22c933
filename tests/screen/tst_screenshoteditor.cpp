#include "capture/wndmain.h"
#include "core/capturestate.h"
#include "desktopdriver.h"
#include "editor/wndscreenshoteditor.h"
#include "fakefilemanager.h"
#include "patternwindow.h"
#include "settings/capturefolder.h"
#include "settings/settings.h"
#include "testsupport.h"

#include <QCheckBox>
#include <QColorDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPainter>
#include <QtTest>

#include <memory>
#include <optional>

Q_DECLARE_METATYPE(ScreenGeometry::Layout)

// The editor as the overlay opens it, over a known picture instead of the screen.
static const QSize kDesktop(1280, 800);
static const QRect kSelection(QPoint(200, 150), QPoint(599, 449)); // 400 x 300

// What one test works with, torn down in reverse order.
struct Session
{
    RunObserver run;
    RecordingLauncher launcher;
    WndMain overlay;
    std::unique_ptr<CaptureState> state;
    std::unique_ptr<WndScreenshotEditor> editor;
};

class TestScreenshotEditor : public QObject
{
    Q_OBJECT

    QImage m_picture;
    QImage m_dimmed;
    std::unique_ptr<Session> m_s;

    // Over the picture as the grab of `layout` (one screen of the picture's size by default).
    WndScreenshotEditor *openEditor(const std::optional<ScreenGeometry::Layout> &layout = {},
                                    const QRect &selection = kSelection)
    {
        m_s->editor.reset();
        m_s->state = layout ? std::make_unique<CaptureState>(m_picture, *layout)
                            : std::make_unique<CaptureState>(m_picture);
        m_s->state->setRequestRect(selection);
        m_s->state->setRequestKind(CaptureState::Region);
        m_s->state->setRequestMode(Settings::ModeScreenshot);
        WndMain *overlay = &m_s->overlay;
        m_s->editor = std::make_unique<WndScreenshotEditor>(
            m_s->state.get(), overlay,
            [overlay](CaptureState *state, bool selectActions) { overlay->dispatchCapture(state, selectActions); });
        m_s->editor->show();
        return QTest::qWaitForWindowExposed(m_s->editor.get()) ? m_s->editor.get() : nullptr;
    }
    QPushButton *button(const char *name) const { return m_s->editor->findChild<QPushButton *>(name); }
    void click(const char *name) { QTest::mouseClick(button(name), Qt::LeftButton); }
    const AnnotationList &items() const { return m_s->editor->actions().items(); }

private slots:
    void initTestCase()
    {
        QGuiApplication::setQuitOnLastWindowClosed(false);
        m_picture = Desktop::rgb(PatternWindow::pattern(kDesktop));
        m_dimmed = Desktop::rgb(CaptureState::dim(QPixmap::fromImage(m_picture)).toImage());
    }
    void init()
    {
        QSettings("Snaplark", "Snaplark").clear();
        m_s = std::make_unique<Session>();
    }
    void cleanup() { m_s.reset(); }

    // Resizing and moving happen as the mouse goes (the bounds themselves are
    // unit-tested), and only what changed is repainted.
    void selectionFollowsTheMouse()
    {
        WndScreenshotEditor *editor = openEditor();
        QVERIFY(editor);
        QCOMPARE(editor->geometry(), QRect(QPoint(0, 0), kDesktop));
        // a corner grabs two edges; the frame lies 2 pixels outside
        Mouse::drag(editor, kSelection.bottomRight() + QPoint(1, 1), kSelection.bottomRight() + QPoint(61, 31));
        QCOMPARE(editor->selection(), QRect(kSelection.topLeft(), kSelection.bottomRight() + QPoint(60, 30)));
        // with no tool, a press inside moves it, stopping flush at the desktop's edge
        Mouse::move(editor, QPoint(400, 300), false);
        QCOMPARE(editor->cursor().shape(), Qt::OpenHandCursor);
        Mouse::drag(editor, QPoint(400, 300), QPoint(1500, 300), 30);
        QCOMPARE(editor->selection(), QRect(QPoint(820, 150), QPoint(1279, 479)));
        QVERIFY(Desktop::showsFullRepaint(editor));
    }

    // One tool at most, each with its own colour; the marks they leave, repainting only what changed.
    void toolsAndMarks()
    {
        WndScreenshotEditor *editor = openEditor();
        QVERIFY(editor && !button("btnColor")->isVisible());
        // clicking the checked tool leaves none and hides the colour button, the colour staying
        click("btnHighlight");
        click("btnArrow");
        QVERIFY(!button("btnHighlight")->isChecked() && button("btnColor")->isVisible());
        const QColor chosen(30, 160, 220);
        m_s->run.onDialog = [&](QDialog *d) { static_cast<QColorDialog *>(d)->setCurrentColor(chosen); d->accept(); };
        click("btnColor");
        QCOMPARE(m_s->run.dialogs, QStringList("Select Color"));
        Mouse::drag(editor, QPoint(300, 300), QPoint(400, 300));
        click("btnArrow");
        QVERIFY(editor->actions().checkedTool() == EditorTool::None && !button("btnColor")->isVisible());
        // a cancelled dialog changes nothing; the arrow drawn keeps its colour
        click("btnArrow");
        m_s->run.onDialog = [](QDialog *d) { static_cast<QColorDialog *>(d)->setCurrentColor(Qt::green); d->reject(); };
        click("btnColor");
        QCOMPARE(editor->actions().currentColor(), chosen);
        QCOMPARE(items().entries().value(0).value<ColorItem>().color, chosen);

        // a rectangle is cut at the selection's edge; a preview growing and shrinking is painted step by step
        click("btnRect");
        Mouse::move(editor, QPoint(300, 200), false);
        QCOMPARE(editor->cursor().shape(), Qt::CrossCursor);
        Mouse::drag(editor, QPoint(500, 400), QPoint(900, 700));
        click("btnHighlight");
        Mouse::press(editor, QPoint(300, 350));
        for (const QPoint &p : {QPoint(400, 400), QPoint(450, 430), QPoint(380, 390), QPoint(330, 370)}) {
            Mouse::move(editor, p, true);
            QTest::qWait(30);
        }
        Mouse::release(editor, QPoint(330, 370));
        QCOMPARE(items().size(), 3);
        QVERIFY(Desktop::showsFullRepaint(editor));
        const QImage shown = Desktop::rgb(editor->grab().toImage());
        const QPoint corner = kSelection.bottomRight();
        QCOMPARE(QColor(shown.pixel(corner)), QColor(Qt::black));
        QCOMPARE(shown.pixel(corner + QPoint(7, 7)), m_dimmed.pixel(corner + QPoint(7, 7)));

        // a text goes where the press was, even without a mouse move before it
        click("btnText");
        int limit = -1;
        m_s->run.answer = QDialog::Accepted;
        m_s->run.onDialog = [&](QDialog *dialog) {
            auto *edit = dialog->findChild<QLineEdit *>();
            limit = edit->maxLength();
            edit->insert("a note longer than the room there is");
        };
        Mouse::press(editor, QPoint(419, 250));
        Mouse::release(editor, QPoint(419, 250));
        QCOMPARE(m_s->run.dialogs.last(), QString("Insert text"));
        QCOMPARE(limit, 20); // 180 pixels to the selection's right edge, 9 per character
        const TextItem text = items().entries().value(3).value<ColorItem>().item.value<TextItem>();
        QCOMPARE(text.text, QString("a note longer than t"));
        QCOMPARE(text.pos, QPoint(419, 250));
        // a cancelled text adds nothing; undo takes the last item, undo all the rest
        m_s->run.answer = QDialog::Rejected;
        Mouse::press(editor, QPoint(300, 300));
        QCOMPARE(items().size(), 4);
        click("btnUndo");
        QCOMPARE(items().size(), 3);
        click("btnUndoAll");
        QVERIFY(items().isEmpty());

        // the next editor starts with no tool and the colours chosen in this one
        QVERIFY(openEditor() && m_s->editor->actions().checkedTool() == EditorTool::None);
        click("btnArrow");
        QCOMPARE(m_s->editor->actions().currentColor(), chosen);
        click("btnHighlight");
        QCOMPARE(m_s->editor->actions().currentColor(), QColor(255, 255, 0));
    }

    void escape_data()
    {
        QTest::addColumn<int>("answer");
        QTest::addColumn<bool>("disable");
        QTest::addColumn<int>("defAction");

        QTest::newRow("no") << int(QMessageBox::No) << true << int(Settings::ActionRedactionDialog);
        QTest::newRow("yes") << int(QMessageBox::Yes) << false << int(Settings::ActionRedactionDialog);
        QTest::newRow("yes, redaction disabled") << int(QMessageBox::Yes) << true << int(Settings::ActionUpload);
    }

    void escape()
    {
        QFETCH(int, answer);
        QFETCH(bool, disable);
        QFETCH(int, defAction);

        WndScreenshotEditor *editor = openEditor();
        QVERIFY(editor);
        click("btnRect");
        Mouse::drag(editor, QPoint(300, 200), QPoint(400, 300));
        editor->findChild<QCheckBox *>("cbDisableDialog")->setChecked(disable);
        QString text;
        m_s->run.answer = answer;
        m_s->run.onDialog = [&](QDialog *dialog) { text = static_cast<QMessageBox *>(dialog)->text(); };
        QTest::keyClick(editor, Qt::Key_Escape);
        QCOMPARE(text, QString("Do you really want to close Snaplark?"));
        QCOMPARE(Settings::defAction(), defAction);
        QCOMPARE(m_s->run.endCodes, answer == QMessageBox::Yes ? QList<int>{0} : QList<int>());
        const bool kept = editor->isVisible() && editor->actions().checkedTool() == EditorTool::Rect;
        QVERIFY(answer == QMessageBox::Yes || (kept && items().size() == 1));
    }

    // On scaled screens the saved picture has the grab's device pixels and the mark drawn at
    // them, also where each screen has its own factor (planted: this display has one screen).
    void saveKeepsDevicePixels_data()
    {
        QTest::addColumn<ScreenGeometry::Layout>("layout");
        QTest::addColumn<QRect>("selection"); // logical
        QTest::addColumn<QRect>("device");
        using ScreenGeometry::Screen;
        const ScreenGeometry::Layout two{{Screen{QRect(0, 0, 640, 400), QRect(0, 0, 640, 400), 2}}, 0};
        // 640 x 800 device pixels at 2 (320 x 400 logical), and 640 x 800 at 1 from x = 640
        const ScreenGeometry::Layout mixed{{Screen{QRect(0, 0, 320, 400), QRect(0, 0, 320, 400), 2},
                                            Screen{QRect(640, 0, 640, 800), QRect(640, 0, 640, 800), 1}}, 0};
        QTest::newRow("scale 2") << two << QRect(100, 120, 300, 200) << QRect(200, 240, 600, 400);
        QTest::newRow("mixed, on the screen at 2") << mixed << QRect(50, 60, 200, 150) << QRect(100, 120, 400, 300);
        QTest::newRow("mixed, on the screen at 1") << mixed << QRect(700, 300, 400, 300) << QRect(700, 300, 400, 300);
    }
    void saveKeepsDevicePixels()
    {
        QFETCH(ScreenGeometry::Layout, layout);
        QFETCH(QRect, selection);
        QFETCH(QRect, device);
        FakeFileManagerService fileManager;
        QVERIFY(QDir(CaptureFolder::path()).removeRecursively());
        Settings::setCurrentClipboard(Settings::ClipboardNone);
        WndScreenshotEditor *editor = openEditor(layout, selection);
        QVERIFY(editor);
        click("btnRect");
        const QRect mark(selection.topLeft() + QPoint(10, 10), QSize(50, 40));
        Mouse::drag(editor, mark.topLeft(), mark.bottomRight());
        QCOMPARE(items().size(), 1);
        click("btnSave");
        QCOMPARE(m_s->run.endCodes, QList<int>{0});

        const QStringList files = QDir(CaptureFolder::path()).entryList(QDir::Files);
        QCOMPARE(files.size(), 1);
        const qreal scale = device.width() / qreal(selection.width());
        QImage expected = m_picture.copy(device);
        // the mark covers its logical pixels from press to release, each as scale x scale device pixels
        QPainter(&expected).fillRect(QRect((mark.topLeft() - selection.topLeft()) * scale, mark.size() * scale), Qt::black);
        QCOMPARE(Desktop::rgb(QImage(QDir(CaptureFolder::path()).filePath(files[0]))), expected);
    }

    // Save has no link to copy: forms needing one become the path (checked end to end), others stay.
    void saveKeepsLocalClipboardForms()
    {
        FakeFileManagerService fileManager; // no real file manager started over the bus
        Settings::setCurrentClipboard(Settings::ClipboardBitmap);
        QVERIFY(openEditor());
        click("btnSave");
        QCOMPARE(m_s->run.endCodes, QList<int>{0});
        QCOMPARE(Settings::currentAction(), int(Settings::ActionSaveOnly));
        QCOMPARE(Settings::currentClipboard(), int(Settings::ClipboardBitmap));
        QCOMPARE(m_s->editor->geometry(), QRect(-1, -1, 0, 0));
    }
};

QTEST_MAIN(TestScreenshotEditor)
#include "tst_screenshoteditor.moc"

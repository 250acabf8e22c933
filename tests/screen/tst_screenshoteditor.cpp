#include "capture/capturestate.h"
#include "capture/wndmain.h"
#include "editor/wndscreenshoteditor.h"
#include "fakefilemanager.h"
#include "patternwindow.h"
#include "processdriver.h"
#include "settings/settings.h"
#include "testsupport.h"

#include <QCheckBox>
#include <QColorDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QScreen>
#include <QSettings>
#include <QtTest>

#include <memory>

// The editor as the overlay opens it, over a known picture instead of the
// screen.
namespace {

const QSize kDesktop(1280, 800);
const QRect kSelection(QPoint(200, 150), QPoint(599, 449)); // 400 x 300

QImage rgb(const QImage &image)
{
    return image.convertToFormat(QImage::Format_RGB32);
}

// The editor repaints only what changed; the screen must still show what a
// full repaint gives.
bool screenShowsWholeRepaint(QWidget *editor)
{
    const QImage whole = rgb(editor->grab().toImage());
    return waitUntil([&] { return rgb(QGuiApplication::primaryScreen()->grabWindow(0).toImage()) == whole; }, 3000);
}

} // namespace

class TestScreenshotEditor : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void selectionFollowsTheFrame();
    void drawingLeavesNoStalePixels();
    void textGoesWhereThePressWas();
    void toolsAndTheirColours();
    void escape_data();
    void escape();
    void saveKeepsOnlyLocalClipboardForms_data();
    void saveKeepsOnlyLocalClipboardForms();

private:
    WndScreenshotEditor *openEditor(const QRect &selection = kSelection);
    QPushButton *button(const char *name) const { return m_editor->findChild<QPushButton *>(QLatin1String(name)); }

    QImage m_picture;
    QImage m_dimmed;
    std::unique_ptr<WndMain> m_overlay;
    std::unique_ptr<CaptureState> m_state;
    std::unique_ptr<WndScreenshotEditor> m_editor;
    std::unique_ptr<RunObserver> m_run;
    std::unique_ptr<RecordingLauncher> m_launcher;
};

void TestScreenshotEditor::initTestCase()
{
    QGuiApplication::setQuitOnLastWindowClosed(false);
    QCOMPARE(QGuiApplication::primaryScreen()->geometry(), QRect(QPoint(0, 0), kDesktop));
    m_picture = rgb(PatternWindow::pattern(kDesktop));
    m_dimmed = rgb(CaptureState::dim(QPixmap::fromImage(m_picture)).toImage());
}

void TestScreenshotEditor::init()
{
    QSettings(QStringLiteral("Snaplark"), QStringLiteral("Snaplark")).clear();
    m_run = std::make_unique<RunObserver>();
    m_launcher = std::make_unique<RecordingLauncher>();
    m_overlay = std::make_unique<WndMain>();
}

void TestScreenshotEditor::cleanup()
{
    m_editor.reset();
    m_state.reset();
    m_overlay.reset();
    m_launcher.reset();
    m_run.reset();
}

WndScreenshotEditor *TestScreenshotEditor::openEditor(const QRect &selection)
{
    m_editor.reset();
    m_state = std::make_unique<CaptureState>(m_picture);
    m_state->setRequestRect(selection);
    m_state->setRequestKind(CaptureState::Region);
    m_state->setRequestMode(Settings::ModeScreenshot);
    m_editor = std::make_unique<WndScreenshotEditor>(m_state.get(), m_overlay.get());
    m_editor->show();
    return QTest::qWaitForWindowExposed(m_editor.get()) ? m_editor.get() : nullptr;
}

void TestScreenshotEditor::selectionFollowsTheFrame()
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
    const QRect moved(QPoint(820, 150), QPoint(1279, 479));
    QCOMPARE(editor->selection(), moved);
    // bright at its new place, dimmed elsewhere
    const QImage shown = rgb(editor->grab().toImage());
    QCOMPARE(shown.pixel(moved.center()), m_picture.pixel(moved.center()));
    QCOMPARE(shown.pixel(kSelection.center()), m_dimmed.pixel(kSelection.center()));

    // the left edge dragged past the right one leaves 2 pixels, the right
    // edge past the left one 1
    Mouse::drag(editor, QPoint(820, 300), QPoint(1400, 300), 20);
    QCOMPARE(editor->selection(), QRect(QPoint(1278, 150), QPoint(1279, 479)));
    Mouse::drag(editor, QPoint(1279, 300), QPoint(500, 300), 20);
    QCOMPARE(editor->selection(), QRect(QPoint(1278, 150), QPoint(1278, 479)));
    QVERIFY(screenShowsWholeRepaint(editor));
}

// Drawing repaints only what changed, and marks are cut at the selection's edge.
void TestScreenshotEditor::drawingLeavesNoStalePixels()
{
    WndScreenshotEditor *editor = openEditor();
    QVERIFY(editor);
    button("btnRect")->click();
    Mouse::move(editor, QPoint(300, 200), false);
    QCOMPARE(editor->cursor().shape(), Qt::CrossCursor);
    Mouse::drag(editor, QPoint(500, 400), QPoint(900, 700));
    // a preview that grows and shrinks again, painted step by step as a hand's drag is
    button("btnHighlight")->click();
    Mouse::press(editor, QPoint(300, 350));
    for (const QPoint &p : {QPoint(400, 400), QPoint(450, 430), QPoint(380, 390), QPoint(330, 370)}) {
        Mouse::move(editor, p, true);
        QTest::qWait(30);
    }
    Mouse::release(editor, QPoint(330, 370));
    QCOMPARE(editor->actions().items().size(), 2);
    QVERIFY(screenShowsWholeRepaint(editor));
    const QImage shown = rgb(editor->grab().toImage());
    QCOMPARE(QColor(shown.pixel(kSelection.bottomRight())), QColor(Qt::black));
    QCOMPARE(shown.pixel(kSelection.bottomRight() + QPoint(7, 7)), m_dimmed.pixel(kSelection.bottomRight() + QPoint(7, 7)));
}

// The text goes where the press was, even without a mouse move before it.
void TestScreenshotEditor::textGoesWhereThePressWas()
{
    WndScreenshotEditor *editor = openEditor();
    QVERIFY(editor);
    button("btnText")->click();
    int limit = -1;
    m_run->answer = QDialog::Accepted;
    m_run->onDialog = [&](QDialog *dialog) {
        auto *edit = dialog->findChild<QLineEdit *>();
        limit = edit->maxLength();
        edit->insert(QStringLiteral("a note longer than the room there is"));
    };
    Mouse::press(editor, QPoint(419, 250));
    Mouse::release(editor, QPoint(419, 250));
    QCOMPARE(m_run->dialogs, QStringList(QStringLiteral("Insert text")));
    // 180 pixels to the selection's right edge, 9 per character
    QCOMPARE(limit, 20);
    const TextItem text = editor->actions().items().entries().value(0).value<ColorItem>().item.value<TextItem>();
    QCOMPARE(text.text, QStringLiteral("a note longer than t"));
    QCOMPARE(text.pos, QPoint(419, 250));

    // a cancelled dialog adds nothing
    m_run->answer = QDialog::Rejected;
    Mouse::press(editor, QPoint(300, 300));
    QCOMPARE(editor->actions().items().size(), 1);
    button("btnUndo")->click();
    QVERIFY(editor->actions().items().isEmpty());
    button("btnUndoAll")->click();
    QVERIFY(editor->actions().items().isEmpty());
}

void TestScreenshotEditor::toolsAndTheirColours()
{
    WndScreenshotEditor *first = openEditor();
    QVERIFY(first);
    QPushButton *colour = button("btnColor");
    QVERIFY(!colour->isVisible());

    // one tool at most; clicking the checked one leaves none and hides the
    // colour button, the colour staying as it was
    QTest::mouseClick(button("btnHighlight"), Qt::LeftButton);
    QTest::mouseClick(button("btnArrow"), Qt::LeftButton);
    QVERIFY(!button("btnHighlight")->isChecked());
    QVERIFY(colour->isVisible());
    const QColor chosen(30, 160, 220);
    m_run->onDialog = [&](QDialog *dialog) {
        static_cast<QColorDialog *>(dialog)->setCurrentColor(chosen);
        dialog->accept();
    };
    QTest::mouseClick(colour, Qt::LeftButton);
    QCOMPARE(m_run->dialogs, QStringList(QStringLiteral("Select Color")));
    Mouse::drag(first, QPoint(300, 300), QPoint(400, 300));
    QTest::mouseClick(button("btnArrow"), Qt::LeftButton);
    QCOMPARE(first->actions().checkedTool(), EditorTool::None);
    QVERIFY(!colour->isVisible());

    // a cancelled dialog changes nothing; the arrow drawn keeps its colour
    QTest::mouseClick(button("btnArrow"), Qt::LeftButton);
    m_run->onDialog = [](QDialog *dialog) {
        static_cast<QColorDialog *>(dialog)->setCurrentColor(Qt::green);
        dialog->reject();
    };
    QTest::mouseClick(colour, Qt::LeftButton);
    QCOMPARE(first->actions().currentColor(), chosen);
    QCOMPARE(first->actions().items().entries().value(0).value<ColorItem>().color, chosen);

    // the next editor starts with the colours chosen in this one
    WndScreenshotEditor *next = openEditor();
    QVERIFY(next);
    QCOMPARE(next->actions().checkedTool(), EditorTool::None);
    QTest::mouseClick(button("btnArrow"), Qt::LeftButton);
    QCOMPARE(next->actions().currentColor(), chosen);
    QTest::mouseClick(button("btnHighlight"), Qt::LeftButton);
    QCOMPARE(next->actions().currentColor(), QColor(255, 255, 0));
}

void TestScreenshotEditor::escape_data()
{
    QTest::addColumn<int>("answer");
    QTest::addColumn<bool>("disable");
    QTest::addColumn<int>("defAction");

    QTest::newRow("no") << int(QMessageBox::No) << true << int(Settings::ActionRedactionDialog);
    QTest::newRow("yes") << int(QMessageBox::Yes) << false << int(Settings::ActionRedactionDialog);
    QTest::newRow("yes, redaction disabled") << int(QMessageBox::Yes) << true << int(Settings::ActionUpload);
}

void TestScreenshotEditor::escape()
{
    QFETCH(int, answer);
    QFETCH(bool, disable);
    QFETCH(int, defAction);

    WndScreenshotEditor *editor = openEditor();
    QVERIFY(editor);
    button("btnRect")->click();
    Mouse::drag(editor, QPoint(300, 200), QPoint(400, 300));
    editor->findChild<QCheckBox *>(QStringLiteral("cbDisableDialog"))->setChecked(disable);

    QString text;
    m_run->answer = answer;
    m_run->onDialog = [&](QDialog *dialog) { text = static_cast<QMessageBox *>(dialog)->text(); };
    QTest::keyClick(editor, Qt::Key_Escape);
    QCOMPARE(text, QStringLiteral("Do you really want to close Snaplark?"));
    QCOMPARE(Settings::defAction(), defAction);
    if (answer == QMessageBox::Yes) {
        QCOMPARE(m_run->endCodes, QList<int>({0}));
    } else {
        QVERIFY(m_run->endCodes.isEmpty());
        QVERIFY(editor->isVisible());
        QCOMPARE(editor->actions().items().size(), 1);
        QCOMPARE(editor->actions().checkedTool(), EditorTool::Rect);
    }
}

void TestScreenshotEditor::saveKeepsOnlyLocalClipboardForms_data()
{
    QTest::addColumn<int>("clipboardBefore");
    QTest::addColumn<int>("clipboardAfter");

    // Save has no link to copy: the forms that need one become the path
    QTest::newRow("page address") << int(Settings::ClipboardWebPageUrl) << int(Settings::ClipboardLocalPath);
    QTest::newRow("bitmap") << int(Settings::ClipboardBitmap) << int(Settings::ClipboardBitmap);
}

// The picture saved is checked end to end; here the action pair Save hands on.
void TestScreenshotEditor::saveKeepsOnlyLocalClipboardForms()
{
    QFETCH(int, clipboardBefore);
    QFETCH(int, clipboardAfter);

    FakeFileManagerService fileManager;
    Settings::setCurrentClipboard(clipboardBefore);
    WndScreenshotEditor *editor = openEditor();
    QVERIFY(editor);
    QTest::mouseClick(button("btnSave"), Qt::LeftButton);
    QCOMPARE(m_run->endCodes, QList<int>({0}));
    QCOMPARE(Settings::currentAction(), int(Settings::ActionSaveOnly));
    QCOMPARE(Settings::currentClipboard(), clipboardAfter);
    QCOMPARE(editor->geometry(), QRect(-1, -1, 0, 0));
}

QTEST_MAIN(TestScreenshotEditor)
#include "tst_screenshoteditor.moc"

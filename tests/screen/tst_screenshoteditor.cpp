#include "capture/capturestate.h"
#include "capture/wndmain.h"
#include "editor/wndscreenshoteditor.h"
#include "fakefilemanager.h"
#include "patternwindow.h"
#include "processdriver.h"
#include "settings/settings.h"
#include "testsupport.h"
#include "ui/baseframe.h"

#include <QApplication>
#include <QCheckBox>
#include <QColorDialog>
#include <QDir>
#include <QLineEdit>
#include <QMessageBox>
#include <QPainter>
#include <QScreen>
#include <QSettings>
#include <QtTest>

#include <memory>

namespace {

const QSize kDesktop(1280, 800);
const QRect kSelection(QPoint(200, 150), QPoint(599, 449)); // 400 x 300

// Mouse events go straight to the editor: the test decides where the
// cursor is, whatever the real pointer does.
void sendMouse(QWidget *widget, QEvent::Type type, const QPoint &pos, Qt::MouseButtons held)
{
    const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
    QMouseEvent event(type, pos, widget->mapToGlobal(pos), button, held, Qt::NoModifier);
    QApplication::sendEvent(widget, &event);
}

void hover(QWidget *widget, const QPoint &pos) { sendMouse(widget, QEvent::MouseMove, pos, Qt::NoButton); }
void press(QWidget *widget, const QPoint &pos) { sendMouse(widget, QEvent::MouseButtonPress, pos, Qt::LeftButton); }
void release(QWidget *widget, const QPoint &pos) { sendMouse(widget, QEvent::MouseButtonRelease, pos, Qt::NoButton); }

// A hand's drag: hover, press, moves in steps, release.
void drag(QWidget *widget, const QPoint &from, const QPoint &to, int steps = 8)
{
    hover(widget, from);
    press(widget, from);
    for (int i = 1; i <= steps; ++i)
        sendMouse(widget, QEvent::MouseMove, from + (to - from) * i / steps, Qt::LeftButton);
    release(widget, to);
}

void key(QWidget *widget, int code)
{
    QKeyEvent event(QEvent::KeyPress, code, Qt::NoModifier);
    QApplication::sendEvent(widget, &event);
}

QImage rgb(const QImage &image)
{
    return image.convertToFormat(QImage::Format_RGB32);
}

// The editor repaints only what changed; the screen must still show what a
// full repaint gives.
bool screenShowsWholeRepaint(QWidget *editor)
{
    return waitUntil(
        [editor] {
            const QImage screen = rgb(QGuiApplication::primaryScreen()->grabWindow(0).toImage());
            return screen == rgb(editor->grab().toImage());
        },
        3000);
}

QString capturesFolder()
{
    return QDir::homePath() + QStringLiteral("/Documents/Snaplark Captures");
}

} // namespace

class TestScreenshotEditor : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void toolbarKeepsOffTheSelection_data();
    void toolbarKeepsOffTheSelection();
    void frameResizesAndMovesTheSelection();
    void marksStayInsideTheSelection();
    void textGoesWhereThePressWas();
    void toolsAndTheirColours();
    void escape_data();
    void escape();
    void finishHandsOnThePictureAsShown_data();
    void finishHandsOnThePictureAsShown();

private:
    WndScreenshotEditor *openEditor(const QRect &selection = kSelection);
    QPushButton *button(const char *name) const;
    QImage dimmed() const;

    QImage m_picture;
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
}

void TestScreenshotEditor::init()
{
    QSettings(QStringLiteral("Snaplark"), QStringLiteral("Snaplark")).clear();
    QDir(capturesFolder()).removeRecursively();
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

// An editor as the overlay opens it, over the test's picture instead of the
// screen, so every pixel is known.
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

QPushButton *TestScreenshotEditor::button(const char *name) const
{
    return m_editor->findChild<QPushButton *>(QLatin1String(name));
}

QImage TestScreenshotEditor::dimmed() const
{
    return rgb(CaptureState::dim(QPixmap::fromImage(m_picture)).toImage());
}

void TestScreenshotEditor::toolbarKeepsOffTheSelection_data()
{
    QTest::addColumn<QRect>("selection");
    QTest::addColumn<QPoint>("place");

    // 50 pixels short of the screen's right and bottom edges, or 50 below
    // its top when it would cover the selection there
    QTest::newRow("away from the selection") << kSelection << QPoint(1279 - 50 - 372, 799 - 50 - 171);
    QTest::newRow("over the selection") << QRect(700, 500, 400, 200) << QPoint(1279 - 50 - 372, 50);
}

void TestScreenshotEditor::toolbarKeepsOffTheSelection()
{
    QFETCH(QRect, selection);
    QFETCH(QPoint, place);
    WndScreenshotEditor *editor = openEditor(selection);
    QVERIFY(editor);
    QCOMPARE(editor->geometry(), QRect(QPoint(0, 0), kDesktop));
    const BaseFrame *toolbar = editor->actions().toolbar().controlFrame;
    QCOMPARE(toolbar->geometry(), QRect(place, QSize(372, 171)));

    // while drawing, the cursor near the toolbar sends it to the other place
    button("btnLine")->click();
    drag(editor, selection.center(), toolbar->geometry().topLeft() - QPoint(20, 20), 1);
    QVERIFY(toolbar->pos() != place);
}

void TestScreenshotEditor::frameResizesAndMovesTheSelection()
{
    WndScreenshotEditor *editor = openEditor();
    QVERIFY(editor);
    // a corner grabs two edges; the frame lies 2 pixels outside
    drag(editor, kSelection.bottomRight() + QPoint(1, 1), kSelection.bottomRight() + QPoint(61, 31));
    QCOMPARE(editor->selection(), QRect(kSelection.topLeft(), kSelection.bottomRight() + QPoint(60, 30)));

    // with no tool, a press inside moves it, stopping flush at the desktop's edge
    hover(editor, QPoint(400, 300));
    QCOMPARE(editor->cursor().shape(), Qt::OpenHandCursor);
    drag(editor, QPoint(400, 300), QPoint(1500, 300), 30);
    QCOMPARE(editor->cursor().shape(), Qt::OpenHandCursor);
    const QRect moved(QPoint(820, 150), QPoint(1279, 479));
    QCOMPARE(editor->selection(), moved);
    // it shows bright at its new place, dimmed elsewhere
    const QImage shown = rgb(editor->grab().toImage());
    QCOMPARE(shown.pixel(moved.center()), m_picture.pixel(moved.center()));
    QCOMPARE(shown.pixel(kSelection.center()), dimmed().pixel(kSelection.center()));

    // the left edge dragged past the right one leaves 2 pixels, the right
    // edge past the left one 1
    drag(editor, QPoint(820, 300), QPoint(1400, 300), 20);
    QCOMPARE(editor->selection(), QRect(QPoint(1278, 150), QPoint(1279, 479)));
    drag(editor, QPoint(1279, 300), QPoint(500, 300), 20);
    QCOMPARE(editor->selection(), QRect(QPoint(1278, 150), QPoint(1278, 479)));
    QVERIFY(screenShowsWholeRepaint(editor));
}

void TestScreenshotEditor::marksStayInsideTheSelection()
{
    WndScreenshotEditor *editor = openEditor();
    QVERIFY(editor);
    button("btnRect")->click();
    hover(editor, QPoint(300, 200));
    QCOMPARE(editor->cursor().shape(), Qt::CrossCursor);
    // from inside to far outside: cut at the selection's edge
    drag(editor, QPoint(500, 400), QPoint(900, 700));
    // a click, or a one-pixel drag, adds nothing
    drag(editor, QPoint(300, 300), QPoint(300, 300), 1);
    drag(editor, QPoint(300, 300), QPoint(301, 301), 1);
    button("btnArrow")->click();
    drag(editor, QPoint(250, 200), QPoint(100, 50));
    // a preview that grows and shrinks again leaves nothing behind
    button("btnHighlight")->click();
    press(editor, QPoint(300, 350));
    for (const QPoint &p : {QPoint(400, 400), QPoint(450, 430), QPoint(380, 390), QPoint(330, 370)}) {
        sendMouse(editor, QEvent::MouseMove, p, Qt::LeftButton);
        QTest::qWait(30); // painted step by step, as a hand's drag is
    }
    release(editor, QPoint(330, 370));
    QCOMPARE(editor->actions().items().size(), 3);
    QVERIFY(screenShowsWholeRepaint(editor));

    // outside the selection, its frame and the toolbar, only the backdrop
    const QImage shown = rgb(editor->grab().toImage());
    const QImage backdrop = dimmed();
    const QRect framed = kSelection.adjusted(-6, -6, 6, 6);
    const QRect toolbar = editor->actions().toolbar().controlFrame->geometry();
    int changed = 0;
    for (int y = 0; y < kDesktop.height(); ++y) {
        for (int x = 0; x < kDesktop.width(); ++x)
            changed += !framed.contains(x, y) && !toolbar.contains(x, y) && shown.pixel(x, y) != backdrop.pixel(x, y);
    }
    QCOMPARE(changed, 0);
    // the filled rectangle reaches the selection's corner
    QCOMPARE(QColor(shown.pixel(kSelection.bottomRight())), QColor(Qt::black));
}

void TestScreenshotEditor::textGoesWhereThePressWas()
{
    WndScreenshotEditor *editor = openEditor();
    QVERIFY(editor);
    button("btnText")->click();
    hover(editor, QPoint(300, 200));
    QCOMPARE(editor->cursor().shape(), Qt::IBeamCursor);

    int limit = -1;
    m_run->answer = QDialog::Accepted;
    m_run->onDialog = [&](QDialog *dialog) {
        auto *edit = dialog->findChild<QLineEdit *>();
        limit = edit->maxLength();
        edit->insert(QStringLiteral("a note longer than the room there is"));
    };
    // a press without a move before it
    press(editor, QPoint(419, 250));
    release(editor, QPoint(419, 250));
    QCOMPARE(m_run->dialogs, QStringList(QStringLiteral("Insert text")));
    // 180 pixels to the selection's right edge, 9 per character
    QCOMPARE(limit, 20);
    const TextItem text = editor->actions().items().entries().value(0).value<ColorItem>().item.value<TextItem>();
    QCOMPARE(text.text, QStringLiteral("a note longer than t"));
    QCOMPARE(text.pos, QPoint(419, 250));

    // cancelled: nothing; accepted empty: an entry that is one undo step
    m_run->onDialog = nullptr;
    m_run->answer = QDialog::Rejected;
    press(editor, QPoint(300, 300));
    m_run->answer = QDialog::Accepted;
    press(editor, QPoint(300, 300));
    QCOMPARE(editor->actions().items().size(), 2);
    button("btnUndo")->click();
    QCOMPARE(editor->actions().items().size(), 1);
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
    drag(first, QPoint(300, 300), QPoint(400, 300));
    QTest::mouseClick(button("btnArrow"), Qt::LeftButton);
    QCOMPARE(first->actions().checkedTool(), EditorTool::None);
    QVERIFY(!colour->isVisible());
    QCOMPARE(first->actions().currentColor(), chosen);

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
    QTest::addColumn<bool>("ends");
    QTest::addColumn<int>("defAction");

    QTest::newRow("no") << int(QMessageBox::No) << true << false << int(Settings::ActionRedactionDialog);
    QTest::newRow("yes") << int(QMessageBox::Yes) << false << true << int(Settings::ActionRedactionDialog);
    QTest::newRow("yes, redaction disabled") << int(QMessageBox::Yes) << true << true << int(Settings::ActionUpload);
}

void TestScreenshotEditor::escape()
{
    QFETCH(int, answer);
    QFETCH(bool, disable);
    QFETCH(bool, ends);
    QFETCH(int, defAction);

    Settings::setDefAction(Settings::ActionRedactionDialog);
    WndScreenshotEditor *editor = openEditor();
    QVERIFY(editor);
    button("btnRect")->click();
    drag(editor, QPoint(300, 200), QPoint(400, 300));
    editor->findChild<QCheckBox *>(QStringLiteral("cbDisableDialog"))->setChecked(disable);

    // other keys are swallowed
    for (int code : {int(Qt::Key_Return), int(Qt::Key_Space), int(Qt::Key_A)})
        key(editor, code);
    QVERIFY(m_run->dialogs.isEmpty());

    QString text;
    bool yesIsDefault = false;
    m_run->answer = answer;
    m_run->onDialog = [&](QDialog *dialog) {
        auto *box = qobject_cast<QMessageBox *>(dialog);
        QVERIFY(box);
        text = box->text();
        yesIsDefault = box->defaultButton() == box->button(QMessageBox::Yes);
    };
    key(editor, Qt::Key_Escape);
    QCOMPARE(m_run->dialogs, QStringList(QStringLiteral("Snaplark 1.24")));
    QCOMPARE(text, QStringLiteral("Do you really want to close Snaplark?"));
    QVERIFY(yesIsDefault);
    QCOMPARE(m_run->endCodes, ends ? QList<int>({0}) : QList<int>());
    QCOMPARE(Settings::defAction(), defAction);
    if (!ends) {
        QVERIFY(editor->isVisible());
        QCOMPARE(editor->actions().items().size(), 1);
        QCOMPARE(editor->actions().checkedTool(), EditorTool::Rect);
    }
}

void TestScreenshotEditor::finishHandsOnThePictureAsShown_data()
{
    QTest::addColumn<int>("clipboardBefore");
    QTest::addColumn<int>("clipboardAfter");

    // Save has no link to copy: the forms that need one become the path
    QTest::newRow("page address") << int(Settings::ClipboardWebPageUrl) << int(Settings::ClipboardLocalPath);
    QTest::newRow("forum code") << int(Settings::ClipboardEmbedForum) << int(Settings::ClipboardLocalPath);
    QTest::newRow("bitmap") << int(Settings::ClipboardBitmap) << int(Settings::ClipboardBitmap);
}

void TestScreenshotEditor::finishHandsOnThePictureAsShown()
{
    QFETCH(int, clipboardBefore);
    QFETCH(int, clipboardAfter);

    FakeFileManagerService fileManager;
    Settings::setCurrentClipboard(clipboardBefore);
    WndScreenshotEditor *editor = openEditor();
    QVERIFY(editor);

    // a highlight reaching the selection's edge, a filled rectangle, an arrow
    button("btnHighlight")->click();
    drag(editor, QPoint(260, 260), QPoint(150, 180));
    button("btnRect")->click();
    drag(editor, QPoint(420, 330), QPoint(350, 280));
    button("btnArrow")->click();
    drag(editor, QPoint(560, 420), QPoint(450, 350));
    // then the selection is moved; the marks stay where they were drawn and
    // the highlight's left side falls outside
    button("btnArrow")->click();
    drag(editor, QPoint(500, 200), QPoint(530, 215));
    const QRect selection = kSelection.translated(30, 15);
    QCOMPARE(editor->selection(), selection);

    QTest::mouseClick(button("btnSave"), Qt::LeftButton);
    QCOMPARE(m_run->endCodes, QList<int>({0}));
    QCOMPARE(Settings::currentAction(), int(Settings::ActionSaveOnly));
    QCOMPARE(Settings::currentClipboard(), clipboardAfter);
    QVERIFY(!editor->isVisible());
    QCOMPARE(editor->geometry(), QRect(-1, -1, 0, 0));

    const QStringList files = QDir(capturesFolder()).entryList(QDir::Files);
    QCOMPARE(files.size(), 1);
    QImage saved;
    QVERIFY(saved.load(QDir(capturesFolder()).filePath(files.first()), "PNG"));
    // the picture with the marks cut to the selection: no dimming, frame,
    // handles or toolbar
    QImage expected = m_picture;
    QPainter painter(&expected);
    drawItems(painter, editor->actions().items(), ItemHints::Antialiased, selection);
    painter.end();
    QCOMPARE(saved.size(), selection.size());
    QVERIFY(rgb(saved) == expected.copy(selection));
}

QTEST_MAIN(TestScreenshotEditor)
#include "tst_screenshoteditor.moc"

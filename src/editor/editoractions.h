#pragma once

#include "editor/annotationitems.h"
#include "editor/editortoolbar.h"

#include <QColor>
#include <QCoreApplication>
#include <QPushButton>
#include <QSize>
#include <QVector>

#include <optional>

class QKeyEvent;
class QWidget;

// What both editors do alike: the toolbar with its tools and colours, the
// text dialog, undo, cancelling and the Esc question.  An editor composes one
// of these and forwards its slots to it; only saving, uploading, the mouse
// and painting are the editor's own.
class EditorActions
{
public:
    // Builds the toolbar into `host` and reads the tool colours.  `editor`
    // is the widget the items are drawn on: it owns the dialogs and is
    // repainted when the items change.
    EditorActions(QWidget *host, QWidget *editor);

    EditorActions(const EditorActions &) = delete;
    EditorActions &operator=(const EditorActions &) = delete;

    // Connects the toolbar's buttons, and the application's about-to-quit
    // signal, to the editor's slots of the same names.
    template <class Editor>
    void connectTo(Editor *editor);

    EditorToolbar &toolbar() { return m_toolbar; }
    const EditorToolbar &toolbar() const { return m_toolbar; }
    EditorTool checkedTool() const { return m_toolbar.checkedTool(); }
    const AnnotationList &items() const { return m_items; }
    QColor currentColor() const { return m_current; }

    // Appends a committed mark and repaints where it lies.
    void append(const QVariant &entry);

    // A tool button was clicked (and has toggled itself): at most one tool
    // stays checked, and the colour follows it.
    void selectTool(EditorTool clicked);
    // Stores the tool colours, takes the checked tool's colour as the current
    // one and shows the colour button only while a tool is checked.
    void updateColorButton();
    // Lets the user pick the checked tool's colour.
    void chooseColor();
    // Asks for a short text and places it at `mousePos` (editor
    // coordinates); `maxLength` limits its length when given.
    void insertText(const QPoint &mousePos, std::optional<int> maxLength);
    void undo();
    void undoAll();
    // Ends the run without saving.
    void cancel();
    // Esc asks whether to end the run; every other key is swallowed.
    void keyPress(QKeyEvent *event);
    // "Disable redaction mode" ticked: the next captures skip the editor.
    void applyDisableDialog() const;
    // Save or Upload chosen: the current action becomes it; a Save keeps the
    // clipboard forms that need no upload.
    static void selectFinishAction(int action);

private:
    struct ToolColors
    {
        QColor rect;
        QColor highlight;
        QColor text;
        QColor line;
        QColor arrow;
        QColor *of(EditorTool tool);
    };

    void styleColorButton();

    QWidget *m_editor;
    EditorToolbar m_toolbar;
    AnnotationList m_items;
    QColor m_current;
    ToolColors m_colors;
};

// Where the text dialog goes: centred on the cursor, then, on each screen
// (full rectangle, desktop coordinates) that holds the cursor, pulled in
// from an edge it would cross.
QPoint textDialogPosition(const QPoint &cursor, const QSize &dialog, const QVector<QRect> &screens);

template <class Editor>
void EditorActions::connectTo(Editor *editor)
{
    const EditorToolbar &t = m_toolbar;
    QObject::connect(t.btnCancel, &QPushButton::clicked, editor, &Editor::onCancelClick);
    QObject::connect(t.btnUndo, &QPushButton::clicked, editor, &Editor::onUndoClick);
    QObject::connect(t.btnUpload, &QPushButton::clicked, editor, &Editor::onUploadClick);
    QObject::connect(t.btnSave, &QPushButton::clicked, editor, &Editor::onSaveClick);
    QObject::connect(t.btnRect, &QPushButton::clicked, editor, &Editor::onRectClick);
    QObject::connect(t.btnLine, &QPushButton::clicked, editor, &Editor::onLineClick);
    QObject::connect(t.btnText, &QPushButton::clicked, editor, &Editor::onTextClick);
    QObject::connect(t.btnArrow, &QPushButton::clicked, editor, &Editor::onArrowClick);
    QObject::connect(t.btnHighlight, &QPushButton::clicked, editor, &Editor::onHighlightClick);
    QObject::connect(t.btnColor, &QPushButton::clicked, editor, &Editor::onColorClick);
    QObject::connect(t.btnUndoAll, &QPushButton::clicked, editor, &Editor::onUndoAllClick);
    QObject::connect(qApp, &QCoreApplication::aboutToQuit, editor, &Editor::beforeAppExit);
}

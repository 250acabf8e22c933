#pragma once

#include "core/capturedispatch.h"
#include "editor/editoractions.h"
#include "editor/selectionlogic.h"

#include <QPoint>
#include <QRect>
#include <QWidget>

#include <memory>

class CaptureState;

// The redaction step of a screenshot: covers the virtual desktop with the
// overlay's frozen picture, dimmed, with the selection bright inside a dashed
// frame.  The selection can still be moved and resized; marks are drawn
// inside it with the toolbar's tools; Save and Upload hand the picture as the
// window shows it to the capture dispatch it was given.
class WndScreenshotEditor : public QWidget
{
    Q_OBJECT
public:
    // `state` is the overlay's; its request rectangle is the selection and
    // is changed in place.  `overlay` is the parent; Save and Upload go
    // through `dispatch`.
    WndScreenshotEditor(CaptureState *state, QWidget *overlay, CaptureDispatch dispatch);
    ~WndScreenshotEditor() override;

    const EditorActions &actions() const { return m_actions; }
    QRect selection() const;

public slots:
    void onCancelClick();
    void onUndoClick();
    void onUploadClick();
    void onSaveClick();
    void onRectClick();
    void onLineClick();
    void onTextClick();
    void onArrowClick();
    void onHighlightClick();
    void onColorClick();
    void onUndoAllClick();
    void beforeAppExit();

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    void setSelection(const QRect &selection);
    void drawSelectionFrame(QPainter &painter) const;
    // The mark the current drag makes, its end clamped into the selection.
    QVariant dragItem(const QPoint &end) const;
    QPoint clampedToSelection(const QPoint &point) const;
    bool busy() const { return m_drawing || m_resizing || m_moving; }
    // Save and Upload: the picture as the window paints it, without chrome,
    // handed to the capture dispatch with the given action.
    void finish(int action);

    QPoint m_press;
    QPoint m_release;
    QPoint m_current;
    QPoint m_previous;
    // The frame is drawn around the selection; hidden for the final picture.
    bool m_frameHidden = false;
    bool m_drawing = false;
    SelectionLogic::Edges m_edges;
    bool m_resizing = false;
    bool m_moving = false;

    CaptureState *m_state;
    CaptureDispatch m_dispatch;
    EditorActions m_actions;
    // Read once: the screen layout is not followed after the grab.
    QRect m_desktop;
    QRect m_primary;
    // The state handed on by Save or Upload; lives as long as the window.
    std::unique_ptr<CaptureState> m_result;
};

#pragma once

#include "core/capturedispatch.h"
#include "editor/editoractions.h"

#include <QPoint>
#include <QRect>
#include <QWidget>

#include <memory>

class CaptureState;
class QImage;
class QScrollArea;

// The redaction step of a scrolling capture: the stitched picture at 1:1 in
// a frameless scroll window over the primary screen, centred on a dark
// background when smaller, with the editors' floating toolbar.  There is no
// selection: marks are drawn anywhere on the picture, and Save and Upload
// paint them into the picture itself and hand it to the capture dispatch.
// The editor hidden any other way (its window closed) ends the run.
class WndEditor : public QWidget
{
    Q_OBJECT
public:
    // `picture` is the scroll capture's and outlives the editor; Save and
    // Upload go through `dispatch`.  The editor lives in scrollWindow(),
    // which owns it.
    WndEditor(QImage *picture, CaptureDispatch dispatch);
    ~WndEditor() override;

    QScrollArea *scrollWindow() const { return m_scrollWindow; }
    const EditorActions &actions() const { return m_actions; }
    // Shows the scroll window, and the editor in it.
    void showEditor();

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
    void hideEvent(QHideEvent *event) override;

private:
    // The mark a drag to `end` makes, `end` clamped to the canvas.
    QVariant dragItem(const QPoint &end) const;
    void finish(int action);

    QScrollArea *m_scrollWindow;
    QPoint m_press;
    QPoint m_release;
    QPoint m_current;
    bool m_drawing = false;
    QImage *m_picture;
    CaptureDispatch m_dispatch;
    EditorActions m_actions;
    QRect m_primary; // in the scroll window's coordinates
    // The picture's pixels per canvas pixel: the screen's own, so the
    // picture is shown pixel for pixel at any scale factor.
    qreal m_scale = 1.0;
    bool m_finished = false;
    // The state handed on by Save or Upload; lives as long as the editor.
    std::unique_ptr<CaptureState> m_result;
};

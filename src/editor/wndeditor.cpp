#include "editor/wndeditor.h"

#include "core/appcontrol.h"
#include "core/capturestate.h"
#include "core/screengeometry.h"
#include "settings/settings.h"
#include "ui/baseframe.h"

#include <QGuiApplication>
#include <QImage>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QScreen>
#include <QScrollArea>
#include <QtMath>

namespace {

// Where a drag's end lands on a canvas of `size`: inside it, or on the edge
// one past its last pixel.
QPoint clampToCanvas(const QPoint &point, const QSize &size)
{
    return QPoint(qBound(0, point.x(), size.width()), qBound(0, point.y(), size.height()));
}

} // namespace

WndEditor::WndEditor(QImage *picture, CaptureDispatch dispatch)
    : QWidget(nullptr)
    , m_scrollWindow(new QScrollArea)
    , m_picture(picture)
    , m_dispatch(std::move(dispatch))
    , m_actions(m_scrollWindow, this)
{
    m_scrollWindow->setAlignment(Qt::AlignCenter);
    // the styles' own dark is a mid grey: a picture should stand out from what is not the picture
    QPalette palette = m_scrollWindow->palette();
    palette.setColor(QPalette::Dark, QColor(40, 42, 46));
    m_scrollWindow->setPalette(palette);
    m_scrollWindow->setBackgroundRole(QPalette::Dark);
    m_scrollWindow->setFrameShape(QFrame::NoFrame);
    // The picture covers the canvas: no background to clear first.
    setAttribute(Qt::WA_OpaquePaintEvent);
    m_scale = QGuiApplication::primaryScreen()->devicePixelRatio();
    resize(qCeil(m_picture->width() / m_scale), qCeil(m_picture->height() / m_scale));
    m_scrollWindow->setWidget(this);

    const QRect primary = ScreenGeometry::primaryScreenInOverlay();
    m_scrollWindow->setWindowFlags(Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
    m_scrollWindow->setGeometry(primary);
    m_primary = QRect(QPoint(0, 0), primary.size());
    // over the picture where they overlap: the toolbar is reached at one place
    EditorToolbar &toolbar = m_actions.toolbar();
    toolbar.placeAtBottom(m_primary);
    toolbar.controlFrame->raise();
    toolbar.controlFrame->setCursor(Qt::ArrowCursor);
    // The toolbar is the scroll window's, not the editor's: a click on it must
    // leave the focus, and so Esc, with the editor.
    for (QWidget *child : toolbar.controlFrame->findChildren<QWidget *>())
        child->setFocusPolicy(Qt::NoFocus);

    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
    m_scrollWindow->setFocusProxy(this);
    m_actions.connectTo(this);
}

WndEditor::~WndEditor() = default;

void WndEditor::showEditor()
{
    m_scrollWindow->show();
    m_scrollWindow->activateWindow();
    setFocus();
}

QVariant WndEditor::dragItem(const QPoint &end) const
{
    return itemFromDrag(m_press, clampToCanvas(end, size()), m_actions.checkedTool(), m_actions.currentColor());
}

void WndEditor::paintEvent(QPaintEvent *event)
{
    QPainter painter(this);
    // Only the rows shown, read in place: the picture may be taller than the
    // painter can address.
    const int top = qBound(0, qFloor(event->rect().top() * m_scale), m_picture->height());
    const int bottom = qBound(top, qCeil((event->rect().bottom() + 1) * m_scale), m_picture->height());
    if (bottom > top) {
        QImage rows(m_picture->constScanLine(top), m_picture->width(), bottom - top, int(m_picture->bytesPerLine()),
                    m_picture->format());
        rows.setDevicePixelRatio(m_scale);
        painter.drawImage(QPointF(0, top / m_scale), rows);
    }
    drawItems(painter, m_actions.items(), ItemHints::None);
    if (m_drawing)
        drawItem(painter, dragItem(m_current), ItemHints::None);
}

void WndEditor::mousePressEvent(QMouseEvent *event)
{
    m_press = event->pos();
    m_current = m_press;
    if (m_actions.checkedTool() == EditorTool::Text) {
        m_actions.insertText(m_press, std::nullopt);
        return;
    }
    m_drawing = true;
    update(itemBounds(dragItem(m_current)));
}

void WndEditor::mouseMoveEvent(QMouseEvent *event)
{
    const QPoint before = m_current;
    m_current = event->pos();
    switch (m_actions.checkedTool()) {
    case EditorTool::Text:
        setCursor(Qt::IBeamCursor);
        break;
    case EditorTool::None:
        break;
    default:
        setCursor(Qt::CrossCursor);
        break;
    }
    if (m_drawing) {
        // the toolbar's zone is in the scroll window's coordinates
        m_actions.toolbar().dodge(mapTo(m_scrollWindow, m_current), m_primary);
        update(QRegion(itemBounds(dragItem(before))) + itemBounds(dragItem(m_current)));
    }
}

void WndEditor::mouseReleaseEvent(QMouseEvent *event)
{
    m_release = event->pos();
    if (m_drawing) {
        update(itemBounds(dragItem(m_current)));
        const QVariant item = dragItem(m_release);
        if (isCommittable(item))
            m_actions.append(item);
    }
    m_drawing = false;
}

void WndEditor::keyPressEvent(QKeyEvent *event)
{
    m_actions.keyPress(event);
}

void WndEditor::hideEvent(QHideEvent *event)
{
    QWidget::hideEvent(event);
    // closed, or its window closed, before Save or Upload: the run ends unsaved
    if (!m_finished)
        AppControl::endRun(0);
}

void WndEditor::finish(int action)
{
    m_actions.applyDisableDialog();
    m_actions.toolbar().controlFrame->hide();

    drawItemsInto(m_picture, m_actions.items(), ItemHints::None, m_scale);
    m_result = std::make_unique<CaptureState>(*m_picture);
    const QRect whole = m_picture->rect();
    m_result->setRequestRect(whole, whole);
    m_result->setRequestKind(CaptureState::Region);
    m_result->setRequestMode(Settings::ModeScreenshot);

    m_finished = true;
    close();
    EditorActions::selectFinishAction(action);
    m_dispatch(m_result.get(), false);
    m_scrollWindow->setGeometry(-1, -1, 0, 0);
}

void WndEditor::onSaveClick()
{
    finish(Settings::ActionSaveOnly);
}

void WndEditor::onUploadClick()
{
    finish(Settings::ActionUpload);
}

void WndEditor::onCancelClick()
{
    m_actions.cancel();
}

void WndEditor::onUndoClick()
{
    m_actions.undo();
}

void WndEditor::onUndoAllClick()
{
    m_actions.undoAll();
}

void WndEditor::onRectClick()
{
    m_actions.selectTool(EditorTool::Rect);
}

void WndEditor::onLineClick()
{
    m_actions.selectTool(EditorTool::Line);
}

void WndEditor::onTextClick()
{
    m_actions.selectTool(EditorTool::Text);
}

void WndEditor::onArrowClick()
{
    m_actions.selectTool(EditorTool::Arrow);
}

void WndEditor::onHighlightClick()
{
    m_actions.selectTool(EditorTool::Highlight);
}

void WndEditor::onColorClick()
{
    m_actions.chooseColor();
}

void WndEditor::beforeAppExit()
{
    // Nothing of the editor outlives the run: marks are never stored.
}

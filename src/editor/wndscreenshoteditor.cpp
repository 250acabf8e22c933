#include "editor/wndscreenshoteditor.h"

#include "core/capturestate.h"
#include "core/screengeometry.h"
#include "settings/settings.h"
#include "ui/baseframe.h"

#include <QImage>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>

WndScreenshotEditor::WndScreenshotEditor(CaptureState *state, QWidget *overlay, CaptureDispatch dispatch)
    : QWidget(overlay)
    , m_state(state)
    , m_dispatch(std::move(dispatch))
    , m_actions(this, this)
{
    setWindowFlags(Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
    m_actions.toolbar().controlFrame->setCursor(Qt::ArrowCursor);
    // The picture covers every pixel: no background to clear first.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_NoSystemBackground);

    setGeometry(ScreenGeometry::virtualDesktopRect());
    m_desktop = ScreenGeometry::fullRect();
    m_primary = ScreenGeometry::primaryScreenInOverlay();
    EditorToolbar &toolbar = m_actions.toolbar();
    toolbar.placeAtBottom(m_primary);
    if (toolbar.controlFrame->geometry().intersects(selection()))
        toolbar.placeAtTop(m_primary);

    setMouseTracking(true);
    m_actions.connectTo(this);
}

WndScreenshotEditor::~WndScreenshotEditor() = default;

QRect WndScreenshotEditor::selection() const
{
    return m_state->requestRect();
}

void WndScreenshotEditor::setSelection(const QRect &selection)
{
    m_state->setRequestRect(selection);
}

QPoint WndScreenshotEditor::clampedToSelection(const QPoint &point) const
{
    const QRect s = selection();
    return QPoint(qBound(s.left(), point.x(), qMax(s.left(), s.right())),
                  qBound(s.top(), point.y(), qMax(s.top(), s.bottom())));
}

QVariant WndScreenshotEditor::dragItem(const QPoint &end) const
{
    return itemFromDrag(m_press, clampedToSelection(end), m_actions.checkedTool(), m_actions.currentColor());
}

void WndScreenshotEditor::paintEvent(QPaintEvent *event)
{
    QPainter painter(this);
    const QPixmap dimmed = m_state->dimmedGrab();
    const QPixmap plain = m_state->plainGrab();
    const QRect area = selection();
    for (const QRect &r : event->region()) {
        m_state->drawGrab(painter, dimmed, r);
        const QRect inside = r.intersected(area);
        if (!inside.isEmpty())
            m_state->drawGrab(painter, plain, inside);
    }
    if (!m_frameHidden)
        drawSelectionFrame(painter);
    drawItems(painter, m_actions.items(), ItemHints::Antialiased, area);
    if (m_drawing)
        drawItem(painter, dragItem(m_current), ItemHints::Antialiased);
}

void WndScreenshotEditor::drawSelectionFrame(QPainter &painter) const
{
    const QRect f = SelectionLogic::frameOf(selection());
    QPen pen(QColor(QStringLiteral("blue")), 2, Qt::DashLine);
    painter.setPen(pen);
    const QPoint outline[] = {f.topLeft(), f.topRight(), f.bottomRight(), f.bottomLeft(), f.topLeft()};
    painter.drawPolyline(outline, 5);

    pen.setWidth(8);
    painter.setPen(pen);
    const int halfWidth = f.width() / 2;
    const int halfHeight = f.height() / 2;
    const QPoint handles[] = {f.topLeft(),
                              f.topRight(),
                              f.bottomRight(),
                              f.bottomLeft(),
                              {f.right(), f.bottom() - halfHeight},
                              {f.left(), f.bottom() - halfHeight},
                              {f.right() - halfWidth, f.bottom()},
                              {f.right() - halfWidth, f.top()}};
    painter.drawPoints(handles, 8);
}

void WndScreenshotEditor::mousePressEvent(QMouseEvent *event)
{
    m_press = event->pos();
    m_previous = m_press;
    // A press can come without a move before it (the window opened under
    // the cursor); the grips and the text's place must not use a stale one.
    m_current = m_press;

    const QRect area = selection();
    const QRect frame = SelectionLogic::frameOf(area);
    if (!frame.contains(m_press))
        return;
    m_edges = SelectionLogic::grabbedEdges(frame, m_current);
    m_resizing = m_edges.any();
    if (!area.contains(m_press) || m_resizing)
        return;

    switch (m_actions.checkedTool()) {
    case EditorTool::None:
        m_moving = true;
        setCursor(Qt::ClosedHandCursor);
        break;
    case EditorTool::Text:
        m_actions.insertText(m_current, SelectionLogic::textMaxLength(area, m_current));
        break;
    default:
        m_drawing = true;
        update(itemBounds(dragItem(m_current)));
        break;
    }
}

void WndScreenshotEditor::mouseMoveEvent(QMouseEvent *event)
{
    const QPoint before = m_current;
    m_current = event->pos();

    if (m_resizing || m_moving) {
        const QRect old = selection();
        if (m_resizing)
            setSelection(SelectionLogic::resizeSelection(old, m_edges, m_previous, m_current));
        else
            setSelection(SelectionLogic::moveSelection(old, m_current - m_previous, m_desktop));
        m_previous = m_current;
        update(ScreenGeometry::repaintCovering(SelectionLogic::selectionChange(old, selection()), devicePixelRatioF()));
    }

    if (const auto cursor = SelectionLogic::cursorFor(selection(), m_current, m_actions.checkedTool(), busy()))
        setCursor(*cursor);

    if (m_drawing || m_resizing)
        m_actions.toolbar().dodge(m_current, m_primary);
    if (m_drawing) {
        const QRegion preview = QRegion(itemBounds(dragItem(before))) + itemBounds(dragItem(m_current));
        update(preview.intersected(selection()));
    }
}

void WndScreenshotEditor::mouseReleaseEvent(QMouseEvent *event)
{
    m_release = event->pos();
    if (m_drawing) {
        // The preview goes; the committed mark, if big enough, takes its place.
        update(QRegion(itemBounds(dragItem(m_current))).intersected(selection()));
        const QVariant item = dragItem(m_release);
        if (isCommittable(item))
            m_actions.append(item);
    }
    if (m_moving)
        setCursor(Qt::OpenHandCursor);
    m_drawing = false;
    m_edges = SelectionLogic::Edges();
    m_resizing = false;
    m_moving = false;
}

void WndScreenshotEditor::keyPressEvent(QKeyEvent *event)
{
    m_actions.keyPress(event);
}

void WndScreenshotEditor::finish(int action)
{
    m_actions.applyDisableDialog();
    m_actions.toolbar().controlFrame->hide();
    m_frameHidden = true;

    // The picture is rendered from this window rather than grabbed from the
    // screen: it is exactly what the window paints (dimmed backdrop, bright
    // selection, marks), whatever the window system has shown so far.  Each
    // screen is rendered at its own scale, so the picture has the grab's
    // device pixels and the marks are drawn at that resolution.
    const ScreenGeometry::Layout &layout = m_state->layout();
    const QVector<ScreenGeometry::ScreenPart> parts = ScreenGeometry::screenParts(layout);
    QImage picture(ScreenGeometry::deviceDesktopRect(layout).size(), QImage::Format_RGB32);
    if (parts.size() == 1) {
        // one screen: straight into the picture, no copy of a whole desktop
        picture.setDevicePixelRatio(parts[0].scale);
        render(&picture, QPoint(), QRegion(parts[0].logical), QWidget::DrawWindowBackground);
        picture.setDevicePixelRatio(1.0);
    } else {
        picture.fill(Qt::black); // between screens of different factors
        QPainter painter(&picture);
        for (const ScreenGeometry::ScreenPart &part : parts) {
            QImage screen(part.device.size(), QImage::Format_RGB32);
            screen.setDevicePixelRatio(part.scale);
            render(&screen, QPoint(), QRegion(part.logical), QWidget::DrawWindowBackground);
            screen.setDevicePixelRatio(1.0);
            painter.drawImage(part.device.topLeft(), screen);
        }
    }
    m_result = std::make_unique<CaptureState>(picture, layout);
    close();

    // Unmoved and unresized, the request keeps the device pixels it came with.
    m_result->setRequestRect(selection(), m_state->requestDeviceRect());
    m_result->setRequestKind(CaptureState::Region);
    m_result->setRequestMode(m_state->requestMode());
    EditorActions::selectFinishAction(action);
    m_dispatch(m_result.get(), false);
    setGeometry(-1, -1, 0, 0);
}

void WndScreenshotEditor::onSaveClick()
{
    finish(Settings::ActionSaveOnly);
}

void WndScreenshotEditor::onUploadClick()
{
    finish(Settings::ActionUpload);
}

void WndScreenshotEditor::onCancelClick()
{
    m_actions.cancel();
}

void WndScreenshotEditor::onUndoClick()
{
    m_actions.undo();
}

void WndScreenshotEditor::onUndoAllClick()
{
    m_actions.undoAll();
}

void WndScreenshotEditor::onRectClick()
{
    m_actions.selectTool(EditorTool::Rect);
}

void WndScreenshotEditor::onLineClick()
{
    m_actions.selectTool(EditorTool::Line);
}

void WndScreenshotEditor::onTextClick()
{
    m_actions.selectTool(EditorTool::Text);
}

void WndScreenshotEditor::onArrowClick()
{
    m_actions.selectTool(EditorTool::Arrow);
}

void WndScreenshotEditor::onHighlightClick()
{
    m_actions.selectTool(EditorTool::Highlight);
}

void WndScreenshotEditor::onColorClick()
{
    m_actions.chooseColor();
}

void WndScreenshotEditor::beforeAppExit()
{
    // Nothing of the editor outlives the run: marks are never stored.
}

#include "core/capturestate.h"

#include "core/screengeometry.h"
#include "extension/extension.h"

#include <QColor>
#include <QDebug>
#include <QPainter>
#include <QVector>

#include <cmath>

CaptureState::CaptureState(WId windowId, Grab grab)
    : m_grabPending(grab == Grab::WhenFirstNeeded)
    , m_activeWindowHandle(int(windowId))
{
    QRect window;
    int handle = 0;
    if (Extension::getActiveWindowRect(&window, &handle))
        m_activeWindowHandle = handle;
    else
        window = QRect();
    qDebug("Active window handle %d", m_activeWindowHandle);
    ScreenGeometry::logRect("Active window bounds: %1,%2,%3,%4", window);

    // The window system reports device pixels.
    m_layout = ScreenGeometry::currentLayout();
    m_activeWindowDeviceRect = visibleWindowRect(window, ScreenGeometry::deviceDesktopRect(m_layout));
    m_activeWindowRect = m_activeWindowDeviceRect.isNull()
                             ? QRect()
                             : ScreenGeometry::fromDevice(m_layout, m_activeWindowDeviceRect);
    ScreenGeometry::logRect("Active window visible bounds: %1,%2,%3,%4", m_activeWindowRect);

    if (!m_grabPending)
        m_plainGrab = ScreenGeometry::grab(m_layout);
}

namespace {

ScreenGeometry::Layout pictureLayout(const QImage &image)
{
    const qreal scale = image.devicePixelRatio();
    const QRect logical(0, 0, int(std::ceil(image.width() / scale)), int(std::ceil(image.height() / scale)));
    return ScreenGeometry::Layout{{{logical, logical, scale}}, 0};
}

} // namespace

CaptureState::CaptureState(const QImage &image)
    : CaptureState(image, pictureLayout(image))
{
}

CaptureState::CaptureState(const QImage &image, const ScreenGeometry::Layout &layout)
    : m_layout(layout)
{
    QImage pixels = image;
    pixels.setDevicePixelRatio(1.0);
    m_plainGrab = QPixmap::fromImage(std::move(pixels));
}

void CaptureState::setRequestRect(const QRect &rect)
{
    setRequestRect(rect, ScreenGeometry::toDevice(m_layout, rect));
}

void CaptureState::setRequestRect(const QRect &rect, const QRect &device)
{
    m_requestRect = rect;
    m_requestDeviceRect = device;
}

QRect CaptureState::requestScreenRect() const
{
    return m_requestDeviceRect.translated(ScreenGeometry::deviceDesktopRect(m_layout).topLeft());
}

void CaptureState::drawGrab(QPainter &painter, const QPixmap &grab, const QRect &area) const
{
    for (const ScreenGeometry::ScreenPart &part : ScreenGeometry::screenParts(m_layout)) {
        const QRect common = area.intersected(part.logical);
        if (common.isEmpty())
            continue;
        const QRect source = ScreenGeometry::toDevice(part, common).intersected(part.device);
        if (source.isEmpty())
            continue;
        if (part.scale == 1.0) {
            painter.drawPixmap(common, grab, source);
            continue;
        }
        // The target in logical pixels that covers exactly these device pixels.
        const QRectF target(part.logical.left() + (source.left() - part.device.left()) / part.scale,
                            part.logical.top() + (source.top() - part.device.top()) / part.scale,
                            source.width() / part.scale, source.height() / part.scale);
        painter.drawPixmap(target, grab, QRectF(source));
    }
}

QPixmap CaptureState::plainGrab() const
{
    if (m_grabPending) {
        m_grabPending = false;
        m_plainGrab = ScreenGeometry::grab(m_layout);
    }
    return m_plainGrab;
}

QPixmap CaptureState::dimmedGrab() const
{
    prepareDimmedGrab();
    return m_dimmedGrab;
}

void CaptureState::prepareDimmedGrab() const
{
    if (m_dimmedGrab.isNull())
        m_dimmedGrab = dim(plainGrab());
}

QPixmap CaptureState::dim(const QPixmap &plain)
{
    if (plain.isNull())
        return QPixmap();
    // One reduction to a palette, then only the palette is darkened: at most
    // 256 colour changes instead of one per pixel.
    QImage indexed = plain.toImage().convertToFormat(QImage::Format_Indexed8);
    QVector<QRgb> colours = indexed.colorTable();
    for (QRgb &colour : colours)
        colour = QColor(colour).darker(150).rgb();
    indexed.setColorTable(colours);
    return QPixmap::fromImage(std::move(indexed));
}

QPixmap CaptureState::crop(const QPixmap &plain, const QRect &rect)
{
    // QImage::copy takes a null rectangle for the whole picture.
    if (!rect.intersects(plain.rect()))
        return QPixmap();
    return QPixmap::fromImage(plain.toImage().copy(rect));
}

QRect CaptureState::visibleWindowRect(const QRect &window, const QRect &virtualDesktop)
{
    const QRect visible = window.intersected(virtualDesktop);
    if (visible.isEmpty())
        return QRect();
    return visible.translated(-virtualDesktop.topLeft());
}

#include "core/capturestate.h"

#include "core/screengeometry.h"
#include "extension/extension.h"

#include <QColor>
#include <QDebug>
#include <QVector>

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

    m_activeWindowRect = visibleWindowRect(window, ScreenGeometry::virtualDesktopRect());
    ScreenGeometry::logRect("Active window visible bounds: %1,%2,%3,%4", m_activeWindowRect);

    if (!m_grabPending)
        m_plainGrab = ScreenGeometry::grab();
}

CaptureState::CaptureState(const QImage &image)
    : m_plainGrab(QPixmap::fromImage(image))
{
}

QPixmap CaptureState::plainGrab() const
{
    if (m_grabPending) {
        m_grabPending = false;
        m_plainGrab = ScreenGeometry::grab();
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
